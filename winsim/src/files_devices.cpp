// The DOS device names. Windows takes a path whose last component is CON,
// PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9 (in any case, and with an
// extension or trailing spaces after it) for that device, in any folder:
// "C:\Setup\nul.txt" is the null device, not a file. winsim models the null
// device for CreateFileA, GetFileAttributesA and FindFirstFileA; every other
// use of a device name fails loudly as a path form winsim does not model.
#include <cctype>
#include <string>

#include "files_internal.h"

namespace winsim {

std::string dosDeviceName(const std::string& lastComponent) {
    std::string base = lastComponent.substr(0, lastComponent.find('.'));
    while (!base.empty() && (base.back() == ' ' || base.back() == ':')) base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return base;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
        base[3] <= '9')
        return base;
    return std::string();
}

std::string dosDeviceOfPath(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    // "C:nul" names the device too.
    const std::string name = last.size() >= 2 && last[1] == ':' && slash == std::string::npos ? last.substr(2) : last;
    if (name.find_first_of("*?<>\"") != std::string::npos) return std::string();
    return dosDeviceName(name);
}

}  // namespace winsim
