// CUninstFile: deletes the files earlier installations of the phone's
// drivers left in the Windows folders: the eight driver files and the OEM
// INF file (with its .PNF twin) recorded for each USB function of the phone;
// on Windows XP also their copies in the LastGood folders.
#pragma once

class CUninstFile {
public:
    explicit CUninstFile(int osCode);
    virtual ~CUninstFile();

    // DeleteInfFiles, then DeleteDriverFiles; returns the latter's result.
    int DeleteAll();
    // 1 (also when skipped below Windows 2000); 0 when a path could not be built.
    int DeleteDriverFiles();
    // 1 (also when skipped below Windows 2000); 0 when a path could not be built.
    int DeleteInfFiles();

    // Writes folder, "\\", name, ".", extension; 0 when it does not fit.
    static int BuildFilePath(char* out, const char* folder, const char* name, const char* extension);
    // Deletes folder\name.extension; 0 when the path does not fit or the
    // file could not be deleted.
    static int RemoveFileByParts(const char* folder, const char* name, const char* extension);

private:
    int m_osCode;
};
