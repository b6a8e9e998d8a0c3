#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::link {

/// An IPv4 socket address: address and port in host byte order.
struct Ipv4Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    friend bool operator==(const Ipv4Endpoint&, const Ipv4Endpoint&) = default;
};

/// Resolves (port, host) the way every channel does: no host means the address of the
/// machine's own name; a host whose first character is a decimal digit is read as a dotted
/// IPv4 address without any lookup; any other host is looked up by name, and read as a dotted
/// address after all if the lookup fails. The port is taken modulo 65536.
/// Nothing when no address results.
[[nodiscard]] std::optional<Ipv4Endpoint> resolveEndpoint(int port, std::string_view host);

/// Dotted form of an address in host byte order ("127.0.0.1").
[[nodiscard]] std::string dottedAddress(std::uint32_t address);

}  // namespace qvx::link
