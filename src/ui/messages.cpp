#include "ui/messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "hd44780/char_rom.h"
#include "hd44780/modules.h"
#include "port/backend.h"
#include "port/parport/windows/inpout_backend.h"
#include "port/parse.h"
#include "port/settings/settings.h"
#include "port/trace/vcd_trace.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {

namespace texts {

namespace {

// A character that shows nothing where it stands: a byte-order mark, a zero-width or
// direction mark, a line or paragraph separator, a soft hyphen.
bool invisible(const std::string& text, std::size_t i, std::size_t n) {
    if (n < 2) return false;
    std::uint32_t cp = static_cast<unsigned char>(text[i]) & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    return cp == 0xAD || cp == 0xFEFF || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x2064);
}

}  // namespace

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
        case ELOOP:
            return "trop de niveaux de liens symboliques";
        case ENAMETOOLONG:
            return "nom de fichier trop long";
        case ENOTDIR:
            return "un élément du chemin n'est pas un dossier";
        case EEXIST:
            return "le fichier existe déjà";
        case EMFILE:
            return "trop de fichiers ouverts par le programme";
        case ENFILE:
            return "trop de fichiers ouverts sur le système";
        case ENOMEM:
            return "plus assez de mémoire";
        case EBADF:
            return "descripteur de fichier invalide";
        case EFAULT:
            return "adresse invalide";
        case EINTR:
            return "appel interrompu";
        case ETXTBSY:
            return "fichier exécutable occupé";
        case EOVERFLOW:
            return "valeur trop grande pour le type de données";
        case EILSEQ:
            return "séquence d'octets invalide";
        case ENOBUFS:
            return "plus de tampons disponibles";
        case ENOTCONN:
            return "pas de connexion";
        case ECONNRESET:
            return "connexion réinitialisée";
        case EPROTO:
            return "erreur de protocole";
        case ECANCELED:
            return "opération annulée";
#ifdef ESHUTDOWN  // Linux: a USB device unplugged mid-transfer
        case ESHUTDOWN:
            return "le périphérique a été débranché ou arrêté";
#endif
#ifdef ENOMEDIUM
        case ENOMEDIUM:
            return "aucun support dans le lecteur";
#endif
#ifdef ESTALE
        case ESTALE:
            return "fichier réseau périmé";
#endif
#ifdef ENOLINK
        case ENOLINK:
            return "le lien a été coupé";
#endif
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

std::string deviceAndName(const std::string& device, const std::string& name) {
    return name.empty() ? device : device + " — " + name;
}

std::string joinGroup(const std::string& group) {
    return " ; ajoutez votre utilisateur au groupe " + group + " (sudo usermod -aG " + group +
           " $USER, puis reconnectez-vous)";
}

std::string settingSaid(const port::Error& e) {
    return e.setting + "=\"" + e.value + "\" : ";
}

std::string deviceNamed(const port::Error& e) {
    return e.setting + "=" + e.device;
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
        const std::size_t n = port::utf8Length(text, i);
        if (n == 0 || c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            ++i;
        } else if (invisible(text, i, n)) {
            for (std::size_t k = 0; k < n; ++k) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(text[i + k]));
                out += hex;
            }
            i += n;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return i < text.size() ? out + "…" : out;
}

}  // namespace texts

namespace {

constexpr const char* kPrefix = "velmorin : ";

using port::Hint;
using port::Problem;
using texts::errnoText;
using texts::shown;

std::string moduleSizeList() {
    std::string list;
    for (const hd44780::Geometry& g : hd44780::kModuleSizes)
        list += (list.empty() ? "" : ", ") + hd44780::moduleSizeName(g);
    return list;
}

// "a00 ou a02".
std::string romChoices(const char* separator) {
    std::string list;
    for (const hd44780::RomRow& r : hd44780::roms())
        list += (list.empty() ? "" : separator) + std::string(r.name);
    return list;
}

std::string oscillatorChoices() {
    std::string list;
    for (const hd44780::Oscillator& o : hd44780::kOscillators)
        list += (list.empty() ? "" : " ou ") + std::to_string(o.kHz) + "khz";
    return list;
}

std::string hintText(const port::Error& e) {
    if (e.hint == 0) return {};
    if (e.backend) return backendTexts(e.backend).hint(e);
    switch (static_cast<Hint>(e.hint)) {
        case Hint::None:
            return {};
        case Hint::TraceFreeSpace:
            return " ; libérez de la place ou choisissez un autre fichier avec VELMORIN_TRACE";
        case Hint::TraceReaderGone:
            return " ; le programme qui lisait la trace s'est arrêté : relancez-le, ou choisissez "
                   "un autre fichier avec VELMORIN_TRACE";
        case Hint::TraceOtherFile:
            return " ; choisissez un autre fichier avec VELMORIN_TRACE";
    }
    return {};
}

// "/dev/parportN, /dev/i2c-N@0xAA ou /dev/gpiochipN@RS,E,D4,D5,D6,D7".
std::string deviceFormList() {
    const auto forms = port::deviceForms();
    std::string list;
    for (std::size_t i = 0; i < forms.size(); ++i)
        list += (i == 0 ? "" : i + 1 == forms.size() ? " ou " : ", ") + std::string(forms[i]);
    return list;
}

std::string body(const port::Error& e) {
    const std::string setting = texts::settingSaid(e);
    const std::string trace = " ; choisissez un autre fichier avec VELMORIN_TRACE";
    const std::string address = port::hexAddress(e.address);
    switch (e.what) {
        case Problem::UnknownBackend:
            return setting + "valeur inconnue (valeurs acceptées : " + port::backendChoices() + ")";
        case Problem::UnknownDevice: {
            const std::string forms = deviceFormList();
            return setting + "forme de périphérique inconnue" +
                   (forms.empty() ? std::string(" (aucun périphérique ne se nomme ici)")
                                  : " (attendu : " + forms + ")");
        }
        case Problem::DevicePathMissing:
            return setting + "le chemin du périphérique manque avant « @ »";
        case Problem::BadDelay:
            return setting + "valeur invalide (un entier de 1 à " +
                   std::to_string(port::kMaxDelay) +
                   " : chaque pause et chaque phase de l'impulsion E dure N fois plus longtemps)";
        case Problem::ModuleTwoSizes:
            return setting + "deux tailles : « " + e.detail +
                   " » vient après une autre ; une seule parmi " + moduleSizeList() +
                   " (par exemple 20x4,a02)";
        case Problem::ModuleTwoRoms:
            return setting + "deux ROM : « " + e.detail + " » vient après une autre ; une seule, " +
                   romChoices(" ou ");
        case Problem::ModuleTwoOscillators:
            return setting + "deux oscillateurs : « " + e.detail +
                   " » vient après un autre ; un seul, " + oscillatorChoices();
        case Problem::ModuleUnknownPart:
            return setting + "« " + e.detail + " » inconnu (une taille parmi " + moduleSizeList() +
                   " ; puis " + romChoices(" ou ") + ", " + oscillatorChoices() +
                   " ; par exemple 20x4,a02)";
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
                   "le port parallèle passe par " +
                   port::inpout::kLibrary + " (VELMORIN_LPT=inpout)";
        case Problem::SettingsFileUnreadable:
            return "impossible de lire le fichier de réglages " + e.file + " : " +
                   errnoText(e.err) +
                   (e.err == EACCES || e.err == EPERM
                        ? " ; rendez-le lisible (chmod 644) ou retirez-le"
                    : e.err == ELOOP ? " ; corrigez le lien symbolique ou retirez-le"
                                     : " ; remplacez-le par un fichier texte ou retirez-le");
        case Problem::SettingsFileIsFolder:
            return "le fichier de réglages " + e.file +
                   " est un dossier ; renommez ou retirez ce dossier";
        case Problem::SettingsFileNotRegular:
            return "le fichier de réglages " + e.file +
                   " n'est pas un fichier ordinaire (un tube ou un périphérique) et n'a pas été "
                   "lu ; remplacez-le par un fichier texte ou retirez-le";
        case Problem::SettingsFileTooLarge:
            return "le fichier de réglages " + e.file + " dépasse " +
                   std::to_string(e.number / 1024) +
                   " Kio : ce n'est pas un fichier de réglages ; raccourcissez-le ou retirez-le";
        case Problem::SettingsNotUtf8:
            return "cette ligne n'est pas en UTF-8 ; enregistrez le fichier en UTF-8";
        case Problem::SettingsQuoteUnclosed:
            return "« " + e.detail + " » : le guillemet n'est pas refermé ; refermez-le";
        case Problem::SettingsLineMalformed:
            return "« " + e.detail +
                   " » n'est pas de la forme NOM=valeur ; corrigez la ligne, ou faites-en un "
                   "commentaire en la commençant par #";
        case Problem::SettingsUnknownName:
            return "réglage « " + e.setting + " » inconnu (réglages : " + port::settingChoices() +
                   ")";
        case Problem::DeviceUnusable:
            return texts::deviceNamed(e) + " : " + errnoText(e.err);
        case Problem::NotCharacterDevice:
            return texts::deviceNamed(e) +
                   " n'est pas un périphérique caractère ; rien n'y a été ouvert";
        case Problem::OpenFailed:
            return "impossible d'ouvrir " + e.device + " : " + errnoText(e.err);
        case Problem::HeldByOtherPort:
            return texts::deviceNamed(e) + " : " + e.device + " est déjà utilisé par " + e.detail +
                   " dans Velmorin ; choisissez-en un autre ici, ou libérez-le d'abord sur " +
                   e.detail.substr(0, e.detail.find(' '));
        case Problem::Backend:
            return backendTexts(e.backend).problem(e);
        case Problem::UnsupportedAddress:
            return "aucun port parallèle pris en charge à l'adresse " + address +
                   " (adresses prises en charge : " + port::supportedAddressList() + ")";
        case Problem::PrepareFailed:
            return "impossible de préparer le port " + address + " : " + e.detail +
                   " ; relancez avec VELMORIN_LPT=emulator pour l'afficheur émulé seul";
        case Problem::WriteFailed:
            return "écriture sur " + panelName(e.description) + " impossible : " + errnoText(e.err);
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
            return "le lecteur de la trace ne lit plus : " + e.device + " n'a rien pris depuis " +
                   std::to_string(port::VcdTrace::kReaderPatienceMs / 1000) +
                   " s ; relancez le lecteur, ou" + trace.substr(2);
        case Problem::TraceIsOwnFile:
            return "le fichier de trace " + e.device + " est " + e.detail +
                   ", un fichier du programme, qu'une trace écraserait" + trace;
    }
    return {};
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

std::string panelName(const port::Description& d) {
    return backendTexts(d.backend).panelName(d);
}

std::string panelLook(const port::Description& d) {
    const BackendTexts& t = backendTexts(d.backend);
    return t.panelLook ? t.panelLook(d) : std::string();
}

std::string panelNote(const port::Note& note) {
    const BackendTexts& t = backendTexts(note.backend);
    return note.empty() || !t.panelNote ? std::string() : t.panelNote(note);
}

std::string toldNote(const port::Note& note) {
    const BackendTexts& t = backendTexts(note.backend);
    return note.empty() || !t.toldNote ? std::string() : t.toldNote(note);
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

std::string moduleNotRead(const std::string& file) {
    return "Choix du module précédent illisible : « " + shown(file) +
           " » est abîmé ; il sera réécrit au prochain choix";
}

std::string moduleNotRemembered(const std::string& file) {
    return "Choix du module non retenu : « " + shown(file) +
           " » n'est pas un fichier ordinaire ; retirez-le pour que le choix soit enregistré";
}

std::string deviceChoiceNotSaved(const std::string& file, int err) {
    if (file.empty())
        return "Choix du matériel non enregistré : aucun dossier personnel où le garder ; il vaut "
               "pour cette fois";
    if (err == EACCES || err == EPERM || err == EROFS)
        return "Choix du matériel non enregistré : « " + shown(file) +
               " » : " + texts::errnoText(err) +
               " ; le fichier reste tel quel : rendez-le accessible en écriture, ou changez-le "
               "à la main";
    return "Choix du matériel non enregistré : impossible d'écrire « " + shown(file) + " » (" +
           texts::errnoText(err) +
           ") ; vérifiez que ce fichier et son dossier sont accessibles en écriture";
}

std::string deviceFixedByEnvironment(const std::string& setting, const std::string& value) {
    return setting + "=" + shown(value) +
           " vient de l'environnement et ne peut pas être changé ici ; retirez-le de "
           "l'environnement pour choisir dans cette liste";
}

std::string devicesIgnored(const std::string& mode) {
    return "VELMORIN_LPT=" + shown(mode) +
           " sert chaque port lui-même : le matériel ne se choisit pas ici ; retirez ce réglage "
           "pour choisir dans cette liste";
}

std::string outOfMemoryAtStartup() {
    return "plus assez de mémoire pour démarrer ; fermez d'autres programmes, puis relancez";
}

std::string startupFailed(const std::string& what) {
    return "le démarrage a échoué (" + shown(what) + ") ; relancez le programme";
}

std::string stoppedDuringStartup() {
    return "arrêt demandé pendant le démarrage : le programme s'arrête avant d'ouvrir ses "
           "fenêtres";
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
