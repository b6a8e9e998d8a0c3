#pragma once

#include <chrono>
#include <optional>

namespace qvx::sim {

/// Faults the simulated controller injects into its confirms. The standing faults apply to
/// every confirm; each one-shot fault applies to the next confirm that goes out and then
/// clears itself (a dropped confirm leaves it armed).
struct FaultPlan {
    double dropShare =
        0.0;  ///< share 0..1 of confirms lost on the line (the request is carried out)
    double corruptShare =
        0.0;              ///< share 0..1 of confirms sent with one bit flipped (not the start mark)
    bool silent = false;  ///< requests are neither carried out nor answered
    std::chrono::milliseconds replyDelay{0};  ///< wait before a confirm goes out, ms
    std::chrono::milliseconds byteGap{2};  ///< pause between the bytes of a byte-wise confirm, ms

    bool wrongAddressOnce = false;  ///< next confirm names the address after the requested one
    bool wrongLengthOnce =
        false;  ///< next confirm names a length one off; a read carries that many bytes
    bool byteWiseOnce = false;  ///< next confirm goes out one byte at a time, `byteGap` apart
    bool closeMidFrameOnce =
        false;  ///< next confirm stops after half its bytes and the line closes
    /// Write requests still carried out and confirmed; the one after them finds the
    /// controller silent for good, as a controller that stops answering in the middle of a
    /// transfer. Nullopt: no limit.
    std::optional<unsigned> writesBeforeSilence{};
};

}  // namespace qvx::sim
