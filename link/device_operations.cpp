// The device operations of the link: the program's map of the controller's memory, with the
// conversions between stored encodings and the values the program works with.

#include <cmath>

#include "link/device_link.h"
#include "link/device_memory_map.h"

namespace qvx::link {

namespace mm = memory_map;

namespace {

std::uint16_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

void appendWord(std::vector<std::uint8_t>& bytes, std::uint16_t word) {
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFFU));
}

double supplyVolts(std::uint16_t word) {
    constexpr double kVoltsPerStep = 0.0007304601899196494;  // 1/1369 V
    const int high = word >> 8;
    const int low = word & 0xFF;
    return 12.0 + ((high - 61) * 256 + low) * kVoltsPerStep;
}

double temperatureCelsius(int byte) {
    constexpr double kDegreesPerStep = 0.4864864864864865;  // 18/37 °C
    return (byte - 10) * kDegreesPerStep - 20.0;
}

/// Holds the engine lock for one scope; `owned()` is false when it was not obtained.
class EngineScope {
public:
    explicit EngineScope(DeviceLink& link) : m_link(link), m_owned(link.lockEngine()) {}
    ~EngineScope() {
        if (m_owned) {
            m_link.unlockEngine();
        }
    }
    EngineScope(const EngineScope&) = delete;
    EngineScope& operator=(const EngineScope&) = delete;
    [[nodiscard]] bool owned() const { return m_owned; }

private:
    DeviceLink& m_link;
    bool m_owned;
};

}  // namespace

bool DeviceLink::lockedRead(Area area, std::uint32_t address, std::size_t count) {
    const EngineScope engine(*this);
    // The bytes are decoded from the area's result buffer, which holds exactly what this read
    // returned; the mailbox may hold only the last block, or a StatusInfo that came after it.
    return engine.owned() && segmentedRead(area, address, count) && bufferOf(area).size() == count;
}

bool DeviceLink::lockedWrite(Area area, std::uint32_t address, std::span<const std::uint8_t> bytes) {
    const EngineScope engine(*this);
    return engine.owned() && segmentedWrite(area, address, bytes);
}

bool DeviceLink::readStatusByte(int& value) {
    const EngineScope engine(*this);
    if (!engine.owned() || !lockedRead(Area::Ram, mm::kStatusByte, 1)) {
        return false;
    }
    value = m_ramBuffer[0];
    return true;
}

bool DeviceLink::writeStatusByte(int value) {
    const std::uint8_t byte = static_cast<std::uint8_t>(value & 0xFF);
    return lockedWrite(Area::Ram, mm::kStatusByte, std::span(&byte, 1));
}

bool DeviceLink::startRecording() {
    int status = 0;
    if (!readStatusByte(status)) {
        return false;
    }
    return writeStatusByte((status & ~mm::kStatusRecordingFinished) | mm::kStatusStartRecording);
}

bool DeviceLink::readRecordingFinished(bool& finished) {
    int status = 0;
    if (!readStatusByte(status)) {
        return false;
    }
    finished = (status & mm::kStatusRecordingFinished) != 0;
    return true;
}

namespace {

bool decodeFiveWords(const std::vector<std::uint8_t>& bytes, std::array<int, 5>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = wordAt(bytes, 2 * i);
    }
    return true;
}

}  // namespace

bool DeviceLink::readInputRecord(std::array<int, 5>& values) {
    const EngineScope engine(*this);
    return engine.owned() && lockedRead(Area::Eeprom, mm::kInputRecord, 10) &&
           decodeFiveWords(m_eepromBuffer, values);
}

bool DeviceLink::writeInputRecord(const std::array<int, 5>& values) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(10);
    for (const int value : values) {
        appendWord(bytes, static_cast<std::uint16_t>(value & 0xFFFF));
    }
    return lockedWrite(Area::Eeprom, mm::kInputRecord, bytes);
}

bool DeviceLink::readSwitchPoints(std::array<int, 5>& values) {
    const EngineScope engine(*this);
    return engine.owned() && lockedRead(Area::Eeprom, mm::kSwitchPoints, 10) &&
           decodeFiveWords(m_eepromBuffer, values);
}

bool DeviceLink::readLimitFlags(int& flags) {
    const EngineScope engine(*this);
    if (!engine.owned() || !lockedRead(Area::Eeprom, mm::kLimitFlags, 1)) {
        return false;
    }
    flags = m_eepromBuffer[0];
    return true;
}

bool DeviceLink::readServiceData(int& week, int& year, int& serialNumber) {
    const EngineScope engine(*this);
    if (!engine.owned() || !lockedRead(Area::Eeprom, mm::kServiceData, 3)) {
        return false;
    }
    week = m_eepromBuffer[0];
    year = m_eepromBuffer[1] + 2000;
    serialNumber = m_eepromBuffer[2];
    return true;
}

bool DeviceLink::readGripperValue(float& value, int variant) {
    std::uint16_t raw = 0;
    {
        const EngineScope engine(*this);
        if (!engine.owned() || !lockedRead(Area::Ram, mm::kGripperValue, 2)) {
            return false;
        }
        raw = wordAt(m_ramBuffer, 0);
    }
    float result = 0.0F;
    bool converted = false;
    switch (variant) {
        case 0: converted = m_calibration.RawToDisplay(raw, result); break;
        case 1:
            result = CalibrationTable::rawToMv(raw);
            converted = true;
            break;
        case 2: converted = m_calibration.mvToMm(CalibrationTable::rawToMv(raw), result); break;
        default: break;
    }
    if (converted) {
        value = result;
    }
    return converted;
}

bool DeviceLink::readSupplyVoltage(float& volts) {
    const EngineScope engine(*this);
    if (!engine.owned() || !lockedRead(Area::Ram, mm::kSupplyVoltage, 2)) {
        return false;
    }
    volts = static_cast<float>(supplyVolts(wordAt(m_ramBuffer, 0)));
    return true;
}

bool DeviceLink::readTemperature(float& celsius) {
    const EngineScope engine(*this);
    if (!engine.owned() || !lockedRead(Area::Ram, mm::kTemperature, 1)) {
        return false;
    }
    celsius = static_cast<float>(temperatureCelsius(m_ramBuffer[0]));
    return true;
}

bool DeviceLink::readOutputStatus(int& value) {
    const EngineScope engine(*this);
    if (!engine.owned() || !lockedRead(Area::Ram, mm::kOutputStatus, 1)) {
        return false;
    }
    value = m_ramBuffer[0];
    return true;
}

bool DeviceLink::readToleranceValues(float& under, float& over) {
    // Called at start-up while nothing else uses the link, hence no engine lock.
    under = 0.0F;
    over = 0.0F;
    bool ok = true;
    if (segmentedRead(Area::Eeprom, mm::kUnderTolerance, 2) && m_eepromBuffer.size() == 2) {
        ok = m_calibration.RawToDisplay(wordAt(m_eepromBuffer, 0), under) && ok;
    } else {
        ok = false;
    }
    if (segmentedRead(Area::Eeprom, mm::kOverTolerance, 2) && m_eepromBuffer.size() == 2) {
        ok = m_calibration.RawToDisplay(wordAt(m_eepromBuffer, 0), over) && ok;
    } else {
        ok = false;
    }
    return ok;
}

bool DeviceLink::writeTolerances(float under, float over) {
    std::uint16_t underRaw = 0;
    std::uint16_t overRaw = 0;
    if (!m_calibration.DisplayToRaw(under, underRaw) || !m_calibration.DisplayToRaw(over, overRaw)) {
        return false;
    }
    std::vector<std::uint8_t> cell;
    appendWord(cell, underRaw);
    if (!lockedWrite(Area::Eeprom, mm::kUnderTolerance, cell)) {
        return false;
    }
    cell.clear();
    appendWord(cell, overRaw);
    if (!lockedWrite(Area::Eeprom, mm::kOverTolerance, cell)) {
        return false;
    }

    const std::uint32_t n = m_calibration.getCount();
    const bool millivoltMode = m_calibration.getMode() == CalibrationMode::Millivolt;
    std::vector<std::uint8_t> chunk;
    chunk.reserve(mm::kTableChunk);

    // Each table is written in 16-byte chunks from its base, last point first.
    auto writeTable = [&](std::uint32_t base, std::uint32_t lastPoint,
                          auto&& wordOf) -> bool {
        std::uint32_t chunkIndex = 0;
        chunk.clear();
        for (std::uint32_t i = n; i >= lastPoint && i >= 1; --i) {
            std::uint16_t word = 0;
            if (!wordOf(i, word)) {
                return false;
            }
            appendWord(chunk, word);
            if (chunk.size() == mm::kTableChunk || i == lastPoint) {
                if (!lockedWrite(Area::Eeprom, base + static_cast<std::uint32_t>(mm::kTableChunk) * chunkIndex++, chunk)) {
                    return false;
                }
                chunk.clear();
            }
        }
        return true;
    };

    auto pointWord = [&](std::uint32_t i, std::uint16_t& word) {
        CalibrationPoint point;
        return m_calibration.getPoint(i, point) && CalibrationTable::mvToRaw(point.mv, word);
    };
    auto spanWord = [&](float tolerance) {
        return [&, tolerance](std::uint32_t i, std::uint16_t& word) {
            if (millivoltMode) {
                return CalibrationTable::mvToRaw(tolerance, word);
            }
            CalibrationPoint point;
            float shiftedMv = 0.0F;
            if (!m_calibration.getPoint(i, point) || !m_calibration.mmToMv(point.mm + tolerance, shiftedMv)) {
                return false;
            }
            return CalibrationTable::mvToRaw(std::fabs(shiftedMv - point.mv), word);
        };
    };
    return writeTable(mm::kPointTable, 1, pointWord) &&
           writeTable(mm::kUnderToleranceTable, 2, spanWord(under)) &&
           writeTable(mm::kOverToleranceTable, 2, spanWord(over));
}

bool DeviceLink::readCalibration() {
    // Runs at start-up; it goes on even when another caller holds the engine lock.
    const EngineScope engine(*this);
    if (!segmentedRead(Area::Eeprom, mm::kCalibrationHeader, 4) || m_eepromBuffer.size() != 4) {
        return false;
    }
    const CalibrationHeader header{m_eepromBuffer[0], m_eepromBuffer[1], m_eepromBuffer[2],
                                   m_eepromBuffer[3]};
    std::uint32_t count = 0;
    if (!m_calibration.pointsToLoad(header, count)) {
        return false;
    }
    std::vector<CalibrationPoint> points(count);
    if (count > 0) {
        if (!segmentedRead(Area::Eeprom, mm::kCalibrationPoints, 4 * count) ||
            m_eepromBuffer.size() != 4 * count) {
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            points[i].mv = CalibrationTable::rawToMv(wordAt(m_eepromBuffer, 4 * i));
            points[i].mm = CalibrationTable::lengthFromMicrometres(wordAt(m_eepromBuffer, 4 * i + 2));
        }
    }
    return m_calibration.applyLoaded(header, points);
}

bool DeviceLink::writeCalibration() {
    const CalibrationHeader header = m_calibration.header();
    // A header claiming no points would be loaded as one point of whatever the memory holds.
    if (header.count == 0 || !m_calibration.lengthsStorable()) {
        return false;
    }
    const std::vector<std::uint8_t> headerBytes{header.version, header.modeByte, header.count, header.index};
    if (!lockedWrite(Area::Eeprom, mm::kCalibrationHeader, headerBytes)) {
        return false;
    }
    bool ok = true;
    for (std::uint32_t p = 1; p <= header.count; ++p) {
        if (!m_calibration.isChanged(p)) {
            continue;
        }
        CalibrationPoint point;
        std::uint16_t raw = 0;
        std::uint16_t micrometres = 0;
        if (!m_calibration.getPoint(p, point) || !CalibrationTable::mvToRaw(point.mv, raw) ||
            !CalibrationTable::lengthToMicrometres(point.mm, micrometres)) {
            ok = false;
            continue;
        }
        std::vector<std::uint8_t> record;
        appendWord(record, raw);
        appendWord(record, micrometres);
        ok = lockedWrite(Area::Eeprom, mm::kCalibrationPoints + 4 * (p - 1), record) && ok;
    }
    return ok;
}

bool DeviceLink::readRecordingWords(std::uint32_t base, std::size_t first, std::size_t count,
                                    std::size_t outSize, std::vector<std::uint16_t>& words) {
    if (first + count > outSize) {
        return false;
    }
    const EngineScope engine(*this);
    if (!engine.owned() ||
        !lockedRead(Area::Eeprom, base + mm::kRecordingStride * static_cast<std::uint32_t>(first),
                    mm::kRecordingStride * count)) {
        return false;
    }
    words.resize(count);
    for (std::size_t j = 0; j < count; ++j) {
        words[j] = wordAt(m_eepromBuffer, 2 * j);
    }
    return true;
}

bool DeviceLink::readRecordingGripper(std::span<float> out, std::size_t first, std::size_t count) {
    std::vector<std::uint16_t> words;
    if (!readRecordingWords(mm::kRecordingGripper, first, count, out.size(), words)) {
        return false;
    }
    for (std::size_t j = 0; j < count; ++j) {
        if (!m_calibration.RawToDisplay(words[j], out[first + j])) {
            return false;
        }
    }
    return true;
}

bool DeviceLink::readRecordingGripperMv(std::span<float> out, std::size_t first,
                                        std::size_t count) {
    std::vector<std::uint16_t> words;
    if (!readRecordingWords(mm::kRecordingGripper, first, count, out.size(), words)) {
        return false;
    }
    for (std::size_t j = 0; j < count; ++j) {
        out[first + j] = CalibrationTable::rawToMv(words[j]);
    }
    return true;
}

bool DeviceLink::readRecordingSupply(std::span<float> out, std::size_t first, std::size_t count) {
    std::vector<std::uint16_t> words;
    if (!readRecordingWords(mm::kRecordingSupply, first, count, out.size(), words)) {
        return false;
    }
    for (std::size_t j = 0; j < count; ++j) {
        out[first + j] = static_cast<float>(supplyVolts(words[j]));
    }
    return true;
}

bool DeviceLink::readRecordingOutputs(std::span<int> out, std::size_t first, std::size_t count) {
    std::vector<std::uint16_t> words;
    if (!readRecordingWords(mm::kRecordingOutputs, first, count, out.size(), words)) {
        return false;
    }
    for (std::size_t j = 0; j < count; ++j) {
        out[first + j] = words[j];
    }
    return true;
}

}  // namespace qvx::link
