// Runs the conformance tests on the simulated machine: a fresh Windows 7
// machine for every test, with the test program's own string table.
// "--acp=932" runs them on Japanese Windows (code page 932), "--process32"
// as a 32-bit program on that 64-bit Windows (the i686 build in WOW64).
#include <cstring>
#include <memory>

#include "conformance.h"
#include "winsim/machine.h"

extern const winsim::StringResource kConformanceStrings[];
extern const size_t kConformanceStringsCount;

namespace {

UINT g_acp = 1252;
bool g_process32 = false;
std::unique_ptr<winsim::Machine> g_machine;

class FreshMachinePerTest : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        g_machine = std::make_unique<winsim::Machine>();
        if (g_acp == 932) g_machine->system.setJapanese();
        g_machine->system.process32 = g_process32;
        g_machine->modules.setProgramStrings(kConformanceStrings, kConformanceStringsCount);
        g_machine->files.createDirectory("C:\\conformance");
    }
    void OnTestEnd(const testing::TestInfo&) override {
        for (const std::string& call : g_machine->unimplemented)
            ADD_FAILURE() << "the test reached a call winsim does not model: " << call;
        g_machine.reset();
    }
};

}  // namespace

namespace conformance {

bool RunningOnWine() { return false; }

bool Is32BitProcess() { return g_process32; }

std::string TestFolder() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string folder = std::string("C:\\conformance\\") + info->test_suite_name() + "." + info->name();
    g_machine->files.createDirectory(folder);
    return folder;
}

HWND TopLevelWindow(const char* title) { return g_machine->ui.addWindow("ConformanceTests.Window", title); }

void DestroyTopLevelWindow(HWND window) { g_machine->ui.removeWindow(window); }

}  // namespace conformance

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--acp=932") == 0)
            g_acp = 932;
        else if (std::strcmp(argv[i], "--process32") == 0)
            g_process32 = true;
    testing::UnitTest::GetInstance()->listeners().Append(new FreshMachinePerTest);
    return RUN_ALL_TESTS();
}
