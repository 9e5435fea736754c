// The run log: %WINDIR%\210QX_USB.log, appended to by every run, so that a
// support desk can read afterwards what the program did.
//
// One line per event, fields separated by tabs, each line starting with the
// local time; UTF-8 with CRLF. A header line opens each run and an exit
// line ends it. The log is opened once, when the run starts, and each line
// is written to the file as it is made, with one WriteFile: a run that
// hangs (on a pnputil.exe or a running copy's window that never returns),
// crashes or is killed leaves every line it made before that. The log never
// stops or fails a run: a log that cannot be opened or written is skipped.
//
// The file is shared for reading and writing while a run holds it: the
// 64-bit build a 32-bit run hands over to, or a second copy, appends to it
// meanwhile. A handle that may only append never overwrites what is there,
// and each line goes to the end of the file in one WriteFile: the lines of
// two programs follow each other, never mixed within a line.
//
// The Windows folder is the log's home because only administrators and
// the system can create files there: in a folder where users may create
// files, a link planted under the log's name would make the elevated
// program write to, or rename, a file of the user's choosing. For the same
// reason a log path that is a link (any reparse point) or a folder is never
// written.
//
// The log depends on nothing of the program above it, so that every part
// may write to it.
#pragma once

#include <windows.h>

constexpr const char kRunLogName[] = "\\210QX_USB.log";
constexpr const char kOldRunLogName[] = "\\210QX_USB.old.log";
// A log that has passed this size is renamed to the old log's name when
// the next run starts (replacing the older one).
constexpr DWORD kRunLogRollOverSize = 1024 * 1024;
// The longest line in bytes of ANSI text, its CRLF included; a longer line
// is cut. A message's whole text fits, with its fields.
constexpr int kRunLogLineSize = 5 * 1024;

// Opens the log and writes the run's header: time, program version,
// Windows version and build, 32- or 64-bit process, command line.
void StartRunLog(const char* commandLine, bool process32);

// One thing done or found, with up to two fields of ANSI text.
void LogEvent(const char* event, const char* field = nullptr, const char* detail = nullptr);
// The same with a number as the last field (an exit code, a value).
void LogEventNumber(const char* event, const char* field, DWORD number);
// InstallFlag's old and new value; an old value that did not read is
// logged as "none". A preview names its own event.
void LogInstallFlag(bool oldRead, DWORD oldValue, DWORD newValue, const char* event = "install flag");
// A failure, with its Win32 code and what the user would be told.
void LogFailure(DWORD code, const char* text, const char* event = "error");

// The log's full path, in a buffer of MAX_PATH bytes; false when the
// Windows folder is unknown or the path does not fit.
bool RunLogPath(char* path);

// Writes the exit line and closes the log.
void FinishRunLog(int exitCode);
