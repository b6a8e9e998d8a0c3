#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QWidget>
#include <functional>

namespace qvx::widgets::test {

/// What the widget draws now, as an image.
QImage grabImage(QWidget& widget);

/// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget);
    [[nodiscard]] int count() const { return m_count; }
    void reset() { m_count = 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_count = 0;
};

/// Waits (up to one second) until `counter` has seen a paint, then lets any further queued
/// paints through; returns the number of paints seen.
int paintsAfterEvents(PaintCounter& counter);

/// Shows `widget` and waits until it has been exposed and painted.
[[nodiscard]] bool showAndSettle(QWidget& widget);

/// Number of pixels for which `match` holds.
int countPixels(const QImage& image, const std::function<bool(const QColor&)>& match);

/// Smallest y of a pixel for which `match` holds, or -1.
int topmostPixel(const QImage& image, const std::function<bool(const QColor&)>& match);

}  // namespace qvx::widgets::test
