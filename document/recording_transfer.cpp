#include "document/recording_transfer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace qvx::document {

namespace {

using Clock = std::chrono::steady_clock;

SteadyClock orSteady(const SteadyClock& clock) {
    return clock ? clock : SteadyClock([] { return Clock::now(); });
}

/// Sleeps `duration` unless a stop is requested first.
void pause(std::chrono::milliseconds duration, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock lock(mutex);
    (void)woken.wait_for(lock, stop, duration, [] { return false; });
}

/// One chunk's three reads, each only while neither the stop nor the deadline has come.
TransferEnd readChunk(link::DeviceLink& link, TransferredRecording& recording, std::size_t first,
                      const std::stop_token& stop, Clock::time_point deadline,
                      const SteadyClock& now) {
    const std::array<std::function<bool()>, 3> reads{
        [&] {
            return link.readRecordingGripperMv(recording.gripperMv, first, kRecordingChunkSamples);
        },
        [&] {
            return link.readRecordingSupply(recording.supplyVolts, first, kRecordingChunkSamples);
        },
        [&] {
            return link.readRecordingOutputs(recording.outputWords, first, kRecordingChunkSamples);
        },
    };
    for (const std::function<bool()>& read : reads) {
        if (stop.stop_requested()) {
            return TransferEnd::Cancelled;
        }
        if (now() >= deadline) {
            return TransferEnd::TimedOut;
        }
        if (!read()) {
            return TransferEnd::ReadFailed;
        }
    }
    return TransferEnd::Complete;
}

}  // namespace

TransferEnd waitForRecordingEnd(link::DeviceLink& link, std::chrono::milliseconds limit,
                                std::chrono::milliseconds pollStep, const std::stop_token& stop,
                                const SteadyClock& clock) {
    const SteadyClock now = orSteady(clock);
    const Clock::time_point deadline = now() + limit;
    while (!stop.stop_requested()) {
        bool finished = false;
        if (!link.readRecordingFinished(finished)) {
            return TransferEnd::ReadFailed;
        }
        if (finished) {
            return TransferEnd::Complete;
        }
        if (now() >= deadline) {
            return TransferEnd::TimedOut;
        }
        pause(pollStep, stop);
    }
    return TransferEnd::Cancelled;
}

TransferredRecording transferRecording(link::DeviceLink& link, std::chrono::milliseconds limit,
                                       const std::stop_token& stop, const SteadyClock& clock) {
    const SteadyClock now = orSteady(clock);
    TransferredRecording recording;
    const Clock::time_point deadline = now() + limit;
    for (std::size_t first = 0; first < TransferredRecording::kSamples;
         first += kRecordingChunkSamples) {
        recording.end = readChunk(link, recording, first, stop, deadline, now);
        if (recording.end != TransferEnd::Complete) {
            return recording;
        }
        recording.samples = first + kRecordingChunkSamples;
    }
    return recording;
}

void keepRecording(CQvx_controllerDoc& document, const TransferredRecording& transfer,
                   link::CalibrationMode unit) {
    if (transfer.samples == 0) {
        return;
    }
    const std::size_t read = std::min(transfer.samples, TransferredRecording::kSamples);
    std::array<float, TransferredRecording::kSamples> gripper = transfer.gripperMv;
    if (unit == link::CalibrationMode::Calibrated) {
        const link::CalibrationTable& table = document.link().calibration();
        for (std::size_t i = 0; i < read; ++i) {
            if (!table.mvToMm(transfer.gripperMv[i], gripper[i])) {
                // A recording never mixes units: without a length for every sample it stays
                // in millivolts.
                gripper = transfer.gripperMv;
                unit = link::CalibrationMode::Millivolt;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < TransferredRecording::kSamples; ++i) {
        const bool wasRead = i < read;
        document.recGripper[i] = wasRead ? gripper[i] : 0.0F;
        document.recSupply[i] = wasRead ? transfer.supplyVolts[i] : 0.0F;
        document.recOutputs[i] = wasRead ? transfer.outputWords[i] : 0;
    }
    document.recGripperUnit = unit;
    document.recordingHeader = {};
    document.recordingFromFile = false;
    document.recordingName.clear();
    document.recordingSamples = read;
    document.recordingPresent = true;
}

RecordingData currentRecording(const CQvx_controllerDoc& document) {
    RecordingData recording;
    recording.gripper = document.recGripper;
    recording.supply = document.recSupply;
    recording.outputs = document.recOutputs;
    recording.samples = std::min(document.recordingSamples, recording.gripper.size());
    recording.unit = document.recGripperUnit;
    return recording;
}

void keepOpenedRecording(CQvx_controllerDoc& document, const RecordingFile& file,
                         const std::string& name) {
    const RecordingData& recording = file.recording;
    document.recGripper = recording.gripper;
    document.recSupply = recording.supply;
    document.recOutputs = recording.outputs;
    // Samples past the end of a short file belong to no recording.
    for (std::size_t i = recording.samples; i < document.recGripper.size(); ++i) {
        document.recGripper[i] = 0.0F;
        document.recSupply[i] = 0.0F;
        document.recOutputs[i] = 0;
    }
    document.recordingSamples = recording.samples;
    document.recGripperUnit = recording.unit;
    document.recordingHeader = file.header;
    document.recordingFromFile = true;
    document.recordingName = name;
    document.recordingPresent = true;
}

}  // namespace qvx::document
