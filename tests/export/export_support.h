// What the export tests check against: the live renderer run as a first key press
// after program start, the default instrument, files read back with libsndfile,
// and the engine's whole state as plain numbers.
#pragma once

#include <sndfile.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "engine/ksynth.h"
#include "engine/offline.h"

namespace export_support {

using namespace ksynth;

// A fresh folder under the system's temporary directory, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tonare-export-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
            for (const auto& entry : std::filesystem::directory_iterator(path_, ignored)) {
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all, ignored);
            }
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Valid() const { return !path_.empty(); }
    std::filesystem::path Path() const { return path_; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
            names.push_back(entry.path().lexically_relative(path_).string());
        }
        return names;
    }

private:
    std::filesystem::path path_;
};

// The instrument a new window starts with: the editor's default curves and envelopes.
inline NoteInstrument DefaultInstrument() {
    NoteInstrument instrument;
    instrument.Curves = {{
        {255, 0, 255, 0, 255, 0, 255, 0, 255},
        {255, 255, 255, 255, 255, 255, 255, 255, 255},
        {0, 128, 128, 128, 0, 128, 0, 255, 0},
        {255, 255, 255, 255, 255, 255, 255, 255, 255},
    }};
    instrument.Envelopes = {{
        {0, 255, 80, 0, 0, 0, 0, 0, 0, 0},
        {0, 255, 128, 0, 0, 0, 0, 0, 0, 0},
        {0, 255, 0, 0, 0, 0, 0, 0, 0, 0},
        {96, 255, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 192, 80, 0, 0, 0, 0, 0, 0, 0},
    }};
    return instrument;
}

// The first `frames` frames a key press plays right after program start: the
// window's creation (curves into voice 0, both voices' envelopes loaded), the
// note start, then the renderer block by block as the sound card asks for them.
inline std::vector<int16_t> KeyPressFrames(const NoteInstrument& instrument, uint32_t phaseStep, uint32_t frames) {
    constexpr int BlockFrames = 2048;
    ResetEngine();
    for (unsigned curve = 0; curve < 4; ++curve) Voices[0].Curve(curve / 2, curve % 2).Assign(instrument.Curves[curve]);
    Voices[0].Osc2Detune = instrument.Osc2Detune;
    for (uint8_t e = 0; e < EnvelopeCount; ++e) {
        LoadEnvelope(0, e, instrument.Envelopes[e]);
        LoadEnvelope(1, e, instrument.Envelopes[e]);
    }
    StartNote(phaseStep, instrument.Envelopes);

    std::vector<int16_t> samples;
    std::array<uint8_t, 4 * BlockFrames> block{};
    while (samples.size() < 2u * frames) {
        RenderAudio(nullptr, block.data(), static_cast<int>(block.size()));
        for (std::size_t i = 0; i < block.size(); i += 2) {
            samples.push_back(static_cast<int16_t>(block[i] | block[i + 1] << 8));
        }
    }
    samples.resize(2u * frames);
    return samples;
}

struct SoundFile {
    bool Opened = false;
    SF_INFO Info{};
    std::vector<int16_t> Samples;
    std::string Title;
    std::string Software;
};

inline SoundFile ReadSoundFile(const std::filesystem::path& path) {
    SoundFile result;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &result.Info);
    if (file == nullptr) return result;
    result.Opened = true;
    result.Samples.resize(static_cast<std::size_t>(result.Info.frames * result.Info.channels));
    result.Samples.resize(static_cast<std::size_t>(sf_readf_short(file, result.Samples.data(), result.Info.frames) *
                                                   result.Info.channels));
    if (const char* title = sf_get_string(file, SF_STR_TITLE)) result.Title = title;
    if (const char* software = sf_get_string(file, SF_STR_SOFTWARE)) result.Software = software;
    sf_close(file);
    return result;
}

// Every field of the engine state a render or a note start can write, as numbers.
inline std::vector<int64_t> EngineFields() {
    std::vector<int64_t> fields;
    for (const VoiceState& v : Voices) {
        for (int64_t value : {int64_t{v.PhaseStep}, int64_t{v.XorSource}, int64_t{v.PulseWidth}, int64_t{v.Volume},
                              int64_t{v.Osc1Level}, int64_t{v.Osc2Level}, int64_t{v.Filter}, int64_t{v.NoiseMode},
                              int64_t{v.Osc2Detune}, int64_t{v.Output}, int64_t{v.Osc1Index}, int64_t{v.Osc2Index},
                              int64_t{v.FilterState}, int64_t{v.LeftShift}, int64_t{v.RightShift}, int64_t{v.Phase}}) {
            fields.push_back(value);
        }
        for (unsigned curve = 0; curve < 4; ++curve) {
            for (uint8_t point : v.Curve(curve / 2, curve % 2).Snapshot()) fields.push_back(point);
        }
    }
    for (const InstrumentSlot& slot : InstrumentSlots) {
        for (const EnvelopeState& env : slot.Envelopes) {
            for (int j = 0; j < StepCount; ++j) {
                fields.insert(fields.end(), {env.StepLength[j], env.StepTarget[j], env.StepRemaining[j],
                                             env.StepIncrement[j]});
            }
            fields.insert(fields.end(), {env.Invert, env.Repeat, env.Level});
        }
    }
    fields.push_back(TickCountdown);
    return fields;
}

// A note in the middle of playing: every field away from its start value.
inline void SetUpLiveNote() {
    ResetEngine();
    VoiceState& v = Voices[0];
    v.PhaseStep = FrequencyTable[330];
    v.Osc2Detune = 3;
    v.Osc1Waveform.Assign({0, 32, 64, 96, 128, 160, 192, 224, 255});
    v.Osc1Strength.Assign({200, 200, 200, 200, 200, 200, 200, 200, 200});
    v.Osc2Waveform.Assign({9, 8, 7, 6, 5, 4, 3, 2, 1});
    v.Osc2Strength.Assign({100, 110, 120, 130, 140, 150, 160, 170, 180});
    const std::array<EnvelopeParams, EnvelopeCount> envelopes = {{
        {0, 255, 30, 100, 0, 0, 0, 0, 0, 255},
        {0, 180, 0, 0, 0, 0, 0, 0, 0, 0},
        {20, 255, 0, 0, 0, 0, 0, 0, 0, 0},
        {5, 40, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 64, 0, 0, 0, 0, 0, 0, 0, 0},
    }};
    for (uint8_t e = 0; e < EnvelopeCount; ++e) LoadEnvelope(0, e, envelopes[e]);
    std::array<uint8_t, 8192> block{};
    for (int k = 0; k < 3; ++k) RenderAudio(nullptr, block.data(), 1000);   // ends between two ticks
    Voices[5].Phase = 77;   // a voice the renderer does not play
}

}  // namespace export_support
