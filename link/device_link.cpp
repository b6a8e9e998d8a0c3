#include "link/device_link.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "link/log_buffer.h"
#include "platform/user_text.h"

namespace qvx::link {

namespace {

constexpr std::size_t kMaxHostLength = 199;

struct AreaCodes {
    MessageCode request;
    LinkEventKind confirm;
};

}  // namespace

DeviceLink::DeviceLink() {
    m_eepromBuffer.reserve(256);
    m_programBuffer.reserve(256);
    m_ramBuffer.reserve(256);
}

DeviceLink::~DeviceLink() { close(); }

bool DeviceLink::connect(int port, std::string_view host) {
    // The channel is opened once; later connects only change the peer. A peer that does not
    // resolve makes the attempt fail like a refused one.
    (void)open(port, host, false, kChannelBufferSize, kChannelBufferSize);
    (void)setPeer(port, host, false);
    return requestConnect();
}

bool DeviceLink::connectWithStoredSettings() { return connect(port(), host()); }

std::string DeviceLink::host() const {
    const std::lock_guard guard(m_hostMutex);
    return m_host;
}

void DeviceLink::setHost(std::string_view host) {
    const std::lock_guard guard(m_hostMutex);
    m_host.assign(host.substr(0, kMaxHostLength));
}

void DeviceLink::setMaxBlockLength(unsigned bytes) { m_maxBlockLength = std::clamp(bytes, 1U, 255U); }

bool DeviceLink::lockEngine() {
    return m_engineLock.tryLockFor(std::chrono::milliseconds(kEngineLockWaitMs));
}

void DeviceLink::unlockEngine() { m_engineLock.unlock(); }

void DeviceLink::signalConnected() {
    restartChecksumCount();
    m_retries = 0;
    m_timeouts = 0;
    (void)m_connectedEvent.set();
}

void DeviceLink::signalDisconnected() { (void)m_disconnectedEvent.set(); }

LinkEventKind DeviceLink::waitForLinkEvent(std::chrono::milliseconds wait) {
    const int which = platform::waitAny({&m_messageArrived, &m_connectedEvent, &m_disconnectedEvent}, wait);
    switch (which) {
        case 0: {
            MailboxContent content;
            return m_mailbox.take(content) ? content.kind : LinkEventKind::None;
        }
        case 1: return LinkEventKind::Connected;
        case 2: return LinkEventKind::Disconnected;
        default: ++m_timeouts; return LinkEventKind::None;
    }
}

bool DeviceLink::awaitConfirm(LinkEventKind kind, std::uint32_t address, std::size_t count,
                              std::vector<std::uint8_t>* buffer, std::uint64_t sentAfter) {
    // Only a loss of the connection or the end of the reply wait ends the wait without the
    // confirm. Ending it on anything else would send the request again while the controller
    // still answers the first one, and that answer would then arrive during the next exchange:
    // - a connected event: the channel publishes a new connection before it sets the event,
    //   so a transfer that starts the moment the link is connected may see it during its wait;
    // - a message that is not this confirm: an unsolicited status message, or through a
    //   gateway an answer to a request of the client it served before.
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const Clock::time_point deadline = Clock::now() + milliseconds(std::max(0, m_replyWaitMs.load()));
    for (;;) {
        const Clock::duration left = deadline - Clock::now();
        const LinkEventKind event =
            waitForLinkEvent(std::chrono::ceil<milliseconds>(std::max(left, Clock::duration::zero())));
        MailboxContent content;
        if (!m_mailbox.take(content)) {
            return false;
        }
        // A confirm still in the slot from an earlier exchange would otherwise pass for this one.
        const bool match = content.sequence > sentAfter && content.kind == kind &&
                           content.address == static_cast<std::uint16_t>(address & 0xFFFFU) &&
                           content.length == static_cast<int>(count);
        if (match) {
            if (buffer != nullptr) {
                buffer->insert(buffer->end(), content.data.begin(), content.data.end());
            }
            return true;
        }
        if (event == LinkEventKind::None || event == LinkEventKind::Disconnected ||
            left <= Clock::duration::zero()) {
            return false;
        }
    }
}

bool DeviceLink::sendMessage(int code, std::uint16_t address, int length,
                             std::span<const std::uint8_t> data) {
    LinkMessage message;
    message.code = code;
    message.address = address;
    message.length = length;
    message.data.assign(data.begin(), data.end());
    if (!message.build()) {
        return false;
    }
    if (isEnabled(kLogDebug)) {
        log("TX " + hexBytes(message.frameBytes), kLogDebug);
    }
    return sendFrame(message.frameBytes);
}

std::vector<std::uint8_t>& DeviceLink::bufferOf(Area area) {
    switch (area) {
        case Area::Eeprom: return m_eepromBuffer;
        case Area::Program: return m_programBuffer;
        case Area::Ram: break;
    }
    return m_ramBuffer;
}

namespace {

AreaCodes readCodes(int area) {
    constexpr AreaCodes kCodes[] = {
        {MessageCode::ReadEepromDataReq, LinkEventKind::ReadEepromDataCnf},
        {MessageCode::ReadProgramDataReq, LinkEventKind::ReadProgramDataCnf},
        {MessageCode::ReadRamDataReq, LinkEventKind::ReadRamDataCnf},
    };
    return kCodes[area];
}

AreaCodes writeCodes(int area) {
    constexpr AreaCodes kCodes[] = {
        {MessageCode::WriteEepromDataReq, LinkEventKind::WriteEepromDataCnf},
        {MessageCode::WriteProgramDataReq, LinkEventKind::WriteProgramDataCnf},
        {MessageCode::WriteRamDataReq, LinkEventKind::WriteRamDataCnf},
    };
    return kCodes[area];
}

}  // namespace

bool DeviceLink::transferBlock(Area area, std::uint32_t address, std::span<const std::uint8_t> data,
                               std::size_t count, unsigned maxRetry, std::vector<std::uint8_t>* buffer) {
    const bool isRead = buffer != nullptr;
    const AreaCodes codes = isRead ? readCodes(static_cast<int>(area)) : writeCodes(static_cast<int>(area));
    const auto wireAddress = static_cast<std::uint16_t>(address & 0xFFFFU);
    for (unsigned attempt = 1;; ++attempt) {
        // Only what arrives after this request counts: forget events raised before it
        // (a stale connected event, a message nobody waited for) and note the mailbox's
        // sequence, so a confirm left from an earlier exchange is never taken for this one.
        (void)m_messageArrived.tryConsume();
        (void)m_connectedEvent.tryConsume();
        (void)m_disconnectedEvent.tryConsume();
        const std::uint64_t sentAfter = m_mailbox.lastSequence();
        bool ok = sendMessage(static_cast<int>(codes.request), wireAddress, static_cast<int>(count),
                              isRead ? std::span<const std::uint8_t>() : data);
        if (ok) {
            ok = awaitConfirm(codes.confirm, address, count, buffer, sentAfter);
        }
        if (ok) {
            return true;
        }
        // Without a connection nothing is sent again: such attempts are neither counted nor
        // logged, the loss itself is.
        const bool connected = isConnected();
        if (connected) {
            logFailedAttempt(static_cast<int>(codes.request), address, count, attempt, maxRetry);
        }
        if (attempt >= maxRetry) {
            return false;
        }
        if (connected) {
            ++m_retries;
        }
    }
}

void DeviceLink::logFailedAttempt(int code, std::uint32_t address, std::size_t count, unsigned attempt,
                                  unsigned maxRetry) {
    if (!isEnabled(kLogWarning)) {
        return;
    }
    const MessageInfo* info = findMessage(code);
    const std::string message = info != nullptr ? std::string(info->name) : std::to_string(code);
    log(platform::userText(
            QT_TRANSLATE_NOOP(
                "qvx", "Keine passende Antwort auf %1 Adresse %2 Länge %3 (Versuch %4 von %5)"),
            {message, std::to_string(address), std::to_string(count), std::to_string(attempt),
             std::to_string(maxRetry)}),
        kLogWarning);
}

bool DeviceLink::segmentedRead(Area area, std::uint32_t address, std::size_t count) {
    const std::size_t block = m_maxBlockLength;
    const unsigned retries = m_maxRetry;
    std::vector<std::uint8_t>& buffer = bufferOf(area);
    buffer.clear();
    std::size_t offset = 0;
    for (; count - offset >= block; offset += block) {
        if (!transferBlock(area, address + static_cast<std::uint32_t>(offset), {}, block, retries, &buffer)) {
            return false;
        }
    }
    const std::size_t rest = count - offset;
    if (rest == 0) {
        return true;
    }
    return transferBlock(area, address + static_cast<std::uint32_t>(offset), {}, rest, retries, &buffer);
}

bool DeviceLink::segmentedWrite(Area area, std::uint32_t address, std::span<const std::uint8_t> bytes) {
    const std::size_t block = m_maxBlockLength;
    const unsigned retries = m_maxRetry;
    for (std::size_t offset = 0; offset < bytes.size(); offset += block) {
        const std::size_t size = std::min(block, bytes.size() - offset);
        if (!transferBlock(area, address + static_cast<std::uint32_t>(offset), bytes.subspan(offset, size),
                           size, retries, nullptr)) {
            return false;
        }
    }
    return true;
}

bool DeviceLink::readEeprom(std::uint32_t address, std::size_t count) { return segmentedRead(Area::Eeprom, address, count); }
bool DeviceLink::readRam(std::uint32_t address, std::size_t count) { return segmentedRead(Area::Ram, address, count); }
bool DeviceLink::readProgram(std::uint32_t address, std::size_t count) { return segmentedRead(Area::Program, address, count); }
bool DeviceLink::writeEeprom(std::uint32_t address, std::span<const std::uint8_t> bytes) { return segmentedWrite(Area::Eeprom, address, bytes); }
bool DeviceLink::writeRam(std::uint32_t address, std::span<const std::uint8_t> bytes) { return segmentedWrite(Area::Ram, address, bytes); }
bool DeviceLink::writeProgram(std::uint32_t address, std::span<const std::uint8_t> bytes) { return segmentedWrite(Area::Program, address, bytes); }

namespace {
constexpr int code(MessageCode c) { return static_cast<int>(c); }
int sizeOf(std::span<const std::uint8_t> data) { return static_cast<int>(data.size()); }
}  // namespace

bool DeviceLink::sendReadEepromDataReq(std::uint16_t a, int n) { return sendMessage(code(MessageCode::ReadEepromDataReq), a, n, {}); }
bool DeviceLink::sendReadProgramDataReq(std::uint16_t a, int n) { return sendMessage(code(MessageCode::ReadProgramDataReq), a, n, {}); }
bool DeviceLink::sendReadRamDataReq(std::uint16_t a, int n) { return sendMessage(code(MessageCode::ReadRamDataReq), a, n, {}); }
bool DeviceLink::sendWriteEepromDataReq(std::uint16_t a, std::span<const std::uint8_t> d) { return sendMessage(code(MessageCode::WriteEepromDataReq), a, sizeOf(d), d); }
bool DeviceLink::sendWriteProgramDataReq(std::uint16_t a, std::span<const std::uint8_t> d) { return sendMessage(code(MessageCode::WriteProgramDataReq), a, sizeOf(d), d); }
bool DeviceLink::sendWriteRamDataReq(std::uint16_t a, std::span<const std::uint8_t> d) { return sendMessage(code(MessageCode::WriteRamDataReq), a, sizeOf(d), d); }
bool DeviceLink::sendReadEepromDataCnf(std::uint16_t a, std::span<const std::uint8_t> d) { return sendMessage(code(MessageCode::ReadEepromDataCnf), a, sizeOf(d), d); }
bool DeviceLink::sendReadProgramDataCnf(std::uint16_t a, std::span<const std::uint8_t> d) { return sendMessage(code(MessageCode::ReadProgramDataCnf), a, sizeOf(d), d); }
bool DeviceLink::sendReadRamDataCnf(std::uint16_t a, std::span<const std::uint8_t> d) { return sendMessage(code(MessageCode::ReadRamDataCnf), a, sizeOf(d), d); }
bool DeviceLink::sendWriteEepromDataCnf(std::uint16_t a, int n) { return sendMessage(code(MessageCode::WriteEepromDataCnf), a, n, {}); }
bool DeviceLink::sendWriteProgramDataCnf(std::uint16_t a, int n) { return sendMessage(code(MessageCode::WriteProgramDataCnf), a, n, {}); }
bool DeviceLink::sendWriteRamDataCnf(std::uint16_t a, int n) { return sendMessage(code(MessageCode::WriteRamDataCnf), a, n, {}); }
bool DeviceLink::sendStatusInfo(std::uint16_t a, int n, std::span<const std::uint8_t> d) { return sendMessage(code(MessageCode::StatusInfo), a, n, d); }

}  // namespace qvx::link
