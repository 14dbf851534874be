#include "ui/timing_texts.h"

#include <cstdio>

namespace ui {
namespace {

using Limits = hd44780::TimingChecker;

// French: a decimal comma, in every figure the program writes.
std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string text = buf;
    if (const std::size_t dot = text.find('.'); dot != std::string::npos) text[dot] = ',';
    return text;
}

}  // namespace

std::string duration(std::int64_t ns) {
    if (ns >= 1'000'000 || ns <= -1'000'000) return fixed(static_cast<double>(ns) / 1e6, 3) + " ms";
    if (ns >= 1'000 || ns <= -1'000) return fixed(static_cast<double>(ns) / 1e3, 3) + " µs";
    return std::to_string(ns) + " ns";
}

namespace {

// A datasheet limit, in its own whole unit: "40 ns", "15 ms".
std::string limit(std::int64_t ns) {
    if (ns % 1'000'000 == 0) return std::to_string(ns / 1'000'000) + " ms";
    if (ns % 1'000 == 0) return std::to_string(ns / 1'000) + " µs";
    return std::to_string(ns) + " ns";
}

}  // namespace

std::string seconds(std::int64_t ns) {
    return fixed(static_cast<double>(ns) / 1e9, 6) + " s";
}

std::string oscillatorName(hd44780::Oscillator oscillator) {
    return std::to_string(oscillator.kHz) + " kHz";
}

std::string violationText(const hd44780::Violation& v, std::int64_t originNs) {
    using K = hd44780::ViolationKind;
    const std::string shortBy = ", " + duration(v.byNs) + " trop tôt";
    std::string text;
    switch (v.kind) {
        case K::EnableHighTooShort:
            text = "E haut " + duration(Limits::kMinEnableHighNs - v.byNs) + " < " +
                   limit(Limits::kMinEnableHighNs);
            break;
        case K::EnableCycleTooShort:
            text = "cycle de E " + duration(Limits::kMinEnableCycleNs - v.byNs) + " < " +
                   limit(Limits::kMinEnableCycleNs);
            break;
        case K::LatchWhileBusy: {
            const char* what = v.busyWith == hd44780::Execution::ClearOrHome ? "effacement/retour"
                               : v.busyWith == hd44780::Execution::DataWrite ? "écriture de donnée"
                                                                             : "instruction";
            text =
                std::string("écriture ignorée : le contrôleur est occupé (") + what + ")" + shortBy;
            break;
        }
        case K::LatchBeforePowerUp:
            text = "première instruction moins de " + limit(Limits::kPowerUpNs) +
                   " après la mise sous tension" + shortBy;
            break;
        // Each with the time measured and the limit: what was short, and by how much.
        case K::RsSetup:
            text = "RS change " + duration(Limits::kRsSetupNs - v.byNs) +
                   " avant le front montant de E < tAS " + limit(Limits::kRsSetupNs);
            break;
        case K::RsHold:
            text = "RS change pendant que E est haut ou " + duration(Limits::kRsHoldNs - v.byNs) +
                   " après sa retombée < tAH " + limit(Limits::kRsHoldNs);
            break;
        case K::DataSetup:
            text = "D4-D7 changent " + duration(Limits::kDataSetupNs - v.byNs) +
                   " avant le front descendant de E < tDSW " + limit(Limits::kDataSetupNs);
            break;
        case K::DataHold:
            text = "D4-D7 changent " + duration(Limits::kDataHoldNs - v.byNs) +
                   " après le front descendant de E < tH " + limit(Limits::kDataHoldNs);
            break;
        case K::Count:
            break;
    }
    return text + " (t = " + seconds(v.atNs - originNs) + ")";
}

std::string warningText(const hd44780::Warning& w, std::int64_t originNs) {
    using K = hd44780::WarningKind;
    std::string text;
    switch (w.kind) {
        case K::DdramGap:
            text =
                "adresse DDRAM " + hexByte(w.value) + " hors des lignes (comportement non défini)";
            break;
        case K::LateFunctionSet:
            text = "function set " + hexByte(w.value) +
                   " change N ou F après l'initialisation (comportement non défini)";
            break;
        case K::RsDiffersInByte:
            text = "RS différent entre les deux moitiés d'un octet (RS du second quartet retenu)";
            break;
        case K::NoInstruction:
            text = "instruction 0x00 (aucune instruction définie) ignorée";
            break;
    }
    return text + " (t = " + seconds(w.atNs - originNs) + ")";
}

std::string remedy(hd44780::ViolationKind kind) {
    using K = hd44780::ViolationKind;
    switch (kind) {
        case K::EnableHighTooShort:
        case K::EnableCycleTooShort:
        case K::LatchWhileBusy:
        case K::LatchBeforePowerUp:
            return "Remède : lancez avec VELMORIN_DELAY=2 (pauses et impulsions deux fois plus "
                   "longues)";
        case K::RsSetup:
        case K::RsHold:
        case K::DataSetup:
        case K::DataHold:
            // Pauses do not move two port writes apart: VELMORIN_DELAY cannot help here.
            return "Remède : aucun réglage n'y change rien, ces temps séparent deux écritures du "
                   "port ; vérifiez qu'aucun autre programme n'écrit sur ce port";
        case K::Count:
            break;
    }
    return {};
}

}  // namespace ui
