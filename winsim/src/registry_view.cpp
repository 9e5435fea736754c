// The registry redirector of 64-bit Windows, as "Registry Redirector",
// "Registry Keys Affected by WOW64" and "Accessing an Alternate Registry
// View" describe it.
//
// A 32-bit process, and a 64-bit one that asks for KEY_WOW64_32KEY, sees
// HKLM\SOFTWARE\Wow6432Node in place of HKLM\SOFTWARE; KEY_WOW64_64KEY
// takes a 32-bit process to the native key. Everything outside
// HKLM\SOFTWARE (HKLM\SYSTEM, most of HKCU) is one key seen by both views.
// Below HKLM\SOFTWARE some keys are shared again from Windows 7 on; the
// subkeys of the ones with a mix of shared and redirected subkeys (Classes,
// Microsoft) are not modelled and fail loudly.
#include "registry_view.h"

namespace winsim {
namespace {

constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

bool isNamed(const std::string& name, const char* upper) { return registryUpper(name) == upper; }

bool atLeast(const SystemInfo& s, DWORD major, DWORD minor) {
    return s.major > major || (s.major == major && s.minor >= minor);
}

// Keys directly below HKLM\SOFTWARE that Windows 7 and later share between
// the views (the whole subtree).
bool sharedSoftwareKey(const std::string& name) {
    return isNamed(name, "CLIENTS") || isNamed(name, "POLICIES") || isNamed(name, "REGISTEREDAPPLICATIONS");
}

// Keys directly below HKLM\SOFTWARE that hold shared and redirected
// subkeys side by side (HKLM\SOFTWARE\Classes\CLSID is redirected,
// HKLM\SOFTWARE\Classes\AppID shared; likewise under Microsoft).
bool mixedSoftwareKey(const std::string& name) { return isNamed(name, "CLASSES") || isNamed(name, "MICROSOFT"); }

std::string text(const RegPath& path) {
    std::string out = path.root;
    for (const std::string& component : path.components) out += "\\" + component;
    return out;
}

LONG notModelled(const std::string& what) {
    notImplemented("registry view: " + what);
    return ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

LONG applyRegistryView(const Machine& m, REGSAM sam, RegPath& path) {
    const SystemInfo& s = m.system;
    const REGSAM flags = sam & kViewFlags;
    // Windows 95/98/Me ignore the access mask altogether.
    if (s.platformId != VER_PLATFORM_WIN32_NT) return ERROR_SUCCESS;
    if (flags) {
        // The flags came with Windows XP; NT 4.0 and Windows 2000 refuse
        // an access mask that holds them (observed: ERROR_ACCESS_DENIED).
        if (!atLeast(s, 5, 1)) return ERROR_ACCESS_DENIED;
        if (flags == kViewFlags) {
            // Windows 7 and later refuse both flags at once; earlier
            // releases leave the outcome undefined.
            if (atLeast(s, 6, 1)) return ERROR_INVALID_PARAMETER;
            return notModelled("KEY_WOW64_32KEY and KEY_WOW64_64KEY together before Windows 7");
        }
    }
    // 32-bit Windows has a single view and ignores the flags.
    if (!s.windows64) return ERROR_SUCCESS;
    const bool view32 = flags == KEY_WOW64_32KEY || (s.process32 && flags != KEY_WOW64_64KEY);
    if (!view32) return ERROR_SUCCESS;

    if (path.root == "HKCU" && path.components.size() >= 2 && isNamed(path.components[0], "SOFTWARE") &&
        isNamed(path.components[1], "CLASSES"))
        return notModelled("the 32-bit view of " + text(path));
    if (path.root != "HKLM" || path.components.empty() || !isNamed(path.components[0], "SOFTWARE"))
        return ERROR_SUCCESS;
    if (path.components.size() >= 2) {
        const std::string& below = path.components[1];
        if (isNamed(below, "WOW6432NODE")) return ERROR_SUCCESS;  // already the 32-bit key
        if (sharedSoftwareKey(below)) {
            if (atLeast(s, 6, 1)) return ERROR_SUCCESS;
            // XP x64 to Vista redirected and reflected these instead.
            return notModelled("the 32-bit view of " + text(path) + " before Windows 7");
        }
        if (mixedSoftwareKey(below)) {
            if (path.components.size() > 2) return notModelled("the 32-bit view of " + text(path));
            // The Classes key itself is the root of HKEY_CLASSES_ROOT in
            // both views; Microsoft itself is redirected.
            if (isNamed(below, "CLASSES")) return ERROR_SUCCESS;
        }
    }
    path.components.insert(path.components.begin() + 1, "Wow6432Node");
    return ERROR_SUCCESS;
}

}  // namespace winsim
