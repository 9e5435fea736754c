// DeployDeviceMetadata: the three packages of the "metadata" folder beside
// the program's folder copied into the device-metadata store's ja-JP
// folder, with SHGetKnownFolderPath and LCIDToLocaleName looked up at run
// time and their libraries and memory given back on every path.
#include <knownfolders.h>

#include <string>
#include <vector>

#include "install/device_metadata.h"
#include "product_fixture.h"

namespace {

const char kJaJp[] = "C:\\ProgramData\\Microsoft\\Windows\\DeviceMetadataStore\\ja-JP";
const char kSource[] = "C:\\Program Files\\210QX\\metadata";
const std::vector<std::string> kPackages = {
    "5B7E1C20-3A44-4D1F-9C2E-6A0B8F3D2E11.devicemetadata-ms",
    "7C1D9E42-0B6F-4A83-8E15-2F4C6D8A1B93.devicemetadata-ms",
    "A4E2F0C8-6D1B-4F27-B3A9-91C5E7D0F346.devicemetadata-ms",
};

std::string In(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

class DeployMetadataTest : public ProductTest {
protected:
    void SetUp() override {
        for (const std::string& package : kPackages) m.files.writeFile(In(kSource, package), "new " + package);
    }

    // Sets up the application context as the entry point does, then starts
    // the count of calls and what is held (the context holds a mutex and
    // the common controls).
    void Begin() {
        InitContext();
        m.faults.clear();
        handlesBefore_ = m.handles.openCount();
        loadsBefore_ = m.modules.outstandingLoads();
    }

    void TearDown() override {
        // Every path gives back what it took.
        EXPECT_EQ(m.modules.outstandingLoads(), loadsBefore_);
        EXPECT_TRUE(m.knownFolders.taskAllocations.empty());
        EXPECT_EQ(m.handles.openCount(), handlesBefore_);
        // Nothing ever shows a message.
        EXPECT_TRUE(m.ui.boxes.empty());
        ProductTest::TearDown();
    }

    // Which packages are in the ja-JP folder, with the content copied.
    std::vector<bool> Deployed(const std::string& folder = kSource) const {
        std::vector<bool> deployed;
        for (const std::string& package : kPackages) {
            const auto content = m.files.read(In(kJaJp, package));
            const auto source = m.files.read(In(folder, package));
            deployed.push_back(content && source && *content == *source);
        }
        return deployed;
    }

    void RemoveExport(const char* dll, const char* name) { m.modules.findDll(dll)->exports.erase(name); }

    void ExpectFailureTouchingNothing() {
        EXPECT_EQ(DeployDeviceMetadata(), 0);
        EXPECT_FALSE(m.files.exists(kJaJp));
        EXPECT_EQ(m.faults.callsOf("CreateDirectoryA"), 0);
        EXPECT_EQ(m.faults.callsOf("CopyFileA"), 0);
        EXPECT_EQ(m.modules.outstandingLoads(), loadsBefore_);
        EXPECT_TRUE(m.knownFolders.taskAllocations.empty());
    }

    size_t handlesBefore_ = 0;
    int loadsBefore_ = 0;
};

const std::vector<bool> kAll = {true, true, true};

}  // namespace

TEST_F(DeployMetadataTest, FreshStoreGetsTheJaJpFolderAndTheThreePackages) {
    Begin();
    ASSERT_FALSE(m.files.exists(kJaJp));
    EXPECT_EQ(DeployDeviceMetadata(), 1);
    EXPECT_TRUE(m.files.isDirectory(kJaJp));
    EXPECT_EQ(Deployed(), kAll);
    // The path SHGetKnownFolderPath gave is freed with CoTaskMemFree; both
    // libraries are loaded for the lookup and freed again.
    EXPECT_EQ(m.knownFolders.taskFrees, 1);
    EXPECT_EQ(m.faults.callsOf("LoadLibraryExW"), 2);
    EXPECT_EQ(m.faults.callsOf("FreeLibrary"), 2);
}

TEST_F(DeployMetadataTest, ExistingJaJpFolderIsUsedAsItIs) {
    Begin();
    m.files.writeFile(In(kJaJp, "other.devicemetadata-ms"), "other");
    EXPECT_EQ(DeployDeviceMetadata(), 1);
    EXPECT_EQ(Deployed(), kAll);
    EXPECT_EQ(m.files.read(In(kJaJp, "other.devicemetadata-ms")), std::optional<std::string>("other"));
    EXPECT_EQ(m.faults.callsOf("CreateDirectoryA"), 0);
}

TEST_F(DeployMetadataTest, FileInPlaceOfTheJaJpFolderStopsEverything) {
    Begin();
    m.files.writeFile(kJaJp, "not a folder");
    EXPECT_EQ(DeployDeviceMetadata(), 0);
    EXPECT_EQ(m.files.read(kJaJp), std::optional<std::string>("not a folder"));
    EXPECT_EQ(m.faults.callsOf("CopyFileA"), 0);
}

TEST_F(DeployMetadataTest, MissingSecondPackageStopsAfterTheFirst) {
    Begin();
    m.files.remove(In(kSource, kPackages[1]));
    EXPECT_EQ(DeployDeviceMetadata(), 0);
    EXPECT_TRUE(*m.files.read(In(kJaJp, kPackages[0])) == "new " + kPackages[0]);
    EXPECT_FALSE(m.files.exists(In(kJaJp, kPackages[1])));
    EXPECT_FALSE(m.files.exists(In(kJaJp, kPackages[2])));
}

TEST_F(DeployMetadataTest, PackageAlreadyInTheStoreIsNotOverwrittenAndStopsTheCopying) {
    Begin();
    m.files.writeFile(In(kJaJp, kPackages[1]), "left over");
    EXPECT_EQ(DeployDeviceMetadata(), 0);
    EXPECT_EQ(Deployed(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(m.files.read(In(kJaJp, kPackages[1])), std::optional<std::string>("left over"));
    EXPECT_FALSE(m.files.exists(In(kJaJp, kPackages[2])));
}

TEST_F(DeployMetadataTest, ProgramInADriveRootTakesThePackagesFromThatRoot) {
    m.files.addDrive('E');
    m.modules.programPath = "E:\\210QX_USB.exe";
    for (const std::string& package : kPackages) m.files.writeFile(In("E:\\metadata", package), "E " + package);
    Begin();
    EXPECT_EQ(DeployDeviceMetadata(), 1);
    EXPECT_EQ(Deployed("E:\\metadata"), kAll);
}

TEST_F(DeployMetadataTest, JapaneseProgramFolderWithABackslashTrailByte) {
    // 表 is 0x95 0x5C in code page 932: its second byte must not be taken
    // for the separator before the program's folder.
    m.system.setJapanese();
    const std::string parent = "C:\\Program Files\\\xe8\xa1\xa8";  // 表 in UTF-8
    m.modules.programPath = parent + "\\USB\\210QX_USB.exe";
    m.files.createDirectory(parent + "\\USB");
    for (const std::string& package : kPackages) m.files.writeFile(In(parent + "\\metadata", package), "jp " + package);
    Begin();
    EXPECT_EQ(DeployDeviceMetadata(), 1);
    EXPECT_EQ(Deployed(parent + "\\metadata"), kAll);
}

// Without a store folder nothing is created or copied.
TEST_F(DeployMetadataTest, VistaKnowsNoStoreFolder) {
    Begin();
    m.system.setVista();  // shell32 has the function, the folder is unknown
    ExpectFailureTouchingNothing();
}

TEST_F(DeployMetadataTest, XpHasNeitherFunction) {
    Begin();
    m.system.setXp();
    ExpectFailureTouchingNothing();
    EXPECT_EQ(m.faults.callsOf("SHGetKnownFolderPath"), 0);
}

TEST_F(DeployMetadataTest, Shell32WithoutSHGetKnownFolderPath) {
    Begin();
    RemoveExport("shell32.dll", "SHGetKnownFolderPath");
    ExpectFailureTouchingNothing();
}

TEST_F(DeployMetadataTest, Kernel32WithoutLCIDToLocaleName) {
    Begin();
    RemoveExport("kernel32.dll", "LCIDToLocaleName");
    ExpectFailureTouchingNothing();
    EXPECT_EQ(m.knownFolders.taskFrees, 1) << "the store path found first is freed";
}

TEST_F(DeployMetadataTest, KnownFolderTakenAway) {
    Begin();
    m.knownFolders.remove(FOLDERID_DeviceMetadataStore);
    ExpectFailureTouchingNothing();
}

TEST_F(DeployMetadataTest, StoreFolderMissing) {
    // The store is only made when Windows first retrieves metadata; the
    // lookup without KF_FLAG_CREATE then fails and nothing is copied.
    Begin();
    m.files.remove(m.knownFolders.folders[0].path);
    ExpectFailureTouchingNothing();
    EXPECT_FALSE(m.files.exists(m.knownFolders.folders[0].path));
}

TEST_F(DeployMetadataTest, KnownFolderLookupFails) {
    Begin();
    m.faults.fail("SHGetKnownFolderPath", static_cast<DWORD>(E_FAIL));
    ExpectFailureTouchingNothing();
}

TEST_F(DeployMetadataTest, LocaleLookupFails) {
    Begin();
    m.faults.fail("LCIDToLocaleName", ERROR_INVALID_PARAMETER);
    ExpectFailureTouchingNothing();
}

TEST_F(DeployMetadataTest, LibrariesThatCannotBeLoaded) {
    Begin();
    m.faults.fail("LoadLibraryExW", ERROR_MOD_NOT_FOUND, 0);  // shell32.dll
    ExpectFailureTouchingNothing();
    m.faults.clear();
    m.faults.fail("LoadLibraryExW", ERROR_MOD_NOT_FOUND, 1);  // Kernel32.dll
    ExpectFailureTouchingNothing();
}

TEST_F(DeployMetadataTest, StorePathThatDoesNotFitIsRefused) {
    Begin();
    // A store path of 255 characters leaves no room for "\ja-JP" in 260.
    const std::string deep = "C:\\ProgramData\\" + std::string(240, 'd');
    ASSERT_EQ(deep.size(), 255u);
    m.files.createDirectory(deep);
    m.knownFolders.folders[0].path = deep;
    ExpectFailureTouchingNothing();
    EXPECT_FALSE(m.files.exists(deep + "\\ja-JP"));
    // One of 261 characters does not even fit the path buffer.
    const std::string deeper = deep + "\\" + std::string(5, 'e');
    m.files.createDirectory(deeper);
    m.knownFolders.folders[0].path = deeper;
    ExpectFailureTouchingNothing();
}
