// winsim's <objbase.h>: COM task memory.
#pragma once

#include "windows.h"

void WINAPI CoTaskMemFree(LPVOID pv);
