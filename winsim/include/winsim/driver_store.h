// The driver store of the simulated PC and the OEM INF files that
// SetupCopyOEMInfA published into the Windows INF folder as oem<N>.inf,
// each with its precompiled twin oem<N>.PNF, and the record Windows keeps
// of each package (where it came from, its INF and its catalog).
//
// From Windows Vista on, a staged package lives in the driver store,
// System32\DriverStore\FileRepository, in a folder of its own named
// "<inf name>_<architecture>_<hash>" ("qtx0bus.inf_amd64_neutral_<hash>"
// on Vista and 7) that holds the INF, its catalog and the files its
// [SourceDisksFiles] sections list. oem<N>.inf is only the name the
// package is published under: deleting that file by hand leaves the
// package in the store, where Plug and Play still finds it, and no longer
// published, so neither pnputil.exe nor SetupUninstallOEMInf can name it.
// Staging the same package again publishes it anew.
//
// Before Vista there is no store: the package is its oem<N>.inf, and
// deleting that file by hand removes it.
//
// Paths are Windows paths in UTF-8, as everywhere in winsim's seeding and
// inspection.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "win_types.h"

namespace winsim {

class Devices;
class FileSystem;
class Registry;
struct SystemInfo;

// Whether a device instance (present or not) was installed from the INF
// of this name: its driver key's InfPath names it.
bool infUsedByDevice(const Registry& registry, const Devices& devices, const std::string& infName);

struct PublishedPackage {
    // The three are empty for a package of the store that is no longer
    // published (its oem<N>.inf was deleted by hand).
    std::string publishedName;   // "oem3.inf"
    std::string publishedPath;   // "C:\\WINDOWS\\INF\\oem3.inf"
    std::string pnfPath;         // "C:\\WINDOWS\\INF\\oem3.PNF"
    // The package's folder in the driver store; empty before Vista.
    std::string storeFolder;
    std::string originalName;    // the INF's own name, "qtx0bus.inf"
    std::string sourceFolder;    // the folder it was staged from, "D:\\Setup\\Drivers"
    std::string sourceLocation;  // the media location its PNF records
    std::string infContent;      // the INF's bytes
    std::string catalogName;     // as CatalogFile names it; empty when it names none
    std::string catalogContent;  // the catalog's bytes; empty when absent
};

// What SetupCopyOEMInfA asks the store to publish, once it has read and
// checked the INF.
struct StagingRequest {
    std::string infFolder;       // the Windows INF folder, "C:\\WINDOWS\\INF"
    std::string sourceInfPath;   // the INF as found, "D:\\Setup\\Drivers\\qtx0bus.inf"
    std::string sourceLocation;  // OEMSourceMediaLocation, or the INF's folder
    std::string infContent;
    std::string catalogName;
    std::string catalogContent;
    bool catalogPresent = false;  // the catalog was found beside the INF
    bool noOverwrite = false;    // SP_COPY_NOOVERWRITE
    // The files of the package besides the INF and catalog: where each is
    // found and its path relative to the package's folder. Read only when
    // the system keeps a driver store.
    std::vector<std::pair<std::string, std::string>> packageFiles;
};

class DriverStore {
public:
    // The store follows the system's version: Windows Vista (6.0) and
    // later keep one.
    explicit DriverStore(const SystemInfo& system);

    // Set by a test to model a system that refuses packages without a
    // catalog (64-bit Windows with its driver-signing policy, or a policy
    // that blocks unsigned drivers): SetupCopyOEMInfA then fails with
    // ERROR_NO_CATALOG_FOR_OEM_INF for an INF whose CatalogFile is missing
    // or names a file that is not beside it. What such a system does with
    // a catalog that is there but not signed is not documented: winsim
    // declines it loudly.
    bool requireSignedPackages = false;

    // The catalogs (by their paths, "D:\\Drivers\\qtx0bus.cat") that carry
    // a valid signature. A test names the ones it wants signed; every
    // other catalog is unsigned, as the sample media's placeholder
    // catalogs are.
    std::vector<std::string> signedCatalogs;
    bool isSigned(const std::string& catalogPath) const;
    // Without the policy above Windows asks the user before it stages a
    // package that has no signed catalog ("Windows can't verify the
    // publisher of this driver software" from Vista on). winsim answers as
    // if the user chose to install it and records the INF asked about.
    std::vector<std::string> unsignedPrompts;

    // The published packages, in the order they were published.
    std::vector<PublishedPackage> published(const FileSystem& files);
    // Every package in the driver store, published or not, in the order
    // they were staged; empty before Vista.
    std::vector<PublishedPackage> inStore(const FileSystem& files);
    // The folder of the driver store, "<windows>\\System32\\DriverStore\\FileRepository".
    std::string repositoryFolder() const;
    // The package published under this name (compared without regard to
    // case), or null.
    const PublishedPackage* find(const FileSystem& files, const std::string& publishedName);

    // Publishes an INF: a package whose INF name, INF bytes and catalog
    // bytes equal those of a published one keeps that one's name (and
    // fails with ERROR_FILE_EXISTS under SP_COPY_NOOVERWRITE); one that is
    // in the store but no longer published is published again; any other
    // is copied into a folder of its own in the store (from Vista on) and
    // gets oem<N>.inf with the lowest N not in use in the INF folder, its
    // .PNF written beside it. Returns 0 or the Win32 error of the write;
    // *result is the package concerned (also on ERROR_FILE_EXISTS).
    DWORD publish(FileSystem& files, const StagingRequest& request, const PublishedPackage** result);

    // Removes a published package: its INF, its PNF, its folder in the
    // store and its record, as "pnputil -d oem<N>.inf" or
    // SetupUninstallOEMInfA do. Returns 0, ERROR_FILE_NOT_FOUND when no
    // package is published under this name, or the error of deleting the
    // INF (the package then stays).
    DWORD removePublished(FileSystem& files, const std::string& publishedName);
    bool deletePublished(FileSystem& files, const std::string& publishedName) {
        return removePublished(files, publishedName) == 0;
    }

    // Seeding for tests: a package published earlier, without the checks
    // of SetupCopyOEMInfA (in the store too from Vista on). Returns its
    // oem<N>.inf name.
    std::string seed(FileSystem& files, const std::string& infFolder, const std::string& originalName,
                     const std::string& infContent, const std::string& catalogContent = "");

private:
    bool keepsStore() const;
    // Brings the records in line with the folders: a package whose
    // published INF was deleted by hand is dropped before Vista and only
    // unpublished from Vista on; one whose store folder is gone is dropped.
    void prune(const FileSystem& files);
    std::string nextName(const FileSystem& files, const std::string& infFolder) const;
    DWORD publishAs(FileSystem& files, const std::string& infFolder, PublishedPackage* package) const;
    DWORD copyIntoStore(FileSystem& files, const StagingRequest& request, PublishedPackage* package) const;

    const SystemInfo& system_;
    std::vector<PublishedPackage> packages_;
};

}  // namespace winsim
