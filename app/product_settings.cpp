#include "app/product_settings.h"

#include <windows.h>

#include "app/app_context.h"
#include "app/messages.h"
#include "app/placeholders.h"
#include "res/resource.h"
#include "sysaccess/path_text.h"

namespace {

constexpr int kNameSize = 32;
constexpr int kValueSize = 33;
constexpr int kPlaceholderSize = 1024;

// Reads one key of the settings section; an absent key reads as empty.
void ReadSetting(const char* file, const char* section, UINT keyId, char* value, int size) {
    char key[kNameSize] = {};
    LoadResString(keyId, key, sizeof(key));
    GetPrivateProfileStringA(section, key, "", value, static_cast<DWORD>(size), file);
}

// A name value, or the built-in default when the value is empty or `file`
// is NULL.
void ReadName(const char* file, const char* section, UINT keyId, UINT defaultId, char* target) {
    char value[kValueSize] = {};
    if (file) ReadSetting(file, section, keyId, value, sizeof(value));
    if (value[0] != '\0')
        lstrcpyA(target, value);
    else
        LoadResString(defaultId, target, kValueSize);
}

void ReadIconPath(const char* file, const char* section) {
    char value[kPathBufferSize] = {};
    ReadSetting(file, section, IDS_SETTINGS_KEY_ICON, value, sizeof(value));
    if (value[0] == '\0') return;
    // Folder and value must fit one path; a longer one names no icon rather
    // than a cut path that might name another file.
    char path[kPathBufferSize] = {};
    if (!CopyStringLimited(path, g_pAppContext->szModuleDir, kPathMaxChars) ||
        !AppendStringLimited(path, value, kPathMaxChars))
        return;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        lstrcpyA(g_pAppContext->szIconPath, path);
}

}  // namespace

void LoadProductSettings() {
    // Only the file beside the program is the product's: with the program's
    // folder unknown, a bare file name would make GetPrivateProfileStringA
    // read one of that name from the Windows folder, and a relative icon
    // value would name a file in the current folder. The built-in names
    // apply then, and no icon.
    char file[kPathBufferSize] = {};
    const bool haveFile = g_pAppContext->szModuleDir[0] != '\0' &&
                          CopyStringLimited(file, g_pAppContext->szModuleDir, kPathMaxChars) &&
                          AppendResStringWhole(IDS_SETTINGS_FILE, file, kPathBufferSize);

    char section[kNameSize] = {};
    LoadResString(IDS_SETTINGS_SECTION, section, sizeof(section));

    g_pAppContext->szIconPath[0] = '\0';
    if (haveFile) ReadIconPath(file, section);
    ReadName(haveFile ? file : nullptr, section, IDS_SETTINGS_KEY_NAME, IDS_DEFAULT_SERIES, g_pAppContext->szSeries);
    ReadName(haveFile ? file : nullptr, section, IDS_SETTINGS_KEY_NAME2, IDS_DEFAULT_CATEGORY,
             g_pAppContext->szCategory);
    RegisterPlaceholders();
}

void RegisterPlaceholders() {
    char placeholder[kPlaceholderSize] = {};
    LoadResString(IDS_PLACEHOLDER_SERIES, placeholder, sizeof(placeholder));
    AddPlaceholder(placeholder, g_pAppContext->szSeries);
    LoadResString(IDS_PLACEHOLDER_CATEGORY, placeholder, sizeof(placeholder));
    AddPlaceholder(placeholder, g_pAppContext->szCategory);
}
