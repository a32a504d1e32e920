// Note starts and curve edits from the window thread against a running device.
// Built with ThreadSanitizer: any race fails the run. The check itself is that
// no envelope tick is lost, so ticks stay exactly 882 frames apart.
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <thread>

#include "audio/SDLaudio.h"
#include "disk_audio.h"
#include "engine/ksynth.h"

namespace {

using namespace ksynth;

constexpr int TickFrames = 882;     // 44100 frames/s at 50 ticks/s
constexpr int BlockFrames = 2048;   // frames of one callback

// Envelope 0 counts the ticks since the note start: four steps of 255 ticks,
// none of length 0, so the ticks done are the lengths minus what remains.
constexpr EnvelopeParams TickCounter = {255, 255, 255, 0, 255, 255, 255, 0, 0, 0};
constexpr int TickCounterLength = 4 * 255;

// The other four envelopes keep the tick busy: short steps, restarts, a step of length 0.
constexpr std::array<EnvelopeParams, 4> OtherEnvelopes = {{
    {3, 255, 5, 40, 0, 90, 2, 10, 0, 255},
    {0, 128, 7, 255, 0, 0, 0, 0, 255, 0},
    {10, 60, 10, 0, 0, 0, 0, 0, 0, 255},
    {1, 200, 0, 0, 4, 30, 0, 0, 0, 0},
}};

int TicksSinceNoteStart() {
    const EnvelopeState& counter = InstrumentSlots[0].Envelopes[0];
    int remaining = 0;
    for (int32_t steps : counter.StepRemaining) remaining += steps;
    return TickCounterLength - remaining;
}

// What the window does for a key press; the caller holds the audio lock.
void LoadNote(unsigned note) {
    std::array<EnvelopeParams, EnvelopeCount> envelopes{};
    envelopes[0] = TickCounter;
    for (int k = 1; k < EnvelopeCount; ++k) envelopes[k] = OtherEnvelopes[k - 1];
    StartNote(NoteToPhaseStep(NoteTable[note % 12], static_cast<uint8_t>(note % 8)), envelopes);
}

// Edits as the window makes them while a note sounds, without the lock.
void EditCurves(unsigned round) {
    VoiceState& v = Voices[0];
    for (unsigned k = 0; k < CurvePointCount; ++k) {
        v.Osc1Waveform[k] = static_cast<uint8_t>(round * 7 + k * 32);
        v.Osc1Strength[k] = static_cast<uint8_t>(255 - round - k);
        v.Osc2Waveform[k] = static_cast<uint8_t>(round * 13 + k * 29);
        v.Osc2Strength[k] = static_cast<uint8_t>(round + k * 3);
    }
    v.Osc2Detune = static_cast<int8_t>(static_cast<int>(round % 32) - 16);
}

struct Tally {
    long checks = 0;
    long notes = 0;
    long callbacks = 0;   // whole blocks seen between note starts
};

// Between callbacks, (ticks since the note start) x TickFrames - TickCountdown
// is the number of frames rendered since the note, which come in whole blocks.
// Runs until every minimum is reached; the deadline only ends a run that stalls.
constexpr Tally Minimum = {1000, 20, 48};

bool Enough(const Tally& tally) {
    return tally.checks >= Minimum.checks && tally.notes >= Minimum.notes && tally.callbacks >= Minimum.callbacks;
}

void PlayNotesAndCheckTicks(Tally& tally) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    constexpr long MaxRounds = 2000000;
    {
        SDLaudio::AudioLockGuard lock;
        LoadNote(static_cast<unsigned>(tally.notes++));
    }
    SDLaudio::AudioSetPaused(false);
    for (long round = 0; round < MaxRounds && !Enough(tally) && std::chrono::steady_clock::now() < deadline;
         ++round) {
        bool started = false;
        {
            SDLaudio::AudioLockGuard lock;
            const int ticks = TicksSinceNoteStart();
            const int countdown = TickCountdown;
            ASSERT_GE(ticks, 0);
            ASSERT_LT(ticks, TickCounterLength) << "the note outlived its counter envelope";
            ASSERT_GE(countdown, 0) << "after " << ticks << " ticks";
            ASSERT_LT(countdown, TickFrames) << "after " << ticks << " ticks";
            const int frames = ticks * TickFrames - countdown;
            ASSERT_EQ(frames % BlockFrames, 0)
                << ticks << " ticks with TickCountdown " << countdown << ": a tick was lost or doubled";
            ++tally.checks;
            // Restart after a varying number of ticks, sometimes before any callback.
            if (ticks >= static_cast<int>(round % 41)) {
                tally.callbacks += frames / BlockFrames;
                LoadNote(static_cast<unsigned>(tally.notes++));
                started = true;
            }
        }
        if (started) SDLaudio::AudioSetPaused(false);
        for (unsigned burst = 0; burst < 16; ++burst) EditCurves(static_cast<unsigned>(round) + burst);
        // Let the audio thread take the lock between our rounds.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

TEST(AudioStress, NoteStartsAndEditsLoseNoEnvelopeTick) {
    disk_audio::ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    disk_audio::UseDiskDriver(folder.Path() / "stress.raw", 2);
    BuildTables();
    ResetEngine();
    EditCurves(0);
    ASSERT_TRUE(SDLaudio::AudioOpen());

    Tally tally;
    PlayNotesAndCheckTicks(tally);
    SDLaudio::AudioClose();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    std::cout << tally.checks << " checks, " << tally.notes << " notes, " << tally.callbacks
              << " callbacks between note starts\n";
    EXPECT_GE(tally.checks, Minimum.checks);
    EXPECT_GE(tally.notes, Minimum.notes);
    EXPECT_GE(tally.callbacks, Minimum.callbacks);
}

}  // namespace
