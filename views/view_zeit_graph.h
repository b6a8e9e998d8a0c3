#pragma once

#include <QList>
#include <array>
#include <chrono>
#include <functional>
#include <optional>

#include "views/gripper_plot_values.h"
#include "views/valid_form.h"

class QLineEdit;
class QPushButton;

namespace qvx::widgets {
class RectangularLed;
class RoundLed;
class Thermometer;
class TimePlot;
}  // namespace qvx::widgets

namespace qvx::views {

class PlotPanel;

/// "Betriebszustand": gripper value, supply voltage and output level over time, the
/// temperature and supply voltage on thermometers with their limit lamps, and in supervisor
/// mode the reset of the values stored in the controller.
///
/// The plot's points are the document's live history, so that they survive a switch to
/// another view; the plot can be paused, zoomed and measured with two cursors, and shows the
/// switch points (in range mode with their bands) as reference lines.
class CViewZeitGraph : public CValidForm {
    Q_OBJECT

public:
    /// 0x00BBGGRR colours of the thermometer bars.
    static constexpr std::uint32_t kRed = 255;
    static constexpr std::uint32_t kGreen = 65280;
    static constexpr std::uint32_t kYellow = 65535;

    /// Visible time, s: the plot scrolls once its points span more.
    static constexpr double kVisibleSeconds = 100.0;

    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit CViewZeitGraph(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);

    /// Replaces the clock the samples are timed with (tests step their own).
    void setClock(Clock clock) { m_clock = std::move(clock); }
    [[nodiscard]] PlotPanel& plotPanel() { return *m_panel; }

    void OnInitialUpdate() override;
    void OnUpdate(document::DocumentView* sender, int hint) override;

    /// Bar colour for a temperature: red above 70 °C, yellow below -20 °C, else green.
    [[nodiscard]] static std::uint32_t temperatureColor(float celsius);
    /// Bar colour for a supply voltage: red above 35 V, yellow below 12 V, else green.
    [[nodiscard]] static std::uint32_t voltageColor(float volts);

private:
    void toggleChannel(int channel);
    void applyVisibility();
    /// Title and range of the gripper axis in the display unit.
    void applyAxis();
    void resetStoredValues();
    /// Plots the document's live history again, in the unit shown now.
    void refillPlot();
    void appendToPlot(const document::LiveSample& sample);

    PlotPanel* m_panel;
    widgets::TimePlot* m_plot;
    std::array<widgets::RectangularLed*, 3> m_toggles{};  // by channel
    widgets::Thermometer* m_temperature;
    widgets::Thermometer* m_voltage;
    widgets::RoundLed* m_temperatureOver;
    widgets::RoundLed* m_temperatureUnder;
    widgets::RoundLed* m_voltageOver;
    widgets::RoundLed* m_voltageUnder;
    QLineEdit* m_temperatureText;
    QLineEdit* m_voltageText;
    QPushButton* m_reset;
    bool m_initialised = false;
    Clock m_clock;
    /// Unit the plot was last filled in (mode and inch preference).
    std::optional<std::pair<link::CalibrationMode, int>> m_plottedUnit;
};

}  // namespace qvx::views
