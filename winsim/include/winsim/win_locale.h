// KERNEL32 subset: locale names (Vista and later, looked up at run time).
#pragma once

#include "win_types.h"

#define LOCALE_NAME_MAX_LENGTH 85

int WINAPI LCIDToLocaleName(LCID Locale, LPWSTR lpName, int cchName, DWORD dwFlags);
