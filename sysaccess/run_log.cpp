#include "sysaccess/run_log.h"

#include "res/resource.h"

namespace {

// The log of the running program; INVALID_HANDLE_VALUE when it is not open
// (not yet, no more, or it could not be opened).
HANDLE g_log = INVALID_HANDLE_VALUE;

struct Line {
    char text[kRunLogLineSize];
    int length = 0;
};

// A field may not break the line: tabs and line breaks become spaces. The
// bytes 0x09, 0x0A and 0x0D are never a trail byte of a double-byte
// character, so the ANSI text can be cleaned byte by byte. A field that
// does not fit is cut (the line's end is kept for the CRLF).
void AppendRaw(Line& line, const char* text) {
    for (const char* p = text; *p && line.length < kRunLogLineSize - 3; ++p)
        line.text[line.length++] = (*p == '\t' || *p == '\r' || *p == '\n') ? ' ' : *p;
}

void AppendField(Line& line, const char* text) {
    if (line.length < kRunLogLineSize - 3) line.text[line.length++] = '\t';
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

bool IsAscii(const char* text, int length) {
    for (int i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

// Writes the text as UTF-8 in one WriteFile; the bytes as they are when a
// conversion fails. Seven-bit text reads the same in UTF-8 and in every
// ANSI code page.
void WriteAsUtf8(const char* ansi, int length) {
    DWORD written = 0;
    if (IsAscii(ansi, length)) {
        WriteFile(g_log, ansi, static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    // An ANSI byte gives at most one UTF-16 unit, and a unit at most three
    // bytes of UTF-8.
    WCHAR wide[kRunLogLineSize];
    char utf8[kRunLogLineSize * 3];
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi, length, wide, kRunLogLineSize);
    const int utf8Length =
        wideLength > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8, static_cast<int>(sizeof(utf8)), nullptr,
                                                             nullptr) : 0;
    if (utf8Length > 0)
        WriteFile(g_log, utf8, static_cast<DWORD>(utf8Length), &written, nullptr);
    else
        WriteFile(g_log, ansi, static_cast<DWORD>(length), &written, nullptr);
}

// Ends the line and writes it at once. The caller's last error survives:
// a line logged between a failing call and the caller's look at its error
// must not change what the caller finds.
void EndLine(Line& line) {
    line.text[line.length++] = '\r';
    line.text[line.length++] = '\n';
    if (g_log == INVALID_HANDLE_VALUE) return;
    const DWORD error = GetLastError();
    WriteAsUtf8(line.text, line.length);
    SetLastError(error);
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

// The Windows folder and the name, in a buffer of MAX_PATH bytes; false
// when they do not fit.
bool LogPath(char* path, const char* name) {
    const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length + static_cast<UINT>(lstrlenA(name)) >= static_cast<UINT>(MAX_PATH)) return false;
    lstrcatA(path, name);
    return true;
}

// A path that is a link, a folder or anything but a plain file or nothing.
bool RefusedLogPath(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() != ERROR_FILE_NOT_FOUND;
    return (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

// Opens the log for appending only, so that no write lands anywhere but
// at the file's end. FILE_FLAG_OPEN_REPARSE_POINT opens a link planted
// after the check above as itself, never the file it points to. Other
// programs may read and append meanwhile, but not rename or delete it.
HANDLE OpenLog(const char* path) {
    if (RefusedLogPath(path)) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsFull(HANDLE log) {
    DWORD high = 0;
    const DWORD low = GetFileSize(log, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    return high != 0 || low > kRunLogRollOverSize;
}

// Opens the log, renaming a full one away first. A log that cannot be
// renamed (another program holds it open) is appended to as it is.
HANDLE OpenLogForRun() {
    char path[MAX_PATH] = {};
    if (!LogPath(path, kRunLogName)) return INVALID_HANDLE_VALUE;
    HANDLE log = OpenLog(path);
    if (log == INVALID_HANDLE_VALUE || !IsFull(log)) return log;
    CloseHandle(log);
    char oldPath[MAX_PATH] = {};
    if (LogPath(oldPath, kOldRunLogName)) MoveFileExA(path, oldPath, MOVEFILE_REPLACE_EXISTING);
    return OpenLog(path);
}

void CloseLog() {
    if (g_log == INVALID_HANDLE_VALUE) return;
    CloseHandle(g_log);
    g_log = INVALID_HANDLE_VALUE;
}

}  // namespace

void StartRunLog(const char* commandLine, bool process32) {
    CloseLog();
    g_log = OpenLogForRun();
    Line line;
    BeginLine(line, "start");
    AppendField(line, "210QX_USB " PRODUCT_VERSION_TEXT);
    AppendWindowsVersion(line);
    AppendField(line, process32 ? "32-bit" : "64-bit");
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

void LogInstallFlag(bool oldRead, DWORD oldValue, DWORD newValue, const char* event) {
    char oldText[16] = "none";
    if (oldRead) wsprintfA(oldText, "%lu", oldValue);
    LogEventNumber(event, oldText, newValue);
}

void LogFailure(DWORD code, const char* text, const char* event) {
    // Win32 codes in decimal as Windows documents them; Setup API and
    // HRESULT-style codes in hexadecimal.
    char number[16];
    wsprintfA(number, code < 0x80000000u ? "%lu" : "0x%08lX", code);
    LogEvent(event, number, text);
}

bool RunLogPath(char* path) { return LogPath(path, kRunLogName); }

void FinishRunLog(int exitCode) {
    LogEventNumber("exit", nullptr, static_cast<DWORD>(exitCode));
    CloseLog();
}
