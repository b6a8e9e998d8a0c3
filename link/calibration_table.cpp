#include "link/calibration_table.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qvx::link {

namespace {

// Both factors are 32-bit floats and the products are computed in float, so that voltages and
// raw words match the controller's own values bit for bit; 0.24420024 is the float nearest
// 1000/4095, so 4095 counts give exactly 5000 mV.
constexpr float kMvPerCountStep = 0.24420024F;  // mV per (count × 5)
constexpr float kCountsPerMv = 0.819F;          // ADC counts per mV
constexpr float kMicrometresPerMm = 1000.0F;
constexpr float kMmPerMicrometre = 0.001F;
constexpr float kMaxMicrometres = 65535.0F;  // largest length the 16-bit word holds, µm

std::uint32_t clampCount(std::uint32_t n) {
    return std::clamp<std::uint32_t>(n, 1, CalibrationTable::kMaxPoints);
}

std::uint32_t clampIndex(std::uint32_t n) {
    return std::min(n, CalibrationTable::kMaxPoints);
}

bool isFinitePoint(float mv, float mm) {
    return std::isfinite(mv) && std::isfinite(mm);
}

// Piecewise-linear lookup from source to target values over the points in use. The first
// segment whose ends enclose x (in either direction) is taken. Outside the table the end
// segments extrapolate; which end counts as "before the first point" follows the table's
// usual orientation: voltages rise with the point number (sourceRises) and lengths fall.
bool interpolate(std::span<const float> source, std::span<const float> target, float x,
                 bool sourceRises, float& out) {
    const std::size_t n = source.size();
    if (n == 0 || !std::isfinite(x)) {
        out = x;
        return false;
    }
    if (n == 1) {
        out = target[0];
        return true;
    }
    std::size_t hi = n - 1;  // the segment joins points hi - 1 and hi (0-based)
    bool found = false;
    for (std::size_t i = 1; i < n && !found; ++i) {
        const float a = source[i - 1];
        const float b = source[i];
        if ((a <= x && x <= b) || (b <= x && x <= a)) {
            hi = i;
            found = true;
        }
    }
    if (!found) {
        const bool beforeFirst = sourceRises ? x <= source[0] : x >= source[0];
        const bool afterLast = sourceRises ? x >= source[n - 1] : x <= source[n - 1];
        hi = (beforeFirst && !afterLast) ? 1 : n - 1;
    }
    const float s0 = source[hi - 1];
    const float s1 = source[hi];
    const float t0 = target[hi - 1];
    const float t1 = target[hi];
    // Two points with the same source value: no slope, take the first point's value.
    out = (s0 == s1) ? t0 : t0 + (t1 - t0) * (x - s0) / (s1 - s0);
    return true;
}

}  // namespace

void CalibrationTable::setMode(CalibrationMode mode) {
    const std::lock_guard lock(m_mutex);
    m_mode = mode;
}

CalibrationMode CalibrationTable::getMode() const {
    const std::lock_guard lock(m_mutex);
    return m_mode;
}

std::uint32_t CalibrationTable::getCount() const {
    const std::lock_guard lock(m_mutex);
    return m_count;
}

void CalibrationTable::setCount(std::uint32_t n) {
    const std::lock_guard lock(m_mutex);
    setCountLocked(n);
}

void CalibrationTable::setCountLocked(std::uint32_t n) {
    m_count = clampCount(n);
    m_index = std::min(m_index, m_count);
}

std::uint8_t CalibrationTable::storedCount() const {
    const std::lock_guard lock(m_mutex);
    return m_storedCount;
}

std::uint32_t CalibrationTable::getIndex() const {
    const std::lock_guard lock(m_mutex);
    return m_index;
}

void CalibrationTable::setIndex(std::uint32_t n) {
    const std::lock_guard lock(m_mutex);
    m_index = clampIndex(n);
}

void CalibrationTable::next() {
    const std::lock_guard lock(m_mutex);
    if (m_index < m_count) {
        ++m_index;
    }
}

void CalibrationTable::prev() {
    const std::lock_guard lock(m_mutex);
    if (m_index > 1) {
        --m_index;
    }
}

bool CalibrationTable::getPointAtIndex(CalibrationPoint& point) const {
    const std::lock_guard lock(m_mutex);
    if (m_index == 0) {
        return false;
    }
    point = {m_pointMv[m_index - 1], m_pointMm[m_index - 1]};
    return true;
}

bool CalibrationTable::setPointAtIndex(float mv, float mm) {
    const std::lock_guard lock(m_mutex);
    if (m_index == 0 || !isFinitePoint(mv, mm)) {
        return false;
    }
    m_pointMv[m_index - 1] = mv;
    m_pointMm[m_index - 1] = mm;
    m_pointChanged[m_index - 1] = true;
    return true;
}

bool CalibrationTable::getPoint(std::uint32_t p, CalibrationPoint& point) const {
    const std::lock_guard lock(m_mutex);
    if (p == 0 || p > m_count) {
        return false;
    }
    point = {m_pointMv[p - 1], m_pointMm[p - 1]};
    return true;
}

bool CalibrationTable::setPoint(std::uint32_t p, float mv, float mm) {
    const std::lock_guard lock(m_mutex);
    if (p == 0 || p > m_count || !isFinitePoint(mv, mm)) {
        return false;
    }
    m_pointMv[p - 1] = mv;
    m_pointMm[p - 1] = mm;
    m_pointChanged[p - 1] = true;
    return true;
}

void CalibrationTable::clearChanged(std::uint32_t p) {
    const std::lock_guard lock(m_mutex);
    if (p >= 1 && p <= kMaxPoints) {
        m_pointChanged[p - 1] = false;
    }
}

bool CalibrationTable::isChanged(std::uint32_t p) const {
    const std::lock_guard lock(m_mutex);
    return p >= 1 && p <= kMaxPoints && m_pointChanged[p - 1];
}

float CalibrationTable::maxMm() const {
    const std::lock_guard lock(m_mutex);
    const std::span<const float> lengths(m_pointMm.data(), m_count);
    return lengths.empty() ? 0.0F : *std::max_element(lengths.begin(), lengths.end());
}

float CalibrationTable::minMm() const {
    const std::lock_guard lock(m_mutex);
    const std::span<const float> lengths(m_pointMm.data(), m_count);
    return lengths.empty() ? 0.0F : *std::min_element(lengths.begin(), lengths.end());
}

float CalibrationTable::rawToMv(std::uint16_t raw) {
    const std::uint32_t counts = (~static_cast<std::uint32_t>(raw) >> 4U) & 0xFFFU;
    return static_cast<float>(counts * 5U) * kMvPerCountStep;
}

bool CalibrationTable::mvToRaw(float mv, std::uint16_t& raw) {
    if (!std::isfinite(mv)) {
        return false;
    }
    // Without the clamp a voltage above full scale wraps to a value near 0 mV and a negative
    // one to one near 5000 mV; the clamp also keeps the float-to-integer cast defined.
    const float scaled = std::clamp(mv, 0.0F, kFullScaleMv) * kCountsPerMv;
    const auto counts = static_cast<std::uint32_t>(scaled);  // truncates toward zero, 0..4095
    raw = static_cast<std::uint16_t>(~(counts << 4U) & 0xFFFFU);
    return true;
}

bool CalibrationTable::mvToMm(float mv, float& mm) const {
    const std::lock_guard lock(m_mutex);
    return mvToMmLocked(mv, mm);
}

bool CalibrationTable::mmToMv(float mm, float& mv) const {
    const std::lock_guard lock(m_mutex);
    return mmToMvLocked(mm, mv);
}

bool CalibrationTable::mvToMmLocked(float mv, float& mm) const {
    return interpolate({m_pointMv.data(), m_count}, {m_pointMm.data(), m_count}, mv, true, mm);
}

bool CalibrationTable::mmToMvLocked(float mm, float& mv) const {
    return interpolate({m_pointMm.data(), m_count}, {m_pointMv.data(), m_count}, mm, false, mv);
}

bool CalibrationTable::RawToDisplay(std::uint16_t raw, float& value) const {
    const std::lock_guard lock(m_mutex);
    switch (m_mode) {
        case CalibrationMode::Millivolt:
            value = rawToMv(raw);
            return true;
        case CalibrationMode::Calibrated:
            return mvToMmLocked(rawToMv(raw), value);
    }
    return false;  // a mode value outside the enumeration converts nothing
}

bool CalibrationTable::DisplayToRaw(float value, std::uint16_t& raw) const {
    const std::lock_guard lock(m_mutex);
    switch (m_mode) {
        case CalibrationMode::Millivolt:
            return mvToRaw(value, raw);
        case CalibrationMode::Calibrated: {
            float mv = 0.0F;
            return mmToMvLocked(value, mv) && mvToRaw(mv, raw);
        }
    }
    return false;
}

bool CalibrationTable::lengthToMicrometres(float mm, std::uint16_t& micrometres) {
    if (!std::isfinite(mm) || mm < 0.0F) {
        return false;
    }
    const float scaled = std::trunc(mm * kMicrometresPerMm);
    if (scaled > kMaxMicrometres) {
        return false;  // would wrap in the 16-bit word
    }
    micrometres = static_cast<std::uint16_t>(scaled);
    return true;
}

float CalibrationTable::lengthFromMicrometres(std::uint16_t micrometres) {
    // The float factor (not the double 0.001) makes every word come back unchanged through
    // lengthToMicrometres, so loading and saving an unedited length never shortens it by 1 µm.
    return static_cast<float>(micrometres) * kMmPerMicrometre;
}

bool CalibrationTable::lengthsStorable() const {
    const std::lock_guard lock(m_mutex);
    const std::span<const float> lengths(m_pointMm.data(), m_count);
    return std::all_of(lengths.begin(), lengths.end(), [](float mm) {
        std::uint16_t micrometres = 0;
        return lengthToMicrometres(mm, micrometres);
    });
}

CalibrationHeader CalibrationTable::header() const {
    const std::lock_guard lock(m_mutex);
    return {kFormatVersion, static_cast<std::uint8_t>(m_mode == CalibrationMode::Millivolt ? 1 : 0),
            static_cast<std::uint8_t>(m_count), static_cast<std::uint8_t>(m_index)};
}

bool CalibrationTable::pointsToLoad(const CalibrationHeader& stored, std::uint32_t& count) const {
    const std::lock_guard lock(m_mutex);
    return pointsToLoadLocked(stored, count);
}

bool CalibrationTable::pointsToLoadLocked(const CalibrationHeader& stored,
                                          std::uint32_t& count) const {
    // 255 (erased memory) is refused as well, being above every format version.
    if (stored.version > kFormatVersion) {
        return false;
    }
    count = stored.version == 0 ? m_count : clampCount(stored.count);
    return true;
}

bool CalibrationTable::applyLoaded(const CalibrationHeader& stored,
                                   std::span<const CalibrationPoint> points) {
    const std::lock_guard lock(m_mutex);
    std::uint32_t count = 0;
    if (!pointsToLoadLocked(stored, count) || points.size() != count ||
        !std::all_of(points.begin(), points.end(),
                     [](const CalibrationPoint& p) { return isFinitePoint(p.mv, p.mm); })) {
        return false;
    }
    // Version 0 is a header that was never written: count and index keep their values.
    if (stored.version != 0) {
        setCountLocked(stored.count);
        m_index = clampIndex(stored.index);
        m_storedCount = stored.count;
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        m_pointMv[i] = points[i].mv;
        m_pointMm[i] = points[i].mm;
        m_pointChanged[i] = false;
    }
    return true;
}

}  // namespace qvx::link
