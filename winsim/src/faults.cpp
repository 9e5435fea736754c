#include "winsim/faults.h"

namespace winsim {

void Faults::fail(const std::string& api, DWORD error, int nth) { rules_.insert({api, Rule{error, nth}}); }

void Faults::failCallNumber(long index, DWORD error) {
    failIndex_ = index;
    failIndexError_ = error;
}

void Faults::clear() {
    rules_.clear();
    counts_.clear();
    failIndex_ = -1;
    failIndexError_ = 0;
    log_.clear();
}

DWORD Faults::check(const char* api) {
    const long index = static_cast<long>(log_.size());
    log_.push_back(api);
    const int nth = counts_[api]++;
    if (index == failIndex_) return failIndexError_;
    auto range = rules_.equal_range(api);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.nth == kEvery || it->second.nth == nth) return it->second.error;
    }
    return 0;
}

int Faults::callsOf(const std::string& api) const {
    auto it = counts_.find(api);
    return it == counts_.end() ? 0 : it->second;
}

}  // namespace winsim
