#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace qvx::gateway {

/// The addresses that logged in with the passphrase, each valid for a short while.
///
/// Ages are measured on a monotonic clock, so setting the system clock back or forth changes
/// nothing. An entry is valid while its age in whole seconds is at most kValidity: a data
/// connection 10 s after the login is still served, one 11 s after it is not. Entries are kept
/// in login order, duplicates included. Every operation takes the list's own lock and no other.
class AuthorizationList {
public:
    /// Longest age, in whole seconds, of a valid entry.
    static constexpr std::chrono::seconds kValidity{10};

    /// `clock` must outlive the list.
    explicit AuthorizationList(const platform::Clock& clock) : m_clock(clock) {}

    /// Appends an entry for `address` (dotted IPv4 text) stamped now.
    void add(std::string address);
    /// Removes every entry older than kValidity, keeping the order of the others, and returns
    /// the removed addresses from the last entry to the first.
    [[nodiscard]] std::vector<std::string> purgeStale();
    /// True if an entry's address equals `address` exactly; the entry stays on the list.
    [[nodiscard]] bool contains(std::string_view address) const;
    [[nodiscard]] std::size_t size() const;

private:
    struct Entry {
        std::string address;                          // dotted IPv4 text of the client
        std::chrono::steady_clock::time_point stamp;  // time of the successful login
    };

    const platform::Clock& m_clock;
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;  // guarded by m_mutex, in login order
};

}  // namespace qvx::gateway
