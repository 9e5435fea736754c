// RemoveDeviceMetadata: the phone's three packages deleted from the
// store's ja-JP folder and checked to be gone; other locales, folders named
// like a package and files that cannot be deleted handled as Windows
// leaves them.
#include <knownfolders.h>

#include <map>
#include <string>
#include <vector>

#include "product_fixture.h"
#include "removal/device_metadata_removal.h"

namespace {

const char kJaJp[] = "C:\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore\\ja-JP";
const char kEnUs[] = "C:\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore\\en-US";
const std::vector<std::string> kPackages = {
    "5B7E1C20-3A44-4D1F-9C2E-6A0B8F3D2E11.devicemetadata-ms",
    "7C1D9E42-0B6F-4A83-8E15-2F4C6D8A1B93.devicemetadata-ms",
    "A4E2F0C8-6D1B-4F27-B3A9-91C5E7D0F346.devicemetadata-ms",
};

std::string In(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

class RemoveMetadataTest : public ProductTest {
protected:
    void SetUp() override {
        InitContext();
        // The same packages in another locale's folder, and another
        // vendor's package beside the phone's: neither is the phone's.
        for (const std::string& package : kPackages) Keep(In(kEnUs, package));
        Keep(In(kJaJp, "00000000-1111-2222-3333-444444444444.devicemetadata-ms"));
        m.faults.clear();
        handlesBefore_ = m.handles.openCount();
        loadsBefore_ = m.modules.outstandingLoads();
    }

    void TearDown() override {
        for (const auto& file : kept_) EXPECT_EQ(m.files.read(file.first), file.second) << file.first;
        EXPECT_TRUE(m.files.isDirectory(kJaJp)) << "the locale folder itself stays";
        EXPECT_EQ(m.modules.outstandingLoads(), loadsBefore_);
        EXPECT_TRUE(m.knownFolders.taskAllocations.empty());
        EXPECT_EQ(m.handles.openCount(), handlesBefore_);
        EXPECT_TRUE(m.ui.boxes.empty());
        ProductTest::TearDown();
    }

    void Keep(const std::string& path) {
        m.files.writeFile(path, "keep " + path);
        kept_[path] = "keep " + path;
    }
    void SeedPackages() {
        for (const std::string& package : kPackages) m.files.writeFile(In(kJaJp, package), "old " + package);
    }
    std::vector<bool> Present() const {
        std::vector<bool> present;
        for (const std::string& package : kPackages) present.push_back(m.files.exists(In(kJaJp, package)));
        return present;
    }

    std::map<std::string, std::optional<std::string>> kept_;
    size_t handlesBefore_ = 0;
    int loadsBefore_ = 0;
};

const std::vector<bool> kNone = {false, false, false};

}  // namespace

TEST_F(RemoveMetadataTest, NoPackagePresentIsSuccess) {
    EXPECT_EQ(RemoveDeviceMetadata(), 1);
    EXPECT_EQ(m.faults.callsOf("DeleteFileA"), 0);
}

TEST_F(RemoveMetadataTest, AllThreePackagesAreDeleted) {
    SeedPackages();
    EXPECT_EQ(RemoveDeviceMetadata(), 1);
    EXPECT_EQ(Present(), kNone);
    EXPECT_EQ(m.faults.callsOf("DeleteFileA"), 3);
    EXPECT_EQ(m.knownFolders.taskFrees, 1);
}

TEST_F(RemoveMetadataTest, ReadOnlyPackageStaysAndFailsTheCheck) {
    SeedPackages();
    m.files.setAttributes(In(kJaJp, kPackages[1]), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(RemoveDeviceMetadata(), 0);
    EXPECT_EQ(Present(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(m.files.attributes(In(kJaJp, kPackages[1])), (DWORD)FILE_ATTRIBUTE_READONLY)
        << "the attributes are not changed";
    EXPECT_EQ(m.faults.callsOf("SetFileAttributesA"), 0);
}

TEST_F(RemoveMetadataTest, PackageInUseStaysAndFailsTheCheck) {
    SeedPackages();
    m.files.setInUse(In(kJaJp, kPackages[2]));
    EXPECT_EQ(RemoveDeviceMetadata(), 0);
    EXPECT_EQ(Present(), (std::vector<bool>{false, false, true}));
}

TEST_F(RemoveMetadataTest, FolderNamedLikeAPackageIsNeitherDeletedNorCounted) {
    SeedPackages();
    m.files.remove(In(kJaJp, kPackages[0]));
    Keep(In(In(kJaJp, kPackages[0]), "inside.txt"));
    EXPECT_EQ(RemoveDeviceMetadata(), 1);
    EXPECT_TRUE(m.files.isDirectory(In(kJaJp, kPackages[0])));
    EXPECT_FALSE(m.files.exists(In(kJaJp, kPackages[1])));
    EXPECT_FALSE(m.files.exists(In(kJaJp, kPackages[2])));
    EXPECT_EQ(m.faults.callsOf("RemoveDirectoryA"), 0);
}

TEST_F(RemoveMetadataTest, StoreLookupFailingTouchesNothing) {
    SeedPackages();
    struct Case {
        const char* name;
        const char* api;
        DWORD error;
    };
    const Case cases[] = {
        {"SHGetKnownFolderPath fails", "SHGetKnownFolderPath", static_cast<DWORD>(E_INVALIDARG)},
        {"LCIDToLocaleName fails", "LCIDToLocaleName", ERROR_INVALID_PARAMETER},
        {"shell32.dll does not load", "LoadLibraryExW", ERROR_MOD_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m.faults.clear();
        m.faults.fail(c.api, c.error);
        EXPECT_EQ(RemoveDeviceMetadata(), 0);
        EXPECT_EQ(m.faults.callsOf("DeleteFileA"), 0);
        EXPECT_EQ(Present(), (std::vector<bool>{true, true, true}));
    }
}

TEST_F(RemoveMetadataTest, SystemsWithoutTheStoreFolderTouchNothing) {
    SeedPackages();
    m.system.setVista();
    EXPECT_EQ(RemoveDeviceMetadata(), 0);
    m.system.setWindows7();
    m.knownFolders.remove(FOLDERID_DeviceMetadataStore);
    EXPECT_EQ(RemoveDeviceMetadata(), 0);
    EXPECT_EQ(m.faults.callsOf("DeleteFileA"), 0);
    EXPECT_EQ(Present(), (std::vector<bool>{true, true, true}));
}

TEST_F(ProductTest, RemovingMetadataWithoutAStoreFolderCreatesNone) {
    // The store is only made when Windows first retrieves metadata; the
    // lookup without KF_FLAG_CREATE then fails and the step does nothing:
    // the packages' names alone would reach copies in the current folder, C:\.
    InitContext();
    m.files.remove(m.knownFolders.folders[0].path);
    for (const std::string& package : kPackages) m.files.writeFile("C:\\" + package, "other");
    EXPECT_EQ(RemoveDeviceMetadata(), 0);
    EXPECT_EQ(m.faults.callsOf("DeleteFileA"), 0);
    EXPECT_FALSE(m.files.exists(m.knownFolders.folders[0].path));
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_TRUE(m.knownFolders.taskAllocations.empty());
}
