// The USB-I2C bridges (MCP2221A, CP2112, FT260), in words: a bridge that is not there, or
// not ours, whichever expander is behind it.
#include "port/i2c/bridges.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {
namespace {

using Problem = port::i2c::BridgeProblem;
using Hint = port::i2c::BridgeHint;

std::string problem(const port::Error& e) {
    switch (static_cast<Problem>(e.code)) {
        case Problem::NoBridge:
            return "aucun pont USB-I2C « " + e.device + " » n'est branché" +
                   (e.detail.empty() ? std::string() : " (ponts branchés : " + e.detail + ")") +
                   (e.choices.empty()
                        ? " ; branchez-le (mcp2221, cp2112 ou ft260, avec :NUMÉRO_DE_SÉRIE si "
                          "besoin) ; le pilote HID de Windows suffit, rien n'est à installer"
                        : " ; branchez-le ; s'il l'est, chargez son pilote : sudo modprobe " +
                              e.choices + " i2c-dev");
        case Problem::NoHid:
            return "les ponts USB-I2C sont hors d'atteinte : la couche HID du système ne "
                   "démarre pas (" +
                   e.detail +
                   ") ; il faut Windows 8 ou plus récent (wine n'en offre pas tout) ; sinon, "
                   "un port parallèle";
        case Problem::ManyBridges: {
            // "CP2112 0001, CP2112 0002": the first one's serial number for the example.
            const std::string first = e.detail.substr(0, e.detail.find(','));
            const std::string serial = first.substr(first.find(' ') + 1);
            return "plusieurs ponts répondent à « " + e.device + " » : " + e.detail +
                   " ; nommez le vôtre par son numéro de série, par exemple " +
                   e.device.substr(0, e.device.find(':')) + ":" + serial + "@0x27";
        }
    }
    return {};
}

std::string hint(const port::Error& e) {
    switch (static_cast<Hint>(e.hint)) {
        case Hint::None:
            return {};
        case Hint::HidrawUdevRule:
            return " ; le nœud hidraw du pont n'est ouvert qu'à root : installez la règle udev "
                   "fournie (sudo cp /usr/share/doc/velmorin/examples/60-velmorin-usb-i2c.rules "
                   "/etc/udev/rules.d/ && sudo udevadm trigger), puis rebranchez le pont";
        case Hint::BridgeBusy:
            return " ; un autre programme se sert du pont : fermez-le, ou débranchez et "
                   "rebranchez le pont";
    }
    return {};
}

std::string plainName(const port::Description& d) {
    return d.device;
}

}  // namespace

const BackendTexts kBridgeTexts{
    port::i2c::kBridgeKey, problem, hint, plainName, nullptr, nullptr, nullptr};

}  // namespace ui
