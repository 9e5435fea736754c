#include "conformance.h"

TEST(LastError, SetLastErrorIsReadBack) {
    SetLastError(kSentinelError);
    EXPECT_EQ(GetLastError(), kSentinelError);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
}
