#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>

#include "document/document.h"

namespace qvx::document {

/// Samples per channel that one read of a transfer brings.
inline constexpr std::size_t kRecordingChunkSamples = 20;

/// The clock of the time limits; tests pass one they step themselves.
using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

/// How waiting for a recording, or transferring it, ended.
enum class TransferEnd {
    Complete,    ///< the controller reported the recording finished / every chunk was read
    ReadFailed,  ///< the controller did not answer a read
    TimedOut,    ///< the time limit passed first
    Cancelled,   ///< a stop was requested
};

/// What one transfer read, before the document takes it over.
struct TransferredRecording {
    static constexpr std::size_t kSamples = CQvx_controllerDoc::kRecordingSamples;
    std::array<float, kSamples> gripperMv{};    ///< gripper value per sample, mV
    std::array<float, kSamples> supplyVolts{};  ///< Ub per sample, V
    std::array<int, kSamples> outputWords{};    ///< output word per sample
    std::size_t samples = 0;                    ///< leading samples read on all three channels
    TransferEnd end = TransferEnd::Complete;
};

/// Polls the controller every `pollStep` until it reports its recording finished. Ends early
/// at a failed poll, when `limit` has passed, or at once on a stop request.
[[nodiscard]] TransferEnd waitForRecordingEnd(link::DeviceLink& link,
                                              std::chrono::milliseconds limit,
                                              std::chrono::milliseconds pollStep,
                                              const std::stop_token& stop,
                                              const SteadyClock& clock = {});

/// Reads the controller's recording in chunks of kRecordingChunkSamples, gripper, supply and
/// outputs per chunk. Stops at the first read that fails, when `limit` has passed, or on a
/// stop request; the last two are looked at before every read, so a read under way still
/// ends by its own retries. Runs on any thread: the link serialises it with the others.
[[nodiscard]] TransferredRecording transferRecording(link::DeviceLink& link,
                                                     std::chrono::milliseconds limit,
                                                     const std::stop_token& stop,
                                                     const SteadyClock& clock = {});

/// Takes a transfer over into the document's recording: the gripper values in `unit` (lengths
/// only when every sample converts through the table, else millivolts), the samples not read
/// as 0, `recordingSamples` and `recordingPresent` set. A transfer that read nothing changes
/// nothing, so an earlier recording stays.
void keepRecording(CQvx_controllerDoc& document, const TransferredRecording& transfer,
                   link::CalibrationMode unit);

/// The document's recording as one value (for the file export).
[[nodiscard]] RecordingData currentRecording(const CQvx_controllerDoc& document);

/// Takes a recording opened from file `name` over into the document's recording, as a
/// transfer would, with its header kept.
void keepOpenedRecording(CQvx_controllerDoc& document, const RecordingFile& file,
                         const std::string& name);

}  // namespace qvx::document
