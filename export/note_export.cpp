// Offline render of a note in guarded runs, its name, and its file.
#include "export/note_export.h"

#include <algorithm>
#include <array>
#include <bit>

#include "engine/ksynth.h"

namespace soundexport {
namespace {

constexpr int Channels = 2;
constexpr int FrameBytes = Channels * sizeof(int16_t);

constexpr std::array<const char*, 12> SemitoneNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                       "F#", "G",  "G#", "A",  "A#", "B"};
static_assert(SemitoneNames.size() == ksynth::NoteTable.size());

}  // namespace

std::string NoteName(const NoteChoice& note) {
    return std::string(SemitoneNames[note.Semitone % SemitoneNames.size()]) + std::to_string(note.OctaveIndex);
}

std::vector<int16_t> RenderNote(const ksynth::NoteInstrument& instrument, const NoteChoice& note,
                                const LiveGuard& guard) {
    const uint32_t frames = ksynth::NoteFrames(instrument.Envelopes);
    const uint8_t noteByte = ksynth::NoteTable[note.Semitone % ksynth::NoteTable.size()];
    ksynth::OfflineNote render(instrument, ksynth::NoteToPhaseStep(noteByte, note.OctaveIndex));
    std::vector<int16_t> samples(std::size_t{frames} * Channels);
    auto* out = reinterpret_cast<uint8_t*>(samples.data());
    for (uint32_t done = 0; done < frames;) {
        const uint32_t run = std::min(FramesPerGuardedRun, frames - done);
        guard([&] { render.Render(out + std::size_t{done} * FrameBytes, run); });
        done += run;
    }
    // The renderer writes little-endian bytes, as the sound card takes them.
    if constexpr (std::endian::native == std::endian::big) {
        for (int16_t& sample : samples) {
            const auto bits = static_cast<uint16_t>(sample);
            sample = static_cast<int16_t>(static_cast<uint16_t>(bits >> 8 | bits << 8));
        }
    }
    return samples;
}

bool IsSilent(const std::vector<int16_t>& samples) {
    return std::all_of(samples.begin(), samples.end(), [](int16_t sample) { return sample == 0; });
}

ExportResult WriteNote(const std::vector<int16_t>& samples, const NoteChoice& note, const std::string& path,
                       FileFormat format) {
    if (IsSilent(samples)) return {ExportOutcome::Silent, {}};
    if (auto reason = WriteSoundFile(path, format, samples, NoteName(note))) {
        return {ExportOutcome::WriteFailed, *reason};
    }
    return {ExportOutcome::Written, {}};
}

}  // namespace soundexport
