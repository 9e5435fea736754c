// A simulated machine prepared for running the product: the program's own
// string table loaded, the process-wide state of an earlier run forgotten.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/app_context.h"
#include "app/placeholders.h"
#include "winsim/machine.h"
#include "winsim/text.h"

extern const winsim::StringResource kProgramStrings[];
extern const size_t kProgramStringsCount;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// The texts of the program's two messages, as the string table holds them.
extern const char* const kInstallFailedText;
std::string NotAdministratorText(const std::string& category);

class ProductTest : public ::testing::Test {
protected:
    ProductTest();
    void TearDown() override;

    // Runs the whole program with this command line and returns its exit code.
    int RunProgram(const char* commandLine);
    // Sets up the application context (and the settings) as the entry point
    // does, for tests of single components.
    void InitContext();

    // The program's folder in the machine, with its trailing backslash (UTF-8).
    std::string ProgramFolder() const;

    winsim::Machine m;
    AppContext context_{};
};
