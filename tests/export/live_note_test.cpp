// A note sounding through SDL's disk driver while notes are exported: every
// played block is what the note alone renders, and each export is the first
// key press's render all the same.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "audio/SDLaudio.h"
#include "export/note_export.h"
#include "tests/audio/disk_audio.h"
#include "tests/audio/test_note.h"
#include "tests/export/export_support.h"

namespace {

using disk_audio::Block;
using disk_audio::BlockBytes;

TEST(LiveNote, SoundsOnUnchangedWhileNotesAreExported) {
    disk_audio::ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    const auto file = folder.Path() / "device.raw";
    disk_audio::UseDiskDriver(file, 2);
    test_note::SetUpNote();
    ASSERT_TRUE(SDLaudio::AudioOpen());
    SDLaudio::AudioSetPaused(false);
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, 4 * BlockBytes));

    // The longest note, exported again and again while the device plays.
    ksynth::NoteInstrument instrument = export_support::DefaultInstrument();
    instrument.Envelopes[3] = {255, 1, 255, 2, 255, 3, 255, 4, 0, 0};
    instrument.Envelopes[0].Repeat = 255;
    const soundexport::NoteChoice note{9, 4};
    const soundexport::LiveGuard underLock = [](const std::function<void()>& work) {
        SDLaudio::AudioLockGuard lock;
        work();
    };
    constexpr int Exports = 6;
    std::vector<std::vector<int16_t>> exported;
    const std::uintmax_t bytesBefore = disk_audio::FileBytes(file);
    for (int k = 0; k < Exports; ++k) exported.push_back(soundexport::RenderNote(instrument, note, underLock));
    const std::uintmax_t bytesAfter = disk_audio::FileBytes(file);
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, bytesAfter + 4 * BlockBytes));

    SDLaudio::AudioSetPaused(true);
    ASSERT_TRUE(disk_audio::WaitForFileBytes(file, disk_audio::FileBytes(file) + 3 * BlockBytes));
    SDLaudio::AudioClose();
    EXPECT_GT(bytesAfter, bytesBefore) << "no block was played during the exports";

    const std::vector<Block> written = disk_audio::ReadBlocks(file);
    std::size_t first = 0;
    while (first < written.size() && disk_audio::IsSilent(written[first])) ++first;
    std::size_t end = written.size();
    while (end > first && disk_audio::IsSilent(written[end - 1])) --end;
    const std::size_t played = end - first;
    ASSERT_GE(played, 8u);
    const std::vector<Block> expected = test_note::RenderOffline(played);
    for (std::size_t i = 0; i < played; ++i) {
        ASSERT_TRUE(written[first + i] == expected[i])
            << "played block " << i << " of " << played << " differs from byte "
            << test_note::FirstDifference(written[first + i], expected[i]);
    }

    const uint8_t noteByte = ksynth::NoteTable[note.Semitone];
    const std::vector<int16_t> keyPress = export_support::KeyPressFrames(
        instrument, ksynth::NoteToPhaseStep(noteByte, note.OctaveIndex), ksynth::NoteFrames(instrument.Envelopes));
    for (int k = 0; k < Exports; ++k) EXPECT_TRUE(exported[k] == keyPress) << "export " << k;
}

}  // namespace
