// The audio device kept alive off the window thread: it opens, reopens after its
// stream died, and closes on worker threads, so a frozen or missing sound server
// never holds up the window. SDL 1.2 is not thread-safe: while a worker runs,
// the window thread makes no SDL call; once a device is open, SDL calls are the
// window thread's again.
#pragma once

#include <chrono>
#include <functional>

namespace SDLaudio {

enum class DeviceState { Closed, Opening, Open, Failed, DeviceStateCount };

DeviceState GetDeviceState();

// Starts (re)opening on a worker unless an attempt is already running; a device
// left open is closed first on that worker. onSettled runs on the worker when
// the attempt ends, whichever way; it must only post work to the window thread.
void DeviceOpenAsync(std::function<void()> onSettled);

// Window thread: the device failed to open, or its audio thread ended (SDL
// reports it stopped although we never closed it, e.g. the server went away).
bool DeviceIsDead();

// Window thread: asks the device to play once it is open. Returns true when the
// caller may unpause now (the device is open and alive), false when the request
// is kept for DeviceSettle.
bool DeviceRequestPlay();

// Window thread: pauses an open device and drops a pending play request.
void DeviceStop();

// Window thread, after onSettled: unpauses the device when a note was asked for
// while it opened. Returns the new state.
DeviceState DeviceSettle();

// Window thread: waits (up to timeout) for a running attempt to end.
bool DeviceWaitSettled(std::chrono::milliseconds timeout);

// Window thread: closes the device on a worker in the usual order (pause, close,
// quit SDL) and waits at most `deadline`. False when an open or close did not
// finish in time: it is abandoned and the process must not wait for it at exit.
bool DeviceClose(std::chrono::milliseconds deadline);

// True once DeviceClose gave up on a stuck worker.
bool DeviceAbandoned();

// Test seam: what the workers call to open and to close the device, so a test
// can stand in a call that never returns. Null (the default) is AudioOpen or
// AudioClose. Set it while no worker runs.
using DeviceOpenCall = bool (*)();
using DeviceCloseCall = void (*)();
void SetDeviceCalls(DeviceOpenCall open, DeviceCloseCall close);

}  // namespace SDLaudio
