// DeleteDriverService: the phone's four kernel services deleted through the
// service control manager, beside a look-alike service, device and files
// that must survive every scenario.
#include <string>
#include <vector>

#include "product_fixture.h"
#include "removal/driver_services.h"
#include "res/resource.h"

namespace {

const char* const kPhoneServices[] = {"qtx0bus", "qtx0mdm", "qtx0mdfl", "qtx0obex"};
const UINT kServiceStrings[] = {IDS_SERVICE_BUS, IDS_SERVICE_MDM, IDS_SERVICE_MDFL, IDS_SERVICE_OBEX};
const char kRevisionLookAlike[] = "USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00\\7&0001&0&0000";
const char kOtherModel[] = "USB\\VID_1A2B&PID_3C4E\\5&0009&0&2";

class DeleteDriverServiceTest : public ProductTest {
protected:
    void SetUp() override {
        InitContext();
        AddService("qtx0bus2", true);
        winsim::DeviceSeed device;
        device.instanceId = kRevisionLookAlike;
        device.hardwareIds = {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00"};
        m.devices.add(device);
        device.instanceId = kOtherModel;
        device.hardwareIds = {"USB\\VID_1A2B&PID_3C4E"};
        device.driver = "{4d36e96d-e325-11ce-bfc1-08002be10318}\\0009";
        device.infPath = "oem9.inf";
        m.devices.add(device);
        m.files.writeFile("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak", "old");
        m.files.writeFile("C:\\WINDOWS\\INF\\oem9.inf", "[Version]");
        handlesBefore_ = m.handles.openCount();
    }

    void TearDown() override {
        EXPECT_TRUE(m.services.exists("qtx0bus2"));
        EXPECT_FALSE(m.services.isMarkedForDeletion("qtx0bus2"));
        EXPECT_TRUE(m.devices.exists(kRevisionLookAlike));
        EXPECT_TRUE(m.devices.exists(kOtherModel));
        EXPECT_TRUE(m.files.exists("C:\\WINDOWS\\system32\\drivers\\qtx0bus.sys.bak"));
        EXPECT_TRUE(m.files.exists("C:\\WINDOWS\\INF\\oem9.inf"));
        EXPECT_EQ(m.handles.openCount(), handlesBefore_ + leftOpen_)
            << ::testing::PrintToString(m.handles.describeOpen());
        ProductTest::TearDown();
    }

    void AddService(const char* name, bool running = false) {
        winsim::ServiceSeed seed;
        seed.name = name;
        seed.imagePath = std::string("\\SystemRoot\\System32\\drivers\\") + name + ".sys";
        seed.running = running;
        m.services.add(seed);
    }

    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto& box : m.ui.boxes) out.push_back(box.captionUtf8 + "|" + box.textUtf8);
        return out;
    }

    size_t handlesBefore_ = 0;
    size_t leftOpen_ = 0;  // handles a failed close leaves open on purpose
};

}  // namespace

TEST_F(DeleteDriverServiceTest, ServicesThatAreNotInstalledAreNoError) {
    for (UINT id : kServiceStrings) EXPECT_NE(DeleteDriverService(id), 0) << id;
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_EQ(m.faults.callsOf("OpenSCManagerA"), 4) << "each call opens its own manager handle";
    EXPECT_EQ(m.faults.callsOf("DeleteService"), 0);
}

TEST_F(DeleteDriverServiceTest, StoppedServicesDisappear) {
    for (const char* name : kPhoneServices) AddService(name);
    for (UINT id : kServiceStrings) EXPECT_NE(DeleteDriverService(id), 0) << id;
    for (const char* name : kPhoneServices) EXPECT_FALSE(m.services.exists(name)) << name;
    EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(DeleteDriverServiceTest, ARunningDriverIsMarkedAndASecondRunIsToldSo) {
    AddService("qtx0bus", true);
    EXPECT_NE(DeleteDriverService(IDS_SERVICE_BUS), 0);
    EXPECT_TRUE(m.services.isMarkedForDeletion("qtx0bus"));
    EXPECT_TRUE(m.ui.boxes.empty());

    // The driver is still loaded when the program runs again.
    EXPECT_NE(DeleteDriverService(IDS_SERVICE_BUS), 0);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|The specified service has been marked for deletion.\r\n"}));
    EXPECT_TRUE(m.services.exists("qtx0bus"));
    m.services.setRunning("qtx0bus", false);
    EXPECT_FALSE(m.services.exists("qtx0bus"));
}

TEST_F(DeleteDriverServiceTest, AUserWithoutAdministratorRightsGetsTheRefusal) {
    AddService("qtx0bus");
    m.token.process = winsim::TokenIdentity::standardUser();
    EXPECT_EQ(DeleteDriverService(IDS_SERVICE_BUS), 0);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|Access is denied.\r\n"}));
    EXPECT_EQ(m.faults.callsOf("OpenServiceA"), 0);
    EXPECT_TRUE(m.services.exists("qtx0bus"));
    EXPECT_FALSE(m.services.isMarkedForDeletion("qtx0bus"));
}

TEST_F(DeleteDriverServiceTest, AFailedDeletionDoesNotStopTheNextService) {
    for (const char* name : kPhoneServices) AddService(name);
    m.faults.fail("DeleteService", ERROR_ACCESS_DENIED, 0);
    for (UINT id : kServiceStrings) EXPECT_NE(DeleteDriverService(id), 0) << id;
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|Access is denied.\r\n"}));
    EXPECT_TRUE(m.services.exists("qtx0bus"));
    EXPECT_FALSE(m.services.isMarkedForDeletion("qtx0bus"));
    EXPECT_FALSE(m.services.exists("qtx0mdm"));
    EXPECT_FALSE(m.services.exists("qtx0mdfl"));
    EXPECT_FALSE(m.services.exists("qtx0obex"));
}

TEST_F(DeleteDriverServiceTest, AServiceThatCannotBeOpenedIsPassedOverQuietly) {
    AddService("qtx0mdm");
    m.faults.fail("OpenServiceA", ERROR_ACCESS_DENIED);
    EXPECT_NE(DeleteDriverService(IDS_SERVICE_MDM), 0);
    EXPECT_TRUE(m.ui.boxes.empty());
    EXPECT_TRUE(m.services.exists("qtx0mdm"));
}

TEST_F(DeleteDriverServiceTest, ClosingTheServiceHandleFailing) {
    AddService("qtx0mdfl");
    // The first close is the service handle's.
    m.faults.fail("CloseServiceHandle", ERROR_INVALID_HANDLE, 0);
    EXPECT_NE(DeleteDriverService(IDS_SERVICE_MDFL), 0);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|The handle is invalid.\r\n"}));
    EXPECT_EQ(m.faults.callsOf("CloseServiceHandle"), 2) << "the manager handle is closed all the same";
    // The service handle stayed open, so the deletion is still pending.
    EXPECT_TRUE(m.services.isMarkedForDeletion("qtx0mdfl"));
    leftOpen_ = 1;
}

TEST_F(DeleteDriverServiceTest, ClosingTheManagerHandleFailing) {
    AddService("qtx0obex");
    m.faults.fail("CloseServiceHandle", ERROR_INVALID_HANDLE, 1);
    EXPECT_EQ(DeleteDriverService(IDS_SERVICE_OBEX), 0);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|The handle is invalid.\r\n"}));
    EXPECT_FALSE(m.services.exists("qtx0obex")) << "the service handle was closed first";
    leftOpen_ = 1;
}
