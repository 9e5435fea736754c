// The simulated pnputil.exe of Windows Vista and 7.
//
// "pnputil.exe [-f] -d oemN.inf" deletes a published driver package: the
// published INF with its .PNF in the INF folder (what SetupUninstallOEMInf
// removes, with SUOI_FORCEDELETE for -f). It needs administrator rights.
// The exit code is 0 on success and the Win32 error otherwise.
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

// "oem" followed by a decimal number and ".inf": the names SetupCopyOEMInf
// gives published packages.
bool isPublishedName(const std::string& name) {
    if (name.size() < 8) return false;
    if (!equalsIgnoreCase(name.substr(0, 3), "oem")) return false;
    if (!equalsIgnoreCase(name.substr(name.size() - 4), ".inf")) return false;
    for (size_t i = 3; i < name.size() - 4; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
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
    // Without -f the package stays while a device installed from it
    // exists; winsim does not track which device came from which package.
    if (!force) return notModelled("-d without -f");
    // The utility refuses to run without administrator rights.
    if (!m.token.process.hasAdministratorRights()) return ERROR_ACCESS_DENIED;

    const std::string infFolder = m.system.windowsDir + "\\INF\\";
    const std::string inf = infFolder + package;
    if (package.find_first_of("\\/:") != std::string::npos)
        return notModelled("-d with a path: \"" + package + "\"");
    // SetupUninstallOEMInf reports a package that is not there as a missing
    // file (ERROR_FILE_NOT_FOUND).
    if (!m.files.exists(inf) || m.files.isDirectory(inf)) return ERROR_FILE_NOT_FOUND;
    if (!isPublishedName(package)) return notModelled("-d of the system's own INF \"" + package + "\"");

    m.files.remove(inf);
    const std::string pnf = inf.substr(0, inf.size() - 4) + ".PNF";
    if (m.files.exists(pnf)) m.files.remove(pnf);
    return ERROR_SUCCESS;
}

}  // namespace winsim
