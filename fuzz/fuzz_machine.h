// What every fuzz target shares: a fresh simulated machine per input with
// the program's string table, the application context set up the way the
// entry point sets it up, and a check that stops the run on a broken
// property.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_context.h"
#include "winsim/machine.h"
#include "winsim/text.h"

// Aborts with a message when a property of the code under test does not
// hold; libFuzzer reports the abort as a crash and keeps the input.
#define FUZZ_CHECK(condition, ...)                                                      \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                          \
            std::fputc('\n', stderr);                                                   \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// The two ANSI code pages the product meets: Western (1252) and Japanese
// (932, where a double-byte character's second byte may be '\\' or '%').
enum class CodePage { Western, Japanese };

// The code page an input asks for in its first byte's low bit.
CodePage CodePageOf(uint8_t selector);

class FuzzMachine {
public:
    explicit FuzzMachine(CodePage codePage);
    // Releases the context and checks that nothing the product opened was
    // left open.
    ~FuzzMachine();
    FuzzMachine(const FuzzMachine&) = delete;
    FuzzMachine& operator=(const FuzzMachine&) = delete;

    // As WinMain starts: the application context, then the settings file.
    void InitContext();
    // The program's folder with its trailing backslash (UTF-8).
    std::string ProgramFolder() const;
    // Writes the settings file beside the program, its bytes as given.
    void WriteSettings(const std::string& bytes);

    winsim::Machine m;
    AppContext context{};

private:
    bool initialised_ = false;
};

// Whether `text` (in the machine's code page) ends inside a double-byte
// character: its last byte is a lead byte with no trail byte after it.
bool EndsInLeadByte(const char* text);

// Whether `buffer` of `size` bytes holds a terminator.
bool IsTerminatedWithin(const char* buffer, size_t size);

// What the settings file may never leave in the context, whatever it holds:
// terminated names that are not empty and do not end inside a double-byte
// character, and an icon path that is empty or names a file inside the
// program's folder.
void CheckSettingsContext(const AppContext& context);
