// The I2C expanders (PCF8574, MCP23008), in words: the device text, the wiring, the bus.
#include "port/i2c/expander.h"
#include "port/i2c/wiring_look.h"
#include "port/parse.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {
namespace {

using port::hexByte;
using port::i2c::Hint;
using port::i2c::Problem;
using texts::errnoText;

std::string range(const port::i2c::AddressRange& r, const char* between) {
    return hexByte(r.first) + between + hexByte(r.last);
}

// "i2cdetect -y 1": the bus number of /dev/i2c-1.
std::string detect(const std::string& bus) {
    return "i2cdetect -y " + bus.substr(bus.find_last_of('-') + 1);
}

std::string problem(const port::Error& e) {
    const std::string setting = texts::settingSaid(e);
    const auto& probe = port::i2c::kProbeRanges;
    switch (static_cast<Problem>(e.code)) {
        case Problem::AddressMissing:
            return setting +
                   "un bus I2C demande l'adresse du backpack après « @ » (par exemple "
                   "/dev/i2c-1@0x27 ; i2cdetect -y 1 la trouve)";
        case Problem::BadAddress:
            return setting + "adresse I2C « " + e.detail +
                   " » invalide (attendu : " + range(port::i2c::kAddresses, " à ") +
                   " en hexadécimal, par exemple @0x27)";
        case Problem::BadOption:
            return setting + "option « " + e.detail + " » inconnue (câblages et options : " +
                   (e.choices.empty() ? "" : e.choices + ", ") +
                   "map=RS,RW,E,BL,D4-D7 (huit broches, par exemple map=65470123), bl-low, "
                   "bl-high, " +
                   (e.backend ? e.backend : "") + ")";
        case Problem::PinMapLength:
            return setting + "« " + e.detail +
                   " » : il faut huit broches, pour RS, R/W, E, rétroéclairage, D4, D5, D6, D7 "
                   "(par exemple map=65470123)";
        case Problem::PinMapPin:
            return setting + "« " + e.detail +
                   " » : chaque broche est un chiffre de 0 à 7 (« - » seulement pour R/W relié à "
                   "la masse, en deuxième place, ou un rétroéclairage absent, en quatrième)";
        case Problem::PinMapTwice:
            return setting + "« " + e.detail + " » : une broche y sert deux fois";
        case Problem::TwoWirings:
            return setting + "deux câblages : « " + e.detail + " » vient après un autre ; un seul";
        case Problem::NotI2cDevice:
            return texts::deviceNamed(e) +
                   " n'est pas un bus I2C (/dev/i2c-N du pilote i2c-dev) ; rien n'y a été ouvert";
        case Problem::AddressRefused:
            return "impossible de choisir l'adresse " + e.device + " @ " + e.detail + " : " +
                   errnoText(e.err);
        case Problem::NoneFound:
            return "aucun expandeur ne répond sur " + e.device + " (" + range(probe[0], "-") +
                   ", " + range(probe[1], "-") +
                   ") ; vérifiez l'alimentation et SDA/SCL, ou nommez l'adresse : " + e.device +
                   "@0x27 (" + detect(e.device) + " liste ce qui répond)";
        case Problem::NotBackpack:
            return "l'appareil à " + e.detail + " sur " + e.device +
                   " ne répond pas comme un PCF8574 ou un MCP23008 : ce n'est pas un backpack, "
                   "rien de plus n'y a été écrit ; nommez l'adresse du module, par exemple " +
                   e.device + "@0x27 (" + detect(e.device) + " liste ce qui répond)";
        case Problem::ManyFound:
            return "plusieurs appareils répondent sur " + e.device + " : " + e.detail +
                   " ; nommez celui du module, par exemple " + e.device + "@" +
                   e.detail.substr(0, e.detail.find(','));
    }
    return {};
}

std::string hint(const port::Error& e) {
    const auto& probe = port::i2c::kProbeRanges;
    switch (static_cast<Hint>(e.hint)) {
        case Hint::None:
            return {};
        case Hint::LoadI2cDev:
            return " ; chargez le module i2c-dev (sudo modprobe i2c-dev) ; sur un Raspberry Pi, "
                   "activez I2C avec sudo raspi-config";
        case Hint::JoinGroupI2c:
            return texts::joinGroup("i2c");
        case Hint::AddressBusy:
            return " ; un pilote du noyau utilise déjà cette adresse";
        case Hint::NoAnswer: {
            const port::Description& d = e.description;
            const std::string bus = d.via.empty() ? d.device : d.via;
            return " ; rien ne répond à l'adresse " + d.detail + " sur " + d.device +
                   " : les backpacks sont d'ordinaire à 0x27 (PCF8574, " + range(probe[0], "-") +
                   ") ou 0x3f (PCF8574A, " + range(probe[1], "-") + ") ; " +
                   (bus.starts_with("/dev/i2c-") ? detect(bus) + " liste ce qui répond"
                                                 : "@auto cherche l'adresse");
        }
    }
    return {};
}

std::string panelName(const port::Description& d, const char* chip) {
    return d.device + " @ " + d.detail + (d.found ? " (trouvé)" : "") + " (" + chip +
           (d.options.empty() ? "" : ", câblage " + d.options) + ")" +
           (d.via.empty() ? "" : " par " + d.via);
}

// How the look at the module went, and what it proves.
std::string panelLook(const port::Description& d) {
    using port::i2c::Look;
    const std::string bus = d.via.empty() ? d.device : d.via;
    const std::string wiring = d.options.empty() ? "câblage habituel" : d.options;
    std::string said;
    switch (static_cast<Look>(d.look)) {
        case Look::None:
        case Look::NotBackpack:
            return {};
        case Look::ReadBack:
            said = wiring + " trouvé par relecture ; le module répond par " + bus + " à " +
                   d.detail + " (" + wiring +
                   ") : s'il reste vide, réglez le contraste (potentiomètre du module) et "
                   "vérifiez qu'il est alimenté en 5 V";
            break;
        case Look::Fallback:
            said =
                "le module ne répond pas en relecture (R/W relié à la masse sur la carte, ou "
                "aucun câblage connu ne convient) : câblage habituel pris ; s'il n'affiche "
                "rien, nommez le vôtre après l'adresse : lcm1602, mjkdz, lcdxio ou "
                "map=RS,RW,E,BL,D4-D7 (par exemple @" +
                d.detail + ",mjkdz)";
            break;
    }
    if (d.polarityUnknown)
        said +=
            " ; polarité du rétroéclairage inconnue : s'il reste éteint, ajoutez bl-low "
            "(allumé au niveau bas) ou bl-high, par exemple @" +
            (d.lookedUp.empty() ? d.detail : d.lookedUp) + ",bl-low";
    return said;
}

std::string pcf8574Name(const port::Description& d) {
    return panelName(d, "PCF8574");
}
std::string mcp23008Name(const port::Description& d) {
    return panelName(d, "MCP23008");
}

// A kernel bus by its node and adapter; a bridge by its own name.
std::string busName(const port::Candidate& c) {
    return c.device.starts_with("/dev/") ? texts::deviceAndName(c.device, c.name)
                                         : c.name + " (USB)";
}

// The wirings as device texts name them ("", "mjkdz", "mcp23008,NAME", "map="), with the
// chip spelt as on its package.
std::string optionLabel(std::string_view field, const std::string& value) {
    if (field == "find") return "Chercher";
    if (field == "map") return "01234567";
    if (field != "wiring") return value;
    if (value == "map=") return "map=…";
    const bool mcp = value.starts_with("mcp23008");
    const std::string preset = mcp ? value.substr(std::min<std::size_t>(value.size(), 9)) : value;
    return std::string(mcp ? "MCP23008" : "PCF8574") + (preset.empty() ? "" : ", " + preset);
}

std::string optionTip(std::string_view field) {
    if (field == "address") return "Adresse I2C du module";
    if (field == "find")
        return "Cherche le module aux adresses des expandeurs, sur ce bus seulement, puis son "
               "câblage en relisant le module";
    if (field == "wiring") return "Câblage de la carte";
    return {};
}

}  // namespace

const BackendTexts kPcf8574Texts{"pcf8574", problem, hint,        pcf8574Name, nullptr,
                                 nullptr,   busName, optionLabel, optionTip,   panelLook};
const BackendTexts kMcp23008Texts{"mcp23008", problem, hint,    mcp23008Name, nullptr,
                                  nullptr,    nullptr, nullptr, nullptr,      panelLook};

}  // namespace ui
