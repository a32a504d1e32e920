// SDL 1.2's ALSA driver asks to be woken when half its buffer is free, which an
// ALSA plugin may never signal; this caps that wake-up threshold at one period,
// and gives a buffer SDL sized alone periods of a quarter of it.
//
// Why: SDL sets a buffer of two blocks and avail_min of one block (2048 frames).
// The pulse plugin allows no fewer than three periods, so SDL gets 227-frame
// periods, and the plugin's poll descriptor turns ready as soon as one period
// is writable. Each poll() then returns at once while libasound waits for 2048
// frames: the audio thread spins. With the threshold at one period, poll()
// sleeps until the plugin has room and every wake-up writes what fits. Where
// SDL set only the buffer size (its fallback when two periods are refused, as
// by the pulse plugin), libasound's shortest period of 5 ms would wake the
// thread 200 times a second; a quarter buffer is 43 times.
//
// Threading: the override runs on whichever thread opens an ALSA PCM (SDL opens
// it on the device worker); it keeps no state of its own besides the real
// function's address, found once.
#pragma once

#include <alsa/asoundlib.h>

namespace SDLaudio {

// The wake-up threshold a PCM with this period size gets when `requested`
// frames are asked for: the request, but never more than one period. A period
// of 0 (hardware parameters not yet set) leaves the request as it is.
snd_pcm_uframes_t WakeupThreshold(snd_pcm_uframes_t requested, snd_pcm_uframes_t period);

// The period asked for a buffer of `buffer` frames whose period SDL left open.
snd_pcm_uframes_t PeriodForBuffer(snd_pcm_uframes_t buffer);

// True when the process-wide snd_pcm_sw_params_set_avail_min and
// snd_pcm_hw_params_set_buffer_size_near, the ones SDL's driver calls, are this
// module's. Calling it also links the
// override into any program that uses SDLaudio.
bool WakeupCapInstalled();

}  // namespace SDLaudio
