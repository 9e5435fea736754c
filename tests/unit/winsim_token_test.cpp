// The simulated user's token: the identities a test can give the process
// or the thread, and what the token functions make of them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

// The groups GetTokenInformation reports for a token, as "SID:attributes".
std::vector<std::string> GroupsOf(HANDLE token) {
    DWORD size = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(size);
    DWORD written = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), size, &written));
    EXPECT_EQ(written, size);
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    const auto* entries = groups->Groups;
    std::vector<std::string> out;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        // Each SID lies inside the caller's buffer.
        const auto* sid = static_cast<const BYTE*>(entries[i].Sid);
        EXPECT_GE(sid, buffer.data());
        EXPECT_LE(sid + winsim::sidLength(sid), buffer.data() + buffer.size());
        out.push_back(*winsim::sidToString(sid) + ":" + std::to_string(entries[i].Attributes));
    }
    return out;
}

bool Lists(const std::vector<std::string>& groups, const std::string& entry) {
    for (const std::string& g : groups)
        if (g == entry) return true;
    return false;
}

bool ListsSid(const std::vector<std::string>& groups, const std::string& sid) {
    for (const std::string& g : groups)
        if (g.compare(0, sid.size() + 1, sid + ":") == 0) return true;
    return false;
}

}  // namespace

TEST(WinsimToken, PresetsDifferInTheAdministratorsEntry) {
    const auto admin = winsim::TokenIdentity::administrator();
    const auto user = winsim::TokenIdentity::standardUser();
    const auto denyOnly = winsim::TokenIdentity::denyOnlyAdministrator();
    EXPECT_TRUE(admin.hasAdministratorRights());
    EXPECT_FALSE(user.hasAdministratorRights());
    EXPECT_FALSE(denyOnly.hasAdministratorRights());
    ASSERT_TRUE(admin.findGroup("S-1-5-32-544"));
    EXPECT_EQ(admin.findGroup("S-1-5-32-544")->attributes, 0xFu);
    EXPECT_EQ(user.findGroup("S-1-5-32-544"), nullptr);
    ASSERT_TRUE(denyOnly.findGroup("S-1-5-32-544"));
    EXPECT_EQ(denyOnly.findGroup("S-1-5-32-544")->attributes, static_cast<DWORD>(SE_GROUP_USE_FOR_DENY_ONLY));
    for (const auto* identity : {&admin, &user, &denyOnly}) {
        EXPECT_TRUE(identity->findGroup("S-1-1-0"));
        EXPECT_TRUE(identity->findGroup("S-1-5-32-545"));
        EXPECT_TRUE(identity->findGroup("S-1-5-11"));
    }
    // A group that is present but not enabled grants nothing either.
    winsim::TokenIdentity disabled;
    disabled.groups.push_back({"S-1-5-32-544", SE_GROUP_MANDATORY});
    EXPECT_FALSE(disabled.hasAdministratorRights());
}

TEST(WinsimToken, ProcessTokenReportsTheIdentityGroupsInTheCallersBuffer) {
    winsim::Machine m;
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    const auto groups = GroupsOf(token);
    EXPECT_EQ(groups.size(), m.token.process.groups.size());
    EXPECT_TRUE(Lists(groups, "S-1-5-32-544:15"));
    EXPECT_TRUE(Lists(groups, "S-1-16-12288:96"));
    EXPECT_TRUE(CloseHandle(token));

    m.token.process = winsim::TokenIdentity::denyOnlyAdministrator();
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_TRUE(Lists(GroupsOf(token), "S-1-5-32-544:16"));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_EQ(m.handles.openCount(), 0u);
}

TEST(WinsimToken, TooSmallABufferAndMissingRightsFail) {
    winsim::Machine m;
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    std::vector<BYTE> buffer(size, 0xCC);
    DWORD needed = 0;
    SetLastError(kSentinel);
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, buffer.data(), size - 1, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, size);
    EXPECT_EQ(buffer[0], 0xCC);  // nothing written
    CloseHandle(token);

    // GetTokenInformation needs TOKEN_QUERY on the handle.
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, &token));
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(token);
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(WinsimToken, ThreadTokenExistsOnlyWhileImpersonating) {
    winsim::Machine m;
    HANDLE token = nullptr;
    SetLastError(kSentinel);
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

    m.token.threadImpersonation = winsim::TokenIdentity::standardUser();
    ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
    const auto groups = GroupsOf(token);
    EXPECT_FALSE(ListsSid(groups, "S-1-5-32-544"));
    EXPECT_TRUE(ListsSid(groups, "S-1-5-32-545"));
    CloseHandle(token);
    // The process token is still the administrator's.
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_TRUE(ListsSid(GroupsOf(token), "S-1-5-32-544"));
    CloseHandle(token);
}

TEST(WinsimToken, AllocatedSidsAreTrackedUntilFreed) {
    winsim::Machine m;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID admins = nullptr, admins2 = nullptr, everyone = nullptr;
    SetLastError(kSentinel);
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                         0, &admins));
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                         0, &admins2));
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(m.token.allocatedSids.size(), 3u);
    EXPECT_EQ(winsim::sidToString(admins), "S-1-5-32-544");
    EXPECT_EQ(winsim::sidToString(everyone), "S-1-1-0");
    EXPECT_EQ(*winsim::sidFromString("S-1-5-32-544"), std::vector<BYTE>(static_cast<BYTE*>(admins),
                                                                         static_cast<BYTE*>(admins) + 16));

    SetLastError(kSentinel);
    EXPECT_TRUE(EqualSid(admins, admins2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    SetLastError(kSentinel);
    EXPECT_FALSE(EqualSid(admins, everyone));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    BYTE invalid[16] = {2, 2};  // revision 2
    EXPECT_FALSE(EqualSid(invalid, invalid));

    // NT 4.0 left the last error alone.
    m.system.setNt4();
    SetLastError(kSentinel);
    EXPECT_FALSE(EqualSid(admins, everyone));
    EXPECT_EQ(GetLastError(), kSentinel);

    EXPECT_EQ(FreeSid(admins), nullptr);
    EXPECT_EQ(FreeSid(admins2), nullptr);
    EXPECT_EQ(m.token.allocatedSids.size(), 1u);
    // A SID that did not come from AllocateAndInitializeSid is refused.
    EXPECT_EQ(FreeSid(invalid), static_cast<PVOID>(invalid));
    EXPECT_EQ(FreeSid(everyone), nullptr);
    EXPECT_TRUE(m.token.allocatedSids.empty());

    PSID tooLong = nullptr;
    EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 1, 2, 3, 4, 5, 6, 7, 8, &tooLong));
    EXPECT_EQ(GetLastError(), 1337u);  // ERROR_INVALID_SID
}

TEST(WinsimToken, SidTextFormsAreChecked) {
    EXPECT_EQ(winsim::sidToString(winsim::sidFromString("S-1-5-21-1-2-3-1000")->data()), "S-1-5-21-1-2-3-1000");
    EXPECT_EQ(winsim::sidFromString("S-1-16-12288")->size(), 12u);
    for (const char* bad : {"", "S-1", "S-2-5-32", "S-1-5--1", "S-1-5-32-x", "S-1-5-4294967296",
                            "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"})
        EXPECT_FALSE(winsim::sidFromString(bad)) << bad;
}

TEST(WinsimToken, FaultsOtherClassesAndWindows9x) {
    winsim::Machine m;
    HANDLE token = nullptr;
    m.faults.fail("OpenProcessToken", ERROR_ACCESS_DENIED, 0);
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));

    m.faults.fail("GetTokenInformation", ERROR_NOT_ENOUGH_MEMORY, 0);
    DWORD size = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(size, 0u);

    // Only TokenGroups is modelled.
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(m.unimplemented.size(), 1u);
    CloseHandle(token);

    m.faults.fail("AllocateAndInitializeSid", ERROR_NOT_ENOUGH_MEMORY);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    EXPECT_FALSE(AllocateAndInitializeSid(&nt, 1, 32, 0, 0, 0, 0, 0, 0, 0, &sid));
    EXPECT_TRUE(m.token.allocatedSids.empty());

    // Windows 95/98/Me have no tokens: the functions are stubs.
    m.system.setWindowsMe();
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(m.unimplemented.size(), 1u);  // a modelled refusal, not a gap in the model
    EXPECT_EQ(m.handles.openCount(), 0u);
}
