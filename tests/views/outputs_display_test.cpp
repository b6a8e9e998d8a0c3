// The gauge, the output lamps of the fixed pane and the output curves of both plots tell the
// user the same position of the gripper, with the simulated controller driving the outputs.

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <cmath>
#include <ostream>
#include <string>

#include "tests/views/view_test_support.h"
#include "views/view_aufnahme.h"
#include "views/view_fixpart.h"
#include "views/view_zeit_graph.h"
#include "views/widgets/angular_gauge.h"
#include "views/widgets/gripper_plot_setup.h"
#include "views/widgets/rectangular_led.h"
#include "views/widgets/round_led.h"
#include "views/widgets/time_plot.h"

namespace qvx::views {
namespace {

using namespace test;

struct Position {
    double mv;             ///< where the gripper is held (factory points 1100 ... 3600 mV)
    const char* column;    ///< the fixed pane's position label above the lit lamp
    const char* legend;    ///< the plots' legend entry of the plotted level
    const char* gaugeEnd;  ///< the gauge's end label the pointer is nearer to, or none
};

void PrintTo(const Position& position, std::ostream* out) {
    *out << position.mv << " mV (" << position.column << ")";
}

class OutputDisplays : public testing::TestWithParam<Position> {};

/// The legend text of the level `y` on the plot's output axis.
QString legendAt(const widgets::TimePlot& plot, double y) {
    for (const widgets::TickLabel& tick : plot.yAxis(widgets::kOutputAxis).tickLabels()) {
        if (tick.value == y) {
            return tick.text;
        }
    }
    return QStringLiteral("no legend entry at %1").arg(y);
}

/// The position label of the fixed pane's column that holds `lamp`.
QString columnOf(QWidget& pane, const QWidget& lamp) {
    auto* memory = pane.findChild<QGroupBox*>(QStringLiteral("workingMemory"));
    const int lampCentre = lamp.geometry().center().x();
    for (QLabel* label : memory->findChildren<QLabel*>()) {
        const QStringList positions{"Auf", "C", "B", "A", "Zu"};
        if (positions.contains(label->text()) &&
            std::abs(label->geometry().center().x() - lampCentre) < lamp.width()) {
            return label->text();
        }
    }
    return QStringLiteral("no column");
}

TEST_P(OutputDisplays, AgreeOnThePositionOfTheGripper) {
    const Position& at = GetParam();
    SimulatedController sim;
    sim.holdGripper(at.mv);
    document::CQvx_controllerDoc& doc = sim.document;
    CViewFixpart pane(doc, [](int) {});
    pane.OnInitialUpdate();
    pane.resize(1100, 260);
    pane.show();
    CViewZeitGraph live(doc);
    live.OnInitialUpdate();
    doc.startPolling();
    ASSERT_TRUE(qvx::test::waitUntil([&doc] { return doc.pollOk.load(); }, 5s));
    pane.OnUpdate(nullptr, document::CQvx_controllerDoc::kHintNewData);
    live.OnUpdate(nullptr, document::CQvx_controllerDoc::kHintNewData);

    int lit = 0;
    for (int k = 1; k <= 5; ++k) {
        auto* lamp = pane.findChild<widgets::RoundLed*>(QStringLiteral("output%1").arg(k));
        if (lamp->isActive()) {
            ++lit;
            EXPECT_EQ(columnOf(pane, *lamp), QString::fromUtf8(at.column)) << "output " << k;
        }
    }
    EXPECT_EQ(lit, 1);

    const auto* gauge = pane.findChild<widgets::AngularGauge*>(QStringLiteral("gauge"));
    if (at.gaugeEnd != nullptr) {
        const bool nearMax = gauge->pointerFraction() > 0.5;
        EXPECT_EQ(nearMax ? gauge->maxLabel() : gauge->minLabel(), QString::fromUtf8(at.gaugeEnd));
    }

    const auto* livePlot = live.findChild<widgets::TimePlot*>(QStringLiteral("plot"));
    const widgets::TimePlotChannel& liveOutputs = livePlot->channel(widgets::kOutputChannel);
    ASSERT_EQ(liveOutputs.count(), 1);
    EXPECT_EQ(legendAt(*livePlot, liveOutputs.point(0).y()), QString::fromUtf8(at.legend));

    CViewAufnahme recording(doc);
    recording.setTiming({.pollStep = 5ms});
    recording.OnInitialUpdate();
    recording.show();
    QTest::mouseClick(
        recording.findChild<widgets::RectangularLed*>(QStringLiteral("startRecording")),
        Qt::LeftButton);
    doc.stopPolling();
    const auto* recordingPlot = recording.findChild<widgets::TimePlot*>(QStringLiteral("plot"));
    const widgets::TimePlotChannel& recorded = recordingPlot->channel(widgets::kOutputChannel);
    ASSERT_EQ(recorded.count(), static_cast<int>(CViewAufnahme::kSamples));
    for (const int i : {0, 320, 639}) {
        EXPECT_EQ(legendAt(*recordingPlot, recorded.point(i).y()), QString::fromUtf8(at.legend))
            << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(HeldGripper, OutputDisplays,
                         testing::Values(Position{3800.0, "Zu", "1 = Zu", "Zu"},
                                         Position{1300.0, "Auf", "5 = Offen", "Auf"},
                                         Position{1900.0, "C", "4 = C", nullptr},
                                         Position{2700.0, "B", "3 = B", nullptr},
                                         Position{3300.0, "A", "2 = A", nullptr}),
                         [](const auto& row) {
                             return std::string("At") +
                                    std::to_string(static_cast<int>(row.param.mv)) + "mV";
                         });

}  // namespace
}  // namespace qvx::views
