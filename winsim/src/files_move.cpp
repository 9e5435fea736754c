// Renaming files, and links to files, in the simulated file system.
#include <filesystem>

#include "winsim/file_system.h"
#include "winsim/machine.h"

namespace winsim {
namespace fs = std::filesystem;

void FileSystem::addFileLink(const std::string& path) {
    writeFile(path, std::string());
    Resolved r = mustResolve(path);
    attributes_[r.key] = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT;
}

DWORD FileSystem::tryMoveFile(const std::string& from, const std::string& to, bool replaceExisting) {
    const Resolved src = resolve(from);
    const Resolved dst = resolve(to);
    for (const Resolved* r : {&src, &dst}) {
        if (r->syntaxError == ERROR_CALL_NOT_IMPLEMENTED) notImplemented("path form: " + (r == &src ? from : to));
        if (r->syntaxError) return r->syntaxError;
        if (!r->driveKnown || !r->parentExists) return ERROR_PATH_NOT_FOUND;
    }
    if (!src.exists) return ERROR_FILE_NOT_FOUND;
    if (src.isDirectory) {
        notImplemented("MoveFileExA of a folder");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (src.host.substr(0, root_.size() + 2) != dst.host.substr(0, root_.size() + 2)) {
        notImplemented("MoveFileExA to another drive");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    // The rename opens the source for DELETE access, sharing read access only.
    if (DWORD e = checkSharing(src.key, OpenMode{false, false, true, FILE_SHARE_READ})) return e;
    const bool sameFile = dst.exists && dst.key == src.key;
    if (dst.exists && !sameFile) {
        if (!replaceExisting) return ERROR_ALREADY_EXISTS;
        // A folder or a read-only file is never replaced.
        if (dst.isDirectory || (storedAttributes(dst) & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
        if (DWORD e = checkSharing(dst.key, OpenMode{false, false, true, 0})) return e;
    }
    const DWORD attributes = storedAttributes(src);
    std::error_code ec;
    if (dst.exists && !sameFile) fs::remove(dst.host, ec);
    fs::rename(src.host, dst.host, ec);
    if (ec) return ERROR_ACCESS_DENIED;
    forget(src.key);
    forget(dst.key);
    // The renamed file keeps its attributes, the link bit included.
    attributes_[resolve(to).key] = attributes;
    return 0;
}

}  // namespace winsim
