#include "platform/byte_queue.h"

#include <algorithm>

namespace qvx::platform {

bool ByteQueue::write(std::span<const std::uint8_t> bytes) {
    {
        std::unique_lock lock(m_mutex);
        if (bytes.size() > m_capacity) {
            return false;
        }
        m_writable.wait(lock, [&] { return m_closed || bytes.size() <= m_capacity - m_bytes.size(); });
        if (m_closed) {
            return false;
        }
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    m_readable.notify_one();
    return true;
}

std::size_t ByteQueue::read(std::span<std::uint8_t> out) {
    std::size_t count = 0;
    {
        std::unique_lock lock(m_mutex);
        m_readable.wait(lock, [this] { return m_closed || !m_bytes.empty(); });
        if (m_closed) {
            return 0;
        }
        count = std::min(out.size(), m_bytes.size());
        std::copy_n(m_bytes.begin(), count, out.begin());
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(count));
    }
    m_writable.notify_all();
    return count;
}

void ByteQueue::close() {
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        m_bytes.clear();
    }
    m_readable.notify_all();
    m_writable.notify_all();
}

void ByteQueue::discard() {
    {
        const std::lock_guard lock(m_mutex);
        m_bytes.clear();
    }
    m_writable.notify_all();
}

bool ByteQueue::isClosed() const {
    const std::lock_guard lock(m_mutex);
    return m_closed;
}

}  // namespace qvx::platform
