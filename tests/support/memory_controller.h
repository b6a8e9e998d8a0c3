#pragma once

#include <mutex>
#include <vector>

#include "tests/support/scripted_peer.h"

namespace qvx::test {

/// Controller memory behind a scripted peer: reads return it, writes change it, and requests at
/// the listed EEPROM addresses get no confirm. Requests beyond memory get no answer.
struct ControllerMemory {
    std::mutex mutex;
    Bytes eeprom = Bytes(0x1800, 0);
    Bytes ram = Bytes(256, 0);
    std::vector<std::uint32_t> failWritesAt;
    std::vector<std::uint32_t> failReadsAt;  ///< EEPROM addresses whose reads get no confirm
    bool silent = false;                     ///< answer nothing at all

    std::vector<Bytes> serve(const link::LinkMessage& request);
    void put(Bytes& area, std::size_t address, const Bytes& bytes);
    Bytes get(const Bytes& area, std::size_t address, std::size_t count);
};

/// A ScriptedPeer serving a ControllerMemory.
struct MemoryController {
    MemoryController() : peer([this](const link::LinkMessage& request, int) { return memory.serve(request); }) {}
    ControllerMemory memory;
    ScriptedPeer peer;
};

}  // namespace qvx::test
