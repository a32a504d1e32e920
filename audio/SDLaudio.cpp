// The SDL 1.2 audio device: open, pause, lock and close around the engine's renderer.
#include "audio/SDLaudio.h"

#include <SDL.h>

#include "audio/AlsaWakeup.h"
#include "engine/ksynth.h"

namespace SDLaudio {
namespace {

// Kept from the failed call: SDL's error text is overwritten by later calls.
char LastError[256] = "";

// Referenced so every program that opens the device carries the ALSA wake-up cap.
[[maybe_unused]] const bool WakeupCap = WakeupCapInstalled();

LockHook AfterLock = nullptr;
LockHook BeforeUnlock = nullptr;

bool Fail() {
    SDL_strlcpy(LastError, SDL_GetError(), sizeof LastError);
    return false;
}

}  // namespace

bool AudioOpen() {
    LastError[0] = '\0';
    SDL_AudioSpec desired{};
    desired.freq = ksynth::EngineConfig::SampleRate;
    desired.format = AUDIO_S16LSB;
    desired.channels = 2;
    desired.samples = ksynth::FramesPerCallback;
    desired.callback = ksynth::RenderAudio;
    desired.userdata = nullptr;

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return Fail();
    // No obtained format: SDL then converts to the hardware's format itself, so the
    // callback always sees exactly this format and block size.
    return SDL_OpenAudio(&desired, nullptr) >= 0 || Fail();
}

const char* AudioError() {
    return LastError;
}

void AudioSetPaused(bool paused) {
    SDL_PauseAudio(paused ? 1 : 0);
}

void AudioClose() {
    SDL_PauseAudio(1);
    SDL_CloseAudio();
    SDL_Quit();
}

// SDL holds this lock around every callback.
void AudioLock() {
    SDL_LockAudio();
    if (AfterLock) AfterLock();
}

void AudioUnlock() {
    if (BeforeUnlock) BeforeUnlock();
    SDL_UnlockAudio();
}

void SetLockHooks(LockHook afterLock, LockHook beforeUnlock) {
    AfterLock = afterLock;
    BeforeUnlock = beforeUnlock;
}

}  // namespace SDLaudio
