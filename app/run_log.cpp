#include "app/run_log.h"

#include <string>
#include <vector>

#include "app/wow64_relaunch.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"

namespace {

// The run's lines in the ANSI code page, converted to UTF-8 when written.
std::string g_pending;
// The size check and roll-over happen before a run's first write only.
bool g_rollOverChecked = false;

// A field may not break the line: tabs and line breaks become spaces. The
// bytes 0x09, 0x0A and 0x0D are never a trail byte of a double-byte
// character, so the ANSI text can be cleaned byte by byte.
void AppendField(std::string& line, const char* text) {
    line += '\t';
    for (const char* p = text; *p; ++p) line += (*p == '\t' || *p == '\r' || *p == '\n') ? ' ' : *p;
}

void BeginLine(std::string& line, const char* event) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond);
    line = stamp;
    AppendField(line, event);
}

void EndLine(const std::string& line) { g_pending += line + "\r\n"; }

std::string WindowsVersionText() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) return "Windows ?";
    char text[64];
    wsprintfA(text, "Windows %lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber);
    return text;
}

// The ANSI text as UTF-8; the bytes as they are when a conversion fails.
std::string Utf8FromAnsi(const std::string& ansi) {
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (wideLength <= 0) return ansi;
    std::vector<WCHAR> wide(static_cast<size_t>(wideLength));
    if (MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), wideLength) !=
        wideLength)
        return ansi;
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return ansi;
    std::string utf8(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr) != length)
        return ansi;
    return utf8;
}

bool LogPath(char* path, const char* name) {
    const UINT length = GetWindowsDirectoryA(path, kPathBufferSize);
    return length != 0 && length < static_cast<UINT>(kPathBufferSize) && AppendStringLimited(path, name, kPathMaxChars);
}

// A path that is a link, a folder or anything but a plain file or nothing.
bool RefusedLogPath(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() != ERROR_FILE_NOT_FOUND;
    return (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

// Opens the log for appending. FILE_FLAG_OPEN_REPARSE_POINT opens a link
// planted after the check above as itself, never the file it points to.
HANDLE OpenLog(const char* path) {
    if (RefusedLogPath(path)) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsFull(HANDLE log) {
    DWORD high = 0;
    const DWORD low = GetFileSize(log, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    return high != 0 || low > kRunLogRollOverSize;
}

// Opens the log, renaming a full one away first on the run's first write.
HANDLE OpenLogForRun(const char* path) {
    HANDLE log = OpenLog(path);
    if (log == INVALID_HANDLE_VALUE || g_rollOverChecked) return log;
    g_rollOverChecked = true;
    if (!IsFull(log)) return log;
    CloseHandle(log);
    char oldPath[kPathBufferSize] = {};
    // A log that cannot be renamed is appended to as it is.
    if (LogPath(oldPath, kOldRunLogName)) MoveFileExA(path, oldPath, MOVEFILE_REPLACE_EXISTING);
    return OpenLog(path);
}

}  // namespace

void StartRunLog(const char* commandLine) {
    g_pending.clear();
    g_rollOverChecked = false;
    std::string line;
    BeginLine(line, "start");
    AppendField(line, "210QX_USB " PRODUCT_VERSION_TEXT);
    AppendField(line, WindowsVersionText().c_str());
    AppendField(line, sizeof(void*) == 4 || RunningUnderWow64() ? "32-bit" : "64-bit");
    AppendField(line, commandLine ? commandLine : "");
    EndLine(line);
}

void LogEvent(const char* event, const char* field, const char* detail) {
    std::string line;
    BeginLine(line, event);
    if (field) AppendField(line, field);
    if (detail) AppendField(line, detail);
    EndLine(line);
}

void LogEventNumber(const char* event, const char* field, DWORD number) {
    char text[16];
    wsprintfA(text, "%lu", number);
    LogEvent(event, field, text);
}

void LogFailure(DWORD code, const char* text) {
    // Win32 codes in decimal as Windows documents them; Setup API and
    // HRESULT-style codes in hexadecimal.
    char number[16];
    wsprintfA(number, code < 0x80000000u ? "%lu" : "0x%08lX", code);
    LogEvent("error", number, text);
}

void FlushRunLog() {
    if (g_pending.empty()) return;
    const std::string text = Utf8FromAnsi(g_pending);
    g_pending.clear();
    char path[kPathBufferSize] = {};
    if (!LogPath(path, kRunLogName)) return;
    HANDLE log = OpenLogForRun(path);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(log);
}

void FinishRunLog(int exitCode) {
    LogEventNumber("exit", nullptr, static_cast<DWORD>(exitCode));
    FlushRunLog();
}
