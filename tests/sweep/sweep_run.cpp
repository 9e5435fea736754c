#include "sweep_run.h"

#include <gtest/gtest-spi.h>

#include <cstdlib>

#include "app/environment.h"

namespace sweep {

namespace {

// The caption of the program's own boxes and the category its texts name
// (the string table's defaults: the sweep's machines have no settings file).
const char kProductTitle[] = "210QX USB Driver";
const char kCategory[] = "210QX USB Driver";

std::string Describe(const winsim::MessageBoxRecord& box) {
    return "\"" + box.captionUtf8 + "\": \"" + box.textUtf8 + "\"";
}

}  // namespace

corpus::ForeignCorpus::Scope CorpusScope() {
    const char* all = std::getenv("FAULT_SWEEP_WHOLE_CORPUS");
    return all && *all && std::string(all) != "0" ? corpus::ForeignCorpus::Scope::Everything
                                                  : corpus::ForeignCorpus::Scope::WithoutInfFiles;
}

SweepRun::SweepRun(const SweepCase& sweepCase) : case_(sweepCase) {
    (m.system.*case_.release)();
    m.system.setJapanese();
    seeded::LayOutMedia(m);
    seeded::SeedEarlierInstallation(m, /*xp=*/case_.code == OS_WINXP);
    // The corpus first: the look-alikes keep what they find in place.
    corpus_.Seed(m, CorpusScope());
    foreign_.Seed(m);
}

void SweepRun::Run(const InjectedFault& injected) {
    injected_ = injected;
    // The call log counts the program's calls only, not the seeding's.
    m.faults.clear();
    if (injected.fault) m.faults.failCallNumber(injected.index, injected.fault->error);
    exitCode_ = RunProgram(case_.commandLine);
}

std::vector<std::string> SweepRun::Problems() {
    std::vector<std::string> problems;
    // A quiet run's exit code is judged against the same run without /quiet.
    if (!case_.quiet && exitCode_ != 0) problems.push_back("exit code " + std::to_string(exitCode_));
    if (case_.quiet && !m.ui.boxes.empty()) problems.push_back("a box in quiet mode: " + Describe(m.ui.boxes[0]));
    for (const std::string& call : m.unimplemented) problems.push_back("reached an unmodelled case: " + call);
    if (injected_.fault) {
        const auto& log = CallLog();
        const long index = injected_.index;
        if (static_cast<long>(log.size()) <= index || log[static_cast<size_t>(index)] != injected_.api)
            problems.push_back("the run went another way before the failing call: call " + std::to_string(index) +
                               " is not " + injected_.api);
    }
    CheckBoxes(problems);
    CheckResources(problems);
    CheckForeignItems(problems);
    return problems;
}

int SweepRun::QuietExitCodeForBoxes() const {
    int code = 0;
    for (const auto& box : m.ui.boxes) {
        if (box.textUtf8 == NotAdministratorText(kCategory)) return 5;
        if (box.captionUtf8 == "Error" || box.textUtf8 == kInstallFailedText) code = 1603;
    }
    return code;
}

// The program's boxes are its two messages under its title, and the
// system's error texts under "Error".
void SweepRun::CheckBoxes(std::vector<std::string>& problems) const {
    for (const auto& box : m.ui.boxes) {
        if (box.captionUtf8 == "Error") {
            if (box.textUtf8.empty()) problems.push_back("an error box without text");
            continue;
        }
        const bool programMessage =
            box.textUtf8 == kInstallFailedText || box.textUtf8 == NotAdministratorText(kCategory);
        if (box.captionUtf8 != kProductTitle || !programMessage)
            problems.push_back("a box the program never shows: " + Describe(box));
    }
}

void SweepRun::CheckResources(std::vector<std::string>& problems) const {
    const Keeps keeps = injected_.fault ? injected_.fault->keeps : Keeps::Nothing;
    auto allowed = [&](Keeps kind) -> size_t { return keeps == kind ? 1 : 0; };

    size_t keptHandles = 0;
    if (keeps == Keeps::Handle)
        for (winsim::HandleKind kind : injected_.fault->handleKinds) keptHandles += m.handles.openCount(kind);
    if (m.handles.openCount() > allowed(Keeps::Handle) || m.handles.openCount() != keptHandles)
        problems.push_back("handles left open: " + ::testing::PrintToString(m.handles.describeOpen()));
    if (m.handles.localAllocations.size() > allowed(Keeps::LocalMemory))
        problems.push_back(std::to_string(m.handles.localAllocations.size()) + " LocalAlloc blocks not freed");
    if (static_cast<size_t>(m.modules.outstandingLoads()) > allowed(Keeps::Library))
        problems.push_back(std::to_string(m.modules.outstandingLoads()) + " library references not freed");
    if (m.token.allocatedSids.size() > allowed(Keeps::Sid))
        problems.push_back(std::to_string(m.token.allocatedSids.size()) + " SIDs not freed");
    if (!m.knownFolders.taskAllocations.empty())
        problems.push_back(std::to_string(m.knownFolders.taskAllocations.size()) + " COM task blocks not freed");
}

// The look-alikes report through GoogleTest's expectations; they are
// collected here so that each run's problems come out as one report.
void SweepRun::CheckForeignItems(std::vector<std::string>& problems) {
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        foreign_.ExpectUnchanged(m);
    }
    for (int i = 0; i < results.size(); ++i)
        problems.push_back(std::string("a foreign item changed: ") + results.GetTestPartResult(i).message());
    for (const std::string& change : corpus_.Changes(m)) problems.push_back("a corpus item changed: " + change);
}

}  // namespace sweep
