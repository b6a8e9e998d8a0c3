#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QRawFont>

#include "resources/qvx_resources.h"
#include "widget_test_support.h"

using namespace qvx::widgets::test;

namespace {

// Without a usable font Qt draws empty boxes silently; the German texts need umlauts.
TEST(Fonts, TheUiFontDrawsGermanUmlauts) {
    const QFont font = QApplication::font();
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_TRUE(raw.isValid()) << font.family().toStdString();
    for (const char32_t ch : {U'Ü', U'ä', U'ö', U'ü', U'ß', U'°'}) {
        EXPECT_TRUE(raw.supportsCharacter(ch)) << static_cast<unsigned>(ch);
    }
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Ü"));
    painter.end();
    EXPECT_GT(countPixels(image, [](const QColor& c) { return c.lightness() < 128; }), 10);
}

TEST(Resources, ProgramIconHasEverySizeFrom16To256) {
    const QIcon icon = qvx::resources::applicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_GT(image.pixelColor(size / 2, size / 4).alpha(), 200) << size;  // opaque body
    }
}

TEST(Resources, MakerLogoIsSharpAtTheScreenDensity) {
    const QPixmap logo = qvx::resources::makerLogo(QSize(240, 60), 2.0);
    EXPECT_EQ(logo.size(), QSize(480, 120));
    EXPECT_DOUBLE_EQ(logo.devicePixelRatio(), 2.0);
    const QImage image = logo.toImage();
    const int opaque = countPixels(image, [](const QColor& c) { return c.alpha() > 200; });
    EXPECT_GT(opaque, 480 * 120 / 10);             // the logo is there
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);  // and transparent around it
    EXPECT_TRUE(qvx::resources::makerLogo(QSize(), 1.0).isNull());
}

}  // namespace
