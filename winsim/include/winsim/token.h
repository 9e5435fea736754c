// The current user's access token: group SIDs with their attributes, and
// an optional impersonation token on the thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

struct TokenGroup {
    std::string sid;  // "S-1-5-32-544"
    DWORD attributes;
};

struct TokenIdentity {
    std::vector<TokenGroup> groups;

    static TokenIdentity administrator();
    static TokenIdentity standardUser();
    // Administrators present only for deny checks (UAC's filtered token).
    static TokenIdentity denyOnlyAdministrator();

    // True when the groups hold S-1-5-32-544 enabled (not deny-only): the
    // identity Windows grants administrator access to.
    bool hasAdministratorRights() const;
};

struct Token {
    TokenIdentity process = TokenIdentity::administrator();
    std::optional<TokenIdentity> threadImpersonation;

    // The identity that access checks use: the impersonation token if any.
    const TokenIdentity& effective() const {
        return threadImpersonation ? *threadImpersonation : process;
    }
};

}  // namespace winsim
