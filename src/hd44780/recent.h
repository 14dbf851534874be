// A fixed ring of the last N records, oldest first. The emulator keeps facts about what
// went wrong in one of these so that a malformed bus can never make it allocate.
#pragma once

#include <array>
#include <cstddef>

namespace hd44780 {

template <typename T, std::size_t N>
class Recent {
public:
    void push(const T& value) noexcept {
        m_items[(m_first + m_size) % N] = value;
        if (m_size < N)
            ++m_size;
        else
            m_first = (m_first + 1) % N;
    }
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    // i = 0 is the oldest kept.
    const T& operator[](std::size_t i) const noexcept { return m_items[(m_first + i) % N]; }
    const T& back() const noexcept { return (*this)[m_size - 1]; }

private:
    std::array<T, N> m_items{};
    std::size_t m_first = 0;
    std::size_t m_size = 0;
};

}  // namespace hd44780
