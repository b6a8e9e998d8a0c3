#pragma once

#include <array>
#include <mutex>

#include "link/ipv4_endpoint.h"

namespace qvx::link {

/// The process-wide table of listening sockets (5 entries). Server channels on the same
/// address and port share one listening socket; the socket stays open while any channel
/// that uses it lives and is closed with the last one, which frees its entry.
class ListenerTable {
public:
    static constexpr int kEntries = 5;
    static constexpr int kBacklog = 5;

    static ListenerTable& instance();

    /// The listening socket for `endpoint`, shared or newly bound; -1 when binding or
    /// listening fails (errno-style code in `error`) or every entry is taken by another
    /// address (`error` = ENOSPC).
    [[nodiscard]] int acquire(const Ipv4Endpoint& endpoint, int& error);
    /// One user of the entry of `endpoint` is gone.
    void release(const Ipv4Endpoint& endpoint);

private:
    struct Entry {
        bool inUse = false;
        Ipv4Endpoint endpoint;
        int socket = -1;
        int users = 0;
    };
    std::mutex m_mutex;
    std::array<Entry, kEntries> m_entries;  // guarded by m_mutex
};

}  // namespace qvx::link
