// The run log: %WINDIR%\210QX_USB.log, appended to by every run, so that a
// support desk can read afterwards what the program did.
//
// One line per event, fields separated by tabs, each line starting with the
// local time; UTF-8 with CRLF. A header line opens each run and an exit
// line ends it. Lines are gathered in memory and written when the run ends
// (or before it hands over to the 64-bit build), so the log costs a run
// one open and one write. The log never stops or fails a run: a log that
// cannot be written is skipped.
//
// The Windows folder is the log's home because only administrators and
// the system can create files there: in a folder where users may create
// files, a link planted under the log's name would make the elevated
// program write to, or rename, a file of the user's choosing. For the same
// reason a log path that is a link (any reparse point) is never written.
#pragma once

#include <windows.h>

constexpr const char kRunLogName[] = "\\210QX_USB.log";
constexpr const char kOldRunLogName[] = "\\210QX_USB.old.log";
// A log that has passed this size is renamed to the old log's name before
// the next run writes (replacing the older one).
constexpr DWORD kRunLogRollOverSize = 1024 * 1024;

// Starts the run's lines with the header: time, program version, Windows
// version and build, 32- or 64-bit process, command line.
void StartRunLog(const char* commandLine);

// One thing done or found, with up to two fields of ANSI text.
void LogEvent(const char* event, const char* field = nullptr, const char* detail = nullptr);
// The same with a number as the last field (an exit code, a value).
void LogEventNumber(const char* event, const char* field, DWORD number);
// InstallFlag's old and new value; an old value that did not read is
// logged as "none".
void LogInstallFlag(bool oldRead, DWORD oldValue, DWORD newValue);
// A failure, with its Win32 code and what the user would be told.
void LogFailure(DWORD code, const char* text);

// Writes the lines gathered so far to the log.
void FlushRunLog();
// Adds the exit line and writes the rest.
void FinishRunLog(int exitCode);
