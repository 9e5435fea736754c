// CUninstFile: the phone's driver files, their LastGood copies on Windows
// XP, and the OEM INF (with its PNF) recorded for each USB function of the
// phone, beside look-alike files, devices and a service that must survive
// every scenario.
#include <string>
#include <vector>

#include "app/environment.h"
#include "earlier_installation.h"
#include "product_fixture.h"
#include "removal/uninst_file.h"

namespace {

const char kDrivers[] = "C:\\WINDOWS\\system32\\drivers\\";
const char kLastGoodDrivers[] = "C:\\WINDOWS\\LastGood\\system32\\drivers\\";
const char kInf[] = "C:\\WINDOWS\\INF\\";
const char kLastGoodInf[] = "C:\\WINDOWS\\LastGood\\INF\\";
const char* const kSysFiles[] = {"qtx0bus.sys",  "qtx0cm.sys",  "qtx0cmnt.sys", "qtx0mdfl.sys",
                                 "qtx0mdm.sys",  "qtx0obex.sys", "qtx0wh.sys",   "qtx0whnt.sys"};
const char kUsbClass[] = "{36fc9e60-c465-11cf-8056-444553540000}";
const char kModemClass[] = "{4d36e96d-e325-11ce-bfc1-08002be10318}";
const char kRevisionLookAlike[] = "USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00\\7&0001&0&0000";
const char kOtherModel[] = "USB\\VID_1A2B&PID_3C4E\\5&0009&0&2";

class UninstFileTest : public ProductTest {
protected:
    void SetUp() override {
        InitContext();
        // Look-alikes: a backup beside the driver, an OEM INF that another
        // model's driver key names, devices and a service of similar names.
        m.files.writeFile(std::string(kDrivers) + "qtx0bus.sys.bak", "old");
        m.files.writeFile(std::string(kInf) + "oem9.inf", "[Version]");
        m.files.writeFile(std::string(kInf) + "oem9.PNF", "pnf");
        AddInstance(kRevisionLookAlike, std::string(kModemClass) + "\\0008", "oem9.inf");
        AddInstance(kOtherModel, std::string(kModemClass) + "\\0009", "oem9.inf");
        winsim::ServiceSeed service;
        service.name = "qtx0bus2";
        m.services.add(service);
        handlesBefore_ = m.handles.openCount();
    }

    void TearDown() override {
        EXPECT_TRUE(m.files.exists(std::string(kDrivers) + "qtx0bus.sys.bak"));
        EXPECT_TRUE(m.files.exists(std::string(kInf) + "oem9.inf"));
        EXPECT_TRUE(m.files.exists(std::string(kInf) + "oem9.PNF"));
        EXPECT_TRUE(m.devices.exists(kRevisionLookAlike));
        EXPECT_TRUE(m.devices.exists(kOtherModel));
        EXPECT_TRUE(m.services.exists("qtx0bus2"));
        EXPECT_EQ(m.handles.openCount(), handlesBefore_) << ::testing::PrintToString(m.handles.describeOpen());
        EXPECT_TRUE(m.ui.boxes.empty());
        ProductTest::TearDown();
    }

    void AddInstance(const std::string& id, const std::string& driver, const std::string& infPath) {
        winsim::DeviceSeed seed;
        seed.instanceId = id;
        seed.hardwareIds = {id.substr(0, id.rfind('\\'))};
        seed.classGuid = kUsbClass;
        seed.driver = driver;
        seed.infPath = infPath;
        m.devices.add(seed);
    }

    void WriteSysFiles(const char* folder) {
        for (const char* name : kSysFiles) m.files.writeFile(std::string(folder) + name, "driver");
    }

    std::vector<std::string> Existing(const char* folder) const {
        std::vector<std::string> names;
        for (const char* name : kSysFiles)
            if (m.files.exists(std::string(folder) + name)) names.push_back(name);
        return names;
    }

    bool Exists(const char* folder, const char* name) const { return m.files.exists(std::string(folder) + name); }

    size_t handlesBefore_ = 0;
};

// An INF of the phone, which the deletion checks before it deletes the copy
// a driver key names.
std::string PhoneInf() { return seeded::MediaFile("Drivers/qtx0bus.inf"); }

const std::vector<std::string> kNone;
const std::vector<std::string> kAll(std::begin(kSysFiles), std::end(kSysFiles));

}  // namespace

TEST_F(UninstFileTest, AReadOnlyDriverIsDeletedAndOneInUseIsLeftBehind) {
    WriteSysFiles(kDrivers);
    m.files.setAttributes(std::string(kDrivers) + "qtx0mdm.sys", FILE_ATTRIBUTE_READONLY);
    m.files.setInUse(std::string(kDrivers) + "qtx0cm.sys");
    CUninstFile files(OS_WIN7);
    EXPECT_EQ(files.DeleteDriverFiles(), 1);
    // The file in use stays; the scan goes on past it.
    EXPECT_EQ(Existing(kDrivers), (std::vector<std::string>{"qtx0cm.sys"}));
}

TEST_F(UninstFileTest, OnXpEachDriverIsFollowedByItsLastGoodCopy) {
    // Fail each deletion in turn: the file that survives is the one that
    // deletion was for, which gives the order of the deletions.
    std::vector<std::string> order;
    for (int n = 0; n < 16; ++n) {
        WriteSysFiles(kDrivers);
        WriteSysFiles(kLastGoodDrivers);
        m.faults.clear();
        m.faults.fail("DeleteFileA", ERROR_ACCESS_DENIED, n);
        CUninstFile files(OS_WINXP);
        EXPECT_EQ(files.DeleteDriverFiles(), 1);
        const auto left = Existing(kDrivers), leftLastGood = Existing(kLastGoodDrivers);
        ASSERT_EQ(left.size() + leftLastGood.size(), 1u) << n;
        order.push_back(left.empty() ? "LastGood\\" + leftLastGood[0] : left[0]);
    }
    std::vector<std::string> expected;
    for (const char* name : kSysFiles) {
        expected.push_back(name);
        expected.push_back(std::string("LastGood\\") + name);
    }
    EXPECT_EQ(order, expected);
}

TEST_F(UninstFileTest, OtherSystemsLeaveTheLastGoodFoldersAlone) {
    for (int code : {OS_WIN2000, OS_WIN2003}) {
        WriteSysFiles(kDrivers);
        WriteSysFiles(kLastGoodDrivers);
        m.files.writeFile(std::string(kLastGoodInf) + "oem3.inf", "[Version]");
        m.files.writeFile(std::string(kInf) + "oem3.inf", PhoneInf());
        AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0003", "oem3.inf");
        CUninstFile files(code);
        EXPECT_EQ(files.DeleteAll(), 1) << code;
        EXPECT_EQ(Existing(kDrivers), kNone) << code;
        EXPECT_EQ(Existing(kLastGoodDrivers), kAll) << code;
        EXPECT_FALSE(Exists(kInf, "oem3.inf")) << code;
        EXPECT_TRUE(Exists(kLastGoodInf, "oem3.inf")) << code;
    }
}

TEST_F(UninstFileTest, Windows9xAndNt4AreLeftUntouched) {
    WriteSysFiles(kDrivers);
    m.files.writeFile(std::string(kInf) + "oem3.inf", "[Version]");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0003", "oem3.inf");
    for (int code : {OS_WIN95, OS_WINME, OS_NT_OTHER}) {
        m.faults.clear();
        CUninstFile files(code);
        EXPECT_EQ(files.DeleteAll(), 1) << code;
        EXPECT_EQ(m.faults.callCount(), 0) << code << ": not even a look";
    }
    EXPECT_EQ(Existing(kDrivers), kAll);
    EXPECT_TRUE(Exists(kInf, "oem3.inf"));
}

TEST_F(UninstFileTest, TheInfAndPnfOfEachFunctionsFirstInstanceAreDeleted) {
    // The composite device: oem3 with both files. Its second instance's
    // oem5 is not looked at.
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0003", "oem3.inf");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0002", std::string(kUsbClass) + "\\0005", "oem5.inf");
    // Interface 00: only the PNF of oem4 is left.
    AddInstance("USB\\VID_1A2B&PID_3C4D&MI_00\\6&0001&0&0000", std::string(kModemClass) + "\\0004", "oem4.inf");
    for (const char* name : {"oem3.PNF", "oem4.PNF", "oem5.inf", "oem5.PNF"})
        m.files.writeFile(std::string(kInf) + name, "x");
    m.files.writeFile(std::string(kInf) + "oem3.inf", PhoneInf());
    m.files.setAttributes(std::string(kInf) + "oem3.PNF", FILE_ATTRIBUTE_READONLY);

    CUninstFile files(OS_WIN2003);
    EXPECT_EQ(files.DeleteInfFiles(), 1);
    EXPECT_FALSE(Exists(kInf, "oem3.inf"));
    EXPECT_FALSE(Exists(kInf, "oem3.PNF"));
    EXPECT_FALSE(Exists(kInf, "oem4.PNF"));
    EXPECT_TRUE(Exists(kInf, "oem5.inf"));
    EXPECT_TRUE(Exists(kInf, "oem5.PNF"));
    // Only files: the registry keeps what it had.
    EXPECT_TRUE(m.devices.exists("USB\\VID_1A2B&PID_3C4D\\5&0001"));
    EXPECT_EQ(m.registry.string(std::string(winsim::Devices::kClassKey) + "\\" + kUsbClass + "\\0003", "InfPath"),
              std::string("oem3.inf"));
}

TEST_F(UninstFileTest, OnXpTheLastGoodInfCopiesGoToo) {
    AddInstance("USB\\VID_1A2B&PID_3C4D&MI_03\\6&0001&0&0003", std::string(kModemClass) + "\\0006", "oem6.inf");
    for (const char* folder : {kInf, kLastGoodInf})
        for (const char* name : {"oem6.inf", "oem6.PNF"}) m.files.writeFile(std::string(folder) + name, "x");
    m.files.writeFile(std::string(kInf) + "oem6.inf", PhoneInf());
    CUninstFile files(OS_WINXP);
    EXPECT_EQ(files.DeleteAll(), 1);
    for (const char* folder : {kInf, kLastGoodInf})
        for (const char* name : {"oem6.inf", "oem6.PNF"}) EXPECT_FALSE(Exists(folder, name)) << folder << name;
}

TEST_F(UninstFileTest, OnXpWithoutLastGoodFoldersTheRunGoesOnQuietly) {
    m.system.setXp();
    WriteSysFiles(kDrivers);
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0003", "oem3.inf");
    m.files.writeFile(std::string(kInf) + "oem3.inf", PhoneInf());
    ASSERT_FALSE(m.files.exists("C:\\WINDOWS\\LastGood"));
    CUninstFile files(OS_WINXP);
    EXPECT_EQ(files.DeleteAll(), 1);
    EXPECT_EQ(Existing(kDrivers), kNone);
    EXPECT_FALSE(Exists(kInf, "oem3.inf"));
}

TEST_F(UninstFileTest, APhoneThatWasNeverConnectedHasNoInfToDelete) {
    m.files.writeFile(std::string(kInf) + "oem3.inf", "x");
    CUninstFile files(OS_WIN2000);
    EXPECT_EQ(files.DeleteInfFiles(), 1);
    EXPECT_TRUE(Exists(kInf, "oem3.inf"));
    EXPECT_EQ(m.faults.callsOf("DeleteFileA"), 0);
}

TEST_F(UninstFileTest, AnInfThatIsNotThePhonesStaysWhereADriverKeyNamesIt) {
    // Windows gave the composite device its own usb.inf (the phone was
    // plugged in before its drivers were installed), and the modem function
    // another maker's package.
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0003", "usb.inf");
    AddInstance("USB\\VID_1A2B&PID_3C4D&MI_03\\6&0001&0&0003", std::string(kModemClass) + "\\0006", "oem6.inf");
    m.files.writeFile(std::string(kInf) + "usb.inf",
                      "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[Manufacturer]\r\n%Generic%=Generic.Section\r\n\r\n"
                      "[Generic.Section]\r\n%Composite%=Composite.Dev,USB\\COMPOSITE\r\n");
    m.files.writeFile(std::string(kInf) + "oem6.inf",
                      "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[Vantor_wmc]\r\n"
                      "%Modem%=Modem,USB\\Class_02&SubClass_02\r\n");
    for (const char* folder : {kInf, kLastGoodInf})
        for (const char* name : {"usb.PNF", "oem6.PNF"}) m.files.writeFile(std::string(folder) + name, "pnf");
    m.files.writeFile(std::string(kLastGoodInf) + "oem6.inf", "last good");

    CUninstFile files(OS_WINXP);
    EXPECT_EQ(files.DeleteAll(), 1);
    for (const char* name : {"usb.inf", "usb.PNF", "oem6.inf", "oem6.PNF"}) EXPECT_TRUE(Exists(kInf, name)) << name;
    for (const char* name : {"usb.PNF", "oem6.inf", "oem6.PNF"}) EXPECT_TRUE(Exists(kLastGoodInf, name)) << name;
}

TEST_F(UninstFileTest, AnInfThatCannotBeLookedAtIsNotTakenForGone) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0003", "usb.inf");
    m.files.writeFile(std::string(kInf) + "usb.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
    m.files.writeFile(std::string(kInf) + "usb.PNF", "pnf");
    m.faults.fail("GetFileAttributesA", ERROR_ACCESS_DENIED);
    CUninstFile files(OS_WIN2000);
    EXPECT_EQ(files.DeleteInfFiles(), 1);
    EXPECT_TRUE(Exists(kInf, "usb.inf"));
    EXPECT_TRUE(Exists(kInf, "usb.PNF"));
}
