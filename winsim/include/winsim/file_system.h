// The file system of the simulated PC: drives mapped onto a host temporary
// folder, with Windows' path rules (drive letters, backslashes, names that
// compare without regard to case, trailing dots and spaces dropped) and the
// attributes Windows keeps that the host does not.
//
// Every path here is a Windows path in UTF-8 ("C:\\WINDOWS\\INF"); the Win32
// layer converts ANSI paths from the machine's code page first, so a
// Shift-JIS trail byte 0x5C is never taken for a separator. On the host a
// name is stored as the UTF-8 form of its Windows name, in the case it was
// created with.
//
// Three kinds of members:
// - seeding and inspection, for tests: they create parent folders as needed
//   and throw std::runtime_error for a path they cannot place;
// - operations with Windows' checks (try...): they return the Win32 error
//   code the matching call reports (0 on success); the Win32 layer and other
//   areas of winsim (Setup API, processes) build on them;
// - path resolution, shared by both.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <optional>
#include <string>
#include <vector>

#include "win_kernel.h"
#include "win_types.h"

namespace winsim {

// One entry of a folder listing, as FindFirstFileA reports it.
struct FindEntry {
    std::string name;       // UTF-8
    std::string shortName;  // the 8.3 name NTFS gave it; empty when the name is 8.3 already
    DWORD attributes = 0;
    uint64_t size = 0;
    uint64_t writeTime = 0;  // FILETIME units: 100 ns since 1601-01-01 UTC
};

// How a handle holds a file open, for Windows' sharing rules.
struct OpenMode {
    bool read = false;
    bool write = false;
    bool remove = false;  // DELETE access
    DWORD share = 0;      // FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
};

class FileSystem {
public:
    // Creates drive C: in a fresh host temporary folder with the folders of
    // a new Windows installation: C:\WINDOWS with INF, system32 and
    // system32\drivers, SysWOW64 and SysWOW64\drivers, C:\ProgramData and
    // C:\Program Files.
    FileSystem();
    ~FileSystem();  // removes the host folder
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    void addDrive(char letter);
    bool hasDrive(char letter) const;

    // --- seeding -----------------------------------------------------------
    // Creates or replaces a file; a new file reads FILE_ATTRIBUTE_ARCHIVE.
    void writeFile(const std::string& path, const std::string& content);
    void createDirectory(const std::string& path);
    // Sets the attributes as SetFileAttributesA would (FILE_ATTRIBUTE_NORMAL
    // alone clears them), without its checks.
    void setAttributes(const std::string& path, DWORD attributes);
    // A file or folder that another program holds open, sharing it for
    // reading only (a loaded driver image, a running program): it can be
    // read and its attributes changed, but not deleted, replaced or written
    // (ERROR_SHARING_VIOLATION).
    void setInUse(const std::string& path, bool inUse = true);
    // A symbolic link to a file (FILE_ATTRIBUTE_REPARSE_POINT), such as a
    // user might plant under a name an elevated program will write. Where
    // it points is not modelled: only calls that act on the link itself
    // accept it (GetFileAttributesA, DeleteFileA, MoveFileExA, CreateFileA
    // with FILE_FLAG_OPEN_REPARSE_POINT); CreateFileA following it fails as
    // not implemented.
    void addFileLink(const std::string& path);
    // Removes a file, or a folder with everything in it, without checks.
    void remove(const std::string& path);
    // Copies a host file or folder tree (for example the sample media) into
    // the machine; the copies read FILE_ATTRIBUTE_ARCHIVE.
    void importHostFile(const std::string& hostPath, const std::string& path);
    void importHostTree(const std::string& hostDir, const std::string& path);

    // --- inspection --------------------------------------------------------
    bool exists(const std::string& path) const;
    bool isDirectory(const std::string& path) const;
    std::optional<std::string> read(const std::string& path) const;
    DWORD attributes(const std::string& path) const;  // INVALID_FILE_ATTRIBUTES when absent
    bool isInUse(const std::string& path) const;
    // Names in the folder in the order FindFirstFileA returns them, without
    // "." and "..". Empty when the folder does not exist.
    std::vector<std::string> list(const std::string& dir) const;
    // The host path a Windows path maps onto (components that exist in the
    // case found on disk).
    std::string hostPath(const std::string& path) const;
    std::string hostRoot() const { return root_; }

    // --- operations with Windows' checks -----------------------------------
    DWORD tryGetAttributes(const std::string& path, DWORD* attributes) const;
    DWORD trySetAttributes(const std::string& path, DWORD attributes);
    DWORD tryDeleteFile(const std::string& path);
    DWORD tryCreateDirectory(const std::string& path);
    DWORD tryRemoveDirectory(const std::string& path);
    DWORD tryCopyFile(const std::string& from, const std::string& to, bool failIfExists);
    // Renames a file (MoveFileExA within a volume); a link is renamed, not
    // the file it points to.
    DWORD tryMoveFile(const std::string& from, const std::string& to, bool replaceExisting);
    // The entries a search pattern (wildcards in the last component) matches,
    // in NTFS order, "." and ".." first where the folder has them.
    DWORD tryFind(const std::string& pattern, std::vector<FindEntry>* entries) const;
    // Reads a whole file as a program that opens it for reading, sharing
    // read, write and delete access.
    DWORD tryReadFile(const std::string& path, std::string* content) const;
    // Creates or overwrites a whole file as a program that opens it for
    // writing; the file keeps its attributes and gains FILE_ATTRIBUTE_ARCHIVE.
    DWORD tryWriteFile(const std::string& path, const std::string& content);

    // Handles of this process on files (CreateFileA). open() checks the
    // sharing rules against the handles already open and against other
    // programs; it returns an id for close().
    DWORD open(const std::string& key, const OpenMode& mode, int* id);
    void close(int id);
    // ERROR_SHARING_VIOLATION when an open of the file (by key) in `mode`
    // would conflict with a handle already open, 0 otherwise.
    DWORD checkSharing(const std::string& key, const OpenMode& mode) const;

    // --- resolution --------------------------------------------------------
    // A Windows path taken apart as Windows does: '/' read as '\', repeated
    // separators collapsed, "." and ".." applied, relative paths taken from
    // currentDirectory (or the root of another drive), trailing dots and
    // spaces dropped from the last component and one trailing dot from the
    // others. Each component is then looked up without regard to case.
    struct Resolved {
        DWORD syntaxError = 0;      // ERROR_INVALID_NAME, ERROR_PATH_NOT_FOUND... before any lookup
        bool driveKnown = false;
        bool parentExists = false;  // every folder above the last component exists
        bool exists = false;
        bool isDirectory = false;
        bool isRoot = false;
        bool trailingSeparator = false;  // the path ended with a separator
        std::string host;       // host path (components resolved as far as they exist)
        std::string canonical;  // Windows path with the case found on disk, upper-case drive
        std::string key;        // canonical path upper-cased: the side tables' key
        std::string lastName;   // the last component as found (or as given)
    };
    // `allowWildcards` accepts '*' and '?' (and the DOS wildcards '<', '>',
    // '"') in the last component, as FindFirstFileA does.
    Resolved resolve(const std::string& path, bool allowWildcards = false) const;

    // The current directory of the simulated process, always absolute.
    std::string currentDirectory = "C:\\";

private:
    DWORD storedAttributes(const Resolved& r) const;
    void forget(const std::string& key);  // drops side-table entries of a path and below it
    Resolved mustResolve(const std::string& path) const;  // for seeding: throws on bad paths
    // The short names of the entries of a folder, by entry name (empty for
    // names that are 8.3 already). NTFS gives a name its short name when it
    // creates it; winsim gives it when the folder is first looked at after
    // the name appeared, in name order, which yields the same names for the
    // usual case of one new name at a time.
    std::map<std::string, std::string> shortNamesIn(const std::string& folderKey,
                                                    const std::vector<std::string>& names) const;
    // Finds the entry whose short name is `name` (any case) among the
    // entries of a folder: Windows opens a file by either name.
    bool findByShortName(const std::string& folderCanonical, const std::vector<std::string>& entries,
                         const std::string& name, std::string* actual) const;
    void ensureFolder(const std::string& path);

    std::string root_;
    std::set<char> drives_;
    // Attributes other than FILE_ATTRIBUTE_DIRECTORY, by key. A file without
    // an entry reads FILE_ATTRIBUTE_ARCHIVE, a folder reads 0 (plus the
    // directory bit).
    std::map<std::string, DWORD> attributes_;
    std::set<std::string> inUse_;
    // Short names given so far, by key.
    mutable std::map<std::string, std::string> shortNames_;
    struct OpenEntry {
        std::string key;
        OpenMode mode;
    };
    std::map<int, OpenEntry> open_;
    int nextOpenId_ = 1;
};

// Upper-cases a UTF-8 name the way NTFS compares names: each UTF-16 code
// unit through the simple upper-case mapping.
std::string upperName(const std::string& utf8);
std::u16string upperKey(const std::string& utf8);

// Whether a name matches a FindFirstFileA pattern, after Windows' rewriting
// of the pattern ("*.*" is "*", '?' and '.' and '*' before a dot take their
// DOS meanings) and with case ignored.
bool matchesFindPattern(const std::string& name, const std::string& pattern, bool patternHadTrailingDot);

// FILETIME units (100 ns since 1601) for a Unix time.
uint64_t fileTimeFromUnix(int64_t seconds, long nanoseconds);

}  // namespace winsim
