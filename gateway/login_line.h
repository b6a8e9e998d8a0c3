#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qvx::gateway {

/// Collects the passphrase line of one login connection from the received bytes; no I/O.
///
/// A line feed (0x0A) or a zero byte ends the line; carriage returns are skipped wherever they
/// appear, so CR LF ends it as well. None of the three is ever part of the line. A line that
/// reaches kMaxLineBytes bytes is complete without a terminator. Bytes are counted as bytes,
/// whatever their encoding.
class LoginLineCollector {
public:
    /// Length at which a line counts as complete without a terminator.
    static constexpr std::size_t kMaxLineBytes = 51;

    /// Takes bytes in arrival order up to and including the one that completes the line and
    /// returns how many it took; the rest are not part of this login. Takes nothing once the
    /// line is complete.
    std::size_t feed(std::span<const std::uint8_t> bytes);

    /// True once a terminator arrived or the line reached kMaxLineBytes bytes.
    [[nodiscard]] bool complete() const { return m_complete; }
    /// The bytes collected so far, without terminator and carriage returns.
    [[nodiscard]] const std::string& line() const { return m_line; }
    /// Starts a new line.
    void clear();

private:
    std::string m_line;       // at most kMaxLineBytes bytes
    bool m_complete = false;  // set by the terminator or by the length limit
};

}  // namespace qvx::gateway
