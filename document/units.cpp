#include "document/units.h"

#include <cstdio>

#include "platform/user_text.h"

namespace qvx::document {

namespace {
constexpr float kMillimetresPerTenthInch = 2.54F;
}

DisplayUnit effectiveUnit(link::CalibrationMode mode, int inchUnit) {
    if (mode == link::CalibrationMode::Millivolt) {
        return DisplayUnit::Millivolt;
    }
    return inchUnit == 1 ? DisplayUnit::TenthInch : DisplayUnit::Millimetre;
}

float lengthForDisplay(float millimetres, int inchUnit) {
    return inchUnit == 1 ? millimetres / kMillimetresPerTenthInch : millimetres;
}

float lengthFromDisplay(float value, int inchUnit) {
    return inchUnit == 1 ? value * kMillimetresPerTenthInch : value;
}

std::string formatValue(const char* format, double value) {
    // snprintf follows LC_NUMERIC; the program never changes it from "C" (Qt leaves it alone),
    // so the decimal point is a point for every user.
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string formatGripper(float value, DisplayUnit unit) {
    switch (unit) {
        case DisplayUnit::Millivolt: return formatValue("%8.2f mV", value);
        case DisplayUnit::Millimetre: return formatValue("%8.2f mm", value);
        case DisplayUnit::TenthInch: return formatValue("%8.2f * 1/10 ''", value);
    }
    return {};
}

std::string formatPlain(float value) { return formatValue("%8.2f", value); }

std::string formatVolts(float volts) { return formatValue("%8.1f V", volts); }

std::string formatCelsius(float celsius) { return formatValue("%8.1f °C", celsius); }

std::string toggleCaption(link::CalibrationMode mode, int inchUnit) {
    if (mode == link::CalibrationMode::Millivolt) {
        return inchUnit == 1 ? "-> 1/10 ''" : "-> mm";
    }
    return "-> mV";
}

std::string valuesCaption(link::CalibrationMode mode, int inchUnit) {
    switch (effectiveUnit(mode, inchUnit)) {
        case DisplayUnit::Millivolt:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Werte in mV"));
        case DisplayUnit::Millimetre:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Werte in mm"));
        case DisplayUnit::TenthInch:
            return platform::userText(QT_TRANSLATE_NOOP("qvx", "Werte in 1/10 ''"));
    }
    return {};
}

DisplayRange gaugeRange(const link::CalibrationTable& table, int inchUnit) {
    if (table.getMode() == link::CalibrationMode::Millivolt) {
        return {1000.0F, 4000.0F};
    }
    return {0.0F, lengthForDisplay(table.maxMm(), inchUnit)};
}

DisplayRange plotAxis(const link::CalibrationTable& table, int inchUnit) {
    if (table.getMode() == link::CalibrationMode::Millivolt) {
        return {1000.0F, 3000.0F};
    }
    return {0.0F, 1.1F * lengthForDisplay(table.maxMm(), inchUnit)};
}

bool toggleUnit(link::CalibrationTable& table) {
    if (table.getMode() == link::CalibrationMode::Millivolt) {
        if (table.getCount() < 2) {
            return false;
        }
        table.setMode(link::CalibrationMode::Calibrated);
        return true;
    }
    table.setMode(link::CalibrationMode::Millivolt);
    return true;
}

}  // namespace qvx::document
