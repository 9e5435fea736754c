// The file system of the simulated PC: drives mapped onto a host temporary
// folder, with Windows' path rules (case-insensitive names, backslashes,
// drive letters) and the attributes Windows keeps that the host does not.
//
// Seeding and inspection take Windows paths in UTF-8 ("C:\\WINDOWS\\INF");
// the Win32 layer converts ANSI paths from the machine's code page first.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

class FileSystem {
public:
    FileSystem();  // creates drive C: in a fresh host temporary folder
    ~FileSystem();  // removes the host folder
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    void addDrive(char letter);

    // Seeding: parent folders are created as needed.
    void writeFile(const std::string& path, const std::string& content);
    void createDirectory(const std::string& path);
    void setAttributes(const std::string& path, DWORD attributes);
    // A file that an open handle of another program holds: deleting it
    // fails with ERROR_SHARING_VIOLATION.
    void setInUse(const std::string& path, bool inUse = true);
    // Copies a host file (for example the sample media) into the machine.
    void importHostFile(const std::string& hostPath, const std::string& path);
    void importHostTree(const std::string& hostDir, const std::string& path);

    // Inspection.
    bool exists(const std::string& path) const;
    bool isDirectory(const std::string& path) const;
    std::optional<std::string> read(const std::string& path) const;
    DWORD attributes(const std::string& path) const;  // INVALID_FILE_ATTRIBUTES when absent
    // Names in the folder in the order FindFirstFileA returns them.
    std::vector<std::string> list(const std::string& dir) const;

    // Resolution used by the Win32 layer. An absolute Windows path (drive,
    // colon, backslash) maps onto its host path, each existing component
    // matched without regard to case. Relative paths are taken from the
    // current directory.
    struct Resolved {
        bool driveKnown = false;
        bool parentExists = false;  // every folder above the last component exists
        bool exists = false;
        std::string host;           // host path (components resolved as far as they exist)
        std::string canonical;      // Windows path with the case found on disk, upper-case drive
    };
    Resolved resolve(const std::string& path) const;

    std::string currentDirectory = "C:\\";
    std::string hostRoot() const { return root_; }

    // Attributes beyond the directory bit, by canonical upper-case path.
    std::map<std::string, DWORD> extraAttributes;
    std::set<std::string> inUse;

private:
    std::string root_;
    std::set<char> drives_;
};

// Upper-cases a UTF-8 name the way NTFS compares names (simple case mapping).
std::string upperName(const std::string& utf8);

}  // namespace winsim
