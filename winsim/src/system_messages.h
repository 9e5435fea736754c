// The system message table that FormatMessageA reads with
// FORMAT_MESSAGE_FROM_SYSTEM: the texts of the error codes the product can
// meet, in English and in Japanese, as Windows 7 words them.
#pragma once

#include <cstddef>

#include "winsim/win_types.h"

namespace winsim {

struct SystemMessage {
    DWORD code;
    const char* english;   // UTF-8, ending in "\r\n"
    const char* japanese;  // UTF-8, ending in "\r\n"
};

// The entry for `code`, or null. Setup API errors are listed under their
// HRESULT form (0x800Fxxxx) only, as in Windows' table.
const SystemMessage* findSystemMessage(DWORD code);

// Every entry, for tests that check the table itself.
const SystemMessage* systemMessages(size_t* count);

}  // namespace winsim
