#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>

namespace qvx::widgets {

/// The 3D edge of a rectangular LED. Toggles show their "on" state as Lowered.
enum class BevelStyle { None = 0, Raised = 1, Lowered = 2 };

/// A rectangular lamp with a caption inside, usable as a button: a click (mouse release over
/// it, or Space while it has the focus) emits clicked(). Changes made between beginUpdate()
/// and endUpdate() appear together: until the outermost endUpdate() the lamp keeps showing
/// what it showed before beginUpdate().
class RectangularLed : public QAbstractButton {
    Q_OBJECT

public:
    explicit RectangularLed(QWidget* parent = nullptr);

    /// Lights the lamp (true) or darkens it (false).
    void setActive(bool active);
    [[nodiscard]] bool isActive() const { return m_pending.active; }
    /// Raised or lowered edge; while the mouse holds it down the lamp is drawn lowered.
    void setBevelStyle(BevelStyle style);
    [[nodiscard]] BevelStyle bevelStyle() const { return m_pending.bevel; }
    /// Text centred inside the lamp; it wraps onto two lines and shrinks if it must.
    void setCaption(const QString& caption);
    [[nodiscard]] QString caption() const { return m_pending.caption; }
    /// Colour of the lit lamp (default green).
    void setActiveColor(const QColor& color);
    [[nodiscard]] QColor activeColor() const { return m_pending.activeColor; }
    /// Colour of the dark lamp (default dark green).
    void setInactiveColor(const QColor& color);
    [[nodiscard]] QColor inactiveColor() const { return m_pending.inactiveColor; }

    /// Holds the visible look until the matching endUpdate(); calls nest.
    void beginUpdate();
    /// Ends one beginUpdate(); the outermost call shows all changes in one repaint.
    void endUpdate();
    /// True between beginUpdate() and the matching endUpdate().
    [[nodiscard]] bool isUpdating() const { return m_updateDepth > 0; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        bool active = false;
        BevelStyle bevel = BevelStyle::Raised;
        QString caption;
        QColor activeColor{0x36, 0xd8, 0x3a};
        QColor inactiveColor{0x1d, 0x40, 0x1f};
        friend bool operator==(const Look&, const Look&) = default;
    };

    void changed();

    Look m_pending;  // what the setters asked for
    Look m_shown;    // what paintEvent draws; equals m_pending outside an update bracket
    int m_updateDepth = 0;
};

}  // namespace qvx::widgets
