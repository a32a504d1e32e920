// The audio callback must not allocate, free, lock a mutex or do output: any of
// them can block SDL's audio thread past the block's deadline.
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "tests/engine/engine_fixture.h"
#include "tests/engine/forbidden_calls.h"

using namespace ksynth;

namespace {

// The counters must see the calls they are meant to catch, or a clean run proves nothing.
// Calls go through volatile pointers so that the compiler cannot drop them.
TEST(ForbiddenCalls, EachKindIsCounted) {
    void* (*volatile allocate)(std::size_t) = std::malloc;
    void (*volatile release)(void*) = std::free;
    void* (*volatile allocateObject)(std::size_t) = ::operator new;
    void (*volatile releaseObject)(void*) = ::operator delete;
    int (*volatile lock)(pthread_mutex_t*) = pthread_mutex_lock;
    int (*volatile tryLock)(pthread_mutex_t*) = pthread_mutex_trylock;
    ssize_t (*volatile writeOut)(int, const void*, std::size_t) = write;
    std::size_t (*volatile writeStream)(const void*, std::size_t, std::size_t, FILE*) = std::fwrite;
    int (*volatile print)(const char*, ...) = std::printf;
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;

    forbidden_calls::Arm();
    release(allocate(16));
    releaseObject(allocateObject(16));
    lock(&mutex);
    pthread_mutex_unlock(&mutex);
    if (tryLock(&mutex) == 0) pthread_mutex_unlock(&mutex);
    [[maybe_unused]] const ssize_t written = writeOut(STDOUT_FILENO, "", 0);
    writeStream("", 1, 0, stdout);
    print("%s", "");
    const ForbiddenCallCounts seen = forbidden_calls::Disarm();

    EXPECT_GE(seen.allocations, 2);
    EXPECT_GE(seen.releases, 2);
    EXPECT_GE(seen.locks, 2);
    EXPECT_GE(seen.outputs, 3);
}

// Blocks in a row with ticks running: envelopes that restart (their loads divide
// again) and steps of length 0, on the plain voice and on the noise/XOR/shift path.
TEST(RealTimeSafety, RenderAudioMakesNoForbiddenCall) {
    StartFreshEngine();
    VoiceState& v = Voices[0];
    v.PhaseStep = FrequencyTable[440];
    v.Osc2Detune = -1;
    v.Osc1Waveform.Assign({0, 32, 64, 96, 128, 160, 192, 224, 255});
    v.Osc1Strength.Assign({255, 200, 150, 100, 50, 100, 150, 200, 255});
    v.Osc2Waveform.Assign({255, 0, 255, 0, 255, 0, 255, 0, 255});
    v.Osc2Strength.Assign({128, 128, 128, 128, 128, 128, 128, 128, 128});
    LoadEnvelope(0, 0, {3, 255, 0, 100, 4, 10, 2, 200, 0, 255});
    LoadEnvelope(0, 1, {0, 200, 5, 50, 0, 0, 3, 255, 0, 255});
    LoadEnvelope(0, 2, {7, 255, 7, 0, 0, 0, 0, 0, 255, 255});
    LoadEnvelope(0, 3, {0, 0, 0, 0, 0, 0, 0, 0, 0, 255});
    LoadEnvelope(0, 4, {10, 128, 10, 0, 0, 0, 0, 0, 0, 255});
    std::vector<uint8_t> block(4 * FramesPerCallback);

    forbidden_calls::Arm();
    for (int call = 0; call < 8; ++call) RenderAudio(nullptr, block.data(), static_cast<int>(block.size()));
    v.NoiseMode = 1;
    v.XorSource = 2;
    v.LeftShift = 1;
    v.RightShift = 3;
    for (int call = 0; call < 4; ++call) RenderAudio(nullptr, block.data(), static_cast<int>(block.size()));
    const ForbiddenCallCounts seen = forbidden_calls::Disarm();

    EXPECT_EQ(seen.allocations, 0);
    EXPECT_EQ(seen.releases, 0);
    EXPECT_EQ(seen.locks, 0);
    EXPECT_EQ(seen.outputs, 0);
}

}  // namespace
