// The audio device: a thin layer over SDL 1.2 that plays the engine's renderer.
// Without a sound card AudioOpen returns false and every later call stays harmless.
#pragma once

namespace SDLaudio {

// Starts SDL's audio subsystem and opens the device, paused, at 44100 Hz,
// signed 16-bit little-endian stereo, 2048 frames per callback.
bool AudioOpen();

// SDL's own words for the last failed AudioOpen, "" when it succeeded.
const char* AudioError();

// Stops (true) or starts (false) the callbacks.
void AudioSetPaused(bool paused);

// Pauses, closes the device and shuts SDL down.
void AudioClose();

// Holds off the renderer: while locked, no callback runs. Groups of engine
// writes that must not interleave with a rendered frame go between these.
void AudioLock();
void AudioUnlock();

// Test seam: called just after the lock is taken and just before it is let go.
// Null (the default) calls nothing.
using LockHook = void (*)();
void SetLockHooks(LockHook afterLock, LockHook beforeUnlock);

class AudioLockGuard {
public:
    AudioLockGuard() { AudioLock(); }
    ~AudioLockGuard() { AudioUnlock(); }
    AudioLockGuard(const AudioLockGuard&) = delete;
    AudioLockGuard& operator=(const AudioLockGuard&) = delete;
};

}  // namespace SDLaudio
