#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "link/link_message.h"
#include "platform/auto_reset_event.h"

namespace qvx::test {

using Bytes = std::vector<std::uint8_t>;

/// Builds the frame of a message (test shorthand).
Bytes frameOf(int code, std::uint16_t address, int length, Bytes data = {});

/// A fake controller on 127.0.0.1: accepts one client at a time, cuts its frames out of
/// the stream and answers each request with whatever the script returns (nothing: silence).
/// Records every request and every raw byte received.
class ScriptedPeer {
public:
    using Script = std::function<std::vector<Bytes>(const link::LinkMessage& request, int index)>;

    explicit ScriptedPeer(Script script);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] std::vector<link::LinkMessage> requests() const;
    [[nodiscard]] Bytes rawReceived() const;
    /// Waits until `count` requests have arrived; false at the deadline.
    [[nodiscard]] bool waitForRequests(std::size_t count, std::chrono::milliseconds deadline) const;
    /// Waits until a client is connected; false at the deadline.
    [[nodiscard]] bool waitForClient(std::chrono::milliseconds deadline) const;
    /// Sends raw bytes to the current client.
    void sendRaw(const Bytes& bytes);
    /// Closes the current client connection.
    void dropClient();

    /// The usual reply: a confirm echoing address and length, reads filled with `fill`
    /// (address-derived bytes when fill < 0).
    static std::vector<Bytes> confirm(const link::LinkMessage& request, int fill = -1);

private:
    void run();

    Script m_script;
    int m_listenFd = -1;
    int m_port = 0;
    platform::AutoResetEvent m_stop;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<link::LinkMessage> m_requests;  // guarded by m_mutex
    Bytes m_raw;                                // guarded by m_mutex
    int m_clientFd = -1;                        // guarded by m_mutex
    std::thread m_thread;
};

}  // namespace qvx::test

namespace qvx::test {

/// Polls `condition` every millisecond until it holds or `deadline` passes.
[[nodiscard]] bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline);

}  // namespace qvx::test
