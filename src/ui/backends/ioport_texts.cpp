// Direct port I/O, in words.
#include "port/parport/linux/ioport_backend.h"
#include "port/ports.h"
#include "ui/backend_texts.h"
#include "ui/texts.h"

namespace ui {
namespace {

using port::ioport::Problem;
using texts::errnoText;

std::string problem(const port::Error& e) {
    const std::string address = port::hexAddress(e.address);
    switch (static_cast<Problem>(e.code)) {
        case Problem::Unavailable:
            return "E/S directe indisponible sur cette architecture ; utilisez VELMORIN_LPT=ppdev";
        case Problem::IopermUnsupported:
            return "ioperm(" + address + ") : " + errnoText(e.err) +
                   " ; ce noyau n'offre pas d'E/S directe sur les ports : utilisez "
                   "VELMORIN_LPT=ppdev";
        case Problem::IopermRefused:
            return "ioperm(" + address + ") refusé : " + errnoText(e.err) +
                   " ; l'E/S directe exige root ou CAP_SYS_RAWIO, et le verrouillage du noyau "
                   "(Secure Boot) l'interdit ; préférez VELMORIN_LPT=ppdev";
    }
    return {};
}

std::string hint(const port::Error&) {
    return {};
}

std::string panelName(const port::Description& d) {
    return "E/S directe " + d.device;
}

}  // namespace

const BackendTexts kIoportTexts{"ioport", problem, hint, panelName, nullptr, nullptr, nullptr};

}  // namespace ui
