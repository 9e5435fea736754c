#include "sysaccess/path_text.h"

#include "app/messages.h"
#include "app/placeholders.h"
#include "sysaccess/preview.h"
#include "sysaccess/run_log.h"

int GetByteType(const char* text, int index) {
    if (index < 0) return SingleByte;
    int state = SingleByte;
    for (int i = 0; i <= index; ++i) {
        if (state == LeadByte) {
            state = TrailByte;
        } else {
            state = IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? LeadByte : SingleByte;
        }
    }
    return state;
}

int CopyStringLimited(char* dest, const char* source, int max, int* outLength) {
    int n = lstrlenA(source);
    int whole = 1;
    if (n > max) {
        n = max;
        // Taking `max` bytes would split the character that ends at index max.
        if (GetByteType(source, max) == TrailByte) n = max - 1;
        whole = 0;
    }
    for (int i = 0; i < n; ++i) dest[i] = source[i];
    dest[n] = '\0';
    if (outLength) *outLength = n;
    return whole;
}

int AppendStringLimited(char* dest, const char* source, int max, int* outLength) {
    const int off = lstrlenA(dest);
    if (off > max) {
        if (outLength) *outLength = off;
        return 0;
    }
    int n = lstrlenA(source);
    const int room = max - off;
    int whole = 1;
    if (n > room) {
        n = room;
        if (GetByteType(source, room) == TrailByte) n = room - 1;
        whole = 0;
    }
    for (int i = 0; i < n; ++i) dest[off + i] = source[i];
    dest[off + n] = '\0';
    if (outLength) *outLength = off + n;
    return whole;
}

int AppendResString(UINT id, char* buffer, int size) {
    const int len = lstrlenA(buffer);
    if (len + 1 >= size) return 0;
    const int capacity = size - len - 1;
    if (LoadStringA(g_pAppContext->hInstance, id, buffer + len, capacity) > 0)
        SubstitutePlaceholders(buffer + len, capacity);
    else
        buffer[len] = '\0';
    return lstrlenA(buffer);
}

int AppendResStringWhole(UINT id, char* buffer, int size) {
    char text[kPathBufferSize] = {};
    if (LoadResString(id, text, sizeof(text)) == 0) return 0;
    const int length = lstrlenA(buffer);
    if (length + lstrlenA(text) > size - 1) return 0;
    lstrcpyA(buffer + length, text);
    return 1;
}

int AddBackslash(char* text, int size) {
    const int n = lstrlenA(text);
    // A trail byte 0x5C (the end of 表 in code page 932) is no backslash.
    if (n >= size - 1 || n < 1 || (text[n - 1] == '\\' && GetByteType(text, n - 1) == SingleByte)) return 0;
    text[n] = '\\';
    text[n + 1] = '\0';
    return 1;
}

int RemoveBackslash(char* text) {
    const int n = lstrlenA(text);
    if (n < 2 || GetByteType(text, n - 1) != SingleByte || text[n - 1] != '\\') return 0;
    if (GetByteType(text, n - 2) == SingleByte && text[n - 2] != ':') text[n - 1] = '\0';
    return 1;
}

int ReplaceExtension(char* text, const char* suffix, int max) {
    if (text[0] == '\0') return 0;
    for (int i = lstrlenA(text) - 1; i >= 0;) {
        const int type = GetByteType(text, i);
        if (type == TrailByte) {
            i -= 2;
        } else if (type == SingleByte && text[i] == '.') {
            text[i] = '\0';
            break;
        } else {
            i -= 1;
        }
    }
    AppendStringLimited(text, suffix, max);
    return 1;
}

int HasExtension(const char* name, const char* extension) {
    const int nameLength = lstrlenA(name);
    const int extensionLength = lstrlenA(extension);
    if (extensionLength == 0 || nameLength <= extensionLength) return 0;
    // The extension starts with '.', which is never the second byte of a
    // double-byte character, so the bytes compared are whole characters.
    const char* tail = name + nameLength - extensionLength;
    if (GetByteType(name, nameLength - extensionLength) != SingleByte) return 0;
    for (int i = 0; i < extensionLength; ++i) {
        char a = tail[i];
        char b = extension[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return 0;
    }
    return 1;
}

int IsDirectory(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int IsFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int RemoveFile(const char* path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? 1 : 0;
    FindClose(search);
    // A folder of that name is not the file and belongs to someone else:
    // DeleteFileA would refuse it, but resetting its attributes first would
    // already have changed it.
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    // The attributes are reset before the deletion: a read-only file goes too.
    if (PreviewMode()) {
        LogWouldDeleteFile("file deleted", path);
        return 1;
    }
    if (!SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL)) return 0;
    if (!DeleteFileA(path)) return 0;
    LogEvent("file deleted", path);
    return 1;
}
