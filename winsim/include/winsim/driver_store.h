// The driver store of the simulated PC: the OEM INF files that
// SetupCopyOEMInfA published into the Windows INF folder as oem<N>.inf,
// each with its precompiled twin oem<N>.PNF, and the record Windows keeps
// of each package (where it came from, its INF and its catalog).
//
// A package stays published while its oem<N>.inf is in the INF folder:
// deleting that file by hand, as setup programs of the Windows XP era did,
// unpublishes it, and a later staging of the same INF publishes it anew.
// Paths are Windows paths in UTF-8, as everywhere in winsim's seeding and
// inspection.
#pragma once

#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

class FileSystem;

struct PublishedPackage {
    std::string publishedName;   // "oem3.inf"
    std::string publishedPath;   // "C:\\WINDOWS\\INF\\oem3.inf"
    std::string pnfPath;         // "C:\\WINDOWS\\INF\\oem3.PNF"
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
    bool noOverwrite = false;    // SP_COPY_NOOVERWRITE
};

class DriverStore {
public:
    DriverStore();

    // Set by a test to model a system that refuses packages without a
    // catalog (64-bit Windows with its driver-signing policy, or a policy
    // that blocks unsigned drivers): SetupCopyOEMInfA then fails with
    // ERROR_NO_CATALOG_FOR_OEM_INF for an INF whose CatalogFile is missing
    // or names a file that is not beside it. Otherwise the package is
    // accepted as if the user allowed an unsigned driver.
    bool requireSignedPackages = false;

    // The published packages, in the order they were published.
    const std::vector<PublishedPackage>& published(const FileSystem& files);
    // The package published under this name (compared without regard to
    // case), or null.
    const PublishedPackage* find(const FileSystem& files, const std::string& publishedName);

    // Publishes an INF: a package whose INF name, INF bytes and catalog
    // bytes equal those of a published one keeps that one's name (and
    // fails with ERROR_FILE_EXISTS under SP_COPY_NOOVERWRITE); any other
    // gets oem<N>.inf with the lowest N not in use in the INF folder, its
    // .PNF written beside it. Returns 0 or the Win32 error of the write;
    // *result is the package concerned (also on ERROR_FILE_EXISTS).
    DWORD publish(FileSystem& files, const StagingRequest& request, const PublishedPackage** result);

    // Removes a published package: its INF, its PNF and its record, as
    // "pnputil -d oem<N>.inf" or SetupUninstallOEMInfA do. Returns 0,
    // ERROR_FILE_NOT_FOUND when no package has this name, or the error of
    // deleting the INF (the package then stays).
    DWORD removePublished(FileSystem& files, const std::string& publishedName);
    bool deletePublished(FileSystem& files, const std::string& publishedName) {
        return removePublished(files, publishedName) == 0;
    }

    // Seeding for tests: a package published earlier, without the checks
    // of SetupCopyOEMInfA. Returns its oem<N>.inf name.
    std::string seed(FileSystem& files, const std::string& infFolder, const std::string& originalName,
                     const std::string& infContent, const std::string& catalogContent = "");

private:
    // Drops the records whose published INF is no longer in the folder.
    void prune(const FileSystem& files);
    std::string nextName(const FileSystem& files, const std::string& infFolder) const;

    std::vector<PublishedPackage> packages_;
};

}  // namespace winsim
