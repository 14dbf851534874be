// Every sentence the program says about a fault, each once, with its text written out: a
// reworded sentence is a deliberate change, made here.
#include <gtest/gtest.h>

#include <cerrno>

#include "port/gpio/linux/gpio_backend.h"
#include "port/i2c/bridges.h"
#include "port/i2c/expander.h"
#include "port/parport/linux/ioport_backend.h"
#include "port/parport/linux/ppdev_backend.h"
#include "port/parport/windows/inpout_backend.h"
#include "port/serial/serial_backend.h"
#include "ui/backend_texts.h"
#include "ui/check_texts.h"
#include "ui/messages.h"
#include "ui/timing_texts.h"

namespace {

port::Error filled(port::Error e) {
    e.setting = "VELMORIN_LPT1";
    e.value = "v";
    e.device = "/dev/x";
    e.detail = "d";
    e.err = EIO;
    e.address = 0x378;
    e.number = 9;
    e.count = 8;
    return e;
}
port::Error shared(port::Problem p) {
    return filled(port::problem(p));
}
template <class Code>
port::Error own(const char* backend, Code code) {
    port::Error e = filled(port::backendProblem(code));
    e.backend = backend;
    return e;
}
port::Error busNoneFound() {
    port::Error e = own("pcf8574", port::i2c::Problem::NoneFound);
    e.device = "/dev/i2c-1";
    return e;
}
port::Error badOption() {
    port::Error e = own("pcf8574", port::i2c::Problem::BadOption);
    e.choices = "lcm1602, mjkdz, lcdxio";
    return e;
}
port::Error bridges(port::i2c::BridgeProblem p, const char* attached) {
    port::Error e = own("usb-i2c", p);
    e.device = "mcp2221";
    e.detail = attached;
    e.choices = "hid-mcp2221";
    return e;
}
port::Description pcf8574() {
    return {"pcf8574", "/dev/i2c-1", "0x27", "", false};
}
port::Error writeFailed() {
    port::Error e = shared(port::Problem::WriteFailed);
    e.description = pcf8574();
    return e;
}
port::Error fromFile() {
    port::Error e = shared(port::Problem::SettingsLineMalformed);
    e.file = "/etc/velmorin.conf";
    e.line = 3;
    return e;
}
port::Error inFile(port::Problem p, int line) {
    port::Error e = shared(p);
    e.file = "/c";
    e.line = line;
    e.number = 64 * 1024;
    return e;
}
port::Error unreadable(int err) {
    port::Error e = inFile(port::Problem::SettingsFileUnreadable, 0);
    e.err = err;
    return e;
}
port::Error ownFile() {
    port::Error e = shared(port::Problem::TraceIsOwnFile);
    e.detail = "/c";
    return e;
}
template <class Code>
port::Error hinted(const char* backend, Code hint) {
    port::Error e = shared(port::Problem::OpenFailed);
    e.backend = backend;
    e.hint = port::codeOf(hint);
    e.setting = "VELMORIN_LPT2";
    e.description = pcf8574();
    return e;
}

TEST(Catalogue, EverySentence) {
    struct Case {
        port::Error error;
        const char* said;
    };
    const Case cases[] = {
        {shared(port::Problem::UnknownBackend),
         "VELMORIN_LPT1=\"v\" : valeur inconnue (valeurs acceptées : auto, emulator, ppdev, "
         "ioport)"},
        {shared(port::Problem::UnknownDevice),
         "VELMORIN_LPT1=\"v\" : forme de périphérique inconnue (attendu : /dev/parportN, "
         "/dev/i2c-N@0xAA, /dev/gpiochipN@RS,E,D4,D5,D6,D7 ou PORT@lcdserializer)"},
        {shared(port::Problem::DevicePathMissing),
         "VELMORIN_LPT1=\"v\" : le chemin du périphérique manque avant « @ »"},
        {shared(port::Problem::BadDelay),
         "VELMORIN_LPT1=\"v\" : valeur invalide (un entier de 1 à 16 : chaque pause et chaque "
         "phase de l'impulsion E dure N fois plus longtemps)"},
        {shared(port::Problem::ModuleTwoSizes),
         "VELMORIN_LPT1=\"v\" : deux tailles : « d » vient après une autre ; une seule parmi 8x1, "
         "8x2, 16x1, 16x2, 16x4, 20x1, 20x2, 20x4, 24x2, 40x1, 40x2 (par exemple 20x4,a02)"},
        {shared(port::Problem::ModuleTwoRoms),
         "VELMORIN_LPT1=\"v\" : deux ROM : « d » vient après une autre ; une seule, a00 ou a02"},
        {shared(port::Problem::ModuleTwoOscillators),
         "VELMORIN_LPT1=\"v\" : deux oscillateurs : « d » vient après un autre ; un seul, 270khz "
         "ou 190khz"},
        {shared(port::Problem::ModuleUnknownPart),
         "VELMORIN_LPT1=\"v\" : « d » inconnu (une taille parmi 8x1, 8x2, 16x1, 16x2, 16x4, 20x1, "
         "20x2, 20x4, 24x2, 40x1, 40x2 ; puis a00 ou a02, 270khz ou 190khz ; par exemple "
         "20x4,a02)"},
        {shared(port::Problem::OtherPlatformBackend),
         "VELMORIN_LPT1=\"v\" : la bibliothèque de port n'existe que sous Windows (valeurs "
         "acceptées ici : auto, emulator, ppdev, ioport)"},
        {shared(port::Problem::OtherPlatformDevice),
         "VELMORIN_LPT1=\"v\" : les périphériques /dev (ppdev, I2C, GPIO) n'existent que sous "
         "Linux ; ici, le port parallèle passe par inpoutx64.dll (VELMORIN_LPT=inpout)"},
        {shared(port::Problem::SettingsFileUnreadable),
         "impossible de lire le fichier de réglages  : erreur d'entrée-sortie ; remplacez-le par "
         "un fichier texte ou retirez-le"},
        {unreadable(EACCES),
         "impossible de lire le fichier de réglages /c : permission refusée ; rendez-le lisible "
         "(chmod 644) ou retirez-le"},
        {unreadable(ELOOP),
         "impossible de lire le fichier de réglages /c : trop de niveaux de liens symboliques ; "
         "corrigez le lien symbolique ou retirez-le"},
        {unreadable(ESHUTDOWN),
         "impossible de lire le fichier de réglages /c : le périphérique a été débranché ou "
         "arrêté ; remplacez-le par un fichier texte ou retirez-le"},
        {inFile(port::Problem::SettingsFileIsFolder, 0),
         "le fichier de réglages /c est un dossier ; renommez ou retirez ce dossier"},
        {inFile(port::Problem::SettingsFileNotRegular, 0),
         "le fichier de réglages /c n'est pas un fichier ordinaire (un tube ou un périphérique) "
         "et n'a pas été lu ; remplacez-le par un fichier texte ou retirez-le"},
        {inFile(port::Problem::SettingsFileTooLarge, 0),
         "le fichier de réglages /c dépasse 64 Kio : ce n'est pas un fichier de réglages ; "
         "raccourcissez-le ou retirez-le"},
        {inFile(port::Problem::SettingsNotUtf8, 2),
         "/c, ligne 2 : cette ligne n'est pas en UTF-8 ; enregistrez le fichier en UTF-8"},
        {inFile(port::Problem::SettingsQuoteUnclosed, 2),
         "/c, ligne 2 : « d » : le guillemet n'est pas refermé ; refermez-le"},
        {ownFile(),
         "le fichier de trace /dev/x est /c, un fichier du programme, qu'une trace écraserait ; "
         "choisissez un autre fichier avec VELMORIN_TRACE"},
        {shared(port::Problem::SettingsLineMalformed),
         "« d » n'est pas de la forme NOM=valeur ; corrigez la ligne, ou faites-en un commentaire "
         "en la commençant par #"},
        {shared(port::Problem::SettingsUnknownName),
         "réglage « VELMORIN_LPT1 » inconnu (réglages : VELMORIN_LPT, VELMORIN_TRACE, "
         "VELMORIN_DELAY, VELMORIN_MODULE, VELMORIN_LPT1, VELMORIN_LPT2)"},
        {shared(port::Problem::DeviceUnusable), "VELMORIN_LPT1=/dev/x : erreur d'entrée-sortie"},
        {shared(port::Problem::NotCharacterDevice),
         "VELMORIN_LPT1=/dev/x n'est pas un périphérique caractère ; rien n'y a été ouvert"},
        {shared(port::Problem::OpenFailed), "impossible d'ouvrir /dev/x : erreur d'entrée-sortie"},
        {[] {
             port::Error e = shared(port::Problem::HeldByOtherPort);
             e.detail = "LPT1 (0x378)";
             return e;
         }(),
         "VELMORIN_LPT1=/dev/x : /dev/x est déjà utilisé par LPT1 (0x378) dans Velmorin ; "
         "choisissez-en un autre ici, ou libérez-le d'abord sur LPT1"},
        {shared(port::Problem::UnsupportedAddress),
         "aucun port parallèle pris en charge à l'adresse 0x378 (adresses prises en charge : "
         "0x378, 0x278)"},
        {shared(port::Problem::PrepareFailed),
         "impossible de préparer le port 0x378 : d ; relancez avec VELMORIN_LPT=emulator pour "
         "l'afficheur émulé seul"},
        {shared(port::Problem::TraceNoReader),
         "le fichier de trace /dev/x est un tube que personne ne lit ; lancez d'abord le lecteur, "
         "ou choisissez un autre fichier avec VELMORIN_TRACE"},
        {shared(port::Problem::TraceOpenFailed),
         "impossible d'ouvrir le fichier de trace /dev/x : erreur d'entrée-sortie ; choisissez un "
         "autre fichier avec VELMORIN_TRACE"},
        {shared(port::Problem::TraceLocked),
         "le fichier de trace /dev/x est déjà utilisé par un autre programme ; choisissez un autre "
         "fichier avec VELMORIN_TRACE"},
        {shared(port::Problem::TraceTruncateFailed),
         "impossible de vider le fichier de trace /dev/x : erreur d'entrée-sortie ; choisissez un "
         "autre fichier avec VELMORIN_TRACE"},
        {shared(port::Problem::TraceWriteFailed),
         "écriture du fichier de trace /dev/x impossible : erreur d'entrée-sortie"},
        {shared(port::Problem::TraceReaderStalled),
         "le lecteur de la trace ne lit plus : /dev/x n'a rien pris depuis 2 s ; relancez le "
         "lecteur, ou choisissez un autre fichier avec VELMORIN_TRACE"},
        {own("pcf8574", port::i2c::Problem::AddressMissing),
         "VELMORIN_LPT1=\"v\" : un bus I2C demande l'adresse du backpack après « @ » (par exemple "
         "/dev/i2c-1@0x27 ; i2cdetect -y 1 la trouve)"},
        {own("pcf8574", port::i2c::Problem::BadAddress),
         "VELMORIN_LPT1=\"v\" : adresse I2C « d » invalide (attendu : 0x03 à 0x77 en hexadécimal, "
         "par exemple @0x27)"},
        {own("pcf8574", port::i2c::Problem::PinMapLength),
         "VELMORIN_LPT1=\"v\" : « d » : il faut huit broches, pour RS, R/W, E, rétroéclairage, D4, "
         "D5, D6, D7 (par exemple map=65470123)"},
        {own("pcf8574", port::i2c::Problem::PinMapPin),
         "VELMORIN_LPT1=\"v\" : « d » : chaque broche est un chiffre de 0 à 7 (« - » seulement "
         "pour R/W relié à la masse, en deuxième place, ou un rétroéclairage absent, en "
         "quatrième)"},
        {own("pcf8574", port::i2c::Problem::PinMapTwice),
         "VELMORIN_LPT1=\"v\" : « d » : une broche y sert deux fois"},
        {own("pcf8574", port::i2c::Problem::TwoWirings),
         "VELMORIN_LPT1=\"v\" : deux câblages : « d » vient après un autre ; un seul"},
        {own("mcp23008", port::i2c::Problem::NotI2cDevice),
         "VELMORIN_LPT1=/dev/x n'est pas un bus I2C (/dev/i2c-N du pilote i2c-dev) ; rien n'y a "
         "été ouvert"},
        {own("pcf8574", port::i2c::Problem::AddressRefused),
         "impossible de choisir l'adresse /dev/x @ d : erreur d'entrée-sortie"},
        {own("pcf8574", port::i2c::Problem::ManyFound),
         "plusieurs appareils répondent sur /dev/x : d ; nommez celui du module, par exemple "
         "/dev/x@d"},
        {own("pcf8574", port::i2c::Problem::NotBackpack),
         "l'appareil à d sur /dev/x ne répond pas comme un PCF8574 ou un MCP23008 : ce n'est "
         "pas un backpack, rien de plus n'y a été écrit ; nommez l'adresse du module, par "
         "exemple /dev/x@0x27 (i2cdetect -y /dev/x liste ce qui répond)"},
        {own("gpio", port::gpio::Problem::LinesMissing),
         "VELMORIN_LPT1=\"v\" : une puce GPIO demande ses six lignes après « @ » "
         "(RS,E,D4,D5,D6,D7, par exemple /dev/gpiochip0@25,24,23,17,18,22)"},
        {own("gpio", port::gpio::Problem::LineCount),
         "VELMORIN_LPT1=\"v\" : il faut six numéros de ligne GPIO après « @ » (RS,E,D4,D5,D6,D7), "
         "puis R/W et le rétroéclairage s'ils sont câblés, 8 donnés"},
        {own("gpio", port::gpio::Problem::BadOption),
         "VELMORIN_LPT1=\"v\" : « d » demande la ligne du rétroéclairage, la huitième "
         "(RS,E,D4,D5,D6,D7,RW,BL)"},
        {own("gpio", port::gpio::Problem::BadLine),
         "VELMORIN_LPT1=\"v\" : ligne GPIO « d » invalide (un entier de 0 à 1023)"},
        {[] {
             port::Error e = own("serial", port::serial::Problem::ProtocolMissing);
             e.choices = "lcdserializer, picanlcd, vdr-lcd, matrix-orbital";
             return e;
         }(),
         "VELMORIN_LPT1=\"v\" : un port série demande après « @ » le protocole de la carte "
         "(lcdserializer, picanlcd, vdr-lcd, matrix-orbital ; par exemple "
         "/dev/ttyACM0@lcdserializer)"},
        {[] {
             port::Error e = own("serial", port::serial::Problem::UnknownProtocol);
             e.choices = "lcdserializer, picanlcd, vdr-lcd, matrix-orbital";
             return e;
         }(),
         "VELMORIN_LPT1=\"v\" : protocole série « d » inconnu (protocoles : lcdserializer, "
         "picanlcd, vdr-lcd, matrix-orbital ; le croquis Velmorin parle lcdserializer)"},
        {own("serial", port::serial::Problem::BadBaud),
         "VELMORIN_LPT1=\"v\" : débit « d » invalide ou refusé par le port (un débit standard, "
         "par exemple baud=9600 ou baud=115200)"},
        {own("serial", port::serial::Problem::BadOption),
         "VELMORIN_LPT1=\"v\" : option « d » inconnue (après le protocole, seul baud=N est "
         "accepté)"},
        {own("serial", port::serial::Problem::NotSerialPort),
         "VELMORIN_LPT1=/dev/x n'est pas un port série ; rien n'y a été ouvert"},
        {own("serial", port::serial::Problem::Console),
         "VELMORIN_LPT1=/dev/x est une console du système, pas un port série : les octets de "
         "l'afficheur s'y écriraient à l'écran ; rien n'y a été ouvert"},
        {own("serial", port::serial::Problem::PtyMaster),
         "VELMORIN_LPT1=/dev/x est le maître des pseudo-terminaux : l'ouvrir en crée un que "
         "personne ne lit ; donnez le côté esclave d'un pseudo-terminal (/dev/pts/N) ou le port "
         "de la carte"},
        {own("serial", port::serial::Problem::OptionTwice),
         "VELMORIN_LPT1=\"v\" : option « d » donnée deux fois ; ne gardez que celle que vous "
         "voulez"},
        {hinted("serial", port::serial::Hint::ListSerialPorts),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; les ports série présents : ls "
         "/dev/ttyACM* /dev/ttyUSB* /dev/serial/by-id (sous Windows, le Gestionnaire de "
         "périphériques, « Ports (COM et LPT) »)"},
        {hinted("serial", port::serial::Hint::JoinGroupDialout),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; ajoutez votre utilisateur au "
         "groupe dialout (sudo usermod -aG dialout $USER, puis reconnectez-vous)"},
        {hinted("serial", port::serial::Hint::PortBusy),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; un autre programme tient le port "
         "(le moniteur série de l'IDE Arduino, par exemple) : fermez-le"},
        {hinted("serial", port::serial::Hint::CablePulled),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; le câble USB a-t-il été "
         "débranché ? rebranchez-le, puis relancez Velmorin"},
        {own("gpio", port::gpio::Problem::LineTwice),
         "VELMORIN_LPT1=\"v\" : la ligne GPIO d est donnée deux fois"},
        {own("gpio", port::gpio::Problem::NotGpioDevice),
         "VELMORIN_LPT1=/dev/x n'est pas une puce GPIO (/dev/gpiochipN) ; rien n'y a été ouvert"},
        {own("gpio", port::gpio::Problem::NotGpioChip),
         "/dev/x n'est pas une puce GPIO : erreur d'entrée-sortie"},
        {own("gpio", port::gpio::Problem::LineMissing),
         "/dev/x n'a pas de ligne 9 : elle a 8 lignes (0 à 7)"},
        {own("gpio", port::gpio::Problem::LinesRefused),
         "impossible de prendre les lignes d de /dev/x : erreur d'entrée-sortie"},
        {own("ppdev", port::ppdev::Problem::NotPpdevDevice),
         "VELMORIN_LPT1=/dev/x n'est pas un port ppdev (/dev/parportN) ; rien n'y a été ouvert"},
        {own("ppdev", port::ppdev::Problem::ParportHeld),
         "/dev/x est tenu par le pilote « d » ; libérez le port : sudo rmmod d (et mettez-le en "
         "liste noire dans /etc/modprobe.d pour qu'il ne revienne pas)"},
        {own("ppdev", port::ppdev::Problem::ClaimFailed),
         "PPCLAIM sur /dev/x refusé : erreur d'entrée-sortie"},
        {own("ppdev", port::ppdev::Problem::NoParportAt),
         "VELMORIN_LPT=ppdev : aucun port parallèle à l'adresse 0x378"},
        {own("ioport", port::ioport::Problem::Unavailable),
         "E/S directe indisponible sur cette architecture ; utilisez VELMORIN_LPT=ppdev"},
        {own("ioport", port::ioport::Problem::IopermUnsupported),
         "ioperm(0x378) : erreur d'entrée-sortie ; ce noyau n'offre pas d'E/S directe sur les "
         "ports : utilisez VELMORIN_LPT=ppdev"},
        {own("ioport", port::ioport::Problem::IopermRefused),
         "ioperm(0x378) refusé : erreur d'entrée-sortie ; l'E/S directe exige root ou "
         "CAP_SYS_RAWIO, et le verrouillage du noyau (Secure Boot) l'interdit ; préférez "
         "VELMORIN_LPT=ppdev"},
        {own("inpout", port::inpout::Problem::LibraryMissing),
         "/dev/x introuvable (cherchée dans : d) ; copiez /dev/x à côté de velmorin.exe"},
        {own("inpout", port::inpout::Problem::WrongBits),
         "/dev/x ne se charge pas (erreur 9 : ce n'est pas une bibliothèque Windows 64 bits "
         "valide) ; ce "
         "programme 64 bits a besoin de la version 64 bits d'InpOut, inpoutx64.dll"},
        {own("inpout", port::inpout::Problem::NoOut32),
         "/dev/x n'exporte pas Out32 : ce n'est pas la bibliothèque de port attendue ; "
         "remplacez-la par l'inpoutx64.dll d'InpOut"},
        {own("inpout", port::inpout::Problem::DriverClosed),
         "/dev/x est chargée mais son pilote ne s'ouvre pas ; sur Windows 11, c'est d'ordinaire "
         "l'« Intégrité de la mémoire » (Sécurité Windows > Sécurité de l'appareil > Isolation du "
         "noyau) qui le bloque : ce pilote est sur la liste des pilotes vulnérables de Microsoft ; "
         "la voie sans pilote est un pont USB-I2C (MCP2221A, CP2112) et un backpack I2C : "
         "VELMORIN_LPT1=mcp2221@0x27 ; sinon, au premier lancement, installez le pilote en lançant "
         "velmorin.exe en administrateur"},
        {busNoneFound(),
         "aucun expandeur ne répond sur /dev/i2c-1 (0x20-0x27, 0x38-0x3f) ; vérifiez "
         "l'alimentation et SDA/SCL, ou nommez l'adresse : /dev/i2c-1@0x27 (i2cdetect -y 1 liste "
         "ce qui répond)"},
        {badOption(),
         "VELMORIN_LPT1=\"v\" : option « d » inconnue (câblages et options : lcm1602, mjkdz, "
         "lcdxio, map=RS,RW,E,BL,D4-D7 (huit broches, par exemple map=65470123), bl-low, bl-high, "
         "pcf8574)"},
        {own("ppdev", port::ppdev::Problem::OptionsGiven),
         "VELMORIN_LPT1=\"v\" : un port parallèle ne prend rien après « @ » (« d » ; par exemple "
         "/dev/parport0)"},
        {bridges(port::i2c::BridgeProblem::NoBridge, "CP2112 0001"),
         "aucun pont USB-I2C « mcp2221 » n'est branché (ponts branchés : CP2112 0001) ; "
         "branchez-le ; s'il l'est, chargez son pilote : sudo modprobe hid-mcp2221 i2c-dev"},
        {bridges(port::i2c::BridgeProblem::ManyBridges, "MCP2221A 01, MCP2221A 02"),
         "plusieurs ponts répondent à « mcp2221 » : MCP2221A 01, MCP2221A 02 ; nommez le vôtre "
         "par son numéro de série, par exemple mcp2221:01@0x27"},
        {[] {
             port::Error e = bridges(port::i2c::BridgeProblem::NoBridge, "");
             e.choices.clear();  // Windows: no kernel driver to load
             return e;
         }(),
         "aucun pont USB-I2C « mcp2221 » n'est branché ; branchez-le (mcp2221, cp2112 ou ft260, "
         "avec :NUMÉRO_DE_SÉRIE si besoin) ; le pilote HID de Windows suffit, rien n'est à "
         "installer"},
        {bridges(port::i2c::BridgeProblem::NoHid, "CM_Get_Device_Interface_PropertyW"),
         "les ponts USB-I2C sont hors d'atteinte : la couche HID du système ne démarre pas "
         "(CM_Get_Device_Interface_PropertyW) ; il faut Windows 8 ou plus récent (wine n'en offre "
         "pas tout) ; sinon, un port parallèle"},
        {writeFailed(),
         "écriture sur /dev/i2c-1 @ 0x27 (PCF8574) impossible : erreur d'entrée-sortie"},
        {fromFile(),
         "/etc/velmorin.conf, ligne 3 : « d » n'est pas de la forme NOM=valeur ; corrigez la "
         "ligne, ou faites-en un commentaire en la commençant par #"},
        {hinted("ppdev", port::ppdev::Hint::LoadPpdev),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; le module ppdev n'est pas chargé : "
         "sudo modprobe ppdev"},
        {hinted("ppdev", port::ppdev::Hint::ParportGone),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; ce port n'existe plus (ls "
         "/dev/parport*)"},
        {hinted("ppdev", port::ppdev::Hint::JoinGroupLp),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; ajoutez votre utilisateur au "
         "groupe lp (sudo usermod -aG lp $USER, puis reconnectez-vous), ou lancez avec "
         "VELMORIN_LPT=emulator pour l'afficheur émulé"},
        {hinted("ppdev", port::ppdev::Hint::ParportRefused),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; le port a refusé l'enregistrement "
         "(un autre pilote l'a-t-il pris ?)"},
        {hinted("ppdev", port::ppdev::Hint::ParportBusy),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; le port est occupé par un autre "
         "programme"},
        {hinted("ppdev", port::ppdev::Hint::GiveParportPath),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; donnez le chemin complet d'un port "
         "parallèle (ls /dev/parport*)"},
        {hinted("pcf8574", port::i2c::Hint::LoadI2cDev),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; chargez le module i2c-dev (sudo "
         "modprobe i2c-dev) ; sur un Raspberry Pi, activez I2C avec sudo raspi-config"},
        {hinted("pcf8574", port::i2c::Hint::JoinGroupI2c),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; ajoutez votre utilisateur au "
         "groupe i2c (sudo usermod -aG i2c $USER, puis reconnectez-vous)"},
        {hinted("pcf8574", port::i2c::Hint::AddressBusy),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; un pilote du noyau utilise déjà "
         "cette adresse"},
        {hinted("pcf8574", port::i2c::Hint::NoAnswer),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; rien ne répond à l'adresse 0x27 "
         "sur /dev/i2c-1 : les backpacks sont d'ordinaire à 0x27 (PCF8574, 0x20-0x27) ou 0x3f "
         "(PCF8574A, 0x38-0x3f) ; i2cdetect -y 1 liste ce qui répond"},
        {hinted("usb-i2c", port::i2c::BridgeHint::HidrawUdevRule),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; le nœud hidraw du pont n'est "
         "ouvert qu'à root : installez la règle udev fournie (sudo cp "
         "/usr/share/doc/velmorin/examples/60-velmorin-usb-i2c.rules /etc/udev/rules.d/ && sudo "
         "udevadm trigger), puis rebranchez le pont"},
        {hinted("usb-i2c", port::i2c::BridgeHint::BridgeBusy),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; un autre programme se sert du "
         "pont : fermez-le, ou débranchez et rebranchez le pont"},
        {hinted("gpio", port::gpio::Hint::ListGpioChips),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; les puces GPIO présentes : ls "
         "/dev/gpiochip*"},
        {hinted("gpio", port::gpio::Hint::JoinGroupGpio),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; Raspberry Pi OS donne "
         "/dev/gpiochip* au groupe gpio : sudo usermod -aG gpio $USER, puis reconnectez-vous"},
        {hinted("gpio", port::gpio::Hint::LinesHeld),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; un autre programme les tient : "
         "gpioinfo liste qui tient quoi"},
        {hinted("ppdev", port::ppdev::Hint::ListParports),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; désignez-en un avec "
         "VELMORIN_LPT2=/dev/parportN"},
        {hinted("ppdev", port::ppdev::Hint::LoadParport),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie (aucun /dev/parport* ; chargez "
         "parport_pc et ppdev)"},
        {hinted(nullptr, port::Hint::TraceFreeSpace),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; libérez de la place ou choisissez "
         "un autre fichier avec VELMORIN_TRACE"},
        {hinted(nullptr, port::Hint::TraceReaderGone),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; le programme qui lisait la trace "
         "s'est arrêté : relancez-le, ou choisissez un autre fichier avec VELMORIN_TRACE"},
        {hinted(nullptr, port::Hint::TraceOtherFile),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; choisissez un autre fichier avec "
         "VELMORIN_TRACE"},
        {hinted("inpout", port::inpout::Hint::Library32Only),
         "impossible d'ouvrir /dev/x : erreur d'entrée-sortie ; seule inpout32.dll, la version 32 "
         "bits, est là : ce programme 64 bits a besoin d'inpoutx64.dll"},
    };
    for (const Case& c : cases) EXPECT_EQ(ui::sentence(c.error), c.said);
}

TEST(Catalogue, PanelNamesAndNotes) {
    const std::pair<port::Description, const char*> names[] = {
        {{"ppdev", "/dev/parport0", "", "", false}, "/dev/parport0 (ppdev)"},
        {{"ioport", "0x378", "", "", false}, "E/S directe 0x378"},
        {{"pcf8574", "/dev/i2c-1", "0x27", "mjkdz", true},
         "/dev/i2c-1 @ 0x27 (trouvé) (PCF8574, câblage mjkdz)"},
        {{"mcp23008", "/dev/i2c-1", "0x20", "", false}, "/dev/i2c-1 @ 0x20 (MCP23008)"},
        {{"gpio", "/dev/gpiochip0", "1,2,3,4,5,6", "", false}, "/dev/gpiochip0 (GPIO 1,2,3,4,5,6)"},
        {{"inpout", "inpoutx64.dll", "", "", false}, "inpoutx64.dll"},
        {{"serial", "/dev/ttyACM0", "lcdserializer", "9600", false},
         "/dev/ttyACM0 (lcdserializer, 9600 bauds)"},
        {{"serial", "COM3", "picanlcd", "9600", false, {}, true},
         "COM3 (picanlcd, 9600 bauds, un caractère égal à l'octet d'échappement envoyé en "
         "espace)"},
        {{"serial", "COM3", "matrix-orbital", "9600", false, {}, false, 0x18},
         "COM3 (matrix-orbital, 9600 bauds, instruction 0x18 (cursor or display shift) sans "
         "équivalent dans le protocole : rien n'a été envoyé à sa place)"},
    };
    for (const auto& [d, said] : names) EXPECT_EQ(ui::panelName(d), said);

    // How a look at the module went.
    port::Description looked{"pcf8574", "MCP2221A 01", "0x27", "mjkdz", true, "/dev/i2c-3"};
    looked.look = 1;
    looked.lookedUp = "0x27,mjkdz";
    EXPECT_EQ(ui::panelLook(looked),
              "mjkdz trouvé par relecture ; le module répond par /dev/i2c-3 à 0x27 (mjkdz) : "
              "s'il reste vide, réglez le contraste (potentiomètre du module) et vérifiez qu'il "
              "est alimenté en 5 V");
    port::Description fell{"pcf8574", "/dev/i2c-1", "0x27", "", true};
    fell.look = 2;
    fell.polarityUnknown = true;
    EXPECT_EQ(ui::panelLook(fell),
              "le module ne répond pas en relecture (R/W relié à la masse sur la carte, ou aucun "
              "câblage connu ne convient) : câblage habituel pris ; s'il n'affiche rien, nommez "
              "le vôtre après l'adresse : lcm1602, mjkdz, lcdxio ou map=RS,RW,E,BL,D4-D7 (par "
              "exemple @0x27,mjkdz) ; polarité du rétroéclairage inconnue : s'il reste éteint, "
              "ajoutez bl-low (allumé au niveau bas) ou bl-high, par exemple @0x27,bl-low");

    port::Note parport{"ppdev", 0x378, "VELMORIN_LPT1", {{"/dev/parport0", 0xd010}}, {}, {}};
    EXPECT_EQ(ui::panelNote(parport), "aucun port à 0x378 ; /dev/parport0 est à 0xd010");
    EXPECT_EQ(ui::toldNote(parport),
              "aucun port à 0x378 ; /dev/parport0 est à 0xd010 (afficheur émulé ; "
              "VELMORIN_LPT1=/dev/parportN pour le choisir)");
    port::Note library{"inpout", 0x378, {}, {}, "inpoutx64.dll", "C:\\a; C:\\b"};
    EXPECT_EQ(ui::panelNote(library),
              "inpoutx64.dll introuvable (cherchée dans : C:\\a; C:\\b) : afficheur émulé seul");
    EXPECT_EQ(ui::toldNote(library),
              "inpoutx64.dll introuvable (cherchée dans : C:\\a; C:\\b) : afficheur émulé seul ; "
              "copiez inpoutx64.dll à côté de velmorin.exe pour écrire sur le port");
}

// The hardware line: each row's candidates as listed, and why a choice is not kept or not
// open to change.
TEST(Catalogue, HardwareLine) {
    const std::pair<const char*, port::Candidate> listed[] = {
        {"ppdev", {"/dev/parport0", "", 0x378}},
        {"pcf8574", {"/dev/i2c-1", "bcm2835 (i2c@7e804000)"}},
        {"pcf8574", {"mcp2221:0123456", "MCP2221A 0123456"}},
        {"gpio", {"/dev/gpiochip0", "pinctrl-bcm2711", 58}},
        {"serial", {"COM3", "Arduino Uno"}},
        {"serial", {"/dev/ttyUSB0", ""}},
    };
    const char* const said[] = {
        "/dev/parport0 (port parallèle à 0x378)",
        "/dev/i2c-1 — bcm2835 (i2c@7e804000)",
        "MCP2221A 0123456 (USB)",
        "/dev/gpiochip0 — pinctrl-bcm2711 (58 lignes)",
        "COM3 — Arduino Uno",
        "/dev/ttyUSB0",
    };
    for (std::size_t i = 0; i < std::size(listed); ++i)
        EXPECT_EQ(ui::backendTexts(listed[i].first).candidateName(listed[i].second), said[i]);
    EXPECT_EQ(ui::deviceChoiceNotSaved("/h/velmorin.conf", ENOSPC),
              "Choix du matériel non enregistré : impossible d'écrire « /h/velmorin.conf » (plus "
              "de place sur le périphérique) ; vérifiez que ce fichier et son dossier sont "
              "accessibles en écriture");
    EXPECT_EQ(ui::deviceChoiceNotSaved("/h/dotfiles/velmorin.conf", EACCES),
              "Choix du matériel non enregistré : « /h/dotfiles/velmorin.conf » : permission "
              "refusée ; le fichier reste tel quel : rendez-le accessible en écriture, ou "
              "changez-le à la main");
    EXPECT_EQ(ui::deviceChoiceNotSaved(""),
              "Choix du matériel non enregistré : aucun dossier personnel où le garder ; il vaut "
              "pour cette fois");
    EXPECT_EQ(ui::deviceFixedByEnvironment("VELMORIN_LPT1", "/dev/i2c-1@0x27"),
              "VELMORIN_LPT1=/dev/i2c-1@0x27 vient de l'environnement et ne peut pas être changé "
              "ici ; retirez-le de l'environnement pour choisir dans cette liste");
    EXPECT_EQ(ui::devicesIgnored("emulator"),
              "VELMORIN_LPT=emulator sert chaque port lui-même : le matériel ne se choisit pas "
              "ici ; retirez ce réglage pour choisir dans cette liste");
}

// velmorin-check's sentences: a capture it cannot read (status 2), and its report's lines.
TEST(Catalogue, VelmorinCheck) {
    using check::MapProblem;
    using check::VcdProblem;
    const std::pair<std::string, const char*> said[] = {
        {ui::check::notAFile("/dev/ttyS0"),
         "« /dev/ttyS0 » n'est pas un fichier ordinaire ; donnez le fichier VCD exporté par "
         "PulseView, sigrok-cli ou Velmorin"},
        {ui::check::vcdProblem("c.vcd", {VcdProblem::NoDefinitions, 3, "", 0}),
         "c.vcd : le fichier finit avant $enddefinitions ; ce n'est pas un fichier VCD, ou il est "
         "tronqué : exportez-le à nouveau"},
        {ui::check::vcdProblem("c.vcd", {VcdProblem::UnclosedBlock, 2, "$var", 0}),
         "c.vcd, ligne 2 : « $var » sans son $end : le fichier est tronqué ; exportez-le à "
         "nouveau"},
        {ui::check::vcdProblem("c.vcd", {VcdProblem::BadTime, 9, "#12x", 0}),
         "c.vcd, ligne 9 : temps « #12x » illisible (attendu : # suivi d'un nombre)"},
        {ui::check::vcdProblem("c.vcd", {VcdProblem::UnknownId, 7, "?", 0}),
         "c.vcd, ligne 7 : identifiant « ? » qu'aucune déclaration $var ne nomme"},
        {ui::check::vcdProblem("c.vcd", {VcdProblem::ValueWithoutId, 7, "b101", 0}),
         "c.vcd, ligne 7 : valeur « b101 » sans identifiant : le fichier est tronqué ; "
         "exportez-le à nouveau"},
        {ui::check::mapProblem("c.vcd", {MapProblem::UnknownPin, "CS"}),
         "--map : broche « CS » inconnue (RS, E, RW, D0 à D7)"},
        {ui::check::mapProblem("c.vcd", {MapProblem::Missing, "RS, E"}),
         "c.vcd : broches sans signal : RS, E ; nommez-les avec --map "
         "(--map RS=D0,E=D1,D4=D4,D5=D5,D6=D6,D7=D7)"},
        {ui::check::readBack(1'500'000),
         "R/W haut à t = 0,001500 s : la capture lit le module ; seules ses écritures sont jugées"},
        {ui::check::vcdProblem("c.vcd", {VcdProblem::TooLong, 4, "AAAA", 0}),
         "c.vcd, ligne 4 : un mot de plus de 1 Mio (« AAAA »…) : ce n'est pas un fichier VCD, ou "
         "il est abîmé"},
        {ui::check::lastLineCut("c.vcd"),
         "c.vcd finit au milieu d'une ligne : le fichier est peut-être tronqué (exportez-le à "
         "nouveau)"},
        {ui::check::pastTheEnd(9'000'000'000, 2'000'000'000),
         "--at 9,000000 s : après la fin de la capture (t = 2,000000 s) ; l'afficheur est montré "
         "à la fin"},
        {ui::check::moduleHint({20, 4}),
         "Les adresses DDRAM écrites sont les débuts de ligne d'un module 20x4 : relancez avec "
         "--module 20x4"},
        {ui::check::outOfMemory(),
         "mémoire insuffisante pour lire cette capture ; une ligne démesurée (un fichier qui "
         "n'est pas un VCD) en est d'ordinaire la cause"},
        {ui::check::internalError(), "erreur interne inattendue ; signalez-la avec la capture"},
        {ui::check::srProblem("c.sr",
                              {check::SrProblem::NotAnArchive, "", check::kZipInconsistent}),
         "c.sr : archive illisible (archive incohérente) ; enregistrez-la à nouveau dans "
         "PulseView"},
        {ui::check::srProblem("c.sr", {check::SrProblem::NoMetadata, ""}),
         "c.sr : pas de fichier « metadata » dans l'archive : ce n'est pas une session sigrok "
         "(.sr)"},
        {ui::check::srProblem("c.sr", {check::SrProblem::BadMetadata, "samplerate"}),
         "c.sr : métadonnées illisibles ou incomplètes (« samplerate ») ; enregistrez la session "
         "à nouveau"},
        {ui::check::srProblem("c.sr", {check::SrProblem::TooManyChannels, "65"}),
         "c.sr : nombre de voies « 65 » invalide (1 à 64)"},
        {ui::check::srProblem("c.sr", {check::SrProblem::BadUnitSize, "9"}),
         "c.sr : taille d'échantillon « 9 » invalide pour ce nombre de voies"},
        {ui::check::srProblem("c.sr", {check::SrProblem::BadSamplerate, "fast"}),
         "c.sr : fréquence d'échantillonnage « fast » illisible"},
        {ui::check::srProblem("c.sr", {check::SrProblem::NoSamples, ""}),
         "c.sr : aucun bloc d'échantillons logiques : la session ne contient pas de capture"},
        {ui::check::srProblem("c.sr", {check::SrProblem::ChunkSize, "logic-1-2"}),
         "c.sr : le bloc « logic-1-2 » n'a pas un nombre entier d'échantillons : l'archive est "
         "tronquée ou abîmée"},
        {ui::check::srProblem("c.sr", {check::SrProblem::Unreadable, "logic-1-1"}),
         "c.sr : le bloc « logic-1-1 » ne se lit pas : l'archive est abîmée"},
        {ui::check::mapProblem("c.vcd", {MapProblem::PinTwice, "E"}),
         "--map : broche « E » donnée deux fois ; une seule fois chacune"},
        {ui::check::mapProblem("c.vcd", {MapProblem::SignalTwice, "D1"}),
         "--map : le signal « D1 » donné pour deux broches ; chaque broche a le sien"},
        {ui::check::mapProblem("c.vcd", {MapProblem::VectorWithoutBit, "data", 8}),
         "--map : « data » est un vecteur de 8 bits ; nommez-en un bit, par exemple data[4]"},
        {ui::check::mapProblem("c.vcd", {MapProblem::Empty, ""}),
         "--map vide ; donnez BROCHE=SIGNAL,… (--map RS=D0,E=D1,D4=D4,D5=D5,D6=D6,D7=D7), ou "
         "omettez --map"},
        {ui::check::mapProblem("c.vcd", {MapProblem::NoScope, "lpt"}),
         "--scope : aucune portée « lpt » dans c.vcd"},
        {ui::check::scopeChosen("velmorin.lpt_0x278", {"velmorin.lpt_0x378"}),
         "Portée jugée : velmorin.lpt_0x278, la plus active (autres : velmorin.lpt_0x378 ; "
         "--scope pour en choisir une)"},
    };
    for (const auto& [text, expected] : said) EXPECT_EQ(text, expected);
    check::Judged j;
    j.edges = 1194;
    j.instructions = 38;
    j.data = 1;
    j.violationCount = 2;
    j.unresolvedCount = 3;
    j.startNs = 0;
    j.eHighAtStart = true;
    j.periodFs = 5'000'000'000;  // 200 kHz
    j.wakeNs = 45'000'000;
    j.before.instructions = 2;
    j.before.violationCount = 1;
    EXPECT_EQ(ui::check::summary(j),
              "Résumé : 1194 fronts, 38 instructions, 1 donnée ; 2 violations, 0 avertissement, 3 "
              "non résolus : capture hors fiche technique");
    EXPECT_EQ(ui::check::samplePeriod(j),
              "Échantillonnage : 5,000 µs (200 kHz) ; plus courts qu'un échantillon, non mesurés "
              ": PWEH 230 ns, tcycE 500 ns, tAS 40 ns, tAH 10 ns, tDSW 80 ns, tH 10 ns ; le reste "
              "est jugé à un échantillon près");
    EXPECT_EQ(ui::check::startState(j),
              "E déjà haut au début de la capture (t = 0,000000 s) : sa montée n'a pas été vue, "
              "rien n'est jugé contre elle");
    EXPECT_EQ(ui::check::beforeWake(j).at(0),
              "Avant le réveil (initialisation par instructions, finie à t = 0,045000 s) : 2 "
              "instructions, 0 donnée, 1 violation, 0 avertissement ; le module n'était pas "
              "encore en phase : rien de cela n'est jugé");
    j.unknownLatches = 3;
    j.unknownPin = check::Pin::D5;
    j.unknownAtNs = 2'000'000;
    EXPECT_EQ(ui::check::unknownLevels(j),
              "Niveau x ou z à la retombée de E : D5 à t = 0,002000 s (et 2 autres fois), lu comme "
              "0 : la broche n'est pas pilotée, ou la sonde n'y est pas");
    EXPECT_EQ(ui::check::unresolvedHeading(j),
              "Non résolus à cette résolution : 3 (sans effet sur le verdict)");
    j = {};
    j.periodFs = 1'000'000'000'000;  // 1 kHz
    EXPECT_EQ(ui::check::summary(j),
              "Résumé : 0 front, 0 instruction, 0 donnée ; 0 violation, 0 avertissement, 0 non "
              "résolu : rien d'exécuté, rien à juger");
    EXPECT_EQ(ui::check::nothingJudged("c.vcd", j),
              "c.vcd : aucune instruction exécutée, rien n'a pu être jugé (E n'a jamais écrit sur "
              "le bus, ou l'échantillonnage est trop lent pour ses impulsions) ; capturez RS, E et "
              "D4-D7 à 1 MHz ou plus");
    j.warningCount = 1;
    j.data = 4;
    EXPECT_EQ(ui::check::summary(j),
              "Résumé : 0 front, 0 instruction, 4 données ; 0 violation, 1 avertissement, 0 non "
              "résolu : capture conforme, avertissements à lire");
}

// Each violation with what was measured and the limit; the times from the origin.
TEST(Catalogue, TimingViolations) {
    using K = hd44780::ViolationKind;
    const std::pair<hd44780::Violation, const char*> said[] = {
        {{K::EnableHighTooShort, 2'000'000, 30}, "E haut 200 ns < 230 ns (t = 0,001000 s)"},
        {{K::EnableCycleTooShort, 2'000'000, 100}, "cycle de E 400 ns < 500 ns (t = 0,001000 s)"},
        {{K::LatchWhileBusy, 2'000'000, 1'500, hd44780::Execution::ClearOrHome},
         "écriture ignorée : le contrôleur est occupé (effacement/retour), 1,500 µs trop tôt (t "
         "= 0,001000 s)"},
        {{K::RsSetup, 2'000'000, 15},
         "RS change 25 ns avant le front montant de E < tAS 40 ns (t = "
         "0,001000 s)"},
        {{K::RsHold, 2'000'000, 10},
         "RS change pendant que E est haut ou 0 ns après sa retombée < "
         "tAH 10 ns (t = 0,001000 s)"},
        {{K::DataSetup, 2'000'000, 30},
         "D4-D7 changent 50 ns avant le front descendant de E < "
         "tDSW 80 ns (t = 0,001000 s)"},
        {{K::DataHold, 2'000'000, 4},
         "D4-D7 changent 6 ns après le front descendant de E < tH 10 "
         "ns (t = 0,001000 s)"},
    };
    for (const auto& [v, text] : said) EXPECT_EQ(ui::violationText(v, 1'000'000), text);
}

// A 16x2 with a custom glyph, a katakana and a code Unicode has no cell for: each cell one
// column, the glyph drawn below.
TEST(Catalogue, VelmorinCheckDisplay) {
    hd44780::Controller lcd;
    std::int64_t t = 20'000'000;
    const auto put = [&](bool rs, std::uint8_t byte) {  // an 8-bit write, 100 us apart
        const hd44780::Pins high{rs, true, static_cast<std::uint8_t>(byte >> 4)};
        lcd.busWrite8(high, byte & 0x0F, t);
        lcd.busWrite8({rs, false, high.db}, byte & 0x0F, t + 1'000);
        t += 2'000'000;
    };
    put(false, 0x38);
    put(false, 0x0C);
    put(false, 0x40);  // glyph 0: a bar on its top row
    put(true, 0x1F);
    put(false, 0x80);
    for (int c : {0x00, 0xB1, 0xFA, 0x41, 0xF4}) put(true, static_cast<std::uint8_t>(c));
    const std::vector<std::string> lines = ui::check::display(lcd, {16, 2}, t, true);
    EXPECT_EQ(lines.at(1), "  |⁰ｱ▯AΩ           |");
    EXPECT_EQ(
        lines.at(3),
        "  ▯ : un caractère de la ROM sans équivalent d'une colonne (--instructions donne son "
        "code)");
    EXPECT_EQ(lines.at(5), "  ⁰     ");
    EXPECT_EQ(lines.at(6), "  █████   ");
    EXPECT_EQ(lines.at(7), "  ·····   ");
    EXPECT_EQ(ui::check::executed({true, true, 0x1F, 1'000'000}, hd44780::Rom::A00),
              "0,001000 s  motif 0x1F (une ligne de caractère personnalisé)");
}

// The European mask's Cyrillic, Greek, Latin-1 and signs, read off its dots.
TEST(Catalogue, VelmorinCheckEuropeanCells) {
    hd44780::Controller lcd;
    lcd.setRom(hd44780::Rom::A02);
    std::int64_t t = 20'000'000;
    for (const auto& [rs, byte] : std::vector<std::pair<bool, std::uint8_t>>{{false, 0x38},
                                                                             {false, 0x0C},
                                                                             {false, 0x80},
                                                                             {true, 0x80},
                                                                             {true, 0x90},
                                                                             {true, 0xD8},
                                                                             {true, 0xE9},
                                                                             {true, 0x98},
                                                                             {true, 0x7F},
                                                                             {true, 0x17},
                                                                             {true, 0xAB},
                                                                             {true, 0xB4}}) {
        const hd44780::Pins high{rs, true, static_cast<std::uint8_t>(byte >> 4)};
        lcd.busWrite8(high, byte & 0x0F, t);
        lcd.busWrite8({rs, false, high.db}, byte & 0x0F, t + 1'000);
        t += 2'000'000;
    }
    EXPECT_EQ(ui::check::display(lcd, {16, 2}, t, true).at(1), "  |БαΦé▯⌂↵«₧       |");
}

}  // namespace
