// A serial backpack (an Arduino with an LCD, a serial LCD board), in words.
#include "hd44780/instructions.h"
#include "port/parse.h"
#include "port/serial/serial_backend.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {
namespace {

using port::serial::Hint;
using port::serial::Problem;

std::string problem(const port::Error& e) {
    const std::string setting = texts::settingSaid(e);
    switch (static_cast<Problem>(e.code)) {
        case Problem::ProtocolMissing:
            return setting + "un port série demande après « @ » le protocole de la carte (" +
                   e.choices + " ; par exemple /dev/ttyACM0@lcdserializer)";
        case Problem::UnknownProtocol:
            return setting + "protocole série « " + e.detail +
                   " » inconnu (protocoles : " + e.choices +
                   " ; le croquis Velmorin parle lcdserializer)";
        case Problem::BadBaud:
            return setting + "débit « " + e.detail +
                   " » invalide ou refusé par le port (un débit standard, par exemple baud=9600 "
                   "ou baud=115200)";
        case Problem::BadOption:
            return setting + "option « " + e.detail +
                   " » inconnue (après le protocole, seul baud=N est accepté)";
        case Problem::NotSerialPort:
            return texts::deviceNamed(e) + " n'est pas un port série ; rien n'y a été ouvert";
        case Problem::Console:
            return texts::deviceNamed(e) +
                   " est une console du système, pas un port série : les octets de l'afficheur "
                   "s'y écriraient à l'écran ; rien n'y a été ouvert";
        case Problem::PtyMaster:
            return texts::deviceNamed(e) +
                   " est le maître des pseudo-terminaux : l'ouvrir en crée un que personne ne lit "
                   "; donnez le côté esclave d'un pseudo-terminal (/dev/pts/N) ou le port de la "
                   "carte";
        case Problem::OptionTwice:
            return setting + "option « " + e.detail +
                   " » donnée deux fois ; ne gardez que celle que vous voulez";
    }
    return {};
}

std::string hint(const port::Error& e) {
    switch (static_cast<Hint>(e.hint)) {
        case Hint::None:
            return {};
        case Hint::ListSerialPorts:
            return " ; les ports série présents : ls /dev/ttyACM* /dev/ttyUSB* /dev/serial/by-id "
                   "(sous Windows, le Gestionnaire de périphériques, « Ports (COM et LPT) »)";
        case Hint::JoinGroupDialout:
            return texts::joinGroup("dialout");
        case Hint::PortBusy:
            return " ; un autre programme tient le port (le moniteur série de l'IDE Arduino, "
                   "par exemple) : fermez-le";
        case Hint::CablePulled:
            return " ; le câble USB a-t-il été débranché ? rebranchez-le, puis relancez Velmorin";
    }
    return {};
}

std::string panelName(const port::Description& d) {
    std::string said = d.device + " (" + d.detail + ", " + d.options + " bauds";
    if (d.replaced) said += ", un caractère égal à l'octet d'échappement envoyé en espace";
    if (d.unsaid != 0)
        said += ", instruction " + port::hexByte(d.unsaid) + " (" + hd44780::instr::name(d.unsaid) +
                ") sans équivalent dans le protocole : rien n'a été envoyé à sa place";
    return said + ")";
}

std::string candidateName(const port::Candidate& c) {
    return texts::deviceAndName(c.device, c.name);
}

}  // namespace

const BackendTexts kSerialTexts{"serial", problem, hint,         panelName,
                                nullptr,  nullptr, candidateName};

}  // namespace ui
