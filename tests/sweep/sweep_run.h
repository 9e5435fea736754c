// One run of the whole program for the fault sweep: a fresh Japanese
// machine with the install media, an earlier installation of the phone's
// drivers, foreign look-alikes and the foreign-driver corpus, the program
// run once with at most one failing call, and everything a run must leave
// right checked afterwards.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "earlier_installation.h"
#include "foreign_corpus.h"
#include "plausible_errors.h"
#include "product_fixture.h"

namespace sweep {

struct SweepCase {
    const char* name;  // for test names: "InstallCode15"
    int code;          // the program's code of the system
    void (winsim::SystemInfo::*release)();
    const char* commandLine;
    // The same run with /quiet as well, made after each run of the case:
    // it must show no box and end with 1603 exactly where this run shows
    // 17100 or a system-error box (5 where it refuses the user).
    const char* quietCommandLine = nullptr;
    bool quiet = false;  // this case's own runs are the quiet ones
};

// Test names and CTest's listing show a case by its name.
inline void PrintTo(const SweepCase& sweepCase, std::ostream* out) { *out << sweepCase.name; }

// How much of the foreign-driver corpus the sweep's machines hold: all but
// its INF files, which more than double the calls of a run; all of it when
// the environment sets FAULT_SWEEP_WHOLE_CORPUS=1 (a run of several times
// the cost, for a deeper look by hand).
corpus::ForeignCorpus::Scope CorpusScope();

// The call a run makes fail: its index in the run and the fault.
struct InjectedFault {
    long index = -1;
    std::string api;
    const PlausibleFault* fault = nullptr;
};

class SweepRun : public ProductTest {
public:
    explicit SweepRun(const SweepCase& sweepCase);
    void TestBody() override {}

    // Runs the program once, with the fault if one is given.
    void Run(const InjectedFault& injected = InjectedFault());

    // Everything the run did wrong, one line each; empty for a good run.
    std::vector<std::string> Problems();

    const std::vector<std::string>& CallLog() const { return m.faults.callLog(); }
    const std::vector<winsim::MessageBoxRecord>& BoxesShown() const { return m.ui.boxes; }
    int ExitCode() const { return exitCode_; }
    // The exit code a quiet run must end with where this run, without
    // /quiet, showed the boxes it showed.
    int QuietExitCodeForBoxes() const;

private:
    void CheckBoxes(std::vector<std::string>& problems) const;
    void CheckResources(std::vector<std::string>& problems) const;
    void CheckForeignItems(std::vector<std::string>& problems);

    const SweepCase& case_;
    seeded::ForeignLookAlikes foreign_;
    corpus::ForeignCorpus corpus_;
    InjectedFault injected_;
    int exitCode_ = -1;
};

}  // namespace sweep
