#include "install/install_sequence.h"

#include <windows.h>

#include "app/environment.h"
#include "install/device_metadata.h"
#include "install/oem_inf_store.h"
#include "app/run_log.h"
#include "res/resource.h"
#include "sysaccess/reg_key.h"

int RunInstallSequence(int osCode, int explicitInstall) {
    CInstall store(osCode);
    CReg productKey;
    if (!store.PreInstall()) return 0;
    // A failed metadata deployment neither fails the install nor is shown.
    if (osCode > OS_VISTA) DeployDeviceMetadata();
    if (explicitInstall && productKey.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, KEY_ALL_ACCESS)) {
        // The old value only goes to the log; a value that does not read is "none".
        DWORD old = 0;
        char oldText[16] = "none";
        if (productKey.QueryDwordById(IDS_INSTALL_FLAG, &old)) wsprintfA(oldText, "%lu", old);
        if (productKey.SetDwordById(IDS_INSTALL_FLAG, 1)) LogEvent("install flag", oldText, "1");
    }
    return 1;
}
