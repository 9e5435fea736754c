// The simulated desktop: message boxes, windows of other programs, named
// mutexes and the pseudo-handles of the current process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "winsim/machine.h"
#include "winsim/text.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

class WinsimUi : public ::testing::Test {
protected:
    winsim::Machine m;
};

// --- message boxes -------------------------------------------------------

TEST_F(WinsimUi, MessageBoxIsRecordedInTheCodePageAndAnsweredAsScripted) {
    m.system.setJapanese();
    const std::string text = winsim::utf8ToAcp("ドライバを削除しました。");
    const std::string caption = winsim::utf8ToAcp("210QX USB ドライバ");

    EXPECT_EQ(MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_ICONINFORMATION), IDOK);
    m.ui.scriptedAnswers = {IDCANCEL, IDOK};
    EXPECT_EQ(MessageBoxA(nullptr, "second", "c", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "third", "c", MB_OKCANCEL | MB_ICONQUESTION), IDOK);

    ASSERT_EQ(m.ui.boxes.size(), 3u);
    EXPECT_EQ(m.ui.boxes[0].text, text);
    EXPECT_EQ(m.ui.boxes[0].textUtf8, "ドライバを削除しました。");
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "210QX USB ドライバ");
    EXPECT_EQ(m.ui.boxes[0].style, (UINT)MB_ICONINFORMATION);
    EXPECT_EQ(m.ui.boxes[0].owner, nullptr);
    EXPECT_EQ(m.ui.boxes[1].answer, IDCANCEL);
    EXPECT_EQ(m.ui.boxes[2].answer, IDOK);
    EXPECT_TRUE(m.ui.windows.empty()) << "answered boxes leave no window behind";
}

TEST_F(WinsimUi, UnscriptedBoxesTakeTheirDefaultButton) {
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    // A box with one button has no second default.
    EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK | MB_DEFBUTTON2), IDOK);
}

TEST_F(WinsimUi, AnswerThatIsNotAButtonOfTheBoxFailsTheTest) {
    m.ui.scriptedAnswers = {IDCANCEL};
    EXPECT_EQ(MessageBoxA(nullptr, "t", "Notice", MB_OK), IDOK);
    ASSERT_EQ(m.unimplemented.size(), 1u);
    EXPECT_NE(m.unimplemented[0].find("Notice"), std::string::npos) << m.unimplemented[0];
}

TEST_F(WinsimUi, ShownBoxIsADialogWindowThatOthersFindUntilItIsAnswered) {
    HWND other = m.ui.addWindow("Notepad", "memo");
    HWND foundByCaption = nullptr, foundByClass = nullptr;
    HWND topDuringBox = nullptr;
    m.ui.onMessageBox = [&](const winsim::MessageBoxRecord& box) {
        foundByCaption = FindWindowA(nullptr, "Setup Tool");
        foundByClass = FindWindowA("#32770", nullptr);
        topDuringBox = m.ui.windows.front().hwnd;
        EXPECT_EQ(box.window, foundByCaption);
        EXPECT_EQ(box.textUtf8, "working");
    };
    MessageBoxA(nullptr, "working", "Setup Tool", MB_OK);

    ASSERT_NE(foundByCaption, nullptr);
    EXPECT_EQ(foundByClass, foundByCaption);
    EXPECT_EQ(topDuringBox, foundByCaption);
    EXPECT_EQ(m.ui.boxes[0].window, foundByCaption);
    EXPECT_EQ(FindWindowA(nullptr, "Setup Tool"), nullptr);
    EXPECT_EQ(m.ui.windows.size(), 1u);
    EXPECT_NE(m.ui.window(other), nullptr);
}

TEST_F(WinsimUi, ButtonPressedThroughWmCommandAnswersTheBox) {
    m.ui.scriptedAnswers = {IDYES};
    m.ui.onMessageBox = [&](const winsim::MessageBoxRecord&) {
        HWND box = FindWindowA("#32770", "Question");
        EXPECT_TRUE(PostMessageA(box, WM_COMMAND, IDNO, 0));
    };
    EXPECT_EQ(MessageBoxA(nullptr, "Remove?", "Question", MB_YESNO), IDNO);
    EXPECT_EQ(m.ui.boxes[0].answer, IDNO);
}

TEST_F(WinsimUi, NestedBoxesAreRecordedInTheOrderShown) {
    m.ui.scriptedAnswers = {IDCANCEL, IDOK};
    m.ui.onMessageBox = [&](const winsim::MessageBoxRecord& box) {
        if (box.captionUtf8 == "first") MessageBoxA(nullptr, "inner", "second", MB_OK);
    };
    EXPECT_EQ(MessageBoxA(nullptr, "outer", "first", MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(m.ui.boxes.size(), 2u);
    EXPECT_EQ(m.ui.boxes[0].answer, IDCANCEL);
    EXPECT_EQ(m.ui.boxes[1].answer, IDOK);
}

TEST_F(WinsimUi, BoxWithAnInvalidOwnerFailsAndANullCaptionReadsError) {
    SetLastError(kSentinel);
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x4242), "t", "c", MB_OK), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_TRUE(m.ui.boxes.empty());

    HWND owner = m.ui.addWindow("Owner", "o");
    EXPECT_EQ(MessageBoxA(owner, nullptr, nullptr, MB_OK), IDOK);
    EXPECT_EQ(m.ui.boxes[0].owner, owner);
    EXPECT_EQ(m.ui.boxes[0].captionUtf8, "Error");
    EXPECT_EQ(m.ui.boxes[0].text, "");
}

// --- windows of other programs -------------------------------------------

TEST_F(WinsimUi, FindWindowMatchesWithoutCaseTopmostFirstAndLeavesTheErrorAlone) {
    HWND lower = m.ui.addWindow("TaskWnd", "Driver Setup");
    HWND upper = m.ui.addWindow("TaskWnd", "driver setup");
    EXPECT_EQ(FindWindowA("taskwnd", nullptr), upper);
    EXPECT_EQ(FindWindowA(nullptr, "DRIVER SETUP"), upper);
    EXPECT_EQ(FindWindowA("TaskWnd", "Driver Setup"), upper);
    m.ui.moveToTop(lower);
    EXPECT_EQ(FindWindowA("TaskWnd", nullptr), lower);

    SetLastError(kSentinel);
    EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);
    EXPECT_EQ(FindWindowA("TaskWnd", "Other"), nullptr);
    EXPECT_EQ(GetLastError(), kSentinel);
}

TEST_F(WinsimUi, FindWindowComparesTitlesInTheMachinesCodePage) {
    m.system.setJapanese();
    HWND w = m.ui.addWindow("#32770", "ソフトウェア");  // "ソ" ends in the byte 0x5C in Shift-JIS
    EXPECT_EQ(FindWindowA(nullptr, winsim::utf8ToAcp("ソフトウェア").c_str()), w);
}

TEST_F(WinsimUi, InvalidWindowHandleFailsEveryCall) {
    HWND bad = reinterpret_cast<HWND>(0x4242);
    auto expectInvalid = [](const char* call) {
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE) << call;
        SetLastError(kSentinel);
    };
    SetLastError(kSentinel);
    EXPECT_FALSE(IsIconic(bad));
    expectInvalid("IsIconic");
    EXPECT_FALSE(ShowWindow(bad, SW_RESTORE));
    expectInvalid("ShowWindow");
    EXPECT_FALSE(BringWindowToTop(bad));
    expectInvalid("BringWindowToTop");
    EXPECT_FALSE(SetForegroundWindow(bad));
    expectInvalid("SetForegroundWindow");
    EXPECT_EQ(SendMessageA(bad, WM_CLOSE, 0, 0), 0);
    expectInvalid("SendMessageA");
    EXPECT_EQ(SendMessageTimeoutA(bad, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr), 0);
    expectInvalid("SendMessageTimeoutA");
    EXPECT_FALSE(PostMessageA(bad, WM_CLOSE, 0, 0));
    expectInvalid("PostMessageA");
}

TEST_F(WinsimUi, ShowWindowRestoresAMinimisedWindowAndReportsTheFormerVisibility) {
    HWND w = m.ui.addWindow("App", "a");
    m.ui.window(w)->iconic = true;
    EXPECT_TRUE(IsIconic(w));
    EXPECT_TRUE(ShowWindow(w, SW_RESTORE));
    EXPECT_FALSE(IsIconic(w));
    EXPECT_TRUE(ShowWindow(w, SW_HIDE));
    EXPECT_FALSE(ShowWindow(w, SW_SHOW)) << "it was hidden";
    EXPECT_TRUE(ShowWindow(w, SW_MINIMIZE));
    EXPECT_TRUE(IsIconic(w));
    EXPECT_EQ(m.ui.window(w)->actions,
              (std::vector<std::string>{"ShowWindow 9", "ShowWindow 0", "ShowWindow 5", "ShowWindow 6"}));
}

TEST_F(WinsimUi, BringingForwardChangesTheZOrderThatEnumWindowsReports) {
    HWND a = m.ui.addWindow("A", "a");
    HWND b = m.ui.addWindow("B", "b");
    HWND c = m.ui.addWindow("C", "c");
    EXPECT_TRUE(BringWindowToTop(a));
    EXPECT_TRUE(SetForegroundWindow(b));
    EXPECT_EQ(m.ui.foreground, b);

    struct Seen {
        std::vector<HWND> order;
        size_t stopAfter;
    };
    auto collect = [](HWND hwnd, LPARAM lParam) -> BOOL {
        Seen* seen = reinterpret_cast<Seen*>(lParam);
        seen->order.push_back(hwnd);
        return seen->order.size() < seen->stopAfter;
    };
    Seen all{{}, 100};
    EXPECT_TRUE(EnumWindows(collect, reinterpret_cast<LPARAM>(&all)));
    EXPECT_EQ(all.order, (std::vector<HWND>{b, a, c}));

    Seen first{{}, 1};
    SetLastError(kSentinel);
    EXPECT_FALSE(EnumWindows(collect, reinterpret_cast<LPARAM>(&first)));
    EXPECT_EQ(first.order, (std::vector<HWND>{b}));
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(m.ui.window(a)->actions, (std::vector<std::string>{"BringWindowToTop"}));
    EXPECT_EQ(m.ui.window(b)->actions, (std::vector<std::string>{"SetForegroundWindow"}));
}

TEST_F(WinsimUi, MessagesAreRecordedAndSentOnesGetTheWindowsReply) {
    HWND w = m.ui.addWindow("Launcher", "l");
    m.ui.window(w)->replies[WM_DEVICECHANGE] = TRUE;
    EXPECT_EQ(SendMessageA(w, WM_DEVICECHANGE, 0x8000, 0), TRUE);
    EXPECT_EQ(SendMessageA(w, WM_CLOSE, 0, 0), 0);
    DWORD_PTR result = 77;
    EXPECT_NE(SendMessageTimeoutA(w, WM_DEVICECHANGE, 7, 0, SMTO_ABORTIFHUNG, 5000, &result), 0);
    EXPECT_EQ(result, (DWORD_PTR)TRUE);
    EXPECT_TRUE(PostMessageA(w, WM_USER + 1, 2, 3));

    const auto& received = m.ui.window(w)->received;
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].msg, (UINT)WM_DEVICECHANGE);
    EXPECT_EQ(received[0].wParam, (WPARAM)0x8000);
    EXPECT_TRUE(received[0].sent);
    EXPECT_EQ(received[2].wParam, (WPARAM)7);
    EXPECT_EQ(received[3].msg, (UINT)(WM_USER + 1));
    EXPECT_FALSE(received[3].sent);
}

TEST_F(WinsimUi, HungWindowTimesOutAbortsOrBlocksForEver) {
    HWND w = m.ui.addWindow("Launcher", "l");
    m.ui.window(w)->hung = true;

    SetLastError(kSentinel);
    DWORD_PTR result = 77;
    EXPECT_EQ(SendMessageTimeoutA(w, WM_DEVICECHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_TIMEOUT);
    SetLastError(kSentinel);
    EXPECT_EQ(SendMessageTimeoutA(w, WM_DEVICECHANGE, 0, 0, SMTO_NORMAL, 1000, &result), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_TIMEOUT);
    EXPECT_TRUE(PostMessageA(w, WM_CLOSE, 0, 0)) << "posting only queues";
    ASSERT_EQ(m.ui.window(w)->received.size(), 1u);
    EXPECT_TRUE(m.unimplemented.empty());

    // Waiting without a time-out would hang the program: the test fails.
    EXPECT_EQ(SendMessageA(w, WM_CLOSE, 0, 0), 0);
    ASSERT_EQ(m.unimplemented.size(), 1u);
    EXPECT_NE(m.unimplemented[0].find("SendMessageA to the hung window"), std::string::npos);
    EXPECT_EQ(SendMessageTimeoutA(w, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 0, &result), 0);
    EXPECT_FALSE(ShowWindow(w, SW_RESTORE));
    EXPECT_EQ(m.unimplemented.size(), 3u);
}

struct PropertyLog {
    std::vector<std::string> names;
    std::vector<ULONG_PTR> atoms;
    std::vector<HANDLE> data;
    int answer = TRUE;
};
PropertyLog* g_log = nullptr;

BOOL CALLBACK LogProperty(HWND, LPCSTR name, HANDLE data) {
    if (IS_INTRESOURCE(name))
        g_log->atoms.push_back(reinterpret_cast<ULONG_PTR>(name));
    else
        g_log->names.push_back(name);
    g_log->data.push_back(data);
    return g_log->answer;
}

TEST_F(WinsimUi, EnumPropsGivesStringNamesAsStringsAndAtomsAsValues) {
    m.system.setJapanese();
    HWND w = m.ui.addWindow("Launcher", "l");
    m.ui.window(w)->addProperty("CDROMLauncher", reinterpret_cast<HANDLE>(1));
    m.ui.window(w)->addProperty(static_cast<WORD>(0x1234), reinterpret_cast<HANDLE>(2));
    m.ui.window(w)->addProperty("表示", reinterpret_cast<HANDLE>(3));

    PropertyLog log;
    g_log = &log;
    EXPECT_EQ(EnumPropsA(w, LogProperty), TRUE);
    EXPECT_EQ(log.names, (std::vector<std::string>{"CDROMLauncher", winsim::utf8ToAcp("表示")}));
    EXPECT_EQ(log.atoms, (std::vector<ULONG_PTR>{0x1234}));
    EXPECT_EQ(log.data.size(), 3u);

    PropertyLog stop;
    stop.answer = FALSE;
    g_log = &stop;
    EXPECT_EQ(EnumPropsA(w, LogProperty), FALSE);
    EXPECT_EQ(stop.data.size(), 1u);

    HWND bare = m.ui.addWindow("Bare", "b");
    EXPECT_EQ(EnumPropsA(bare, LogProperty), -1);
    EXPECT_EQ(EnumPropsA(reinterpret_cast<HWND>(0x4242), LogProperty), -1);
    g_log = nullptr;
}

// --- mutexes ---------------------------------------------------------------

TEST_F(WinsimUi, SecondCreateOpensTheSameMutexWhoseNameGoesWithTheLastHandle) {
    SetLastError(kSentinel);
    HANDLE first = CreateMutexA(nullptr, TRUE, "SingleInstance");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    auto mutex = m.ui.findMutex("SingleInstance");
    ASSERT_NE(mutex, nullptr);
    EXPECT_TRUE(mutex->ownedByUs);

    HANDLE second = CreateMutexA(nullptr, TRUE, "SingleInstance");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(mutex->references, 2);
    // bInitialOwner was ignored: one acquisition, one release.
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_FALSE(mutex->ownedByUs);
    SetLastError(kSentinel);
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_NE(m.ui.findMutex("SingleInstance"), nullptr);
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(m.ui.findMutex("SingleInstance"), nullptr);
    mutex.reset();

    CloseHandle(CreateMutexA(nullptr, FALSE, "SingleInstance"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS) << "a new object again";
    EXPECT_EQ(m.handles.openCount(), 0u);
}

TEST_F(WinsimUi, WaitsAcquireRecursivelyAndEachNeedsARelease) {
    HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_TRUE(m.ui.mutexes.empty()) << "an unnamed mutex is in no namespace";
    SetLastError(kSentinel);
    EXPECT_FALSE(ReleaseMutex(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
    EXPECT_EQ(WaitForSingleObject(h, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), (DWORD)WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_FALSE(ReleaseMutex(h));
    CloseHandle(h);

    SetLastError(kSentinel);
    EXPECT_FALSE(ReleaseMutex(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(WinsimUi, MutexAnotherProgramHoldsIsOpenedButNotAcquired) {
    m.ui.holdMutexElsewhere("SingleInstance");
    HANDLE h = CreateMutexA(nullptr, TRUE, "SingleInstance");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    auto mutex = m.ui.findMutex("SingleInstance");
    EXPECT_FALSE(mutex->ownedByUs);
    EXPECT_FALSE(ReleaseMutex(h));
    EXPECT_EQ(WaitForSingleObject(h, 100), (DWORD)WAIT_TIMEOUT);
    EXPECT_TRUE(m.unimplemented.empty());
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_FAILED);
    EXPECT_EQ(m.unimplemented.size(), 1u) << "an endless wait hangs the program";

    m.ui.releaseMutexElsewhere("SingleInstance");
    EXPECT_EQ(WaitForSingleObject(h, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_TRUE(mutex->ownedByUs);
    CloseHandle(h);
    EXPECT_EQ(m.ui.findMutex("SingleInstance"), nullptr);
    m.unimplemented.clear();
}

TEST_F(WinsimUi, SecondInstanceCannotReleaseTheFirstInstancesMutex) {
    HANDLE first = CreateMutexA(nullptr, TRUE, "SingleInstance");
    {
        winsim::AnotherInstance second(m.modules);
        EXPECT_NE(GetCurrentProcessId(), m.ui.findMutex("SingleInstance")->ownerProcess);
        HANDLE h = CreateMutexA(nullptr, TRUE, "SingleInstance");
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
        SetLastError(kSentinel);
        EXPECT_FALSE(ReleaseMutex(h));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
        EXPECT_EQ(WaitForSingleObject(h, 0), (DWORD)WAIT_TIMEOUT);
        CloseHandle(h);
    }
    EXPECT_TRUE(m.ui.findMutex("SingleInstance")->ownedByUs);
    EXPECT_TRUE(ReleaseMutex(first));
    CloseHandle(first);
}

TEST_F(WinsimUi, MutexNamesFollowTheSessionNamespace) {
    HANDLE plain = CreateMutexA(nullptr, FALSE, "Tool");
    HANDLE local = CreateMutexA(nullptr, FALSE, "Local\\Tool");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    HANDLE global = CreateMutexA(nullptr, FALSE, "Global\\Tool");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    HANDLE otherCase = CreateMutexA(nullptr, FALSE, "TOOL");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS) << "names compare with regard to case";
    SetLastError(kSentinel);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, "Some\\Tool"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    for (HANDLE h : {plain, local, global, otherCase}) CloseHandle(h);
    EXPECT_TRUE(m.ui.mutexes.empty());
}

TEST_F(WinsimUi, InjectedFaultFailsCreateMutex) {
    m.faults.fail("CreateMutexA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateMutexA(nullptr, TRUE, "SingleInstance"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(m.ui.mutexes.empty());
}

TEST_F(WinsimUi, PseudoHandlesStandForTheCurrentProcessAndThread) {
    EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
    EXPECT_EQ(GetCurrentThread(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)));
    EXPECT_EQ(GetCurrentProcessId(), m.modules.processId);
    EXPECT_EQ(m.handles.openCount(), 0u);
}

}  // namespace
