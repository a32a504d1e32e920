// Playing: piano keys, "Octave", "Stop", the pages, the dead controls and the end.
#include <SDL.h>

#include <QCloseEvent>
#include <QLabel>
#include <QWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "audio/SDLaudio.h"
#include "tests/ui/ui_fixture.h"

class PlayingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    void init() { NewFormOnInstrumentPage(); }
    void cleanup() { DeleteForm(); }

    void key_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("item");    // "Octave" item index: item "1" is 0
        QTest::addColumn<int>("note");    // NoteTable entry of the key's semitone
        QTest::addColumn<int>("hertz");   // (256 + note) x 2^(octave index - 4), fraction dropped
        QTest::newRow("ButtonA0, item 4") << "ButtonA0" << 3 << 184 << 440;
        QTest::newRow("ButtonCd, item 1") << "ButtonCd" << 0 << 6 << 16;      // (262 x 8) >> 7
        QTest::newRow("ButtonBu, item 6") << "ButtonBu" << 5 << 238 << 3952;  // 494 x 8
        QTest::newRow("ButtonCSu, item 2") << "ButtonCSu" << 1 << 21 << 138;  // (277 x 8) >> 4
        QTest::newRow("ButtonFS0, item 4") << "ButtonFS0" << 3 << 114 << 370;
    }

    void key() {
        QFETCH(QString, key);
        QFETCH(int, item);
        QFETCH(int, note);
        QFETCH(int, hertz);
        ClickIndicator(Form1->RadioGroup1->Item(item));
        QCOMPARE(int(Form1->Store.Octave), item);

        // An envelope edit waits in the store: "Oscillator 2" step 1 now lasts 16 ticks.
        ClickTab(Form1->TabControl2, 2);
        Control<ScrollBar>("ScrollBarAs")->triggerAction(QAbstractSlider::SliderPageStepAdd);
        ksynth::EnvelopeState& oscillator2 = ksynth::InstrumentSlots[0].Envelopes[2];
        QCOMPARE(int(oscillator2.StepLength[0]), 0);

        // Hold the renderer off so that what the key wrote stays to be seen.
        SDLaudio::AudioLockGuard renderer;
        ksynth::VoiceState& voice = ksynth::Voices[0];
        voice.XorSource = 1;
        voice.PulseWidth = 2;
        voice.NoiseMode = 3;
        voice.LeftShift = 4;
        voice.RightShift = 5;
        voice.Phase = 123456;
        voice.FilterState = 6;
        ksynth::TickCountdown = 77;
        ksynth::InstrumentSlots[0].Envelopes[0].Level = 1;

        QTest::mouseClick(Control<PianoKey>(key), Qt::LeftButton);

        QCOMPARE(int(Form1->Store.NoteValue), note);
        QCOMPARE(uint32_t(voice.PhaseStep), ksynth::FrequencyTable[hertz]);
        QCOMPARE(int(voice.XorSource), 0);
        QCOMPARE(int(voice.PulseWidth), 0);
        QCOMPARE(int(voice.NoiseMode), 0);
        QCOMPARE(int(voice.LeftShift), 0);
        QCOMPARE(int(voice.RightShift), 0);
        QCOMPARE(uint32_t(voice.Phase), 123456u);
        QCOMPARE(int(voice.FilterState), 6);
        QCOMPARE(int(ksynth::TickCountdown), 0);
        // Every envelope starts again from the store, the edited one included.
        QCOMPARE(ksynth::InstrumentSlots[0].Envelopes[0].Level, 65280);
        QCOMPARE(int(oscillator2.StepLength[0]), 16);
        QCOMPARE(oscillator2.StepRemaining[0], 16);
        QCOMPARE(oscillator2.Level, 0);
        QCOMPARE(oscillator2.StepIncrement[0], 4080);   // 255 x 256 / 16
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    }

    void octaveItemKeepsTheSoundingPitch() {
        QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);
        const uint32_t sounding = ksynth::Voices[0].PhaseStep;
        ClickIndicator(Form1->RadioGroup1->Item(5));
        QCOMPARE(int(Form1->Store.Octave), 5);
        QCOMPARE(uint32_t(ksynth::Voices[0].PhaseStep), sounding);
    }

    void stopPauses() {
        Form1->Button5->click();   // nothing plays: stays paused
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
        QTest::mouseClick(Control<PianoKey>("ButtonC0"), Qt::LeftButton);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
        QTest::mouseClick(Form1->Button5, Qt::LeftButton);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
        QTest::mouseClick(Control<PianoKey>("ButtonE0"), Qt::LeftButton);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    }

    void secondKeyRetriggersWithoutResettingThePhase() {
        QTest::mouseClick(Control<PianoKey>("ButtonC0"), Qt::LeftButton);   // octave index 1: 65 Hz
        SDLaudio::AudioLockGuard renderer;
        ksynth::Voices[0].Phase = 0xABCDEF;
        ksynth::InstrumentSlots[0].Envelopes[0].StepRemaining[1] = 3;

        QTest::mouseClick(Control<PianoKey>("ButtonAu"), Qt::LeftButton);   // octave index 2: 110 Hz

        QCOMPARE(uint32_t(ksynth::Voices[0].PhaseStep), ksynth::FrequencyTable[110]);
        QCOMPARE(uint32_t(ksynth::Voices[0].Phase), 0xABCDEFu);
        QCOMPARE(ksynth::InstrumentSlots[0].Envelopes[0].StepRemaining[1], 80);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    }

    void patternEditorFallsBackToAbout() {
        const ParameterStore store = Form1->Store;
        ClickTab(Form1->PageControl2, 1);
        QCOMPARE(Form1->PageControl2->ActivePage(), Control("TAbout"));
        QCOMPARE(Form1->PageControl2->TabIndex(), 0);
        QVERIFY(Control("TAbout")->isVisible());
        QVERIFY(!Control("TPatt")->isVisible());

        ClickTab(Form1->PageControl2, 2);
        QCOMPARE(Form1->PageControl2->ActivePage(), Control("TInst"));
        QVERIFY(Control("TInst")->isVisible());
        QVERIFY(!Control("TAbout")->isVisible());
        QVERIFY(SameStore(Form1->Store, store));
    }

    void controlsWithoutHandlersChangeNothing() {
        const ParameterStore store = Form1->Store;
        const EngineSnapshot engine = EngineSnapshot::Take();
        for (const char* button : {"Button2", "Button3", "Button4"}) {
            QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
        }
        QStringList effectLabels;
        for (int page = 0; page < 4; ++page) {
            Form1->PageControl1->SetTabIndex(page);
            for (auto* bar : Form1->PageControl1->ActivePage()->findChildren<ScrollBar*>()) {
                bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                effectLabels << Control<QLabel>("Label" + bar->objectName().mid(9))->text();
            }
        }
        Form1->ScrollBar19->triggerAction(QAbstractSlider::SliderPageStepAdd);

        QCOMPARE(effectLabels.size(), 15);
        QCOMPARE(effectLabels, QStringList(15, " 255"));
        QCOMPARE(Form1->Label29->text(), QString("   0"));
        QVERIFY(SameStore(Form1->Store, store));
        QVERIFY(EngineSnapshot::Take() == engine);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    }

    void closingEndsTheLoopAndDestructionClosesTheDevice_data() {
        QTest::addColumn<bool>("quitButton");
        QTest::newRow("Quit") << true;
        QTest::newRow("title bar close") << false;
    }

    void closingEndsTheLoopAndDestructionClosesTheDevice() {
        QFETCH(bool, quitButton);
        QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);   // the device plays
        QVERIFY(QTest::qWaitForWindowExposed(Form1));
        QTimer::singleShot(0, Form1, [quitButton] {
            if (quitButton) {
                QTest::mouseClick(Form1->Button6, Qt::LeftButton);
            } else {
                // What the window system sends when the title bar's close button is pressed.
                QCloseEvent close;
                QCoreApplication::sendEvent(Form1->windowHandle(), &close);
            }
        });
        QTimer failSafe;
        failSafe.setSingleShot(true);
        connect(&failSafe, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        failSafe.start(5000);

        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!Form1->isVisible());
        // The window is closed, not yet destroyed: the device is still open.
        QVERIFY(SDL_WasInit(SDL_INIT_AUDIO) != 0);

        DeleteForm();
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
        QCOMPARE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    }
};

QTEST_MAIN(PlayingTest)
#include "playing_test.moc"
