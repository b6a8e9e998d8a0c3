#pragma once

// The exported recording (CSV): one line per sample, "time_ms,gripper_<unit>,ub_V,outputs",
// numbers in the C locale. The annotated file puts "# key=value" lines about the recording in
// front of the columns; the plain file has the columns only, for spreadsheet programs. Text
// in, text out: no I/O here.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "link/calibration_table.h"

namespace qvx::document {

inline constexpr std::size_t kRecordingFileSamples = 640;
/// Time between two samples, ms.
inline constexpr int kRecordingFileIntervalMs = 30;

/// The samples of one recording.
struct RecordingData {
    std::array<float, kRecordingFileSamples> gripper{};  ///< in `unit`
    std::array<float, kRecordingFileSamples> supply{};   ///< Ub, V
    std::array<int, kRecordingFileSamples> outputs{};    ///< output word
    std::size_t samples = 0;                             ///< leading samples that belong to it
    link::CalibrationMode unit = link::CalibrationMode::Millivolt;  ///< mV, or mm
};

/// What the annotated file says about a recording; empty texts are left out.
struct RecordingHeader {
    std::string serialNumber;  ///< the controller's serial number
    std::string week;          ///< week of manufacture
    std::string year;          ///< year of manufacture
    std::string program;       ///< the program and version that wrote the file
    std::string recorded;      ///< ISO 8601 local time of the transfer from the controller
};

/// The annotated file: the header lines ("# serial_number=...", "# manufactured=week/year",
/// "# unit=...", "# program=...", "# recorded=..."), then the plain columns.
[[nodiscard]] std::string recordingFileText(const RecordingData& recording,
                                            const RecordingHeader& header);
/// The plain columns: the column line and one line per sample.
[[nodiscard]] std::string recordingColumnsText(const RecordingData& recording);

/// Why a text is not a recording.
enum class RecordingFileError {
    NoColumns,        ///< no column line "time_ms,gripper_mV|gripper_mm,ub_V,outputs"
    BadHeader,        ///< a "#" line that is not "key=value", or a unit that is not mV or mm
    UnitMismatch,     ///< the header's unit disagrees with the column line
    BadNumber,        ///< a field that is not a number of its kind
    WrongTime,        ///< a sample's time is not 30 ms after the one before (from 0)
    WrongFieldCount,  ///< a sample line without exactly four fields
    TooManySamples,   ///< more than 640 samples
    NoSamples,        ///< the column line but no sample
};

/// A recording read back, with its header (empty for a plain file).
struct RecordingFile {
    RecordingData recording;
    RecordingHeader header;
};

/// A refusal: what is wrong, on which line (1-based).
struct RecordingFileRefusal {
    RecordingFileError error = RecordingFileError::NoColumns;
    std::size_t line = 0;
};

/// Reads an annotated or a plain file. Blank lines and a final line break are allowed, as
/// are "\r\n" line ends and a UTF-8 byte-order mark; anything else that does not fit is
/// refused with its line.
[[nodiscard]] std::variant<RecordingFile, RecordingFileRefusal> parseRecordingFile(
    std::string_view text);

}  // namespace qvx::document
