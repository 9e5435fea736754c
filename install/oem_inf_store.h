// CInstall: the program's handle on the system's store of OEM INF files.
// It tells whether an INF file describes the phone's drivers, deletes the
// phone's old "oem*.inf" copies with their precompiled .PNF twins, and
// stages the three INF files of the install media into the driver store.
#pragma once

#include "sysaccess/path_text.h"

// The size of the buffers that hold one field of an INF line.
constexpr int kInfFieldSize = 1024;

class CInstall {
public:
    explicit CInstall(int osCode);
    virtual ~CInstall();

    // 1 when the first line of the INF's model section names the phone's
    // hardware ID in its first hardware-ID field. Takes a full path, or a
    // bare name that the Setup API looks up in the system INF folder.
    int IsProductInf(const char* infName);
    // Deletes every oem*.inf of the system INF folder that IsProductInf
    // accepts, with its .PNF twin. 1 when the whole folder was scanned.
    int DeleteOemInfs();
    // Stages the three INF files of the "Drivers" folder. 1 when all three
    // were staged.
    int CopyOemInfs();
    // Deletes stale copies (before Vista only: later the driver store
    // keeps them, and the removal deletes them through pnputil.exe) and
    // stages the INF files; 0 on systems without pre-installation (code 10
    // and below).
    int PreInstall();

private:
    // Loads the hardware ID and the model section the INF test looks for;
    // false when either does not load.
    bool LoadTestStrings();

    int m_osCode;
    bool m_testStringsLoaded;
    char m_hardwareId[kInfFieldSize];
    char m_modelSection[kPathBufferSize];
};

// The folder "Drivers" beside the program's folder (in the same parent),
// without a trailing backslash. 0 with an empty output on failure.
int GetDriverSourceDir(char* out);
