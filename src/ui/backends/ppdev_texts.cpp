// The parallel port through ppdev, in words.
#include "port/parport/linux/ppdev_backend.h"
#include "port/ports.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {
namespace {

using port::ppdev::Hint;
using port::ppdev::Problem;
using texts::errnoText;

std::string problem(const port::Error& e) {
    switch (static_cast<Problem>(e.code)) {
        case Problem::NotPpdevDevice:
            return texts::deviceNamed(e) +
                   " n'est pas un port ppdev (/dev/parportN) ; rien n'y a été ouvert";
        case Problem::OptionsGiven:
            return texts::settingSaid(e) + "un port parallèle ne prend rien après « @ » (« " +
                   e.detail + " » ; par exemple /dev/parport0)";
        case Problem::ParportHeld:
            return e.device + " est tenu par le pilote « " + e.detail +
                   " » ; libérez le port : sudo rmmod " + e.detail +
                   " (et mettez-le en liste noire dans /etc/modprobe.d pour qu'il ne revienne pas)";
        case Problem::ClaimFailed:
            return "PPCLAIM sur " + e.device + " refusé : " + errnoText(e.err);
        case Problem::NoParportAt:
            return "VELMORIN_LPT=ppdev : aucun port parallèle à l'adresse " +
                   port::hexAddress(e.address);
    }
    return {};
}

std::string hint(const port::Error& e) {
    switch (static_cast<Hint>(e.hint)) {
        case Hint::None:
            return {};
        case Hint::LoadPpdev:
            return " ; le module ppdev n'est pas chargé : sudo modprobe ppdev";
        case Hint::ParportGone:
            return " ; ce port n'existe plus (ls /dev/parport*)";
        case Hint::JoinGroupLp:
            return texts::joinGroup("lp") +
                   ", ou lancez avec VELMORIN_LPT=emulator pour l'afficheur émulé";
        case Hint::ParportRefused:
            return " ; le port a refusé l'enregistrement (un autre pilote l'a-t-il pris ?)";
        case Hint::ParportBusy:
            return " ; le port est occupé par un autre programme";
        case Hint::GiveParportPath:
            return " ; donnez le chemin complet d'un port parallèle (ls /dev/parport*)";
        case Hint::ListParports:
            return " ; désignez-en un avec " + e.setting + "=/dev/parportN";
        case Hint::LoadParport:
            return " (aucun /dev/parport* ; chargez parport_pc et ppdev)";
    }
    return {};
}

std::string panelName(const port::Description& d) {
    return d.device + " (ppdev)";
}

std::string panelNote(const port::Note& n) {
    std::string text = "aucun port à " + port::hexAddress(n.address);
    for (const port::Note::Found& p : n.found)
        text += " ; " + p.device + " est à " + port::hexAddress(static_cast<std::int16_t>(p.base));
    return text;
}

std::string toldNote(const port::Note& n) {
    return panelNote(n) + " (afficheur émulé ; " + n.setting + "=/dev/parportN pour le choisir)";
}

std::string candidateName(const port::Candidate& c) {
    return c.device + " (port parallèle à " +
           port::hexAddress(static_cast<std::int16_t>(c.number)) + ")";
}

}  // namespace

const BackendTexts kPpdevTexts{"ppdev",   problem,  hint,         panelName,
                               panelNote, toldNote, candidateName};

}  // namespace ui
