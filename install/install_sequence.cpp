#include "install/install_sequence.h"

#include <windows.h>

#include "app/environment.h"
#include "install/device_metadata.h"
#include "install/oem_inf_store.h"
#include "res/resource.h"
#include "sysaccess/reg_key.h"

int RunInstallSequence(int osCode, int explicitInstall) {
    CInstall store(osCode);
    CReg productKey;
    if (!store.PreInstall()) return 0;
    // A failed metadata deployment neither fails the install nor is shown.
    if (osCode > OS_VISTA) DeployDeviceMetadata();
    if (explicitInstall && productKey.Open(HKEY_LOCAL_MACHINE, IDS_PRODUCT_KEY, kProductKeyAccess)) {
        DWORD old = 0;
        const bool oldRead = productKey.QueryDwordById(IDS_INSTALL_FLAG, &old) != 0;
        SetInstallFlag(productKey, oldRead, old, 1);
    }
    return 1;
}
