#include "document/outputs.h"

namespace qvx::document {

int outputLevel(const std::array<bool, kOutputCount>& active) {
    for (int output = kOutputCount; output >= 1; --output) {
        if (active[static_cast<std::size_t>(output - 1)]) {
            return legendLevel(output);
        }
    }
    return 0;
}

int recordedOutputLevel(int outputWord, int previous) {
    for (int output = kOutputCount; output >= 1; --output) {
        if ((outputWord & outputMask(output)) != 0) {
            return legendLevel(output);
        }
    }
    return previous;
}

}  // namespace qvx::document
