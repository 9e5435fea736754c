// Named mutexes: how a second CreateMutexA of the same name behaves, what
// OpenMutexA finds, and that ownership belongs to the thread rather than to
// a handle.
#include "conformance.h"

namespace {

// A name of the test's own: the namespace is shared by every process of
// the session, so the process id keeps parallel runs apart.
std::string MutexName(const char* purpose) {
    char name[64];
    wsprintfA(name, "ConformanceTests.%s.%lu", purpose, static_cast<unsigned long>(GetCurrentProcessId()));
    return name;
}

TEST(Mutex, SecondCreateOpensTheExistingObjectAndIgnoresInitialOwner) {
    const std::string name = MutexName("Second");
    SetLastError(kSentinelError);
    HANDLE first = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    SetLastError(kSentinelError);
    HANDLE second = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_NE(second, first);

    // One object, acquired once: bInitialOwner of the second call was
    // ignored. The thread owns it, so either handle releases it, once.
    SetLastError(kSentinelError);
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_EQ(GetLastError(), kSentinelError);
    SetLastError(kSentinelError);
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
}

TEST(Mutex, ReleaseWithoutOwnershipFails) {
    const std::string name = MutexName("NotOwned");
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    SetLastError(kSentinelError);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);

    // A wait acquires it; the owner may wait again and then owes two releases.
    EXPECT_EQ(WaitForSingleObject(mutex, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    SetLastError(kSentinelError);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
    EXPECT_TRUE(CloseHandle(mutex));
}

TEST(Mutex, NameLeavesTheNamespaceWithTheLastHandle) {
    const std::string name = MutexName("LastHandle");
    SetLastError(kSentinelError);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr) << "opening creates nothing";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
    HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(CloseHandle(first));
    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(opened, nullptr);
    EXPECT_TRUE(CloseHandle(opened));

    SetLastError(kSentinelError);
    HANDLE third = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << "one handle still held it";
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(third));

    SetLastError(kSentinelError);
    HANDLE fresh = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(fresh));
}

TEST(Mutex, NamesCompareWithRegardToCaseAndLocalIsTheSessionNamespace) {
    const std::string name = MutexName("Case");
    HANDLE mixed = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mixed, nullptr);

    std::string upper = name;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    SetLastError(kSentinelError);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, upper.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    SetLastError(kSentinelError);
    HANDLE other = CreateMutexA(nullptr, FALSE, upper.c_str());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    SetLastError(kSentinelError);
    HANDLE local = CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);

    SetLastError(kSentinelError);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, ("NoSuchDirectory\\" + name).c_str()), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);

    for (HANDLE h : {mixed, other, local}) EXPECT_TRUE(CloseHandle(h));
}

TEST(Mutex, UnnamedMutexesAreNewEachTime) {
    SetLastError(kSentinelError);
    HANDLE a = CreateMutexA(nullptr, TRUE, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    SetLastError(kSentinelError);
    HANDLE b = CreateMutexA(nullptr, FALSE, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    // b is another object: the thread does not own it.
    EXPECT_FALSE(ReleaseMutex(b));
    EXPECT_TRUE(ReleaseMutex(a));
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(CloseHandle(b));
}

TEST(Mutex, ClosedHandleIsInvalid) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_TRUE(CloseHandle(mutex));
    SetLastError(kSentinelError);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(Process, PseudoHandlesAreMinusOneAndMinusTwo) {
    EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
    EXPECT_EQ(GetCurrentThread(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)));
    EXPECT_NE(GetCurrentProcessId(), 0u);
}

}  // namespace
