// Writes the large machine of the benchmark (large_machine.h) as the files
// that seed a Wine prefix:
//
//   bench_make_machine <scale factor> <media Drivers folder> <output folder>
//
// <output>/machine.reg  the device instances, services and the product's
//                       install flag, in UTF-16LE with a BOM (what
//                       `wine reg import` reads correctly)
// <output>/inf/         every INF file of the INF folder, with the .PNF of
//                       each oem<N>.inf
// <output>/size.txt     "<INF files> <oem*.inf> <devices> <services>"
// <output>/phone.txt    the oem<N>.inf names of the phone's old packages,
//                       one a line
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "large_machine.h"

namespace {

void Write(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

// The registry file as UTF-16LE with a BOM; its text is ASCII.
std::string Utf16(const std::string& ascii) {
    std::string wide = "\xFF\xFE";
    for (char c : ascii) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_make_machine <scale factor> <media Drivers folder> <output folder>\n");
        return 2;
    }
    try {
        const bench::LargeMachine machine = bench::Describe(bench::ScaledSize(std::atof(argv[1])), argv[2]);
        const std::string out = argv[3];
        mkdir(out.c_str(), 0755);
        mkdir((out + "/inf").c_str(), 0755);
        std::string reg = bench::RegistryFile(machine);
        reg += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VANTOR\\VANTOR 3G USB Driver 210QX]\r\n"
               "\"InstallFlag\"=dword:00000001\r\n";
        Write(out + "/machine.reg", Utf16(reg));
        std::string phone;
        for (const bench::InfItem& inf : machine.infs) {
            if (!inf.originalName.empty()) phone += inf.name + "\n";
            Write(out + "/inf/" + inf.name, inf.content);
            if (inf.name.compare(0, 3, "oem") == 0)
                Write(out + "/inf/" + inf.name.substr(0, inf.name.size() - 4) + ".pnf", bench::PnfContent(inf.name));
        }
        Write(out + "/size.txt", std::to_string(machine.size.infFiles) + " " + std::to_string(machine.size.oemInfs) +
                                     " " + std::to_string(machine.size.devices) + " " +
                                     std::to_string(machine.size.services) + "\n");
        Write(out + "/phone.txt", phone);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_make_machine: %s\n", error.what());
        return 1;
    }
    return 0;
}
