#include "gateway/authorization_list.h"

#include <algorithm>
#include <utility>

namespace qvx::gateway {

void AuthorizationList::add(std::string address) {
    const auto stamp = m_clock.now();
    const std::lock_guard lock(m_mutex);
    m_entries.push_back({std::move(address), stamp});
}

std::vector<std::string> AuthorizationList::purgeStale() {
    std::vector<std::string> removed;
    const std::lock_guard lock(m_mutex);
    const auto now = m_clock.now();
    for (const Entry& entry : m_entries) {
        if (std::chrono::duration_cast<std::chrono::seconds>(now - entry.stamp) > kValidity) {
            removed.push_back(entry.address);
        }
    }
    std::reverse(removed.begin(), removed.end());  // reported from the last entry to the first
    std::erase_if(m_entries, [&](const Entry& entry) {
        return std::chrono::duration_cast<std::chrono::seconds>(now - entry.stamp) > kValidity;
    });
    return removed;
}

bool AuthorizationList::contains(std::string_view address) const {
    const std::lock_guard lock(m_mutex);
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry& entry) { return entry.address == address; });
}

std::size_t AuthorizationList::size() const {
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

}  // namespace qvx::gateway
