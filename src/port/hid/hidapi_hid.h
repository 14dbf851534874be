// The system's USB HID devices through hidapi: the hidraw nodes on Linux, the HID class
// driver on Windows. Neither needs a driver of ours.
#pragma once

#include "port/os.h"

namespace port {

Hid& hidapiHid();

}  // namespace port
