#include "foreign_corpus.h"

#include "earlier_installation.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corpus {

namespace {

const char kInfFolder[] = "C:\\WINDOWS\\INF";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// An image as a change report shows it: long ones (file bytes) cut short.
std::string Shown(const std::string& image) {
    constexpr size_t kShown = 96;
    if (image.size() <= kShown) return image;
    return image.substr(0, kShown) + "... (" + std::to_string(image.size()) + " characters)";
}

// The corpus files, read once per test program: the fault sweep seeds the
// corpus into thousands of machines.
const std::string& ReadHostFile(const std::string& path) {
    static auto* cache = new std::map<std::string, std::string>;
    auto it = cache->find(path);
    if (it != cache->end()) return it->second;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("corpus: cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return cache->emplace(path, text.str()).first->second;
}

DWORD Attributes(const std::string& letters, bool* folder) {
    DWORD attributes = 0;
    *folder = false;
    for (char c : letters) {
        switch (c) {
        case 'R': attributes |= FILE_ATTRIBUTE_READONLY; break;
        case 'H': attributes |= FILE_ATTRIBUTE_HIDDEN; break;
        case 'S': attributes |= FILE_ATTRIBUTE_SYSTEM; break;
        case 'D': *folder = true; break;
        case '-': break;
        default: throw std::runtime_error("corpus: unknown attribute letter in \"" + letters + "\"");
        }
    }
    return attributes;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char digits[4];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        out += digits;
    }
    return out;
}

std::string Hex(const std::vector<BYTE>& bytes) { return Hex(std::string(bytes.begin(), bytes.end())); }

// A file or folder as Windows would report it: kind, attributes, bytes (or
// the names in a folder).
std::string FileImage(const winsim::FileSystem& files, const std::string& path) {
    const DWORD attributes = files.attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return "absent";
    std::ostringstream image;
    image << "attributes " << std::hex << attributes << std::dec;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        image << " folder:";
        for (const std::string& name : files.list(path)) image << " " << name;
    } else {
        image << " bytes " << Hex(files.read(path).value_or(std::string()));
    }
    return image.str();
}

// A registry key with its values (name, type, data) and every key below it.
void KeyImage(const winsim::RegKey& key, const std::string& path, std::map<std::string, std::string>& out) {
    std::ostringstream image;
    for (const auto& value : key.values)
        image << "[" << value.first << " type " << value.second.type << " " << Hex(value.second.data) << "]";
    out["key " + path] = image.str();
    for (const auto& subkey : key.subkeys) KeyImage(*subkey.second, path + "\\" + subkey.second->name, out);
}

void KeyImage(const winsim::Registry& registry, const std::string& path, std::map<std::string, std::string>& out) {
    if (auto key = registry.find(path))
        KeyImage(*key, path, out);
    else
        out["key " + path] = "absent";
}

}  // namespace

std::string CorpusDir() {
    // The unit tests know the source tree by its media folder.
    return std::string(MEDIA_DIR) + "/../tests/corpus";
}

std::vector<Row> ReadList(const std::string& name) {
    std::istringstream text(ReadHostFile(CorpusDir() + "/" + name));
    std::vector<Row> rows;
    std::string line;
    while (std::getline(text, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        Row row;
        size_t start = 0;
        for (size_t bar = trimmed.find('|'); bar != std::string::npos; bar = trimmed.find('|', start)) {
            row.push_back(Trim(trimmed.substr(start, bar - start)));
            start = bar + 1;
        }
        row.push_back(Trim(trimmed.substr(start)));
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> SplitEntries(const std::string& text) {
    std::vector<std::string> entries;
    size_t start = 0;
    for (size_t at = text.find("; "); at != std::string::npos; at = text.find("; ", start)) {
        entries.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    entries.push_back(text.substr(start));
    return entries;
}

std::string ReadInf(const std::string& name) { return ReadHostFile(CorpusDir() + "/inf/" + name); }

void ForeignCorpus::Seed(winsim::Machine& m, Scope scope) {
    const bool infFiles = scope == Scope::Everything;
    if (infFiles) SeedInfs(m);
    SeedDevices(m, infFiles);
    if (infFiles) SeedPhoneDevices(m);
    SeedServices(m);
    SeedFiles(m);
    SeedRegistry(m);
    SeedWindows(m);
    image_ = Image(m);
}

void ForeignCorpus::SeedInfs(winsim::Machine& m) {
    // Plain files first: their oem<N>.inf names are taken when the store
    // picks names for the packages.
    for (const Row& row : ReadList("inf_files.txt")) {
        if (row.size() != 3) throw std::runtime_error("corpus: inf_files.txt wants 3 fields per line");
        const std::string path = std::string(kInfFolder) + "\\" + row[0];
        m.files.writeFile(path, ReadInf(row[2]));
        bool folder = false;
        const DWORD attributes = Attributes(row[1], &folder);
        if (attributes) m.files.setAttributes(path, attributes);
        infLocations_[row[2]] = path;
        filePaths_.push_back(path);
        ++counts_.plainInfs;
    }
    for (const Row& row : ReadList("packages.txt")) {
        const std::string name = m.driverStore.seed(m.files, kInfFolder, row[0], ReadInf(row[0]));
        published_[row[0]] = name;
        const std::string path = std::string(kInfFolder) + "\\" + name;
        infLocations_[row[0]] = path;
        filePaths_.push_back(path);
        filePaths_.push_back(path.substr(0, path.rfind('.')) + ".PNF");
        ++counts_.packages;
    }
    counts_.infFiles = counts_.plainInfs + counts_.packages;
}

std::string ForeignCorpus::NewDriverKey(winsim::Machine& m, const std::string& classGuid) {
    std::string driver;
    do {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", 100 + nextDriver_[classGuid]++);
        driver = classGuid + "\\" + number;
    } while (m.registry.keyExists(std::string(winsim::Devices::kClassKey) + "\\" + driver));
    return driver;
}

void ForeignCorpus::SeedDevices(winsim::Machine& m, bool withInfs) {
    for (const Row& row : ReadList("devices.txt")) {
        if (row.size() != 6) throw std::runtime_error("corpus: devices.txt wants 6 fields per line");
        winsim::DeviceSeed device;
        device.instanceId = row[0];
        if (row[1] != "-") device.hardwareIds = SplitEntries(row[1]);
        device.present = row[2] == "yes";
        device.classGuid = row[3];
        device.className = row[4];
        device.driver = NewDriverKey(m, row[3]);
        if (withInfs && row[5] != "-") device.infPath = PublishedName(row[5]);
        m.devices.add(device);
        const std::string driverKey = std::string(winsim::Devices::kClassKey) + "\\" + device.driver;
        m.registry.setString(driverKey, "DriverDesc", "look-alike of " + row[0]);
        deviceIds_.push_back(row[0]);
        registryKeys_.push_back(winsim::Devices::enumKeyPath(row[0]));
        registryKeys_.push_back(driverKey);
        ++counts_.devices;
    }
}

void ForeignCorpus::SeedPhoneDevices(winsim::Machine& m) {
    for (const Row& row : ReadList("phone_devices.txt")) {
        if (row.size() != 5) throw std::runtime_error("corpus: phone_devices.txt wants 5 fields per line");
        auto location = infLocations_.find(row[4]);
        if (location == infLocations_.end()) throw std::runtime_error("corpus: " + row[4] + " is not placed");
        winsim::DeviceSeed device;
        device.instanceId = row[0];
        device.hardwareIds = SplitEntries(row[1]);
        device.classGuid = row[2];
        device.className = row[3];
        device.driver = NewDriverKey(m, row[2]);
        // InfPath holds the INF's name in the INF folder, without a folder.
        device.infPath = location->second.substr(location->second.rfind('\\') + 1);
        m.devices.add(device);
        phoneDeviceIds_.push_back(row[0]);
        ++counts_.phoneDevices;
    }
}

void ForeignCorpus::SeedServices(winsim::Machine& m) {
    for (const Row& row : ReadList("services.txt")) {
        if (row.size() != 5) throw std::runtime_error("corpus: services.txt wants 5 fields per line");
        winsim::ServiceSeed service;
        service.name = row[0];
        service.type = static_cast<DWORD>(std::stoul(row[1]));
        service.start = static_cast<DWORD>(std::stoul(row[2]));
        service.imagePath = row[3];
        service.running = row[4] == "running" || row[4] == "marked";
        m.services.add(service);
        if (row[4] == "marked") m.services.markForDeletion(row[0]);
        serviceNames_.push_back(row[0]);
        registryKeys_.push_back(winsim::Services::keyPath(row[0]));
        ++counts_.services;
    }
}

void ForeignCorpus::SeedFiles(winsim::Machine& m) {
    for (const Row& row : ReadList("files.txt")) {
        if (row.size() != 3) throw std::runtime_error("corpus: files.txt wants 3 fields per line");
        bool folder = false;
        const DWORD attributes = Attributes(row[1], &folder);
        if (folder)
            m.files.createDirectory(row[0]);
        else
            m.files.writeFile(row[0], row[2] == "-" ? "look-alike: " + row[0] + "\r\n" : row[2]);
        if (attributes) m.files.setAttributes(row[0], attributes);
        filePaths_.push_back(row[0]);
        ++counts_.files;
    }
}

namespace {

// The key a line of registry.txt names on this machine: HKLM\SOFTWARE as
// the product's earlier, 32-bit, versions see it (below Wow6432Node on
// 64-bit Windows); HKLM64\ the 64-bit view of 64-bit Windows, which 32-bit
// Windows does not have (empty). Other keys are the same in both views.
std::string MachineKey(const winsim::Machine& m, const std::string& key) {
    const std::string software = "HKLM\\SOFTWARE\\";
    const std::string view64 = "HKLM64\\";
    if (key.compare(0, software.size(), software) == 0)
        return seeded::Software32(m, key.substr(software.size()));
    if (key.compare(0, view64.size(), view64) == 0)
        return m.system.windows64 ? "HKLM\\" + key.substr(view64.size()) : std::string();
    return key;
}

}  // namespace

void ForeignCorpus::SeedRegistry(winsim::Machine& m) {
    for (const Row& row : ReadList("registry.txt")) {
        if (row.size() != 4) throw std::runtime_error("corpus: registry.txt wants 4 fields per line");
        const std::string key = MachineKey(m, row[0]);
        if (key.empty()) continue;
        const std::string& type = row[2];
        if (type == "REG_DWORD")
            m.registry.setDword(key, row[1], static_cast<DWORD>(std::stoul(row[3], nullptr, 0)));
        else if (type == "REG_SZ")
            m.registry.setString(key, row[1], row[3]);
        else if (type == "REG_EXPAND_SZ")
            m.registry.setString(key, row[1], row[3], REG_EXPAND_SZ);
        else if (type == "REG_MULTI_SZ")
            m.registry.setMultiString(key, row[1], SplitEntries(row[3]));
        else
            throw std::runtime_error("corpus: registry.txt: unknown type " + type);
        registryValues_.emplace_back(key, row[1]);
        ++counts_.registryValues;
    }
}

void ForeignCorpus::SeedWindows(winsim::Machine& m) {
    for (const Row& row : ReadList("windows.txt")) {
        if (row.size() != 3) throw std::runtime_error("corpus: windows.txt wants 3 fields per line");
        const HWND window = m.ui.addWindow(row[0], row[1]);
        for (const std::string& property : SplitEntries(row[2])) {
            if (property[0] == '#')
                m.ui.window(window)->addProperty(static_cast<WORD>(std::stoul(property.substr(1))), nullptr);
            else
                m.ui.window(window)->addProperty(property, nullptr);
        }
        windows_.push_back(window);
        ++counts_.windows;
    }
}

std::string ForeignCorpus::PublishedName(const std::string& corpusInf) const {
    auto it = published_.find(corpusInf);
    if (it == published_.end()) throw std::runtime_error("corpus: " + corpusInf + " is not a published package");
    return it->second;
}

std::map<std::string, std::string> ForeignCorpus::Image(winsim::Machine& m) const {
    std::map<std::string, std::string> image;
    for (const std::string& path : filePaths_) image["file " + path] = FileImage(m.files, path);
    const std::vector<winsim::PublishedPackage> packages = m.driverStore.published(m.files);
    std::map<std::string, const winsim::PublishedPackage*> store;
    for (const winsim::PublishedPackage& package : packages) store[package.publishedName] = &package;
    for (const auto& entry : published_) {
        auto found = store.find(entry.second);
        const winsim::PublishedPackage* package = found == store.end() ? nullptr : found->second;
        image["package " + entry.second] =
            package ? "from " + package->originalName + " in " + package->sourceFolder + ", INF " +
                          Hex(package->infContent) + ", catalog " + package->catalogName + " " +
                          Hex(package->catalogContent) + ", in the store at " + package->storeFolder
                    : "absent";
    }
    for (const std::string& key : registryKeys_) KeyImage(m.registry, key, image);
    for (const auto& value : registryValues_) {
        const auto stored = m.registry.value(value.first, value.second);
        image["value " + value.first + " : " + value.second] =
            stored ? "type " + std::to_string(stored->type) + " " + Hex(stored->data) : "absent";
    }
    for (const std::string& id : deviceIds_)
        image["device " + id] = !m.devices.exists(id) ? "absent" : m.devices.isPresent(id) ? "connected" : "not connected";
    for (HWND hwnd : windows_) {
        const winsim::TopLevelWindow* window = m.ui.window(hwnd);
        std::ostringstream text;
        if (window) {
            text << "\"" << window->title << "\", " << window->received.size()
                 << " messages, " << window->actions.size() << " actions, properties";
            for (const auto& property : window->properties) text << " " << property.name << "#" << property.atom;
        }
        image["window " + std::to_string(reinterpret_cast<uintptr_t>(hwnd))] =
            window ? window->className + " " + text.str() : "absent";
    }
    for (const std::string& name : serviceNames_)
        image["service " + name] = !m.services.exists(name)                ? "absent"
                                   : std::string(m.services.isRunning(name) ? "running" : "stopped") +
                                         (m.services.isMarkedForDeletion(name) ? ", marked for deletion" : "");
    return image;
}

std::vector<std::string> ForeignCorpus::Changes(winsim::Machine& m) const {
    std::vector<std::string> changes;
    const auto now = Image(m);
    for (const auto& item : image_) {
        auto it = now.find(item.first);
        const std::string after = it == now.end() ? "absent" : it->second;
        if (after != item.second)
            changes.push_back(item.first + ": was " + Shown(item.second) + ", is now " + Shown(after));
    }
    for (const auto& item : now)
        if (!image_.count(item.first)) changes.push_back(item.first + ": appeared as " + Shown(item.second));
    return changes;
}

}  // namespace corpus
