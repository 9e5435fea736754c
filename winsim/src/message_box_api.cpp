// MessageBoxA: the box is recorded and answered as the test scripted, not
// shown. While it is "shown" it is a top-level window of the dialog class
// with the caption as its title, so that another program (or a second
// instance) finds it with FindWindowA as it would on Windows.
#include <windows.h>

#include <vector>

#include "codepage.h"
#include "winsim/machine.h"

namespace {

// The buttons of each MB_TYPEMASK value, in the order the box shows them.
std::vector<int> buttonsOf(UINT type) {
    switch (type) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {};
    }
}

bool isButton(const std::vector<int>& buttons, int id) {
    for (int b : buttons)
        if (b == id) return true;
    return false;
}

// The answer of a user who presses Enter: the MB_DEFBUTTONn button, or the
// first one when the box has fewer buttons.
int defaultAnswer(const std::vector<int>& buttons, UINT style) {
    const size_t index = (style & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons[0];
}

// Windows' default caption, in the language of the system's resources.
std::string defaultCaptionUtf8(const winsim::Machine& m) {
    return (m.system.userDefaultLcid & 0x3FF) == 0x11 ? "エラー" : "Error";
}

}  // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    winsim::Machine& m = winsim::current();
    if (DWORD e = m.faults.check("MessageBoxA")) {
        m.lastError = e;
        return 0;
    }
    if (hWnd && !m.ui.window(hWnd)) {
        m.lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    const std::vector<int> buttons = buttonsOf(uType & MB_TYPEMASK);
    if (buttons.empty()) {
        winsim::notImplemented("MessageBoxA with the button type " + std::to_string(uType & MB_TYPEMASK));
        return 0;
    }

    winsim::MessageBoxRecord record;
    record.owner = hWnd;
    record.text = lpText ? lpText : "";
    record.textUtf8 = winsim::acpToUtf8(record.text);
    if (lpCaption) {
        record.caption = lpCaption;
        record.captionUtf8 = winsim::acpToUtf8(record.caption);
    } else {
        record.captionUtf8 = defaultCaptionUtf8(m);
        record.caption = winsim::utf8ToAcp(record.captionUtf8);
    }
    record.style = uType;
    record.answer = defaultAnswer(buttons, uType);
    if (!m.ui.scriptedAnswers.empty()) {
        const int scripted = m.ui.scriptedAnswers.front();
        m.ui.scriptedAnswers.pop_front();
        if (isButton(buttons, scripted)) {
            record.answer = scripted;
        } else {
            // A box can only return the id of one of its buttons (an MB_OK
            // box returns IDOK even when closed with Esc): the script is wrong.
            winsim::notImplemented("MessageBoxA: the scripted answer " + std::to_string(scripted) +
                                   " is not a button of the box \"" + record.captionUtf8 + "\" (type " +
                                   std::to_string(uType & MB_TYPEMASK) + ")");
        }
    }

    record.window = m.ui.showMessageBox(record.captionUtf8);
    const size_t index = m.ui.boxes.size();
    m.ui.boxes.push_back(record);
    // The callback gets this call's own record, not the list's element: it
    // may show boxes of its own, which grows the list.
    if (m.ui.onMessageBox) m.ui.onMessageBox(record);
    // Someone pressed a button meanwhile by sending WM_COMMAND with its id,
    // as a watcher program does.
    if (winsim::TopLevelWindow* box = m.ui.window(record.window)) {
        for (const winsim::WindowMessage& message : box->received) {
            const int id = LOWORD(message.wParam);
            if (message.msg == WM_COMMAND && isButton(buttons, id)) {
                record.answer = id;
                break;
            }
        }
    }
    m.ui.hideMessageBox(record.window);
    m.ui.boxes[index].answer = record.answer;
    return record.answer;
}
