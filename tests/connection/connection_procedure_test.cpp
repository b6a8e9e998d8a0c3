// The connection procedure after the dialog: login, data connection, modem dialling, the
// calibration table and the tolerances, and every message it shows on the way.

#include "connection/connection_procedure.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "connection/connection_texts.h"
#include "link/device_memory_map.h"
#include "tests/support/loopback.h"
#include "tests/support/memory_controller.h"
#include "tests/support/modem_line.h"
#include "tests/support/text_peer.h"

using namespace std::chrono_literals;
using qvx::connection::runConnectionProcedure;
using qvx::link::CalibrationMode;
using qvx::link::CalibrationTable;
using qvx::link::DeviceLink;
using qvx::test::Bytes;
using qvx::test::ModemLine;
using qvx::test::TextPeer;
namespace texts = qvx::connection::texts;
namespace mm = qvx::link::memory_map;

namespace {

using Shown = std::vector<std::pair<std::string, std::string>>;  // text and caption

/// The user interface as the procedure sees it: records what it shows and answers questions.
struct RecordingUi final : qvx::connection::ConnectionUi {
    Shown messages;
    Shown questions;
    std::vector<std::string> notices;
    bool noticeVisible = false;
    bool answerYes = true;
    std::function<void()> onPump;

    void showMessage(std::string_view text, std::string_view caption) override {
        messages.emplace_back(text, caption);
    }
    bool askYesNo(std::string_view text, std::string_view caption) override {
        questions.emplace_back(text, caption);
        return answerYes;
    }
    void showDialingNotice(std::string_view text) override {
        notices.emplace_back(text);
        noticeVisible = true;
    }
    void hideDialingNotice() override { noticeVisible = false; }
    void pump() override {
        if (onPump) {
            onPump();
        }
    }
};

/// The settings of the run: gateway on loopback, its login and data ports.
void pointAt(DeviceLink& link, int loginPort, int dataPort) {
    link.setHost("127.0.0.1");
    link.setBasePort(loginPort);
    link.setPort(dataPort);
}

void useModem(DeviceLink& link) {
    link.setTcpConnection(false);
    link.modem().initString = "AT&FX0E0\r\n";
    link.modem().dialString = "ATDT";
    link.modem().callNumber = "0815";
    link.modem().initTimeout = 200;
    link.modem().dialTimeout = 2000;
}

/// A calibration table of `count` stored points (1000 mV and 10 mm apart) and the tolerance
/// cells, 100 mV under and 200 mV over.
void storeTable(qvx::test::ControllerMemory& memory, std::uint8_t count) {
    memory.put(memory.eeprom, mm::kCalibrationHeader, {1, 0, count, 1});
    Bytes points;
    for (std::uint32_t i = 1; i <= std::min<std::uint32_t>(count, CalibrationTable::kMaxPoints);
         ++i) {
        std::uint16_t raw = 0;
        EXPECT_TRUE(CalibrationTable::mvToRaw(static_cast<float>(80 * i), raw));
        const auto micrometres = static_cast<std::uint16_t>(1000 * i);
        points.insert(points.end(),
                      {static_cast<std::uint8_t>(raw >> 8), static_cast<std::uint8_t>(raw & 0xFF),
                       static_cast<std::uint8_t>(micrometres >> 8),
                       static_cast<std::uint8_t>(micrometres & 0xFF)});
    }
    memory.put(memory.eeprom, mm::kCalibrationPoints, points);
    std::uint16_t under = 0;
    std::uint16_t over = 0;
    EXPECT_TRUE(CalibrationTable::mvToRaw(100.0F, under) &&
                CalibrationTable::mvToRaw(200.0F, over));
    memory.put(memory.eeprom, mm::kUnderTolerance,
               {static_cast<std::uint8_t>(under >> 8), static_cast<std::uint8_t>(under)});
    memory.put(memory.eeprom, mm::kOverTolerance,
               {static_cast<std::uint8_t>(over >> 8), static_cast<std::uint8_t>(over)});
}

bool toleranceCellWasRead(const qvx::test::ScriptedPeer& peer) {
    for (const auto& request : peer.requests()) {
        if (request.code == 1 &&
            (request.address == mm::kUnderTolerance || request.address == mm::kOverTolerance)) {
            return true;
        }
    }
    return false;
}

/// An open gateway whose data port leads straight to a controller holding `count` points.
struct DirectStart {
    explicit DirectStart(std::uint8_t count) {
        storeTable(data.memory, count);
        pointAt(link, gateway.port(), data.peer.port());
    }
    qvx::connection::ConnectionResult run() { return runConnectionProcedure(link, "", ui); }

    TextPeer gateway{qvx::test::openGateway()};
    qvx::test::MemoryController data;
    DeviceLink link;
    RecordingUi ui;
};

}  // namespace

TEST(ConnectionProcedure, AWrongPassphraseIsReportedAndNoDataConnectionFollows) {
    TextPeer gateway(qvx::test::loginGateway("geheim"));
    qvx::test::MemoryController data;
    DeviceLink link;
    pointAt(link, gateway.port(), data.peer.port());
    RecordingUi ui;
    EXPECT_FALSE(runConnectionProcedure(link, "falsch", ui).online);
    EXPECT_EQ(ui.messages, (Shown{{texts::kLoginFailed, texts::kConnectionInterrupted}}));
    EXPECT_FALSE(data.peer.waitForClient(0ms));
}

TEST(ConnectionProcedure, ARefusedDataPortIsReportedAsAnUnreachableGateway) {
    TextPeer gateway(qvx::test::openGateway());
    DeviceLink link;
    pointAt(link, gateway.port(), qvx::test::unusedLoopbackPort());
    RecordingUi ui;
    EXPECT_FALSE(runConnectionProcedure(link, "", ui).online);
    EXPECT_EQ(ui.messages, (Shown{{texts::kGatewayUnreachable, texts::kError}}));
}

TEST(ConnectionProcedure, ABusyModemIsReportedAndTheTableIsNotRead) {
    TextPeer gateway(qvx::test::openGateway());
    ModemLine line(qvx::test::hayesModem("BUSY"));
    storeTable(line.memory, 3);
    DeviceLink link;
    pointAt(link, gateway.port(), line.port());
    useModem(link);
    RecordingUi ui;
    EXPECT_FALSE(runConnectionProcedure(link, "", ui).online);
    EXPECT_EQ(ui.messages, (Shown{{texts::kModemFailed, texts::kConnectionInterrupted}}));
    EXPECT_EQ(ui.notices, std::vector<std::string>{"Wähle0815 ..."});
    EXPECT_FALSE(ui.noticeVisible);
    EXPECT_EQ(line.commands(), "AT&FX0E0\r\nATDT0815\r\n");
    EXPECT_EQ(link.calibration().getCount(), 0U);
}

TEST(ConnectionProcedure, AModemBehindASlowDataConnectionIsDialledOnceTheConnectionStands) {
    // The login gives the data connection 20 pumped steps. The modem's port takes nobody in
    // until those are over; the first step after them lets the connection in and waits until
    // it stands: it comes up after the login has returned, within the procedure's own wait.
    constexpr int kLoginDataSteps = 20;
    TextPeer gateway(qvx::test::openGateway());
    ModemLine line(qvx::test::hayesModem("CONNECT 9600"), ModemLine::Door::Closed);
    storeTable(line.memory, 3);
    DeviceLink link;
    pointAt(link, gateway.port(), line.port());
    useModem(link);
    RecordingUi ui;
    int stepsWithoutData = 0;
    ui.onPump = [&] {
        if (link.port() != line.port() || link.isConnected()) {
            return;
        }
        if (++stepsWithoutData == kLoginDataSteps + 1) {
            line.openDoor();
            EXPECT_TRUE(qvx::test::waitUntil([&] { return link.isConnected(); }, 15s));
            // Keeps a run that reads through an undialled modem short.
            link.setReplyWait(300);
            link.setMaxRetry(1);
        }
    };
    const auto result = runConnectionProcedure(link, "", ui);
    EXPECT_GT(stepsWithoutData, kLoginDataSteps);  // the connection came after the login
    EXPECT_TRUE(result.online);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(line.commands(), "AT&FX0E0\r\nATDT0815\r\n");
    EXPECT_EQ(link.calibration().getCount(), 3U);  // read through the call
}

class CalibratedDisplay : public testing::TestWithParam<std::pair<std::uint8_t, CalibrationMode>> {
};

TEST_P(CalibratedDisplay, NeedsTwoSupportPoints) {
    const auto [count, mode] = GetParam();
    DirectStart start(count);
    start.link.calibration().setMode(CalibrationMode::Calibrated);
    const auto result = start.run();
    EXPECT_TRUE(result.online);
    EXPECT_TRUE(start.ui.messages.empty());
    EXPECT_TRUE(start.ui.questions.empty());  // up to 62 points leave the tolerances alone
    EXPECT_EQ(start.link.calibration().getCount(), count);
    EXPECT_EQ(start.link.calibration().getMode(), mode);
    EXPECT_TRUE(result.readTolerances);
}

INSTANTIATE_TEST_SUITE_P(StoredPoints, CalibratedDisplay,
                         testing::Values(std::pair{std::uint8_t{1}, CalibrationMode::Millivolt},
                                         std::pair{std::uint8_t{2}, CalibrationMode::Calibrated},
                                         std::pair{std::uint8_t{62}, CalibrationMode::Calibrated}));

TEST(ConnectionProcedure, SixtyThreeStoredPointsAnsweredNoLeaveTheTolerancesUnread) {
    DirectStart start(63);
    start.ui.answerYes = false;
    const auto result = start.run();
    EXPECT_TRUE(result.online);  // the connection goes on
    EXPECT_EQ(start.ui.questions, (Shown{{texts::kLastPointOverwritten, texts::kWarning}}));
    EXPECT_FALSE(result.readTolerances);
    EXPECT_FALSE(toleranceCellWasRead(start.data.peer));
    EXPECT_EQ(result.underTolerance, 0.0F);
}

TEST(ConnectionProcedure, SixtyThreeStoredPointsAnsweredYesReadTheTolerances) {
    DirectStart start(63);
    const auto result = start.run();
    EXPECT_TRUE(result.online);
    EXPECT_EQ(start.ui.questions.size(), 1U);
    EXPECT_TRUE(result.readTolerances);
    EXPECT_NEAR(result.underTolerance, 100.0F, 2.0F);
    EXPECT_NEAR(result.overTolerance, 200.0F, 2.0F);
    EXPECT_EQ(start.link.calibration().getCount(), 62U);
}
