// A piano key writes its note start under the audio lock: seen through the
// audio module's lock hooks, the engine's note-start fields are untouched when
// the lock is taken and hold the new note when it is let go.
#include <QPushButton>
#include <QRadioButton>

#include "audio/AudioDevice.h"
#include "audio/SDLaudio.h"
#include "tests/ui/ui_fixture.h"

namespace {

// Sentinels no note start leaves behind.
constexpr uint32_t StalePhaseStep = 1;
constexpr uint16_t StaleCountdown = 77;

struct Seen {
    uint32_t PhaseStep;
    int Countdown;
};

int Locks = 0;
int Unlocks = 0;
Seen AtLock{};
Seen AtUnlock{};

Seen Now() {
    return {ksynth::Voices[0].PhaseStep, int(ksynth::TickCountdown)};
}

}  // namespace

class NoteLockTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    void init() { NewFormOnInstrumentPage(); }
    void cleanup() {
        SDLaudio::SetLockHooks(nullptr, nullptr);
        DeleteForm();
    }

    void keyWritesTheNoteStartUnderOneLock() {
        QCOMPARE(SDLaudio::GetDeviceState(), SDLaudio::DeviceState::Open);
        ksynth::Voices[0].PhaseStep = StalePhaseStep;
        ksynth::TickCountdown = StaleCountdown;
        Locks = Unlocks = 0;
        SDLaudio::SetLockHooks([] { ++Locks; AtLock = Now(); }, [] { ++Unlocks; AtUnlock = Now(); });

        // "Octave" item 4 (index 3) and A: 440 Hz.
        ClickIndicator(Form1->RadioGroup1->Item(3));
        QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);
        SDLaudio::SetLockHooks(nullptr, nullptr);

        QCOMPARE(Locks, 1);
        QCOMPARE(Unlocks, 1);
        QCOMPARE(AtLock.PhaseStep, StalePhaseStep);
        QCOMPARE(AtLock.Countdown, int(StaleCountdown));
        QCOMPARE(AtUnlock.PhaseStep, uint32_t(ksynth::FrequencyTable[440]));
        QCOMPARE(AtUnlock.Countdown, 0);
    }
};

QTEST_MAIN(NoteLockTest)
#include "note_lock_test.moc"
