// Folders of the install media. The program lies in a folder of its own;
// the media folders ("Drivers", "metadata") lie beside that folder, in the
// same parent: a program in D:\Setup\USB\ takes its INF files from
// D:\Setup\Drivers, one in the root E:\ from E:\Drivers.
#pragma once

#include <windows.h>

// Writes the parent of the program's folder, a backslash and the folder
// name of string `nameId` (no trailing backslash). Returns 0 with an empty
// output when the name does not load or the path does not fit.
int GetMediaFolder(UINT nameId, char* out);
