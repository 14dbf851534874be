// The port library on Windows, in words.
#include "port/parport/windows/inpout_backend.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {
namespace {

using port::inpout::Hint;
using port::inpout::kLibrary;
using port::inpout::kLibrary32;
using port::inpout::Problem;

// The library's absence, said the same way whether it is fatal or only a note.
std::string notFound(const std::string& library, const std::string& searched) {
    return library + " introuvable (cherchée dans : " + searched + ")";
}
std::string copyBesideProgram(const std::string& library) {
    return "copiez " + library + " à côté de velmorin.exe";
}

std::string problem(const port::Error& e) {
    switch (static_cast<Problem>(e.code)) {
        case Problem::LibraryMissing:
            return notFound(e.device, e.detail) + " ; " + copyBesideProgram(e.device);
        case Problem::WrongBits:
            return e.device + " ne se charge pas (erreur " + std::to_string(e.number) +
                   " : ce n'est pas une bibliothèque Windows 64 bits valide) ; ce programme 64 "
                   "bits a besoin de "
                   "la version 64 bits d'InpOut, " +
                   kLibrary;
        case Problem::NoOut32:
            return e.device +
                   " n'exporte pas Out32 : ce n'est pas la bibliothèque de port attendue ; "
                   "remplacez-la par l'" +
                   kLibrary + " d'InpOut";
        case Problem::DriverClosed:
            return e.device +
                   " est chargée mais son pilote ne s'ouvre pas ; sur Windows 11, c'est "
                   "d'ordinaire "
                   "l'« Intégrité de la mémoire » (Sécurité Windows > Sécurité de l'appareil > "
                   "Isolation du noyau) qui le bloque : ce pilote est sur la liste des pilotes "
                   "vulnérables de Microsoft ; la voie sans pilote est un pont USB-I2C (MCP2221A, "
                   "CP2112) et un backpack I2C : VELMORIN_LPT1=mcp2221@0x27 ; sinon, au premier "
                   "lancement, installez le pilote en lançant velmorin.exe en administrateur";
    }
    return {};
}

std::string hint(const port::Error& e) {
    switch (static_cast<Hint>(e.hint)) {
        case Hint::None:
            return {};
        case Hint::Library32Only:
            return std::string(" ; seule ") + kLibrary32 +
                   ", la version 32 bits, est là : ce programme 64 bits a besoin d'" + kLibrary;
    }
    return {};
}

std::string panelName(const port::Description& d) {
    return d.device;
}

std::string panelNote(const port::Note& n) {
    return notFound(n.detail, n.searched) + " : afficheur émulé seul";
}

std::string toldNote(const port::Note& n) {
    return panelNote(n) + " ; " + copyBesideProgram(n.detail) + " pour écrire sur le port";
}

}  // namespace

const BackendTexts kInpoutTexts{"inpout", problem, hint, panelName, panelNote, toldNote, nullptr};

}  // namespace ui
