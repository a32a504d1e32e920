// The override of libasound's snd_pcm_sw_params_set_avail_min that SDL's ALSA
// driver binds to: a definition in the program comes before the library's.
#include "audio/AlsaWakeup.h"

#include <dlfcn.h>

#include <algorithm>

namespace {

using SetAvailMin = int (*)(snd_pcm_t*, snd_pcm_sw_params_t*, snd_pcm_uframes_t);

// The symbol version SDL 1.2 and every libasound.so.2 since 1.0 carry.
constexpr const char* AvailMinVersion = "ALSA_0.9";

SetAvailMin RealSetAvailMin() {
    static const SetAvailMin real = reinterpret_cast<SetAvailMin>(
        dlvsym(RTLD_NEXT, "snd_pcm_sw_params_set_avail_min", AvailMinVersion));
    return real;
}

}  // namespace

namespace SDLaudio {

snd_pcm_uframes_t WakeupThreshold(snd_pcm_uframes_t requested, snd_pcm_uframes_t period) {
    return period == 0 ? requested : std::min(requested, period);
}

bool WakeupCapInstalled() {
    // What libSDL's call resolves to: the first definition in the global scope.
    return dlsym(RTLD_DEFAULT, "snd_pcm_sw_params_set_avail_min") ==
           reinterpret_cast<void*>(&snd_pcm_sw_params_set_avail_min);
}

}  // namespace SDLaudio

extern "C" int snd_pcm_sw_params_set_avail_min(snd_pcm_t* pcm, snd_pcm_sw_params_t* params,
                                               snd_pcm_uframes_t val) {
    const SetAvailMin real = RealSetAvailMin();
    if (!real) return -ENOSYS;
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_uframes_t period = 0;
    if (snd_pcm_get_params(pcm, &buffer, &period) < 0) period = 0;
    return real(pcm, params, SDLaudio::WakeupThreshold(val, period));
}
