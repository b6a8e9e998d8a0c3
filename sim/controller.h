#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "sim/memory_map.h"

namespace qvx::sim {

using TimePoint = std::chrono::steady_clock::time_point;

/// A measured value's bounds; leaving them raises the value's limit flag.
struct Limits {
    double low = 0.0;   ///< lowest value still inside, in the value's unit
    double high = 0.0;  ///< highest value still inside, in the value's unit
};

/// How the simulated controller behaves; every field has a working default.
struct ControllerConfig {
    std::uint64_t seed = 1;                        ///< seed of the measurement noise
    std::chrono::milliseconds cycle{6000};         ///< one open-close-open travel, ms
    double openMv = 1200.0;                        ///< sensor voltage with the gripper open, mV
    double closedMv = 3800.0;                      ///< sensor voltage with the gripper closed, mV
    double supplyVolts = 24.0;                     ///< mean supply voltage, V
    double temperatureCelsius = 35.0;              ///< mean temperature, °C
    Limits supplyLimits{19.2, 28.8};               ///< supply limits, V
    Limits temperatureLimits{0.0, 70.0};           ///< temperature limits, °C
    std::chrono::milliseconds sampleInterval{30};  ///< recording sample interval, ms
};

/// The three memory areas a request can address.
enum class Area : std::uint8_t { Eeprom, Program, Ram };

/// The simulated controller without any I/O: its three memories and what it does with them
/// over time. Time is passed in, so a test steps it at will; nothing here is thread-safe (the
/// owner serialises access).
///
/// Behaviour, all as seen in the memories:
/// - The gripper travels open → closed → open once per `cycle` (hold, travel, hold, travel)
///   with a little noise; RAM 32 holds its raw position word, RAM 34 the supply word, RAM 36
///   the temperature byte, RAM 6 the outputs (output k at bit k + 2).
/// - Switch-point mode (status bit 0 clear): the five working-memory points (EEPROM 11-20)
///   split the stroke into Aus | Auf | C | B | A | Zu in rising voltage; the gripper lies
///   past as many points as its voltage reaches, and that position drives one output, in the
///   program's numbering (docs/outputs.md): Auf 1, C 2, B 3, A 4, Zu 5, Aus none.
/// - Range mode (status bit 0 set): each working-memory point is the centre of a band from
///   (centre − under-span) to (centre + over-span) in millivolts; point j drives output j
///   while the gripper lies inside its band, so overlapping bands drive several outputs.
///   The spans come from the tolerance tables at 0x1600/0x1700, taking the entry of the
///   support-point segment the centre lies in; with fewer than two support points, from the
///   tolerance cells 354/352 read as millivolt words.
/// - A write that touches the input record (EEPROM 1-10) copies the whole record into the
///   working memory at once, so the outputs follow a new programming from the next update.
/// - Limit flags (EEPROM 21, bits 0-3) latch when supply or temperature leave their limits;
///   writing 255 to the reset cell (EEPROM 99) clears them and the cell reads 0 again.
/// - Setting status bit 6 starts a recording of 640 samples per channel, one every
///   `sampleInterval`, sample i at base + 2i (gripper 356, supply 1956, outputs 3556); at the
///   end bit 6 is cleared and bit 5 set. Clearing bit 6 while recording abandons it.
class Controller {
public:
    /// A controller with the factory EEPROM image, started at `start`.
    Controller(const ControllerConfig& config, TimePoint start);

    /// Brings live values, outputs, limit flags and a running recording up to `now`.
    /// Time never runs backwards: an earlier `now` counts as the last one.
    void update(TimePoint now);

    /// True when `count` bytes from `address` lie inside the area.
    [[nodiscard]] static bool fits(Area area, std::uint32_t address, std::size_t count);
    /// Copies `count` bytes from `address`; false (out untouched) beyond the area.
    [[nodiscard]] bool read(Area area, std::uint32_t address, std::size_t count,
                            std::vector<std::uint8_t>& out) const;
    /// Stores the bytes at `address` and runs what the cells trigger; false (nothing
    /// stored) beyond the area.
    [[nodiscard]] bool write(Area area, std::uint32_t address, std::span<const std::uint8_t> bytes,
                             TimePoint now);

    [[nodiscard]] std::span<const std::uint8_t> eeprom() const { return m_eeprom; }
    [[nodiscard]] std::span<const std::uint8_t> ram() const { return m_ram; }
    [[nodiscard]] std::span<const std::uint8_t> program() const { return m_program; }

    /// Replaces the EEPROM with a stored image; false (nothing changed) unless it has
    /// exactly the EEPROM's size.
    [[nodiscard]] bool loadEeprom(std::span<const std::uint8_t> image);
    /// Counts every change of the EEPROM, so a keeper of a copy knows when to save.
    [[nodiscard]] std::uint64_t eepromRevision() const { return m_eepromRevision; }
    /// When the EEPROM last changed.
    [[nodiscard]] TimePoint lastEepromChange() const { return m_lastEepromChange; }

    /// Holds the gripper still at `mv` (no noise), or lets it travel again (nullopt).
    void holdGripper(std::optional<double> mv) { m_heldGripperMv = mv; }
    /// Changes the mean supply voltage, V.
    void setSupplyVolts(double volts) { m_config.supplyVolts = volts; }
    /// Changes the mean temperature, °C.
    void setTemperatureCelsius(double celsius) { m_config.temperatureCelsius = celsius; }

    /// True while a recording runs.
    [[nodiscard]] bool recording() const { return m_recordingNext.has_value(); }
    /// When the next recording sample is due, while one runs.
    [[nodiscard]] std::optional<TimePoint> nextSampleDue() const;
    [[nodiscard]] const ControllerConfig& config() const { return m_config; }

private:
    struct Measurement {
        std::uint16_t gripperRaw;  // raw position word
        std::uint16_t supply;      // supply word
        std::uint8_t temperature;  // temperature byte
    };

    [[nodiscard]] Measurement measureAt(TimePoint t) const;
    [[nodiscard]] double gripperMvAt(TimePoint t) const;
    [[nodiscard]] double noise(std::uint64_t channel, TimePoint t) const;
    [[nodiscard]] std::uint8_t outputsFor(std::uint16_t gripperRaw) const;
    [[nodiscard]] std::uint8_t switchPointOutputs(int counts) const;
    [[nodiscard]] std::uint8_t rangeOutputs(double mv) const;
    /// Under- and over-span around a band centre, mV.
    [[nodiscard]] std::pair<double, double> spansAt(double centreMv) const;
    void takeSample(TimePoint t);
    void startRecording(TimePoint now);
    void afterEepromWrite(std::uint32_t address, std::size_t count, TimePoint now);
    void afterRamWrite(std::uint32_t address, std::size_t count, TimePoint now);
    void eepromChanged(TimePoint now);
    [[nodiscard]] std::uint16_t eepromWord(std::uint32_t address) const;

    ControllerConfig m_config;
    TimePoint m_start;                             // time origin of the travel and the noise
    TimePoint m_now;                               // latest time seen by update() or write()
    std::vector<std::uint8_t> m_eeprom;            // kEepromSize bytes
    std::vector<std::uint8_t> m_ram;               // kRamSize bytes
    std::vector<std::uint8_t> m_program;           // kProgramSize bytes
    std::uint64_t m_eepromRevision = 0;            // bumped on every EEPROM change
    TimePoint m_lastEepromChange;                  // time of the last EEPROM change
    std::optional<double> m_heldGripperMv;         // gripper held still here, mV
    TimePoint m_recordingStart;                    // time of sample 0 of the running recording
    std::optional<std::uint32_t> m_recordingNext;  // index of the next sample while recording
};

}  // namespace qvx::sim
