// The overrides of two libasound calls that SDL's ALSA driver binds to: a
// definition in the program comes before the library's.
#include "audio/AlsaWakeup.h"

#include <dlfcn.h>

#include <algorithm>

namespace {

using SetAvailMin = int (*)(snd_pcm_t*, snd_pcm_sw_params_t*, snd_pcm_uframes_t);
using SetBufferSizeNear = int (*)(snd_pcm_t*, snd_pcm_hw_params_t*, snd_pcm_uframes_t*);

constexpr snd_pcm_uframes_t PeriodsPerBuffer = 4;

// The versions SDL 1.2 binds to, the current ones of every libasound.so.2.
constexpr const char* AvailMinVersion = "ALSA_0.9";
constexpr const char* BufferSizeNearVersion = "ALSA_0.9.0rc4";

template <typename Function>
Function Real(const char* name, const char* version) {
    return reinterpret_cast<Function>(dlvsym(RTLD_NEXT, name, version));
}

}  // namespace

namespace SDLaudio {

snd_pcm_uframes_t WakeupThreshold(snd_pcm_uframes_t requested, snd_pcm_uframes_t period) {
    return period == 0 ? requested : std::min(requested, period);
}

snd_pcm_uframes_t PeriodForBuffer(snd_pcm_uframes_t buffer) {
    return buffer / PeriodsPerBuffer;
}

bool WakeupCapInstalled() {
    // What libSDL's calls resolve to: the first definitions in the global scope.
    return dlsym(RTLD_DEFAULT, "snd_pcm_sw_params_set_avail_min") ==
               reinterpret_cast<void*>(&snd_pcm_sw_params_set_avail_min) &&
           dlsym(RTLD_DEFAULT, "snd_pcm_hw_params_set_buffer_size_near") ==
               reinterpret_cast<void*>(&snd_pcm_hw_params_set_buffer_size_near);
}

}  // namespace SDLaudio

extern "C" int snd_pcm_sw_params_set_avail_min(snd_pcm_t* pcm, snd_pcm_sw_params_t* params,
                                               snd_pcm_uframes_t val) {
    static const auto real = Real<SetAvailMin>("snd_pcm_sw_params_set_avail_min", AvailMinVersion);
    if (!real) return -ENOSYS;
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_uframes_t period = 0;
    if (snd_pcm_get_params(pcm, &buffer, &period) < 0) period = 0;
    return real(pcm, params, SDLaudio::WakeupThreshold(val, period));
}

extern "C" int snd_pcm_hw_params_set_buffer_size_near(snd_pcm_t* pcm, snd_pcm_hw_params_t* params,
                                                      snd_pcm_uframes_t* val) {
    static const auto real = Real<SetBufferSizeNear>("snd_pcm_hw_params_set_buffer_size_near", BufferSizeNearVersion);
    if (!real) return -ENOSYS;
    const int result = real(pcm, params, val);
    if (result < 0) return result;
    // Tried on a copy: a device that refuses the period keeps its choice.
    snd_pcm_hw_params_t* trial = nullptr;
    snd_pcm_hw_params_alloca(&trial);
    snd_pcm_hw_params_copy(trial, params);
    snd_pcm_uframes_t period = SDLaudio::PeriodForBuffer(*val);
    if (snd_pcm_hw_params_set_period_size_near(pcm, trial, &period, nullptr) >= 0) {
        snd_pcm_hw_params_copy(params, trial);
    }
    return result;
}
