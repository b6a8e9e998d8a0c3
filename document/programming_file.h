#pragma once

// The programming file (*.qvx): the controller's five thresholds, the switching mode, the
// tolerance texts and the unit, in one ini section. Text in, text out: no I/O here, so any
// caller (the programming view, a fuzzer, a test) can feed it.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::document {

/// The unit the thresholds of a programming are given in.
enum class ProgrammingUnit {
    Millivolt,   ///< "volt": sensor voltage, mV
    Millimetre,  ///< "mm": a length in the length unit of the program's preference
    TenthInch,   ///< "inch": tenths of an inch
};

/// One programming as a file holds it. The texts are kept as written: the thresholds are
/// numbers only once the restore reads them.
struct Programming {
    /// Threshold texts by transition: Aus<-->Auf, Auf<-->C, C<-->B, B<-->A, A<-->Zu.
    std::array<std::string, 5> thresholds;
    std::string underTolerance;  ///< under-tolerance as typed, in the tolerance labels' unit
    std::string overTolerance;   ///< over-tolerance as typed, in the tolerance labels' unit
    bool rangeMode = false;      ///< range mode ("BEREICH"); false: switch-point mode
    ProgrammingUnit unit = ProgrammingUnit::Millivolt;  ///< unit of the thresholds
};

/// The file's one section.
inline constexpr std::string_view kProgrammingSection = "PROGRAMMIERUNG";
/// Key of each threshold, by transition: the position to the right of the transition.
inline constexpr std::array<std::string_view, 5> kThresholdKeys{"Auf", "C", "B", "A", "Zu"};
/// Longest text a threshold or tolerance value holds, in bytes.
inline constexpr std::size_t kProgrammingTextLength = 19;
/// The extension every programming file name ends in.
inline constexpr std::string_view kProgrammingExtension = ".qvx";

/// The name a programming is saved under: `name` with ".qvx" appended unless it ends in
/// exactly that (the comparison is case-sensitive, so "a.QVX" becomes "a.QVX.qvx").
[[nodiscard]] std::string withProgrammingExtension(std::string name);

/// The file's text: the section line, then Zu, A, B, C, Auf, ToleranzUnter, ToleranzUeber,
/// Range and Unit in this order. Texts longer than kProgrammingTextLength are cut; line
/// breaks in a text are replaced by blanks so that every key stays on its line.
[[nodiscard]] std::string programmingFileText(const Programming& programming);

/// Reads a programming from a file's text: names match without regard to case, values lose
/// surrounding blanks, a missing key gives its default (empty texts, switch-point mode,
/// "volt"). `Unit` is compared in lower case ("mm", "inch", anything else is mV); only the
/// exact `Range` text "SCHALTPUNKT" means switch-point mode. Nullopt when the text has no
/// PROGRAMMIERUNG section at all.
[[nodiscard]] std::optional<Programming> parseProgrammingFile(std::string_view text);

/// The length unit lengths are shown in: tenths of an inch when `inchUnit` is 1, else
/// millimetres.
[[nodiscard]] ProgrammingUnit shownLengthUnit(int inchUnit);

/// True when a file's lengths may be in either length unit and the user has to say which:
/// the file names one length unit while lengths are shown in the other. Files of earlier
/// versions said "mm" also when they held tenths of an inch. Voltages are never in doubt.
[[nodiscard]] bool lengthUnitInDoubt(ProgrammingUnit fileUnit, int inchUnit);

/// A number as the program accepts it from an edit field or a file, in the C locale whatever
/// the user's locale: an optional sign, decimal digits with a point, an optional exponent,
/// blanks around it. Nullopt for anything else (empty text, a decimal comma, trailing
/// characters) and for values a float cannot hold.
[[nodiscard]] std::optional<float> parseNumber(std::string_view text);

/// "%8.2f" in the C locale: right-aligned in 8 characters with two decimals.
[[nodiscard]] std::string formatFixed(float value);

/// How an edit shows a float ("%g" with six significant digits), in the C locale.
[[nodiscard]] std::string formatEditValue(float value);

}  // namespace qvx::document
