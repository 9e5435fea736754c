// Message-box watcher of the end-to-end tests: records every message box
// that any program in the Wine prefix shows, and answers it, so that a test
// can read back exactly which boxes were shown.
//
//   box_watcher.exe <control folder>
//
// The control folder (a Windows path) holds:
//   boxes.log  written: one line per box, "<n>\t<pid>\t<buttons>\t<caption>\t<text>",
//              UTF-8, with backslash, tab, CR and LF written as \\ \t \r \n;
//              <buttons> lists the IDs of the box's push buttons, e.g. "1" or "6,7"
//   ready      written once the watcher is polling
//   hold       while this file exists, boxes are recorded but not answered;
//              when it holds a number n, only the n-th box and those after it
//              are held, so a test can look at the machine while a later box
//              of a run waits
//   answer     optional: the command ID to answer with (default IDOK)
//   stop       the watcher exits once this file exists
//
// A message box is a top-level dialog of class "#32770"; its text is the
// static control with ID 0xFFFF. A box is recorded once it is visible (its
// text is set by then) and answered by posting WM_COMMAND with the answer's
// ID, which ends the box as if that button was pressed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMilliseconds = 50;
constexpr int kMessageBoxTextId = 0xFFFF;

std::string g_folder;
std::map<HWND, int> g_recorded;  // each box with its number
std::set<HWND> g_answered;
std::vector<HWND> g_visibleBoxes;
int g_count = 0;

std::string ControlFile(const char* name) { return g_folder + "\\" + name; }

bool FileExists(const char* name) {
    return GetFileAttributesA(ControlFile(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ToUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::wstring Caption(HWND box) {
    int length = GetWindowTextLengthW(box);
    std::wstring text(length + 1, L'\0');
    int copied = GetWindowTextW(box, &text[0], length + 1);
    text.resize(copied > 0 ? copied : 0);
    return text;
}

// The message text, read from the box's static control as another process
// sees it.
std::wstring MessageText(HWND box) {
    HWND item = GetDlgItem(box, kMessageBoxTextId);
    if (item == nullptr) return std::wstring();
    int length = GetWindowTextLengthW(item);
    std::wstring text(length + 1, L'\0');
    UINT copied = GetDlgItemTextW(box, kMessageBoxTextId, &text[0], length + 1);
    text.resize(copied);
    return text;
}

std::string Buttons(HWND box) {
    static const int kIds[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE};
    std::string list;
    for (int id : kIds) {
        if (GetDlgItem(box, id) == nullptr) continue;
        if (!list.empty()) list += ",";
        list += std::to_string(id);
    }
    return list;
}

// Appends one line to boxes.log, opening and closing the file each time so
// that the test can read it while the watcher runs.
void AppendToLog(const std::string& line) {
    HANDLE log = CreateFileA(ControlFile("boxes.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "box_watcher: cannot open the log (error %lu)\n", GetLastError());
        return;
    }
    DWORD written = 0;
    WriteFile(log, line.data(), (DWORD)line.size(), &written, nullptr);
    CloseHandle(log);
}

int Record(HWND box) {
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    std::string caption = ToUtf8(Caption(box));
    std::string text = ToUtf8(MessageText(box));
    ++g_count;
    AppendToLog(std::to_string(g_count) + "\t" + std::to_string(pid) + "\t" + Buttons(box) + "\t" + Escape(caption) +
                "\t" + Escape(text) + "\n");
    return g_count;
}

BOOL CALLBACK CollectBox(HWND window, LPARAM) {
    wchar_t className[16];
    if (GetClassNameW(window, className, 16) > 0 && lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window))
        g_visibleBoxes.push_back(window);
    return TRUE;
}

// The number in a control file, or 0 when it is missing or holds none.
unsigned long ControlNumber(const char* name) {
    HANDLE file = CreateFileA(ControlFile(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char buffer[16] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
    CloseHandle(file);
    return std::strtoul(buffer, nullptr, 10);
}

WPARAM AnswerId() {
    unsigned long id = ControlNumber("answer");
    return id != 0 ? (WPARAM)id : IDOK;
}

void Poll() {
    g_visibleBoxes.clear();
    EnumWindows(CollectBox, 0);
    bool hold = FileExists("hold");
    unsigned long holdFrom = hold ? ControlNumber("hold") : 0;
    for (HWND box : g_visibleBoxes) {
        auto recorded = g_recorded.find(box);
        int number = recorded != g_recorded.end() ? recorded->second : (g_recorded[box] = Record(box));
        bool held = hold && (unsigned long)number >= holdFrom;
        if (!held && g_answered.insert(box).second) PostMessageW(box, WM_COMMAND, AnswerId(), 0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: box_watcher.exe <control folder>\n");
        return 2;
    }
    g_folder = argv[1];
    HANDLE ready = CreateFileA(ControlFile("ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "box_watcher: cannot write to %s (error %lu)\n", g_folder.c_str(), GetLastError());
        return 1;
    }
    CloseHandle(ready);
    while (!FileExists("stop")) {
        Poll();
        Sleep(kPollMilliseconds);
    }
    // A box shown just before the stop is still recorded.
    Poll();
    return 0;
}
