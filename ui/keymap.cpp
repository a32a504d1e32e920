// The tracker piano: three rows of the computer keyboard over the three octaves of keys.
#include "ui/keymap.h"

#include <array>

#include <QStringList>

namespace keymap {
namespace {

constexpr int SemitonesPerOctave = 12;
constexpr Tag OffsetTag = 16;   // Tag step from one octave offset to the next

struct KeyPlace {
    uint32_t keycode;   // X keycode: the physical key
    int qtKey;          // the same key on a US layout
    const char* name;
    Tag tag;
};

constexpr Tag At(int offset, int semitone) {
    return OffsetTag * offset + semitone;
}

// Lowest row plays offset 0, the row above offset 1 (with the end of the bottom row
// repeating its first notes, as trackers do), the top row offset 2 up to G.
constexpr std::array<KeyPlace, 37> Places = {{
    {52, Qt::Key_Z, "Z", At(0, 0)},           {39, Qt::Key_S, "S", At(0, 1)},
    {53, Qt::Key_X, "X", At(0, 2)},           {40, Qt::Key_D, "D", At(0, 3)},
    {54, Qt::Key_C, "C", At(0, 4)},           {55, Qt::Key_V, "V", At(0, 5)},
    {42, Qt::Key_G, "G", At(0, 6)},           {56, Qt::Key_B, "B", At(0, 7)},
    {43, Qt::Key_H, "H", At(0, 8)},           {57, Qt::Key_N, "N", At(0, 9)},
    {44, Qt::Key_J, "J", At(0, 10)},          {58, Qt::Key_M, "M", At(0, 11)},
    {24, Qt::Key_Q, "Q", At(1, 0)},           {11, Qt::Key_2, "2", At(1, 1)},
    {25, Qt::Key_W, "W", At(1, 2)},           {12, Qt::Key_3, "3", At(1, 3)},
    {26, Qt::Key_E, "E", At(1, 4)},           {27, Qt::Key_R, "R", At(1, 5)},
    {14, Qt::Key_5, "5", At(1, 6)},           {28, Qt::Key_T, "T", At(1, 7)},
    {15, Qt::Key_6, "6", At(1, 8)},           {29, Qt::Key_Y, "Y", At(1, 9)},
    {16, Qt::Key_7, "7", At(1, 10)},          {30, Qt::Key_U, "U", At(1, 11)},
    {59, Qt::Key_Comma, ",", At(1, 0)},       {46, Qt::Key_L, "L", At(1, 1)},
    {60, Qt::Key_Period, ".", At(1, 2)},      {47, Qt::Key_Semicolon, ";", At(1, 3)},
    {61, Qt::Key_Slash, "/", At(1, 4)},
    {31, Qt::Key_I, "I", At(2, 0)},           {18, Qt::Key_9, "9", At(2, 1)},
    {32, Qt::Key_O, "O", At(2, 2)},           {19, Qt::Key_0, "0", At(2, 3)},
    {33, Qt::Key_P, "P", At(2, 4)},           {34, Qt::Key_BracketLeft, "[", At(2, 5)},
    {21, Qt::Key_Equal, "=", At(2, 6)},       {35, Qt::Key_BracketRight, "]", At(2, 7)},
}};

static_assert(At(2, SemitonesPerOctave - 1) < 3 * OffsetTag);

}  // namespace

std::optional<Tag> NoteKey(uint32_t nativeScanCode, int qtKey) {
    for (const KeyPlace& place : Places) {
        if (nativeScanCode != 0 ? place.keycode == nativeScanCode : place.qtKey == qtKey) return place.tag;
    }
    return std::nullopt;
}

QString KeyNames(Tag tag) {
    QStringList names;
    for (const KeyPlace& place : Places) {
        if (place.tag == tag) names << place.name;
    }
    return names.join(" or ");
}

}  // namespace keymap
