// The simulated pnputil.exe of Windows Vista and 7.
//
// "pnputil.exe [-f] -d oemN.inf" deletes a published driver package from
// the driver store: its folder in the store, its INF and .PNF in the INF
// folder and its record (what SetupUninstallOEMInf removes, with
// SUOI_FORCEDELETE for -f). Without -f a package that a device was
// installed from stays. It needs administrator rights. The exit code is 0
// on success and the Win32 error otherwise.
#include <windows.h>

#include <cctype>

#include "winsim/machine.h"

namespace winsim {

namespace {

bool equalsIgnoreCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

DWORD notModelled(const std::string& what) {
    notImplemented("pnputil.exe " + what);
    return ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

DWORD runPnpUtil(const std::string& commandLine, Machine& m) {
    const std::vector<std::string> args = splitCommandLine(commandLine);
    bool force = false;
    std::string package;
    for (size_t i = 1; i < args.size(); ++i) {
        if (equalsIgnoreCase(args[i], "-f")) {
            force = true;
        } else if (equalsIgnoreCase(args[i], "-d") && i + 1 < args.size() && package.empty()) {
            package = args[++i];
        } else {
            return notModelled("with the argument \"" + args[i] + "\" in \"" + commandLine + "\"");
        }
    }
    if (package.empty()) return notModelled("without -d: \"" + commandLine + "\"");
    // The utility refuses to run without administrator rights.
    if (!m.token.process.hasAdministratorRights()) return ERROR_ACCESS_DENIED;

    if (package.find_first_of("\\/:") != std::string::npos)
        return notModelled("-d with a path: \"" + package + "\"");
    if (!m.driverStore.find(m.files, package)) {
        // An INF of the folder that is no published package (one of the
        // system's own INF files) is refused in a way winsim does not model.
        if (m.files.exists(m.system.windowsDir + "\\INF\\" + package))
            return notModelled("-d of \"" + package + "\", which is not a published package");
        // SetupUninstallOEMInf reports a package that is not there as a
        // missing file.
        return ERROR_FILE_NOT_FOUND;
    }
    if (!force && infUsedByDevice(m.registry, m.devices, package)) return ERROR_INF_IN_USE_BY_DEVICES;
    return m.driverStore.removePublished(m.files, package);
}

}  // namespace winsim
