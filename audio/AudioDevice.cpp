// Opens, reopens and closes the SDL device on detached worker threads and
// publishes the outcome in an atomic, so the window thread never waits on SDL.
#include "audio/AudioDevice.h"

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "audio/SDLaudio.h"

namespace SDLaudio {
namespace {

// Never destroyed: a worker given up at Quit may still hold on to it at exit.
struct Shared {
    std::atomic<DeviceState> State{DeviceState::Closed};
    std::atomic<bool> PlayRequested{false};
    std::atomic<bool> Abandoned{false};
    std::mutex Mutex;
    std::condition_variable Done;
    bool Busy = false;                  // a worker runs; under Mutex
    std::function<void()> Settled;      // under Mutex
    std::atomic<DeviceOpenCall> Open{nullptr};
    std::atomic<DeviceCloseCall> Close{nullptr};
};
Shared& S = *new Shared;

bool OpenCall() {
    const DeviceOpenCall open = S.Open.load();
    return open ? open() : AudioOpen();
}

void CloseCall() {
    const DeviceCloseCall close = S.Close.load();
    if (close) {
        close();
    } else {
        AudioClose();
    }
}

// The caller holds Mutex and has checked that no worker runs.
void StartWorker(std::function<void()> job) {
    S.Busy = true;
    std::thread([job = std::move(job)] {
        job();
        const std::lock_guard<std::mutex> lock(S.Mutex);
        S.Busy = false;
        if (S.Settled) S.Settled();
        S.Done.notify_all();
    }).detach();
}

}  // namespace

DeviceState GetDeviceState() {
    return S.State.load(std::memory_order_acquire);
}

void DeviceOpenAsync(std::function<void()> onSettled) {
    const std::lock_guard<std::mutex> lock(S.Mutex);
    if (S.Busy) return;
    S.Settled = std::move(onSettled);
    const bool started = GetDeviceState() != DeviceState::Closed;
    S.State.store(DeviceState::Opening, std::memory_order_release);
    StartWorker([started] {
        // Closing a device whose audio thread already ended returns at once.
        if (started) CloseCall();
        // Normal scheduling, inherited by SDL's audio thread: under load a raise gave
        // no fewer dropouts, since the thread waits on a sound server that is not raised.
        const bool opened = OpenCall();
        S.State.store(opened ? DeviceState::Open : DeviceState::Failed, std::memory_order_release);
    });
}

bool DeviceIsDead() {
    switch (GetDeviceState()) {
    case DeviceState::Open:
        // Paused reads SDL_AUDIO_PAUSED; only an ended audio thread reads stopped.
        return SDL_GetAudioStatus() == SDL_AUDIO_STOPPED;
    case DeviceState::Opening:
        return false;
    default:
        return true;
    }
}

bool DeviceRequestPlay() {
    if (GetDeviceState() == DeviceState::Open && !DeviceIsDead()) return true;
    S.PlayRequested.store(true);
    return false;
}

void DeviceStop() {
    S.PlayRequested.store(false);
    if (GetDeviceState() == DeviceState::Open) AudioSetPaused(true);
}

DeviceState DeviceSettle() {
    const DeviceState state = GetDeviceState();
    if (state == DeviceState::Open && S.PlayRequested.exchange(false)) {
        // The note was written without the lock while the device opened; taking
        // it once hands those writes over to the audio thread before it plays.
        AudioLock();
        AudioUnlock();
        AudioSetPaused(false);
    } else if (state == DeviceState::Failed) {
        S.PlayRequested.store(false);
    }
    return state;
}

bool DeviceWaitSettled(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(S.Mutex);
    return S.Done.wait_for(lock, timeout, [] { return !S.Busy; });
}

bool DeviceClose(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::unique_lock<std::mutex> lock(S.Mutex);
    S.Settled = nullptr;
    S.PlayRequested.store(false);
    const auto idle = [] { return !S.Busy; };
    if (!S.Done.wait_until(lock, end, idle)) {
        S.Abandoned.store(true);
        return false;
    }
    if (GetDeviceState() == DeviceState::Closed) return true;
    StartWorker([] {
        CloseCall();
        S.State.store(DeviceState::Closed, std::memory_order_release);
    });
    if (!S.Done.wait_until(lock, end, idle)) {
        S.Abandoned.store(true);
        return false;
    }
    return true;
}

bool DeviceAbandoned() {
    return S.Abandoned.load();
}

void SetDeviceCalls(DeviceOpenCall open, DeviceCloseCall close) {
    S.Open.store(open);
    S.Close.store(close);
}

}  // namespace SDLaudio
