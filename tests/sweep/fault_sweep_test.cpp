// The fault sweep: the whole program on a machine with an earlier
// installation, once to list the Win32 calls it makes, then once more for
// every one of those calls with that call failing. Whatever fails, the
// program must end with exit code 0 (with /quiet: no box at all, and 1603
// exactly where the same fault without /quiet shows a box), show only its
// own messages or the
// system's error texts, give back every handle and block it took, and leave
// every foreign item alone: a failed call must not widen what the program
// takes for the phone's (a folder path cut short, an empty hardware ID).
#include <chrono>
#include <cstdio>
#include <set>

#include "app/environment.h"
#include "sweep_run.h"

namespace sweep {
namespace {

// Problem reports beyond this many per case add nothing but length.
constexpr size_t kReportedRuns = 20;

const SweepCase kCases[] = {
    {"InstallCode12", OS_WINXP, &winsim::SystemInfo::setXp, ""},
    {"InstallCode14", OS_VISTA, &winsim::SystemInfo::setVista, ""},
    {"InstallCode15", OS_WIN7, &winsim::SystemInfo::setWindows7, "", "/quiet"},
    {"RemoveCode12", OS_WINXP, &winsim::SystemInfo::setXp, "/R"},
    {"RemoveCode14", OS_VISTA, &winsim::SystemInfo::setVista, "/R"},
    {"RemoveCode15", OS_WIN7, &winsim::SystemInfo::setWindows7, "/R", "/quiet /R"},
};

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, EveryCallFailingInTurnEndsCleanly) {
    const SweepCase& sweepCase = GetParam();
    const auto start = std::chrono::steady_clock::now();

    std::vector<std::string> calls;
    {
        SweepRun baseline(sweepCase);
        baseline.Run();
        const auto problems = baseline.Problems();
        ASSERT_TRUE(problems.empty()) << "the run without a fault already goes wrong:" << Join(problems);
        ASSERT_TRUE(baseline.BoxesShown().empty()) << "the run without a fault shows a box";
        calls = baseline.CallLog();
    }
    std::set<std::string> unknown;
    for (const std::string& api : calls)
        if (!FaultFor(api)) unknown.insert(api);
    ASSERT_TRUE(unknown.empty()) << "calls without a plausible error in the table: "
                                 << ::testing::PrintToString(unknown);

    size_t failedRuns = 0;
    size_t runsWithBoxes = 0;
    for (size_t index = 0; index < calls.size(); ++index) {
        const InjectedFault injected{static_cast<long>(index), calls[index], FaultFor(calls[index])};
        SweepRun run(sweepCase);
        run.Run(injected);
        if (!run.BoxesShown().empty()) ++runsWithBoxes;
        auto problems = run.Problems();
        if (sweepCase.quietCommandLine) {
            // Up to the failing call the quiet run makes the same calls.
            SweepCase quietCase = sweepCase;
            quietCase.commandLine = sweepCase.quietCommandLine;
            quietCase.quietCommandLine = nullptr;
            quietCase.quiet = true;
            SweepRun quiet(quietCase);
            quiet.Run(injected);
            for (const std::string& problem : quiet.Problems()) problems.push_back("with /quiet: " + problem);
            const int expected = run.QuietExitCodeForBoxes();
            if (quiet.ExitCode() != expected)
                problems.push_back("exit code " + std::to_string(quiet.ExitCode()) + " with /quiet, where " +
                                   std::to_string(expected) + " says what the run without it showed");
        }
        if (problems.empty()) continue;
        if (++failedRuns <= kReportedRuns)
            ADD_FAILURE() << sweepCase.name << ", call " << index << " (" << injected.api << ") failing with "
                          << injected.fault->error << ":" << Join(problems);
    }
    EXPECT_EQ(failedRuns, 0u) << "runs that went wrong, of " << calls.size();
    // Failures the program reports prove that the injected faults land.
    EXPECT_GT(runsWithBoxes, 0u);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("runs", static_cast<int>(calls.size() + 1));
    std::printf("%s: %zu runs with a failing call (%zu of them showed boxes), plus the counting run, in %.1f s\n",
                sweepCase.name, calls.size(), runsWithBoxes, seconds);
}

INSTANTIATE_TEST_SUITE_P(Calls, FaultSweep, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SweepCase>& info) { return info.param.name; });

}  // namespace
}  // namespace sweep
