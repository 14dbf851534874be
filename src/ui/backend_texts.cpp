#include "ui/backend_texts.h"

#include <string_view>

namespace ui {

namespace {

std::string unknownProblem(const port::Error& e) {
    return "problème " + std::to_string(e.code) + " de " + (e.backend ? e.backend : "?");
}
std::string noHint(const port::Error&) {
    return {};
}
std::string plainName(const port::Description& d) {
    return d.device;
}

const BackendTexts kPlain{"", unknownProblem, noHint, plainName, nullptr, nullptr, nullptr};

}  // namespace

const BackendTexts& backendTexts(const char* key) noexcept {
    // Every backend of every platform: the sentences do not depend on what is built.
    static const BackendTexts* const kAll[] = {&kPpdevTexts,    &kIoportTexts, &kPcf8574Texts,
                                               &kMcp23008Texts, &kGpioTexts,   &kInpoutTexts,
                                               &kSerialTexts,   &kBridgeTexts};
    for (const BackendTexts* t : kAll)
        if (key && std::string_view(key) == t->key) return *t;
    return kPlain;
}

}  // namespace ui
