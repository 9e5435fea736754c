// Windows of other programs as the program looks for them: what happens
// when the window looked for is not there or the handle is not a window,
// and how the enumeration of windows ends.
#include "conformance.h"

namespace {

// A handle that names no window: user handles keep an index in their low
// word, and index 0 is never given out.
HWND NotAWindow() { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xdead0000)); }

TEST(Window, FindWindowOfAMissingClassOrTitleFindsNothing) {
    SetLastError(kSentinelError);
    EXPECT_EQ(FindWindowA("ConformanceTests.NoSuchClass", nullptr), nullptr);
    // Windows documents that FindWindow leaves the last error alone; Wine
    // reports that the class was not found.
    const DWORD error = GetLastError();
    EXPECT_WINDOWS_OR_WINE(error == kSentinelError, error == (DWORD)ERROR_CANNOT_FIND_WND_CLASS);

    SetLastError(kSentinelError);
    EXPECT_EQ(FindWindowA(nullptr, "ConformanceTests: no window has this title"), nullptr);
    SetLastError(kSentinelError);
    EXPECT_EQ(FindWindowA("#32770", "ConformanceTests: no dialog has this title"), nullptr);
}

TEST(Window, CallsOnAHandleThatIsNoWindowFailWithInvalidWindowHandle) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(IsIconic(NotAWindow()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);

    SetLastError(kSentinelError);
    EXPECT_EQ(SendMessageA(NotAWindow(), WM_NULL, 0, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);

    SetLastError(kSentinelError);
    DWORD_PTR result = 0;
    EXPECT_EQ(SendMessageTimeoutA(NotAWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);

    SetLastError(kSentinelError);
    EXPECT_FALSE(PostMessageA(NotAWindow(), WM_NULL, 0, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);

    SetLastError(kSentinelError);
    EXPECT_FALSE(ShowWindow(NotAWindow(), SW_RESTORE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);

    SetLastError(kSentinelError);
    EXPECT_FALSE(BringWindowToTop(NotAWindow()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);

    SetLastError(kSentinelError);
    EXPECT_FALSE(SetForegroundWindow(NotAWindow()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
}

BOOL CALLBACK CountProperty(HWND, LPCSTR, HANDLE) { return TRUE; }

TEST(Window, EnumPropsOfAHandleThatIsNoWindowReportsNone) {
    EXPECT_EQ(EnumPropsA(NotAWindow(), CountProperty), -1);
}

BOOL CALLBACK StopAtFirst(HWND, LPARAM lParam) {
    ++*reinterpret_cast<int*>(lParam);
    return FALSE;
}

BOOL CALLBACK CountAll(HWND, LPARAM lParam) {
    ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

TEST(Window, EnumWindowsStopsWhenTheCallbackReturnsFalse) {
    HWND first = conformance::TopLevelWindow("ConformanceTests: first");
    HWND second = conformance::TopLevelWindow("ConformanceTests: second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    int all = 0;
    EXPECT_TRUE(EnumWindows(CountAll, reinterpret_cast<LPARAM>(&all)));
    ASSERT_GE(all, 2) << "the enumeration needs windows to stop at";
    int calls = 0;
    SetLastError(kSentinelError);
    EXPECT_FALSE(EnumWindows(StopAtFirst, reinterpret_cast<LPARAM>(&calls)));
    EXPECT_EQ(calls, 1);
    conformance::DestroyTopLevelWindow(second);
    conformance::DestroyTopLevelWindow(first);
}

}  // namespace
