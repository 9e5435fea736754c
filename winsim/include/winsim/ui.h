// The desktop session of the simulated PC: top-level windows of other
// programs, the message boxes the program shows, and the session's named
// mutexes.
//
// Seeding and inspection take UTF-8 (class names, titles, property and
// mutex names); the Win32 layer converts from the machine's ANSI code page.
#pragma once

#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
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
    std::string textUtf8;  // converted for the test's convenience
    std::string captionUtf8;
    HWND window = nullptr;  // the box's own top-level window while it was shown
};

struct WindowMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;  // SendMessage rather than PostMessage
};

struct WindowProperty {
    std::string name;  // empty for a property named by its atom
    WORD atom = 0;     // non-zero for a property named by its atom (see addProperty)
    HANDLE data = nullptr;
};

struct TopLevelWindow {
    HWND hwnd;
    std::string className;
    std::string title;
    bool visible = true;
    bool iconic = false;
    bool hung = false;        // its thread answers no sent message any more
    bool messageBox = false;  // a box that MessageBoxA of the program shows
    std::vector<WindowProperty> properties;  // in the order EnumPropsA reports them
    // The session's atom table, which holds the names of string properties
    // (set by Ui::addWindow).
    std::map<std::string, std::string>* propertyAtoms = nullptr;
    // What the window procedure returns for a sent message (0 when absent).
    std::map<UINT, LRESULT> replies;
    std::vector<WindowMessage> received;
    std::vector<std::string> actions;  // "ShowWindow 9", "BringWindowToTop", "SetForegroundWindow"

    void addProperty(const std::string& name, HANDLE data);
    // A property that EnumPropsA reports by its atom, passed in place of
    // the name's pointer with the high-order word zero. SetProp documents
    // this for integer atoms (below 0xC000). An atom from 0xC000 to 0xFFFF
    // is a string atom, which Windows documents nothing about here and
    // Wine passes as its string (or skips when it has no name): such a
    // property is a defensive case, for callbacks that must not read any
    // name whose high-order word is zero as a string.
    void addProperty(WORD atom, HANDLE data);
};

class Ui {
public:
    Ui();
    ~Ui();
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    // A window of another program, placed on top of the Z order as a newly
    // shown window is. The returned handle stays valid until removeWindow.
    HWND addWindow(const std::string& className, const std::string& title);
    void removeWindow(HWND hwnd);
    // The window behind a handle, or null. The reference stays valid while
    // the window exists, whatever else is added or removed.
    TopLevelWindow* window(HWND hwnd);
    void moveToTop(HWND hwnd);
    std::list<TopLevelWindow> windows;  // in Z order, top first
    HWND foreground = nullptr;          // the last window SetForegroundWindow activated

    // Window property names are global atoms: names that differ only in
    // case share one atom, which keeps the spelling of its first
    // registration. By upper-cased name.
    std::map<std::string, std::string> propertyAtoms;
    // The spelling EnumPropsA reports for a string property's name.
    std::string propertyAtomName(const std::string& name) const;

    std::vector<MessageBoxRecord> boxes;  // in the order they were shown
    // Answers for the next message boxes, taken in the order the boxes are
    // shown. Without one a box is answered with its default button (IDOK
    // for MB_OK and, unless MB_DEFBUTTON2 says otherwise, MB_OKCANCEL).
    std::deque<int> scriptedAnswers;
    // Runs while a box is shown, before it is answered (for example to
    // start a second instance of the program meanwhile). A WM_COMMAND with
    // a button's id posted or sent to the box meanwhile answers it.
    std::function<void(const MessageBoxRecord&)> onMessageBox;

    // A mutex of the session, named or not. Every handle the program holds
    // counts as a reference, as does another program holding it; the name
    // leaves the namespace when the last reference goes, as it does in
    // Windows when the last handle to the object is closed.
    struct NamedMutex : KernelObject {
        std::string name;        // key in the namespace; empty for an unnamed mutex
        int references = 0;      // the program's open handles, plus one while another program holds it
        bool ownedByUs = false;  // a thread of the program (of any instance run on this machine) owns it
        DWORD ownerProcess = 0;  // the process id of that instance while ownedByUs
        int recursion = 0;       // acquisitions beyond the first; each needs its own ReleaseMutex
        bool heldElsewhere = false;  // another program owns it and keeps a handle open
    };
    std::map<std::string, std::shared_ptr<NamedMutex>> mutexes;  // the session's namespace

    // Another program creates the mutex (or opens it) and owns it.
    void holdMutexElsewhere(const std::string& name);
    // That program releases it and closes its handle (it exits).
    void releaseMutexElsewhere(const std::string& name);
    // The mutex in the namespace under this name (as CreateMutexA would
    // resolve it), or null.
    std::shared_ptr<NamedMutex> findMutex(const std::string& name) const;

    // --- used by the Win32 layer ------------------------------------------
    // The namespace key of a mutex name: "Local\\X" is the session's "X",
    // "Global\\X" stays apart; nothing when the name has another backslash
    // (Windows then finds no such object directory: ERROR_PATH_NOT_FOUND).
    static std::optional<std::string> mutexKey(const std::string& utf8Name);
    // A new mutex, entered in the namespace unless the key is empty.
    std::shared_ptr<NamedMutex> createMutex(const std::string& key);
    // The object for one more handle to the mutex (HandleKind::Mutex).
    std::shared_ptr<KernelObject> newMutexHandle(const std::shared_ptr<NamedMutex>& mutex);
    // The mutex behind such a handle object, or null.
    static std::shared_ptr<NamedMutex> mutexOf(const std::shared_ptr<KernelObject>& handleObject);

    // Shows a message box window on top of the Z order; hideMessageBox
    // takes it away again when the box is answered.
    HWND showMessageBox(const std::string& captionUtf8);
    void hideMessageBox(HWND box);

private:
    friend struct MutexHandle;
    void dropReference(const std::shared_ptr<NamedMutex>& mutex);
    uintptr_t nextWindow_ = 0x10010;
};

}  // namespace winsim
