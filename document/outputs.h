#pragma once

#include <array>
#include <cstddef>

// The numbering of the five switching outputs, in one place (docs/outputs.md gives the
// reasons). Output k (1..5) is bit k + 2 of the controller's output status byte and of a
// recorded output word, and belongs to the k-th column of the fixed pane: the position "Auf",
// "C", "B", "A", "Zu" above its lamp and the range "Aus<-->Auf" ... "A<-->Zu" whose switch
// point the controller passes to reach that position. The plots draw output k at the position
// of its name on their legend "1 = Zu" ... "5 = Offen".

namespace qvx::document {

inline constexpr int kOutputCount = 5;

/// Bit of output k (1..5) in the output status byte and in a recorded output word.
[[nodiscard]] constexpr int outputMask(int output) {
    return 1 << (output + 2);
}

/// Legend level of output k (1..5): "Auf" (output 1) is "5 = Offen", "Zu" (output 5) "1 = Zu".
[[nodiscard]] constexpr int legendLevel(int output) {
    return kOutputCount + 1 - output;
}

/// Plotted level of the live outputs (index 0 = output 1): the legend level of the
/// highest-numbered active output, 0 when none is active.
[[nodiscard]] int outputLevel(const std::array<bool, kOutputCount>& active);

/// Plotted level of a recorded output word: the legend level of the highest-numbered output
/// whose bit is set; `previous` when none is.
[[nodiscard]] int recordedOutputLevel(int outputWord, int previous);

}  // namespace qvx::document
