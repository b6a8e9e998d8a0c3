#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>

namespace qvx::link {

/// How positions are shown throughout the program.
enum class CalibrationMode : std::int32_t {
    Calibrated = 0,  ///< lengths in mm, converted through the support points
    Millivolt = 1,   ///< sensor voltage in mV; the support points are not consulted
};

/// One support point of the calibration table.
struct CalibrationPoint {
    float mv = 0.0F;  ///< sensor voltage, mV
    float mm = 0.0F;  ///< finger travel at that voltage, mm
};

/// The four header bytes in front of the table in controller memory.
struct CalibrationHeader {
    std::uint8_t version = 0;   ///< format version; 0 and 255 mean erased memory
    std::uint8_t modeByte = 0;  ///< 1 in mV mode, else 0; written, never used when loading
    std::uint8_t count = 0;     ///< number of support points as stored (may exceed the limit)
    std::uint8_t index = 0;     ///< selected support point as stored
};

/// The program's mirror of the controller's calibration table: up to 62 support points that map
/// sensor voltages to finger travel, and the program-wide display mode. Positions are 1-based.
///
/// Every operation is safe to call from any thread: the polling thread converts while the
/// user-interface thread edits, and no conversion sees a half-written point or count.
class CalibrationTable {
public:
    /// Most support points a table holds; a 63rd would overlap the tolerance cells.
    static constexpr std::uint32_t kMaxPoints = 62;
    /// Format version this program writes and the newest one it loads.
    static constexpr std::uint8_t kFormatVersion = 1;
    /// Full-scale sensor voltage, mV.
    static constexpr float kFullScaleMv = 5000.0F;

    CalibrationTable() = default;
    virtual ~CalibrationTable() = default;
    CalibrationTable(const CalibrationTable&) = delete;
    CalibrationTable& operator=(const CalibrationTable&) = delete;

    /// Sets the display mode.
    void setMode(CalibrationMode mode);
    /// The display mode; `Millivolt` until set.
    [[nodiscard]] CalibrationMode getMode() const;
    /// Format version of this table (the first header byte it writes).
    [[nodiscard]] static constexpr std::uint8_t formatVersion() { return kFormatVersion; }

    /// Number of support points in use: 1..62 once set, 0 before the first load.
    [[nodiscard]] std::uint32_t getCount() const;
    /// Sets the count: 0 gives 1, above 62 gives 62. An index above the new count is pulled
    /// down to it, so that the selected point stays one that a save writes.
    void setCount(std::uint32_t n);
    /// Count byte of the last header taken over from the controller, before clamping
    /// (0 until then). A value above 62 means the stored table reaches into the tolerances.
    [[nodiscard]] std::uint8_t storedCount() const;

    /// Selected support point of the calibration view, 0..62 (0 selects no point).
    [[nodiscard]] std::uint32_t getIndex() const;
    /// Selects point n; 62 or more gives 62, 0 is accepted.
    void setIndex(std::uint32_t n);
    /// Selects the following point while the index is below the count.
    void next();
    /// Selects the preceding point while the index is above 1.
    void prev();

    /// The selected point; false (point untouched) when the index is 0.
    [[nodiscard]] bool getPointAtIndex(CalibrationPoint& point) const;
    /// Stores mV and mm at the selected point and marks it changed; false and nothing stored
    /// when the index is 0 or a value is not finite.
    [[nodiscard]] bool setPointAtIndex(float mv, float mm);
    /// Point p; false (point untouched) unless 1 <= p <= count.
    [[nodiscard]] bool getPoint(std::uint32_t p, CalibrationPoint& point) const;
    /// Stores mV and mm at point p and marks it changed; false and nothing stored unless
    /// 1 <= p <= count and both values are finite.
    [[nodiscard]] bool setPoint(std::uint32_t p, float mv, float mm);
    /// Clears the changed mark of point p (1..62; other positions are ignored).
    void clearChanged(std::uint32_t p);
    /// True when point p was edited since it was loaded; false for positions outside 1..62.
    [[nodiscard]] bool isChanged(std::uint32_t p) const;

    /// Largest length of points 1..count, mm; 0 for an empty table.
    [[nodiscard]] float maxMm() const;
    /// Smallest length of points 1..count, mm; 0 for an empty table.
    [[nodiscard]] float minMm() const;

    /// Raw position word to mV: the inverted 12-bit measurement in bits 4..15, full scale
    /// 5000 mV. Every word is valid.
    [[nodiscard]] static float rawToMv(std::uint16_t raw);
    /// mV to raw position word, the voltage clamped to 0..5000 mV first. False (raw untouched)
    /// for a value that is not finite.
    [[nodiscard]] static bool mvToRaw(float mv, std::uint16_t& raw);
    /// Voltage to length by the support points, extrapolating beyond the ends. With an empty
    /// table, or an input that is not finite, mm receives mv unchanged and the result is false.
    [[nodiscard]] bool mvToMm(float mv, float& mm) const;
    /// Length to voltage, the reverse of mvToMm with the same failure rules.
    [[nodiscard]] bool mmToMv(float mm, float& mv) const;

    /// Raw word to the display value: mm in `Calibrated` mode, mV in `Millivolt` mode.
    /// On a failed table conversion value receives the mV; with an unknown mode it is untouched.
    [[nodiscard]] bool RawToDisplay(std::uint16_t raw, float& value) const;
    /// Display value (mm or mV by mode) to the raw word; raw is written only on success.
    [[nodiscard]] bool DisplayToRaw(float value, std::uint16_t& raw) const;

    /// Length to the stored micrometre word, truncated toward zero. False (micrometres
    /// untouched) for a negative or non-finite length, or one above 65535 µm once truncated.
    [[nodiscard]] static bool lengthToMicrometres(float mm, std::uint16_t& micrometres);
    /// Stored micrometre word to the length, mm.
    [[nodiscard]] static float lengthFromMicrometres(std::uint16_t micrometres);
    /// True when every length of points 1..count fits the stored micrometre word, so that a
    /// save cannot write a wrapped length.
    [[nodiscard]] bool lengthsStorable() const;

    /// Header to write in front of the points: own version, mode byte, count, index.
    [[nodiscard]] CalibrationHeader header() const;
    /// Number of points to read from the controller after this header. False when the header
    /// must not be loaded: erased memory (version 255) or a newer format. Version 0 keeps the
    /// present count, any other accepted version gives its count byte by the setCount rules.
    [[nodiscard]] bool pointsToLoad(const CalibrationHeader& stored, std::uint32_t& count) const;
    /// Takes over a table read from the controller in one step: count and index from the
    /// header (left alone for version 0), the points 1..count with their changed marks cleared,
    /// and the stored count byte. False and nothing changed when pointsToLoad refuses the
    /// header, points does not hold exactly that many points, or a value is not finite.
    [[nodiscard]] bool applyLoaded(const CalibrationHeader& stored,
                                   std::span<const CalibrationPoint> points);

private:
    [[nodiscard]] bool pointsToLoadLocked(const CalibrationHeader& stored,
                                          std::uint32_t& count) const;
    [[nodiscard]] bool mvToMmLocked(float mv, float& mm) const;
    [[nodiscard]] bool mmToMvLocked(float mm, float& mv) const;
    void setCountLocked(std::uint32_t n);

    // One mutex guards every field below. Each operation holds it only for its own copy, edit
    // or scan (at most 61 segments, no I/O, no callbacks), which is shorter than copying the
    // table out first and keeps mode, count and points consistent within one conversion.
    mutable std::mutex m_mutex;
    CalibrationMode m_mode = CalibrationMode::Millivolt;  // display mode
    std::uint32_t m_count = 0;                            // points in use, 0 or 1..62
    std::uint32_t m_index = 1;                            // selected point, 0..62
    std::uint8_t m_storedCount = 0;             // count byte of the last loaded header, unclamped
    std::array<float, kMaxPoints> m_pointMv{};  // voltage of point p at [p - 1], mV
    std::array<float, kMaxPoints> m_pointMm{};  // length of point p at [p - 1], mm
    std::array<bool, kMaxPoints> m_pointChanged{};  // point p edited since loaded, at [p - 1]
};

}  // namespace qvx::link
