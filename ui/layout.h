// The window's layout, built by TForm1's Build* functions in layout.cpp: the
// counts of it that the handlers share.
#pragma once

#include "engine/ksynth.h"

namespace layout {

// The piano keys: three rows of twelve, "lower", "middle" and "upper".
constexpr int OctaveOffsets = 3;
constexpr int SemitonesPerOctave = 12;
constexpr int KeyCount = OctaveOffsets * SemitonesPerOctave;

// The "Octave" group's items "1" .. "6", chosen with F1 .. F6.
constexpr int OctaveItems = 6;

// The curve bars: a Waveform column (ScrollBar1..9) and a Strength column
// (ScrollBar10..18), one row per curve point.
constexpr int CurveColumns = 2;
constexpr int CurveBarCount = CurveColumns * ksynth::CurvePointCount;

// The envelope bars, one per byte of an envelope's four steps.
constexpr int EnvelopeBarCount = 2 * ksynth::StepCount;

}  // namespace layout
