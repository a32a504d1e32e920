// What a new window leaves in its store, in the engine and on its controls.
#include <SDL.h>

#include <QCheckBox>
#include <QLabel>

#include "tests/ui/ui_fixture.h"

class StartTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    void init() { NewForm(); }
    void cleanup() { DeleteForm(); }

    void storeHoldsTheStartInstrumentAndZeroElsewhere() {
        ParameterStore expected{};
        expected.OscillatorCurves = StartCurves;
        expected.Envelopes = StartEnvelopes;
        QVERIFY(SameStore(Form1->Store, expected));
    }

    void voiceZeroHoldsBothOscillatorsCurves() {
        const ksynth::VoiceState& voice = ksynth::Voices[0];
        QCOMPARE(voice.Osc1Waveform.Snapshot(), StartCurves[0].Waveform);
        QCOMPARE(voice.Osc1Strength.Snapshot(), StartCurves[0].Strength);
        // Oscillator 2 is not on screen, yet its curves reached the voice.
        QCOMPARE(voice.Osc2Waveform.Snapshot(), StartCurves[1].Waveform);
        QCOMPARE(voice.Osc2Strength.Snapshot(), StartCurves[1].Strength);
        QCOMPARE(int(voice.Osc2Detune), 0);
        for (int v = 1; v < ksynth::VoiceCount; ++v) {
            for (unsigned c = 0; c < 4; ++c) {
                QCOMPARE(ksynth::Voices[v].Curve(c / 2, c % 2).Snapshot(), ksynth::CurvePoints{});
            }
        }
    }

    void slotZeroHoldsTheFiveLoadedEnvelopes() {
        const auto& slot = ksynth::InstrumentSlots[0].Envelopes;
        // Worked by hand: a first step of length 0 starts at its value x 256, and
        // each increment is (value - previous value) x 256 / length.
        QCOMPARE(slot[0].Level, 255 * 256);          // 65280
        QCOMPARE(slot[0].StepIncrement[1], -816);    // -65280 / 80
        QCOMPARE(slot[0].StepRemaining[1], 80);
        QCOMPARE(slot[1].StepIncrement[1], -510);    // -65280 / 128
        QCOMPARE(slot[3].Level, 0);                  // rises over 96 ticks
        QCOMPARE(slot[3].StepIncrement[0], 680);     // 65280 / 96
        QCOMPARE(slot[4].Level, 192 * 256);
        QCOMPARE(int(ksynth::TickCountdown), 0);

        // And in every field exactly what loading the start envelopes gives.
        const auto loaded = slot;
        ksynth::ResetEngine();
        for (uint8_t e = 0; e < 5; ++e) ksynth::LoadEnvelope(0, e, StartEnvelopes[e]);
        for (int e = 0; e < 5; ++e) QVERIFY2(SameEnvelopeState(loaded[e], slot[e]), qPrintable(QString::number(e)));
    }

    void deviceIsOpenAndPaused() {
        QVERIFY(SDL_WasInit(SDL_INIT_AUDIO) != 0);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    }

    void aboutPageInFront() {
        Form1->show();
        QCOMPARE(Form1->PageControl2->ActivePage(), Control("TAbout"));
        QVERIFY(Control("TAbout")->isVisible());
        QVERIFY(!Control("TPatt")->isVisible());
        QVERIFY(!Control("TInst")->isVisible());
    }

    void controlsShowOscillator1AndVolume_data() {
        QTest::addColumn<QString>("bar");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        // Oscillator 1: Waveform alternates 255 and 0, Strength is all 255.
        for (int n = 1; n <= 9; ++n) {
            const bool high = n % 2 == 1;
            QTest::addRow("ScrollBar%d", n) << QString("ScrollBar%1").arg(n) << (high ? 255 : 0)
                                            << QString("Label%1").arg(n) << QString(high ? " 255" : "   0");
            QTest::addRow("ScrollBar%d", n + 9) << QString("ScrollBar%1").arg(n + 9) << 255
                                                << QString("LabelST%1").arg(n) << QString(" 255");
        }
        // "Volume": (0, 255), (80, 0), then nothing.
        const std::pair<const char*, int> envelope[] = {{"As", 0}, {"Av", 255}, {"Ds", 80}, {"Dv", 0},
                                                         {"Ss", 0}, {"Sv", 0},   {"Rs", 0},  {"Rv", 0}};
        const char* texts[] = {"   0", " 255", "  80", "   0", "   0", "   0", "   0", "   0"};
        for (int k = 0; k < 8; ++k) {
            const QString suffix = envelope[k].first;
            QTest::newRow(qPrintable("ScrollBar" + suffix))
                << "ScrollBar" + suffix << envelope[k].second << "Label" + suffix << QString(texts[k]);
        }
        QTest::newRow("ScrollBarO2DT") << "ScrollBarO2DT" << 0 << "LabelO2DT" << "   0";
        QTest::newRow("ScrollBar19") << "ScrollBar19" << 0 << "Label29" << "   0";
    }

    void controlsShowOscillator1AndVolume() {
        QFETCH(QString, bar);
        QFETCH(int, position);
        QFETCH(QString, label);
        QFETCH(QString, text);
        QCOMPARE(Control<ScrollBar>(bar)->value(), position);
        QCOMPARE(Control<QLabel>(label)->text(), text);
    }

    void checkBoxesShowVolumeEnvelope() {
        QVERIFY(!Form1->CheckBox1->isChecked());
        QVERIFY(!Form1->CheckBox2->isChecked());
    }

    void previewShowsOscillator1() {
        QCOMPARE(Form1->Image1->Picture.size(), QSize(255, 255));
        QVERIFY(Form1->Image1->Picture == PreviewOf(StartCurves[0]));
    }
};

QTEST_MAIN(StartTest)
#include "start_test.moc"
