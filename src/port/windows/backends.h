// The Windows backends' rows.
#pragma once

#include "port/backend.h"
#include "port/cable.h"
#include "port/os.h"

namespace port::windows_backends {

// The port library of the 64-bit build, and the 32-bit build's name, which this program
// cannot load.
inline constexpr const char* kLibrary = "inpoutx64.dll";
inline constexpr const char* kLibrary32 = "inpout32.dll";

extern const BackendRow kInpout;

}  // namespace port::windows_backends
