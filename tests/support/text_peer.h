#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/auto_reset_event.h"

namespace qvx::test {

/// A line-oriented peer on 127.0.0.1, like a gateway's login port: after every line feed it
/// receives, the script gets all text received so far on that connection and returns what to
/// send back, each piece `pause` after the one before (the piece "<close>" ends the connection).
class TextPeer {
public:
    using Script = std::function<std::vector<std::string>(const std::string& received)>;

    explicit TextPeer(Script script,
                      std::chrono::milliseconds pause = std::chrono::milliseconds(0));
    ~TextPeer();
    TextPeer(const TextPeer&) = delete;
    TextPeer& operator=(const TextPeer&) = delete;

    [[nodiscard]] int port() const { return m_port; }
    /// Text received on the latest connection.
    [[nodiscard]] std::string received() const;

private:
    [[nodiscard]] bool waitReadable(int fd) const;
    void run();
    void serve(int client);

    Script m_script;
    std::chrono::milliseconds m_pause;
    int m_listen = -1;
    int m_port = 0;
    platform::AutoResetEvent m_stop;
    mutable std::mutex m_mutex;
    std::string m_received;  // guarded by m_mutex
    std::thread m_thread;
};

/// A login port's script: "+OK" for `passphrase`, "+ERR PASSWORD INVALID" for any other
/// line, then the connection ends.
[[nodiscard]] TextPeer::Script loginGateway(const std::string& passphrase);
/// A login port without security: "+OK" for any passphrase.
[[nodiscard]] TextPeer::Script openGateway();

}  // namespace qvx::test
