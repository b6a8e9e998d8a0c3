#include "link/link_message.h"

#include "link/message_table.h"

namespace qvx::link {

namespace {

std::uint16_t checksumOf(const CrcModel& model, std::span<const std::uint8_t> bytes) {
    if (model.isLinkChecksum()) {
        return linkChecksum(bytes);
    }
    CrcModel copy = model;
    return copy.compute(bytes);
}

}  // namespace

bool LinkMessage::build() {
    frameBytes.clear();
    const MessageInfo* info = findMessage(code);
    if (info == nullptr || length < 0 || length > 255) {
        return false;
    }
    if (info->carriesData ? data.size() != static_cast<std::size_t>(length) : !data.empty()) {
        return false;
    }
    frameBytes.reserve(kFrameOverhead + data.size());
    frameBytes.push_back(kStartMark);
    frameBytes.push_back(static_cast<std::uint8_t>(code));
    frameBytes.push_back(static_cast<std::uint8_t>(address & 0xFFU));
    frameBytes.push_back(static_cast<std::uint8_t>(address >> 8));
    frameBytes.push_back(static_cast<std::uint8_t>(length));
    frameBytes.insert(frameBytes.end(), data.begin(), data.end());
    frameBytes.push_back(kEndMark);
    crc = checksumOf(crcModel, frameBytes);
    frameBytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    frameBytes.push_back(static_cast<std::uint8_t>(crc & 0xFFU));
    return true;
}

bool LinkMessage::parse(std::span<const std::uint8_t> candidate) {
    if (candidate.size() < kFrameOverhead || candidate[0] != kStartMark) {
        return false;
    }
    const CodeClass codeClass = classOf(candidate[1]);
    if (codeClass == CodeClass::Invalid) {
        return false;
    }
    const std::size_t n = codeClass == CodeClass::WithData ? candidate[4] : 0U;
    // The receiver hands over whatever it gathered; never trust the length byte to fit.
    if (candidate.size() < kFrameOverhead + n || candidate[5 + n] != kEndMark) {
        return false;
    }
    const auto receivedCrc =
        static_cast<std::uint16_t>((candidate[6 + n] << 8) | candidate[7 + n]);

    const bool checking = checkCrc;
    if (checking) {
        const auto computed = checksumOf(crcModel, candidate.first(6 + n));
        if (computed != receivedCrc) {
            return false;
        }
    }
    frameBytes.assign(candidate.begin(), candidate.begin() + static_cast<std::ptrdiff_t>(8 + n));
    crc = receivedCrc;
    code = candidate[1];
    address = static_cast<std::uint16_t>(candidate[2] | (candidate[3] << 8));
    length = candidate[4];
    data.assign(candidate.begin() + 5, candidate.begin() + static_cast<std::ptrdiff_t>(5 + n));
    return true;
}

bool LinkMessage::verifyCrc() const {
    if (!checkCrc) {
        return true;
    }
    if (frameBytes.size() < 2) {
        return false;
    }
    return checksumOf(crcModel, std::span(frameBytes).first(frameBytes.size() - 2)) == crc;
}

}  // namespace qvx::link
