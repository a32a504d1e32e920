// Exporting the longest note (20.4 s): its offline render against the renderer
// alone on the same frames, the whole export to FLAC and to WAV, and what one
// swap of the live state costs.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "engine/offline.h"
#include "export/note_export.h"
#include "tests/export/export_support.h"

namespace {

using namespace ksynth;

// The default curves, every envelope at its longest and the volume repeating: 1020 ticks.
NoteInstrument LongestNote() {
    NoteInstrument instrument = export_support::DefaultInstrument();
    for (EnvelopeParams& e : instrument.Envelopes) e = {255, 255, 255, 100, 255, 200, 255, 50, 0, 255};
    return instrument;
}

constexpr soundexport::NoteChoice A4{9, 4};

uint32_t PhaseStepOf(const soundexport::NoteChoice& note) {
    return NoteToPhaseStep(NoteTable[note.Semitone], note.OctaveIndex);
}

// The audio lock's stand-in: SDL's is a mutex too, and no device plays here.
std::mutex AudioMutex;
const soundexport::LiveGuard Locked = [](const std::function<void()>& work) {
    std::lock_guard lock(AudioMutex);
    work();
};

void SetPerFrame(benchmark::State& state, uint32_t frames) {
    state.counters["per_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The baseline: the same note start and the same frames straight through the
// renderer on the live globals, block by block as the device asks.
void BM_RendererAloneLongestNote(benchmark::State& state) {
    BuildTables();
    const NoteInstrument instrument = LongestNote();
    if (NoteTicks(instrument.Envelopes) != LongestNoteTicks) state.SkipWithError("not the longest note");
    const uint32_t frames = NoteFrames(instrument.Envelopes);
    std::vector<uint8_t> out(std::size_t{frames} * 4);
    for (auto _ : state) {
        ResetEngine();
        for (unsigned c = 0; c < CurveSlotCount; ++c) Voices[0].Curve(c / 2, c % 2).Assign(instrument.Curves[c]);
        StartNote(PhaseStepOf(A4), instrument.Envelopes);
        for (uint32_t done = 0; done < frames; done += FramesPerCallback) {
            const uint32_t block = std::min<uint32_t>(FramesPerCallback, frames - done);
            RenderAudio(nullptr, out.data() + std::size_t{done} * 4, static_cast<int>(block * 4));
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    SetPerFrame(state, frames);
}
BENCHMARK(BM_RendererAloneLongestNote)->Unit(benchmark::kMillisecond);

void BM_ExportRenderLongestNote(benchmark::State& state) {
    BuildTables();
    const NoteInstrument instrument = LongestNote();
    for (auto _ : state) {
        std::vector<int16_t> samples = soundexport::RenderNote(instrument, A4, Locked);
        benchmark::DoNotOptimize(samples.data());
    }
    SetPerFrame(state, NoteFrames(instrument.Envelopes));
}
BENCHMARK(BM_ExportRenderLongestNote)->Unit(benchmark::kMillisecond);

void ExportToFile(benchmark::State& state, soundexport::FileFormat format, const char* name) {
    BuildTables();
    std::string folder = (std::filesystem::temp_directory_path() / "tonare-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string path = folder + "/" + name;
    const NoteInstrument instrument = LongestNote();
    for (auto _ : state) {
        const std::vector<int16_t> samples = soundexport::RenderNote(instrument, A4, Locked);
        const soundexport::ExportResult result = soundexport::WriteNote(samples, A4, path, format);
        if (result.Outcome != soundexport::ExportOutcome::Written) state.SkipWithError(result.Reason.c_str());
    }
    std::error_code ignored;
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path, ignored));
    std::filesystem::remove_all(folder);
}

void BM_ExportLongestNoteToFlac(benchmark::State& state) {
    ExportToFile(state, soundexport::FileFormat::Flac, "longest.flac");
}
BENCHMARK(BM_ExportLongestNoteToFlac)->Unit(benchmark::kMillisecond);

void BM_ExportLongestNoteToWav(benchmark::State& state) {
    ExportToFile(state, soundexport::FileFormat::Wav, "longest.wav");
}
BENCHMARK(BM_ExportLongestNoteToWav)->Unit(benchmark::kMillisecond);

// The live state swapped out and back in, as around every guarded run.
void BM_ExchangeEngineStateTwice(benchmark::State& state) {
    BuildTables();
    EngineState aside{};
    for (auto _ : state) {
        ExchangeEngineState(aside);
        ExchangeEngineState(aside);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ExchangeEngineStateTwice)->Unit(benchmark::kMicrosecond);

// The longest the audio callback can wait on an export: one guarded run.
void BM_OneGuardedRun(benchmark::State& state) {
    BuildTables();
    OfflineNote note(LongestNote(), PhaseStepOf(A4));
    std::vector<uint8_t> out(std::size_t{soundexport::FramesPerGuardedRun} * 4);
    for (auto _ : state) {
        note.Render(out.data(), soundexport::FramesPerGuardedRun);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_OneGuardedRun)->Unit(benchmark::kMicrosecond);

}  // namespace
