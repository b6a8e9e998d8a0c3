#include "sim/sim_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "link/device_link.h"
#include "sim/eeprom_file.h"
#include "sim/encoding.h"
#include "sim/factory_eeprom.h"
#include "sim/memory_map.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/scripted_peer.h"

using namespace qvx::sim;
using namespace std::chrono_literals;
using qvx::link::DeviceLink;
using qvx::simtest::Bytes;
using qvx::simtest::LineClient;
using qvx::test::waitUntil;

namespace {

/// A simulator on a free TCP port, stopped and joined by its destructor.
struct Running {
    explicit Running(ServerConfig config = {}) : server(std::move(config)) {
        std::string error;
        started = server.start(error);
        EXPECT_TRUE(started) << error;
    }
    SimServer server;
    bool started = false;
};

/// A device link connected to the simulator, with short waits.
struct Client {
    explicit Client(std::uint16_t port) {
        link.setReplyWait(300);
        EXPECT_TRUE(link.connect(port, "127.0.0.1"));
        EXPECT_TRUE(waitUntil([this] { return link.isConnected(); }, 5s));
        EXPECT_TRUE(link.lockEngine());
    }
    ~Client() { link.unlockEngine(); }
    DeviceLink link;
};

/// A fresh folder under the temporary directory, removed afterwards.
struct TempDir {
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qvx_sim_test.XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

/// A clock that stands still until the test moves it.
class SteppedClock final : public qvx::platform::Clock {
public:
    [[nodiscard]] std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::time_point{} + 1h + m_offset.load();
    }
    void advance(std::chrono::nanoseconds step) { m_offset = m_offset.load() + step; }

private:
    std::atomic<std::chrono::nanoseconds> m_offset{0ns};
};

Bytes fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(SimServer, ADeviceLinkReadsAndWritesTheSimulatedController) {
    Running sim;
    Client c(sim.server.port());
    ASSERT_TRUE(c.link.readEeprom(memory::kServiceWeek, 3));
    EXPECT_EQ(c.link.eepromBuffer(), (Bytes{factory::kWeek, factory::kYear, factory::kSerial}));

    // A programming written as the programming view writes it reaches the working memory.
    const Bytes record{0xB0, 0x0F, 0xA0, 0x0F, 0x90, 0x0F, 0x80, 0x0F, 0x70, 0x0F};
    ASSERT_TRUE(c.link.writeEeprom(memory::kInputRecord, record));
    ASSERT_TRUE(c.link.readEeprom(memory::kSwitchPoints, 10));
    EXPECT_EQ(c.link.eepromBuffer(), record);

    // A whole calibration table in blocks of the default length.
    ASSERT_TRUE(
        c.link.readEeprom(memory::kCalibrationHeader, 4 + 4 * factory::kCalibration.size()));
    EXPECT_EQ(c.link.eepromBuffer()[2], factory::kCalibration.size());

    ASSERT_TRUE(c.link.readRam(memory::kRamGripper, 5));
    const double volts = encoding::supplyVolts(encoding::getWord(c.link.ramBuffer(), 2));
    EXPECT_NEAR(volts, 24.0, 0.2);
}

TEST(SimServer, RetriesCarryTheLinkThroughLostAndDamagedConfirms) {
    Running sim(
        ServerConfig{.faults = FaultPlan{.dropShare = 0.2, .corruptShare = 0.2}, .faultSeed = 3});
    Client c(sim.server.port());
    c.link.setUseCrcCheck(true);
    c.link.setReplyWait(100);
    c.link.setMaxRetry(20);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(c.link.readEeprom(memory::kServiceWeek, 3)) << i;
        ASSERT_EQ(c.link.eepromBuffer()[2], factory::kSerial) << i;
    }
}

TEST(SimServer, ARecordingRunsToItsEndAndIsReadBack) {
    ServerConfig config;
    config.controller.sampleInterval = 1ms;
    Running sim(config);
    Client c(sim.server.port());
    ASSERT_TRUE(c.link.writeRam(memory::kRamStatus, Bytes{memory::kStatusRecording}));
    ASSERT_TRUE(waitUntil(
        [&] {
            return c.link.readRam(memory::kRamStatus, 1) && (c.link.ramBuffer()[0] & 0x20) != 0;
        },
        10s));
    EXPECT_EQ(c.link.ramBuffer()[0] & memory::kStatusRecording, 0);
    ASSERT_TRUE(
        c.link.readEeprom(memory::kRecordingSupply, std::size_t{2} * memory::kRecordingSamples));
    for (std::size_t i = 0; i < memory::kRecordingSamples; ++i) {
        ASSERT_NEAR(encoding::supplyVolts(encoding::getWord(c.link.eepromBuffer(), 2 * i)), 24.0,
                    0.2)
            << i;
    }
}

TEST(SimServer, ModemDialogueThroughTheLinksTextMode) {
    ServerConfig config;
    config.session = SessionConfig{.modem = true, .modemTiming = {.dialDelay = 50ms}};
    Running sim(config);
    Client c(sim.server.port());
    const auto say = [&](const std::string& text, const std::string& expected) {
        c.link.setTextMode(true);
        c.link.setLineComplete(false);
        c.link.clearLineBuffer();
        EXPECT_TRUE(c.link.sendFrame(Bytes(text.begin(), text.end())));
        return waitUntil([&] { return c.link.lineBuffer().find(expected) != std::string::npos; },
                         5s);
    };
    EXPECT_TRUE(say("AT&FX0E0\r\n", "OK\r\n"));
    EXPECT_TRUE(say("ATDT0815\r\n", "CONNECT"));
    c.link.setTextMode(false);
    ASSERT_TRUE(c.link.readEeprom(memory::kServiceSerial, 1));
    EXPECT_EQ(c.link.eepromBuffer()[0], factory::kSerial);
}

TEST(SimServer, CloseMidFrameEndsTheConnectionAndTheNextClientIsServed) {
    Running sim(ServerConfig{.faults = FaultPlan{.closeMidFrameOnce = true}});
    {
        LineClient first = LineClient::tcp(sim.server.port());
        ASSERT_TRUE(first.ok());
        ASSERT_TRUE(first.send(qvx::test::frameOf(1, 22, 3)));
        const Bytes half = first.read(11, 5s);
        EXPECT_EQ(half.size(), 5U);
        EXPECT_TRUE(first.waitClosed(5s));
    }
    LineClient second = LineClient::tcp(sim.server.port());
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(second.send(qvx::test::frameOf(1, 22, 3)));
    EXPECT_EQ(second.read(11, 5s).size(), 11U);
}

TEST(SimServer, OneClientAtATimeTheNextWaitsItsTurn) {
    Running sim;
    auto first = std::make_unique<LineClient>(LineClient::tcp(sim.server.port()));
    ASSERT_TRUE(waitUntil([&] { return sim.server.clientConnected(); }, 5s));
    LineClient second = LineClient::tcp(sim.server.port());
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(second.send(qvx::test::frameOf(1, 22, 3)));
    EXPECT_TRUE(second.read(11, 200ms).empty());
    first.reset();
    EXPECT_EQ(second.read(11, 5s).size(), 11U);
}

TEST(SimServer, ALineSpeedPacesRequestAndConfirm) {
    Running sim(ServerConfig{.baud = 9600});
    LineClient line = LineClient::tcp(sim.server.port());
    ASSERT_TRUE(line.ok());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(line.send(qvx::test::frameOf(1, 0x200, 96)));
    EXPECT_EQ(line.read(104, 5s).size(), 104U);
    // 8 request and 104 confirm bytes of 10 bits at 9600 bit/s take at least 116 ms.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 116ms);
}

// The confirm follows the request on the line's own schedule, from the moment the request's
// last byte ended, however late the server notices that end. At 9600 bit/s a byte lasts
// 1.04 ms: 13 ms after the request reached the line its 8 bytes have ended (8.3 ms) and so have
// the first 4 bytes of the confirm (12.5 ms), not the fifth (13.5 ms).
TEST(SimServer, AConfirmStartsWhenTheRequestEndedNotWhenTheServerNoticed) {
    SteppedClock clock;
    std::atomic<bool> handled{false};
    SimServer server(ServerConfig{.baud = 9600,
                                  .trace = [&](const qvx::link::LinkMessage&,
                                               RequestOutcome) { handled = true; }},
                     clock);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    LineClient line = LineClient::tcp(server.port());
    ASSERT_TRUE(line.ok());
    ASSERT_TRUE(waitUntil([&] { return server.clientConnected(); }, 5s));
    ASSERT_TRUE(line.send(qvx::test::frameOf(1, 22, 3)));  // confirmed with 11 bytes
    // The server stamps the request with the clock's time when it reads it; should it read
    // only after a step, the request ends one step later.
    for (int step = 0; step < 5 && !handled; ++step) {
        clock.advance(13ms);
        (void)waitUntil([&] { return handled.load(); }, 500ms);
    }
    ASSERT_TRUE(handled);
    EXPECT_EQ(line.read(4, 5s).size(), 4U);
    EXPECT_TRUE(line.read(1, 100ms).empty()) << "the fifth byte has not ended yet";
    clock.advance(100ms);
    EXPECT_EQ(line.read(7, 5s).size(), 7U);
}

TEST(SimServer, TheEepromFileFollowsWritesOnceTheySettle) {
    TempDir dir;
    const auto file = dir.path / "eeprom.bin";
    Running sim(ServerConfig{.eepromPath = file.string(), .settle = 50ms});
    ASSERT_EQ(fileBytes(file).size(), memory::kEepromSize);  // created at start
    Client c(sim.server.port());
    ASSERT_TRUE(c.link.writeEeprom(memory::kServiceSerial, Bytes{77}));
    EXPECT_TRUE(waitUntil([&] { return fileBytes(file).at(memory::kServiceSerial) == 77; }, 5s));
}

TEST(EepromFile, RefusesAnImageOfTheWrongSizeAndLeavesItAlone) {
    TempDir dir;
    const auto file = dir.path / "short.bin";
    std::ofstream(file, std::ios::binary) << "abc";
    std::vector<std::uint8_t> image;
    std::string error;
    EXPECT_EQ(loadEepromImage(file.string(), memory::kEepromSize, image, error),
              LoadResult::Failed);
    EXPECT_NE(error.find("3 bytes"), std::string::npos);
    SimServer sim(ServerConfig{.eepromPath = file.string()});
    EXPECT_FALSE(sim.start(error));
    EXPECT_EQ(fileBytes(file), (Bytes{'a', 'b', 'c'}));
}

TEST(EepromFile, SavingReplacesALinksTargetAndKeepsItsPermissions) {
    TempDir dir;
    const auto target = dir.path / "image.bin";
    const auto link = dir.path / "current.bin";
    std::ofstream(target, std::ios::binary) << "old";
    std::filesystem::permissions(
        target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(target, link);
    const Bytes image(memory::kEepromSize, 0x5A);
    std::string error;
    ASSERT_TRUE(saveEepromImage(link.string(), image, error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fileBytes(target), image);
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}),
              2);  // no temporary left

    std::vector<std::uint8_t> loaded;
    EXPECT_EQ(loadEepromImage(link.string(), memory::kEepromSize, loaded, error),
              LoadResult::Loaded);
    EXPECT_EQ(loaded, image);
}
