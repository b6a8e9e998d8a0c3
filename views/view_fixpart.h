#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "document/document.h"

class QGraphicsOpacityEffect;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace qvx::widgets {
class AngularGauge;
class RectangularLed;
class RoundLed;
}  // namespace qvx::widgets

namespace qvx::views {

/// The always visible upper pane: connection state, the live gripper value as a gauge and as
/// numbers, the switch points of the working memory with the five outputs, the operating
/// mode, the navigation between the lower views and the unit toggle. Its 125 ms timer turns
/// the polling thread's results into updates of the whole window.
class CViewFixpart : public QWidget, public document::DocumentView {
    Q_OBJECT

public:
    using SwitchView = std::function<void(int)>;
    using LowerView = std::function<document::DocumentView*()>;

    static constexpr int kTimerMs = 125;
    /// Every this many new results the lower view is updated too.
    static constexpr int kLowerViewCadence = 8;
    /// Every this many updates the operating mode is asked for; the polling thread reads it
    /// from the controller after its cycle.
    static constexpr int kModeReadCadence = 40;

    CViewFixpart(document::CQvx_controllerDoc& document, SwitchView switchView, LowerView lowerView = {},
                 QWidget* parent = nullptr);
    ~CViewFixpart() override;

    /// Starts the timer; updates before this are ignored.
    void OnInitialUpdate();
    void OnUpdate(document::DocumentView* sender, int hint) override;
    /// One timer tick: turns new data into updates.
    void onTimer();

private:
    void navigate(int selection);
    void toggleUnit();
    void updatePressedLooks();
    void updateUnitCaptions();
    void updateGaugeScale();
    /// Shows the operating mode of a new answer from the polling thread; clears it when that
    /// read failed.
    void showMode();
    /// Greys the values that did not come from the last polling cycle.
    void showCurrency();

    document::CQvx_controllerDoc& m_document;
    SwitchView m_switchView;
    LowerView m_lowerView;
    QTimer* m_timer;
    std::array<QPushButton*, 5> m_navigation{};  // by selection: Aufnahme, Betriebszustand, ...
    QPushButton* m_unitToggle;
    widgets::RectangularLed* m_connectionLamp;
    QLineEdit* m_connectionText;
    widgets::AngularGauge* m_gauge;
    QGraphicsOpacityEffect* m_gaugeFade;  // fades the gauge while its value is stale
    std::array<widgets::RoundLed*, 5> m_outputs{};
    std::array<QLineEdit*, 5> m_switchPoints{};
    QLineEdit* m_valueMv;
    QLineEdit* m_valueLength;
    QLabel* m_valuesCaption;
    QLabel* m_mode;
    bool m_initialised = false;
    int m_shownSelection = 1;
    int m_requestedSelection = 1;
    int m_newDataTicks = 0;
    int m_updates = 0;
    std::uint64_t m_statusAnswers = 0;  // the document's status byte answers shown so far
};

}  // namespace qvx::views
