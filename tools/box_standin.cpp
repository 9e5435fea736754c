// Shows one of the program's message boxes outside the situation that
// produces it, for the pictures of the boxes (scripts/screenshots.sh):
// Wine cannot make a user who is not an administrator, and it never has a
// device whose driver cannot stop. The box goes through the program's own
// message code, string table, settings file, icon and manifest, so its text,
// caption and icon are those the program shows.
//
//   box_standin.exe info|error <string number>
//
// "info" shows the message as ShowInfoMessage does, "error" as
// ShowErrorMessage (the program's choice for each message is in
// app/win_main.cpp). Exit code 0 once the box was answered, 2 for a command
// line it does not understand, 3 when the string table has no such string.
#include <windows.h>

#include "app/app_context.h"
#include "app/messages.h"
#include "app/product_settings.h"
#include "app/run_outcome.h"
#include "res/resource.h"

AppContext g_appContext;

namespace {

const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

// The word at p, if it is `word` followed by a blank or the end.
bool TakeWord(const char*& p, const char* word) {
    const char* q = p;
    while (*word && *q == *word) ++q, ++word;
    if (*word || (*q && *q != ' ' && *q != '\t')) return false;
    p = q;
    return true;
}

// A decimal string number that stands alone up to the end of the line.
bool TakeNumber(const char* p, UINT* number) {
    UINT value = 0;
    const char* start = p;
    while (*p >= '0' && *p <= '9' && value < 100000) value = value * 10 + static_cast<UINT>(*p++ - '0');
    if (p == start || *SkipBlanks(p) != '\0') return false;
    *number = value;
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR lpCmdLine, int /*nCmdShow*/) {
    const char* p = SkipBlanks(lpCmdLine);
    const bool error = TakeWord(p, "error");
    if (!error && !TakeWord(p, "info")) return 2;
    UINT id = 0;
    if (!TakeNumber(SkipBlanks(p), &id)) return 2;

    InitAppContext(hInstance, &g_appContext, IDS_PRODUCT_TITLE, IDS_WINDOW_CLASS, IDS_MUTEX_NAME);
    LoadProductSettings();
    ResetRunOutcome(/*quiet=*/false);
    char text[kMessageTextSize] = {};
    int exitCode = 3;
    if (LoadResString(id, text, kMessageTextSize) != 0) {
        if (error)
            ShowErrorMessage(nullptr, id);
        else
            ShowInfoMessage(nullptr, id);
        exitCode = 0;
    }
    ReleaseAppContext();
    return exitCode;
}
