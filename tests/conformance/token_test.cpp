// How the token functions behave for the test user, who runs the tests as
// a member of Administrators: the process token lists S-1-5-32-544, the
// thread has no token of its own, and GetTokenInformation answers a size
// query with ERROR_INSUFFICIENT_BUFFER.
#include <cstddef>
#include <vector>

#include "conformance.h"

namespace {

// The process token's groups, read with the two-call size pattern.
std::vector<BYTE> ReadProcessGroups(DWORD* required) {
    std::vector<BYTE> buffer;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        ADD_FAILURE() << "OpenProcessToken failed with " << GetLastError();
        return buffer;
    }
    *required = 0;
    SetLastError(kSentinelError);
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, required));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    buffer.resize(*required);
    DWORD written = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), *required, &written));
    EXPECT_EQ(written, *required);
    EXPECT_TRUE(CloseHandle(token));
    return buffer;
}

}  // namespace

TEST(Token, ProcessTokenListsTheAdministratorsGroup) {
    DWORD required = 0;
    std::vector<BYTE> buffer = ReadProcessGroups(&required);
    ASSERT_GE(buffer.size(), sizeof(TOKEN_GROUPS));
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    ASSERT_GT(groups->GroupCount, 0u);
    // The array and the SIDs it points to are all inside the buffer.
    ASSERT_LE(offsetof(TOKEN_GROUPS, Groups) + groups->GroupCount * sizeof(SID_AND_ATTRIBUTES), buffer.size());

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    SetLastError(kSentinelError);
    ASSERT_TRUE(AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                         0, 0, 0, 0, &administrators));
    EXPECT_EQ(GetLastError(), kSentinelError);
    bool listed = false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const auto* sid = static_cast<const BYTE*>(groups->Groups[i].Sid);
        EXPECT_GE(sid, buffer.data());
        EXPECT_LT(sid, buffer.data() + buffer.size());
        if (EqualSid(groups->Groups[i].Sid, administrators)) listed = true;
    }
    EXPECT_TRUE(listed);
    SetLastError(kSentinelError);
    EXPECT_EQ(FreeSid(administrators), nullptr);
    EXPECT_EQ(GetLastError(), kSentinelError);
}

TEST(Token, TooSmallABufferGivesInsufficientBuffer) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD required = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &required);
    ASSERT_GT(required, 0u);
    std::vector<BYTE> buffer(required);
    DWORD needed = 0;
    SetLastError(kSentinelError);
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, buffer.data(), required - 1, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, required);
    EXPECT_TRUE(CloseHandle(token));
}

TEST(Token, ThreadWithoutImpersonationHasNoToken) {
    for (BOOL openAsSelf : {FALSE, TRUE}) {
        HANDLE token = nullptr;
        SetLastError(kSentinelError);
        EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, openAsSelf, &token));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
    }
}

// EqualSid answers through the last error as well: ERROR_SUCCESS whether
// or not the SIDs are equal.
TEST(Token, EqualSidComparesAndSetsTheLastError) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID first = nullptr, second = nullptr, everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0,
                                         0, 0, 0, 0, &first));
    ASSERT_TRUE(AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0,
                                         0, 0, 0, 0, &second));
    ASSERT_TRUE(AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    EXPECT_NE(first, second);

    SetLastError(kSentinelError);
    EXPECT_TRUE(EqualSid(first, second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    SetLastError(kSentinelError);
    EXPECT_FALSE(EqualSid(first, everyone));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    EXPECT_EQ(FreeSid(first), nullptr);
    EXPECT_EQ(FreeSid(second), nullptr);
    EXPECT_EQ(FreeSid(everyone), nullptr);
}
