// CInstall: the INF test, the deletion of old OEM INF copies and the
// staging of the install media's INF files, on the simulated machine.
#include "install/media_folders.h"
#include "install/oem_inf_store.h"

#include <string>

#include "app/environment.h"
#include "product_fixture.h"
#include "res/resource.h"

namespace {

const std::string kInfFolder = "C:\\WINDOWS\\INF";
// The program's folder is C:\Program Files\210QX\USB\, so the media lie in
// C:\Program Files\210QX.
const std::string kMediaParent = "C:\\Program Files\\210QX";
const char* const kMediaInfs[] = {"qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf"};

// A Windows 4 style INF file whose [Vantor_wmc] section holds `models`.
std::string Inf(const std::string& models, const std::string& driverVer = "06/15/2012,1.0.0.2") {
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=" + driverVer +
           "\r\n\r\n[Vantor_wmc]\r\n" + models + "\r\n[Strings]\r\nDesc=\"210QX\"\r\nHwId=\"USB\\VID_1A2B&PID_3C4D\"\r\n";
}

const std::string kOldProductInf = Inf("%Desc% = Install, USB\\VID_1A2B&PID_3C4D", "01/01/2008,1.0.0.0");
const std::string kForeignInf = Inf("%Desc% = Install, USB\\VID_0001&PID_0002");

class OemInfStoreTest : public ProductTest {
protected:
    void SetUp() override {
        InitContext();
        contextHandles_ = m.handles.openCount();  // the single-instance mutex
    }

    // Every INF handle and search handle that a test opened is closed.
    void TearDown() override {
        EXPECT_EQ(m.handles.openCount(), contextHandles_) << ::testing::PrintToString(m.handles.describeOpen());
        ProductTest::TearDown();
    }

    int IsProductInfText(const std::string& content) {
        m.files.writeFile("C:\\media\\test.inf", content);
        return CInstall(OS_WIN7).IsProductInf("C:\\media\\test.inf");
    }

    // The install media's Drivers folder, copied into the machine below
    // `parent`.
    void ImportMedia(const std::string& parent = kMediaParent) {
        m.files.importHostTree(std::string(MEDIA_DIR) + "/Drivers", parent + "\\Drivers");
    }

    std::string HostMediaInf(const char* name) {
        m.files.importHostFile(std::string(MEDIA_DIR) + "/Drivers/" + name, "C:\\hostcopy\\" + std::string(name));
        return *m.files.read("C:\\hostcopy\\" + std::string(name));
    }

    // The original names of the published packages, in publishing order.
    std::vector<std::string> PublishedOriginals() {
        std::vector<std::string> names;
        for (const auto& p : m.driverStore.published(m.files)) names.push_back(p.originalName);
        return names;
    }

    size_t contextHandles_ = 0;
};

// --- the INF test ------------------------------------------------------------

TEST_F(OemInfStoreTest, InfFilesThatNameTheHardwareIdInTheFirstModelLineMatch) {
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, USB\\VID_1A2B&PID_3C4D")), 1);
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, usb\\vid_1a2b&pid_3c4d")), 1);
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, USB\\VID_1A2B&PID_3C4D&MI_03, USB\\Other")), 1);
    EXPECT_EQ(IsProductInfText(Inf("\"Quoted\" = Install, \"USB\\VID_1A2B&PID_3C4D\" ; comment")), 1);
    // The field is read as the Setup API gives it: with strings substituted.
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, %HwId%")), 1);
    // Field 2 is the second value whether the line has a key or not.
    EXPECT_EQ(IsProductInfText(Inf("Install, USB\\VID_1A2B&PID_3C4D")), 1);
    EXPECT_EQ(IsProductInfText(Inf("x, Install, USB\\VID_1A2B&PID_3C4D")), 0);
}

TEST_F(OemInfStoreTest, TheHardwareIdElsewhereDoesNotMatch) {
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = USB\\VID_1A2B&PID_3C4D, Install")), 0);
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, USB\\Other, USB\\VID_1A2B&PID_3C4D")), 0);
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, USB\\Other\r\n%Desc% = Install, USB\\VID_1A2B&PID_3C4D")), 0);
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, USB\\VID_1A2B&PID_3C4E")), 0);
    // Only in another section.
    EXPECT_EQ(IsProductInfText("[Version]\r\nSignature=\"$Windows NT$\"\r\n[Vantor_wmc.NTamd64]\r\n"
                               "%Desc% = Install, USB\\VID_1A2B&PID_3C4D\r\n"),
              0);
}

TEST_F(OemInfStoreTest, TheTestLoadsItsStringsOnceAndAgainAfterAFailedLoad) {
    m.files.writeFile("C:\\media\\test.inf", Inf("%Desc% = Install, USB\\VID_1A2B&PID_3C4D"));
    CInstall store(OS_WIN7);
    // Without its strings the test matches nothing: an empty hardware ID
    // would be found in every INF file.
    const int loadsBefore = m.faults.callsOf("LoadStringA");
    m.faults.fail("LoadStringA", ERROR_RESOURCE_NAME_NOT_FOUND, loadsBefore);
    EXPECT_EQ(store.IsProductInf("C:\\media\\test.inf"), 0);
    EXPECT_EQ(store.IsProductInf("C:\\media\\test.inf"), 1);
    const int loadsAfterFirstMatch = m.faults.callsOf("LoadStringA");
    EXPECT_EQ(store.IsProductInf("C:\\media\\test.inf"), 1);
    EXPECT_EQ(m.faults.callsOf("LoadStringA"), loadsAfterFirstMatch);
}

TEST_F(OemInfStoreTest, FilesTheSetupApiCannotReadDoNotMatch) {
    const std::string models = "[Vantor_wmc]\r\n%Desc% = Install, USB\\VID_1A2B&PID_3C4D\r\n";
    EXPECT_EQ(IsProductInfText("[Version]\r\nClass=USB\r\n" + models), 0);  // no signature
    EXPECT_EQ(IsProductInfText(""), 0);
    EXPECT_EQ(IsProductInfText(std::string("MZ\x90\0\x03\0\0\0\x04\0\0\0\xff\xff\0\0", 16) + models), 0);
    // A field longer than the 1024-byte buffer does not fit, although it
    // starts with the hardware ID.
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, USB\\VID_1A2B&PID_3C4D" + std::string(1010, 'X'))), 0);
    EXPECT_EQ(IsProductInfText(Inf("%Desc% = Install, USB\\VID_1A2B&PID_3C4D" + std::string(1000, 'X'))), 1);
    EXPECT_EQ(CInstall(OS_WIN7).IsProductInf("C:\\media\\absent.inf"), 0);
}

TEST_F(OemInfStoreTest, BareNamesAreLookedUpInTheSystemInfFolder) {
    m.files.writeFile(kInfFolder + "\\oem3.inf", kOldProductInf);
    EXPECT_EQ(CInstall(OS_WIN7).IsProductInf("oem3.inf"), 1);
    EXPECT_EQ(CInstall(OS_WIN7).IsProductInf("oem4.inf"), 0);
}

TEST_F(OemInfStoreTest, TheInstallMediaInfFilesMatch) {
    ImportMedia();
    for (const char* name : kMediaInfs)
        EXPECT_EQ(CInstall(OS_WIN7).IsProductInf((kMediaParent + "\\Drivers\\" + name).c_str()), 1) << name;
}

// --- deleting old OEM INF copies ----------------------------------------------

TEST_F(OemInfStoreTest, DeletesMatchingOemInfsWithTheirPnfTwins) {
    m.files.writeFile(kInfFolder + "\\oem1.inf", kOldProductInf);
    m.files.setAttributes(kInfFolder + "\\oem1.inf", FILE_ATTRIBUTE_READONLY);
    m.files.writeFile(kInfFolder + "\\oem1.PNF", "precompiled");
    m.files.writeFile(kInfFolder + "\\oem2.inf", kForeignInf);
    m.files.writeFile(kInfFolder + "\\oem2.PNF", "foreign precompiled");
    m.files.writeFile(kInfFolder + "\\oem3.inf", kOldProductInf);  // its PNF is missing
    m.files.createDirectory(kInfFolder + "\\oem9.inf");
    m.files.writeFile(kInfFolder + "\\oem9.inf\\oem10.inf", kOldProductInf);
    m.files.writeFile(kInfFolder + "\\machine.inf", kOldProductInf);
    // Listed through its short name OEM2~1.INF; its extension replaced it
    // would name oem2.PNF, the foreign package's file.
    m.files.writeFile(kInfFolder + "\\oem2.inf_old", kOldProductInf);

    EXPECT_EQ(CInstall(OS_WINXP).DeleteOemInfs(), 1);

    EXPECT_TRUE(m.files.exists(kInfFolder + "\\oem2.inf_old"));
    EXPECT_FALSE(m.files.exists(kInfFolder + "\\oem1.inf"));
    EXPECT_FALSE(m.files.exists(kInfFolder + "\\oem1.PNF"));
    EXPECT_FALSE(m.files.exists(kInfFolder + "\\oem3.inf"));
    EXPECT_EQ(m.files.read(kInfFolder + "\\oem2.inf"), kForeignInf);
    EXPECT_EQ(m.files.read(kInfFolder + "\\oem2.PNF"), "foreign precompiled");
    EXPECT_TRUE(m.files.isDirectory(kInfFolder + "\\oem9.inf"));
    EXPECT_TRUE(m.files.exists(kInfFolder + "\\oem9.inf\\oem10.inf"));
    EXPECT_TRUE(m.files.exists(kInfFolder + "\\machine.inf"));
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(OemInfStoreTest, LocalisedInfFilesAreReadInTheSystemsLanguage) {
    // The phone's INF names its hardware ID only in Japanese strings; a
    // foreign INF names it in its neutral strings but another ID in
    // Japanese ones, and a third in the strings of all Japanese locales.
    const std::string models = "[Vantor_wmc]\r\n%Desc% = Install, %HwId%\r\n";
    const std::string version = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";
    const std::string phone =
        version + models + "[Strings]\r\nDesc=\"210QX\"\r\n[Strings.0411]\r\nHwId=\"USB\\VID_1A2B&PID_3C4D\"\r\n";
    const std::string foreign = version + models +
                                "[Strings]\r\nHwId=\"USB\\VID_1A2B&PID_3C4D\"\r\n"
                                "[Strings.0411]\r\nHwId=\"USB\\VID_1A2B&PID_3C4E\"\r\n";
    const std::string primary = version + models +
                                "[Strings]\r\nHwId=\"USB\\VID_1A2B&PID_3C4D\"\r\n"
                                "[Strings.0011]\r\nHwId=\"USB\\VID_0001&PID_0002\"\r\n";
    m.system.setXp();
    m.files.writeFile(kInfFolder + "\\oem1.inf", phone);
    m.files.writeFile(kInfFolder + "\\oem2.inf", foreign);
    m.files.writeFile(kInfFolder + "\\oem3.inf", primary);
    CInstall english(OS_WINXP);
    EXPECT_EQ(english.IsProductInf((kInfFolder + "\\oem1.inf").c_str()), 0);
    EXPECT_EQ(english.IsProductInf((kInfFolder + "\\oem2.inf").c_str()), 1);
    EXPECT_EQ(english.IsProductInf((kInfFolder + "\\oem3.inf").c_str()), 1);

    m.system.setJapanese();
    EXPECT_EQ(CInstall(OS_WINXP).DeleteOemInfs(), 1);
    EXPECT_FALSE(m.files.exists(kInfFolder + "\\oem1.inf"));
    EXPECT_EQ(m.files.read(kInfFolder + "\\oem2.inf"), foreign);
    EXPECT_EQ(m.files.read(kInfFolder + "\\oem3.inf"), primary);
}

TEST_F(OemInfStoreTest, AnInfThatCannotBeDeletedStopsTheScan) {
    m.files.writeFile(kInfFolder + "\\oem1.inf", kOldProductInf);
    m.files.writeFile(kInfFolder + "\\oem1.PNF", "precompiled");
    m.files.setInUse(kInfFolder + "\\oem1.inf");
    m.files.writeFile(kInfFolder + "\\oem4.inf", kOldProductInf);

    EXPECT_EQ(CInstall(OS_WINXP).DeleteOemInfs(), 0);

    EXPECT_TRUE(m.files.exists(kInfFolder + "\\oem1.inf"));
    EXPECT_TRUE(m.files.exists(kInfFolder + "\\oem1.PNF"));
    EXPECT_TRUE(m.files.exists(kInfFolder + "\\oem4.inf"));
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(OemInfStoreTest, AFolderWithoutOemInfsGivesZero) {
    m.files.writeFile(kInfFolder + "\\machine.inf", kOldProductInf);
    EXPECT_EQ(CInstall(OS_WINXP).DeleteOemInfs(), 0);
    EXPECT_EQ(m.files.read(kInfFolder + "\\machine.inf"), kOldProductInf);
}

// --- staging the install media -------------------------------------------------

TEST_F(OemInfStoreTest, PreInstallStagesTheThreeInfFilesInOrder) {
    ImportMedia();
    EXPECT_EQ(CInstall(OS_WIN7).PreInstall(), 1);

    const auto& packages = m.driverStore.published(m.files);
    ASSERT_EQ(packages.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(packages[i].originalName, kMediaInfs[i]);
        EXPECT_EQ(packages[i].publishedName, "oem" + std::to_string(i) + ".inf");
        EXPECT_EQ(packages[i].sourceFolder, kMediaParent + "\\Drivers");
        EXPECT_EQ(m.files.read(kInfFolder + "\\" + packages[i].publishedName), HostMediaInf(kMediaInfs[i]));
        EXPECT_TRUE(m.files.exists(kInfFolder + "\\oem" + std::to_string(i) + ".PNF"));
        // The driver store holds the package with its (empty placeholder)
        // catalog.
        const std::string inf = kMediaInfs[i];
        EXPECT_EQ(m.files.read(packages[i].storeFolder + "\\" + inf.substr(0, inf.size() - 4) + ".cat"), "");
    }
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(OemInfStoreTest, PreInstallReplacesOldCopiesAndLeavesForeignOnes) {
    m.system.setXp();
    ImportMedia();
    m.files.writeFile(kInfFolder + "\\oem0.inf", kOldProductInf);
    m.files.writeFile(kInfFolder + "\\oem0.PNF", "old precompiled");
    m.files.writeFile(kInfFolder + "\\oem1.inf", kForeignInf);

    EXPECT_EQ(CInstall(OS_WINXP).PreInstall(), 1);

    EXPECT_EQ(m.files.read(kInfFolder + "\\oem1.inf"), kForeignInf);
    std::vector<std::string> published;
    for (const auto& p : m.driverStore.published(m.files)) published.push_back(p.publishedName);
    EXPECT_EQ(published, (std::vector<std::string>{"oem0.inf", "oem2.inf", "oem3.inf"}));
    EXPECT_EQ(m.files.read(kInfFolder + "\\oem0.inf"), HostMediaInf("qtx0bus.inf"));

    // A second run deletes its own copies and stages the same packages again.
    EXPECT_EQ(CInstall(OS_WINXP).PreInstall(), 1);
    EXPECT_EQ(PublishedOriginals(), (std::vector<std::string>{"qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf"}));
    EXPECT_EQ(m.files.read(kInfFolder + "\\oem1.inf"), kForeignInf);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(OemInfStoreTest, FromVistaOnPreInstallLeavesThePhonesPublishedPackagesToPnpUtil) {
    ImportMedia();
    const std::string old = m.driverStore.seed(m.files, kInfFolder, "qtx0bus.inf", kOldProductInf);
    EXPECT_EQ(CInstall(OS_WIN7).PreInstall(), 1);
    // Deleting oemN.inf by hand would leave the package in the store with
    // no name to delete it by.
    EXPECT_NE(m.driverStore.find(m.files, old), nullptr);
    EXPECT_EQ(PublishedOriginals(),
              (std::vector<std::string>{"qtx0bus.inf", "qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf"}));
}

TEST_F(OemInfStoreTest, AnUnsignedSecondPackageStopsStagingWithoutABox) {
    ImportMedia();
    m.driverStore.requireSignedPackages = true;
    m.driverStore.signedCatalogs.push_back(kMediaParent + "\\Drivers\\qtx0bus.cat");
    m.files.remove(kMediaParent + "\\Drivers\\qtx0mdm2.cat");

    EXPECT_EQ(CInstall(OS_WIN7).CopyOemInfs(), 0);

    EXPECT_EQ(PublishedOriginals(), std::vector<std::string>{"qtx0bus.inf"});
    EXPECT_EQ(m.faults.callsOf("SetupCopyOEMInfA"), 2);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(OemInfStoreTest, AnyOtherStagingErrorIsShownOnce) {
    ImportMedia();
    // A driver file of the second package is missing from the media.
    m.files.remove(kMediaParent + "\\Drivers\\qtx0mdfl.sys");

    EXPECT_EQ(CInstall(OS_WIN7).PreInstall(), 0);

    EXPECT_EQ(PublishedOriginals(), std::vector<std::string>{"qtx0bus.inf"});
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].caption, "Error");
    EXPECT_EQ(m.ui.boxes[0].style & MB_ICONERROR, (UINT)MB_ICONERROR);
}

TEST_F(OemInfStoreTest, AStandardUserCannotStage) {
    ImportMedia();
    m.token.process = winsim::TokenIdentity::standardUser();
    EXPECT_EQ(CInstall(OS_WIN7).CopyOemInfs(), 0);
    EXPECT_TRUE(m.driverStore.published(m.files).empty());
    ASSERT_EQ(m.ui.boxes.size(), 1u);
    EXPECT_EQ(m.ui.boxes[0].caption, "Error");
}

TEST_F(ProductTest, AProgramInADriveRootTakesTheDriversFolderOfThatDrive) {
    m.files.addDrive('E');
    m.modules.programPath = "E:\\setup.exe";
    m.files.importHostTree(std::string(MEDIA_DIR) + "/Drivers", "E:\\Drivers");
    InitContext();

    char folder[MAX_PATH + 1];
    ASSERT_EQ(GetDriverSourceDir(folder), 1);
    EXPECT_STREQ(folder, "E:\\Drivers");
    EXPECT_EQ(CInstall(OS_WIN7).CopyOemInfs(), 1);
    ASSERT_EQ(m.driverStore.published(m.files).size(), 3u);
    EXPECT_EQ(m.driverStore.published(m.files)[0].sourceFolder, "E:\\Drivers");
}

TEST_F(ProductTest, TheDriversFolderIsFoundBesideAJapaneseProgramFolder) {
    // 表 is 0x95 0x5C in code page 932: its trail byte is no separator.
    m.system.setJapanese();
    m.modules.programPath = "C:\\Setup\\表\\210QX_USB.exe";
    InitContext();
    char folder[MAX_PATH + 1];
    ASSERT_EQ(GetDriverSourceDir(folder), 1);
    EXPECT_STREQ(folder, "C:\\Setup\\Drivers");
}

TEST_F(ProductTest, AProgramPathLongerThanMaxPathGivesNoDriversFolder) {
    // The program's folder is unknown (GetModuleFileNameA cuts the path):
    // the Drivers folder in the current drive's root is not taken for the
    // media (found by the path_text fuzz target).
    m.modules.programPath = "C:\\" + std::string(270, 'p') + "\\210QX_USB.exe";
    m.files.importHostTree(std::string(MEDIA_DIR) + "/Drivers", "C:\\Drivers");
    InitContext();
    ASSERT_STREQ(context_.szModuleDir, "");

    char folder[MAX_PATH + 1];
    EXPECT_EQ(GetDriverSourceDir(folder), 0);
    EXPECT_STREQ(folder, "");
    EXPECT_EQ(CInstall(OS_WIN7).CopyOemInfs(), 0);
    EXPECT_EQ(m.faults.callsOf("SetupCopyOEMInfA"), 0);
    EXPECT_TRUE(m.driverStore.published(m.files).empty());
}

TEST_F(OemInfStoreTest, CodesUpToTenTouchNothing) {
    ImportMedia();
    m.files.writeFile(kInfFolder + "\\oem0.inf", kOldProductInf);
    const int searches = m.faults.callsOf("FindFirstFileA");
    for (int code : {OS_WIN95, OS_WINME, OS_NT_OTHER}) {
        EXPECT_EQ(CInstall(code).PreInstall(), 0);
        EXPECT_TRUE(m.files.exists(kInfFolder + "\\oem0.inf"));
        EXPECT_TRUE(m.driverStore.published(m.files).empty());
    }
    EXPECT_EQ(m.faults.callsOf("FindFirstFileA"), searches);
    EXPECT_EQ(m.faults.callsOf("SetupCopyOEMInfA"), 0);
}

TEST_F(ProductTest, AnInfPathLongerThanMaxPathIsRefusedQuietly) {
    // The parent folder has 241 characters: the program's path (with
    // "\USB\210QX_USB.exe") still fits MAX_PATH, but "<parent>\Drivers\"
    // and an INF name do not.
    std::string parent = "C:";
    while (parent.size() < 241) parent += "\\" + std::string(std::min<size_t>(60, 240 - parent.size()), 'p');
    ASSERT_EQ(parent.size(), 241u);
    m.modules.programPath = parent + "\\USB\\210QX_USB.exe";
    m.files.createDirectory(parent + "\\Drivers");
    InitContext();
    ASSERT_STREQ(context_.szModuleDir, (parent + "\\USB\\").c_str());

    EXPECT_EQ(CInstall(OS_WIN7).PreInstall(), 0);

    EXPECT_EQ(m.faults.callsOf("SetupCopyOEMInfA"), 0);
    EXPECT_TRUE(m.driverStore.published(m.files).empty());
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::InfFile), 0u);
    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::FindSearch), 0u);
}

}  // namespace
