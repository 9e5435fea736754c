// The benchmark on the simulated machine: the program's WinMain in install
// mode on a large machine (large_machine.h), against the floor (floor.h)
// on an identical machine, at several sizes.
//
//   bench_winsim <media folder> [--repeat <n>] [<scale factor>...]
//
// For each factor (default 0.5 1 2) and each of n repetitions (default 3)
// two fresh machines are seeded alike; the program runs on one and the
// floor on the other; only the run is timed, not the seeding, as wall time
// and as the process's CPU time (steadier on a busy machine). Prints the
// median times and their ratio per size, and the lines
//   RESULT winsim <factor> <program best> <floor best> <program median>
//          <floor median> <program median CPU> <floor median CPU>
// (seconds; the best is the shortest wall time) for bench/run.sh. Exits 1 when a run did not do its work: the program
// left a phone item behind, showed a message box or reached a call winsim
// does not model, or the floor found other counts than the machine holds.
#include <windows.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/placeholders.h"
#include "floor.h"
#include "large_machine.h"
#include "winsim/machine.h"

extern const winsim::StringResource kProgramStrings[];
extern const size_t kProgramStringsCount;
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

namespace {

const char kInfFolder[] = "C:\\WINDOWS\\INF";
const char kDriversFolder[] = "C:\\WINDOWS\\system32\\drivers";
const char kMediaParent[] = "C:\\Program Files\\210QX";
const char kProductKey[] = "HKLM\\SOFTWARE\\VANTOR\\VANTOR 3G USB Driver 210QX";
const char* const kPhoneDriverFiles[] = {"qtx0bus.sys",  "qtx0cm.sys",   "qtx0cmnt.sys", "qtx0mdfl.sys",
                                         "qtx0mdm.sys",  "qtx0obex.sys", "qtx0wh.sys",   "qtx0whnt.sys"};

// Japanese Windows 7 with the large machine's devices, services and INF
// files, the phone's driver files and install flag, and the media beside
// the program's folder.
void Seed(winsim::Machine& m, const bench::LargeMachine& machine, const std::string& media) {
    m.system.setWindows7();
    m.system.setJapanese();
    m.modules.setProgramStrings(kProgramStrings, kProgramStringsCount);
    m.files.importHostTree(media + "/Drivers", std::string(kMediaParent) + "\\Drivers");
    m.files.importHostTree(media + "/metadata", std::string(kMediaParent) + "\\metadata");

    // The other INF files first, so that the phone's packages, published
    // through the driver store, get the oem<N>.inf names left free for them.
    for (const bench::InfItem& inf : machine.infs) {
        if (!inf.originalName.empty()) continue;
        m.files.writeFile(std::string(kInfFolder) + "\\" + inf.name, inf.content);
        if (inf.name.compare(0, 3, "oem") == 0)
            m.files.writeFile(std::string(kInfFolder) + "\\" + inf.name.substr(0, inf.name.size() - 4) + ".PNF",
                              bench::PnfContent(inf.name));
    }
    for (const bench::InfItem& inf : machine.infs) {
        if (inf.originalName.empty()) continue;
        const std::string name = m.driverStore.seed(m.files, kInfFolder, inf.originalName, inf.content);
        if (name != inf.name) {
            std::fprintf(stderr, "bench_winsim: %s was published as %s, not %s\n", inf.originalName.c_str(),
                         name.c_str(), inf.name.c_str());
            std::exit(1);
        }
    }
    for (const bench::DeviceItem& device : machine.devices)
        m.devices.add({device.instanceId, device.hardwareIds, false, device.classGuid, device.className, "", ""});
    for (const bench::ServiceItem& service : machine.services)
        m.services.add({service.name, 1, 3, 1, service.imagePath, false});
    for (const char* file : kPhoneDriverFiles)
        m.files.writeFile(std::string(kDriversFolder) + "\\" + file, std::string("driver ") + file);
    m.registry.createKey(kProductKey);
    m.registry.setDword(kProductKey, "InstallFlag", 1);
}

// A wall-clock and a CPU-time stopwatch.
class Stopwatch {
public:
    Stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(CpuSeconds()) {}
    double wall() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(); }
    double cpu() const { return CpuSeconds() - cpu_; }

private:
    static double CpuSeconds() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

// Problems a run left; empty when it did its whole work.
std::vector<std::string> ProgramProblems(winsim::Machine& m, const bench::LargeMachine& machine) {
    std::vector<std::string> problems;
    for (const std::string& call : m.unimplemented) problems.push_back("reached " + call);
    for (const auto& box : m.ui.boxes) problems.push_back("message box: " + box.textUtf8);
    for (const bench::DeviceItem& device : machine.devices) {
        if (device.phone == m.devices.exists(device.instanceId))
            problems.push_back((device.phone ? "phone device left: " : "foreign device gone: ") + device.instanceId);
    }
    for (const bench::ServiceItem& service : machine.services) {
        if (service.phone == m.services.exists(service.name))
            problems.push_back((service.phone ? "phone service left: " : "foreign service gone: ") + service.name);
    }
    // The old packages were seeded from C:\Drivers (DriverStore::seed); the
    // media's copies may take their freed oem<N>.inf names.
    int staged = 0;
    for (const auto& package : m.driverStore.published(m.files)) {
        if (package.sourceFolder == std::string(kMediaParent) + "\\Drivers")
            ++staged;
        else
            problems.push_back("old package left: " + package.publishedName);
    }
    if (staged != 3) problems.push_back(std::to_string(staged) + " media INF files staged, not 3");
    return problems;
}

std::vector<std::string> FloorProblems(winsim::Machine& m, const bench::LargeMachine& machine,
                                       const bench::FloorCounts& counts) {
    std::vector<std::string> problems;
    for (const std::string& call : m.unimplemented) problems.push_back("reached " + call);
    for (int i = 0; i < 3; ++i) {
        if (counts.devices[i] != machine.size.devices || counts.matches[i] != 4)
            problems.push_back("enumeration " + std::to_string(i + 1) + " found other devices");
    }
    if (counts.listedInfs != machine.size.infFiles) problems.push_back("listing found other INF files");
    if (counts.oemInfs != machine.size.oemInfs) problems.push_back("search found other oem*.inf files");
    if (counts.staged != 3) problems.push_back("staged " + std::to_string(counts.staged) + " of 3");
    return problems;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool Report(const char* what, const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) std::printf("  PROBLEM (%s): %s\n", what, problem.c_str());
    return problems.empty();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_winsim <media folder> [--repeat <n>] [<scale factor>...]\n");
        return 2;
    }
    const std::string media = argv[1];
    int repeat = 3;
    std::vector<double> factors;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else
            factors.push_back(std::atof(argv[i]));
    }
    if (factors.empty()) factors = {0.5, 1, 2};

    bool ok = true;
    for (double factor : factors) {
        const bench::LargeMachine machine = bench::Describe(bench::ScaledSize(factor), media + "/Drivers");
        std::printf("winsim, scale %g: %d INF files (%d oem*.inf), %d devices, %d services\n", factor,
                    machine.size.infFiles, machine.size.oemInfs, machine.size.devices, machine.size.services);
        std::vector<double> programWall, floorWall, programCpu, floorCpu;
        for (int run = 0; run < repeat; ++run) {
            {
                winsim::Machine m;
                const Stopwatch seeding;
                Seed(m, machine, media);
                const double seedingTime = seeding.wall();
                g_placeholders.Clear();
                g_pAppContext = nullptr;
                std::string commandLine;
                const Stopwatch watch;
                WinMain(m.modules.programInstance, nullptr, &commandLine[0], SW_SHOWNORMAL);
                programWall.push_back(watch.wall());
                programCpu.push_back(watch.cpu());
                std::printf("  run %d: seeding %.3f s, program %.3f s (CPU %.3f s)\n", run + 1, seedingTime,
                            programWall.back(), programCpu.back());
                ok = Report("program", ProgramProblems(m, machine)) && ok;
            }
            {
                winsim::Machine m;
                Seed(m, machine, media);
                const Stopwatch watch;
                const bench::FloorCounts counts = bench::RunFloor(std::string(kMediaParent) + "\\Drivers");
                floorWall.push_back(watch.wall());
                floorCpu.push_back(watch.cpu());
                std::printf("  run %d: floor %.3f s (CPU %.3f s): %s\n", run + 1, floorWall.back(), floorCpu.back(),
                            bench::Describe(counts).c_str());
                ok = Report("floor", FloorProblems(m, machine, counts)) && ok;
            }
        }
        const double programBest = *std::min_element(programWall.begin(), programWall.end());
        const double floorBest = *std::min_element(floorWall.begin(), floorWall.end());
        const double program = Median(programWall), floor = Median(floorWall);
        const double programCpuTime = Median(programCpu), floorCpuTime = Median(floorCpu);
        std::printf("  best: program %.3f s, floor %.3f s, ratio %.3f; median: program %.3f s, floor %.3f s, ratio %.3f;"
                    " median CPU: program %.3f s, floor %.3f s, ratio %.3f\n",
                    programBest, floorBest, programBest / floorBest, program, floor, program / floor, programCpuTime,
                    floorCpuTime, programCpuTime / floorCpuTime);
        std::printf("RESULT winsim %g %.4f %.4f %.4f %.4f %.4f %.4f\n", factor, programBest, floorBest, program, floor,
                    programCpuTime, floorCpuTime);
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
