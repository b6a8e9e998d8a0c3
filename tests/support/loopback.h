#pragma once

namespace qvx::test {

/// A TCP socket listening on 127.0.0.1 at a port the system picks, which goes to `port`.
/// `receiveBuffer` > 0 sets the receive buffer of the connections it accepts, bytes. Throws
/// std::runtime_error when it cannot listen.
[[nodiscard]] int listenOnLoopback(int backlog, int& port, int receiveBuffer = 0);
/// A loopback port nobody listens on: bound, read and released.
[[nodiscard]] int unusedLoopbackPort();
/// A client socket connected to 127.0.0.1:port, or -1.
[[nodiscard]] int connectToLoopback(int port);

}  // namespace qvx::test
