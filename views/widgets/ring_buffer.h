#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace qvx::widgets {

/// A bounded sequence that drops its oldest element when a new one would exceed the capacity.
/// Storage grows with the content, so a large capacity costs nothing until it is used.
template <typename T>
class RingBuffer {
public:
    explicit RingBuffer(std::size_t capacity) : m_capacity(std::max<std::size_t>(1, capacity)) {}

    [[nodiscard]] std::size_t capacity() const { return m_capacity; }
    [[nodiscard]] std::size_t size() const { return m_items.size(); }
    [[nodiscard]] bool empty() const { return m_items.empty(); }

    /// Changes the capacity (at least 1), keeping the newest elements that fit.
    void setCapacity(std::size_t capacity) {
        capacity = std::max<std::size_t>(1, capacity);
        std::vector<T> kept;
        const std::size_t keep = std::min(capacity, m_items.size());
        kept.reserve(keep);
        for (std::size_t i = m_items.size() - keep; i < m_items.size(); ++i) {
            kept.push_back((*this)[i]);
        }
        m_items = std::move(kept);
        m_head = 0;
        m_capacity = capacity;
    }

    /// Appends `item`, dropping the oldest element when full.
    void push(const T& item) {
        if (m_items.size() < m_capacity) {
            m_items.push_back(item);
            return;
        }
        m_items[m_head] = item;
        m_head = (m_head + 1) % m_capacity;
    }

    /// Element `index`, counted from the oldest (0) to the newest (size() - 1).
    [[nodiscard]] const T& operator[](std::size_t index) const {
        return m_items[(m_head + index) % m_items.size()];
    }
    [[nodiscard]] const T& back() const { return (*this)[m_items.size() - 1]; }

    void clear() {
        m_items.clear();
        m_head = 0;
    }

private:
    std::vector<T> m_items;
    std::size_t m_head = 0;  // index of the oldest element once the buffer has wrapped
    std::size_t m_capacity;
};

}  // namespace qvx::widgets
