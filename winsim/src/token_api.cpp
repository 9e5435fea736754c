// Token and SID functions of ADVAPI32 over the simulated user's token.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>
#include <cstring>

#include "winsim/machine.h"

using winsim::Machine;

namespace {

// ERROR_NOACCESS: an output pointer Windows cannot write to.
constexpr DWORD kErrorNoAccess = 998;
// ERROR_INVALID_SID.
constexpr DWORD kErrorInvalidSid = 1337;

constexpr DWORD kGenericRead = 0x80000000;
constexpr DWORD kGenericWrite = 0x40000000;
constexpr DWORD kGenericExecute = 0x20000000;
constexpr DWORD kGenericAll = 0x10000000;

// GetCurrentProcess() and GetCurrentThread() hand out these pseudo-handles.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

BOOL fail(Machine& m, DWORD error) {
    m.lastError = error;
    return FALSE;
}

// Windows 95/98/Me have no access tokens: their ADVAPI32 exports the
// security functions as stubs that fail with ERROR_CALL_NOT_IMPLEMENTED.
bool lacksSecurity(const Machine& m) { return m.system.platformId == VER_PLATFORM_WIN32_WINDOWS; }

// The owner of a token gets every right it asks for; generic rights map to
// the token's specific ones as Windows' generic mapping for tokens does.
DWORD tokenAccess(DWORD desired) {
    if (desired & (MAXIMUM_ALLOWED | kGenericAll)) return TOKEN_ALL_ACCESS;
    DWORD granted = desired & ~(kGenericRead | kGenericWrite | kGenericExecute);
    if (desired & kGenericRead) granted |= READ_CONTROL | TOKEN_QUERY;
    if (desired & kGenericWrite) granted |= READ_CONTROL | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT;
    if (desired & kGenericExecute) granted |= READ_CONTROL | TOKEN_IMPERSONATE;
    return granted;
}

HANDLE newTokenHandle(Machine& m, const winsim::TokenIdentity& identity, DWORD desired) {
    auto object = std::make_shared<winsim::TokenObject>();
    object->identity = identity;
    object->granted = tokenAccess(desired);
    return m.handles.add(winsim::HandleKind::Token, object);
}

// A handle to another process or thread than the current one: processes
// that winsim starts are simulated programs without tokens of their own.
BOOL otherHandle(Machine& m, HANDLE handle, winsim::HandleKind kind, const char* what) {
    if (m.handles.isOpen(handle) && m.handles.kindOf(handle) == kind) {
        winsim::notImplemented(std::string(what) + " of another process or thread");
        return FALSE;
    }
    return fail(m, ERROR_INVALID_HANDLE);
}

}  // namespace

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("OpenProcessToken")) return fail(m, e);
    if (lacksSecurity(m)) return fail(m, ERROR_CALL_NOT_IMPLEMENTED);
    if (ProcessHandle != kCurrentProcess)
        return otherHandle(m, ProcessHandle, winsim::HandleKind::Process, "OpenProcessToken");
    if (!TokenHandle) return fail(m, kErrorNoAccess);
    *TokenHandle = newTokenHandle(m, m.token.process, DesiredAccess);
    return TRUE;
}

BOOL WINAPI OpenThreadToken(HANDLE ThreadHandle, DWORD DesiredAccess, BOOL OpenAsSelf, PHANDLE TokenHandle) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("OpenThreadToken")) return fail(m, e);
    if (lacksSecurity(m)) return fail(m, ERROR_CALL_NOT_IMPLEMENTED);
    // OpenAsSelf only chooses whose security context checks the access to
    // the token; the owner is granted what it asks for either way.
    (void)OpenAsSelf;
    if (ThreadHandle != kCurrentThread)
        return otherHandle(m, ThreadHandle, winsim::HandleKind::Thread, "OpenThreadToken");
    if (!TokenHandle) return fail(m, kErrorNoAccess);
    // A thread that does not impersonate has no token of its own.
    if (!m.token.threadImpersonation) return fail(m, ERROR_NO_TOKEN);
    *TokenHandle = newTokenHandle(m, *m.token.threadImpersonation, DesiredAccess);
    return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("GetTokenInformation")) return fail(m, e);
    if (lacksSecurity(m)) return fail(m, ERROR_CALL_NOT_IMPLEMENTED);
    auto token = m.handles.get<winsim::TokenObject>(TokenHandle, winsim::HandleKind::Token);
    if (!token) return fail(m, ERROR_INVALID_HANDLE);
    if (TokenInformationClass != TokenGroups) {
        winsim::notImplemented("GetTokenInformation with information class " +
                               std::to_string(static_cast<int>(TokenInformationClass)));
        return FALSE;
    }
    if (!(token->granted & TOKEN_QUERY)) return fail(m, ERROR_ACCESS_DENIED);

    // TOKEN_GROUPS: the count, the array of SID pointers and attributes,
    // then the SIDs themselves, all in the caller's buffer.
    std::vector<std::vector<BYTE>> sids;
    size_t required = offsetof(TOKEN_GROUPS, Groups) + token->identity.groups.size() * sizeof(SID_AND_ATTRIBUTES);
    for (const winsim::TokenGroup& group : token->identity.groups) {
        auto sid = winsim::sidFromString(group.sid);
        if (!sid) {
            winsim::notImplemented("a token group with the malformed SID " + group.sid);
            return FALSE;
        }
        required += sid->size();
        sids.push_back(std::move(*sid));
    }
    // The size goes wherever ReturnLength points; without it the call
    // still answers (Wine's behaviour, the documentation being silent).
    if (ReturnLength) *ReturnLength = static_cast<DWORD>(required);
    if (TokenInformationLength < required) return fail(m, ERROR_INSUFFICIENT_BUFFER);
    if (!TokenInformation) return fail(m, kErrorNoAccess);

    auto* buffer = static_cast<BYTE*>(TokenInformation);
    auto* groups = static_cast<TOKEN_GROUPS*>(TokenInformation);
    groups->GroupCount = static_cast<DWORD>(sids.size());
    auto* entries = reinterpret_cast<SID_AND_ATTRIBUTES*>(buffer + offsetof(TOKEN_GROUPS, Groups));
    BYTE* sidArea = buffer + offsetof(TOKEN_GROUPS, Groups) + sids.size() * sizeof(SID_AND_ATTRIBUTES);
    for (size_t i = 0; i < sids.size(); ++i) {
        std::memcpy(sidArea, sids[i].data(), sids[i].size());
        entries[i].Sid = sidArea;
        entries[i].Attributes = token->identity.groups[i].attributes;
        sidArea += sids[i].size();
    }
    return TRUE;
}

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority, BYTE nSubAuthorityCount,
                                     DWORD nSubAuthority0, DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4, DWORD nSubAuthority5,
                                     DWORD nSubAuthority6, DWORD nSubAuthority7, PSID* pSid) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("AllocateAndInitializeSid")) return fail(m, e);
    if (!pIdentifierAuthority || !pSid) return fail(m, ERROR_INVALID_PARAMETER);
    // The function takes at most eight sub-authorities.
    if (nSubAuthorityCount > 8) return fail(m, kErrorInvalidSid);
    const DWORD values[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                             nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
    const size_t size = 8 + 4 * static_cast<size_t>(nSubAuthorityCount);
    auto storage = std::make_shared<std::vector<BYTE>>(size);
    BYTE* sid = storage->data();
    sid[0] = SID_REVISION;
    sid[1] = nSubAuthorityCount;
    std::memcpy(sid + 2, pIdentifierAuthority->Value, 6);
    std::memcpy(sid + 8, values, 4 * static_cast<size_t>(nSubAuthorityCount));
    m.token.allocatedSids[sid] = std::move(storage);
    *pSid = sid;
    return TRUE;
}

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("EqualSid")) return fail(m, e);
    bool equal = false;
    if (winsim::isValidSid(pSid1) && winsim::isValidSid(pSid2)) {
        const size_t length = winsim::sidLength(pSid1);
        equal = length == winsim::sidLength(pSid2) && std::memcmp(pSid1, pSid2, length) == 0;
    }
    // From Windows 2000 on EqualSid sets the last error to ERROR_SUCCESS
    // whether or not the SIDs are equal; NT 4.0 left it alone.
    if (m.system.major >= 5) m.lastError = ERROR_SUCCESS;
    return equal ? TRUE : FALSE;
}

PVOID WINAPI FreeSid(PSID pSid) {
    Machine& m = winsim::current();
    if (DWORD e = m.faults.check("FreeSid")) {
        m.lastError = e;
        return pSid;
    }
    // Only SIDs from AllocateAndInitializeSid may be freed here; the
    // failure value is the pointer itself.
    auto it = m.token.allocatedSids.find(pSid);
    if (it == m.token.allocatedSids.end()) return pSid;
    m.token.allocatedSids.erase(it);
    return nullptr;
}
