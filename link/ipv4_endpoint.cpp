#include "link/ipv4_endpoint.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstring>

namespace qvx::link {

namespace {

std::optional<std::uint32_t> readDotted(const std::string& text) {
    in_addr parsed{};
    if (::inet_aton(text.c_str(), &parsed) == 0) {
        return std::nullopt;
    }
    return ntohl(parsed.s_addr);
}

std::optional<std::uint32_t> lookUpName(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    return ntohl(address.sin_addr.s_addr);
}

}  // namespace

std::optional<Ipv4Endpoint> resolveEndpoint(int port, std::string_view host) {
    std::optional<std::uint32_t> address;
    if (host.empty()) {
        char ownName[HOST_NAME_MAX + 1] = {};
        if (::gethostname(ownName, sizeof ownName - 1) == 0) {
            address = lookUpName(ownName);
        }
    } else if (std::isdigit(static_cast<unsigned char>(host.front())) != 0) {
        address = readDotted(std::string(host));
    } else {
        const std::string name(host);
        address = lookUpName(name);
        if (!address) {
            address = readDotted(name);
        }
    }
    if (!address) {
        return std::nullopt;
    }
    return Ipv4Endpoint{*address, static_cast<std::uint16_t>(port & 0xFFFF)};
}

std::string dottedAddress(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFFU) + '.' +
           std::to_string((address >> 8) & 0xFFU) + '.' + std::to_string(address & 0xFFU);
}

}  // namespace qvx::link
