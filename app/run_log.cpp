#include "app/run_log.h"

#include "app/messages.h"

#include "app/wow64_relaunch.h"
#include "res/resource.h"
#include "sysaccess/local_buffer.h"
#include "sysaccess/path_text.h"

namespace {

// The run's lines in the ANSI code page, converted to UTF-8 when written. A
// run writes a few dozen lines; should they ever fill the buffer, it is
// written out early.
constexpr int kPendingSize = 64 * 1024;
char g_pending[kPendingSize];
int g_pendingLength = 0;
// The size check and roll-over happen before a run's first write only.
bool g_rollOverChecked = false;

// One line: the longest message text and its fields fit.
constexpr int kLineSize = kMessageTextSize + 1024;

struct Line {
    char text[kLineSize];
    int length = 0;
};

// A field may not break the line: tabs and line breaks become spaces. The
// bytes 0x09, 0x0A and 0x0D are never a trail byte of a double-byte
// character, so the ANSI text can be cleaned byte by byte. A field that
// does not fit is cut (the line's end is kept for the CRLF).
void AppendRaw(Line& line, const char* text) {
    for (const char* p = text; *p && line.length < kLineSize - 3; ++p)
        line.text[line.length++] = (*p == '\t' || *p == '\r' || *p == '\n') ? ' ' : *p;
}

void AppendField(Line& line, const char* text) {
    if (line.length < kLineSize - 3) line.text[line.length++] = '\t';
    AppendRaw(line, text);
}

void BeginLine(Line& line, const char* event) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond);
    line.length = 0;
    AppendRaw(line, stamp);
    AppendField(line, event);
}

void EndLine(Line& line) {
    line.text[line.length++] = '\r';
    line.text[line.length++] = '\n';
    if (g_pendingLength + line.length > kPendingSize) FlushRunLog();
    for (int i = 0; i < line.length; ++i) g_pending[g_pendingLength + i] = line.text[i];
    g_pendingLength += line.length;
}

void AppendWindowsVersion(Line& line) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) {
        AppendField(line, "Windows ?");
        return;
    }
    char text[64];
    wsprintfA(text, "Windows %lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber);
    AppendField(line, text);
}

// Writes the ANSI text as UTF-8; the bytes as they are when a conversion
// fails.
void WriteAsUtf8(HANDLE log, const char* ansi, int length) {
    DWORD written = 0;
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi, length, nullptr, 0);
    LocalBuffer<WCHAR> wide(wideLength > 0 ? static_cast<size_t>(wideLength) : 0);
    if (wide.get() && MultiByteToWideChar(CP_ACP, 0, ansi, length, wide.get(), wideLength) == wideLength) {
        const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.get(), wideLength, nullptr, 0, nullptr, nullptr);
        LocalBuffer<char> utf8(utf8Length > 0 ? static_cast<size_t>(utf8Length) : 0);
        if (utf8.get() && WideCharToMultiByte(CP_UTF8, 0, wide.get(), wideLength, utf8.get(), utf8Length, nullptr,
                                              nullptr) == utf8Length) {
            WriteFile(log, utf8.get(), static_cast<DWORD>(utf8Length), &written, nullptr);
            return;
        }
    }
    WriteFile(log, ansi, static_cast<DWORD>(length), &written, nullptr);
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
    g_pendingLength = 0;
    g_rollOverChecked = false;
    Line line;
    BeginLine(line, "start");
    AppendField(line, "210QX_USB " PRODUCT_VERSION_TEXT);
    AppendWindowsVersion(line);
    AppendField(line, sizeof(void*) == 4 || RunningUnderWow64() ? "32-bit" : "64-bit");
    AppendField(line, commandLine ? commandLine : "");
    EndLine(line);
}

void LogEvent(const char* event, const char* field, const char* detail) {
    Line line;
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

void LogInstallFlag(bool oldRead, DWORD oldValue, DWORD newValue) {
    char oldText[16] = "none";
    if (oldRead) wsprintfA(oldText, "%lu", oldValue);
    LogEventNumber("install flag", oldText, newValue);
}

void LogFailure(DWORD code, const char* text) {
    // Win32 codes in decimal as Windows documents them; Setup API and
    // HRESULT-style codes in hexadecimal.
    char number[16];
    wsprintfA(number, code < 0x80000000u ? "%lu" : "0x%08lX", code);
    LogEvent("error", number, text);
}

void FlushRunLog() {
    if (g_pendingLength == 0) return;
    const int length = g_pendingLength;
    g_pendingLength = 0;
    char path[kPathBufferSize] = {};
    if (!LogPath(path, kRunLogName)) return;
    HANDLE log = OpenLogForRun(path);
    if (log == INVALID_HANDLE_VALUE) return;
    WriteAsUtf8(log, g_pending, length);
    CloseHandle(log);
}

void FinishRunLog(int exitCode) {
    LogEventNumber("exit", nullptr, static_cast<DWORD>(exitCode));
    FlushRunLog();
}
