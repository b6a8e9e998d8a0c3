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

bool ByteQueue::write(std::span<const std::uint8_t> bytes,
                      const std::function<std::size_t(std::span<const std::uint8_t>)>& sendNow) {
    {
        std::unique_lock lock(m_mutex);
        if (m_closed || bytes.size() > m_capacity) {
            return false;
        }
        if (m_bytes.empty() && !m_readerSending) {
            const std::size_t sent = std::min(sendNow(bytes), bytes.size());
            if (sent == bytes.size()) {
                return true;
            }
            // The queue is empty, so the rest fits without waiting.
            m_bytes.insert(m_bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(sent),
                           bytes.end());
            lock.unlock();
            m_readable.notify_one();
            return true;
        }
    }
    return write(bytes);
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
        m_readerSending = true;
    }
    m_writable.notify_all();
    return count;
}

void ByteQueue::finishedSending() {
    const std::lock_guard lock(m_mutex);
    m_readerSending = false;
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
