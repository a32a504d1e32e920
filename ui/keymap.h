// The computer keyboard as a piano, tracker style: which key plays which piano key.
#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace keymap {

// A piano key's Tag: 16 x octave offset + semitone.
using Tag = int;

// The piano key a keyboard key plays. Looked up by the X keycode (the key's
// physical place, the same on QWERTY, QWERTZ and AZERTY); where the platform
// gives none (0), by the Qt key as it lies on a US layout.
std::optional<Tag> NoteKey(uint32_t nativeScanCode, int qtKey);

// The keyboard keys that play a piano key, as printed on a US keyboard
// ("Q", "Q or ,"); empty for the keys that only the mouse plays.
QString KeyNames(Tag tag);

}  // namespace keymap
