#pragma once

#include <array>

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

/// "Betriebszustand": gripper value, supply voltage and output level over time, the
/// temperature and supply voltage on thermometers with their limit lamps, and in supervisor
/// mode the reset of the values stored in the controller.
class CViewZeitGraph : public CValidForm {
    Q_OBJECT

public:
    /// 0x00BBGGRR colours of the thermometer bars.
    static constexpr std::uint32_t kRed = 255;
    static constexpr std::uint32_t kGreen = 65280;
    static constexpr std::uint32_t kYellow = 65535;

    explicit CViewZeitGraph(document::CQvx_controllerDoc& document, QWidget* parent = nullptr);

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
};

}  // namespace qvx::views
