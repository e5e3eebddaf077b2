// Zentarix platform layer — MIT licence.
// Umbrella header: the Windows API subset this platform layer provides.
#pragma once
#include "wtypes.h"
#include "winbase.h"
#include "unknwn.h"
#include "oaidl.h"
#include "objidl.h"
#include "oleauto.h"
#include "objbase.h"
#include "winreg.h"
#include "rpc.h"
