// The current user's access token: group SIDs with their attributes, and
// an optional impersonation token on the thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "handles.h"
#include "win_types.h"

namespace winsim {

struct TokenGroup {
    std::string sid;  // "S-1-5-32-544"
    DWORD attributes;
};

struct TokenIdentity {
    std::vector<TokenGroup> groups;

    // An elevated member of Administrators (S-1-5-32-544 with attributes
    // 0xF: mandatory, enabled by default, enabled, owner), high integrity.
    static TokenIdentity administrator();
    // A member of Users only, medium integrity.
    static TokenIdentity standardUser();
    // Administrators present only for deny checks (UAC's filtered token),
    // medium integrity.
    static TokenIdentity denyOnlyAdministrator();

    // True when the groups hold S-1-5-32-544 enabled (not deny-only): the
    // identity Windows grants administrator access to.
    bool hasAdministratorRights() const;
    const TokenGroup* findGroup(const std::string& sid) const;
};

struct Token {
    TokenIdentity process = TokenIdentity::administrator();
    std::optional<TokenIdentity> threadImpersonation;

    // The identity that access checks use: the impersonation token if any.
    const TokenIdentity& effective() const {
        return threadImpersonation ? *threadImpersonation : process;
    }

    // SIDs from AllocateAndInitializeSid that FreeSid has not given back,
    // by address. The machine owns their memory, so a SID the program
    // forgets to free is reported by the test, not by the leak checker.
    std::map<void*, std::shared_ptr<std::vector<BYTE>>> allocatedSids;
};

// An open token handle: the identity it was opened on and the access
// granted.
struct TokenObject : KernelObject {
    TokenIdentity identity;
    DWORD granted = 0;
};

// SIDs between their text form ("S-1-5-32-544") and their binary form
// (revision, sub-authority count, 48-bit big-endian authority, then the
// sub-authorities as 32-bit little-endian values).
std::optional<std::vector<BYTE>> sidFromString(const std::string& text);
// The text form of a valid binary SID; nothing for an invalid one.
std::optional<std::string> sidToString(const void* sid);
// Whether the bytes form a SID Windows accepts (revision 1, at most 15
// sub-authorities).
bool isValidSid(const void* sid);
size_t sidLength(const void* sid);

}  // namespace winsim
