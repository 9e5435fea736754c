#include "app/messages.h"

#include "app/placeholders.h"
#include "app/run_outcome.h"
#include "sysaccess/preview.h"
#include "sysaccess/run_log.h"

static_assert(kMessageTextSize + 64 <= kRunLogLineSize, "a message's log line holds its whole text");

int LoadResString(UINT id, char* buffer, int size) {
    const int n = LoadStringA(g_pAppContext->hInstance, id, buffer, size);
    if (n != 0) SubstitutePlaceholders(buffer, size);
    return n;
}

void FormatResString(UINT id, char* output, va_list arguments) {
    char format[kFormatTemplateSize] = {};
    LoadStringA(g_pAppContext->hInstance, id, format, kFormatTemplateSize);
    SubstitutePlaceholders(format, kFormatTemplateSize, /*forFormatTemplate=*/true);
    wvsprintfA(output, format, arguments);
}

namespace {

int ShowResMessage(HWND owner, UINT id, UINT style, va_list arguments) {
    char text[kMessageTextSize] = {};
    FormatResString(id, text, arguments);
    char number[16];
    wsprintfA(number, "%u", id);
    // A preview shows no error: it logs the one the run would show.
    if (PreviewMode() && style == MB_ICONERROR) {
        LogWouldMeet("message", number, text);
        return IDOK;
    }
    LogEvent("message", number, text);
    // In quiet mode nobody is there to answer: the log says it instead.
    if (QuietMode()) return IDOK;
    return MessageBoxA(owner, text, g_pAppContext->szAppTitle, style);
}

void ShowSystemErrorText(DWORD code, const char* text) {
    if (PreviewMode()) {
        LogWouldMeetFailure(code, text);
        return;
    }
    LogFailure(code, text);
    if (!QuietMode()) MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
}

// The Setup API reports errors as 0xE000xxxx (customer bit and error
// severity set); the system message table holds their texts only in the
// HRESULT form with the Setup API facility.
bool IsSetupApiCode(DWORD code) { return (code & 0xE0000000u) == 0xE0000000u; }

char* AllocateSystemText(DWORD code) {
    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    if (FormatMessageA(flags, nullptr, code, MAKELANGID(0x00, 0x01), reinterpret_cast<LPSTR>(&text), 0,
                       nullptr) == 0)
        return nullptr;
    return text;
}

}  // namespace

int ShowErrorMessage(HWND owner, UINT id, ...) {
    NoteRunFailed();
    va_list arguments;
    va_start(arguments, id);
    const int result = ShowResMessage(owner, id, MB_ICONERROR, arguments);
    va_end(arguments);
    return result;
}

int ShowInfoMessage(HWND owner, UINT id, ...) {
    va_list arguments;
    va_start(arguments, id);
    const int result = ShowResMessage(owner, id, MB_ICONINFORMATION, arguments);
    va_end(arguments);
    return result;
}

void ShowSystemError(DWORD code) {
    NoteRunFailed();
    char* text = AllocateSystemText(code);
    if (!text && IsSetupApiCode(code)) text = AllocateSystemText(static_cast<DWORD>(HRESULT_FROM_SETUPAPI(code)));
    if (text) {
        ShowSystemErrorText(code, text);
        LocalFree(text);
        return;
    }
    char number[16];
    wsprintfA(number, "0x%08X", static_cast<unsigned>(code));
    ShowSystemErrorText(code, number);
}
