#include "install/media_folders.h"

#include "app/app_context.h"
#include "app/messages.h"
#include "sysaccess/path_text.h"

int GetMediaFolder(UINT nameId, char* out) {
    out[0] = '\0';
    char name[kPathBufferSize] = {};
    if (LoadResString(nameId, name, sizeof(name)) == 0 || name[0] == '\0') return 0;

    char path[kPathBufferSize] = {};
    lstrcpyA(path, g_pAppContext->szModuleDir);
    const int length = lstrlenA(path);
    // An unknown program folder (its path did not fit) has no media beside
    // it: "\Drivers" would name a folder of the current drive's root.
    if (length == 0) return 0;
    // Drop the trailing backslash, then cut at the backslash before the
    // program's folder name. Trail bytes are skipped: in code page 932 a
    // folder name such as 表 ends in the byte 0x5C.
    path[length - 1] = '\0';
    for (int i = length - 2; i >= 0; --i) {
        if (path[i] == '\\' && GetByteType(path, i) == SingleByte) {
            path[i] = '\0';
            break;
        }
    }
    if (!AppendStringLimited(path, "\\", kPathMaxChars) || !AppendStringLimited(path, name, kPathMaxChars)) return 0;
    lstrcpyA(out, path);
    return 1;
}
