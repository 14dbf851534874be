#include "port/backend.h"

namespace port {

const BackendRow* backendNamed(std::string_view name) noexcept {
    for (const BackendRow& row : backendTable())
        if (row.name && name == row.name) return &row;
    return nullptr;
}

}  // namespace port
