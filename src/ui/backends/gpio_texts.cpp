// A module on GPIO lines, in words.
#include "port/gpio/linux/gpio_backend.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {
namespace {

using port::gpio::Hint;
using port::gpio::Problem;
using texts::errnoText;

std::string problem(const port::Error& e) {
    const std::string setting = texts::settingSaid(e);
    switch (static_cast<Problem>(e.code)) {
        case Problem::LinesMissing:
            return setting +
                   "une puce GPIO demande ses six lignes après « @ » (RS,E,D4,D5,D6,D7, par "
                   "exemple /dev/gpiochip0@25,24,23,17,18,22)";
        case Problem::LineCount:
            return setting +
                   "il faut six numéros de ligne GPIO après « @ » (RS,E,D4,D5,D6,D7), puis "
                   "R/W et le rétroéclairage s'ils sont câblés, " +
                   std::to_string(e.count) + " donnés";
        case Problem::BadOption:
            return setting + "« " + e.detail +
                   " » demande la ligne du rétroéclairage, la huitième (RS,E,D4,D5,D6,D7,RW,BL)";
        case Problem::BadLine:
            return setting + "ligne GPIO « " + e.detail + " » invalide (un entier de 0 à " +
                   std::to_string(port::gpio::kMaxLine) + ")";
        case Problem::LineTwice:
            return setting + "la ligne GPIO " + e.detail + " est donnée deux fois";
        case Problem::NotGpioDevice:
            return texts::deviceNamed(e) +
                   " n'est pas une puce GPIO (/dev/gpiochipN) ; rien n'y a été ouvert";
        case Problem::NotGpioChip:
            return e.device + " n'est pas une puce GPIO : " + errnoText(e.err);
        case Problem::LineMissing:
            return e.device + " n'a pas de ligne " + std::to_string(e.number) + " : elle a " +
                   std::to_string(e.count) + " lignes (0 à " + std::to_string(e.count - 1) + ")";
        case Problem::LinesRefused:
            return "impossible de prendre les lignes " + e.detail + " de " + e.device + " : " +
                   errnoText(e.err);
    }
    return {};
}

std::string hint(const port::Error& e) {
    switch (static_cast<Hint>(e.hint)) {
        case Hint::None:
            return {};
        case Hint::ListGpioChips:
            return " ; les puces GPIO présentes : ls /dev/gpiochip*";
        case Hint::JoinGroupGpio:
            return " ; Raspberry Pi OS donne /dev/gpiochip* au groupe gpio : sudo usermod -aG "
                   "gpio $USER, puis reconnectez-vous";
        case Hint::LinesHeld:
            return " ; un autre programme les tient : gpioinfo liste qui tient quoi";
    }
    return {};
}

std::string panelName(const port::Description& d) {
    return d.device + " (GPIO " + d.detail + ")";
}

std::string candidateName(const port::Candidate& c) {
    const std::string lines = c.number < 0 ? "" : " (" + std::to_string(c.number) + " lignes)";
    return texts::deviceAndName(c.device, c.name + lines);
}

std::string optionTip(std::string_view) {
    return "Lignes de RS, E, D4, D5, D6, D7 (puis R/W, rétroéclairage)";
}

}  // namespace

const BackendTexts kGpioTexts{"gpio",  problem,       hint,    panelName, nullptr,
                              nullptr, candidateName, nullptr, optionTip};

}  // namespace ui
