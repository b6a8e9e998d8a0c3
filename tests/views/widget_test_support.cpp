#include "widget_test_support.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPixmap>
#include <QTest>

namespace qvx::widgets::test {

QImage grabImage(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

PaintCounter::PaintCounter(QWidget& widget) : QObject(&widget) {
    widget.installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint) {
        ++m_count;
    }
    return QObject::eventFilter(watched, event);
}

int paintsAfterEvents(PaintCounter& counter) {
    (void)QTest::qWaitFor([&counter] { return counter.count() > 0; }, 1000);
    QCoreApplication::processEvents();
    return counter.count();
}

bool showAndSettle(QWidget& widget) {
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget)) {
        return false;
    }
    QCoreApplication::processEvents();
    return true;
}

int countPixels(const QImage& image, const std::function<bool(const QColor&)>& match) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (match(image.pixelColor(x, y))) {
                ++count;
            }
        }
    }
    return count;
}

int topmostPixel(const QImage& image, const std::function<bool(const QColor&)>& match) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (match(image.pixelColor(x, y))) {
                return y;
            }
        }
    }
    return -1;
}

}  // namespace qvx::widgets::test
