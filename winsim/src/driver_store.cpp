#include "winsim/driver_store.h"

#include <algorithm>
#include <stdexcept>

#include "winsim/devices.h"
#include "winsim/file_system.h"
#include "winsim/registry.h"
#include "winsim/system_info.h"
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

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Windows names a package's folder after a hash of the package; its
// algorithm is Windows' own business. winsim hashes the INF and the
// catalog (FNV-1a), so that the same package gets the same folder.
std::string packageHash(const std::string& inf, const std::string& catalog) {
    unsigned long long hash = 14695981039346656037ull;
    for (const std::string* part : {&inf, &catalog}) {
        for (unsigned char c : *part) {
            hash ^= c;
            hash *= 1099511628211ull;
        }
        hash ^= 0xff;
        hash *= 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = kDigits[hash & 0xf];
    return text;
}

void unpublish(PublishedPackage& package) {
    package.publishedName.clear();
    package.publishedPath.clear();
    package.pnfPath.clear();
}

}  // namespace

bool infUsedByDevice(const Registry& registry, const Devices& devices, const std::string& infName) {
    for (const std::string& instance : devices.list()) {
        const std::optional<std::string> driver = registry.string(Devices::enumKeyPath(instance), "Driver");
        if (!driver) continue;
        const std::optional<std::string> infPath =
            registry.string(std::string(Devices::kClassKey) + "\\" + *driver, "InfPath");
        if (infPath && sameName(*infPath, infName)) return true;
    }
    return false;
}

DriverStore::DriverStore(const SystemInfo& system) : system_(system) {}

bool DriverStore::isSigned(const std::string& catalogPath) const {
    return std::any_of(signedCatalogs.begin(), signedCatalogs.end(),
                       [&catalogPath](const std::string& path) { return sameName(path, catalogPath); });
}

bool DriverStore::keepsStore() const { return system_.platformId == 2 && system_.major >= 6; }

std::string DriverStore::repositoryFolder() const {
    return system_.windowsDir + "\\System32\\DriverStore\\FileRepository";
}

void DriverStore::prune(const FileSystem& files) {
    packages_.erase(std::remove_if(packages_.begin(), packages_.end(),
                                   [&files](PublishedPackage& p) {
                                       if (!p.storeFolder.empty()) {
                                           if (!files.isDirectory(p.storeFolder)) return true;
                                           if (!p.publishedPath.empty() && !files.exists(p.publishedPath))
                                               unpublish(p);
                                           return false;
                                       }
                                       return !files.exists(p.publishedPath);
                                   }),
                    packages_.end());
}

std::vector<PublishedPackage> DriverStore::published(const FileSystem& files) {
    prune(files);
    std::vector<PublishedPackage> result;
    for (const PublishedPackage& p : packages_)
        if (!p.publishedName.empty()) result.push_back(p);
    return result;
}

std::vector<PublishedPackage> DriverStore::inStore(const FileSystem& files) {
    prune(files);
    std::vector<PublishedPackage> result;
    for (const PublishedPackage& p : packages_)
        if (!p.storeFolder.empty()) result.push_back(p);
    return result;
}

const PublishedPackage* DriverStore::find(const FileSystem& files, const std::string& publishedName) {
    prune(files);
    for (const PublishedPackage& p : packages_)
        if (!p.publishedName.empty() && sameName(p.publishedName, publishedName)) return &p;
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

DWORD DriverStore::publishAs(FileSystem& files, const std::string& infFolder, PublishedPackage* package) const {
    package->publishedName = nextName(files, infFolder);
    package->publishedPath = infFolder + "\\" + package->publishedName;
    package->pnfPath = package->publishedPath.substr(0, package->publishedPath.size() - 4) + ".PNF";
    DWORD error = files.tryWriteFile(package->publishedPath, package->infContent);
    if (!error) {
        error = files.tryWriteFile(package->pnfPath, pnfContent(*package));
        if (error) files.tryDeleteFile(package->publishedPath);
    }
    if (error) unpublish(*package);
    return error;
}

DWORD DriverStore::copyIntoStore(FileSystem& files, const StagingRequest& request, PublishedPackage* package) const {
    // Vista and 7 name the folder "<inf>_<arch>_neutral_<hash>"; later
    // releases drop "neutral".
    const bool neutral = system_.major == 6 && system_.minor <= 1;
    const std::string folder = repositoryFolder() + "\\" + lowerAscii(package->originalName) + "_amd64_" +
                               (neutral ? "neutral_" : "") + packageHash(request.infContent, request.catalogContent);
    std::vector<std::pair<std::string, std::string>> contents = {{package->originalName, request.infContent}};
    if (!request.catalogName.empty() && request.catalogPresent)
        contents.emplace_back(request.catalogName, request.catalogContent);
    for (const auto& file : request.packageFiles) {
        std::string content;
        if (DWORD error = files.tryReadFile(file.first, &content)) return error;
        contents.emplace_back(file.second, content);
    }
    for (const auto& file : contents) {
        const std::string path = folder + "\\" + file.first;
        // The store creates the folders its packages need.
        for (size_t slash = path.find('\\', repositoryFolder().size() + 1); slash != std::string::npos;
             slash = path.find('\\', slash + 1)) {
            const std::string parent = path.substr(0, slash);
            if (!files.isDirectory(parent)) files.createDirectory(parent);
        }
        if (DWORD error = files.tryWriteFile(path, file.second)) {
            files.remove(folder);
            return error;
        }
    }
    package->storeFolder = folder;
    return 0;
}

DWORD DriverStore::publish(FileSystem& files, const StagingRequest& request, const PublishedPackage** result) {
    prune(files);
    const std::string originalName = nameOf(request.sourceInfPath);
    for (PublishedPackage& p : packages_) {
        if (!sameName(p.originalName, originalName) || p.infContent != request.infContent ||
            p.catalogContent != request.catalogContent)
            continue;
        *result = &p;
        if (p.publishedName.empty()) {
            // In the store but no longer published: Windows publishes the
            // package again, under the lowest free name.
            return publishAs(files, request.infFolder, &p);
        }
        if (request.noOverwrite) return ERROR_FILE_EXISTS;
        // The package is in the store already; Windows gives its name back.
        if (!files.exists(p.pnfPath)) files.tryWriteFile(p.pnfPath, pnfContent(p));
        return 0;
    }

    PublishedPackage package;
    package.originalName = originalName;
    package.sourceFolder = folderOf(request.sourceInfPath);
    package.sourceLocation = request.sourceLocation;
    package.infContent = request.infContent;
    package.catalogName = request.catalogName;
    package.catalogContent = request.catalogContent;
    if (keepsStore()) {
        if (DWORD error = copyIntoStore(files, request, &package)) return error;
    }
    if (DWORD error = publishAs(files, request.infFolder, &package)) {
        if (!package.storeFolder.empty()) files.remove(package.storeFolder);
        return error;
    }
    packages_.push_back(package);
    *result = &packages_.back();
    return 0;
}

DWORD DriverStore::removePublished(FileSystem& files, const std::string& publishedName) {
    prune(files);
    auto it = std::find_if(packages_.begin(), packages_.end(), [&publishedName](const PublishedPackage& p) {
        return !p.publishedName.empty() && sameName(p.publishedName, publishedName);
    });
    if (it == packages_.end()) return ERROR_FILE_NOT_FOUND;
    if (DWORD error = files.tryDeleteFile(it->publishedPath)) return error;
    // A PNF that is missing or cannot go does not keep the package.
    files.tryDeleteFile(it->pnfPath);
    if (!it->storeFolder.empty() && files.exists(it->storeFolder)) files.remove(it->storeFolder);
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
    request.catalogPresent = !catalogContent.empty();
    if (request.catalogPresent) request.catalogName = originalName.substr(0, originalName.rfind('.')) + ".cat";
    const PublishedPackage* package = nullptr;
    if (DWORD error = publish(files, request, &package))
        throw std::runtime_error("DriverStore::seed: cannot write into " + infFolder + " (error " +
                                 std::to_string(error) + ")");
    return package->publishedName;
}

}  // namespace winsim
