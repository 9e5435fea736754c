// Windows of other programs, message boxes and named mutexes of the
// simulated desktop session.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "handles.h"
#include "win_types.h"

namespace winsim {

struct MessageBoxRecord {
    HWND owner;
    std::string text;     // as passed, in the machine's ANSI code page
    std::string caption;  // likewise
    UINT style;
    int answer;
    std::string textUtf8;     // converted for the test's convenience
    std::string captionUtf8;
};

struct WindowMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;  // SendMessage rather than PostMessage
};

struct WindowProperty {
    std::string name;  // empty for an integer atom
    WORD atom = 0;     // non-zero for an integer atom (below 0xC000)
    HANDLE data = nullptr;
};

struct TopLevelWindow {
    HWND hwnd;
    std::string className;
    std::string title;
    bool iconic = false;
    bool hung = false;  // never answers a sent message
    std::vector<WindowProperty> properties;
    std::vector<WindowMessage> received;
    std::vector<std::string> actions;  // "ShowWindow 9", "BringWindowToTop", "SetForegroundWindow"
};

class Ui {
public:
    HWND addWindow(const std::string& className, const std::string& title);
    TopLevelWindow* window(HWND hwnd);
    std::vector<TopLevelWindow> windows;  // in Z order, top first

    std::vector<MessageBoxRecord> boxes;
    // Answers for the next message boxes; IDOK when empty.
    std::deque<int> scriptedAnswers;
    // Runs while a box is shown, before it is answered (for example to
    // start a second instance of the program meanwhile).
    std::function<void(const MessageBoxRecord&)> onMessageBox;

    // Named mutexes of the session. A mutex that another process holds is
    // seeded with holdMutexElsewhere.
    void holdMutexElsewhere(const std::string& name);
    struct NamedMutex : KernelObject {
        std::string name;
        int references = 0;
        bool ownedByUs = false;
    };
    std::map<std::string, std::shared_ptr<NamedMutex>> mutexes;

private:
    uintptr_t nextWindow_ = 0x10010;
};

}  // namespace winsim
