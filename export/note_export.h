// A note made into a sound file: its frames rendered offline beside the live
// sound, its name ("C#2"), and the whole export from instrument to file.
//
// Threading. RenderNote runs the engine's offline render through `guard`, which
// must keep each call apart from rendered frames of the live device (the audio
// lock while a device plays); everything else touches no engine state.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/offline.h"
#include "export/soundfile.h"

namespace soundexport {

// Runs `work` so that no live frame renders meanwhile.
using LiveGuard = std::function<void(const std::function<void()>& work)>;

// Frames rendered under one hold of the guard: the longest the audio callback
// can wait on an export is one such run (about 0.05 ms).
constexpr uint32_t DeviceBlockFrames = 2048;
constexpr uint32_t BlocksPerGuardedRun = 4;
constexpr uint32_t FramesPerGuardedRun = BlocksPerGuardedRun * DeviceBlockFrames;

// A note by its semitone 0..11 (C..B) and octave index 0..7.
struct NoteChoice {
    uint8_t Semitone;
    uint8_t OctaveIndex;
};

// "A4", "C#2": the note's letter, a sharp where it has one, its octave index.
std::string NoteName(const NoteChoice& note);

// The note's interleaved left/right samples, NoteFrames long.
std::vector<int16_t> RenderNote(const ksynth::NoteInstrument& instrument, const NoteChoice& note,
                                const LiveGuard& guard);

bool IsSilent(const std::vector<int16_t>& samples);

enum class ExportOutcome : uint8_t { Written, Silent, WriteFailed, ExportOutcomeCount };

struct ExportResult {
    ExportOutcome Outcome;
    std::string Reason;   // the system's words when writing failed
};

// Writes already rendered samples of `note` to `path`: nothing for a silent note.
ExportResult WriteNote(const std::vector<int16_t>& samples, const NoteChoice& note, const std::string& path,
                       FileFormat format);

}  // namespace soundexport
