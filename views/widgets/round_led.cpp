#include "views/widgets/round_led.h"

#include <QPainter>

#include "resources/ui_text.h"
#include "views/widgets/led_look.h"

namespace qvx::widgets {

namespace {

const QColor kGreenLit(0x2e, 0xd6, 0x32);
const QColor kUnlit(0x27, 0x33, 0x29);
const QColor kRedLit(0xe8, 0x26, 0x22);
// The "no limit exceeded" green is meant to be seen, so it is lit too, a little calmer.
const QColor kGreenCalm(0x2a, 0xb8, 0x2e);

}  // namespace

RoundLed::RoundLed(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("roundLed"));
    setAccessibleName(uiText(QT_TRANSLATE_NOOP("qvx", "Leuchtmelder")));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setColors(LedColors::GreenOff);
}

void RoundLed::setActive(bool active) {
    if (active == m_active) {
        return;
    }
    m_active = active;
    changed();
}

void RoundLed::setColors(LedColors colors) {
    switch (colors) {
        case LedColors::GreenOff:
            m_activeColor = kGreenLit;
            m_inactiveColor = kUnlit;
            break;
        case LedColors::RedGreen:
            m_activeColor = kRedLit;
            m_inactiveColor = kGreenCalm;
            break;
    }
    changed();
}

void RoundLed::setActiveColor(const QColor& color) {
    m_activeColor = color;
    changed();
}

void RoundLed::setInactiveColor(const QColor& color) {
    m_inactiveColor = color;
    changed();
}

void RoundLed::changed() {
    setAccessibleDescription(m_active ? QStringLiteral("an") : QStringLiteral("aus"));
    update();
}

QSize RoundLed::sizeHint() const {
    return {22, 22};
}

QSize RoundLed::minimumSizeHint() const {
    return {10, 10};
}

void RoundLed::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // A disabled lamp shows no state: its value is not known.
    const QColor color = isEnabled() ? currentColor() : QColor(150, 150, 150);
    detail::paintRoundLamp(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), color);
}

}  // namespace qvx::widgets
