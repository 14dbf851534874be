#include "port/backend.h"

namespace port {

const BackendRow* backendNamed(std::string_view name) noexcept {
    for (const BackendRow& row : backendTable())
        if (row.name && name == row.name) return &row;
    return nullptr;
}

const BackendRow* rowClaiming(const DeviceText& text) noexcept {
    const BackendRow* best = nullptr;
    Claim surest = Claim::No;
    for (const BackendRow& row : backendTable()) {
        const Claim c = row.claims ? row.claims(text) : Claim::No;
        if (c > surest) {
            surest = c;
            best = &row;
        }
    }
    return best;
}

std::vector<const char*> deviceForms() {
    std::vector<const char*> forms;
    for (const BackendRow& row : backendTable())
        if (row.form) forms.push_back(row.form);
    return forms;
}

void own(const BackendRow& row, std::optional<Error>& error) noexcept {
    if (error && !error->backend) error->backend = row.key;
}

void own(const BackendRow& row, OpenResult& result) noexcept {
    own(row, result.error);
}

}  // namespace port

namespace port {

std::string deviceText(const BackendRow& row, const Candidate& picked,
                       std::span<const std::string> values, bool find) {
    return row.options ? row.options->format(picked, values, find) : picked.device;
}

}  // namespace port
