// Token identities and the binary form of SIDs.
#include "winsim/token.h"

#include <windows.h>

#include <string>

namespace winsim {
namespace {

constexpr DWORD kDefaultGroup = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
constexpr DWORD kIntegrityGroup = SE_GROUP_INTEGRITY | SE_GROUP_INTEGRITY_ENABLED;
constexpr const char* kAdministrators = "S-1-5-32-544";

// The groups every interactive local user's token holds on Windows 7,
// before the Administrators entry and the integrity label that tell the
// presets apart.
std::vector<TokenGroup> commonGroups() {
    return {
        {"S-1-5-21-1004336348-1177238915-682003330-513", kDefaultGroup},  // the machine's "None" group
        {"S-1-1-0", kDefaultGroup},                                       // Everyone
    };
}

std::vector<TokenGroup> trailingGroups() {
    return {
        {"S-1-5-32-545", kDefaultGroup},                                          // Users
        {"S-1-5-4", kDefaultGroup},                                               // INTERACTIVE
        {"S-1-2-1", kDefaultGroup},                                               // CONSOLE LOGON
        {"S-1-5-11", kDefaultGroup},                                              // Authenticated Users
        {"S-1-5-15", kDefaultGroup},                                              // This Organization
        {"S-1-5-5-0-129458", kDefaultGroup | static_cast<DWORD>(SE_GROUP_LOGON_ID)},  // the logon session
        {"S-1-2-0", kDefaultGroup},                                               // LOCAL
        {"S-1-5-64-10", kDefaultGroup},                                           // NTLM Authentication
    };
}

TokenIdentity build(const TokenGroup* administrators, const char* integrityLabel) {
    TokenIdentity identity;
    identity.groups = commonGroups();
    if (administrators) identity.groups.push_back(*administrators);
    for (const TokenGroup& g : trailingGroups()) identity.groups.push_back(g);
    identity.groups.push_back({integrityLabel, kIntegrityGroup});
    return identity;
}

}  // namespace

TokenIdentity TokenIdentity::administrator() {
    const TokenGroup admins{kAdministrators, kDefaultGroup | SE_GROUP_OWNER};
    return build(&admins, "S-1-16-12288");  // High Mandatory Level
}

TokenIdentity TokenIdentity::standardUser() { return build(nullptr, "S-1-16-8192"); }  // Medium Mandatory Level

TokenIdentity TokenIdentity::denyOnlyAdministrator() {
    const TokenGroup admins{kAdministrators, SE_GROUP_USE_FOR_DENY_ONLY};
    return build(&admins, "S-1-16-8192");
}

const TokenGroup* TokenIdentity::findGroup(const std::string& sid) const {
    for (const TokenGroup& g : groups)
        if (g.sid == sid) return &g;
    return nullptr;
}

bool TokenIdentity::hasAdministratorRights() const {
    const TokenGroup* admins = findGroup(kAdministrators);
    return admins && (admins->attributes & SE_GROUP_ENABLED) && !(admins->attributes & SE_GROUP_USE_FOR_DENY_ONLY);
}

// --- SIDs ----------------------------------------------------------------

std::optional<std::vector<BYTE>> sidFromString(const std::string& text) {
    if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return std::nullopt;
    std::vector<unsigned long long> numbers;
    size_t pos = 2;
    while (pos <= text.size()) {
        size_t end = text.find('-', pos);
        if (end == std::string::npos) end = text.size();
        if (end == pos) return std::nullopt;
        unsigned long long n = 0;
        for (size_t i = pos; i < end; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            n = n * 10 + static_cast<unsigned>(text[i] - '0');
            if (n > 0xFFFFFFFFFFFFull) return std::nullopt;
        }
        numbers.push_back(n);
        pos = end + 1;
    }
    // Revision 1, an authority, and up to 15 sub-authorities.
    if (numbers.size() < 2 || numbers[0] != SID_REVISION || numbers.size() - 2 > SID_MAX_SUB_AUTHORITIES)
        return std::nullopt;
    std::vector<BYTE> sid;
    sid.push_back(SID_REVISION);
    sid.push_back(static_cast<BYTE>(numbers.size() - 2));
    for (int shift = 40; shift >= 0; shift -= 8) sid.push_back(static_cast<BYTE>(numbers[1] >> shift));
    for (size_t i = 2; i < numbers.size(); ++i) {
        if (numbers[i] > 0xFFFFFFFFull) return std::nullopt;
        const auto value = static_cast<DWORD>(numbers[i]);
        for (int k = 0; k < 4; ++k) sid.push_back(static_cast<BYTE>(value >> (8 * k)));
    }
    return sid;
}

bool isValidSid(const void* sid) {
    if (!sid) return false;
    const auto* bytes = static_cast<const BYTE*>(sid);
    return bytes[0] == SID_REVISION && bytes[1] <= SID_MAX_SUB_AUTHORITIES;
}

size_t sidLength(const void* sid) { return 8 + 4 * static_cast<size_t>(static_cast<const BYTE*>(sid)[1]); }

std::optional<std::string> sidToString(const void* sid) {
    if (!isValidSid(sid)) return std::nullopt;
    const auto* bytes = static_cast<const BYTE*>(sid);
    unsigned long long authority = 0;
    for (int i = 0; i < 6; ++i) authority = (authority << 8) | bytes[2 + i];
    std::string text = "S-1-" + std::to_string(authority);
    for (int i = 0; i < bytes[1]; ++i) {
        const BYTE* p = bytes + 8 + 4 * i;
        const DWORD value = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
        text += "-" + std::to_string(value);
    }
    return text;
}

}  // namespace winsim
