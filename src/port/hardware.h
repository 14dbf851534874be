// Choosing and opening the backend of a port address.
#pragma once

#include "port/backend.h"

namespace port {

// The program's opener: emulator, ppdev, ioport, or auto.
BackendOpener hardwareOpener();

}  // namespace port
