// CreateProcessA: how starting a program that is not there fails.
#include <string>

#include "conformance.h"

namespace {

// CreateProcessA as the product calls it: no window, normal priority, the
// caller's environment and current directory.
BOOL Start(const char* application, const std::string& commandLine, PROCESS_INFORMATION* info) {
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessA(application, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                          nullptr, nullptr, &startup, info);
}

TEST(ProcessStart, MissingProgramByApplicationNameIsFileNotFound) {
    const std::string program = conformance::TestFolder() + "\\missing.exe";
    PROCESS_INFORMATION info = {};
    SetLastError(kSentinelError);
    EXPECT_FALSE(Start(program.c_str(), "missing.exe -f -d oem1.inf", &info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(info.hProcess, nullptr);
    EXPECT_EQ(info.hThread, nullptr);
}

TEST(ProcessStart, MissingFolderOfTheApplicationNameIsPathNotFound) {
    const std::string program = conformance::TestFolder() + "\\no such folder\\missing.exe";
    PROCESS_INFORMATION info = {};
    SetLastError(kSentinelError);
    EXPECT_FALSE(Start(program.c_str(), "missing.exe", &info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(ProcessStart, ModuleOfTheCommandLineFoundNowhereIsFileNotFound) {
    PROCESS_INFORMATION info = {};
    SetLastError(kSentinelError);
    EXPECT_FALSE(Start(nullptr, "conformance-no-such-program.exe -f -d oem1.inf", &info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    // Without an extension ".exe" is appended, and still nothing is found.
    SetLastError(kSentinelError);
    EXPECT_FALSE(Start(nullptr, "conformance-no-such-program -x", &info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

}  // namespace
