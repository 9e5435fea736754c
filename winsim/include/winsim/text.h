// Text conversions for tests: the machine's ANSI code page <-> UTF-8.
#pragma once

#include <string>

namespace winsim {

std::string acpToUtf8(const std::string& ansi);
std::string utf8ToAcp(const std::string& utf8);

}  // namespace winsim
