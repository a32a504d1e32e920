// A sounding note hears an undone curve edit from the next frame: recorded
// through SDL's disk driver and compared with the engine's offline render.
#include <QAction>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QUndoStack>

#include <optional>
#include <vector>

#include "audio/SDLaudio.h"
#include "tests/audio/disk_audio.h"
#include "tests/ui/ui_fixture.h"
#include "ui/history.h"

namespace {

using disk_audio::Block;
using disk_audio::BlockBytes;

// Where the renderer stands in a note: no two blocks of the first seconds of a
// note leave the phase, the tick countdown and the five envelopes alike.
struct Progress {
    uint32_t Phase;
    int16_t Countdown;
    std::array<ksynth::EnvelopeState, ksynth::EnvelopeCount> Envelopes;

    static Progress Take() {
        return {ksynth::Voices[0].Phase, ksynth::TickCountdown, ksynth::InstrumentSlots[0].Envelopes};
    }
    bool operator==(const Progress& o) const {
        for (std::size_t e = 0; e < Envelopes.size(); ++e) {
            if (!SameEnvelopeState(Envelopes[e], o.Envelopes[e])) return false;
        }
        return Phase == o.Phase && Countdown == o.Countdown;
    }
};

// The engine as the window leaves it at start, with oscillator 1's first
// Waveform point at `point0`, and ButtonA0 pressed with "Octave" item 4.
void StartNoteOffline(uint8_t point0) {
    ksynth::ResetEngine();
    for (uint8_t e = 0; e < ksynth::EnvelopeCount; ++e) {
        ksynth::LoadEnvelope(0, e, StartEnvelopes[e]);
        ksynth::LoadEnvelope(1, e, StartEnvelopes[e]);
    }
    for (unsigned oscillator = 0; oscillator < 2; ++oscillator) {
        ksynth::Voices[0].Curve(oscillator, ksynth::Waveform).Assign(StartCurves[oscillator].Waveform);
        ksynth::Voices[0].Curve(oscillator, ksynth::Strength).Assign(StartCurves[oscillator].Strength);
    }
    ksynth::Voices[0].Osc1Waveform[0] = point0;
    ksynth::StartNote(ksynth::NoteToPhaseStep(ksynth::NoteTable[9], 4), StartEnvelopes);
}

Block RenderBlock() {
    Block block{};
    ksynth::RenderAudio(nullptr, block.data(), static_cast<int>(BlockBytes));
    return block;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

constexpr std::size_t BlocksBeforeUndo = 4;
constexpr std::size_t BlocksAfterUndo = 4;
constexpr std::size_t MostBlocksSearched = 400;

}  // namespace

class UndoSoundTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ksynth::BuildTables(); }

    void soundingNoteHearsTheUndoneEditFromTheNextFrame() {
        disk_audio::ScratchFolder scratch;
        QVERIFY(scratch.Valid());
        const std::filesystem::path file = scratch.Path() / "audio.raw";
        disk_audio::UseDiskDriver(file, 5);
        NewFormOnInstrumentPage();
        qputenv("SDL_AUDIODRIVER", "dummy");
        QCOMPARE(SDLaudio::GetDeviceState(), SDLaudio::DeviceState::Open);

        // One step: ScrollBar1's thumb dragged from 255 all the way to 0.
        ScrollBar* bar = Form1->CurveBars[0];
        const QPoint thumb = PartOf(bar, QStyle::SC_ScrollBarSlider).center();
        SendMouse(bar, QEvent::MouseButtonPress, thumb);
        SendMouse(bar, QEvent::MouseMove, QPoint(0, thumb.y()));
        SendMouse(bar, QEvent::MouseButtonRelease, QPoint(0, thumb.y()));
        QCOMPARE(Form1->EditHistory->Stack()->count(), 1);
        QCOMPARE(int(ksynth::Voices[0].Osc1Waveform[0]), 0);

        ClickIndicator(Form1->RadioGroup1->Item(3));
        QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);
        QVERIFY(disk_audio::WaitForFileBytes(file, disk_audio::FileBytes(file) + BlocksBeforeUndo * BlockBytes));

        std::optional<Progress> atUndo;
        std::uintmax_t bytesAtUndo = 0;
        {
            // Between two blocks: the renderer waits for the lock.
            SDLaudio::AudioLockGuard renderer;
            atUndo = Progress::Take();
            Form1->EditHistory->UndoAction()->trigger();
            QCOMPARE(int(ksynth::Voices[0].Osc1Waveform[0]), 255);
            bytesAtUndo = disk_audio::FileBytes(file);
        }
        // One block may still have been on its way to the file at the undo.
        QVERIFY(disk_audio::WaitForFileBytes(file, bytesAtUndo + (BlocksAfterUndo + 2) * BlockBytes));
        DeleteForm();
        const std::vector<Block> recorded = disk_audio::ReadBlocks(file);

        // The note starts after the paused device's silence.
        std::size_t noteStart = 0;
        while (noteStart < recorded.size() && disk_audio::IsSilent(recorded[noteStart])) ++noteStart;
        QVERIFY2(noteStart < recorded.size(), "the note was not heard");

        // Offline, with the edit, up to where the live renderer stood at the undo.
        StartNoteOffline(0);
        std::vector<Block> expected;
        while (!(Progress::Take() == *atUndo)) {
            QVERIFY2(expected.size() < MostBlocksSearched, "the renderer's place at the undo never came offline");
            expected.push_back(RenderBlock());
        }
        const std::size_t undoneAt = expected.size();
        QVERIFY2(undoneAt >= 1, "the edit was never heard");
        // Without the undo the next block would have sounded otherwise.
        const ksynth::VoiceState voice = ksynth::Voices[0];
        const auto envelopes = ksynth::InstrumentSlots[0].Envelopes;
        const int16_t countdown = ksynth::TickCountdown;
        const Block notUndone = RenderBlock();
        ksynth::Voices[0] = voice;
        ksynth::InstrumentSlots[0].Envelopes = envelopes;
        ksynth::TickCountdown = countdown;
        // From the block after the undo on, the point is back at 255.
        ksynth::Voices[0].Osc1Waveform[0] = 255;
        for (std::size_t b = 0; b < BlocksAfterUndo; ++b) expected.push_back(RenderBlock());
        QVERIFY(notUndone != expected[undoneAt]);

        QVERIFY2(recorded.size() >= noteStart + expected.size(), "too few blocks recorded");
        for (std::size_t b = 0; b < expected.size(); ++b) {
            QVERIFY2(recorded[noteStart + b] == expected[b],
                     qPrintable(QString("block %1 of the note (the undo came before block %2) differs")
                                    .arg(b)
                                    .arg(undoneAt)));
        }
    }
};

QTEST_MAIN(UndoSoundTest)
#include "undo_sound_test.moc"
