// Playing from the computer keyboard and from MIDI: the keys reach the same
// handlers as the mouse, the sounding key is lit, and the window says when it is silent.
#include <SDL.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>

#include "tests/ui/ui_fixture.h"

namespace {

// The tracker piano by X keycode and by the key on a US layout.
struct NoteKeyCase {
    quint32 keycode;
    Qt::Key key;
    const char* button;
};
const NoteKeyCase NoteKeys[] = {
    {52, Qt::Key_Z, "ButtonCd"},       {39, Qt::Key_S, "ButtonCSd"},    {53, Qt::Key_X, "ButtonDd"},
    {40, Qt::Key_D, "ButtonDSd"},      {54, Qt::Key_C, "ButtonEd"},     {55, Qt::Key_V, "ButtonFd"},
    {42, Qt::Key_G, "ButtonFSd"},      {56, Qt::Key_B, "ButtonGd"},     {43, Qt::Key_H, "ButtonGSd"},
    {57, Qt::Key_N, "ButtonAd"},       {44, Qt::Key_J, "ButtonASd"},    {58, Qt::Key_M, "ButtonBd"},
    {24, Qt::Key_Q, "ButtonC0"},       {11, Qt::Key_2, "ButtonCS0"},    {25, Qt::Key_W, "ButtonD0"},
    {12, Qt::Key_3, "ButtonDS0"},      {26, Qt::Key_E, "ButtonE0"},     {27, Qt::Key_R, "ButtonF0"},
    {14, Qt::Key_5, "ButtonFS0"},      {28, Qt::Key_T, "ButtonG0"},     {15, Qt::Key_6, "ButtonGS0"},
    {29, Qt::Key_Y, "ButtonA0"},       {16, Qt::Key_7, "ButtonAS0"},    {30, Qt::Key_U, "ButtonB0"},
    {59, Qt::Key_Comma, "ButtonC0"},   {46, Qt::Key_L, "ButtonCS0"},    {60, Qt::Key_Period, "ButtonD0"},
    {47, Qt::Key_Semicolon, "ButtonDS0"}, {61, Qt::Key_Slash, "ButtonE0"},
    {31, Qt::Key_I, "ButtonCu"},       {18, Qt::Key_9, "ButtonCSu"},    {32, Qt::Key_O, "ButtonDu"},
    {19, Qt::Key_0, "ButtonDSu"},      {33, Qt::Key_P, "ButtonEu"},     {34, Qt::Key_BracketLeft, "ButtonFu"},
    {21, Qt::Key_Equal, "ButtonFSu"},  {35, Qt::Key_BracketRight, "ButtonGu"},
};

constexpr quint32 KeycodeQ = 24;
constexpr quint32 KeycodeEscape = 9;

// A key event as the platform delivers it, sent to the widget that has the focus.
void SendKey(QWidget* focus, QEvent::Type type, int key, quint32 keycode, ulong timestamp = 0,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false) {
    QKeyEvent event(type, key, modifiers, keycode, 0, 0, QString(), autoRepeat);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(focus, &event);
}

void Press(QWidget* focus, int key, quint32 keycode, ulong timestamp = 0) {
    SendKey(focus, QEvent::KeyPress, key, keycode, timestamp);
}

QWidget* FocusTarget(const QString& which) {
    if (which == "scroll bar") return Form1->CurveBars[3];
    if (which == "tab") return Form1->TabControl2->Tabs();
    return Form1->CheckBox2;
}

QList<PianoKey*> LitKeys() {
    QList<PianoKey*> lit;
    for (PianoKey* key : Form1->Keys) {
        if (key->IsSounding()) lit << key;
    }
    return lit;
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    void init() { NewFormOnInstrumentPage(); }
    void cleanup() { DeleteForm(); }

    void noteKeyPlaysItsPianoKey_data() {
        QTest::addColumn<quint32>("keycode");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("button");
        for (const NoteKeyCase& c : NoteKeys) {
            for (const char* focus : {"scroll bar", "tab", "check box"}) {
                QTest::addRow("keycode %u on a %s", c.keycode, focus) << c.keycode << int(c.key) << focus << c.button;
            }
            // The offscreen platform gives no keycode: the US layout stands in.
            QTest::addRow("US key %s without keycode", qPrintable(QKeySequence(c.key).toString()))
                << 0u << int(c.key) << "scroll bar" << c.button;
        }
        // On a QWERTZ keyboard the key at Z's place sends Y: the place counts.
        QTest::addRow("QWERTZ Y at Z's place") << 52u << int(Qt::Key_Y) << "tab" << "ButtonCd";
    }

    void noteKeyPlaysItsPianoKey() {
        QFETCH(quint32, keycode);
        QFETCH(int, key);
        QFETCH(QString, focus);
        QFETCH(QString, button);
        ClickIndicator(Form1->RadioGroup1->Item(2));   // item "3"
        auto* piano = Control<PianoKey>(button);
        QSignalSpy clicks(piano, &QAbstractButton::clicked);
        QWidget* target = FocusTarget(focus);
        target->setFocus();

        Press(target, key, keycode);

        // The same handler with the same Tag as a mouse click on that key.
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(int(Form1->Store.NoteValue), int(ksynth::NoteTable[piano->Tag & 15]));
        QCOMPARE(uint32_t(ksynth::Voices[0].PhaseStep),
                 ksynth::NoteToPhaseStep(ksynth::NoteTable[piano->Tag & 15], uint8_t(2 + (piano->Tag >> 4))));
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
        QCOMPARE(LitKeys(), QList<PianoKey*>{piano});
    }

    void keysThatPlayNothing_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("autoRepeat");
        QTest::newRow("auto-repeat") << int(Qt::NoModifier) << true;
        QTest::newRow("Ctrl+Q") << int(Qt::ControlModifier) << false;
        QTest::newRow("Alt+Q") << int(Qt::AltModifier) << false;
        QTest::newRow("Meta+Q") << int(Qt::MetaModifier) << false;
    }

    void keysThatPlayNothing() {
        QFETCH(int, modifiers);
        QFETCH(bool, autoRepeat);
        QSignalSpy clicks(Control<PianoKey>("ButtonC0"), &QAbstractButton::clicked);
        SendKey(Form1->CurveBars[0], QEvent::KeyPress, Qt::Key_Q, KeycodeQ, 100,
                Qt::KeyboardModifiers(modifiers), autoRepeat);
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    }

    void heldKeyPlaysOnceThroughXRepeats() {
        QWidget* focus = Form1->CurveBars[0];
        QSignalSpy clicks(Control<PianoKey>("ButtonC0"), &QAbstractButton::clicked);
        Press(focus, Qt::Key_Q, KeycodeQ, 1000);
        // X repeats a held key as release + press pairs with one timestamp, not
        // always marked as repeats.
        for (ulong at : {1660ul, 1700ul, 1740ul}) {
            SendKey(focus, QEvent::KeyRelease, Qt::Key_Q, KeycodeQ, at);
            Press(focus, Qt::Key_Q, KeycodeQ, at);
        }
        QCOMPARE(clicks.count(), 1);
        // The real release: the note keeps sounding, and the next press plays again.
        SendKey(focus, QEvent::KeyRelease, Qt::Key_Q, KeycodeQ, 1800);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
        Press(focus, Qt::Key_Q, KeycodeQ, 2500);
        QCOMPARE(clicks.count(), 2);
    }

    void escapeStops() {
        QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);
        QSignalSpy stops(Form1->Button5, &QAbstractButton::clicked);
        Press(Form1->TabControl1->Tabs(), Qt::Key_Escape, KeycodeEscape);
        QCOMPARE(stops.count(), 1);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
        QVERIFY(LitKeys().isEmpty());
        QCOMPARE(Form1->Button5->toolTip(), QString("Stop (Esc)"));
    }

    void functionKeysSelectOctaveItems_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("item");
        QTest::newRow("F1") << int(Qt::Key_F1) << 0;
        QTest::newRow("F4") << int(Qt::Key_F4) << 3;
        QTest::newRow("F6") << int(Qt::Key_F6) << 5;
    }

    void functionKeysSelectOctaveItems() {
        QFETCH(int, key);
        QFETCH(int, item);
        Form1->RadioGroup1->SetItemIndex(1);
        Form1->Store.Octave = 1;
        QSignalSpy clicks(Form1->RadioGroup1, &RadioGroup::Click);
        Press(Form1->CheckBox1, key, 0);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(Form1->RadioGroup1->ItemIndex(), item);
        QCOMPARE(int(Form1->Store.Octave), item);
    }

    void midiNotesPlayTheirPitchAndLightTheirKey() {
        ClickIndicator(Form1->RadioGroup1->Item(3));   // item "4": octave indices 3..5 on screen
        Form1->MidiNoteOn(nullptr, 9, 4);              // MIDI note 69
        QCOMPARE(uint32_t(ksynth::Voices[0].PhaseStep), ksynth::FrequencyTable[440]);
        QCOMPARE(LitKeys(), QList<PianoKey*>{Control<PianoKey>("ButtonA0")});
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);

        // Off the keys on screen: it sounds, and no key is lit.
        Form1->MidiNoteOn(nullptr, 11, 7);   // MIDI note 107
        QCOMPARE(uint32_t(ksynth::Voices[0].PhaseStep), ksynth::FrequencyTable[3952]);
        QCOMPARE(int(Form1->Store.Octave), 3);
        QVERIFY(LitKeys().isEmpty());

        Form1->MidiStop(nullptr);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    }

    void litKeyFollowsEveryWayOfPlaying() {
        QTest::mouseClick(Control<PianoKey>("ButtonE0"), Qt::LeftButton);
        QCOMPARE(LitKeys(), QList<PianoKey*>{Control<PianoKey>("ButtonE0")});
        Press(Form1->CurveBars[0], Qt::Key_S, 39);
        QCOMPARE(LitKeys(), QList<PianoKey*>{Control<PianoKey>("ButtonCSd")});
        Form1->MidiNoteOn(nullptr, 7, 2);   // item "1": offset 2
        QCOMPARE(LitKeys(), QList<PianoKey*>{Control<PianoKey>("ButtonGu")});
        QTest::mouseClick(Form1->Button5, Qt::LeftButton);
        QVERIFY(LitKeys().isEmpty());
    }

    void keysLookLikeAPiano() {
        QTest::mouseClick(Control<PianoKey>("ButtonFS0"), Qt::LeftButton);
        const QImage page = Form1->TInst->grab().toImage();
        for (PianoKey* key : Form1->Keys) {
            // A point of the key that no other key covers.
            const QPoint inside = key->geometry().bottomLeft() + QPoint(key->width() / 2, -4);
            const int lightness = QColor(page.pixel(inside)).lightness();
            if (key->IsSounding()) continue;
            if (key->IsBlack()) {
                QVERIFY2(lightness < 64, qPrintable(key->objectName()));
            } else {
                QVERIFY2(lightness > 224, qPrintable(key->objectName()));
            }
            QVERIFY(!key->accessibleName().isEmpty());
        }
        QCOMPARE(Control<PianoKey>("ButtonCS0")->accessibleName(), QString("C#, middle octave"));
        QCOMPARE(Control<PianoKey>("ButtonCS0")->toolTip(), QString("C#, middle octave (key 2 or L)"));
        QCOMPARE(Control<PianoKey>("ButtonBu")->toolTip(), QString("B, upper octave"));
        // The lit key differs from both unlit colours.
        const QColor lit(page.pixel(Control<PianoKey>("ButtonFS0")->geometry().center()));
        QVERIFY(lit.lightness() >= 64 && lit.lightness() <= 224);
    }

    void silenceIsExplainedBelowTheKeys_data() {
        QTest::addColumn<QByteArray>("driver");
        QTest::addColumn<bool>("shown");
        QTest::newRow("driver that does not exist") << QByteArray("no-such-driver") << true;
        QTest::newRow("disk driver") << QByteArray("disk") << false;
    }

    void silenceIsExplainedBelowTheKeys() {
        QFETCH(QByteArray, driver);
        QFETCH(bool, shown);
        DeleteForm();
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        qputenv("SDL_AUDIODRIVER", driver);
        qputenv("SDL_DISKAUDIOFILE", scratch.filePath("audio.raw").toLocal8Bit());
        NewFormOnInstrumentPage();
        qputenv("SDL_AUDIODRIVER", "dummy");
        QLabel* line = Form1->AudioStatusLine;
        QTRY_COMPARE(line->isVisible(), shown);
        if (shown) {
            QVERIFY2(line->text().startsWith("No audio output (") && line->text().endsWith("): notes are silent.") &&
                         line->text().size() > QString("No audio output (): notes are silent.").size(),
                     qPrintable(line->text()));
            // The keys still set up their note, silently.
            QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);
            QCOMPARE(int(Form1->Store.NoteValue), 184);
        }
        DeleteForm();   // before the scratch folder goes
        NewFormOnInstrumentPage();
    }

    void octaveItemsLieInsideTheFrame() {
        RadioGroup* group = Form1->RadioGroup1;
        const int frameTop = group->fontMetrics().height() / 2;
        for (int i = 0; i < 6; ++i) {
            const QRect item = group->Item(i)->geometry();
            QVERIFY2(item.top() > frameTop + 1 && item.bottom() < group->height() - 2 && item.left() > 1 &&
                         item.right() < group->width() - 2,
                     qPrintable(QString("item %1 at %2,%3 %4x%5").arg(i).arg(item.x()).arg(item.y())
                                    .arg(item.width()).arg(item.height())));
        }
        QCOMPARE(group->geometry(), QRect(348, 368, 315, 30));
    }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
