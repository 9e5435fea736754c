// RemoveDeviceInstances: the phone's device instances removed through the
// class installer, connected or not, beside look-alike devices that must
// survive every scenario.
#include <string>
#include <vector>

#include "product_fixture.h"
#include "removal/device_instances.h"
#include "res/resource.h"

namespace {

const char kUsbClass[] = "{36fc9e60-c465-11cf-8056-444553540000}";
const char kModemClass[] = "{4d36e96d-e325-11ce-bfc1-08002be10318}";

// The phone: the composite device and its two interfaces.
const char kComposite[] = "USB\\VID_1A2B&PID_3C4D\\5&0001&0&1";
const char kMi00[] = "USB\\VID_1A2B&PID_3C4D&MI_00\\6&0001&0&0000";
const char kMi03[] = "USB\\VID_1A2B&PID_3C4D&MI_03\\6&0001&0&0003";

// Look-alikes: a revision-qualified interface ID and another model.
const char kRevisionLookAlike[] = "USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00\\7&0001&0&0000";
const char kOtherModel[] = "USB\\VID_1A2B&PID_3C4E\\5&0009&0&2";
const char kOtherModelDriver[] = "{4d36e96d-e325-11ce-bfc1-08002be10318}\\0009";

class RemoveDeviceInstancesTest : public ProductTest {
protected:
    void SetUp() override {
        InitContext();
        AddDevice(kRevisionLookAlike, {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00"}, true, kModemClass);
        AddDevice(kOtherModel, {"USB\\VID_1A2B&PID_3C4E"}, false, kModemClass, kOtherModelDriver, "oem9.inf");
        winsim::ServiceSeed service;
        service.name = "qtx0bus2";
        m.services.add(service);
        m.files.writeFile("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak", "old");
        m.files.writeFile("C:\\WINDOWS\\INF\\oem9.inf", "[Version]");
        handlesBefore_ = m.handles.openCount();
    }

    void TearDown() override {
        EXPECT_TRUE(m.devices.exists(kRevisionLookAlike));
        EXPECT_TRUE(m.devices.isPresent(kRevisionLookAlike));
        EXPECT_TRUE(m.devices.exists(kOtherModel));
        EXPECT_TRUE(m.registry.keyExists(std::string(winsim::Devices::kClassKey) + "\\" + kOtherModelDriver));
        EXPECT_TRUE(m.services.exists("qtx0bus2"));
        EXPECT_TRUE(m.files.exists("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak"));
        EXPECT_TRUE(m.files.exists("C:\\WINDOWS\\INF\\oem9.inf"));
        EXPECT_EQ(m.handles.openCount(), handlesBefore_) << ::testing::PrintToString(m.handles.describeOpen());
        EXPECT_TRUE(m.handles.localAllocations.empty());
        ProductTest::TearDown();
    }

    void AddDevice(const char* id, std::vector<std::string> hardwareIds, bool present,
                   const char* classGuid = kUsbClass, const char* driver = "", const char* infPath = "") {
        winsim::DeviceSeed seed;
        seed.instanceId = id;
        seed.hardwareIds = std::move(hardwareIds);
        seed.present = present;
        seed.classGuid = classGuid;
        seed.driver = driver;
        seed.infPath = infPath;
        m.devices.add(seed);
    }

    // The phone as Plug and Play leaves it after one connection.
    void AddPhone(bool present) {
        AddDevice(kComposite, {"USB\\VID_1A2B&PID_3C4D&REV_0100", "USB\\VID_1A2B&PID_3C4D"}, present);
        AddDevice(kMi00, {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00", "USB\\VID_1A2B&PID_3C4D&MI_00"}, present,
                  kModemClass);
        AddDevice(kMi03, {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_03", "USB\\VID_1A2B&PID_3C4D&MI_03"}, present,
                  kModemClass);
    }

    // The captions and texts of the boxes shown, "caption|text".
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto& box : m.ui.boxes) out.push_back(box.captionUtf8 + "|" + box.textUtf8);
        return out;
    }

    size_t handlesBefore_ = 0;
};

}  // namespace

TEST_F(RemoveDeviceInstancesTest, EachCallRemovesOnlyItsOwnFunctionOfThePhone) {
    AddPhone(false);
    // The composite device matches through the second entry of its list.
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 1);
    EXPECT_FALSE(m.devices.exists(kComposite));
    EXPECT_TRUE(m.devices.exists(kMi00));
    EXPECT_TRUE(m.devices.exists(kMi03));

    // String 202 is "...&Mi_00": the device reports "...&MI_00".
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_MI00), 1);
    EXPECT_FALSE(m.devices.exists(kMi00));
    EXPECT_TRUE(m.devices.exists(kMi03));
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_MI03), 1);
    EXPECT_FALSE(m.devices.exists(kMi03));
    EXPECT_TRUE(m.ui.boxes.empty());

    // Nothing of the phone is left: a further call finds nothing, quietly.
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 0);
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(RemoveDeviceInstancesTest, ConnectedAndUnconnectedInstancesAreRemovedAlike) {
    AddPhone(true);
    AddDevice("USB\\VID_1A2B&PID_3C4D\\5&0002&0&3", {"usb\\vid_1a2b&pid_3c4d"}, false);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 1);
    EXPECT_FALSE(m.devices.exists(kComposite));
    EXPECT_FALSE(m.devices.exists("USB\\VID_1A2B&PID_3C4D\\5&0002&0&3"));
    EXPECT_TRUE(m.devices.isPresent(kMi00));
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(RemoveDeviceInstancesTest, WithoutAMatchingDeviceNothingHappens) {
    // Only the look-alikes; one device without any hardware ID comes first.
    AddDevice("USB\\VID_0000&PID_0000\\1", {}, false);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 0);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_MI00), 0);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_MI03), 0);
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.faults.callsOf("SetupDiCallClassInstaller"), 0);
    EXPECT_TRUE(m.devices.exists("USB\\VID_0000&PID_0000\\1"));
}

TEST_F(RemoveDeviceInstancesTest, AFailedRemovalEndsTheScanForThatIdOnly) {
    AddPhone(false);
    AddDevice("USB\\VID_1A2B&PID_3C4D\\5&0002&0&1", {"USB\\VID_1A2B&PID_3C4D"}, false);
    AddDevice("USB\\VID_1A2B&PID_3C4D\\5&0003&0&1", {"USB\\VID_1A2B&PID_3C4D"}, true);
    // The first instance goes, the second refuses, the third is not visited.
    m.faults.fail("SetupDiCallClassInstaller", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 1);
    EXPECT_FALSE(m.devices.exists(kComposite));
    EXPECT_TRUE(m.devices.exists("USB\\VID_1A2B&PID_3C4D\\5&0002&0&1"));
    EXPECT_TRUE(m.devices.exists("USB\\VID_1A2B&PID_3C4D\\5&0003&0&1"));
    EXPECT_EQ(m.faults.callsOf("SetupDiCallClassInstaller"), 2);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|Access is denied.\r\n"}));

    // The next hardware ID starts a scan of its own.
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_MI03), 1);
    EXPECT_FALSE(m.devices.exists(kMi03));
    EXPECT_EQ(m.ui.boxes.size(), 1u);
}

TEST_F(RemoveDeviceInstancesTest, A32BitProgramOn64BitWindowsIsToldWhy) {
    AddPhone(false);
    m.system.process32 = true;
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 0);
    EXPECT_TRUE(m.devices.exists(kComposite));
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|Operation not allowed in WOW64.\r\n"}));
}

TEST_F(RemoveDeviceInstancesTest, APropertyReadFailingOtherwiseEndsTheScan) {
    AddPhone(false);
    m.faults.fail("SetupDiGetDeviceRegistryPropertyA", ERROR_NOT_ENOUGH_MEMORY, 0);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 0);
    EXPECT_TRUE(m.devices.exists(kComposite));
    EXPECT_EQ(m.faults.callsOf("SetupDiEnumDeviceInfo"), 1);
    EXPECT_EQ(m.faults.callsOf("SetupDiCallClassInstaller"), 0);
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"Error|Not enough storage is available to process this command.\r\n"}));
}

TEST_F(RemoveDeviceInstancesTest, AnEnumerationErrorIsShownWithTheResultSoFar) {
    AddPhone(false);
    // Member 0 is the composite device; the enumeration of member 1 fails.
    m.faults.fail("SetupDiEnumDeviceInfo", ERROR_INVALID_HANDLE, 1);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 1);
    EXPECT_FALSE(m.devices.exists(kComposite));
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|The handle is invalid.\r\n"}));
}

TEST_F(RemoveDeviceInstancesTest, WithoutADeviceSetNothingIsTouched) {
    AddPhone(true);
    m.faults.fail("SetupDiGetClassDevsA", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 0);
    EXPECT_TRUE(m.devices.exists(kComposite));
    EXPECT_EQ(m.faults.callsOf("SetupDiEnumDeviceInfo"), 0);
    EXPECT_EQ(m.faults.callsOf("SetupDiDestroyDeviceInfoList"), 0);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|The parameter is incorrect.\r\n"}));
}

namespace {

TEST_F(RemoveDeviceInstancesTest, ATargetListedTwiceIsRemovedOnceWithoutABox) {
    AddDevice(kMi00, {"USB\\VID_1A2B&PID_3C4D&MI_00", "usb\\vid_1a2b&pid_3c4d&mi_00"}, false);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_MI00), 1);
    EXPECT_FALSE(m.devices.exists(kMi00));
    EXPECT_EQ(m.faults.callsOf("SetupDiCallClassInstaller"), 1);
    EXPECT_TRUE(m.ui.boxes.empty());
}

}  // namespace

TEST_F(RemoveDeviceInstancesTest, AnIdThatDoesNotLoadMatchesNoDevice) {
    AddPhone(false);
    // Another maker's device whose only hardware ID is the enumerator's
    // prefix, which is all the target would hold without the phone's ID.
    const char prefixOnly[] = "USB\\ROOT_HUB_X\\4&0001&0";
    AddDevice(prefixOnly, {"USB\\"}, false);
    m.faults.clear();
    m.faults.fail("LoadStringA", ERROR_RESOURCE_NAME_NOT_FOUND, 0);
    EXPECT_EQ(RemoveDeviceInstances(IDS_HWID_COMPOSITE), 0);
    EXPECT_TRUE(m.devices.exists(prefixOnly));
    EXPECT_TRUE(m.devices.exists(kComposite));
    EXPECT_TRUE(m.ui.boxes.empty());
}
