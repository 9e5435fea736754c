// CReg: one owned key, opened but never created.
#include "product_fixture.h"
#include "res/resource.h"
#include "sysaccess/reg_key.h"

namespace {

const char* const kProductKey = "HKLM\\SOFTWARE\\VANTOR\\VANTOR 3G USB Driver 210QX";

class RegKeyTest : public ProductTest {
protected:
    void SetUp() override { InitContext(); }
    size_t OpenKeys() const { return m.handles.openCount(winsim::HandleKind::RegistryKey); }
};

TEST_F(RegKeyTest, OpeningASecondKeyClosesTheFirstEvenWhenTheSecondFails) {
    m.registry.createKey(kProductKey);
    {
        CReg reg;
        ASSERT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_ALL_ACCESS), 1);
        EXPECT_EQ(OpenKeys(), 1u);
        EXPECT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_ENUM_USB_001, KEY_READ), 0);
        EXPECT_EQ(OpenKeys(), 0u);
        EXPECT_EQ(reg.Close(), 0);
        EXPECT_EQ(reg.SetDwordById(IDS_INSTALL_FLAG, 1), 0);
        ASSERT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_ALL_ACCESS), 1);
    }
    EXPECT_EQ(OpenKeys(), 0u);  // the destructor closed it
    EXPECT_FALSE(m.registry.value(kProductKey, "InstallFlag"));
}

TEST_F(RegKeyTest, TheKeyIsNeverCreated) {
    CReg reg;
    EXPECT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_ALL_ACCESS), 0);
    EXPECT_EQ(reg.SetDwordById(IDS_INSTALL_FLAG, 0), 0);
    EXPECT_FALSE(m.registry.keyExists(kProductKey));
}

TEST_F(RegKeyTest, QueryReadsAnyValueOfAtMostFourBytes) {
    m.registry.createKey(kProductKey);
    CReg reg;
    ASSERT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_ALL_ACCESS), 1);
    DWORD value = 7;
    EXPECT_EQ(reg.QueryDwordById(IDS_INSTALL_FLAG, &value), 0);  // absent
    EXPECT_EQ(value, 7u);

    m.registry.setDword(kProductKey, "InstallFlag", 1);
    EXPECT_EQ(reg.QueryDwordById(IDS_INSTALL_FLAG, &value), 1);
    EXPECT_EQ(value, 1u);

    // "abc" and its terminator are 4 bytes: readable, then overwritten as a DWORD.
    m.registry.setString(kProductKey, "InstallFlag", "abc");
    EXPECT_EQ(reg.QueryDwordById(IDS_INSTALL_FLAG, &value), 1);
    EXPECT_EQ(reg.SetDwordById(IDS_INSTALL_FLAG, 0), 1);
    EXPECT_EQ(m.registry.value(kProductKey, "InstallFlag")->type, (DWORD)REG_DWORD);
    EXPECT_EQ(m.registry.dword(kProductKey, "InstallFlag"), std::optional<DWORD>(0));

    // Longer data does not fit and is not read.
    m.registry.setString(kProductKey, "InstallFlag", "abcd");
    value = 7;
    EXPECT_EQ(reg.QueryDwordById(IDS_INSTALL_FLAG, &value), 0);
    EXPECT_EQ(value, 7u);
}

TEST_F(RegKeyTest, ANonAdministratorCannotOpenTheProductKeyForWriting) {
    m.registry.createKey(kProductKey);
    m.token.process = winsim::TokenIdentity::standardUser();
    CReg reg;
    EXPECT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_ALL_ACCESS), 0);
    EXPECT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_READ), 1);
    EXPECT_EQ(reg.SetDwordById(IDS_INSTALL_FLAG, 0), 0);
}

TEST_F(RegKeyTest, RegistryErrorsComeFromTheReturnValue) {
    m.registry.createKey(kProductKey);
    CReg reg;
    ASSERT_EQ(reg.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_ALL_ACCESS), 1);
    m.faults.fail("RegSetValueExA", ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_EQ(reg.SetDwordById(IDS_INSTALL_FLAG, 1), 0);
    EXPECT_FALSE(m.registry.value(kProductKey, "InstallFlag"));
}

}  // namespace
