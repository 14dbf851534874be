// Each backend's sentences, found by its row's key: its own problems, its remedies, how
// the panel names it, and its notes. One file each, under backends/.
#pragma once

#include <string>
#include <string_view>

#include "port/backend.h"
#include "port/errors.h"

namespace ui {

struct BackendTexts {
    const char* key;
    std::string (*problem)(const port::Error& e);  // Problem::Backend, by e.code
    std::string (*hint)(const port::Error& e);     // by e.hint, " ; ..." or empty
    std::string (*panelName)(const port::Description& d);
    // A note as the panel shows it, and as it is said once on stderr; null: it has none.
    std::string (*panelNote)(const port::Note& n);
    std::string (*toldNote)(const port::Note& n);
    // A candidate as the hardware list shows it; null where the row lists none.
    std::string (*candidateName)(const port::Candidate& c);
    // The words for the row's option fields (port::OptionSchema): a choice's label for its
    // value, a button's text or a text field's placeholder for an empty value; and a
    // field's tooltip. Null: the value itself, and no tooltip.
    std::string (*optionLabel)(std::string_view field, const std::string& value) = nullptr;
    std::string (*optionTip)(std::string_view field) = nullptr;
    // What the panel says under the name of what opened (how its wiring was found); null:
    // nothing.
    std::string (*panelLook)(const port::Description& d) = nullptr;
};

// Each in its file under backends/.
extern const BackendTexts kPpdevTexts;
extern const BackendTexts kIoportTexts;
extern const BackendTexts kPcf8574Texts;
extern const BackendTexts kMcp23008Texts;
extern const BackendTexts kGpioTexts;
extern const BackendTexts kInpoutTexts;
extern const BackendTexts kSerialTexts;
extern const BackendTexts kBridgeTexts;  // the USB-I2C bridges, beneath any expander

// The texts of a row's key; a key no file knows gets plain ones.
const BackendTexts& backendTexts(const char* key) noexcept;

}  // namespace ui
