// winsim's <shlobj.h>: known folders (Vista and later, looked up at run time).
#pragma once

#include "knownfolders.h"
#include "objbase.h"
#include "windows.h"

HRESULT WINAPI SHGetKnownFolderPath(REFKNOWNFOLDERID rfid, DWORD dwFlags, HANDLE hToken, LPWSTR* ppszPath);
