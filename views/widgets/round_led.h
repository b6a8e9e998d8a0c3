#pragma once

#include <QColor>
#include <QWidget>

namespace qvx::widgets {

/// Colour pairs of a round LED: the lit colour first, the unlit second.
enum class LedColors {
    GreenOff,  ///< green when active, dark when not (switching outputs)
    RedGreen,  ///< red when active, green when not (limit lamps: red means "limit exceeded")
};

/// A round signal lamp in a bezel; grey while disabled.
class RoundLed : public QWidget {
    Q_OBJECT

public:
    explicit RoundLed(QWidget* parent = nullptr);

    /// Switches the lamp to its active or its inactive colour.
    void setActive(bool active);
    [[nodiscard]] bool isActive() const { return m_active; }
    /// Chooses one of the colour pairs the views use (default GreenOff).
    void setColors(LedColors colors);
    /// Colour of the active lamp.
    void setActiveColor(const QColor& color);
    [[nodiscard]] QColor activeColor() const { return m_activeColor; }
    /// Colour of the inactive lamp.
    void setInactiveColor(const QColor& color);
    [[nodiscard]] QColor inactiveColor() const { return m_inactiveColor; }
    /// The colour drawn now.
    [[nodiscard]] QColor currentColor() const { return m_active ? m_activeColor : m_inactiveColor; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();

    bool m_active = false;
    QColor m_activeColor;
    QColor m_inactiveColor;
};

}  // namespace qvx::widgets
