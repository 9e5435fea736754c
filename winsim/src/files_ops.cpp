// File operations with the checks Windows makes and the Win32 error codes it
// reports. The Win32 layer (files_api.cpp, files_find.cpp,
// files_handles.cpp) and other areas of winsim build on these.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "files_internal.h"
#include "winsim/file_system.h"
#include "winsim/machine.h"

namespace winsim {
namespace fs = std::filesystem;

namespace {

constexpr DWORD kSettableAttributes = 0x31A7;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The error of a path whose target must exist: a missing folder on the way
// is ERROR_PATH_NOT_FOUND, a missing last component ERROR_FILE_NOT_FOUND.
DWORD existingTargetError(const FileSystem::Resolved& r, const std::string& path) {
    if (r.syntaxError) {
        if (r.syntaxError == ERROR_CALL_NOT_IMPLEMENTED) notImplemented("path form: " + path);
        return r.syntaxError;
    }
    if (!r.driveKnown || !r.parentExists) return ERROR_PATH_NOT_FOUND;
    if (!r.exists) return ERROR_FILE_NOT_FOUND;
    // A separator after a file's name: NTFS refuses the name.
    if (r.trailingSeparator && !r.isDirectory) return ERROR_INVALID_NAME;
    return 0;
}

// The error of a path whose last component is to be created.
DWORD newTargetError(const FileSystem::Resolved& r, const std::string& path) {
    if (r.syntaxError) {
        if (r.syntaxError == ERROR_CALL_NOT_IMPLEMENTED) notImplemented("path form: " + path);
        return r.syntaxError;
    }
    if (!r.driveKnown || !r.parentExists) return ERROR_PATH_NOT_FOUND;
    return 0;
}

bool conflicts(const OpenMode& held, const OpenMode& wanted) {
    // An open for none of read, write and delete access (attributes only)
    // takes no part in the sharing rules, on either side.
    if (!(held.read || held.write || held.remove) || !(wanted.read || wanted.write || wanted.remove)) return false;
    if (wanted.read && !(held.share & FILE_SHARE_READ)) return true;
    if (wanted.write && !(held.share & FILE_SHARE_WRITE)) return true;
    if (wanted.remove && !(held.share & FILE_SHARE_DELETE)) return true;
    if (held.read && !(wanted.share & FILE_SHARE_READ)) return true;
    if (held.write && !(wanted.share & FILE_SHARE_WRITE)) return true;
    if (held.remove && !(wanted.share & FILE_SHARE_DELETE)) return true;
    return false;
}

std::string readHost(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool writeHost(const std::string& host, const std::string& content) {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

FindEntry entryFor(const std::string& name, const std::string& host, DWORD attributes) {
    FindEntry e;
    e.name = name;
    e.attributes = attributes;
    struct stat st;
    if (::stat(host.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) e.size = static_cast<uint64_t>(st.st_size);
        e.writeTime = fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    }
    return e;
}

}  // namespace

DWORD FileSystem::checkSharing(const std::string& key, const OpenMode& mode) const {
    // Another program holds the file for reading and shares only reading.
    static const OpenMode otherProgram{true, false, false, FILE_SHARE_READ};
    if (inUse_.count(key) && conflicts(otherProgram, mode)) return ERROR_SHARING_VIOLATION;
    for (const auto& entry : open_)
        if (entry.second.key == key && conflicts(entry.second.mode, mode)) return ERROR_SHARING_VIOLATION;
    return 0;
}

DWORD FileSystem::open(const std::string& key, const OpenMode& mode, int* id) {
    if (DWORD e = checkSharing(key, mode)) return e;
    *id = nextOpenId_++;
    open_[*id] = OpenEntry{key, mode};
    return 0;
}

void FileSystem::close(int id) { open_.erase(id); }

DWORD FileSystem::tryGetAttributes(const std::string& path, DWORD* attributes) const {
    Resolved r = resolve(path);
    if (DWORD e = existingTargetError(r, path)) return e;
    *attributes = storedAttributes(r);
    return 0;
}

DWORD FileSystem::trySetAttributes(const std::string& path, DWORD attributes) {
    Resolved r = resolve(path);
    if (DWORD e = existingTargetError(r, path)) return e;
    if (r.isRoot) {
        notImplemented("SetFileAttributesA on the root of a drive");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    // FILE_ATTRIBUTE_NORMAL means "none"; with other attributes it is
    // ignored. Bits that cannot be set this way (directory, compressed...)
    // are ignored too.
    DWORD stored = attributes & kSettableAttributes & ~FILE_ATTRIBUTE_NORMAL;
    attributes_[r.key] = stored;
    return 0;
}

DWORD FileSystem::tryDeleteFile(const std::string& path) {
    Resolved r = resolve(path);
    if (DWORD e = existingTargetError(r, path)) return e;
    // DeleteFile opens the file as a non-directory for DELETE access, sharing
    // everything; a folder refuses that open with access denied.
    if (r.isDirectory) return ERROR_ACCESS_DENIED;
    if (DWORD e = checkSharing(r.key, OpenMode{false, false, true, kShareAll})) return e;
    for (const auto& entry : open_) {
        if (entry.second.key == r.key) {
            // Every handle shares delete access: Windows would mark the file
            // for deletion when the last handle closes.
            notImplemented("DeleteFileA of a file that is open with FILE_SHARE_DELETE");
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }
    if (storedAttributes(r) & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    std::error_code ec;
    if (!fs::remove(r.host, ec)) return ERROR_ACCESS_DENIED;
    forget(r.key);
    return 0;
}

DWORD FileSystem::tryCreateDirectory(const std::string& path) {
    Resolved r = resolve(path);
    if (DWORD e = newTargetError(r, path)) return e;
    if (r.exists) return ERROR_ALREADY_EXISTS;
    std::error_code ec;
    if (!fs::create_directory(r.host, ec)) return ERROR_ACCESS_DENIED;
    forget(r.key);
    return 0;
}

DWORD FileSystem::tryRemoveDirectory(const std::string& path) {
    Resolved r = resolve(path);
    if (DWORD e = existingTargetError(r, path)) return e;
    if (r.isRoot) return ERROR_ACCESS_DENIED;
    if (!r.isDirectory) return ERROR_DIRECTORY;
    // The process keeps a handle on its current directory that does not
    // share delete access.
    Resolved cwd = resolve(currentDirectory);
    if (cwd.exists && cwd.key == r.key) return ERROR_SHARING_VIOLATION;
    if (DWORD e = checkSharing(r.key, OpenMode{false, false, true, kShareAll})) return e;
    if (storedAttributes(r) & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    if (!hostEntries(r.host).empty()) return ERROR_DIR_NOT_EMPTY;
    std::error_code ec;
    if (!fs::remove(r.host, ec)) return ERROR_ACCESS_DENIED;
    forget(r.key);
    return 0;
}

DWORD FileSystem::tryCopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    Resolved src = resolve(from);
    if (DWORD e = existingTargetError(src, from)) return e;
    if (src.isDirectory) return ERROR_ACCESS_DENIED;
    // CopyFile reads the source sharing read, write and delete access: a
    // source another handle writes to, sharing reading, copies.
    if (DWORD e = checkSharing(src.key, OpenMode{true, false, false, kShareAll})) return e;

    Resolved dst = resolve(to);
    if (DWORD e = newTargetError(dst, to)) return e;
    const DWORD srcAttributes = storedAttributes(src);
    if (dst.exists) {
        if (failIfExists) return ERROR_FILE_EXISTS;
        if (dst.isDirectory) return ERROR_ACCESS_DENIED;
        // The source is open for reading, so the target cannot be opened
        // for writing without sharing: copying a file onto itself fails.
        if (dst.key == src.key) return ERROR_SHARING_VIOLATION;
        // Windows NT writes the target sharing read and write access, so a
        // target that others hold open sharing both is replaced; Windows
        // 95/98/Me open it exclusively.
        const OpenMode target = current().system.platformId == VER_PLATFORM_WIN32_WINDOWS
                                    ? OpenMode{false, true, true, 0}
                                    : OpenMode{false, true, false, FILE_SHARE_READ | FILE_SHARE_WRITE};
        if (DWORD e = checkSharing(dst.key, target)) return e;
        // Documented: a read-only or hidden target is refused.
        const DWORD dstAttributes = storedAttributes(dst);
        if (dstAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) return ERROR_ACCESS_DENIED;
        if (dstAttributes & FILE_ATTRIBUTE_SYSTEM) {
            notImplemented("CopyFileA onto a system file");
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }
    if (!writeHost(dst.host, readHost(src.host))) return ERROR_ACCESS_DENIED;
    std::error_code ec;
    fs::last_write_time(dst.host, fs::last_write_time(src.host, ec), ec);
    // The copy has the source's attributes and, as a newly written file,
    // FILE_ATTRIBUTE_ARCHIVE.
    forget(dst.key);
    Resolved written = resolve(to);
    DWORD copied = srcAttributes & kSettableAttributes & ~FILE_ATTRIBUTE_NORMAL;
    attributes_[written.key] = copied | FILE_ATTRIBUTE_ARCHIVE;
    return 0;
}

DWORD FileSystem::tryFind(const std::string& pattern, std::vector<FindEntry>* entries) const {
    entries->clear();
    Resolved r = resolve(pattern, true);
    if (r.syntaxError) {
        if (r.syntaxError == ERROR_CALL_NOT_IMPLEMENTED) notImplemented("path form: " + pattern);
        return r.syntaxError;
    }
    if (!r.driveKnown) return ERROR_PATH_NOT_FOUND;
    // FindFirstFileA opens the folder first: a missing one is
    // ERROR_PATH_NOT_FOUND, a file in its place ERROR_DIRECTORY (the folder
    // open finds no directory).
    const bool noPattern = r.isRoot || r.trailingSeparator;
    if (noPattern || !r.parentExists) {
        std::string folderPath = noPattern ? r.canonical : r.canonical.substr(0, r.canonical.rfind('\\'));
        if (folderPath.size() == 2) folderPath += "\\";  // "C:" is the root here, not the current directory
        const Resolved folder = resolve(folderPath);
        if (!folder.exists) return ERROR_PATH_NOT_FOUND;
        if (!folder.isDirectory) return ERROR_DIRECTORY;
        // No name to search for: nothing matches.
        return ERROR_FILE_NOT_FOUND;
    }
    const std::string folderHost = r.host.substr(0, r.host.rfind('/'));
    const std::string folderCanonical = r.canonical.substr(0, r.canonical.rfind('\\'));
    const bool folderIsRoot = folderCanonical.size() <= 2;  // "C:"
    // The path rules removed a trailing dot of the pattern; FindFirstFileA
    // still takes it into account.
    const bool hadTrailingDot = !pattern.empty() && pattern.back() == '.';
    const std::string& mask = r.lastName;

    // NTFS lists a folder's entries sorted by their upper-cased names, as
    // UTF-16 code units; "." and ".." come first in any folder but the root.
    const std::string folderKey = upperName(folderCanonical);
    std::vector<std::pair<std::u16string, FindEntry>> found;
    const std::vector<std::string> names = hostEntries(folderHost);
    const std::map<std::string, std::string> shortNames = shortNamesIn(folderKey, names);
    for (const std::string& name : names) {
        // The pattern is matched against the long name and the short one.
        const std::string& shortName = shortNames.at(name);
        if (!matchesFindPattern(name, mask, hadTrailingDot) &&
            (shortName.empty() || !matchesFindPattern(shortName, mask, hadTrailingDot)))
            continue;
        Resolved child;
        child.host = folderHost + "/" + name;
        child.key = folderKey + "\\" + upperName(name);
        struct stat st;
        child.isDirectory = ::stat(child.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        found.emplace_back(upperKey(name), entryFor(name, child.host, storedAttributes(child)));
        found.back().second.shortName = shortName;
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!folderIsRoot) {
        Resolved self = resolve(folderCanonical);
        for (const char* dot : {".", ".."}) {
            // NTFS lists "." and ".." also where the pattern matches an
            // empty name: "*." and "?" list them.
            if (!matchesFindPattern(dot, mask, hadTrailingDot) && !matchesFindPattern("", mask, hadTrailingDot))
                continue;
            Resolved target = std::string(dot) == "." ? self : resolve(folderCanonical + "\\..");
            entries->push_back(entryFor(dot, target.host, storedAttributes(target)));
        }
    }
    for (auto& f : found) entries->push_back(std::move(f.second));
    return entries->empty() ? ERROR_FILE_NOT_FOUND : 0;
}

DWORD FileSystem::tryReadFile(const std::string& path, std::string* content) const {
    Resolved r = resolve(path);
    if (DWORD e = existingTargetError(r, path)) return e;
    if (r.isDirectory) return ERROR_ACCESS_DENIED;
    if (DWORD e = checkSharing(r.key, OpenMode{true, false, false, kShareAll})) return e;
    *content = readHost(r.host);
    return 0;
}

DWORD FileSystem::tryWriteFile(const std::string& path, const std::string& content) {
    Resolved r = resolve(path);
    if (DWORD e = newTargetError(r, path)) return e;
    if (r.isDirectory || r.isRoot) return ERROR_ACCESS_DENIED;
    DWORD kept = 0;
    if (r.exists) {
        if (DWORD e = checkSharing(r.key, OpenMode{false, true, false, FILE_SHARE_READ | FILE_SHARE_WRITE})) return e;
        kept = storedAttributes(r);
        if (kept & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    } else {
        forget(r.key);
    }
    if (!writeHost(r.host, content)) return ERROR_ACCESS_DENIED;
    Resolved written = resolve(path);
    attributes_[written.key] = (kept & kSettableAttributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_ARCHIVE;
    return 0;
}

}  // namespace winsim
