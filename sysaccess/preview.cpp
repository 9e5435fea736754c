#include "sysaccess/preview.h"

#include "sysaccess/run_log.h"
#include "sysaccess/path_text.h"

namespace {

// Names in one LocalAlloc block that grows as needed, each NUL-terminated.
// The block is freed explicitly at the end of the run: the record is a
// process-wide object, and a destructor at exit would free it after the
// system calls of the run are over.
struct NameList {
    char* block = nullptr;
    size_t size = 0;
    size_t used = 0;

    bool Contains(const char* name) const {
        for (size_t at = 0; at < used; at += static_cast<size_t>(lstrlenA(block + at)) + 1)
            if (lstrcmpiA(block + at, name) == 0) return true;
        return false;
    }
    // Without memory the name is not kept, and the preview may list its
    // item a second time.
    void Add(const char* name) {
        const size_t length = static_cast<size_t>(lstrlenA(name)) + 1;
        if (used + length > size) {
            const size_t bigger = (used + length) * 2;
            auto* grown = static_cast<char*>(LocalAlloc(LPTR, bigger));
            if (!grown) return;
            for (size_t i = 0; i < used; ++i) grown[i] = block[i];
            Free();
            block = grown;
            size = bigger;
        }
        for (size_t i = 0; i < length; ++i) block[used + i] = name[i];
        used += length;
    }
    void Free() {
        if (block) LocalFree(block);
        block = nullptr;
        size = 0;
    }
};

struct Record {
    bool preview = false;
    int items = 0;
    NameList gone;     // files the run would have deleted
    NameList devices;  // device instances it would have removed
    bool flagWritten = false;
    DWORD flagValue = 0;
};

Record g_record;

// "would " and the real run's event name.
void LogWould(const char* event, const char* field, const char* detail) {
    char wouldEvent[64] = "would ";
    AppendStringLimited(wouldEvent, event, static_cast<int>(sizeof(wouldEvent)) - 1);
    LogEvent(wouldEvent, field, detail);
}

}  // namespace

void StartPreview(bool preview) {
    EndPreview();
    g_record.preview = preview;
}

void EndPreview() {
    g_record.gone.Free();
    g_record.devices.Free();
    g_record = Record{};
}

bool PreviewMode() { return g_record.preview; }

void LogWouldDo(const char* event, const char* field, const char* detail) {
    ++g_record.items;
    LogWould(event, field, detail);
}

void LogWouldMeet(const char* event, const char* field, const char* detail) { LogWould(event, field, detail); }

void LogWouldMeetFailure(DWORD code, const char* text) { LogFailure(code, text, "would error"); }

int PreviewItemCount() { return g_record.items; }

void LogNotKnown(const char* question, const char* item) { LogEvent("not known", question, item); }

void LogExpectedFailure(const char* item, const char* consequence) {
    LogEvent("expected failure", item, consequence);
}

bool WouldBeGone(const char* path) { return g_record.gone.Contains(path); }

void LogWouldDeleteFile(const char* event, const char* path) {
    if (WouldBeGone(path)) return;
    g_record.gone.Add(path);
    LogWouldDo(event, path);
}

bool LogWouldCreateFolder(const char* path) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        LogExpectedFailure(path, "a file of that name: the folder cannot be created, nothing is copied");
        return false;
    }
    char parent[kPathBufferSize] = {};
    CopyStringLimited(parent, path, kPathMaxChars);
    for (int i = lstrlenA(parent) - 1; i > 0; --i) {
        if (parent[i] == '\\' && GetByteType(parent, i) == SingleByte) {
            parent[i] = '\0';
            break;
        }
    }
    if (!IsDirectory(parent)) {
        LogExpectedFailure(path, "no folder above it: the folder cannot be created, nothing is copied");
        return false;
    }
    LogWouldDo("folder created", path);
    return true;
}

bool RecordDeviceRemoval(const char* instanceId) {
    if (g_record.devices.Contains(instanceId)) return false;
    g_record.devices.Add(instanceId);
    return true;
}

void LogWouldSetInstallFlag(bool oldRead, DWORD oldValue, DWORD newValue) {
    if (g_record.flagWritten) {
        oldRead = true;
        oldValue = g_record.flagValue;
    }
    g_record.flagWritten = true;
    g_record.flagValue = newValue;
    ++g_record.items;
    LogInstallFlag(oldRead, oldValue, newValue, "would install flag");
}
