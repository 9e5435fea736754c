// Fault injection: make a named Win32 call fail with a chosen error code.
//
// Every modelled call asks check() first. A call that an injected fault
// hits fails the way that call reports errors (a registry call returns the
// code; a BOOL or handle call sets the last error and fails).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "win_types.h"

namespace winsim {

class Faults {
public:
    static constexpr int kEvery = -1;

    // Fail the nth call (counted from 0) of `api`, or every call with kEvery.
    void fail(const std::string& api, DWORD error, int nth = kEvery);
    // Fail the call whose index in the whole run is `index` (counted from 0):
    // the shape of a fault sweep that fails each call of a run in turn.
    void failCallNumber(long index, DWORD error);
    void clear();

    // Counts the call and returns the error injected for it, or 0.
    DWORD check(const char* api);

    long callCount() const { return static_cast<long>(log_.size()); }
    // The name of every call checked, in order.
    const std::vector<std::string>& callLog() const { return log_; }
    int callsOf(const std::string& api) const;

private:
    struct Rule {
        DWORD error;
        int nth;
    };
    std::multimap<std::string, Rule> rules_;
    std::map<std::string, int> counts_;
    long failIndex_ = -1;
    DWORD failIndexError_ = 0;
    std::vector<std::string> log_;
};

}  // namespace winsim
