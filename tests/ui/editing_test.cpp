// Editing the instrument: curve bars, envelope bars and boxes, tabs, detune and "New".
#include <functional>
#include <random>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>

#include "tests/ui/ui_fixture.h"

namespace {

using Action = QAbstractSlider::SliderAction;

ksynth::CurvePoints& StoreCurve(int oscillator, int row) {
    OscillatorShape& shape = Form1->Store.OscillatorCurves[oscillator];
    return row == 0 ? shape.Waveform : shape.Strength;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, target->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// The store of a new window with the given tabs selected.
ParameterStore StartStore(int oscillatorTab = 0, int envelopeTab = 0) {
    ParameterStore store{};
    store.OscillatorCurves = StartCurves;
    store.Envelopes = StartEnvelopes;
    store.OscillatorTab = static_cast<uint8_t>(oscillatorTab);
    store.EnvelopeTab = static_cast<uint8_t>(envelopeTab);
    return store;
}

// Every draw of the preview writes its bitmap through QImage::bits(), and each such
// write access moves the image's cache key on by one; the test calibrates this first.
qint64 PreviewKey() {
    return Form1->Image1->Picture.cacheKey();
}

}  // namespace

class EditingTest : public QObject {
    Q_OBJECT

private:
    EngineSnapshot engineAtStart_{};

    // After a curve edit: the point holds `expected` in store, engine, bar and label,
    // everything else in store and engine is as at start, and the preview shows the
    // selected oscillator.
    void VerifyCurveEdit(int oscillator, int bar, int expected, const QString& text) const {
        const int row = (bar - 1) / 9;
        const int point = (bar - 1) % 9;
        ParameterStore store = StartStore(oscillator);
        std::array<OscillatorShape, 2>& curves = store.OscillatorCurves;
        (row == 0 ? curves[oscillator].Waveform : curves[oscillator].Strength)[point] = static_cast<uint8_t>(expected);
        QVERIFY(SameStore(Form1->Store, store));
        EngineSnapshot engine = engineAtStart_;
        engine.Curves[2 * oscillator + row][point] = static_cast<uint8_t>(expected);
        QVERIFY(EngineSnapshot::Take() == engine);
        QCOMPARE(Control<ScrollBar>(QString("ScrollBar%1").arg(bar))->value(), expected);
        const QString label = row == 0 ? QString("Label%1").arg(point + 1) : QString("LabelST%1").arg(point + 1);
        QCOMPARE(Control<QLabel>(label)->text(), text);
        QVERIFY(Form1->Image1->Picture == PreviewOf(curves[oscillator]));
    }

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    void init() {
        NewFormOnInstrumentPage();
        engineAtStart_ = EngineSnapshot::Take();
    }
    void cleanup() { DeleteForm(); }

    void curveBar_data() {
        QTest::addColumn<int>("oscillator");
        QTest::addColumn<int>("bar");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("text");
        QTest::newRow("ScrollBar1 page left") << 0 << 1 << int(Action::SliderPageStepSub) << 255 << 239 << " 239";
        QTest::newRow("ScrollBar3 on oscillator 2") << 1 << 3 << int(Action::SliderSingleStepAdd) << 128 << 129 << " 129";
        QTest::newRow("ScrollBar9 page right clamps") << 0 << 9 << int(Action::SliderPageStepAdd) << 250 << 255 << " 255";
        QTest::newRow("ScrollBar10 to minimum") << 0 << 10 << int(Action::SliderToMinimum) << 255 << 0 << "   0";
        QTest::newRow("ScrollBar18 on oscillator 2") << 1 << 18 << int(Action::SliderSingleStepSub) << 255 << 254 << " 254";
        // At the end of the range the position repeats, and the point is still written.
        QTest::newRow("ScrollBar5 repeats 255") << 0 << 5 << int(Action::SliderSingleStepAdd) << 255 << 255 << " 255";
        QTest::newRow("ScrollBar2 repeats 0") << 0 << 2 << int(Action::SliderPageStepSub) << 0 << 0 << "   0";
    }

    void curveBar() {
        QFETCH(int, oscillator);
        QFETCH(int, bar);
        QFETCH(int, action);
        QFETCH(int, start);
        QFETCH(int, expected);
        QFETCH(QString, text);
        if (oscillator == 1) ClickTab(Form1->TabControl1, 1);
        QCOMPARE(int(Form1->Store.OscillatorTab), oscillator);

        const int row = (bar - 1) / 9;
        const int point = (bar - 1) % 9;
        auto* scrollBar = Control<ScrollBar>(QString("ScrollBar%1").arg(bar));
        scrollBar->setValue(start);
        // Spoil the point in store and engine so that a repeated position shows its write.
        StoreCurve(oscillator, row)[point] = 7;
        ksynth::Voices[0].Curve(oscillator, row)[point] = 7;

        scrollBar->triggerAction(Action(action));
        VerifyCurveEdit(oscillator, bar, expected, text);
    }

    void curveBarArrowClick() {
        auto* bar = Control<ScrollBar>("ScrollBar4");   // oscillator 1 point 3, at 0
        QSignalSpy scrolls(bar, &ScrollBar::Scroll);
        QTest::mouseClick(bar, Qt::LeftButton, {}, PartOf(bar, QStyle::SC_ScrollBarAddLine).center());
        QCOMPARE(scrolls.count(), 1);
        QCOMPARE(scrolls.at(0).at(0).toInt(), 1);
        VerifyCurveEdit(0, 4, 1, "   1");
    }

    void curveBarThumbDragAndRelease() {
        auto* bar = Control<ScrollBar>("ScrollBar12");   // oscillator 1 Strength point 2, at 255
        bar->setValue(100);
        QSignalSpy scrolls(bar, &ScrollBar::Scroll);
        const QPoint thumb = PartOf(bar, QStyle::SC_ScrollBarSlider).center();
        SendMouse(bar, QEvent::MouseButtonPress, thumb, Qt::LeftButton);
        SendMouse(bar, QEvent::MouseMove, thumb + QPoint(20, 0), Qt::LeftButton);
        const int dragged = bar->value();
        QVERIFY(dragged > 100);
        QCOMPARE(scrolls.count(), 1);   // the drag
        StoreCurve(0, 1)[2] = 7;        // the release must write the point again
        SendMouse(bar, QEvent::MouseButtonRelease, thumb + QPoint(20, 0), Qt::NoButton);
        QCOMPARE(scrolls.count(), 2);   // and the release, at the same position
        QCOMPARE(scrolls.at(1).at(0).toInt(), dragged);
        QCOMPARE(Control<QLabel>("LabelST3")->text().size(), 4);
        QCOMPARE(Control<QLabel>("LabelST3")->text().trimmed().toInt(), dragged);
        VerifyCurveEdit(0, 12, dragged, Control<QLabel>("LabelST3")->text());
    }

    void contextMenuCannotMoveABarPastItsHandler() {
        // Qt's own scroll bar menu would offer "Scroll here", which moves the bar
        // without a scroll event. If a menu opens, pick its first item.
        auto* bar = Control<ScrollBar>("ScrollBar1");   // oscillator 1 Waveform point 0, at 255
        bool menuOpened = false;
        QTimer::singleShot(0, bar, [&menuOpened] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                menuOpened = true;
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 6), bar->mapToGlobal(QPoint(4, 6)));
        QApplication::sendEvent(bar, &event);
        QCoreApplication::processEvents();

        QVERIFY(!menuOpened);
        QCOMPARE(bar->value(), 255);
        VerifyCurveEdit(0, 1, 255, " 255");
    }

    void positionFromCodeRaisesNothing() {
        const ParameterStore store = Form1->Store;
        const EngineSnapshot engine = EngineSnapshot::Take();
        for (ScrollBar* bar : Form1->findChildren<ScrollBar*>()) {
            QSignalSpy scrolls(bar, &ScrollBar::Scroll);
            bar->setValue(bar->value() == bar->maximum() ? bar->minimum() : bar->maximum());
            QVERIFY2(scrolls.isEmpty(), qPrintable(bar->objectName()));
        }
        QVERIFY(SameStore(Form1->Store, store));
        QVERIFY(EngineSnapshot::Take() == engine);
    }

    void envelopeBar_data() {
        QTest::addColumn<int>("envelope");
        QTest::addColumn<QString>("bar");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("text");
        // The start envelopes give the positions the actions move from.
        QTest::newRow("Volume As page right") << 0 << "As" << 0 << int(Action::SliderPageStepAdd) << 16 << "  16";
        QTest::newRow("Filter Av line left") << 4 << "Av" << 1 << int(Action::SliderSingleStepSub) << 191 << " 191";
        QTest::newRow("Oscillator 1 Ds page left") << 1 << "Ds" << 2 << int(Action::SliderPageStepSub) << 112 << " 112";
        QTest::newRow("Oscillator 2 Dv line right") << 2 << "Dv" << 3 << int(Action::SliderSingleStepAdd) << 1 << "   1";
        QTest::newRow("Pulsewidth Ss to maximum") << 3 << "Ss" << 4 << int(Action::SliderToMaximum) << 255 << " 255";
        QTest::newRow("Volume Sv page right") << 0 << "Sv" << 5 << int(Action::SliderPageStepAdd) << 16 << "  16";
        QTest::newRow("Filter Rs line right") << 4 << "Rs" << 6 << int(Action::SliderSingleStepAdd) << 1 << "   1";
        QTest::newRow("Pulsewidth Rv repeats 0") << 3 << "Rv" << 7 << int(Action::SliderSingleStepSub) << 0 << "   0";
    }

    void envelopeBar() {
        QFETCH(int, envelope);
        QFETCH(QString, bar);
        QFETCH(int, index);
        QFETCH(int, action);
        QFETCH(int, expected);
        QFETCH(QString, text);
        if (envelope != 0) ClickTab(Form1->TabControl2, envelope);
        QCOMPARE(int(Form1->Store.EnvelopeTab), envelope);
        const EngineSnapshot engine = EngineSnapshot::Take();
        const QImage preview = Form1->Image1->Picture;
        Form1->Store.Envelopes[envelope].*ksynth::EnvelopeFields[index] = 7;   // shows a repeated write

        Control<ScrollBar>("ScrollBar" + bar)->triggerAction(Action(action));

        ParameterStore store = StartStore(0, envelope);
        store.Envelopes[envelope].*ksynth::EnvelopeFields[index] = static_cast<uint8_t>(expected);
        QVERIFY(SameStore(Form1->Store, store));
        QCOMPARE(Control<QLabel>("Label" + bar)->text(), text);
        // The engine gets envelopes at the next key press only.
        QVERIFY(EngineSnapshot::Take() == engine);
        QVERIFY(Form1->Image1->Picture == preview);
    }

    void checkBoxes_data() {
        QTest::addColumn<int>("envelope");
        QTest::addColumn<QString>("box");
        QTest::newRow("Filter Invert") << 4 << "CheckBox1";
        QTest::newRow("Volume Invert") << 0 << "CheckBox1";
        QTest::newRow("Pulsewidth Repeat") << 3 << "CheckBox2";
    }

    void checkBoxes() {
        QFETCH(int, envelope);
        QFETCH(QString, box);
        auto field = box == "CheckBox1" ? &ksynth::EnvelopeParams::Invert : &ksynth::EnvelopeParams::Repeat;
        auto* checkBox = Control<QCheckBox>(box);
        if (envelope != 0) ClickTab(Form1->TabControl2, envelope);
        const EngineSnapshot engine = EngineSnapshot::Take();

        ClickIndicator(checkBox);
        QVERIFY(checkBox->isChecked());
        ParameterStore store = StartStore(0, envelope);
        store.Envelopes[envelope].*field = 255;
        QVERIFY(SameStore(Form1->Store, store));
        QVERIFY(EngineSnapshot::Take() == engine);

        // Another envelope shows its own, unticked box; coming back shows the tick.
        const int other = envelope == 0 ? 1 : 0;
        ClickTab(Form1->TabControl2, other);
        QVERIFY(!checkBox->isChecked());
        ClickTab(Form1->TabControl2, envelope);
        QVERIFY(checkBox->isChecked());

        ClickIndicator(checkBox);
        QVERIFY(!checkBox->isChecked());
        QVERIFY(SameStore(Form1->Store, StartStore(0, envelope)));
    }

    void oscillatorTabsChangeOnlyWhatIsShown() {
        ParameterStore store = Form1->Store;
        const EngineSnapshot engine = EngineSnapshot::Take();

        ClickTab(Form1->TabControl1, 1);
        store.OscillatorTab = 1;
        QVERIFY(SameStore(Form1->Store, store));
        QVERIFY(EngineSnapshot::Take() == engine);
        // Oscillator 2: Waveform 0, 128, 128, 128, 0, 128, 0, 255, 0.
        QCOMPARE(Control<ScrollBar>("ScrollBar1")->value(), 0);
        QCOMPARE(Control<ScrollBar>("ScrollBar2")->value(), 128);
        QCOMPARE(Control<ScrollBar>("ScrollBar8")->value(), 255);
        QCOMPARE(Control<QLabel>("Label2")->text(), QString(" 128"));
        QCOMPARE(Control<QLabel>("Label5")->text(), QString("   0"));
        QCOMPARE(Control<QLabel>("LabelST5")->text(), QString(" 255"));
        QVERIFY(Form1->Image1->Picture == PreviewOf(StartCurves[1]));

        ClickTab(Form1->TabControl1, 0);
        store.OscillatorTab = 0;
        QVERIFY(SameStore(Form1->Store, store));
        QVERIFY(EngineSnapshot::Take() == engine);
        QCOMPARE(Control<ScrollBar>("ScrollBar2")->value(), 0);
        QCOMPARE(Control<QLabel>("Label2")->text(), QString("   0"));
        QVERIFY(Form1->Image1->Picture == PreviewOf(StartCurves[0]));
    }

    void envelopeTabsChangeOnlyWhatIsShown() {
        ParameterStore store = Form1->Store;
        const EngineSnapshot engine = EngineSnapshot::Take();
        const QImage preview = Form1->Image1->Picture;

        ClickTab(Form1->TabControl2, 4);   // "Filter": (0, 192), (80, 0)
        store.EnvelopeTab = 4;
        QVERIFY(SameStore(Form1->Store, store));
        QVERIFY(EngineSnapshot::Take() == engine);
        QCOMPARE(Control<ScrollBar>("ScrollBarAv")->value(), 192);
        QCOMPARE(Control<QLabel>("LabelAv")->text(), QString(" 192"));
        QCOMPARE(Control<ScrollBar>("ScrollBarDs")->value(), 80);
        QCOMPARE(Control<QLabel>("LabelDs")->text(), QString("  80"));

        ClickTab(Form1->TabControl2, 3);   // "Pulsewidth": (96, 255)
        QCOMPARE(Control<QLabel>("LabelAs")->text(), QString("  96"));
        QCOMPARE(Control<QLabel>("LabelDs")->text(), QString("   0"));
        QCOMPARE(int(Form1->Store.EnvelopeTab), 3);

        ClickTab(Form1->TabControl2, 0);   // back to "Volume": (0, 255), (80, 0)
        QVERIFY(SameStore(Form1->Store, StartStore()));
        QVERIFY(EngineSnapshot::Take() == engine);
        QCOMPARE(Control<QLabel>("LabelAs")->text(), QString("   0"));
        QCOMPARE(Control<QLabel>("LabelAv")->text(), QString(" 255"));
        QCOMPARE(Control<QLabel>("LabelDs")->text(), QString("  80"));
        QVERIFY(Form1->Image1->Picture == preview);
    }

    void oscillatorTabSendsItsCurvesAgain() {
        // A voice point that has drifted from the store is put right by selecting its tab.
        ksynth::Voices[0].Osc2Waveform[3] = 7;
        ksynth::Voices[0].Osc2Strength[8] = 7;
        ClickTab(Form1->TabControl1, 1);
        QVERIFY(EngineSnapshot::Take() == engineAtStart_);
        QVERIFY(SameStore(Form1->Store, StartStore(1)));
    }

    void previewDraws() {
        // Calibration: one draw moves the key by one.
        qint64 before = PreviewKey();
        Form1->DrawPreview();
        QCOMPARE(PreviewKey() - before, 1);

        struct Case {
            const char* what;
            std::function<void()> act;
            int draws;
        };
        const auto scroll = [](const char* bar, Action action) {
            return [=] { Control<ScrollBar>(bar)->triggerAction(action); };
        };
        const Case cases[] = {
            {"curve bar line step", scroll("ScrollBar3", Action::SliderSingleStepAdd), 1},
            // ScrollBar1 holds 255: the position repeats and the preview is still drawn.
            {"curve bar at its end", scroll("ScrollBar1", Action::SliderSingleStepAdd), 1},
            {"strength bar page step", scroll("ScrollBar14", Action::SliderPageStepSub), 1},
            // The refresh writes its 18 points without drawing, then draws once.
            {"oscillator tab", [] { ClickTab(Form1->TabControl1, 1); }, 1},
            // 18 points, each drawn, and once more by the refresh.
            {"New", [] { QTest::mouseClick(Form1->Button1, Qt::LeftButton); }, 19},
            {"oscillator tab back", [] { ClickTab(Form1->TabControl1, 0); }, 1},
            {"envelope bar", scroll("ScrollBarDv", Action::SliderPageStepAdd), 0},
            {"envelope tab", [] { ClickTab(Form1->TabControl2, 4); }, 0},
            {"Invert", [] { ClickIndicator(Form1->CheckBox1); }, 0},
            {"Repeat", [] { ClickIndicator(Form1->CheckBox2); }, 0},
            {"detune", scroll("ScrollBarO2DT", Action::SliderSingleStepSub), 0},
            {"Octave item", [] { ClickIndicator(Form1->RadioGroup1->Item(2)); }, 0},
            {"piano key", [] { QTest::mouseClick(Control<PianoKey>("ButtonC0"), Qt::LeftButton); }, 0},
            {"Stop", [] { QTest::mouseClick(Form1->Button5, Qt::LeftButton); }, 0},
        };
        for (const Case& c : cases) {
            before = PreviewKey();
            c.act();
            QVERIFY2(PreviewKey() - before == c.draws,
                     qPrintable(QString("%1: %2 draws").arg(c.what).arg(PreviewKey() - before)));
        }
    }

    void detune_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("text");
        QTest::newRow("to minimum") << 0 << int(Action::SliderToMinimum) << -16 << " -16";
        QTest::newRow("to maximum") << 0 << int(Action::SliderToMaximum) << 15 << "  15";
        QTest::newRow("line left from 0") << 0 << int(Action::SliderSingleStepSub) << -1 << "  -1";
        QTest::newRow("page right from 3") << 3 << int(Action::SliderPageStepAdd) << 4 << "   4";
        QTest::newRow("repeats -16") << -16 << int(Action::SliderSingleStepSub) << -16 << " -16";
    }

    void detune() {
        QFETCH(int, start);
        QFETCH(int, action);
        QFETCH(int, expected);
        QFETCH(QString, text);
        const ParameterStore store = Form1->Store;
        Form1->ScrollBarO2DT->setValue(start);
        ksynth::Voices[0].Osc2Detune = 99;

        Form1->ScrollBarO2DT->triggerAction(Action(action));
        EngineSnapshot engine = engineAtStart_;
        engine.Detune = static_cast<int8_t>(expected);
        QVERIFY(EngineSnapshot::Take() == engine);
        QCOMPARE(Form1->LabelO2DT->text(), text);
        QVERIFY(SameStore(Form1->Store, store));

        // The detune stays through tab changes.
        ClickTab(Form1->TabControl1, 1);
        ClickTab(Form1->TabControl1, 0);
        QCOMPARE(int(ksynth::Voices[0].Osc2Detune), expected);
    }

    void newRandomisesTheShownOscillatorOnly_data() {
        QTest::addColumn<int>("oscillator");
        QTest::newRow("Oscillator 1") << 0;
        QTest::newRow("Oscillator 2") << 1;
    }

    void newRandomisesTheShownOscillatorOnly() {
        QFETCH(int, oscillator);
        if (oscillator == 1) ClickTab(Form1->TabControl1, 1);
        Form1->ScrollBarO2DT->triggerAction(QAbstractSlider::SliderToMinimum);
        const ParameterStore store = Form1->Store;
        const EngineSnapshot engine = EngineSnapshot::Take();

        // Bytes alternate Waveform point, Strength point, from point 0 on.
        constexpr unsigned Seed = 20240611;
        Form1->Random.seed(Seed);
        std::mt19937 generator(Seed);
        std::uniform_int_distribution<int> randomByte(0, 255);
        OscillatorShape expected{};
        for (int point = 0; point < 9; ++point) {
            expected.Waveform[point] = static_cast<uint8_t>(randomByte(generator));
            expected.Strength[point] = static_cast<uint8_t>(randomByte(generator));
        }

        QTest::mouseClick(Form1->Button1, Qt::LeftButton);

        ParameterStore changed = store;
        changed.OscillatorCurves[oscillator] = expected;
        QVERIFY(SameStore(Form1->Store, changed));
        EngineSnapshot engineChanged = engine;
        engineChanged.Curves[2 * oscillator] = expected.Waveform;
        engineChanged.Curves[2 * oscillator + 1] = expected.Strength;
        QVERIFY(EngineSnapshot::Take() == engineChanged);
        QCOMPARE(int(ksynth::Voices[0].Osc2Detune), -16);
        for (int point = 0; point < 9; ++point) {
            QCOMPARE(Form1->CurveBars[point]->value(), int(expected.Waveform[point]));
            QCOMPARE(Form1->CurveBars[point + 9]->value(), int(expected.Strength[point]));
            QCOMPARE(Form1->CurveLabels[point]->text().trimmed().toInt(), int(expected.Waveform[point]));
            QCOMPARE(Form1->CurveLabels[point + 9]->text().trimmed().toInt(), int(expected.Strength[point]));
            QCOMPARE(Form1->CurveLabels[point]->text().size(), 4);
        }
        QVERIFY(Form1->Image1->Picture == PreviewOf(expected));
    }
};

QTEST_MAIN(EditingTest)
#include "editing_test.moc"
