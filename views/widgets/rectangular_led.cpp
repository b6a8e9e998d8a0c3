#include "views/widgets/rectangular_led.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "views/widgets/led_look.h"

namespace qvx::widgets {

namespace {

const QColor kBevelLight(0xfa, 0xfa, 0xfa);
const QColor kBevelShade(0x6e, 0x71, 0x76);
const QColor kBevelDark(0x3a, 0x3c, 0x40);
constexpr double kBevel = 2.0;  // edge width, logical pixels
constexpr double kMinCaptionPixels = 8.0;

// Draws the two-tone edge: light on top and left for a raised lamp, on bottom and right for a
// lowered one, so the lamp looks pushed in.
void paintBevel(QPainter& painter, const QRectF& rect, BevelStyle style) {
    if (style == BevelStyle::None) {
        return;
    }
    const bool raised = style == BevelStyle::Raised;
    const QColor topLeft = raised ? kBevelLight : kBevelDark;
    const QColor bottomRight = raised ? kBevelDark : kBevelLight;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    const QRectF r = rect;
    QPolygonF upper;
    upper << r.bottomLeft() << r.topLeft() << r.topRight()
          << QPointF(r.right() - kBevel, r.top() + kBevel)
          << QPointF(r.left() + kBevel, r.top() + kBevel)
          << QPointF(r.left() + kBevel, r.bottom() - kBevel);
    QPolygonF lower;
    lower << r.bottomLeft() << r.bottomRight() << r.topRight()
          << QPointF(r.right() - kBevel, r.top() + kBevel)
          << QPointF(r.right() - kBevel, r.bottom() - kBevel)
          << QPointF(r.left() + kBevel, r.bottom() - kBevel);
    painter.setBrush(topLeft);
    painter.drawPolygon(upper);
    painter.setBrush(bottomRight);
    painter.drawPolygon(lower);
    painter.setPen(QPen(kBevelShade, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.restore();
}

}  // namespace

RectangularLed::RectangularLed(QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("rectangularLed"));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_shown = m_pending;
}

void RectangularLed::setActive(bool active) {
    if (active == m_pending.active) {
        return;
    }
    m_pending.active = active;
    changed();
}

void RectangularLed::setBevelStyle(BevelStyle style) {
    if (style == m_pending.bevel) {
        return;
    }
    m_pending.bevel = style;
    changed();
}

void RectangularLed::setCaption(const QString& caption) {
    if (caption == m_pending.caption) {
        return;
    }
    m_pending.caption = caption;
    changed();
}

void RectangularLed::setActiveColor(const QColor& color) {
    m_pending.activeColor = color;
    changed();
}

void RectangularLed::setInactiveColor(const QColor& color) {
    m_pending.inactiveColor = color;
    changed();
}

void RectangularLed::beginUpdate() {
    ++m_updateDepth;
}

void RectangularLed::endUpdate() {
    if (m_updateDepth == 0) {
        return;
    }
    if (--m_updateDepth == 0) {
        changed();
    }
}

void RectangularLed::changed() {
    // The fixed pane sets its lamps with every update: most of them change nothing.
    if (m_updateDepth > 0 || m_shown == m_pending) {
        return;
    }
    const bool captionChanged = m_shown.caption != m_pending.caption;
    m_shown = m_pending;
    if (captionChanged) {
        // The button text serves assistive technology; a literal '&' is not a mnemonic here.
        QString text = m_shown.caption;
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        setText(text);
        updateGeometry();
    }
    setAccessibleDescription(m_shown.active ? QStringLiteral("an") : QStringLiteral("aus"));
    update();
}

QSize RectangularLed::sizeHint() const {
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(m_pending.caption);
    return {std::max(60, textWidth + 24), std::max(24, metrics.height() + 14)};
}

QSize RectangularLed::minimumSizeHint() const {
    return {24, 16};
}

void RectangularLed::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF outer = QRectF(rect());
    const BevelStyle bevel = isDown() ? BevelStyle::Lowered : m_shown.bevel;
    paintBevel(painter, outer, bevel);

    const double inset = bevel == BevelStyle::None ? 0.0 : kBevel + 1.0;
    // A lowered lamp sits one pixel further down and right, like a pressed key.
    const double shift = bevel == BevelStyle::Lowered ? 1.0 : 0.0;
    const QRectF lens =
        outer.adjusted(inset + shift, inset + shift, -inset + shift, -inset + shift);
    if (lens.width() < 2.0 || lens.height() < 2.0) {
        return;
    }
    const QColor color = m_shown.active ? m_shown.activeColor : m_shown.inactiveColor;
    detail::paintRectangularLens(painter, lens, color, 2.0);

    const QRectF textArea = lens.adjusted(4.0, 1.0, -4.0, -1.0);
    if (!m_shown.caption.isEmpty() && textArea.width() > 4.0) {
        QFont captionFont = font();
        captionFont.setBold(true);
        double pixels = std::max(kMinCaptionPixels, QFontInfo(captionFont).pixelSize() * 1.0);
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        // Shrink the text until it fits, wrapping long captions onto a second line.
        for (; pixels > kMinCaptionPixels; pixels -= 0.5) {
            captionFont.setPixelSize(static_cast<int>(std::lround(pixels)));
            const QRectF needed =
                QFontMetricsF(captionFont).boundingRect(textArea, flags, m_shown.caption);
            if (needed.width() <= textArea.width() && needed.height() <= textArea.height()) {
                break;
            }
        }
        captionFont.setPixelSize(static_cast<int>(std::lround(pixels)));
        painter.setFont(captionFont);
        painter.setPen(detail::captionColorOn(color));
        painter.drawText(textArea, flags, m_shown.caption);
    }

    if (hasFocus()) {
        QPen focusPen(detail::captionColorOn(color), 1.0, Qt::DotLine);
        painter.setPen(focusPen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(lens.adjusted(2.5, 2.5, -2.5, -2.5));
    }
}

}  // namespace qvx::widgets
