// The desktop session's state: windows in Z order, message box windows and
// the mutex namespace. The Win32 calls on top of it are in window_api.cpp,
// message_box_api.cpp, mutex_api.cpp and process_api.cpp.
#include "winsim/ui.h"

#include "winsim/file_system.h"

#include "winsim/machine.h"

namespace winsim {

// One handle of the program to a mutex. The handle table owns it; when
// CloseHandle (or the end of the machine) drops it, the mutex loses one
// reference.
struct MutexHandle : KernelObject {
    MutexHandle(Ui* ui, std::shared_ptr<Ui::NamedMutex> mutex) : ui(ui), mutex(std::move(mutex)) {}
    ~MutexHandle() override { ui->dropReference(mutex); }
    Ui* ui;
    std::shared_ptr<Ui::NamedMutex> mutex;
};

void TopLevelWindow::addProperty(const std::string& name, HANDLE data) {
    // SetProp adds the name to the atom table: a name that differs from a
    // registered one only in case takes that atom, with its spelling.
    if (propertyAtoms) propertyAtoms->emplace(upperName(name), name);
    WindowProperty property;
    property.name = name;
    property.data = data;
    properties.push_back(property);
}

void TopLevelWindow::addProperty(WORD atom, HANDLE data) {
    WindowProperty property;
    property.atom = atom;
    property.data = data;
    properties.push_back(property);
}

std::string Ui::propertyAtomName(const std::string& name) const {
    auto it = propertyAtoms.find(upperName(name));
    return it == propertyAtoms.end() ? name : it->second;
}

Ui::Ui() = default;
Ui::~Ui() = default;

HWND Ui::addWindow(const std::string& className, const std::string& title) {
    TopLevelWindow w;
    w.hwnd = reinterpret_cast<HWND>(nextWindow_);
    nextWindow_ += 0x10;
    w.className = className;
    w.title = title;
    w.propertyAtoms = &propertyAtoms;
    windows.push_front(w);
    return w.hwnd;
}

void Ui::removeWindow(HWND hwnd) {
    windows.remove_if([hwnd](const TopLevelWindow& w) { return w.hwnd == hwnd; });
    if (foreground == hwnd) foreground = nullptr;
}

TopLevelWindow* Ui::window(HWND hwnd) {
    if (!hwnd) return nullptr;
    for (TopLevelWindow& w : windows)
        if (w.hwnd == hwnd) return &w;
    return nullptr;
}

void Ui::moveToTop(HWND hwnd) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->hwnd == hwnd) {
            windows.splice(windows.begin(), windows, it);
            return;
        }
    }
}

HWND Ui::showMessageBox(const std::string& captionUtf8) {
    // Windows creates message boxes with the dialog class, atom 32770.
    HWND box = addWindow("#32770", captionUtf8);
    window(box)->messageBox = true;
    return box;
}

void Ui::hideMessageBox(HWND box) { removeWindow(box); }

// --- mutexes -----------------------------------------------------------------

std::optional<std::string> Ui::mutexKey(const std::string& utf8Name) {
    // Kernel object names live in the session's BaseNamedObjects directory;
    // "Local\" names that same directory and "Global\" the global one. Any
    // other backslash asks for a directory that does not exist.
    std::string key = utf8Name;
    const std::string local = "Local\\";
    if (key.compare(0, local.size(), local) == 0) key = key.substr(local.size());
    size_t start = 0;
    const std::string global = "Global\\";
    if (key.compare(0, global.size(), global) == 0) start = global.size();
    if (key.find('\\', start) != std::string::npos) return std::nullopt;
    return key;
}

std::shared_ptr<Ui::NamedMutex> Ui::findMutex(const std::string& name) const {
    auto key = mutexKey(name);
    if (!key) return nullptr;
    auto it = mutexes.find(*key);
    return it == mutexes.end() ? nullptr : it->second;
}

std::shared_ptr<Ui::NamedMutex> Ui::createMutex(const std::string& key) {
    auto mutex = std::make_shared<NamedMutex>();
    mutex->name = key;
    if (!key.empty()) mutexes[key] = mutex;
    return mutex;
}

std::shared_ptr<KernelObject> Ui::newMutexHandle(const std::shared_ptr<NamedMutex>& mutex) {
    ++mutex->references;
    return std::make_shared<MutexHandle>(this, mutex);
}

std::shared_ptr<Ui::NamedMutex> Ui::mutexOf(const std::shared_ptr<KernelObject>& handleObject) {
    auto handle = std::dynamic_pointer_cast<MutexHandle>(handleObject);
    return handle ? handle->mutex : nullptr;
}

void Ui::dropReference(const std::shared_ptr<NamedMutex>& mutex) {
    if (--mutex->references > 0) return;
    // The last reference is gone: Windows deletes the object, and a mutex
    // still owned is abandoned with it. Its name leaves the namespace.
    mutex->ownedByUs = false;
    mutex->recursion = 0;
    auto it = mutexes.find(mutex->name);
    if (it != mutexes.end() && it->second == mutex) mutexes.erase(it);
}

void Ui::holdMutexElsewhere(const std::string& name) {
    auto key = mutexKey(name);
    if (!key || key->empty()) {
        notImplemented("Ui::holdMutexElsewhere(\"" + name + "\"): not a name of the session namespace");
        return;
    }
    std::shared_ptr<NamedMutex> mutex = findMutex(*key);
    if (!mutex) mutex = createMutex(*key);
    if (mutex->heldElsewhere) return;
    if (mutex->ownedByUs) {
        // The other program would wait for the program to release it.
        notImplemented("Ui::holdMutexElsewhere(\"" + name + "\"): the program owns that mutex");
        return;
    }
    mutex->heldElsewhere = true;
    ++mutex->references;
}

void Ui::releaseMutexElsewhere(const std::string& name) {
    std::shared_ptr<NamedMutex> mutex = findMutex(name);
    if (!mutex || !mutex->heldElsewhere) return;
    mutex->heldElsewhere = false;
    dropReference(mutex);
}

}  // namespace winsim
