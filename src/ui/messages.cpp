#include "ui/messages.h"

#include <cstdio>
#include <cstring>

#include "hd44780/modules.h"
#include "port/settings.h"

namespace ui {
namespace {

constexpr const char* kPrefix = "velmorin : ";

using port::Hint;
using port::Problem;

// French, whatever the user's locale: the sentence around it is French. The C library's
// text is the fallback for the errors we do not meet.
std::string errnoText(int err) {
    switch (err) {
        case ENOENT:
            return "fichier ou dossier introuvable";
        case EACCES:
            return "permission refusée";
        case EPERM:
            return "opération non permise";
        case EBUSY:
            return "périphérique ou ressource occupé";
        case ENXIO:
            return "périphérique ou adresse inexistant";
        case ENODEV:
            return "aucun périphérique de ce type";
        case ENOTTY:
            return "opération inappropriée pour ce périphérique";
        case EIO:
            return "erreur d'entrée-sortie";
#ifdef EREMOTEIO  // Linux
        case EREMOTEIO:
            return "erreur d'entrée-sortie distante";
#endif
        case ENOSPC:
            return "plus de place sur le périphérique";
        case EFBIG:
            return "fichier trop gros";
        case EPIPE:
            return "tube rompu";
        case EROFS:
            return "système de fichiers en lecture seule";
        case EISDIR:
            return "c'est un dossier";
        case EAGAIN:
            return "ressource momentanément indisponible";
        case ETIMEDOUT:
            return "délai dépassé";
        case ENOSYS:
            return "fonction non disponible";
        case EINVAL:
            return "argument invalide";
        case EOPNOTSUPP:
            return "opération non prise en charge";
#ifdef EDQUOT
        case EDQUOT:
            return "quota de disque dépassé";
#endif
        default:
            return std::strerror(err);
    }
}

std::string quoted(const std::string& setting, const std::string& value) {
    return setting + "=\"" + value + "\" : ";
}

std::string joinGroup(const std::string& group) {
    return " ; ajoutez votre utilisateur au groupe " + group + " (sudo usermod -aG " + group +
           " $USER, puis reconnectez-vous)";
}

std::string moduleSizeList() {
    std::string list;
    for (const hd44780::Geometry& g : hd44780::kModuleSizes)
        list += (list.empty() ? "" : ", ") + hd44780::moduleSizeName(g);
    return list;
}

std::string oscillatorChoices() {
    std::string list;
    for (const hd44780::Oscillator& o : hd44780::kOscillators)
        list += (list.empty() ? "" : " ou ") + std::to_string(o.kHz) + "khz";
    return list;
}

// The port library, said the same way whether its absence is fatal or only a note.
std::string libraryNotFound(const std::string& library, const std::string& searched) {
    return library + " introuvable (cherchée dans : " + searched + ")";
}
std::string copyBesideProgram(const std::string& library) {
    return "copiez " + library + " à côté de velmorin.exe";
}

std::string hintText(const port::Error& e) {
    switch (e.hint) {
        case Hint::None:
            return {};
        case Hint::LoadPpdev:
            return " ; le module ppdev n'est pas chargé : sudo modprobe ppdev";
        case Hint::ParportGone:
            return " ; ce port n'existe plus (ls /dev/parport*)";
        case Hint::JoinGroupLp:
            return joinGroup("lp") +
                   ", ou lancez avec VELMORIN_LPT=emulator pour l'afficheur émulé";
        case Hint::ParportRefused:
            return " ; le port a refusé l'enregistrement (un autre pilote l'a-t-il pris ?)";
        case Hint::ParportBusy:
            return " ; le port est occupé par un autre programme";
        case Hint::GiveParportPath:
            return " ; donnez le chemin complet d'un port parallèle (ls /dev/parport*)";
        case Hint::LoadI2cDev:
            return " ; chargez le module i2c-dev (sudo modprobe i2c-dev) ; sur un Raspberry Pi, "
                   "activez I2C avec sudo raspi-config";
        case Hint::JoinGroupI2c:
            return joinGroup("i2c");
        case Hint::I2cAddressBusy:
            return " ; un pilote du noyau utilise déjà cette adresse";
        case Hint::I2cNoAnswer: {
            const std::string& bus = e.description.device;
            return " ; rien ne répond à l'adresse " + e.description.detail + " sur " + bus +
                   " : les backpacks sont d'ordinaire à 0x27 (PCF8574, 0x20-0x27) ou 0x3f "
                   "(PCF8574A, 0x38-0x3f) ; i2cdetect -y " +
                   bus.substr(bus.find_last_of('-') + 1) + " liste ce qui répond";
        }
        case Hint::ListGpioChips:
            return " ; les puces GPIO présentes : ls /dev/gpiochip*";
        case Hint::JoinGroupGpio:
            return " ; Raspberry Pi OS donne /dev/gpiochip* au groupe gpio : sudo usermod -aG "
                   "gpio $USER, puis reconnectez-vous";
        case Hint::GpioLinesHeld:
            return " ; un autre programme les tient : gpioinfo liste qui tient quoi";
        case Hint::ListParports:
            return " ; désignez-en un avec " + e.setting + "=/dev/parportN";
        case Hint::LoadParport:
            return " (aucun /dev/parport* ; chargez parport_pc et ppdev)";
        case Hint::TraceFreeSpace:
            return " ; libérez de la place ou choisissez un autre fichier avec VELMORIN_TRACE";
        case Hint::TraceReaderGone:
            return " ; le programme qui lisait la trace s'est arrêté : relancez-le, ou choisissez "
                   "un autre fichier avec VELMORIN_TRACE";
        case Hint::TraceOtherFile:
            return " ; choisissez un autre fichier avec VELMORIN_TRACE";
        case Hint::Library32Only:
            return " ; seule inpout32.dll, la version 32 bits, est là : ce programme 64 bits a "
                   "besoin d'inpoutx64.dll";
    }
    return {};
}

std::string body(const port::Error& e) {
    const std::string setting = quoted(e.setting, e.value);
    const std::string named = e.setting + "=" + e.device;
    const std::string trace = " ; choisissez un autre fichier avec VELMORIN_TRACE";
    const std::string address = port::hexAddress(e.address);
    switch (e.what) {
        case Problem::UnknownBackend:
            return setting + "valeur inconnue (valeurs acceptées : " + port::backendChoices() + ")";
        case Problem::UnknownDevice:
            return setting +
                   "forme de périphérique inconnue (attendu : /dev/parportN, /dev/i2c-N@0xAA ou "
                   "/dev/gpiochipN@RS,E,D4,D5,D6,D7)";
        case Problem::DevicePathMissing:
            return setting + "le chemin du périphérique manque avant « @ »";
        case Problem::I2cAddressMissing:
            return setting +
                   "un bus I2C demande l'adresse du backpack après « @ » (par exemple "
                   "/dev/i2c-1@0x27 ; i2cdetect -y 1 la trouve)";
        case Problem::GpioLinesMissing:
            return setting +
                   "une puce GPIO demande ses six lignes après « @ » (RS,E,D4,D5,D6,D7, par "
                   "exemple "
                   "/dev/gpiochip0@25,24,23,17,18,22)";
        case Problem::BadI2cAddress:
            return setting + "adresse I2C « " + e.detail +
                   " » invalide (attendu : 0x03 à 0x77 en hexadécimal, par exemple @0x27)";
        case Problem::GpioLineCount:
            return setting +
                   "il faut six numéros de ligne GPIO après « @ » (RS,E,D4,D5,D6,D7), puis "
                   "R/W et le rétroéclairage s'ils sont câblés, " +
                   std::to_string(e.count) + " donnés";
        case Problem::BadGpioOption:
            return setting + "« " + e.detail +
                   " » demande la ligne du rétroéclairage, la huitième (RS,E,D4,D5,D6,D7,RW,BL)";
        case Problem::BadI2cOption:
            return setting + "option « " + e.detail +
                   " » inconnue (câblages et options : " + e.choices + ")";
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
        case Problem::BadGpioLine:
            return setting + "ligne GPIO « " + e.detail + " » invalide (un entier de 0 à 1023)";
        case Problem::GpioLineTwice:
            return setting + "la ligne GPIO " + e.detail + " est donnée deux fois";
        case Problem::BadDelay:
            return setting + "valeur invalide (un entier de 1 à " +
                   std::to_string(port::kMaxDelay) +
                   " : chaque pause et chaque phase de l'impulsion E dure N fois plus longtemps)";
        case Problem::ModuleTwoSizes:
            return setting + "deux tailles : « " + e.detail +
                   " » vient après une autre ; une seule parmi " + moduleSizeList() +
                   " (par exemple 20x4,a02)";
        case Problem::ModuleTwoRoms:
            return setting + "deux ROM : « " + e.detail +
                   " » vient après une autre ; une seule, a00 ou a02";
        case Problem::ModuleTwoOscillators:
            return setting + "deux oscillateurs : « " + e.detail +
                   " » vient après un autre ; un seul, " + oscillatorChoices();
        case Problem::ModuleUnknownPart:
            return setting + "« " + e.detail + " » inconnu (une taille parmi " + moduleSizeList() +
                   " ; puis a00 ou a02, " + oscillatorChoices() + " ; par exemple 20x4,a02)";
        case Problem::OtherPlatformBackend:
#ifdef _WIN32
            return setting + "ce moyen d'accès n'existe que sous Linux (valeurs acceptées ici : " +
                   port::backendChoices() + ")";
#else
            return setting +
                   "la bibliothèque de port n'existe que sous Windows (valeurs acceptées ici : " +
                   port::backendChoices() + ")";
#endif
        case Problem::OtherPlatformDevice:
            return setting +
                   "les périphériques /dev (ppdev, I2C, GPIO) n'existent que sous Linux ; ici, "
                   "le port parallèle passe par inpoutx64.dll (VELMORIN_LPT=inpout)";
        case Problem::LibraryMissing:
            return libraryNotFound(e.device, e.detail) + " ; " + copyBesideProgram(e.device);
        case Problem::LibraryWrongBits:
            return e.device + " ne se charge pas (erreur " + std::to_string(e.number) +
                   " : ce n'est pas une bibliothèque 64 bits) ; ce programme 64 bits a besoin de "
                   "la version 64 bits d'InpOut, inpoutx64.dll";
        case Problem::LibraryNoOut32:
            return e.device +
                   " n'exporte pas Out32 : ce n'est pas la bibliothèque de port attendue ; "
                   "remplacez-la par l'inpoutx64.dll d'InpOut";
        case Problem::LibraryDriverClosed:
            return e.device +
                   " est chargée mais son pilote n'est pas installé ; installez-le une fois, en "
                   "lançant velmorin.exe en administrateur (clic droit, « Exécuter en tant "
                   "qu'administrateur »)";
        case Problem::SettingsFileUnreadable:
            return "impossible de lire le fichier de réglages " + e.file + " : " +
                   errnoText(e.err) + " ; rendez-le lisible (chmod 644) ou retirez-le";
        case Problem::SettingsLineMalformed:
            return "« " + e.detail +
                   " » n'est pas de la forme NOM=valeur ; corrigez la ligne, ou faites-en un "
                   "commentaire en la commençant par #";
        case Problem::SettingsUnknownName:
            return "réglage « " + e.setting + " » inconnu (réglages : " + port::settingChoices() +
                   ")";
        case Problem::DeviceUnusable:
            return named + " : " + errnoText(e.err);
        case Problem::NotCharacterDevice:
            return named + " n'est pas un périphérique caractère ; rien n'y a été ouvert";
        case Problem::NotPpdevDevice:
            return named + " n'est pas un port ppdev (/dev/parportN) ; rien n'y a été ouvert";
        case Problem::NotI2cDevice:
            return named +
                   " n'est pas un bus I2C (/dev/i2c-N du pilote i2c-dev) ; rien n'y a été ouvert";
        case Problem::NotGpioDevice:
            return named + " n'est pas une puce GPIO (/dev/gpiochipN) ; rien n'y a été ouvert";
        case Problem::ParportHeld:
            return e.device + " est tenu par le pilote « " + e.detail +
                   " » ; libérez le port : sudo rmmod " + e.detail +
                   " (et mettez-le en liste noire dans /etc/modprobe.d pour qu'il ne revienne pas)";
        case Problem::OpenFailed:
            return "impossible d'ouvrir " + e.device + " : " + errnoText(e.err);
        case Problem::ClaimFailed:
            return "PPCLAIM sur " + e.device + " refusé : " + errnoText(e.err);
        case Problem::NoParportAt:
            return "VELMORIN_LPT=ppdev : aucun port parallèle à l'adresse " + address;
        case Problem::IoportUnavailable:
            return "E/S directe indisponible sur cette architecture ; utilisez VELMORIN_LPT=ppdev";
        case Problem::IopermUnsupported:
            return "ioperm(" + address + ") : " + errnoText(e.err) +
                   " ; ce noyau n'offre pas d'E/S directe sur les ports : utilisez "
                   "VELMORIN_LPT=ppdev";
        case Problem::IopermRefused:
            return "ioperm(" + address + ") refusé : " + errnoText(e.err) +
                   " ; l'E/S directe exige root ou CAP_SYS_RAWIO, et le verrouillage du noyau "
                   "(Secure Boot) l'interdit ; préférez VELMORIN_LPT=ppdev";
        case Problem::I2cAddressRefused:
            return "impossible de choisir l'adresse " + e.device + " @ " + e.detail + " : " +
                   errnoText(e.err);
        case Problem::I2cNoneFound:
            return "aucun expandeur ne répond sur " + e.device +
                   " (0x20-0x27, 0x38-0x3f) ; vérifiez l'alimentation et SDA/SCL, ou nommez "
                   "l'adresse : " +
                   e.device + "@0x27 (i2cdetect -y " +
                   e.device.substr(e.device.find_last_of('-') + 1) + " liste ce qui répond)";
        case Problem::I2cManyFound:
            return "plusieurs appareils répondent sur " + e.device + " : " + e.detail +
                   " ; nommez celui du module, par exemple " + e.device + "@" +
                   e.detail.substr(0, e.detail.find(','));
        case Problem::NotGpioChip:
            return e.device + " n'est pas une puce GPIO : " + errnoText(e.err);
        case Problem::GpioLineMissing:
            return e.device + " n'a pas de ligne " + std::to_string(e.number) + " : elle a " +
                   std::to_string(e.count) + " lignes (0 à " + std::to_string(e.count - 1) + ")";
        case Problem::GpioLinesRefused:
            return "impossible de prendre les lignes " + e.detail + " de " + e.device + " : " +
                   errnoText(e.err);
        case Problem::UnsupportedAddress:
            return "aucun port parallèle pris en charge à l'adresse " + address +
                   " (adresses prises en charge : " + port::supportedAddressList() + ")";
        case Problem::PrepareFailed:
            return "impossible de préparer le port " + address + " : " + e.detail +
                   " ; relancez avec VELMORIN_LPT=emulator pour l'afficheur émulé seul";
        case Problem::WriteFailed:
            return "écriture sur " + describe(e.description) + " impossible : " + errnoText(e.err);
        case Problem::TraceNoReader:
            return "le fichier de trace " + e.device +
                   " est un tube que personne ne lit ; lancez d'abord le lecteur, ou" +
                   trace.substr(2);
        case Problem::TraceOpenFailed:
            return "impossible d'ouvrir le fichier de trace " + e.device + " : " +
                   errnoText(e.err) + trace;
        case Problem::TraceLocked:
            return "le fichier de trace " + e.device + " est déjà utilisé par un autre programme" +
                   trace;
        case Problem::TraceTruncateFailed:
            return "impossible de vider le fichier de trace " + e.device + " : " +
                   errnoText(e.err) + trace;
        case Problem::TraceWriteFailed:
            return "écriture du fichier de trace " + e.device + " impossible : " + errnoText(e.err);
        case Problem::TraceReaderStalled:
            return "le lecteur de la trace ne lit plus : " + e.device +
                   " n'a rien pris depuis 2 s ; relancez le lecteur, ou" + trace.substr(2);
    }
    return {};
}

// What the user typed, as a sentence may quote it: at most 80 characters, and every byte
// that is not printable UTF-8 as \xNN, so that a stray byte or a pasted file cannot garble
// the terminal or flood it.
std::string shown(const std::string& text) {
    constexpr std::size_t kMaxCharacters = 80;
    std::string out;
    std::size_t i = 0;
    for (std::size_t characters = 0; i < text.size() && characters < kMaxCharacters; ++characters) {
        const auto c = static_cast<unsigned char>(text[i]);
        // The length of a well-formed UTF-8 sequence starting here, or 0.
        std::size_t n = c < 0x80             ? 1
                        : c < 0xC2           ? 0  // a continuation byte, or an overlong lead
                        : (c & 0xE0) == 0xC0 ? 2
                        : (c & 0xF0) == 0xE0 ? 3
                        : (c & 0xF8) == 0xF0 ? 4
                                             : 0;
        for (std::size_t k = 1; k < n; ++k)
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                n = 0;
        if (n == 0 || c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return i < text.size() ? out + "…" : out;
}

}  // namespace

std::string sentence(const port::Error& error) {
    port::Error e = error;
    e.value = shown(e.value);
    e.detail = shown(e.detail);
    e.device = shown(e.device);
    e.setting = shown(e.setting);
    e.file = shown(e.file);
    // A setting from a file names the line to mend.
    const std::string where = e.file.empty() || e.line == 0
                                  ? std::string()
                                  : e.file + ", ligne " + std::to_string(e.line) + " : ";
    return where + body(e) + hintText(e);
}

std::string settingOrigins(const std::vector<port::SettingOrigin>& origins) {
    if (origins.empty()) return "aucun réglage : tout par défaut";
    std::string text;
    for (const port::SettingOrigin& o : origins)
        text += (text.empty() ? "" : "\n") + o.name + "=" + shown(o.value) + " (" +
                (o.file.empty() ? std::string("environnement")
                                : shown(o.file) + ", ligne " + std::to_string(o.line)) +
                ")";
    return text;
}

std::string describe(const port::Description& d) {
    switch (d.backend) {
        case port::BackendId::Ppdev:
            return d.device + " (ppdev)";
        case port::BackendId::Ioport:
            return "E/S directe " + d.device;
        case port::BackendId::Pcf8574:
        case port::BackendId::Mcp23008:
            return d.device + " @ " + d.detail + (d.found ? " (trouvé)" : "") + " (" +
                   (d.backend == port::BackendId::Pcf8574 ? "PCF8574" : "MCP23008") +
                   (d.wiring.empty() ? "" : ", câblage " + d.wiring) + ")";
        case port::BackendId::Gpio:
            return d.device + " (GPIO " + d.detail + ")";
        case port::BackendId::Inpout:
            return d.device;
    }
    return d.device;
}

std::string panelNote(const port::Note& note) {
    if (note.empty()) return {};
    if (!note.library.empty())
        return libraryNotFound(note.library, note.searched) + " : afficheur émulé seul";
    std::string text = "aucun port à " + port::hexAddress(note.address);
    for (const port::Note::Found& p : note.parports)
        text += " ; " + p.device + " est à " + port::hexAddress(static_cast<std::int16_t>(p.base));
    return text;
}

std::string toldNote(const port::Note& note) {
    if (!note.library.empty())
        return panelNote(note) + " ; " + copyBesideProgram(note.library) +
               " pour écrire sur le port";
    return panelNote(note) + " (afficheur émulé ; " + note.setting +
           "=/dev/parportN pour le choisir)";
}

std::string noDisplayServer() {
    return "aucun serveur d'affichage (DISPLAY et WAYLAND_DISPLAY sont vides) ; essayez : "
           "xvfb-run ./scripts/run";
}

std::string displayServerUnreachable(const std::string& display) {
    return "impossible de se connecter au serveur d'affichage « " + shown(display) +
           " » ; vérifiez DISPLAY, ou lancez sans écran avec xvfb-run ./scripts/run";
}

std::string displayServerLost(const std::string& display) {
    return "le serveur d'affichage « " + shown(display) +
           " » a disparu ; la trace est écrite jusqu'à la dernière écriture, relancez le "
           "programme quand il sera revenu";
}

std::string platformUnavailable(const std::string& platform, const std::string& available) {
    return "la plateforme Qt « " + shown(platform) +
           " » (QT_QPA_PLATFORM) n'a pas pu être chargée" +
           (available.empty() ? std::string() : " ; plateformes disponibles : " + available) +
           " ; videz QT_QPA_PLATFORM pour l'affichage du bureau";
}

std::string windowsPlatformUnavailable(const std::string& available) {
    return "la plateforme Qt « windows » n'a pas pu être chargée" +
           (available.empty() ? std::string() : " (plateformes trouvées : " + available + ")") +
           " ; vérifiez que platforms\\qwindows.dll est bien à côté de velmorin.exe, ou "
           "décompressez à nouveau le dossier du programme";
}

std::string waylandPluginMissing() {
    return "seul un serveur Wayland est là (WAYLAND_DISPLAY) et le greffon Wayland de Qt manque : "
           "installez le paquet qt6-wayland, ou ouvrez une session X11 (DISPLAY)";
}

std::string qtFatal(const std::string& firstLine) {
    return "erreur fatale de Qt (" + firstLine + ")";
}

std::string moduleNotSaved(const std::string& file) {
    return "Choix du module non enregistré : impossible d'écrire « " + shown(file) +
           " » ; vérifiez que ce fichier et son dossier sont accessibles en écriture";
}

std::string prefixed(const std::string& s) {
    return kPrefix + s;
}

void tell(const std::string& s) noexcept {
    // Piece by piece: nothing here allocates, so a sentence goes out even without memory.
    std::fputs(kPrefix, stderr);
    std::fputs(s.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace ui
