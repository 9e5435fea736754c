// CRegInfo: the read-only scan from a hardware-ID key of the USB enumerator
// through the first instance's Driver value to the InfPath of its driver
// key, beside look-alike devices whose INF must never be named.
#include <string>
#include <vector>

#include "product_fixture.h"
#include "sysaccess/reg_info.h"

namespace {

const char kUsbClass[] = "{36fc9e60-c465-11cf-8056-444553540000}";
const char kModemClass[] = "{4d36e96d-e325-11ce-bfc1-08002be10318}";
const char kCompositePath[] = "SYSTEM\\ControlSet001\\Enum\\USB\\VID_1A2B&PID_3C4D";
const char kRevisionLookAlike[] = "USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00\\7&0001&0&0000";
const char kOtherModel[] = "USB\\VID_1A2B&PID_3C4E\\5&0009&0&2";

class RegInfoTest : public ProductTest {
protected:
    void SetUp() override {
        InitContext();
        // Look-alikes with driver keys of their own.
        AddInstance(kRevisionLookAlike, std::string(kModemClass) + "\\0008", "oem8.inf");
        AddInstance(kOtherModel, std::string(kModemClass) + "\\0009", "oem9.inf");
        winsim::ServiceSeed service;
        service.name = "qtx0bus2";
        m.services.add(service);
        m.files.writeFile("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak", "old");
        handlesBefore_ = m.handles.openCount();
    }

    void TearDown() override {
        EXPECT_TRUE(m.devices.exists(kRevisionLookAlike));
        EXPECT_TRUE(m.devices.exists(kOtherModel));
        EXPECT_EQ(m.registry.string(ClassKey(std::string(kModemClass) + "\\0009"), "InfPath"),
                  std::string("oem9.inf"));
        EXPECT_TRUE(m.services.exists("qtx0bus2"));
        EXPECT_TRUE(m.files.exists("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak"));
        EXPECT_EQ(m.handles.openCount(), handlesBefore_) << ::testing::PrintToString(m.handles.describeOpen());
        ProductTest::TearDown();
    }

    static std::string ClassKey(const std::string& driver) {
        return std::string(winsim::Devices::kClassKey) + "\\" + driver;
    }

    // An instance whose Driver value is `driver` (none when empty) and, when
    // `infPath` is given, whose driver key holds that InfPath.
    void AddInstance(const std::string& id, const std::string& driver, const std::string& infPath = "") {
        winsim::DeviceSeed seed;
        seed.instanceId = id;
        seed.hardwareIds = {id.substr(0, id.rfind('\\'))};
        seed.classGuid = kUsbClass;
        seed.driver = driver;
        seed.infPath = infPath;
        m.devices.add(seed);
    }

    // FindInfName's result and name.
    std::pair<int, std::string> Find(const char* path = kCompositePath) {
        char name[261] = {};
        CRegInfo info(15);
        const int result = info.FindInfName(HKEY_LOCAL_MACHINE, path, name);
        return {result, name};
    }

    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto& box : m.ui.boxes) out.push_back(box.captionUtf8 + "|" + box.textUtf8);
        return out;
    }

    size_t handlesBefore_ = 0;
};

using Found = std::pair<int, std::string>;

}  // namespace

TEST_F(RegInfoTest, TheFirstInstanceWithADriverKeyNamesTheInf) {
    // The first instance has an empty Driver value, the second none that
    // splits, the third names a class that does not exist.
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", "");
    m.registry.setString(winsim::Devices::enumKeyPath("USB\\VID_1A2B&PID_3C4D\\5&0001"), "Driver", "");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0002", kUsbClass);
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0003", "{00000000-1111-2222-3333-444444444444}\\0001");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0004", std::string(kUsbClass) + "\\0001", "oem7.inf");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0005", std::string(kUsbClass) + "\\0002", "oem12.inf");
    EXPECT_EQ(Find(), Found(1, "oem7"));
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(RegInfoTest, AnInstanceWhoseDriverKeyHasNoInfPathEndsTheScan) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0001");
    m.registry.setString(ClassKey(std::string(kUsbClass) + "\\0001"), "DriverDesc", "USB Composite Device");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0002", std::string(kUsbClass) + "\\0002", "oem12.inf");
    EXPECT_EQ(Find().first, 0);

    // So does a class key without the instance's number below it.
    m.registry.deleteKey(ClassKey(std::string(kUsbClass) + "\\0001"));
    EXPECT_EQ(Find().first, 0);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(RegInfoTest, AnInfPathWithoutADotNamesNothing) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0001", "oem12");
    EXPECT_EQ(Find().first, 0);
    m.registry.setString(ClassKey(std::string(kUsbClass) + "\\0001"), "InfPath", "oem12.inf");
    EXPECT_EQ(Find(), Found(1, "oem12"));
}

TEST_F(RegInfoTest, AValueLongerThanTheBufferIsAnErrorNotATruncation) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0001", std::string(300, 'a') + ".inf");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0002", std::string(kUsbClass) + "\\0002", "oem5.inf");
    // The failed read skips that instance; the next one gives the name.
    EXPECT_EQ(Find(), Found(1, "oem5"));
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|More data is available.\r\n"}));
}

TEST_F(RegInfoTest, ALeadingHkeyLocalMachineComponentIsSkipped) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0001", "oem3.inf");
    EXPECT_EQ(Find("HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Enum\\USB\\VID_1A2B&PID_3C4D"), Found(1, "oem3"));

    CRegInfo info(15);
    HKEY key = nullptr;
    ASSERT_EQ(info.OpenKeyPath(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Enum", &key, KEY_READ),
              1);
    ASSERT_NE(key, nullptr);
    DWORD subkeys = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 1u) << "the Enum key, with USB below it";
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    // The comparison is exact: another spelling is an ordinary (missing) key.
    EXPECT_EQ(Find("hkey_local_machine\\SYSTEM\\ControlSet001\\Enum\\USB\\VID_1A2B&PID_3C4D").first, 0);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(RegInfoTest, AHardwareIdKeyThatDoesNotExistIsNoError) {
    EXPECT_EQ(Find().first, 0);
    EXPECT_EQ(Find("SYSTEM\\ControlSet001\\Enum\\USB\\VID_1A2B&PID_3C4D&Mi_00").first, 0);
    // An existing key without instances names nothing either.
    m.registry.createKey("HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_3C4D");
    EXPECT_EQ(Find().first, 0);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(RegInfoTest, KeysAreOpenedForReadingOnly) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0001", "oem3.inf");
    // A user without administrator rights may read HKLM, nothing more.
    m.token.process = winsim::TokenIdentity::standardUser();
    EXPECT_EQ(Find(), Found(1, "oem3"));
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(RegInfoTest, RegistryErrorsEndTheScanWithTheirBox) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0001", "oem3.inf");
    const struct {
        const char* api;
        DWORD error;
        int nth;
        const char* text;
    } rows[] = {
        {"RegQueryInfoKeyA", ERROR_ACCESS_DENIED, 0, "Access is denied.\r\n"},
        {"RegEnumKeyExA", ERROR_NOT_ENOUGH_MEMORY, 0,
         "Not enough storage is available to process this command.\r\n"},
        // Opening the first component of the hardware-ID path.
        {"RegOpenKeyExA", ERROR_ACCESS_DENIED, 0, "Access is denied.\r\n"},
    };
    for (const auto& row : rows) {
        m.faults.clear();
        m.ui.boxes.clear();
        m.faults.fail(row.api, row.error, row.nth);
        EXPECT_EQ(Find().first, 0) << row.api;
        EXPECT_EQ(Boxes(), (std::vector<std::string>{std::string("Error|") + row.text})) << row.api;
    }
}

TEST_F(RegInfoTest, AnErrorOnTheClassRootEndsTheScanAndAnErrorOnOneInstanceSkipsIt) {
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0001", std::string(kUsbClass) + "\\0001", "oem3.inf");
    AddInstance("USB\\VID_1A2B&PID_3C4D\\5&0002", std::string(kUsbClass) + "\\0002", "oem4.inf");
    // Reading the first instance's Driver value fails: it is skipped.
    m.faults.fail("RegQueryValueExA", ERROR_ACCESS_DENIED, 0);
    EXPECT_EQ(Find(), Found(1, "oem4"));
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|Access is denied.\r\n"}));

    // Opening the class root (SYSTEM, ControlSet001, Control, Class) fails:
    // the scan ends. The hardware-ID path takes five opens, the first
    // instance one more, so the root's "Class" component is the tenth.
    m.faults.clear();
    m.ui.boxes.clear();
    m.faults.fail("RegOpenKeyExA", ERROR_ACCESS_DENIED, 9);
    EXPECT_EQ(Find().first, 0);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|Access is denied.\r\n"}));
}
