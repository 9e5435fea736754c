// The simulated file system: the host folder behind the drives, seeding and
// inspection for tests, and the side tables of what NTFS keeps and the host
// does not.
#include "winsim/file_system.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

#include "files_internal.h"

namespace winsim {
namespace fs = std::filesystem;

namespace {

// The attributes SetFileAttributesA can change: read-only, hidden, system,
// archive, normal, temporary, offline and not-content-indexed.
constexpr DWORD kSettableAttributes = 0x31A7;

std::string parentOf(const std::string& canonical) {
    size_t slash = canonical.rfind('\\');
    if (slash == std::string::npos || slash < 3) return canonical.substr(0, 3);
    return canonical.substr(0, slash);
}

}  // namespace

FileSystem::FileSystem() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp && *tmp) ? tmp : "/tmp";
    std::string templ = base + "/winsim-XXXXXX";
    std::vector<char> buffer(templ.begin(), templ.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) throw std::runtime_error("winsim: cannot create a host folder under " + base);
    root_ = buffer.data();
    addDrive('C');
    // SysWOW64 is the 32-bit system folder of 64-bit Windows, the default
    // machine.
    for (const char* folder : {"C:\\WINDOWS\\INF", "C:\\WINDOWS\\system32\\drivers", "C:\\WINDOWS\\SysWOW64\\drivers",
                               "C:\\ProgramData", "C:\\Program Files"})
        createDirectory(folder);
}

FileSystem::~FileSystem() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void FileSystem::addDrive(char letter) {
    const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (drive < 'A' || drive > 'Z') throw std::invalid_argument("winsim: not a drive letter");
    fs::create_directories(root_ + "/" + drive);
    drives_.insert(drive);
}

bool FileSystem::hasDrive(char letter) const {
    return drives_.count(static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) != 0;
}

FileSystem::Resolved FileSystem::mustResolve(const std::string& path) const {
    Resolved r = resolve(path);
    if (r.syntaxError) throw std::invalid_argument("winsim: not a path winsim can place: " + path);
    if (!r.driveKnown) throw std::invalid_argument("winsim: no such drive: " + path);
    return r;
}

void FileSystem::ensureFolder(const std::string& path) {
    Resolved r = mustResolve(path);
    if (r.exists) {
        if (!r.isDirectory) throw std::invalid_argument("winsim: a file is in the way of the folder " + path);
        return;
    }
    if (!r.parentExists) ensureFolder(parentOf(r.canonical));
    r = mustResolve(path);
    if (!r.parentExists) throw std::invalid_argument("winsim: a file is in the way of the folder " + path);
    fs::create_directory(r.host);
    forget(upperName(r.canonical));
}

void FileSystem::createDirectory(const std::string& path) { ensureFolder(path); }

void FileSystem::writeFile(const std::string& path, const std::string& content) {
    Resolved r = mustResolve(path);
    if (r.isRoot || r.isDirectory) throw std::invalid_argument("winsim: a folder is in the way of the file " + path);
    if (!r.parentExists) {
        ensureFolder(parentOf(r.canonical));
        r = mustResolve(path);
    }
    if (!r.exists) forget(r.key);
    std::ofstream out(r.host, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("winsim: cannot write the host file for " + path);
}

void FileSystem::setAttributes(const std::string& path, DWORD attributes) {
    Resolved r = mustResolve(path);
    if (!r.exists) throw std::invalid_argument("winsim: no such file: " + path);
    DWORD stored = attributes & kSettableAttributes;
    if (stored & ~FILE_ATTRIBUTE_NORMAL) stored &= ~FILE_ATTRIBUTE_NORMAL;
    attributes_[r.key] = stored & ~FILE_ATTRIBUTE_NORMAL;
}

void FileSystem::setInUse(const std::string& path, bool inUse) {
    Resolved r = mustResolve(path);
    if (!r.exists) throw std::invalid_argument("winsim: no such file: " + path);
    if (inUse)
        inUse_.insert(r.key);
    else
        inUse_.erase(r.key);
}

void FileSystem::remove(const std::string& path) {
    Resolved r = mustResolve(path);
    if (!r.exists || r.isRoot) return;
    fs::remove_all(r.host);
    forget(r.key);
}

void FileSystem::importHostFile(const std::string& hostPath, const std::string& path) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) throw std::invalid_argument("winsim: cannot read the host file " + hostPath);
    std::ostringstream content;
    content << in.rdbuf();
    writeFile(path, content.str());
}

void FileSystem::importHostTree(const std::string& hostDir, const std::string& path) {
    if (!fs::is_directory(hostDir)) throw std::invalid_argument("winsim: not a host folder: " + hostDir);
    createDirectory(path);
    for (const auto& entry : fs::directory_iterator(hostDir)) {
        const std::string target = path + "\\" + entry.path().filename().string();
        if (entry.is_directory())
            importHostTree(entry.path().string(), target);
        else
            importHostFile(entry.path().string(), target);
    }
}

bool FileSystem::exists(const std::string& path) const {
    Resolved r = resolve(path);
    return !r.syntaxError && r.driveKnown && r.exists;
}

bool FileSystem::isDirectory(const std::string& path) const {
    Resolved r = resolve(path);
    return !r.syntaxError && r.driveKnown && r.isDirectory;
}

std::optional<std::string> FileSystem::read(const std::string& path) const {
    Resolved r = resolve(path);
    if (r.syntaxError || !r.driveKnown || !r.exists || r.isDirectory) return std::nullopt;
    std::ifstream in(r.host, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

DWORD FileSystem::attributes(const std::string& path) const {
    Resolved r = resolve(path);
    if (r.syntaxError || !r.driveKnown || !r.exists) return INVALID_FILE_ATTRIBUTES;
    return storedAttributes(r);
}

bool FileSystem::isInUse(const std::string& path) const {
    Resolved r = resolve(path);
    return r.exists && inUse_.count(r.key) != 0;
}

std::vector<std::string> FileSystem::list(const std::string& dir) const {
    std::vector<FindEntry> entries;
    std::vector<std::string> names;
    if (tryFind(dir + "\\*", &entries) != 0) return names;
    for (const FindEntry& e : entries)
        if (e.name != "." && e.name != "..") names.push_back(e.name);
    return names;
}

std::string FileSystem::hostPath(const std::string& path) const { return mustResolve(path).host; }

DWORD FileSystem::storedAttributes(const Resolved& r) const {
    // The root of an NTFS volume is a hidden system folder.
    if (r.isRoot) return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    auto it = attributes_.find(r.key);
    if (r.isDirectory) return FILE_ATTRIBUTE_DIRECTORY | (it == attributes_.end() ? 0 : it->second);
    if (it == attributes_.end()) return FILE_ATTRIBUTE_ARCHIVE;
    // A file without any attribute reports FILE_ATTRIBUTE_NORMAL.
    return it->second ? it->second : FILE_ATTRIBUTE_NORMAL;
}

void FileSystem::forget(const std::string& key) {
    const std::string below = key + "\\";
    auto drop = [&](const std::string& k) { return k == key || k.compare(0, below.size(), below) == 0; };
    for (auto it = attributes_.begin(); it != attributes_.end();) it = drop(it->first) ? attributes_.erase(it) : std::next(it);
    for (auto it = inUse_.begin(); it != inUse_.end();) it = drop(*it) ? inUse_.erase(it) : std::next(it);
    for (auto it = shortNames_.begin(); it != shortNames_.end();)
        it = drop(it->first) ? shortNames_.erase(it) : std::next(it);
}

}  // namespace winsim
