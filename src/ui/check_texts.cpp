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

// One character as UTF-8.
std::string utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// Custom glyphs 0-7, one column each; drawn below the display.
constexpr const char* kGlyphMarks[] = {"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷"};
// A ROM glyph Unicode has no one-column character for.
constexpr const char* kStandIn = "▯";

// A cell as one terminal column: the custom glyphs' marks, the ROM's own signs where it has
// them (A00's yen sign and arrows), its runs (A00's katakana), ASCII as it is, else the
// stand-in. Null where the cell is its stand-in.
std::string cellText(std::uint8_t code, hd44780::Rom rom) {
    if (code < 0x10) return kGlyphMarks[code & 7];
    const hd44780::RomRow& row = hd44780::romRow(rom);
    for (const hd44780::RomSign& sign : row.signs)
        if (sign.code == code) return sign.text;
    for (const hd44780::RomRun& run : row.runs)
        if (code >= run.first && code <= run.last) return utf8(run.unicode + (code - run.first));
    if (code >= 0x20 && code <= 0x7D) return std::string(1, static_cast<char>(code));
    return kStandIn;
}

}  // namespace

std::string usage() {
    return "usage : velmorin-check [--map RS=D0,E=D1,D4=D4,D5=D5,D6=D6,D7=D7] [--module 16x2] "
           "[--oscillator 270|190] [--rom a00|a02] [--scope PORTÉE] [--instructions] [--at TEMPS] "
           "[--] "
           "CAPTURE.vcd|CAPTURE.sr ; velmorin-check --help | --version";
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
        case VcdProblem::TooLong:
            return where + "un mot de plus de 1 Mio (" + said +
                   "…) : ce n'est pas un fichier VCD, ou il est abîmé";
        case VcdProblem::ValueWithoutId:
            return where + "valeur " + said +
                   " sans identifiant : le fichier est tronqué ; "
                   "exportez-le à nouveau";
    }
    return where;
}

std::string srProblem(const std::string& file, const ::check::SrError& e) {
    using ::check::SrProblem;
    const std::string where = texts::shown(file) + " : ";
    const std::string said = "« " + texts::shown(e.text) + " »";
    switch (e.what) {
        case SrProblem::NotAnArchive:
            return where + "archive illisible (" +
                   (e.code == ::check::kZipNotAnArchive
                        ? std::string("pas une archive zip complète")
                    : e.code == ::check::kZipInconsistent
                        ? std::string("archive incohérente")
                        : "erreur " + std::to_string(e.code) + " de libzip") +
                   ") ; enregistrez-la à nouveau dans PulseView";
        case SrProblem::NoMetadata:
            return where +
                   "pas de fichier « metadata » dans l'archive : ce n'est pas une session "
                   "sigrok (.sr)";
        case SrProblem::BadMetadata:
            return where + "métadonnées illisibles ou incomplètes (" + said +
                   ") ; enregistrez la session à nouveau";
        case SrProblem::TooManyChannels:
            return where + "nombre de voies " + said + " invalide (1 à 64)";
        case SrProblem::BadUnitSize:
            return where + "taille d'échantillon " + said + " invalide pour ce nombre de voies";
        case SrProblem::BadSamplerate:
            return where + "fréquence d'échantillonnage " + said + " illisible";
        case SrProblem::NoSamples:
            return where +
                   "aucun bloc d'échantillons logiques : la session ne contient pas de "
                   "capture";
        case SrProblem::ChunkSize:
            return where + "le bloc " + said +
                   " n'a pas un nombre entier d'échantillons : l'archive est tronquée ou abîmée";
        case SrProblem::Unreadable:
            return where + "le bloc " + said + " ne se lit pas : l'archive est abîmée";
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
        case MapProblem::PinTwice:
            return "--map : broche " + said + " donnée deux fois ; une seule fois chacune";
        case MapProblem::SignalTwice:
            return "--map : le signal " + said +
                   " donné pour deux broches ; chaque broche a le sien";
        case MapProblem::VectorWithoutBit:
            return "--map : " + said + " est un vecteur de " + std::to_string(e.width) +
                   " bits ; nommez-en un bit, par exemple " + texts::shown(e.text) + "[4]";
        case MapProblem::NoScope:
            return "--scope : aucune portée " + said + " dans " + texts::shown(file);
        case MapProblem::Empty:
            return "--map vide ; donnez BROCHE=SIGNAL,… (--map "
                   "RS=D0,E=D1,D4=D4,D5=D5,D6=D6,D7=D7), "
                   "ou omettez --map";
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

std::string executed(const ::check::Executed& e, hd44780::Rom rom) {
    const std::string at = seconds(e.atNs);
    if (e.rs && e.cgram)
        return at + "  motif " + hexByte(e.byte) + " (une ligne de caractère personnalisé)";
    if (e.rs) return at + "  donnée " + hexByte(e.byte) + " " + cellText(e.byte, rom);
    return at + "  instruction " + hexByte(e.byte) + " (" + hd44780::instr::name(e.byte) + ")";
}

std::vector<std::string> display(const hd44780::Controller& controller, hd44780::Geometry module,
                                 std::int64_t atNs, bool atEnd) {
    std::vector<std::string> lines{"Afficheur " + hd44780::moduleSizeName(module) +
                                   (atEnd ? " en fin de capture" : "") + " (t = " + seconds(atNs) +
                                   ")" + (controller.displayOn() ? "" : ", éteint") + " :"};
    std::array<bool, 8> glyphs{};
    bool standIn = false;
    for (int r = 0; r < module.rows; ++r) {
        std::string row = "  |";
        for (int c = 0; c < module.columns; ++c) {
            const std::uint8_t code = controller.cell(r, c, module).code;
            const std::string shown = cellText(code, controller.rom());
            if (code < 0x10) glyphs[code & 7] = true;
            standIn = standIn || shown == kStandIn;
            row += shown;
        }
        lines.push_back(row + "|");
    }
    if (standIn)
        lines.push_back(std::string("  ") + kStandIn +
                        " : un caractère de la ROM sans équivalent d'une colonne (--instructions "
                        "donne son code)");
    // The custom glyphs shown, side by side, as their dots.
    std::string heading;
    for (std::size_t g = 0; g < glyphs.size(); ++g)
        if (glyphs[g]) heading += std::string("  ") + kGlyphMarks[g] + "     ";
    if (heading.empty()) return lines;
    lines.push_back("Caractères personnalisés :");
    lines.push_back(heading);
    for (int y = 0; y < 8; ++y) {
        std::string dots = "  ";
        for (std::size_t g = 0; g < glyphs.size(); ++g) {
            if (!glyphs[g]) continue;
            const hd44780::GlyphRows rows = controller.glyph(static_cast<std::uint8_t>(g));
            for (int x = 4; x >= 0; --x)
                dots += (rows[static_cast<std::size_t>(y)] >> x) & 1 ? "█" : "·";
            dots += "   ";
        }
        lines.push_back(dots);
    }
    return lines;
}

namespace {

// The datasheet's name of the limit a kind of violation breaks.
const char* limitName(hd44780::ViolationKind kind) {
    using K = hd44780::ViolationKind;
    switch (kind) {
        case K::EnableHighTooShort:
            return "PWEH";
        case K::EnableCycleTooShort:
            return "tcycE";
        case K::RsSetup:
            return "tAS";
        case K::RsHold:
            return "tAH";
        case K::DataSetup:
            return "tDSW";
        case K::DataHold:
            return "tH";
        default:
            return "";
    }
}

// "1 MHz", "200 kHz", "24 MHz".
std::string frequency(double hz) {
    const char* unit = hz >= 1e9 ? "GHz" : hz >= 1e6 ? "MHz" : hz >= 1e3 ? "kHz" : "Hz";
    const double v = hz >= 1e9 ? hz / 1e9 : hz >= 1e6 ? hz / 1e6 : hz >= 1e3 ? hz / 1e3 : hz;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    std::string text = buf;
    if (const std::size_t dot = text.find('.'); dot != std::string::npos) text[dot] = ',';
    return text + " " + unit;
}

}  // namespace

std::string startState(const ::check::Judged& j) {
    if (!j.eHighAtStart) return {};
    return "E déjà haut au début de la capture (t = " + seconds(j.startNs) +
           ") : sa montée n'a pas été vue, rien n'est jugé contre elle";
}

std::string samplePeriod(const ::check::Judged& j) {
    if (j.periodFs == 0)
        return "Échantillonnage : inconnu (moins de deux instants dans la capture)";
    const double ns = static_cast<double>(j.periodFs) / 1e6;
    std::string text = "Échantillonnage : " +
                       (ns >= 1 ? duration(static_cast<std::int64_t>(ns + 0.5)) : "< 1 ns") + " (" +
                       frequency(1e15 / static_cast<double>(j.periodFs)) + ")";
    std::string unmeasured;
    for (std::size_t k = 0; k < hd44780::kViolationKinds; ++k) {
        const auto kind = static_cast<hd44780::ViolationKind>(k);
        const std::int64_t limitNs = hd44780::TimingChecker::limitNs(kind);
        if (limitNs > 0 && static_cast<std::uint64_t>(limitNs) * 1'000'000 < j.periodFs)
            unmeasured += (unmeasured.empty() ? "" : ", ") + std::string(limitName(kind)) + " " +
                          duration(limitNs);
    }
    if (!unmeasured.empty())
        text += " ; plus courts qu'un échantillon, non mesurés : " + unmeasured;
    return text + " ; le reste est jugé à un échantillon près";
}

std::vector<std::string> beforeWake(const ::check::Judged& j) {
    if (!j.wakeNs) return {};
    const ::check::Findings& b = j.before;
    std::vector<std::string> lines{
        "Avant le réveil (initialisation par instructions, finie à t = " + seconds(*j.wakeNs) +
        ") : " + plural(b.instructions, "instruction", "instructions") + ", " +
        plural(b.data, "donnée", "données") + ", " +
        plural(b.violationCount, "violation", "violations") + ", " +
        plural(b.warningCount, "avertissement", "avertissements") +
        " ; le module n'était pas encore en phase : rien de cela n'est jugé"};
    constexpr std::size_t kShown = 5;
    for (std::size_t i = 0; i < b.violations.size() && i < kShown; ++i)
        lines.push_back("  " + violationText(b.violations[i], 0));
    for (std::size_t i = 0; i < b.warnings.size() && i < kShown; ++i)
        lines.push_back("  " + warningText(b.warnings[i], 0));
    return lines;
}

std::string unknownLevels(const ::check::Judged& j) {
    if (j.unknownLatches == 0) return {};
    return "Niveau x ou z à la retombée de E : " +
           std::string(::check::kPinNames[static_cast<std::size_t>(j.unknownPin)]) +
           " à t = " + seconds(j.unknownAtNs) +
           (j.unknownLatches > 1
                ? " (et " + plural(j.unknownLatches - 1, "autre fois", "autres fois") + ")"
                : "") +
           ", lu comme 0 : la broche n'est pas pilotée, ou la sonde n'y est pas";
}

std::string unresolvedHeading(const ::check::Judged& j) {
    return "Non résolus à cette résolution : " + std::to_string(j.unresolvedCount) +
           (j.unresolvedCount == 0 ? "" : " (sans effet sur le verdict)");
}

std::string scopeChosen(const std::string& scope, const std::vector<std::string>& others) {
    std::string list;
    for (const std::string& o : others) list += (list.empty() ? "" : ", ") + texts::shown(o);
    return "Portée jugée : " + texts::shown(scope) + ", la plus active (autres : " + list +
           " ; --scope pour en choisir une)";
}

std::string moduleHint(hd44780::Geometry likely) {
    const std::string size = hd44780::moduleSizeName(likely);
    return "Les adresses DDRAM écrites sont les débuts de ligne d'un module " + size +
           " : relancez avec --module " + size;
}

std::string nothingJudged(const std::string& file, const ::check::Judged& j) {
    return texts::shown(file) +
           " : aucune instruction exécutée, rien n'a pu être jugé (E n'a jamais écrit sur le "
           "bus" +
           (j.periodFs > 1'000'000'000 ? ", ou l'échantillonnage est trop lent pour ses impulsions"
                                       : "") +
           ") ; capturez RS, E et D4-D7 à 1 MHz ou plus";
}

std::string outOfMemory() {
    return "mémoire insuffisante pour lire cette capture ; une ligne démesurée (un fichier qui "
           "n'est pas un VCD) en est d'ordinaire la cause";
}

std::string internalError() {
    return "erreur interne inattendue ; signalez-la avec la capture";
}

std::string version() {
    return "velmorin-check " VELMORIN_VERSION;
}

std::string pastTheEnd(std::int64_t atNs, std::int64_t endNs) {
    return "--at " + seconds(atNs) + " : après la fin de la capture (t = " + seconds(endNs) +
           ") ; l'afficheur est montré à la fin";
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

std::string lastLineCut(const std::string& file) {
    return texts::shown(file) +
           " finit au milieu d'une ligne : le fichier est peut-être tronqué (exportez-le à "
           "nouveau)";
}

std::string readBack(std::int64_t atNs) {
    return "R/W haut à t = " + seconds(atNs) +
           " : la capture lit le module ; seules ses écritures sont jugées";
}

std::string summary(const ::check::Judged& j) {
    const char* verdict = j.instructions + j.data == 0 ? " : rien d'exécuté, rien à juger"
                          : j.violationCount > 0       ? " : capture hors fiche technique"
                          : j.warningCount > 0 ? " : capture conforme, avertissements à lire"
                                               : " : capture conforme";
    return "Résumé : " + plural(j.edges, "front", "fronts") + ", " +
           plural(j.instructions, "instruction", "instructions") + ", " +
           plural(j.data, "donnée", "données") + " ; " +
           plural(j.violationCount, "violation", "violations") + ", " +
           plural(j.warningCount, "avertissement", "avertissements") + ", " +
           plural(j.unresolvedCount, "non résolu", "non résolus") + verdict;
}

}  // namespace ui::check
