// The port library on Windows: the row, the library's names, and its own problems.
#pragma once

#include <cstdint>

#include "port/backend.h"

namespace port::inpout {

// The port library of the 64-bit build, and the 32-bit build's name, which this program
// cannot load.
inline constexpr const char* kLibrary = "inpoutx64.dll";
inline constexpr const char* kLibrary32 = "inpout32.dll";

// device: the library's name; detail: the folders searched, "; "-separated.
enum class Problem : std::uint8_t {
    LibraryMissing,  // hint Library32Only when only the 32-bit build is there
    WrongBits,       // number: the system's error (193)
    NoOut32,         // the library lacks its Out32 export
    DriverClosed,    // IsInpOutDriverOpen() says its driver is not open: not installed
                     // yet, or blocked (memory integrity and the vulnerable-driver list)
};
enum class Hint : std::uint8_t {
    None,
    Library32Only,  // inpout32.dll is there, the 64-bit program needs inpoutx64.dll
};

extern const BackendRow kInpout;

}  // namespace port::inpout
