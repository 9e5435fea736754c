#include "winsim/machine_image.h"

#include <set>
#include <sstream>

#include "winsim/machine.h"

namespace winsim {

namespace {

std::string hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

void imageFolder(const FileSystem& files, const std::string& folder, const std::set<std::string>& leaveOut,
                 MachineImage& image) {
    for (const std::string& name : files.list(folder)) {
        const std::string path = folder + (folder.back() == '\\' ? "" : "\\") + name;
        if (leaveOut.count(upperName(path))) continue;
        const DWORD attributes = files.attributes(path);
        std::ostringstream item;
        item << "attributes " << std::hex << attributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) item << " bytes " << hex(files.read(path).value_or(""));
        image["file " + path] = item.str();
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) imageFolder(files, path, leaveOut, image);
    }
}

void imageKey(const RegKey& key, const std::string& path, MachineImage& image) {
    std::ostringstream item;
    item << "written " << key.lastWriteTime;
    for (const auto& value : key.values)
        item << " [" << value.first << " " << value.second.type << " "
             << hex(std::string(value.second.data.begin(), value.second.data.end())) << "]";
    image["key " + path] = item.str();
    for (const auto& subkey : key.subkeys) {
        // A link (CurrentControlSet) shows the key it links to again.
        if (key.linkNames.count(subkey.first)) continue;
        imageKey(*subkey.second, path + "\\" + subkey.second->name, image);
    }
}

void imageWindows(const Ui& ui, MachineImage& image) {
    for (const TopLevelWindow& window : ui.windows) {
        if (window.messageBox) continue;  // the program's own boxes
        std::ostringstream item;
        item << window.className << " \"" << window.title << "\" visible " << window.visible << " iconic "
             << window.iconic << " foreground " << (ui.foreground == window.hwnd);
        for (const WindowMessage& message : window.received)
            item << " message " << message.msg << "," << message.wParam << "," << message.lParam;
        for (const std::string& action : window.actions) item << " " << action;
        image["window " + std::to_string(reinterpret_cast<uintptr_t>(window.hwnd))] = item.str();
    }
    for (const auto& mutex : ui.mutexes)
        image["mutex " + mutex.first] = "references " + std::to_string(mutex.second->references) + " owned " +
                                        std::to_string(mutex.second->ownedByUs);
}

}  // namespace

MachineImage imageOf(Machine& m, const std::vector<std::string>& leaveOut) {
    MachineImage image;
    std::set<std::string> leftOut;
    for (const std::string& path : leaveOut) leftOut.insert(upperName(path));
    for (char drive = 'A'; drive <= 'Z'; ++drive)
        if (m.files.hasDrive(drive)) imageFolder(m.files, std::string(1, drive) + ":\\", leftOut, image);
    for (const char* root : {"HKLM", "HKCU", "HKU"})
        if (auto key = m.registry.find(root)) imageKey(*key, root, image);
    for (const std::string& device : m.devices.list())
        image["device " + device] = "present " + std::to_string(m.devices.isPresent(device));
    for (const std::string& device : m.devices.removedAtRestart()) image["device removed at restart " + device] = "";
    for (const std::string& service : m.services.list())
        image["service " + service] = "running " + std::to_string(m.services.isRunning(service)) + " marked " +
                                      std::to_string(m.services.isMarkedForDeletion(service)) + " handles " +
                                      std::to_string(m.services.openHandles(service));
    for (const PublishedPackage& package : m.driverStore.inStore(m.files))
        image["stored package " + package.storeFolder] = package.publishedName;
    for (const PublishedPackage& package : m.driverStore.published(m.files))
        image["published package " + package.publishedName] = package.originalName + " " + package.sourceFolder;
    for (size_t i = 0; i < m.processes.starts.size(); ++i)
        image["process " + std::to_string(i)] = m.processes.starts[i].commandLine;
    imageWindows(m.ui, image);
    return image;
}

std::vector<std::string> differences(const MachineImage& before, const MachineImage& after) {
    std::vector<std::string> lines;
    for (const auto& item : before) {
        auto now = after.find(item.first);
        if (now == after.end())
            lines.push_back(item.first + ": gone");
        else if (now->second != item.second)
            lines.push_back(item.first + ": " + item.second + " -> " + now->second);
    }
    for (const auto& item : after)
        if (!before.count(item.first)) lines.push_back(item.first + ": appeared");
    return lines;
}

}  // namespace winsim
