// winsim's <windows.h>: the subset of the Windows API that the product
// uses, with Windows' exact types and sizes. A call that is not declared
// here is a compile error in the native build, never a silent stub.
#pragma once

// The native build stands for the product's x86_64 build: on a 64-bit host
// it is compiled as Windows compilers compile a 64-bit program.
#if __SIZEOF_POINTER__ == 8 && !defined(_WIN64)
#define _WIN64 1
#endif

#include "winsim/win_types.h"
#include "winsim/win_errors.h"
#include "winsim/win_kernel.h"
#include "winsim/win_user.h"
#include "winsim/win_advapi.h"
#include "winsim/win_version.h"
#include "winsim/win_services.h"
#include "winsim/win_process.h"
#include "winsim/win_locale.h"
