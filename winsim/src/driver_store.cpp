#include "winsim/driver_store.h"

#include <algorithm>
#include <stdexcept>

#include "winsim/file_system.h"
#include "winsim/win_errors.h"

namespace winsim {

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A precompiled INF holds Windows' binary form of the INF and the media
// location. Its layout is Windows' own business; the product only deletes
// these files, so winsim writes a short opaque record of its own.
std::string pnfContent(const PublishedPackage& package) {
    std::string content("\x01\x01\x02\x00", 4);
    content += "winsim precompiled INF";
    content += '\0';
    content += package.sourceLocation;
    content += '\0';
    return content;
}

bool sameName(const std::string& a, const std::string& b) { return upperName(a) == upperName(b); }

}  // namespace

DriverStore::DriverStore() {}

void DriverStore::prune(const FileSystem& files) {
    packages_.erase(std::remove_if(packages_.begin(), packages_.end(),
                                   [&files](const PublishedPackage& p) { return !files.exists(p.publishedPath); }),
                    packages_.end());
}

const std::vector<PublishedPackage>& DriverStore::published(const FileSystem& files) {
    prune(files);
    return packages_;
}

const PublishedPackage* DriverStore::find(const FileSystem& files, const std::string& publishedName) {
    prune(files);
    for (const PublishedPackage& p : packages_)
        if (sameName(p.publishedName, publishedName)) return &p;
    return nullptr;
}

std::string DriverStore::nextName(const FileSystem& files, const std::string& infFolder) const {
    for (unsigned n = 0;; ++n) {
        std::string name = "oem" + std::to_string(n) + ".inf";
        const bool recorded = std::any_of(packages_.begin(), packages_.end(),
                                          [&name](const PublishedPackage& p) { return sameName(p.publishedName, name); });
        if (!recorded && !files.exists(infFolder + "\\" + name)) return name;
    }
}

DWORD DriverStore::publish(FileSystem& files, const StagingRequest& request, const PublishedPackage** result) {
    prune(files);
    const std::string originalName = nameOf(request.sourceInfPath);
    for (const PublishedPackage& p : packages_) {
        if (!sameName(p.originalName, originalName) || p.infContent != request.infContent ||
            p.catalogContent != request.catalogContent)
            continue;
        *result = &p;
        if (request.noOverwrite) return ERROR_FILE_EXISTS;
        // The package is in the store already; Windows gives its name back.
        if (!files.exists(p.pnfPath)) files.tryWriteFile(p.pnfPath, pnfContent(p));
        return 0;
    }

    PublishedPackage package;
    package.publishedName = nextName(files, request.infFolder);
    package.publishedPath = request.infFolder + "\\" + package.publishedName;
    package.pnfPath = package.publishedPath.substr(0, package.publishedPath.size() - 4) + ".PNF";
    package.originalName = originalName;
    package.sourceFolder = folderOf(request.sourceInfPath);
    package.sourceLocation = request.sourceLocation;
    package.infContent = request.infContent;
    package.catalogName = request.catalogName;
    package.catalogContent = request.catalogContent;
    if (DWORD error = files.tryWriteFile(package.publishedPath, package.infContent)) return error;
    if (DWORD error = files.tryWriteFile(package.pnfPath, pnfContent(package))) {
        files.tryDeleteFile(package.publishedPath);
        return error;
    }
    packages_.push_back(package);
    *result = &packages_.back();
    return 0;
}

DWORD DriverStore::removePublished(FileSystem& files, const std::string& publishedName) {
    prune(files);
    auto it = std::find_if(packages_.begin(), packages_.end(),
                           [&publishedName](const PublishedPackage& p) { return sameName(p.publishedName, publishedName); });
    if (it == packages_.end()) return ERROR_FILE_NOT_FOUND;
    if (DWORD error = files.tryDeleteFile(it->publishedPath)) return error;
    // A PNF that is missing or cannot go does not keep the package.
    files.tryDeleteFile(it->pnfPath);
    packages_.erase(it);
    return 0;
}

std::string DriverStore::seed(FileSystem& files, const std::string& infFolder, const std::string& originalName,
                              const std::string& infContent, const std::string& catalogContent) {
    StagingRequest request;
    request.infFolder = infFolder;
    request.sourceInfPath = "C:\\Drivers\\" + originalName;
    request.sourceLocation = "C:\\Drivers";
    request.infContent = infContent;
    request.catalogContent = catalogContent;
    const PublishedPackage* package = nullptr;
    if (DWORD error = publish(files, request, &package))
        throw std::runtime_error("DriverStore::seed: cannot write into " + infFolder + " (error " +
                                 std::to_string(error) + ")");
    return package->publishedName;
}

}  // namespace winsim
