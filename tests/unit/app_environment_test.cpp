// The operating-system code for each release, and the administrator check.
#include "app/environment.h"
#include "product_fixture.h"

namespace {

class OsCodeTest : public ProductTest {
protected:
    int CodeFor(DWORD platform, DWORD major, DWORD minor, BYTE productType, bool extended = true) {
        m.system.platformId = platform;
        m.system.major = major;
        m.system.minor = minor;
        m.system.productType = productType;
        m.system.extendedVersionInfo = extended;
        return GetOsCode();
    }
};

TEST_F(OsCodeTest, PresetsGiveTheirReleaseCodes) {
    struct Row {
        void (winsim::SystemInfo::*preset)();
        int code;
    } rows[] = {
        {&winsim::SystemInfo::setWindows95, OS_WIN95},     {&winsim::SystemInfo::setWindows98, OS_WIN98},
        {&winsim::SystemInfo::setWindowsMe, OS_WINME},     {&winsim::SystemInfo::setNt4, OS_NT_OTHER},
        {&winsim::SystemInfo::setWindows2000, OS_WIN2000}, {&winsim::SystemInfo::setXp, OS_WINXP},
        {&winsim::SystemInfo::setServer2003, OS_WIN2003},  {&winsim::SystemInfo::setVista, OS_VISTA},
        {&winsim::SystemInfo::setWindows7, OS_WIN7},       {&winsim::SystemInfo::setServer2008, OS_WIN2008},
        {&winsim::SystemInfo::setServer2008R2, OS_WIN2008R2}, {&winsim::SystemInfo::setWindows10, OS_NEWER},
    };
    for (const Row& row : rows) {
        (m.system.*row.preset)();
        EXPECT_EQ(GetOsCode(), row.code);
    }
}

TEST_F(OsCodeTest, NinetyFivePlatformLooksOnlyAtTheMinorVersion) {
    EXPECT_EQ(CodeFor(1, 4, 0, 0, false), OS_WIN95);
    EXPECT_EQ(CodeFor(1, 4, 10, 0, false), OS_WIN98);
    EXPECT_EQ(CodeFor(1, 4, 90, 0, false), OS_WINME);
    EXPECT_EQ(CodeFor(1, 7, 10, 0, false), OS_WIN98);
    EXPECT_EQ(CodeFor(1, 4, 3, 0, false), OS_WIN95);
}

TEST_F(OsCodeTest, NtVersionsTheTableDoesNotListCountAsOldNt) {
    EXPECT_EQ(CodeFor(2, 3, 51, 1), OS_NT_OTHER);
    EXPECT_EQ(CodeFor(2, 5, 3, 1), OS_NT_OTHER);
    EXPECT_EQ(CodeFor(2, 6, 2, 1), OS_NT_OTHER);  // Windows 8, or 8.1/10 without a manifest
    EXPECT_EQ(CodeFor(2, 6, 3, 1), OS_NT_OTHER);
    EXPECT_EQ(CodeFor(2, 6, 2, 3), OS_NT_OTHER);
    EXPECT_EQ(CodeFor(2, 7, 0, 1), OS_NEWER);
    EXPECT_EQ(CodeFor(2, 10, 0, 3), OS_NEWER);
}

TEST_F(OsCodeTest, ProductTypeSeparatesWorkstationFromServerOnVersionSix) {
    EXPECT_EQ(CodeFor(2, 6, 0, VER_NT_WORKSTATION), OS_VISTA);
    EXPECT_EQ(CodeFor(2, 6, 0, VER_NT_SERVER), OS_WIN2008);
    EXPECT_EQ(CodeFor(2, 6, 1, VER_NT_DOMAIN_CONTROLLER), OS_WIN2008R2);
    EXPECT_EQ(CodeFor(2, 6, 1, VER_NT_SERVER), OS_WIN2008R2);
    EXPECT_EQ(CodeFor(2, 5, 2, VER_NT_WORKSTATION), OS_WIN2003);  // XP x64 reports 5.2 too
}

TEST_F(OsCodeTest, WithoutTheExtendedStructureTheProductTypeReadsZero) {
    // The fallback to the plain structure leaves the product type 0, which
    // is not "workstation".
    EXPECT_EQ(CodeFor(2, 6, 0, VER_NT_WORKSTATION, false), OS_WIN2008);
}

TEST_F(OsCodeTest, BothVersionCallsFailingGivesWindows95) {
    m.faults.fail("GetVersionExA", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetOsCode(), OS_WIN95);
}

class AdministratorTest : public ProductTest {
protected:
    void TearDown() override {
        EXPECT_EQ(m.handles.openCount(winsim::HandleKind::Token), 0u);
        EXPECT_TRUE(m.handles.localAllocations.empty());
        ProductTest::TearDown();
    }
};

TEST_F(AdministratorTest, MembershipIsDecidedByTheSidAlone) {
    m.token.process = winsim::TokenIdentity::administrator();
    EXPECT_EQ(IsAdministrator(), 1);
    m.token.process = winsim::TokenIdentity::denyOnlyAdministrator();
    EXPECT_EQ(IsAdministrator(), 1);
    m.token.process = winsim::TokenIdentity::standardUser();
    EXPECT_EQ(IsAdministrator(), 0);
}

TEST_F(AdministratorTest, AnImpersonatingThreadIsJudgedByItsOwnToken) {
    m.token.process = winsim::TokenIdentity::administrator();
    m.token.threadImpersonation = winsim::TokenIdentity::standardUser();
    EXPECT_EQ(IsAdministrator(), 0);
    m.token.process = winsim::TokenIdentity::standardUser();
    m.token.threadImpersonation = winsim::TokenIdentity::administrator();
    EXPECT_EQ(IsAdministrator(), 1);
}

TEST_F(AdministratorTest, EveryFailedCallMeansNo) {
    const struct {
        const char* api;
        DWORD error;
    } faults[] = {
        {"OpenThreadToken", ERROR_ACCESS_DENIED},        // not ERROR_NO_TOKEN: no fallback
        {"OpenProcessToken", ERROR_ACCESS_DENIED},
        {"GetTokenInformation", ERROR_ACCESS_DENIED},    // the size query fails otherwise than asked
        {"AllocateAndInitializeSid", ERROR_NOT_ENOUGH_MEMORY},
        {"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const auto& fault : faults) {
        m.faults.clear();
        m.faults.fail(fault.api, fault.error);
        EXPECT_EQ(IsAdministrator(), 0) << fault.api;
    }
    // The second GetTokenInformation call failing alone.
    m.faults.clear();
    m.faults.fail("GetTokenInformation", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(IsAdministrator(), 0);
}

}  // namespace
