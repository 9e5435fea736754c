// winsim's processes: where CreateProcessA finds a program, the handles
// and the log it leaves, and the simulated pnputil.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "winsim/machine.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

class WinsimProcesses : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& call : m.unimplemented) ADD_FAILURE() << "not modelled: " << call;
    }

    // Places a program whose runs are recorded under `label`.
    void Plant(const std::string& path, const std::string& label, DWORD exitCode = 0) {
        m.processes.install(path, [this, label, exitCode](const std::string& line, winsim::Machine&) {
            ran.push_back(label + ": " + line);
            return exitCode;
        });
    }

    // CreateProcessA as the product calls it; the handles are closed.
    BOOL Start(const char* application, const char* commandLine, DWORD* error = nullptr) {
        std::string line = commandLine ? commandLine : "";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        SetLastError(kSentinel);
        const BOOL ok = CreateProcessA(application, commandLine ? &line[0] : nullptr, nullptr, nullptr, FALSE,
                                       CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info);
        if (error) *error = GetLastError();
        if (ok) {
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
        return ok;
    }

    std::string ProgramFolder() const {
        return m.modules.programPath.substr(0, m.modules.programPath.rfind('\\'));
    }

    winsim::Machine m;
    std::vector<std::string> ran;
};

TEST_F(WinsimProcesses, ApplicationNameRunsThatFileWithTheCommandLineAsGiven) {
    Plant("C:\\Tools\\tool.exe", "tool", 7);
    std::string line = "tool.exe /x \"a b\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    SetLastError(kSentinel);
    ASSERT_TRUE(CreateProcessA("c:\\tools\\TOOL.EXE", &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &info));
    EXPECT_EQ(GetLastError(), kSentinel) << "success leaves the last error alone";
    EXPECT_EQ(ran, std::vector<std::string>{"tool: tool.exe /x \"a b\""});

    // The program has ended by the time the caller waits for it.
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(info.hThread, 0), (DWORD)WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_NE(info.dwProcessId, 0u);

    ASSERT_EQ(m.processes.starts.size(), 1u);
    const winsim::ProcessStart& start = m.processes.starts[0];
    EXPECT_TRUE(start.applicationNameGiven);
    EXPECT_EQ(start.applicationName, "c:\\tools\\TOOL.EXE");
    EXPECT_EQ(start.image, "C:\\Tools\\tool.exe");
    EXPECT_EQ(start.creationFlags, (DWORD)CREATE_NO_WINDOW);
    EXPECT_EQ(start.startupInfoSize, (DWORD)sizeof(STARTUPINFOA));
    EXPECT_EQ(start.exitCode, 7u);

    EXPECT_EQ(m.handles.openCount(winsim::HandleKind::Process), 1u);
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_EQ(m.handles.openCount(), 0u);
    SetLastError(kSentinel);
    EXPECT_FALSE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(WinsimProcesses, ApplicationNameIsNeverSearchedFor) {
    DWORD error = 0;
    // pnputil.exe is in the system folder, but a partial application name
    // is completed from the current directory only.
    EXPECT_FALSE(Start("pnputil.exe", "pnputil.exe -f -d oem1.inf", &error));
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Start("C:\\NoFolder\\pnputil.exe", "pnputil.exe", &error));
    EXPECT_EQ(error, (DWORD)ERROR_PATH_NOT_FOUND);
    // No default extension either.
    EXPECT_FALSE(Start("C:\\WINDOWS\\system32\\pnputil", "pnputil", &error));
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);

    // A relative name is taken from the current directory.
    Plant("C:\\Work\\tool.exe", "work");
    m.files.currentDirectory = "C:\\Work";
    EXPECT_TRUE(Start("tool.exe", "tool.exe"));
    EXPECT_EQ(ran.size(), 1u);
    // Failed starts are logged with their error.
    ASSERT_EQ(m.processes.starts.size(), 4u);
    EXPECT_EQ(m.processes.starts[0].error, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(m.processes.starts[0].image.empty());
}

TEST_F(WinsimProcesses, CommandLineSearchTakesTheProgramFolderThenCurrentThenSystemFolders) {
    Plant("C:\\WINDOWS\\tool.exe", "windows");
    Plant("C:\\WINDOWS\\system\\tool.exe", "system16");
    Plant("C:\\WINDOWS\\system32\\tool.exe", "system32");
    Plant("C:\\Work\\tool.exe", "current");
    Plant(ProgramFolder() + "\\tool.exe", "program");
    m.files.currentDirectory = "C:\\Work";

    const std::vector<std::string> order = {"program", "current", "system32", "system16", "windows"};
    const std::vector<std::string> paths = {ProgramFolder() + "\\tool.exe", "C:\\Work\\tool.exe",
                                            "C:\\WINDOWS\\system32\\tool.exe", "C:\\WINDOWS\\system\\tool.exe",
                                            "C:\\WINDOWS\\tool.exe"};
    for (size_t i = 0; i < order.size(); ++i) {
        ran.clear();
        ASSERT_TRUE(Start(nullptr, "tool -x")) << order[i];
        EXPECT_EQ(ran, std::vector<std::string>{order[i] + ": tool -x"});
        m.files.remove(paths[i]);
    }
    DWORD error = 0;
    EXPECT_FALSE(Start(nullptr, "tool -x", &error));
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
}

// A 32-bit process looks for programs in SysWOW64 when it names System32:
// Windows' 64-bit pnputil.exe is out of its reach.
TEST_F(WinsimProcesses, AThirtyTwoBitProcessSearchesSysWow64ForTheSystemFolder) {
    m.system.process32 = true;
    DWORD error = 0;
    EXPECT_FALSE(Start(nullptr, "pnputil.exe -f -d oem9.inf", &error));
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Start("C:\\WINDOWS\\system32\\pnputil.exe", "pnputil.exe -f -d oem9.inf", &error));
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
    Plant("C:\\WINDOWS\\SysWOW64\\tool.exe", "syswow64");
    ASSERT_TRUE(Start(nullptr, "tool -x"));
    EXPECT_EQ(ran, std::vector<std::string>{"syswow64: tool -x"});
    EXPECT_TRUE(Start("C:\\WINDOWS\\Sysnative\\pnputil.exe", "pnputil.exe -f -d oem9.inf"));
}

TEST_F(WinsimProcesses, PlantedPnpUtilBesideTheProgramWinsTheCommandLineSearchOnly) {
    Plant(ProgramFolder() + "\\pnputil.exe", "planted");
    EXPECT_TRUE(Start(nullptr, "pnputil.exe -f -d oem9.inf"));
    EXPECT_EQ(ran, std::vector<std::string>{"planted: pnputil.exe -f -d oem9.inf"});
    ran.clear();
    DWORD error = 0;
    EXPECT_TRUE(Start(winsim::Processes::kPnpUtilPath, "pnputil.exe -f -d oem9.inf", &error));
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(m.processes.runsOf(winsim::Processes::kPnpUtilPath).size(), 1u);
}

TEST_F(WinsimProcesses, UnquotedNameWithSpacesTakesTheFirstRunThatExists) {
    Plant("C:\\Program Files\\Sub Dir\\program name.exe", "long");
    EXPECT_TRUE(Start(nullptr, "C:\\Program Files\\Sub Dir\\program name.exe arg"));
    EXPECT_EQ(ran.back(), "long: C:\\Program Files\\Sub Dir\\program name.exe arg");
    // "c:\program.exe" is tried first, so a file there is what runs.
    Plant("C:\\program.exe", "short");
    EXPECT_TRUE(Start(nullptr, "C:\\Program Files\\Sub Dir\\program name.exe arg"));
    EXPECT_EQ(ran.back(), "short: C:\\Program Files\\Sub Dir\\program name.exe arg");
    // Quotes end the name where they close.
    EXPECT_TRUE(Start(nullptr, "\"C:\\Program Files\\Sub Dir\\program name.exe\" arg"));
    EXPECT_EQ(ran.back(), "long: \"C:\\Program Files\\Sub Dir\\program name.exe\" arg");
}

TEST_F(WinsimProcesses, ProgramRunsInItsOwnProcessAndKeepsTheCallersLastError) {
    m.processes.install("C:\\Tools\\noisy.exe", [](const std::string&, winsim::Machine&) {
        SetLastError(ERROR_ACCESS_DENIED);
        return DWORD{1};
    });
    EXPECT_TRUE(Start("C:\\Tools\\noisy.exe", "noisy"));
    EXPECT_EQ(GetLastError(), kSentinel);
}

TEST_F(WinsimProcesses, FileWithoutBehaviourOrAFolderFailsLoudly) {
    m.files.writeFile("C:\\Tools\\unknown.exe", "MZ");
    DWORD error = 0;
    EXPECT_FALSE(Start("C:\\Tools\\unknown.exe", "unknown", &error));
    EXPECT_EQ(error, (DWORD)ERROR_CALL_NOT_IMPLEMENTED);
    // Windows and Wine disagree on the error for a folder.
    m.files.createDirectory("C:\\Tools\\folder.exe");
    m.files.currentDirectory = "C:\\Tools";
    EXPECT_FALSE(Start(nullptr, "folder.exe", &error));
    EXPECT_FALSE(Start("C:\\Tools\\folder.exe", "folder.exe", &error));
    EXPECT_EQ(m.unimplemented.size(), 3u);
    m.unimplemented.clear();
    EXPECT_EQ(m.handles.openCount(), 0u);
}

TEST_F(WinsimProcesses, InjectedFaultFailsTheStart) {
    m.faults.fail("CreateProcessA", ERROR_NOT_ENOUGH_MEMORY);
    DWORD error = 0;
    EXPECT_FALSE(Start(winsim::Processes::kPnpUtilPath, "pnputil.exe -f -d oem1.inf", &error));
    EXPECT_EQ(error, (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(m.handles.openCount(), 0u);
}

TEST(WinsimCommandLine, SplitsAsTheCRuntimeDoes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(winsim::splitCommandLine("pnputil.exe -f -d oem1.inf"), (V{"pnputil.exe", "-f", "-d", "oem1.inf"}));
    EXPECT_EQ(winsim::splitCommandLine("  a\t\"b c\"d  "), (V{"a", "b cd"}));
    EXPECT_EQ(winsim::splitCommandLine("a\\\\\"b c\" \\\"q\\x"), (V{"a\\b c", "\"q\\x"}));
    EXPECT_EQ(winsim::splitCommandLine(""), V{});
}

// The simulated pnputil.exe, started as the product starts it.
class WinsimPnpUtil : public WinsimProcesses {
protected:
    std::string Publish(const std::string& name) {
        return m.driverStore.seed(m.files, "C:\\WINDOWS\\INF", name,
                                  "[Version]\r\nSignature=\"$Windows NT$\"\r\n; " + name + "\r\n");
    }
    DWORD Run(const std::string& commandLine) {
        EXPECT_TRUE(Start(winsim::Processes::kPnpUtilPath, commandLine.c_str()));
        return m.processes.starts.back().exitCode;
    }
};

TEST_F(WinsimPnpUtil, ForcedDeleteRemovesThePublishedPackage) {
    const std::string first = Publish("a.inf");
    const std::string second = Publish("b.inf");
    ASSERT_EQ(first, "oem0.inf");
    EXPECT_EQ(Run("pnputil.exe -f -d OEM0.INF"), 0u);
    EXPECT_EQ(m.driverStore.find(m.files, first), nullptr);
    EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\INF\\oem0.inf"));
    EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\INF\\oem0.PNF"));
    EXPECT_NE(m.driverStore.find(m.files, second), nullptr);
    EXPECT_EQ(Run("pnputil.exe -d " + second + " -f"), 0u);
    EXPECT_TRUE(m.driverStore.published(m.files).empty());
}

TEST_F(WinsimPnpUtil, UnknownPackageOrMissingRightsGiveAnExitCode) {
    EXPECT_EQ(Run("pnputil.exe -f -d oem77.inf"), (DWORD)ERROR_FILE_NOT_FOUND);
    const std::string package = Publish("c.inf");
    m.token.process = winsim::TokenIdentity::standardUser();
    EXPECT_EQ(Run("pnputil.exe -f -d " + package), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_NE(m.driverStore.find(m.files, package), nullptr);
}

TEST_F(WinsimPnpUtil, RemovedUtilityCannotBeStarted) {
    m.files.remove(winsim::Processes::kPnpUtilPath);
    DWORD error = 0;
    EXPECT_FALSE(Start(winsim::Processes::kPnpUtilPath, "pnputil.exe -f -d oem1.inf", &error));
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
}

}  // namespace
