// The fixed pane's update, which runs on every polling result, repaints only the parts whose
// content changed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>

#include "document/document.h"
#include "views/view_fixpart.h"
#include "views/widgets/angular_gauge.h"
#include "widget_test_support.h"

namespace qvx::views {
namespace {

using widgets::test::PaintCounter;
using widgets::test::paintsAfterEvents;

TEST(FixedPaneRepaints, OnlyWhatAnUpdateChanged) {
    document::CQvx_controllerDoc doc;
    doc.pollOk = true;
    doc.gripperCurrent = true;
    doc.gripperMv = 2500.0F;
    doc.gripperDisplay = 2500.0F;
    CViewFixpart pane(doc, [](int) {});
    pane.OnInitialUpdate();
    pane.resize(1100, 260);
    ASSERT_TRUE(widgets::test::showAndSettle(pane));
    const auto update = [&pane] { pane.OnUpdate(nullptr, document::CQvx_controllerDoc::kHintNewData); };
    update();
    QCoreApplication::processEvents();
    auto* gauge = pane.findChild<widgets::AngularGauge*>(QStringLiteral("gauge"));
    auto* connection = pane.findChild<QLineEdit*>(QStringLiteral("connectionText"));
    ASSERT_NE(gauge, nullptr);
    ASSERT_NE(connection, nullptr);
    PaintCounter gaugePaints(*gauge);
    PaintCounter connectionPaints(*connection);

    update();  // the same values again
    EXPECT_EQ(paintsAfterEvents(gaugePaints), 0);
    EXPECT_EQ(paintsAfterEvents(connectionPaints), 0);

    doc.gripperDisplay = 3000.0F;
    doc.pollOk = false;
    update();
    EXPECT_EQ(paintsAfterEvents(gaugePaints), 1);
    EXPECT_EQ(paintsAfterEvents(connectionPaints), 1);
    EXPECT_EQ(connection->cursorPosition(), 0);  // a changed text shows from its start
    EXPECT_EQ(connection->text(), QStringLiteral("Offline."));
}

}  // namespace
}  // namespace qvx::views
