// Undo and redo: what one step is, that undo and redo bring back everything the
// window shows and writes, tabs, the history's length, the keys and the menu.
#include <SDL.h>

#include <functional>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextEdit>
#include <QUndoStack>
#include <QWheelEvent>

#include "audio/SDLaudio.h"
#include "tests/ui/ui_fixture.h"
#include "ui/history.h"

namespace {

QUndoStack* Steps() {
    return Form1->EditHistory->Stack();
}

void Undo() {
    Form1->EditHistory->UndoAction()->trigger();
}

void Redo() {
    Form1->EditHistory->RedoAction()->trigger();
}

// Everything the window shows of the instrument and everything it writes.
struct View {
    ParameterStore store;
    EngineSnapshot engine;
    std::array<int, 18> curveBars;
    QStringList curveLabels;
    std::array<int, 8> envelopeBars;
    QStringList envelopeLabels;
    bool invert;
    bool repeat;
    int detuneBar;
    QString detuneLabel;
    int oscillatorTab;
    int envelopeTab;
    QImage preview;   // as the screen gets it

    static View Take() {
        View v{};
        v.store = Form1->Store;
        v.engine = EngineSnapshot::Take();
        for (std::size_t k = 0; k < 18; ++k) {
            v.curveBars[k] = Form1->CurveBars[k]->value();
            v.curveLabels << Form1->CurveLabels[k]->text();
        }
        for (std::size_t k = 0; k < 8; ++k) {
            v.envelopeBars[k] = Form1->EnvelopeBars[k]->value();
            v.envelopeLabels << Form1->EnvelopeLabels[k]->text();
        }
        v.invert = Form1->CheckBox1->isChecked();
        v.repeat = Form1->CheckBox2->isChecked();
        v.detuneBar = Form1->ScrollBarO2DT->value();
        v.detuneLabel = Form1->LabelO2DT->text();
        v.oscillatorTab = Form1->TabControl1->TabIndex();
        v.envelopeTab = Form1->TabControl2->TabIndex();
        v.preview = Form1->Image1->grab().toImage();
        return v;
    }
};

// The parts in which two views differ, empty when they are the same.
QString Differences(const View& a, const View& b) {
    QStringList parts;
    if (!SameStore(a.store, b.store)) parts << "store";
    if (!(a.engine == b.engine)) parts << "engine";
    if (a.curveBars != b.curveBars) parts << "curve bars";
    if (a.curveLabels != b.curveLabels) parts << "curve labels";
    if (a.envelopeBars != b.envelopeBars) parts << "envelope bars";
    if (a.envelopeLabels != b.envelopeLabels) parts << "envelope labels";
    if (a.invert != b.invert || a.repeat != b.repeat) parts << "check boxes";
    if (a.detuneBar != b.detuneBar || a.detuneLabel != b.detuneLabel) parts << "detune";
    if (a.oscillatorTab != b.oscillatorTab || a.envelopeTab != b.envelopeTab) parts << "tabs";
    if (a.preview != b.preview) parts << "preview";
    return parts.join(", ");
}

#define VERIFY_VIEW(actual, expected)                                         \
    do {                                                                      \
        const QString differ = Differences(actual, expected);                 \
        QVERIFY2(differ.isEmpty(), qPrintable("differs in: " + differ));      \
    } while (false)

// Mouse events as the window system delivers them, the held buttons included.
void SendMouse(QWidget* target, QEvent::Type type, QPoint at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void ClickPart(ScrollBar* bar, QStyle::SubControl part) {
    const QPoint at = PartOf(bar, part).center();
    SendMouse(bar, QEvent::MouseButtonPress, at);
    SendMouse(bar, QEvent::MouseButtonRelease, at);
}

// One notch of the wheel, towards the bar's start.
void TurnWheel(ScrollBar* bar) {
    const QPoint at = bar->rect().center();
    QWheelEvent event(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar, &event);
}

ScrollBar* Bar(const QString& name) {
    return Control<ScrollBar>(name);
}

// Keys on a bar move it the way QScrollBar does on its own: Left towards the
// maximum, Right towards the minimum (its controls are inverted).
using Edit = std::function<void()>;

}  // namespace

Q_DECLARE_METATYPE(Edit)

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    void init() {
        NewFormOnInstrumentPage();
        Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form1));
    }
    void cleanup() { DeleteForm(); }

    void eachKindOfStep_data() {
        QTest::addColumn<int>("oscillator");
        QTest::addColumn<int>("envelope");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("name");
        const auto key = [](const char* bar, Qt::Key k) { return Edit([=] { QTest::keyClick(Bar(bar), k); }); };
        const auto click = [](const char* bar, QStyle::SubControl part) {
            return Edit([=] { ClickPart(Bar(bar), part); });
        };
        const auto wheel = [](const char* bar) { return Edit([=] { TurnWheel(Bar(bar)); }); };
        const auto box = [](QCheckBox* TForm1::*b) { return Edit([=] { ClickIndicator(Form1->*b); }); };
        const Edit newCurves = [] { QTest::mouseClick(Form1->Button1, Qt::LeftButton); };

        // Oscillator 1 Waveform 255, 0, 255, ...; oscillator 2 Waveform 0, 128, 128, 128, 0, 128, 0, 255, 0.
        QTest::newRow("curve arrow, Oscillator 1") << 0 << 0 << click("ScrollBar2", QStyle::SC_ScrollBarAddLine)
                                                   << "Oscillator 1 Waveform Point 2";
        QTest::newRow("curve trough, Oscillator 1") << 0 << 0 << click("ScrollBar9", QStyle::SC_ScrollBarSubPage)
                                                    << "Oscillator 1 Waveform Point 9";
        QTest::newRow("curve key, Oscillator 2") << 1 << 0 << key("ScrollBar14", Qt::Key_Right)
                                                 << "Oscillator 2 Strength Point 5";
        QTest::newRow("curve wheel, Oscillator 2") << 1 << 0 << wheel("ScrollBar3") << "Oscillator 2 Waveform Point 3";
        QTest::newRow("envelope key, Volume") << 0 << 0 << key("ScrollBarDs", Qt::Key_Right) << "Step 2 Length";
        QTest::newRow("envelope trough, Oscillator 1")
            << 0 << 1 << click("ScrollBarAv", QStyle::SC_ScrollBarSubPage) << "Step 1 Value";
        QTest::newRow("envelope arrow, Oscillator 2")
            << 0 << 2 << click("ScrollBarAs", QStyle::SC_ScrollBarAddLine) << "Step 1 Length";
        QTest::newRow("envelope wheel, Pulsewidth") << 0 << 3 << wheel("ScrollBarAs") << "Step 1 Length";
        QTest::newRow("envelope key, Filter") << 1 << 4 << key("ScrollBarRv", Qt::Key_End) << "Step 4 Value";
        QTest::newRow("Invert on Filter") << 0 << 4 << box(&TForm1::CheckBox1) << "Invert";
        QTest::newRow("Repeat on Oscillator 2") << 0 << 2 << box(&TForm1::CheckBox2) << "Repeat";
        QTest::newRow("detune key") << 0 << 0 << key("ScrollBarO2DT", Qt::Key_Left) << "OSC2 Detune";
        QTest::newRow("detune trough") << 1 << 3 << click("ScrollBarO2DT", QStyle::SC_ScrollBarAddPage)
                                       << "OSC2 Detune";
        QTest::newRow("New on Oscillator 1") << 0 << 0 << newCurves << "New";
        QTest::newRow("New on Oscillator 2") << 1 << 0 << newCurves << "New";
    }

    void eachKindOfStep() {
        QFETCH(int, oscillator);
        QFETCH(int, envelope);
        QFETCH(Edit, edit);
        QFETCH(QString, name);
        if (oscillator != 0) ClickTab(Form1->TabControl1, oscillator);
        if (envelope != 0) ClickTab(Form1->TabControl2, envelope);
        QCOMPARE(Steps()->count(), 0);   // tabs are no steps
        const View before = View::Take();

        edit();
        const View after = View::Take();
        QVERIFY2(!Differences(before, after).isEmpty(), "the edit changed nothing");
        QCOMPARE(Steps()->count(), 1);
        QCOMPARE(Steps()->undoText(), name);
        QCOMPARE(Form1->EditHistory->UndoAction()->text(), "Undo " + name);
        QVERIFY(!Form1->EditHistory->RedoAction()->isEnabled());

        Undo();
        VERIFY_VIEW(View::Take(), before);
        QCOMPARE(Form1->EditHistory->RedoAction()->text(), "Redo " + name);
        QVERIFY(Form1->EditHistory->RedoAction()->isEnabled());
        QVERIFY(!Form1->EditHistory->UndoAction()->isEnabled());
        Redo();
        VERIFY_VIEW(View::Take(), after);
        Undo();
        VERIFY_VIEW(View::Take(), before);
        QCOMPARE(Steps()->count(), 1);
    }

    void thumbDragIsOneStep() {
        ClickTab(Form1->TabControl1, 1);   // oscillator 2 Waveform point 1 holds 128
        ScrollBar* bar = Bar("ScrollBar2");
        const View before = View::Take();
        QSignalSpy scrolls(bar, &ScrollBar::Scroll);

        const QPoint thumb = PartOf(bar, QStyle::SC_ScrollBarSlider).center();
        SendMouse(bar, QEvent::MouseButtonPress, thumb);
        for (int dx = 1; dx <= 20; ++dx) SendMouse(bar, QEvent::MouseMove, thumb + QPoint(dx, 0));
        SendMouse(bar, QEvent::MouseButtonRelease, thumb + QPoint(20, 0));

        QSet<int> positions;
        for (const QList<QVariant>& scroll : scrolls) positions << scroll.at(0).toInt();
        QVERIFY2(positions.size() >= 20, qPrintable(QString("%1 positions").arg(positions.size())));
        QCOMPARE(Steps()->count(), 1);
        const View after = View::Take();
        QCOMPARE(after.store.OscillatorCurves[1].Waveform[1], uint8_t(scrolls.last().at(0).toInt()));

        Undo();
        VERIFY_VIEW(View::Take(), before);
        Redo();
        VERIFY_VIEW(View::Take(), after);
    }

    void dragBackToItsStartIsNoStep() {
        // Volume step 3 length 0: at the end of its range the thumb's place maps back exactly.
        ScrollBar* bar = Bar("ScrollBarSs");
        const QPoint thumb = PartOf(bar, QStyle::SC_ScrollBarSlider).center();
        SendMouse(bar, QEvent::MouseButtonPress, thumb);
        SendMouse(bar, QEvent::MouseMove, thumb + QPoint(10, 0));
        QCOMPARE(Steps()->count(), 1);
        SendMouse(bar, QEvent::MouseMove, thumb);
        SendMouse(bar, QEvent::MouseButtonRelease, thumb);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(Steps()->count(), 0);
        QVERIFY(!Form1->EditHistory->UndoAction()->isEnabled());
    }

    void twoClicksAreTwoSteps() {
        ScrollBar* bar = Bar("ScrollBar4");   // oscillator 1 Waveform point 3 holds 0
        const View start = View::Take();
        ClickPart(bar, QStyle::SC_ScrollBarAddLine);
        const View once = View::Take();
        ClickPart(bar, QStyle::SC_ScrollBarAddLine);
        QCOMPARE(bar->value(), 2);
        QCOMPARE(Steps()->count(), 2);
        Undo();
        VERIFY_VIEW(View::Take(), once);
        QCOMPARE(bar->value(), 1);
        Undo();
        VERIFY_VIEW(View::Take(), start);
    }

    void heldArrowIsOneStep() {
        ScrollBar* bar = Bar("ScrollBar6");   // oscillator 1 Waveform point 5 holds 0
        const View before = View::Take();
        const QPoint arrow = PartOf(bar, QStyle::SC_ScrollBarAddLine).center();
        SendMouse(bar, QEvent::MouseButtonPress, arrow);
        QTRY_VERIFY(bar->value() >= 3);   // the arrow repeats while held
        SendMouse(bar, QEvent::MouseButtonRelease, arrow);
        const View after = View::Take();
        QCOMPARE(int(after.store.OscillatorCurves[0].Waveform[5]), bar->value());
        QCOMPARE(Steps()->count(), 1);
        Undo();
        VERIFY_VIEW(View::Take(), before);
        Redo();
        VERIFY_VIEW(View::Take(), after);
    }

    void twoKeysAndTwoWheelNotchesAreFourSteps() {
        ScrollBar* bar = Bar("ScrollBarDs");   // Volume step 2 length 80
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, Qt::Key_Right);
        TurnWheel(bar);
        TurnWheel(bar);
        QCOMPARE(Steps()->count(), 4);
        for (int k = 0; k < 4; ++k) Undo();
        QCOMPARE(Form1->Store.Envelopes[0].Step2Length, uint8_t(80));
        QCOMPARE(bar->value(), 80);
        QCOMPARE(Form1->EnvelopeLabels[2]->text(), QString("  80"));
    }

    void stepOnAHiddenTabSelectsItFirst_data() {
        QTest::addColumn<int>("oscillator");   // the tab edited; the other is then shown
        QTest::addColumn<int>("envelope");
        QTest::addColumn<Edit>("edit");
        const auto key = [](const char* bar) { return Edit([=] { QTest::keyClick(Bar(bar), Qt::Key_Left); }); };
        QTest::newRow("curve bar on Oscillator 2") << 1 << -1 << key("ScrollBar5");
        QTest::newRow("New on Oscillator 1")
            << 0 << -1 << Edit([] { QTest::mouseClick(Form1->Button1, Qt::LeftButton); });
        QTest::newRow("envelope bar on Filter") << -1 << 4 << key("ScrollBarDv");
        QTest::newRow("Repeat on Pulsewidth") << -1 << 3 << Edit([] { ClickIndicator(Form1->CheckBox2); });
    }

    void stepOnAHiddenTabSelectsItFirst() {
        QFETCH(int, oscillator);
        QFETCH(int, envelope);
        QFETCH(Edit, edit);
        TabControl* tabs = oscillator >= 0 ? Form1->TabControl1 : Form1->TabControl2;
        const int edited = oscillator >= 0 ? oscillator : envelope;
        const int other = edited == 0 ? 1 : 0;
        ClickTab(tabs, edited);
        const View before = View::Take();
        edit();
        const View after = View::Take();

        ClickTab(tabs, other);
        Undo();
        QCOMPARE(tabs->TabIndex(), edited);
        VERIFY_VIEW(View::Take(), before);

        ClickTab(tabs, other);
        Redo();
        QCOMPARE(tabs->TabIndex(), edited);
        VERIFY_VIEW(View::Take(), after);
    }

    void newEditClearsRedo() {
        QTest::keyClick(Bar("ScrollBarDs"), Qt::Key_Right);   // Volume step 2 length 80
        QTest::keyClick(Bar("ScrollBarDs"), Qt::Key_Right);
        Undo();
        QVERIFY(Steps()->canRedo());
        QTest::keyClick(Bar("ScrollBar10"), Qt::Key_Right);   // oscillator 1 Strength point 0: 254
        QVERIFY(!Steps()->canRedo());
        QVERIFY(!Form1->EditHistory->RedoAction()->isEnabled());
        QCOMPARE(Steps()->count(), 2);
        const View now = View::Take();
        Redo();
        VERIFY_VIEW(View::Take(), now);
        QCOMPARE(Form1->Store.Envelopes[0].Step2Length, uint8_t(79));
    }

    void undoWithNothingLeftDoesNothing() {
        const View start = View::Take();
        Undo();
        Steps()->undo();
        VERIFY_VIEW(View::Take(), start);

        ClickPart(Bar("ScrollBar1"), QStyle::SC_ScrollBarSubLine);
        Undo();
        Undo();
        VERIFY_VIEW(View::Take(), start);
        QCOMPARE(Steps()->count(), 1);
        QVERIFY(Steps()->canRedo());
    }

    void hundredAndFirstStepDropsTheOldest() {
        ScrollBar* bar = Bar("ScrollBarRs");   // Volume step 4 length 0
        for (int k = 0; k < 101; ++k) QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(bar->value(), 101);
        QCOMPARE(Steps()->count(), 100);
        for (int k = 0; k < 100; ++k) Undo();
        QVERIFY(!Steps()->canUndo());
        QCOMPARE(bar->value(), 1);
        QCOMPARE(Form1->Store.Envelopes[0].Step4Length, uint8_t(1));
        QCOMPARE(Form1->EnvelopeLabels[6]->text(), QString("   1"));
        Undo();
        QCOMPARE(bar->value(), 1);
    }

    void windowCreationAndNonEditsAreNoSteps() {
        QCOMPARE(Steps()->count(), 0);
        QVERIFY(!Form1->EditHistory->UndoAction()->isEnabled());
        QVERIFY(!Form1->EditHistory->RedoAction()->isEnabled());
        QCOMPARE(Form1->EditHistory->UndoAction()->text(), QString("Undo"));
        QCOMPARE(Form1->EditHistory->RedoAction()->text(), QString("Redo"));

        ClickTab(Form1->TabControl1, 1);
        ClickTab(Form1->TabControl2, 4);
        ClickTab(Form1->PageControl1, 2);
        ClickIndicator(Form1->RadioGroup1->Item(3));
        QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);
        QTest::keyClick(Form1->Button1, Qt::Key_Q);   // a note key
        QTest::keyClick(Form1->Button1, Qt::Key_F2);  // "Octave" item 2
        QTest::mouseClick(Form1->Button5, Qt::LeftButton);
        for (const char* button : {"Button2", "Button3", "Button4"}) {
            QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
        }
        ClickPart(Form1->ScrollBar19, QStyle::SC_ScrollBarAddPage);
        QTest::keyClick(Bar("ScrollBarPMSpeed"), Qt::Key_Right);
        ClickTab(Form1->PageControl2, 0);
        QCOMPARE(Steps()->count(), 0);
    }

    void keysWorkFromAnyFocus_data() {
        QTest::addColumn<QString>("focus");
        QTest::newRow("a curve bar") << "ScrollBar5";
        QTest::newRow("the detune bar") << "ScrollBarO2DT";
        QTest::newRow("an effect bar") << "ScrollBarArpSpeed";
        QTest::newRow("Repeat") << "CheckBox2";
        QTest::newRow("an Octave item") << "RadioGroup1";
        QTest::newRow("New") << "Button1";
        QTest::newRow("Stop") << "Button5";
        QTest::newRow("the envelope tabs") << "TabControl2";
        QTest::newRow("the page tabs") << "PageControl2";
        QTest::newRow("the About text") << "Memo1";
    }

    void keysWorkFromAnyFocus() {
        QFETCH(QString, focus);
        QWidget* target = Control(focus);
        if (auto* tabs = qobject_cast<TabControl*>(target)) target = tabs->Tabs();
        if (auto* group = qobject_cast<RadioGroup*>(target)) target = group->Item(0);
        const View before = View::Take();
        ClickPart(Bar("ScrollBar13"), QStyle::SC_ScrollBarSubPage);   // oscillator 1 Strength point 4: 239
        const View after = View::Take();
        if (focus == "Memo1") Form1->PageControl2->SetActivePage(Control("TAbout"));
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target);

        QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
        if (focus == "Memo1") Form1->PageControl2->SetActivePage(Form1->TInst);
        VERIFY_VIEW(View::Take(), before);
        if (focus == "Memo1") Form1->PageControl2->SetActivePage(Control("TAbout"));
        QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(Form1->Store.OscillatorCurves[0].Strength[3], uint8_t(239));
        QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Form1->Store.OscillatorCurves[0].Strength[3], uint8_t(255));
        QTest::keyClick(target, Qt::Key_Y, Qt::ControlModifier);
        if (focus == "Memo1") Form1->PageControl2->SetActivePage(Form1->TInst);
        VERIFY_VIEW(View::Take(), after);

        // Z and Y are note keys: held with Ctrl they play nothing.
        QCOMPARE(int(Form1->Store.NoteValue), 0);
        QCOMPARE(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    }

    void menuNamesTheStepsAndFollowsTheHistory() {
        QMenu* menu = Form1->EditorMenu();
        QAction* undo = Form1->EditHistory->UndoAction();
        QAction* redo = Form1->EditHistory->RedoAction();
        // First in the menu, apart from what other features add below them.
        QCOMPARE(menu->actions().value(0), undo);
        QCOMPARE(menu->actions().value(1), redo);
        QVERIFY(menu->actions().value(2) && menu->actions().value(2)->isSeparator());
        QVERIFY(undo->isShortcutVisibleInContextMenu());

        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        ClickTab(Form1->TabControl2, 2);
        QTest::keyClick(Bar("ScrollBarDs"), Qt::Key_Left);
        QCOMPARE(undo->text(), QString("Undo Step 2 Length"));
        QVERIFY(undo->isEnabled());
        QVERIFY(!redo->isEnabled());

        undo->trigger();
        QCOMPARE(undo->text(), QString("Undo New"));
        QCOMPARE(redo->text(), QString("Redo Step 2 Length"));
        undo->trigger();
        QCOMPARE(redo->text(), QString("Redo New"));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(undo->text(), QString("Undo"));
        QVERIFY(SameStore(Form1->Store, [] {
            ParameterStore start{};
            start.OscillatorCurves = StartCurves;
            start.Envelopes = StartEnvelopes;
            start.EnvelopeTab = 2;
            return start;
        }()));
    }
};

QTEST_MAIN(HistoryTest)
#include "history_test.moc"
