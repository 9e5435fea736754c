// Shared helpers of the conformance tests. These tests state how Windows
// behaves for the calls the product relies on; the same sources run on the
// simulated machine and, built for Windows, under Wine.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace conformance {

// True when the tests run under Wine (never on the simulated machine).
bool RunningOnWine();

// True when the tests run as a 32-bit program: the i686 build on Windows,
// or the simulated machine told so ("--process32"). Every machine the
// tests run on is 64-bit Windows, so such a program runs in WOW64.
bool Is32BitProcess();

// A folder of the test's own, created fresh for each test and removed
// afterwards ("C:\\conformance\\<test name>"), without a trailing backslash.
std::string TestFolder();

// A hidden top-level window of the test's own (on the simulated machine, a
// window of another program), for tests that need windows to be there.
HWND TopLevelWindow(const char* title);
void DestroyTopLevelWindow(HWND window);

}  // namespace conformance

// Marks an expectation on which Wine is known to differ from Windows'
// documented behaviour. Under Wine the Windows expectation is skipped and
// the Wine result is checked instead, so a change in either shows up.
#define EXPECT_WINDOWS_OR_WINE(windows_expr, wine_expr) \
    do {                                                 \
        if (conformance::RunningOnWine()) {              \
            EXPECT_TRUE(wine_expr) << "(Wine)";          \
        } else {                                         \
            EXPECT_TRUE(windows_expr);                   \
        }                                                \
    } while (0)

// The sentinel that tests put into the last error before a call, so that a
// call that should leave it alone is seen to do so.
constexpr DWORD kSentinelError = 0xdeadbeef;
