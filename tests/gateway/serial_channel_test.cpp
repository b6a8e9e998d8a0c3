#include "gateway/serial_channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "gateway_test_support.h"
#include "line_probe.h"
#include "pty_pair.h"

using namespace std::chrono_literals;
using qvx::gateway::CSerialChannel;
using qvx::gateway::devicePathForPort;
using qvx::gateway::frameControlFlags;
using qvx::gateway::RepeatedErrorThrottle;
using qvx::gateway::test::FakeClock;
using qvx::gateway::test::probeLine;
using qvx::gateway::test::Pty;
using qvx::gateway::test::RecordingLog;
using qvx::gateway::test::TempDir;

namespace {

constexpr auto kDeadline = 5s;

/// A serial channel whose owner collects the received bytes.
class CollectingChannel final : public CSerialChannel {
public:
    using CSerialChannel::CSerialChannel;
    ~CollectingChannel() override { StopReader(); }
    CollectingChannel(const CollectingChannel&) = delete;
    CollectingChannel& operator=(const CollectingChannel&) = delete;

    [[nodiscard]] std::vector<std::uint8_t> waitForBytes(std::size_t count,
                                                         std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        m_arrived.wait_for(lock, timeout, [&] { return m_bytes.size() >= count; });
        return m_bytes;
    }

protected:
    void onReceivedData(std::span<const std::uint8_t> bytes) override {
        {
            const std::lock_guard lock(m_mutex);
            m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        }
        m_arrived.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<std::uint8_t> m_bytes;
};

std::vector<std::uint8_t> everyByteValue(int repetitions) {
    std::vector<std::uint8_t> bytes;
    for (int r = 0; r < repetitions; ++r) {
        for (int value = 0; value < 256; ++value) {
            bytes.push_back(static_cast<std::uint8_t>(value));
        }
    }
    return bytes;
}

std::string configurationFailed(const std::string& port, const char* reason) {
    return "COMPort <" + port + "> Konfiguration fehlgeschlagen: " + reason;
}

}  // namespace

// ---- Relay --------------------------------------------------------------------------------

TEST(SerialChannel, DeliversEveryByteValueFromTheLineInOrder) {
    Pty pty;
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(channel.Configure(pty.slavePath(), 9600, 8, 0, 0));
    ASSERT_TRUE(channel.StartReader());
    ASSERT_TRUE(channel.StartReader());  // a restart, as for every new session

    const std::vector<std::uint8_t> sent = everyByteValue(64);
    pty.send(sent);
    EXPECT_EQ(channel.waitForBytes(sent.size(), kDeadline), sent);
    EXPECT_TRUE(log.lines().empty());
}

TEST(SerialChannel, WithoutAnOwnerEveryReceivedByteIsShownOnALineOfItsOwn) {
    struct ShowingChannel final : CSerialChannel {
        using CSerialChannel::CSerialChannel;
        using CSerialChannel::onReceivedData;
    };
    RecordingLog log;
    ShowingChannel channel(log);
    const std::vector<std::uint8_t> bytes{'A', 0x0A, 0xFF};
    testing::internal::CaptureStdout();
    channel.onReceivedData(bytes);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Daten von RS232 empfangen: A(0x41)\n"
              "Daten von RS232 empfangen: \n(0xa)\n"
              "Daten von RS232 empfangen: \xff(0xff)\n");
}

TEST(SerialChannel, WritesEveryByteValueUnchangedToTheLine) {
    Pty pty;
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(channel.Configure(pty.slavePath(), 115200, 8, 0, 0));
    ASSERT_TRUE(channel.StartReader());

    const std::vector<std::uint8_t> sent = everyByteValue(4);
    channel.Write(sent);
    EXPECT_EQ(pty.receive(sent.size(), kDeadline), sent);
    EXPECT_TRUE(log.lines().empty());
}

TEST(SerialChannel, WriteWhileStoppedIsDroppedWithoutError) {
    Pty pty;
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(channel.Configure(pty.slavePath(), 9600, 8, 0, 0));
    EXPECT_FALSE(channel.isOpen());
    const std::vector<std::uint8_t> dropped{'X'};
    channel.Write(dropped);  // after Configure the port is closed again

    ASSERT_TRUE(channel.StartReader());
    EXPECT_TRUE(channel.isOpen());
    channel.StopReader();
    EXPECT_FALSE(channel.isOpen());
    channel.Write(dropped);

    ASSERT_TRUE(channel.StartReader());
    const std::vector<std::uint8_t> kept{'Y'};
    channel.Write(kept);
    EXPECT_EQ(pty.receive(1, kDeadline), kept);
    EXPECT_EQ(channel.lastError(), 0);
    EXPECT_TRUE(log.lines().empty());
}

TEST(SerialChannel, StopReaderAbandonsAWriteThatWaitsForRoom) {
    Pty pty;
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(channel.Configure(pty.slavePath(), 9600, 8, 0, 0));
    ASSERT_TRUE(channel.StartReader());

    // Far more than the pty buffers while nobody reads the master: the write has to wait.
    const std::vector<std::uint8_t> flood(std::size_t{4} * 1024 * 1024, 0x55);
    std::thread writer([&] { channel.Write(flood); });
    ASSERT_TRUE(pty.waitReadable(kDeadline));
    channel.StopReader();
    writer.join();
    EXPECT_FALSE(channel.isOpen());
}

// ---- Line settings ------------------------------------------------------------------------

TEST(FrameControlFlags, MapParityAndStopBitCodesToTheTerminalFlags) {
    struct Case {
        std::uint8_t byteSize;
        std::uint8_t parity;
        std::uint8_t stopBits;
        tcflag_t expected;
    };
    const Case cases[] = {
        {8, 0, 0, CS8},
        {7, 1, 0, CS7 | PARENB | PARODD},
        {7, 2, 2, CS7 | PARENB | CSTOPB},
        {8, 3, 0, CS8 | PARENB | PARODD | CMSPAR},
        {6, 4, 2, CS6 | PARENB | CMSPAR | CSTOPB},
        {5, 0, 1, CS5 | CSTOPB},  // one and a half stop bits
        {5, 2, 0, CS5 | PARENB},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(frameControlFlags(c.byteSize, c.parity, c.stopBits), c.expected)
            << int{c.byteSize} << " " << int{c.parity} << " " << int{c.stopBits};
    }
    // What a UART cannot send.
    EXPECT_EQ(frameControlFlags(8, 0, 1), std::nullopt);
    EXPECT_EQ(frameControlFlags(6, 0, 1), std::nullopt);
    EXPECT_EQ(frameControlFlags(5, 0, 2), std::nullopt);
    EXPECT_EQ(frameControlFlags(4, 0, 0), std::nullopt);
    EXPECT_EQ(frameControlFlags(9, 0, 0), std::nullopt);
    EXPECT_EQ(frameControlFlags(8, 5, 0), std::nullopt);
    EXPECT_EQ(frameControlFlags(8, 0, 3), std::nullopt);
}

struct LineCase {
    std::uint32_t baud;
    std::uint8_t byteSize;
    std::uint8_t parityCode;
    std::uint8_t stopBitsCode;
    bool extraStopBit;
    const char* name;
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

class SerialLineSettings : public testing::TestWithParam<LineCase> {};

// A pty keeps the rate, the stop bits and the raw mode; it forces 8 data bits without parity
// whatever is asked (there is no wire), so those are checked through FrameControlFlags above.
TEST_P(SerialLineSettings, AreAppliedAsARawLineWithoutFlowControl) {
    const LineCase& c = GetParam();
    Pty pty;
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(
        channel.Configure(pty.slavePath(), c.baud, c.byteSize, c.parityCode, c.stopBitsCode));
    ASSERT_TRUE(channel.StartReader());

    const std::optional<qvx::gateway::test::LineState> line = probeLine(pty.slavePath());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->outputBaud, c.baud);
    EXPECT_EQ(line->inputBaud, c.baud);
    EXPECT_EQ(line->extraStopBit, c.extraStopBit);
    EXPECT_FALSE(line->hardwareFlowControl);
    EXPECT_FALSE(line->softwareFlowControl);
    EXPECT_FALSE(line->inputTranslation);
    EXPECT_FALSE(line->outputProcessing);
    EXPECT_FALSE(line->canonicalOrEcho);
    EXPECT_TRUE(line->ignoresModemLines);
    EXPECT_TRUE(line->receiverOn);
    EXPECT_TRUE(log.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(ParityStopBitsAndRates, SerialLineSettings,
                         testing::Values(LineCase{9600, 8, 0, 0, false, "Rate9600_8N1"},
                                         LineCase{19200, 7, 1, 0, false, "Rate19200_7O1"},
                                         LineCase{57600, 7, 2, 2, true, "Rate57600_7E2"},
                                         LineCase{115200, 8, 3, 0, false, "Rate115200_8M1"},
                                         LineCase{1200, 6, 4, 2, true, "Rate1200_6S2"},
                                         LineCase{12345, 5, 0, 1, true, "Rate12345_5N1AndAHalf"},
                                         LineCase{250000, 8, 2, 0, false, "Rate250000_8E1"},
                                         LineCase{110, 5, 1, 0, false, "Rate110_5O1"}),
                         [](const testing::TestParamInfo<LineCase>& row) {
                             return std::string(row.param.name);
                         });

TEST(SerialChannel, RefusesLineSettingsThatCannotBeMet) {
    struct Refused {
        std::uint32_t baud;
        std::uint8_t byteSize;
        std::uint8_t parity;
        std::uint8_t stopBits;
    };
    const Refused cases[] = {
        {0, 8, 0, 0},                      // rate 0 would hang the line up
        {9600, 8, 0, 1},                   // one and a half stop bits need 5 data bits
        {9600, 6, 0, 1}, {9600, 5, 0, 2},  // two stop bits with 5 data bits give one and a half
        {9600, 4, 0, 0}, {9600, 9, 0, 0}, {9600, 8, 5, 0}, {9600, 8, 0, 3},
    };
    Pty pty;
    for (const Refused& c : cases) {
        RecordingLog log;
        CollectingChannel channel(log);
        EXPECT_FALSE(channel.Configure(pty.slavePath(), c.baud, c.byteSize, c.parity, c.stopBits))
            << c.baud << " " << int{c.byteSize} << " " << int{c.parity} << " " << int{c.stopBits};
        EXPECT_EQ(
            log.lines(),
            (std::vector<RecordingLog::Line>{
                {configurationFailed(pty.slavePath(), "Invalid argument"), qvx::link::kLogError}}));
        EXPECT_EQ(channel.lastError(), EINVAL);
        EXPECT_FALSE(channel.isOpen());
        // Without valid settings the reader does not start on an unconfigured line.
        EXPECT_FALSE(channel.StartReader());
        EXPECT_FALSE(channel.isOpen());
    }
}

TEST(SerialChannel, AFileThatIsNoTerminalFailsTheConfiguration) {
    const TempDir dir;
    const std::string path = (dir.path() / "plain-file").string();
    std::ofstream(path) << "x";
    RecordingLog log;
    CollectingChannel channel(log);
    EXPECT_FALSE(channel.Configure(path, 9600, 8, 0, 0));
    EXPECT_EQ(
        log.lines(),
        (std::vector<RecordingLog::Line>{
            {configurationFailed(path, "Inappropriate ioctl for device"), qvx::link::kLogError}}));
    EXPECT_EQ(channel.lastError(), ENOTTY);
}

// ---- Port names and missing devices -------------------------------------------------------

TEST(DevicePathForPort, MapsComNamesToStandardSerialPortsAndKeepsPaths) {
    EXPECT_EQ(devicePathForPort("COM1:"), "/dev/ttyS0");
    EXPECT_EQ(devicePathForPort("COM2"), "/dev/ttyS1");
    EXPECT_EQ(devicePathForPort("com12:"), "/dev/ttyS11");
    EXPECT_EQ(devicePathForPort("COM256:"), "/dev/ttyS255");
    EXPECT_EQ(devicePathForPort("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(devicePathForPort("/dev/pts/3"), "/dev/pts/3");
    // Not a COM name, so taken as a (relative) path.
    for (const char* name :
         {"COM0:", "COM01:", "COM:", "COM1::", "COMx:", "COM-1:", "XCOM1:", ""}) {
        EXPECT_EQ(devicePathForPort(name), name);
    }
}

TEST(SerialChannel, MissingDeviceFailsWithTheOpenMessage) {
    RecordingLog log;
    CollectingChannel channel(log);
    EXPECT_FALSE(channel.Configure("/dev/qvx-no-such-port", 9600, 8, 0, 0));
    EXPECT_EQ(channel.lastError(), ENOENT);
    EXPECT_FALSE(channel.StartReader());
    const RecordingLog::Line expected{
        "COMPort </dev/qvx-no-such-port> kann nicht geöffnet werden: No such file or directory",
        qvx::link::kLogError};
    EXPECT_EQ(log.lines(), (std::vector<RecordingLog::Line>{expected, expected}));
}

TEST(SerialChannel, ComNameOpensTheMappedDeviceAndLogsTheNameAsConfigured) {
    ASSERT_FALSE(std::filesystem::exists("/dev/ttyS249"));
    RecordingLog log;
    CollectingChannel channel(log);
    EXPECT_FALSE(channel.Configure("COM250:", 9600, 8, 0, 0));
    EXPECT_EQ(log.lines(),
              (std::vector<RecordingLog::Line>{
                  {"COMPort <COM250:> kann nicht geöffnet werden: No such file or directory",
                   qvx::link::kLogError}}));
}

// ---- Read failures ------------------------------------------------------------------------

TEST(RepeatedErrorThrottle, LogsTheFirstFailureThenOncePerIntervalWhileItLasts) {
    using std::chrono::steady_clock;
    RepeatedErrorThrottle throttle(60s);
    const steady_clock::time_point t0{};
    EXPECT_TRUE(throttle.shouldLog(EIO, t0));
    EXPECT_FALSE(throttle.shouldLog(EIO, t0 + 50ms));
    EXPECT_FALSE(throttle.shouldLog(EIO, t0 + 59999ms));
    EXPECT_TRUE(throttle.shouldLog(EIO, t0 + 60s));
    EXPECT_FALSE(throttle.shouldLog(EIO, t0 + 61s));
    // Another failure is news at once, and so is the old one coming back.
    EXPECT_TRUE(throttle.shouldLog(ENODEV, t0 + 62s));
    EXPECT_TRUE(throttle.shouldLog(EIO, t0 + 63s));
    // After a success the same failure counts as new.
    throttle.reset();
    EXPECT_TRUE(throttle.shouldLog(EIO, t0 + 64s));
}

TEST(SerialChannel, ARemovedDeviceIsRetriedButLoggedOnlyOncePerMinute) {
    Pty pty;
    RecordingLog log;
    FakeClock clock;
    CollectingChannel channel(log, clock);
    ASSERT_TRUE(channel.Configure(pty.slavePath(), 9600, 8, 0, 0));
    ASSERT_TRUE(channel.StartReader());
    const RecordingLog::Line failure{
        "COMPort <" + pty.slavePath() + "> kann nicht gelesen werden: Input/output error",
        qvx::link::kLogError};

    pty.closeMaster();  // the device is gone: every read fails from now on
    // Each failed read asks the clock once; let several retries pass on frozen time.
    ASSERT_TRUE(clock.waitForCalls(4, kDeadline));
    EXPECT_EQ(log.lines(), std::vector<RecordingLog::Line>{failure});
    EXPECT_EQ(channel.lastError(), EIO);

    clock.advance(59s);
    ASSERT_TRUE(clock.waitForCalls(clock.calls() + 2, kDeadline));
    EXPECT_EQ(log.lines().size(), 1U);

    clock.advance(1s);
    ASSERT_TRUE(log.waitForLines(2, kDeadline));
    ASSERT_TRUE(clock.waitForCalls(clock.calls() + 2, kDeadline));
    EXPECT_EQ(log.lines(), (std::vector<RecordingLog::Line>{failure, failure}));

    channel.StopReader();
    EXPECT_FALSE(channel.isOpen());
}
