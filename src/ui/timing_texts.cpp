#include "ui/timing_texts.h"

#include <QLocale>

namespace ui {
namespace {

using Limits = hd44780::TimingChecker;

QString duration(std::int64_t ns) {
    if (ns >= 1'000'000 || ns <= -1'000'000)
        return QStringLiteral("%1 ms").arg(static_cast<double>(ns) / 1e6, 0, 'f', 3);
    if (ns >= 1'000 || ns <= -1'000)
        return QStringLiteral("%1 µs").arg(static_cast<double>(ns) / 1e3, 0, 'f', 3);
    return QStringLiteral("%1 ns").arg(ns);
}

// A datasheet limit, in its own whole unit: "40 ns", "15 ms".
QString limit(std::int64_t ns) {
    if (ns % 1'000'000 == 0) return QStringLiteral("%1 ms").arg(ns / 1'000'000);
    if (ns % 1'000 == 0) return QStringLiteral("%1 µs").arg(ns / 1'000);
    return QStringLiteral("%1 ns").arg(ns);
}

QString at(std::int64_t ns) {
    static const QLocale french(QLocale::French, QLocale::France);
    return QStringLiteral(" (t = %1 s)")
        .arg(french.toString(static_cast<double>(ns) / 1e9, 'f', 6));
}

QString hexByte(std::uint8_t v) {
    return QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(2, u'0');
}

}  // namespace

QString oscillatorName(hd44780::Oscillator oscillator) {
    return QStringLiteral("%1 kHz").arg(oscillator.kHz);
}

QString violationText(const hd44780::Violation& v, std::int64_t originNs) {
    using K = hd44780::ViolationKind;
    const QString shortBy = QStringLiteral(", %1 trop tôt").arg(duration(v.byNs));
    QString text;
    switch (v.kind) {
        case K::EnableHighTooShort:
            text = QStringLiteral("E haut %1 < %2")
                       .arg(duration(Limits::kMinEnableHighNs - v.byNs),
                            limit(Limits::kMinEnableHighNs));
            break;
        case K::EnableCycleTooShort:
            text = QStringLiteral("cycle de E %1 < %2")
                       .arg(duration(Limits::kMinEnableCycleNs - v.byNs),
                            limit(Limits::kMinEnableCycleNs));
            break;
        case K::LatchWhileBusy: {
            const QString what =
                v.busyWith == hd44780::Execution::ClearOrHome ? QStringLiteral("effacement/retour")
                : v.busyWith == hd44780::Execution::DataWrite ? QStringLiteral("écriture de donnée")
                                                              : QStringLiteral("instruction");
            text = QStringLiteral("écriture ignorée : le contrôleur est occupé (%1)").arg(what) +
                   shortBy;
            break;
        }
        case K::LatchBeforePowerUp:
            text = QStringLiteral("première instruction moins de %1 après la mise sous tension")
                       .arg(limit(Limits::kPowerUpNs)) +
                   shortBy;
            break;
        case K::RsSetup:
            text = QStringLiteral("RS change trop près du front montant de E (tAS %1)")
                       .arg(limit(Limits::kRsSetupNs));
            break;
        case K::RsHold:
            text = QStringLiteral("RS change pendant que E est haut ou juste après (tAH %1)")
                       .arg(limit(Limits::kRsHoldNs));
            break;
        case K::DataSetup:
            text =
                QStringLiteral("D4-D7 changent moins de %1 avant le front descendant de E (tDSW)")
                    .arg(limit(Limits::kDataSetupNs));
            break;
        case K::DataHold:
            text = QStringLiteral("D4-D7 changent au front descendant de E ou juste après (tH %1)")
                       .arg(limit(Limits::kDataHoldNs));
            break;
        case K::Count:
            break;
    }
    return text + at(v.atNs - originNs);
}

QString warningText(const hd44780::Warning& w, std::int64_t originNs) {
    using K = hd44780::WarningKind;
    QString text;
    switch (w.kind) {
        case K::DdramGap:
            text = QStringLiteral("adresse DDRAM %1 hors des lignes (comportement non défini)")
                       .arg(hexByte(w.value));
            break;
        case K::LateFunctionSet:
            text = QStringLiteral(
                       "function set %1 change N ou F après l'initialisation "
                       "(comportement non défini)")
                       .arg(hexByte(w.value));
            break;
        case K::RsDiffersInByte:
            text = QStringLiteral(
                "RS différent entre les deux moitiés d'un octet (RS du second "
                "quartet retenu)");
            break;
        case K::NoInstruction:
            text = QStringLiteral("instruction 0x00 (aucune instruction définie) ignorée");
            break;
        case K::Count:
            break;
    }
    return text + at(w.atNs - originNs);
}

}  // namespace ui

namespace ui {

QString remedy(hd44780::ViolationKind kind) {
    using K = hd44780::ViolationKind;
    switch (kind) {
        case K::EnableHighTooShort:
        case K::EnableCycleTooShort:
        case K::LatchWhileBusy:
        case K::LatchBeforePowerUp:
            return QStringLiteral(
                "Remède : lancez avec VELMORIN_DELAY=2 (pauses et impulsions deux fois plus "
                "longues)");
        case K::RsSetup:
        case K::RsHold:
        case K::DataSetup:
        case K::DataHold:
            // Pauses do not move two port writes apart: VELMORIN_DELAY cannot help here.
            return QStringLiteral(
                "Remède : aucun réglage n'y change rien, ces temps séparent deux écritures du "
                "port ; vérifiez qu'aucun autre programme n'écrit sur ce port");
        case K::Count:
            break;
    }
    return {};
}

}  // namespace ui
