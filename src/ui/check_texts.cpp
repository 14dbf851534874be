#include "ui/check_texts.h"

#include <cstdio>

#include "hd44780/char_rom.h"
#include "hd44780/instructions.h"
#include "hd44780/modules.h"
#include "ui/texts.h"
#include "ui/timing_texts.h"

namespace ui::check {
namespace {

using ::check::MapProblem;
using ::check::VcdProblem;

std::string plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n <= 1 ? one : many);  // French: 0 and 1 are singular
}

// A cell as text: CGRAM glyphs as [0]-[7], the ROM's own signs where it has them (A00's
// yen sign and arrows), ASCII as it is, anything else as its code.
std::string cellText(std::uint8_t code, hd44780::Rom rom) {
    if (code < 0x10) return "[" + std::to_string(code & 7) + "]";
    for (const hd44780::RomSign& sign : hd44780::romRow(rom).signs)
        if (sign.code == code) return sign.text;
    if (code >= 0x20 && code <= 0x7D) return std::string(1, static_cast<char>(code));
    return "[" + hexByte(code) + "]";
}

}  // namespace

std::string usage() {
    return "usage : velmorin-check [--map RS=D0,E=D1,D4=D4,D5=D5,D6=D6,D7=D7] [--module 16x2] "
           "[--oscillator 270|190] [--rom a00|a02] [--instructions] [--at TEMPS] CAPTURE.vcd";
}

std::string notAFile(const std::string& file) {
    return "« " + texts::shown(file) +
           " » n'est pas un fichier ordinaire ; donnez le fichier VCD "
           "exporté par PulseView, sigrok-cli ou Velmorin";
}

std::string unreadable(const std::string& file, int err) {
    return "« " + texts::shown(file) + " » illisible : " + texts::errnoText(err);
}

std::string vcdProblem(const std::string& file, const ::check::VcdError& e) {
    const std::string where = texts::shown(file) + ", ligne " + std::to_string(e.line) + " : ";
    const std::string said = "« " + texts::shown(e.text) + " »";
    switch (e.what) {
        case VcdProblem::Unreadable:
            return unreadable(file, e.err);
        case VcdProblem::NoDefinitions:
            return texts::shown(file) +
                   " : le fichier finit avant $enddefinitions ; ce n'est pas un fichier VCD, ou il "
                   "est tronqué : exportez-le à nouveau";
        case VcdProblem::UnclosedBlock:
            return where + said + " sans son $end : le fichier est tronqué ; exportez-le à nouveau";
        case VcdProblem::BadTimescale:
            return where + "échelle de temps " + said +
                   " inconnue (attendu : 1, 10 ou 100 suivi de "
                   "s, ms, us, ns, ps ou fs)";
        case VcdProblem::BadVar:
            return where + "déclaration $var " + said +
                   " illisible (attendu : type largeur "
                   "identifiant nom)";
        case VcdProblem::BadTime:
            return where + "temps " + said + " illisible (attendu : # suivi d'un nombre)";
        case VcdProblem::TimeGoesBack:
            return where + "le temps " + said + " revient en arrière";
        case VcdProblem::BadValue:
            return where + "changement de valeur " + said + " illisible";
        case VcdProblem::UnknownId:
            return where + "identifiant " + said + " qu'aucune déclaration $var ne nomme";
        case VcdProblem::ValueWithoutId:
            return where + "valeur " + said +
                   " sans identifiant : le fichier est tronqué ; "
                   "exportez-le à nouveau";
    }
    return where;
}

std::string mapProblem(const std::string& file, const ::check::MapError& e) {
    const std::string said = "« " + texts::shown(e.text) + " »";
    switch (e.what) {
        case MapProblem::BadForm:
            return "--map : " + said + " n'est pas de la forme BROCHE=SIGNAL (RS=D0)";
        case MapProblem::UnknownPin:
            return "--map : broche " + said + " inconnue (RS, E, RW, D0 à D7)";
        case MapProblem::NoSignal:
            return "--map : aucun signal " + said + " dans " + texts::shown(file);
        case MapProblem::Missing:
            return texts::shown(file) + " : broches sans signal : " + texts::shown(e.text) +
                   " ; nommez-les avec --map (--map RS=D0,E=D1,D4=D4,D5=D5,D6=D6,D7=D7)";
    }
    return {};
}

std::string badOption(const std::string& option, const std::string& value) {
    return option + " « " + texts::shown(value) + " » : valeur inconnue ; " + usage();
}

std::string pinsChosen(const std::string& pins, const ::check::PinMap& map) {
    const char* how = map.chosen == ::check::PinMap::Chosen::Given      ? "donné par --map"
                      : map.chosen == ::check::PinMap::Chosen::PinNames ? "noms des broches"
                                                                        : "câble du port parallèle";
    return "Broches (" + std::string(how) + ", bus " + (map.eightBit() ? "8" : "4") +
           " bits) : " + pins;
}

std::string moduleLine(hd44780::Geometry module, const hd44780::Controller& controller) {
    std::string rom = hd44780::romName(controller.rom());
    for (char& c : rom) c = static_cast<char>(c == 'a' ? 'A' : c);
    return "Module : " + hd44780::moduleSizeName(module) + ", ROM " + rom + ", " +
           oscillatorName(controller.timing().oscillator());
}

std::string executed(const ::check::Executed& e) {
    const std::string at = seconds(e.atNs);
    if (e.rs) return at + "  donnée " + hexByte(e.byte) + " " + cellText(e.byte, hd44780::Rom::A00);
    return at + "  instruction " + hexByte(e.byte) + " (" + hd44780::instr::name(e.byte) + ")";
}

std::vector<std::string> display(const hd44780::Controller& controller, hd44780::Geometry module,
                                 std::int64_t atNs, bool atEnd) {
    std::vector<std::string> lines{"Afficheur " + hd44780::moduleSizeName(module) +
                                   (atEnd ? " en fin de capture" : "") + " (t = " + seconds(atNs) +
                                   ")" + (controller.displayOn() ? "" : ", éteint") + " :"};
    for (int r = 0; r < module.rows; ++r) {
        std::string row = "  |";
        for (int c = 0; c < module.columns; ++c)
            row += cellText(controller.cell(r, c, module).code, controller.rom());
        lines.push_back(row + "|");
    }
    return lines;
}

std::string violationsHeading(const ::check::Judged& j) {
    return "Violations de timing : " + std::to_string(j.violationCount) +
           (j.violationCount > j.violations.size()
                ? " (les " + std::to_string(j.violations.size()) + " premières)"
                : "");
}

std::string warningsHeading(const ::check::Judged& j) {
    return "Avertissements : " + std::to_string(j.warningCount);
}

std::string readBack(std::int64_t atNs) {
    return "R/W haut à t = " + seconds(atNs) +
           " : la capture lit le module ; seules ses écritures sont jugées";
}

std::string summary(const ::check::Judged& j) {
    return "Résumé : " + plural(j.edges, "front", "fronts") + ", " +
           plural(j.instructions, "instruction", "instructions") + ", " +
           plural(j.data, "donnée", "données") + " ; " +
           plural(j.violationCount, "violation", "violations") + ", " +
           plural(j.warningCount, "avertissement", "avertissements") +
           (j.violationCount == 0 ? " : capture conforme" : " : capture hors fiche technique");
}

}  // namespace ui::check
