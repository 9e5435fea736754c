// The simulated service control manager: the registry as its record, the
// state only the running manager has (running, marked for deletion, open
// handles), other tokens and injected faults.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

winsim::ServiceSeed Driver(const char* name, bool running = false) {
    winsim::ServiceSeed seed;
    seed.name = name;
    seed.imagePath = std::string("\\SystemRoot\\System32\\drivers\\") + name + ".sys";
    seed.running = running;
    return seed;
}

class WinsimServices : public ::testing::Test {
protected:
    void SetUp() override {
        m.services.add(Driver("qtx0bus"));
        m.services.add(Driver("qtx0bus2", true));
    }
    void TearDown() override {
        EXPECT_EQ(m.handles.openCount(), 0u);
        EXPECT_TRUE(m.unimplemented.empty());
    }

    SC_HANDLE Manager() {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        EXPECT_NE(manager, nullptr) << GetLastError();
        return manager;
    }

    winsim::Machine m;
};

}  // namespace

TEST_F(WinsimServices, TheManagerWorksFromItsOwnDatabase) {
    const std::string key = "HKLM\\SYSTEM\\ControlSet001\\Services\\qtx0bus";
    EXPECT_EQ(m.registry.dword(key, "Type"), 1u);
    EXPECT_EQ(m.registry.dword(key, "Start"), 3u);
    EXPECT_EQ(m.registry.dword(key, "ErrorControl"), 1u);
    EXPECT_EQ(m.registry.value(key, "ImagePath")->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(m.services.list(), (std::vector<std::string>{"qtx0bus", "qtx0bus2"}));
    EXPECT_TRUE(m.services.exists("QTX0BUS"));
    EXPECT_TRUE(m.services.isRunning("qtx0bus2"));

    // A key written by hand is no service until Windows starts again, and
    // then only with a Type; a key deleted by hand leaves the service.
    m.registry.createKey("HKLM\\SYSTEM\\CurrentControlSet\\Services\\qtx0obex");
    m.registry.setDword("HKLM\\SYSTEM\\CurrentControlSet\\Services\\qtx0mdm", "Type", 1);
    EXPECT_FALSE(m.services.exists("qtx0mdm"));
    m.registry.deleteKey(key);
    EXPECT_TRUE(m.services.exists("qtx0bus"));
    m.services.restart();
    EXPECT_EQ(m.services.list(), (std::vector<std::string>{"qtx0bus2", "qtx0mdm"}));
    EXPECT_TRUE(m.services.isRunning("qtx0bus2"));
    EXPECT_THROW(m.services.setRunning("qtx0bus", true), std::invalid_argument);
}

TEST_F(WinsimServices, AMarkedServiceStaysMarkedUntilWindowsStartsAgain) {
    m.services.markForDeletion("qtx0bus2");
    const std::string key = winsim::Services::keyPath("qtx0bus2");
    m.registry.deleteValue(key, "DeleteFlag");
    SC_HANDLE manager = Manager();
    SC_HANDLE service = OpenServiceA(manager, "qtx0bus2", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    SetLastError(kSentinel);
    EXPECT_EQ(CreateServiceA(manager, "QTX0BUS2", nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                             SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "x.sys", nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_TRUE(CloseServiceHandle(manager));

    // A start completes the deletion, also of a key that carries the flag
    // without the manager having marked it.
    m.services.add(Driver("qtx0mdm"));
    m.registry.setDword(winsim::Services::keyPath("qtx0mdm"), "DeleteFlag", 1);
    m.services.restart();
    EXPECT_FALSE(m.registry.keyExists(key));
    EXPECT_FALSE(m.registry.keyExists(winsim::Services::keyPath("qtx0mdm")));
    EXPECT_EQ(m.services.list(), (std::vector<std::string>{"qtx0bus"}));
}

TEST_F(WinsimServices, DeletionCompletesWhenTheLastHandleCloses) {
    SC_HANDLE manager = Manager();
    SC_HANDLE first = OpenServiceA(manager, "QTX0BUS", SERVICE_ALL_ACCESS);
    SC_HANDLE second = OpenServiceA(manager, "qtx0bus", SERVICE_QUERY_STATUS);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(m.services.openHandles("qtx0bus"), 2);

    ASSERT_TRUE(DeleteService(first));
    EXPECT_TRUE(m.services.isMarkedForDeletion("qtx0bus"));
    const std::string key = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\qtx0bus";
    EXPECT_EQ(m.registry.dword(key, "DeleteFlag"), 1u);
    EXPECT_EQ(m.registry.dword(key, "Start"), 4u) << "SERVICE_DISABLED while the deletion is pending";

    EXPECT_TRUE(CloseServiceHandle(first));
    EXPECT_TRUE(m.services.exists("qtx0bus")) << "another handle is still open";
    EXPECT_TRUE(CloseServiceHandle(second));
    EXPECT_FALSE(m.registry.keyExists(key));

    SetLastError(kSentinel);
    EXPECT_EQ(OpenServiceA(manager, "qtx0bus", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_TRUE(m.services.exists("qtx0bus2"));
    EXPECT_TRUE(CloseServiceHandle(manager));
}

TEST_F(WinsimServices, ARunningDriverStaysMarkedUntilItStops) {
    SC_HANDLE manager = Manager();
    SC_HANDLE service = OpenServiceA(manager, "qtx0bus2", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(DeleteService(service));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_TRUE(m.services.exists("qtx0bus2"));

    // A later run opens it again; the second deletion is refused.
    service = OpenServiceA(manager, "qtx0bus2", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr) << "a service marked for deletion can still be opened";
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_TRUE(CloseServiceHandle(manager));

    m.services.setRunning("qtx0bus2", false);
    EXPECT_FALSE(m.services.exists("qtx0bus2"));
    EXPECT_FALSE(m.registry.keyExists("HKLM\\SYSTEM\\CurrentControlSet\\Services\\qtx0bus2"));

    // Seeded as marked by an earlier run, a stopped service with no handle goes at once.
    m.services.add(Driver("qtx0mdm", true));
    m.services.markForDeletion("qtx0mdm");
    EXPECT_TRUE(m.services.exists("qtx0mdm"));
    m.services.setRunning("qtx0mdm", false);
    EXPECT_FALSE(m.services.exists("qtx0mdm"));
}

TEST_F(WinsimServices, UsersMayOnlyConnectAndQuery) {
    for (auto identity : {winsim::TokenIdentity::standardUser(), winsim::TokenIdentity::denyOnlyAdministrator()}) {
        m.token.process = identity;
        SetLastError(kSentinel);
        EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

        SC_HANDLE manager = OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_CONNECT);
        ASSERT_NE(manager, nullptr);
        SetLastError(kSentinel);
        EXPECT_EQ(OpenServiceA(manager, "qtx0bus", SERVICE_ALL_ACCESS), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        SC_HANDLE query = OpenServiceA(manager, "qtx0bus", SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
        ASSERT_NE(query, nullptr);
        SetLastError(kSentinel);
        EXPECT_FALSE(DeleteService(query));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        SetLastError(kSentinel);
        EXPECT_EQ(CreateServiceA(manager, "qtx0new", nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "x.sys", nullptr, nullptr, nullptr,
                                 nullptr, nullptr),
                  nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_TRUE(CloseServiceHandle(query));
        EXPECT_TRUE(CloseServiceHandle(manager));
    }
    EXPECT_TRUE(m.services.exists("qtx0bus"));
    EXPECT_FALSE(m.services.exists("qtx0new"));
}

TEST_F(WinsimServices, NamesHandlesAndCreation) {
    SC_HANDLE manager = Manager();
    SetLastError(kSentinel);
    EXPECT_EQ(OpenServiceA(manager, "qtx0/bus", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    SetLastError(kSentinel);
    EXPECT_EQ(OpenServiceA(manager, "qtx0bu", SERVICE_ALL_ACCESS), nullptr) << "no prefix matching";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    SetLastError(kSentinel);
    EXPECT_EQ(OpenServiceA(reinterpret_cast<SC_HANDLE>(0x1234), "qtx0bus", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    SC_HANDLE created = CreateServiceA(manager, "qtx0obex", "Obex", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       "\\SystemRoot\\System32\\drivers\\qtx0obex.sys", nullptr, nullptr, nullptr,
                                       nullptr, nullptr);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(m.registry.string(winsim::Services::keyPath("qtx0obex"), "DisplayName"), std::string("Obex"));
    EXPECT_FALSE(m.services.isRunning("qtx0obex"));
    SetLastError(kSentinel);
    EXPECT_EQ(CreateServiceA(manager, "QTX0OBEX", nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                             SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "x.sys", nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));
    ASSERT_TRUE(DeleteService(created));
    SetLastError(kSentinel);
    EXPECT_EQ(CreateServiceA(manager, "qtx0obex", nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                             SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "x.sys", nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_TRUE(CloseServiceHandle(created));
    EXPECT_FALSE(m.services.exists("qtx0obex"));

    EXPECT_TRUE(CloseServiceHandle(manager));
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseServiceHandle(manager));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseServiceHandle(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(WinsimServices, InjectedFaultsFailEachCall) {
    m.faults.fail("OpenSCManagerA", ERROR_NOT_ENOUGH_MEMORY, 0);
    SetLastError(kSentinel);
    EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

    SC_HANDLE manager = Manager();
    m.faults.fail("OpenServiceA", ERROR_ACCESS_DENIED, 0);
    SetLastError(kSentinel);
    EXPECT_EQ(OpenServiceA(manager, "qtx0bus", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    SC_HANDLE service = OpenServiceA(manager, "qtx0bus", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    m.faults.fail("DeleteService", ERROR_ACCESS_DENIED, 0);
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(m.services.isMarkedForDeletion("qtx0bus"));

    ASSERT_TRUE(DeleteService(service));
    m.faults.fail("CloseServiceHandle", ERROR_INVALID_HANDLE, 0);
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseServiceHandle(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(m.services.exists("qtx0bus")) << "the handle stayed open";
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_FALSE(m.services.exists("qtx0bus"));

    m.faults.fail("CreateServiceA", ERROR_NOT_ENOUGH_MEMORY, 0);
    SetLastError(kSentinel);
    EXPECT_EQ(CreateServiceA(manager, "qtx0new", nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                             SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "x.sys", nullptr, nullptr, nullptr, nullptr,
                             nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_FALSE(m.services.exists("qtx0new"));
    EXPECT_TRUE(CloseServiceHandle(manager));
}
