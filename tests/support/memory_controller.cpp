#include "tests/support/memory_controller.h"

#include <algorithm>

namespace qvx::test {

std::vector<Bytes> ControllerMemory::serve(const link::LinkMessage& request) {
    const std::lock_guard guard(mutex);
    if (silent) {
        return {};
    }
    const bool isEeprom = request.code == 1 || request.code == 4;
    Bytes& area = isEeprom ? eeprom : ram;
    const std::size_t end = request.address + static_cast<std::size_t>(request.length);
    if (end > area.size()) {
        return {};
    }
    const auto first = area.begin() + request.address;
    const auto listed = [&](const std::vector<std::uint32_t>& addresses) {
        return isEeprom && std::find(addresses.begin(), addresses.end(), request.address) != addresses.end();
    };
    if (request.code == 1 || request.code == 3) {
        if (listed(failReadsAt)) {
            return {};
        }
        return {frameOf(request.code + 128, request.address, request.length,
                        Bytes(first, first + request.length))};
    }
    if (listed(failWritesAt)) {
        return {};
    }
    std::copy(request.data.begin(), request.data.end(), first);
    return {frameOf(request.code + 128, request.address, request.length)};
}

void ControllerMemory::put(Bytes& area, std::size_t address, const Bytes& bytes) {
    const std::lock_guard guard(mutex);
    std::copy(bytes.begin(), bytes.end(), area.begin() + static_cast<std::ptrdiff_t>(address));
}

Bytes ControllerMemory::get(const Bytes& area, std::size_t address, std::size_t count) {
    const std::lock_guard guard(mutex);
    const auto first = area.begin() + static_cast<std::ptrdiff_t>(address);
    return {first, first + static_cast<std::ptrdiff_t>(count)};
}

}  // namespace qvx::test
