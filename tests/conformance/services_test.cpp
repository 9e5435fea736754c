// The service control manager as the service deletion uses it, on a kernel
// service that the test creates (demand start, a driver file that does not
// exist, so it never runs) and deletes again: opening a missing service,
// DeleteService marking a service, a second DeleteService through another
// handle, and the service going with its last handle.
#include <string>

#include "conformance.h"

namespace {

const char kService[] = "ConfTestDrv5C7E1A9B";
const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\ConfTestDrv5C7E1A9B";

SC_HANDLE CreateTestService(SC_HANDLE manager) {
    return CreateServiceA(manager, kService, nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                          SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                          "\\SystemRoot\\System32\\drivers\\conftest_5c7e1a9b.sys", nullptr, nullptr, nullptr,
                          nullptr, nullptr);
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

class Services : public testing::Test {
protected:
    void SetUp() override {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr) << GetLastError();
        // A service left over from an interrupted run.
        if (SC_HANDLE old = OpenServiceA(manager_, kService, SERVICE_ALL_ACCESS)) {
            DeleteService(old);
            CloseServiceHandle(old);
        }
    }
    void TearDown() override {
        if (!manager_) return;
        if (SC_HANDLE left = OpenServiceA(manager_, kService, SERVICE_ALL_ACCESS)) {
            ADD_FAILURE() << "the test service was left behind";
            DeleteService(left);
            CloseServiceHandle(left);
        }
        EXPECT_TRUE(CloseServiceHandle(manager_));
    }

    SC_HANDLE manager_ = nullptr;
};

}  // namespace

TEST_F(Services, AMissingServiceCannotBeOpened) {
    SetLastError(kSentinelError);
    EXPECT_EQ(OpenServiceA(manager_, kService, SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(Services, DeleteServiceMarksAndTheLastHandleCompletesIt) {
    SC_HANDLE created = CreateTestService(manager_);
    ASSERT_NE(created, nullptr) << GetLastError();
    EXPECT_TRUE(KeyExists(kServicesKey));
    SC_HANDLE opened = OpenServiceA(manager_, kService, SERVICE_ALL_ACCESS);
    ASSERT_NE(opened, nullptr) << GetLastError();

    SetLastError(kSentinelError);
    EXPECT_TRUE(DeleteService(opened));
    // The other handle may still try again: it is marked.
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeleteService(created));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    // A marked service can still be opened while handles to it are open.
    SC_HANDLE again = OpenServiceA(manager_, kService, SERVICE_QUERY_STATUS);
    EXPECT_NE(again, nullptr) << GetLastError();
    if (again) {
        EXPECT_TRUE(CloseServiceHandle(again));
    }

    EXPECT_TRUE(CloseServiceHandle(opened));
    EXPECT_TRUE(CloseServiceHandle(created));
    SetLastError(kSentinelError);
    EXPECT_EQ(OpenServiceA(manager_, kService, SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_FALSE(KeyExists(kServicesKey));
}

TEST_F(Services, CreatingAnExistingServiceFails) {
    SC_HANDLE created = CreateTestService(manager_);
    ASSERT_NE(created, nullptr) << GetLastError();
    SetLastError(kSentinelError);
    EXPECT_EQ(CreateTestService(manager_), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));
    EXPECT_TRUE(DeleteService(created));
    EXPECT_TRUE(CloseServiceHandle(created));
}

TEST_F(Services, ClosingABadHandleFails) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(CloseServiceHandle(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Services, AMarkedServiceCannotBeCreatedAgainWhileItIsThere) {
    SC_HANDLE created = CreateTestService(manager_);
    ASSERT_NE(created, nullptr) << GetLastError();
    ASSERT_TRUE(DeleteService(created));
    SetLastError(kSentinelError);
    EXPECT_EQ(CreateTestService(manager_), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_TRUE(CloseServiceHandle(created));
}

TEST_F(Services, AKeyWrittenIntoTheRegistryIsNoServiceUntilWindowsStartsAgain) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD type = SERVICE_KERNEL_DRIVER;
    EXPECT_EQ(RegSetValueExA(key, "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof type),
              ERROR_SUCCESS);
    RegCloseKey(key);
    SetLastError(kSentinelError);
    EXPECT_EQ(OpenServiceA(manager_, kService, SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kServicesKey), ERROR_SUCCESS);
}
