// Test seam of the renderer: in the ksynth_probe build of the engine
// (KSYNTH_FRAME_HOOK defined) it calls BeforeFrame, when set, before every frame,
// where an edit from the window thread can land between two frames of a block.
// The shipped engine has no hook.
#pragma once

namespace ksynth {

extern void (*BeforeFrame)();

}  // namespace ksynth
