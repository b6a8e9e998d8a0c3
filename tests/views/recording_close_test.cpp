// Closing the main window while a recording is transferred: the request is not lost.

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "app/main_frame.h"
#include "tests/views/view_test_support.h"
#include "views/ui_state.h"
#include "views/view_aufnahme.h"
#include "views/widgets/rectangular_led.h"

namespace qvx::views {
namespace {

using namespace test;

constexpr std::uint32_t kGripperBase = 356;

TEST(RecordingClose, AClosePendingDuringATransferCancelsItAndClosesTheWindowAfterwards) {
    SimulatedController sim;
    sim.setFaultPlan({.replyDelay = 20ms});  // about 5 s for a whole transfer
    app::CMainFrame frame(sim.document);
    frame.SwitchView(app::CMainFrame::kRecording);
    frame.show();
    auto* reread =
        frame.lowerView()->findChild<widgets::RectangularLed*>(QStringLiteral("rereadRecording"));
    ASSERT_NE(reread, nullptr);

    bool closedMeanwhile = true;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (sim.requestsAt(kReadEeprom, kGripperBase + 2 * 40) == 0) {
            return;
        }
        closer.stop();
        closedMeanwhile = frame.close();
    });
    closer.start(2);
    QTest::mouseClick(reread, Qt::LeftButton);

    EXPECT_FALSE(closedMeanwhile);  // not while the transfer held the link
    EXPECT_LT(sim.document.recordingSamples, CViewAufnahme::kSamples);  // cut short
    EXPECT_EQ(sim.requestsAt(kReadEeprom, kGripperBase + 2 * 620), 0);  // the last chunk
    EXPECT_TRUE(frame.isVisible());
    settle();
    EXPECT_FALSE(frame.isVisible());  // the close came once the transfer had ended
    EXPECT_TRUE(uiEnabled());
}

}  // namespace
}  // namespace qvx::views
