#include "gateway/serial_channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "gateway_test_support.h"
#include "line_probe.h"
#include "pty_pair.h"
#include "stable_device_path.h"

using namespace std::chrono_literals;
using qvx::gateway::CSerialChannel;
using qvx::gateway::devicePathForPort;
using qvx::gateway::frameControlFlags;
using qvx::gateway::RepeatedErrorThrottle;
using qvx::gateway::test::probeLine;
using qvx::gateway::test::Pty;
using qvx::gateway::test::RecordingLog;
using qvx::gateway::test::StableDevicePath;
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

    const std::optional<qvx::gateway::test::LineState> line = probeLine(pty.master());
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
    EXPECT_TRUE(channel.deviceUnavailable());
    EXPECT_FALSE(channel.StartReader());
    const RecordingLog::Line expected{
        "COMPort </dev/qvx-no-such-port> kann nicht geöffnet werden: No such file or directory",
        qvx::link::kLogError};
    EXPECT_EQ(log.lines(), (std::vector<RecordingLog::Line>{expected, expected}));

    // Settings no UART can send are refused before the device is even looked for.
    RecordingLog refusedLog;
    CollectingChannel refused(refusedLog);
    EXPECT_FALSE(refused.Configure("/dev/qvx-no-such-port", 9600, 9, 0, 0));
    EXPECT_FALSE(refused.deviceUnavailable());
    EXPECT_EQ(refusedLog.lines(),
              (std::vector<RecordingLog::Line>{
                  {configurationFailed("/dev/qvx-no-such-port", "Invalid argument"),
                   qvx::link::kLogError}}));
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

// ---- Hot-plug, exclusive access, stalled lines -------------------------------------------

namespace {

RecordingLog::Line gone(const std::string& port) {
    return {"COMPort <" + port + "> kann nicht gelesen werden: Input/output error",
            qvx::link::kLogError};
}

RecordingLog::Line back(const std::string& port) {
    return {"COMPort <" + port + "> ist wieder verfügbar.", qvx::link::kLogInfo};
}

/// True when the terminal at `path` is in exclusive mode; an open refused as busy (what a
/// process without administrator rights gets) counts as exclusive too.
bool exclusiveMode(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY;
    }
    int exclusive = 0;
    const bool known = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0;
    ::close(fd);
    return known && exclusive != 0;
}

}  // namespace

// The adapter is unplugged during a session and plugged in again behind the same stable link:
// the channel closes the dead port, finds the device again, reapplies the line settings and
// relays on; the log says once that it is gone and once that it is back.
TEST(SerialChannel, AReplugBehindAStableLinkIsFoundAgainAndLoggedOnceEachWay) {
    StableDevicePath link;
    auto first = std::make_unique<Pty>();
    link.pointAt(first->slavePath());
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(channel.Configure(link.path(), 19200, 8, 0, 2));
    ASSERT_TRUE(channel.StartReader());
    first->send({'a'});
    ASSERT_EQ(channel.waitForBytes(1, kDeadline).size(), 1U);

    first.reset();  // unplugged: the pty's other side goes away, and with it the link target
    link.remove();
    ASSERT_TRUE(log.waitForLines(1, kDeadline));
    EXPECT_EQ(log.lines(), std::vector<RecordingLog::Line>{gone(link.path())});
    EXPECT_TRUE(qvx::gateway::test::waitUntil([&] { return !channel.isOpen(); }, kDeadline));
    channel.Write(std::vector<std::uint8_t>{'x'});  // dropped while the device is away

    Pty second;
    link.pointAt(second.slavePath());
    ASSERT_TRUE(second.waitSlaveOpen(true, kDeadline));
    ASSERT_TRUE(log.waitForLines(2, kDeadline));
    const std::optional<qvx::gateway::test::LineState> line = probeLine(second.master());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->outputBaud, 19200U);
    EXPECT_TRUE(line->extraStopBit);
    EXPECT_FALSE(line->canonicalOrEcho);

    second.send({'b', 'c'});
    EXPECT_EQ(channel.waitForBytes(3, kDeadline), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    channel.Write(std::vector<std::uint8_t>{'y'});
    EXPECT_EQ(second.receive(1, kDeadline), std::vector<std::uint8_t>{'y'});
    EXPECT_EQ(log.lines(), (std::vector<RecordingLog::Line>{gone(link.path()), back(link.path())}));
}

// A device missing when the port is checked is waited for without a line per attempt, and
// opened as soon as it is there.
TEST(SerialChannel, AwaitDeviceOpensThePortWhenTheDeviceAppears) {
    StableDevicePath link;
    link.pointAtNothing();
    RecordingLog log;
    CollectingChannel channel(log);
    EXPECT_FALSE(channel.Configure(link.path(), 9600, 8, 0, 0));
    ASSERT_TRUE(channel.deviceUnavailable());
    channel.AwaitDevice();

    // A target that fails another way shows that attempts go on, and quietly.
    link.pointAt(link.folder());
    EXPECT_TRUE(
        qvx::gateway::test::waitUntil([&] { return channel.lastError() == EISDIR; }, kDeadline));
    EXPECT_FALSE(channel.isOpen());

    Pty pty;
    link.pointAt(pty.slavePath());
    ASSERT_TRUE(pty.waitSlaveOpen(true, kDeadline));
    ASSERT_TRUE(log.waitForLines(2, kDeadline));
    EXPECT_EQ(
        log.lines(),
        (std::vector<RecordingLog::Line>{
            {"COMPort <" + link.path() + "> kann nicht geöffnet werden: No such file or directory",
             qvx::link::kLogError},
            back(link.path())}));
    pty.send({0x11, 0x13});
    EXPECT_EQ(channel.waitForBytes(2, kDeadline), (std::vector<std::uint8_t>{0x11, 0x13}));
}

// While the gateway holds a port, a second opener (another gateway, a terminal program) is
// refused instead of sharing the line, and the refusal names the process that holds it.
TEST(SerialChannel, APortIsHeldExclusivelyAndASecondOpenerIsToldWhoHoldsIt) {
    Pty pty;
    RecordingLog log;
    CollectingChannel holder(log);
    ASSERT_TRUE(holder.Configure(pty.slavePath(), 9600, 8, 0, 0));
    EXPECT_FALSE(exclusiveMode(pty.slavePath())) << "the check lets go of the port";
    ASSERT_TRUE(holder.StartReader());
    EXPECT_TRUE(exclusiveMode(pty.slavePath()));

    RecordingLog otherLog;
    CollectingChannel other(otherLog);
    EXPECT_FALSE(other.Configure(pty.slavePath(), 9600, 8, 0, 0));
    EXPECT_TRUE(other.deviceUnavailable());
    EXPECT_EQ(other.lastError(), EBUSY);
    // The holder is this very process, which the text leaves out.
    EXPECT_EQ(otherLog.lines(), (std::vector<RecordingLog::Line>{
                                    {"COMPort <" + pty.slavePath() +
                                         "> kann nicht geöffnet werden: Device or resource busy",
                                     qvx::link::kLogError}}));
    const std::optional<qvx::gateway::PortHolder> found =
        qvx::gateway::findPortHolder(pty.slavePath(), 0);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pid, ::getpid());
    EXPECT_EQ(qvx::gateway::portHolderText(pty.slavePath()), "");

    holder.StopReader();
    EXPECT_FALSE(exclusiveMode(pty.slavePath()));
    EXPECT_TRUE(other.Configure(pty.slavePath(), 9600, 8, 0, 0));
    EXPECT_TRUE(log.lines().empty());
}

// A line nobody drains: a write gives up after the stall time-out, and while the line stays
// stalled later writes do not wait at all, so a backlog of them cannot hold the session's end
// (each waiting its second, these 50 would take 50 s).
TEST(SerialChannel, AWriteTheLineDoesNotTakeGivesUpAndLaterOnesDoNotWait) {
    Pty pty;
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(channel.Configure(pty.slavePath(), 9600, 8, 0, 0));
    ASSERT_TRUE(channel.StartReader());
    channel.Write(std::vector<std::uint8_t>(std::size_t{1} << 20, 0x55));
    EXPECT_EQ(channel.lastError(), ETIMEDOUT);
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i) {
        channel.Write(std::vector<std::uint8_t>(4096, 0xAA));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10 * CSerialChannel::kWriteStallTimeout);
    EXPECT_EQ(log.lines(), (std::vector<RecordingLog::Line>{
                               {"COMPort <" + pty.slavePath() +
                                    "> nimmt seit 1000 ms keine Daten an, Daten werden verworfen.",
                                qvx::link::kLogWarning}}));

    // Drained, the line takes bytes again.
    while (!pty.receive(65536, 100ms).empty()) {
    }
    channel.Write(std::vector<std::uint8_t>{'z'});
    EXPECT_EQ(pty.receive(1, kDeadline), std::vector<std::uint8_t>{'z'});
}

// After Shutdown nothing opens the port again and a write never waits for the line.
TEST(SerialChannel, AfterShutdownNothingOpensAndNothingWaits) {
    Pty pty;
    RecordingLog log;
    CollectingChannel channel(log);
    ASSERT_TRUE(channel.Configure(pty.slavePath(), 9600, 8, 0, 0));
    ASSERT_TRUE(channel.StartReader());
    channel.Shutdown();
    const auto started = std::chrono::steady_clock::now();
    channel.Write(std::vector<std::uint8_t>(std::size_t{1} << 20, 0x55));
    EXPECT_LT(std::chrono::steady_clock::now() - started, CSerialChannel::kWriteStallTimeout);
    channel.StopReader();
    EXPECT_FALSE(channel.StartReader());
    channel.AwaitDevice();
    EXPECT_FALSE(channel.isOpen());
    EXPECT_FALSE(pty.slaveOpen());
    EXPECT_TRUE(log.lines().empty());
}
