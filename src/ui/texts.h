// What every sentence file shares: how a setting, a device, a system error and a group are
// said. For the sentence files alone (messages.cpp and backends/).
#pragma once

#include <string>

#include "port/errors.h"

namespace ui::texts {

// The system's error in French, whatever the user's locale.
std::string errnoText(int err);
// What the user typed, as a sentence may quote it: at most 80 characters, every byte that
// is not printable UTF-8 as \xNN.
std::string shown(const std::string& text);
// "VELMORIN_LPT1="/dev/i2c-1@27" : ", before a setting's fault.
std::string settingSaid(const port::Error& e);
// "VELMORIN_LPT1=/dev/i2c-1", the device a setting named.
std::string deviceNamed(const port::Error& e);
// "/dev/i2c-1 — bcm2835 (i2c@7e804000)": a device and what the system calls it, if anything.
std::string deviceAndName(const std::string& device, const std::string& name);
// " ; ajoutez votre utilisateur au groupe lp (...)".
std::string joinGroup(const std::string& group);

}  // namespace ui::texts
