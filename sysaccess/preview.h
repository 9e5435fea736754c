// A preview (/list): a run that makes every discovery step of a real run
// of its mode on this Windows version and acts on nothing.
//
// The steps are the real run's own. Each one asks PreviewMode() at the
// point where it would act and, in a preview, logs what it would do there
// instead: the line the real run writes for that item, with "would "
// before its event and without the fields only the action yields (the
// published name of a staged INF, pnputil.exe's exit code, a restart the
// removal asked for). So the list cannot drift from what the run does.
//
// What a later step finds depends on what the earlier ones did: the INF
// file the registry scan deletes is gone when the oem*.inf scan looks, a
// device removed for one hardware ID is not met again for the next, the
// packages the metadata removal deletes leave room for the copies. The
// preview keeps a record of what the run would have changed so far, and
// the steps consult it where they look again.
#pragma once

#include <windows.h>

// Starts a run: a preview when `preview`, a real run otherwise. Forgets the
// record of an earlier run.
void StartPreview(bool preview);
// Ends the run: frees the record; later calls see a real run.
void EndPreview();
bool PreviewMode();

// An item the run would act on: "would <event>" with the fields, counted.
void LogWouldDo(const char* event, const char* field, const char* detail = nullptr);
// A message or failure the run would meet: logged the same way, not counted.
void LogWouldMeet(const char* event, const char* field, const char* detail);
// The failure line of a Win32 code that the run would meet (as the log's
// "error" line: the code and what the user would be told).
void LogWouldMeetFailure(DWORD code, const char* text);
// How many items were logged.
int PreviewItemCount();

// What the preview cannot tell about an item without acting on it.
void LogNotKnown(const char* question, const char* item);
// A failure the real run meets without a message, and what follows from it.
void LogExpectedFailure(const char* item, const char* consequence);

// Whether the run would have deleted this file by now (full path, compared
// without regard to case).
bool WouldBeGone(const char* path);
// Lists the deletion of a file under `event` ("file deleted"), once: a file
// the run would have deleted already is not there for it a second time.
void LogWouldDeleteFile(const char* event, const char* path);
// Lists the creation of a folder ("folder created") where CreateDirectoryA
// would succeed: nothing of that name there yet and its parent a folder.
// False, with the failure logged, where it would fail.
bool LogWouldCreateFolder(const char* path);
// True the first time for a device instance: a device the run would have
// removed already is not met again.
bool RecordDeviceRemoval(const char* instanceId);
// Lists the write of InstallFlag. A value the run would have written by
// now stands in for the one read from the registry.
void LogWouldSetInstallFlag(bool oldRead, DWORD oldValue, DWORD newValue);
