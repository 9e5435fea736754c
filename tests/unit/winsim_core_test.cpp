#include <gtest/gtest.h>
#include <windows.h>

#include "winsim/machine.h"

TEST(WinsimCore, LastErrorBelongsToTheCurrentMachine) {
    winsim::Machine m;
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    {
        winsim::Machine inner;
        EXPECT_EQ(GetLastError(), 0u);
    }
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST(WinsimCore, FaultsHitTheNamedCallOrTheNumberedCall) {
    winsim::Faults f;
    f.fail("RegOpenKeyExA", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(f.check("RegOpenKeyExA"), 0u);
    EXPECT_EQ(f.check("RegOpenKeyExA"), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(f.check("RegOpenKeyExA"), 0u);
    f.failCallNumber(3, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(f.check("DeleteFileA"), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(f.callCount(), 4);
    EXPECT_EQ(f.callsOf("RegOpenKeyExA"), 3);
}
