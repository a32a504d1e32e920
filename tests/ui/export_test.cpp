// The window's note export: Ctrl+E from any focus and "Export note…" in the
// editor page's menu open the save dialog with the proposed name; the file holds
// the first key press's render; silence and unwritable paths give a message.
#include <QAction>
#include <QCheckBox>
#include <QRadioButton>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>

#include "tests/export/export_support.h"
#include "tests/ui/ui_fixture.h"
#include "ui/exporter.h"

namespace {

// What the injected dialog was asked, and what it answers.
struct DialogProbe {
    int calls = 0;
    QString caption;
    QString proposed;
    QString filters;
    QString answer;
    QString answerFilter;
};

struct MessageProbe {
    int calls = 0;
    QString text;
};

ksynth::NoteInstrument StartInstrument() {
    ksynth::NoteInstrument instrument = export_support::DefaultInstrument();
    return instrument;
}

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT

private:
    DialogProbe dialog_;
    MessageProbe message_;
    QTemporaryDir folder_;

    void Probe() {
        dialog_ = DialogProbe{};
        message_ = MessageProbe{};
        Form1->NoteExporter->SetFileDialog(
            [this](QWidget*, const QString& caption, const QString& proposed, const QString& filters, QString* selected) {
                ++dialog_.calls;
                dialog_.caption = caption;
                dialog_.proposed = proposed;
                dialog_.filters = filters;
                if (!dialog_.answerFilter.isEmpty()) *selected = dialog_.answerFilter;
                return dialog_.answer;
            });
        Form1->NoteExporter->SetMessageBox([this](QWidget*, const QString&, const QString& text) {
            ++message_.calls;
            message_.text = text;
        });
    }

    static QString FileName(const QString& path) { return QFileInfo(path).fileName(); }

private slots:
    void initTestCase() {
        ksynth::BuildTables();
        QVERIFY(folder_.isValid());
    }
    void init() {
        NewFormOnInstrumentPage();
        Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form1));
        Probe();
    }
    void cleanup() { DeleteForm(); }

    void ctrlEFromAnyFocus_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("a scroll bar") << "ScrollBar3";
        QTest::newRow("a tab") << "TabControl2";
        QTest::newRow("a check box") << "CheckBox1";
    }

    void ctrlEFromAnyFocus() {
        QFETCH(QString, control);
        QWidget* widget = Control(control);
        QVERIFY(widget);
        if (auto* tabs = qobject_cast<TabControl*>(widget)) widget = tabs->Tabs();
        widget->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), widget);
        const uint8_t noteBefore = Form1->Store.NoteValue;

        QTest::keyClick(widget, Qt::Key_E, Qt::ControlModifier);

        QCOMPARE(dialog_.calls, 1);
        QCOMPARE(dialog_.caption, QString("Export note"));
        QVERIFY(dialog_.filters.contains("*.wav"));
        QVERIFY(dialog_.filters.contains("*.flac"));
        // The E of Ctrl+E plays no note.
        QCOMPARE(Form1->Store.NoteValue, noteBefore);
    }

    void menuEntryShowsTheShortcutAndExports() {
        QAction* entry = nullptr;
        for (QAction* action : Form1->EditorMenu()->actions()) {
            if (action->text() == QString("Export note…")) entry = action;
        }
        QVERIFY(entry);
        QCOMPARE(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(entry->shortcut().toString(QKeySequence::NativeText), QString("Ctrl+E"));
        QVERIFY(entry->isShortcutVisibleInContextMenu());

        // A right click on the page, then a click on the entry.
        QWidget* page = Form1->TInst;
        const QPoint at(5, 300);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, page->mapToGlobal(at));
        QApplication::sendEvent(page, &event);
        QMenu* menu = Form1->EditorMenu();
        QCOMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(menu));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        QCOMPARE(dialog_.calls, 1);
    }

    void proposedName_data() {
        QTest::addColumn<int>("item");        // "Octave" item index: "1" is 0
        QTest::addColumn<QString>("how");     // mouse:<key>, computer key, midi, none
        QTest::addColumn<QString>("name");
        QTest::newRow("ButtonA0 at item 4") << 3 << "mouse:ButtonA0" << "tonare-A4.wav";
        QTest::newRow("ButtonCS0 at item 2") << 1 << "mouse:ButtonCS0" << "tonare-C#2.wav";
        QTest::newRow("ButtonBu at item 6") << 5 << "mouse:ButtonBu" << "tonare-B7.wav";
        QTest::newRow("computer key Y at item 3") << 2 << "key" << "tonare-A3.wav";
        QTest::newRow("MIDI A sharp 6 at item 1") << 0 << "midi" << "tonare-A#6.wav";
        QTest::newRow("before the first note, item 4") << 3 << "none" << "tonare-A4.wav";
        QTest::newRow("before the first note, item 1") << 0 << "none" << "tonare-A1.wav";
    }

    void proposedName() {
        QFETCH(int, item);
        QFETCH(QString, how);
        QFETCH(QString, name);
        ClickIndicator(Form1->RadioGroup1->Item(item));
        if (how.startsWith("mouse:")) QTest::mouseClick(Control<PianoKey>(how.mid(6)), Qt::LeftButton);
        if (how == "key") QTest::keyClick(Form1->ScrollBarO2DT, Qt::Key_Y);
        if (how == "midi") Form1->MidiNoteOn(nullptr, 10, 6);

        QTest::keyClick(Form1, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(dialog_.calls, 1);
        QCOMPARE(FileName(dialog_.proposed), name);
        QCOMPARE(QFileInfo(dialog_.proposed).absolutePath(),
                 QDir(QStandardPaths::writableLocation(QStandardPaths::MusicLocation)).absolutePath());
    }

    void lastFolderStaysProposed() {
        QDir(folder_.path()).mkpath("chosen");
        dialog_.answer = folder_.filePath("chosen/first.wav");
        QTest::keyClick(Form1, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(QFile::exists(dialog_.answer));
        QTest::mouseClick(Control<PianoKey>("ButtonCS0"), Qt::LeftButton);
        dialog_.answer.clear();   // cancelled
        QTest::keyClick(Form1, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(dialog_.proposed, folder_.filePath("chosen/tonare-C#1.wav"));
    }

    void fileEqualsTheFirstKeyPressRender_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("major");
        QTest::newRow("wav") << "a.wav" << "" << "a.wav" << int(SF_FORMAT_WAV);
        QTest::newRow("flac typed, WAV chosen") << "b.flac" << "" << "b.flac" << int(SF_FORMAT_FLAC);
        QTest::newRow("no extension, FLAC chosen") << "c" << "FLAC audio (*.flac)" << "c.flac" << int(SF_FORMAT_FLAC);
    }

    void fileEqualsTheFirstKeyPressRender() {
        QFETCH(QString, answer);
        QFETCH(QString, filter);
        QFETCH(QString, written);
        QFETCH(int, major);
        // An edited instrument: detune, a curve point and the volume's repeat.
        ClickIndicator(Form1->RadioGroup1->Item(3));
        Form1->ScrollBarO2DT->setValue(-5);
        Form1->ScrollBarO2DTScroll(Form1->ScrollBarO2DT, -5);
        Form1->CurveBars[2]->triggerAction(QAbstractSlider::SliderPageStepSub);
        CheckBox2Click_on();
        QTest::mouseClick(Control<PianoKey>("ButtonA0"), Qt::LeftButton);
        // A note sounds a while before the export.
        QTest::qWait(50);

        dialog_.answer = folder_.filePath(answer);
        dialog_.answerFilter = filter;
        QTest::keyClick(Form1->CheckBox1, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(message_.calls, 0);

        const export_support::SoundFile file = export_support::ReadSoundFile(folder_.filePath(written).toStdString());
        QVERIFY(file.Opened);
        QCOMPARE(file.Info.format & SF_FORMAT_TYPEMASK, major);
        QCOMPARE(file.Title, std::string("A4"));

        ksynth::NoteInstrument instrument = StartInstrument();
        instrument.Osc2Detune = -5;
        instrument.Curves[ksynth::Osc1WaveformCurve][2] = 255 - 16;
        instrument.Envelopes[0].Repeat = 255;
        const uint32_t frames = 128 * 882;   // repeating volume: the longest envelope's 128 ticks
        QCOMPARE(file.Info.frames, sf_count_t{frames});
        SDLaudio::DeviceStop();
        QVERIFY(SDLaudio::DeviceClose(std::chrono::seconds(5)));
        const std::vector<int16_t> expected =
            export_support::KeyPressFrames(instrument, ksynth::FrequencyTable[440], frames);
        QVERIFY(file.Samples == expected);
        QFile::remove(folder_.filePath(written));
    }

    void silentNoteGivesAMessageAndNoDialog() {
        Form1->Store.Envelopes[0] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        dialog_.answer = folder_.filePath("silent.wav");
        QTest::keyClick(Form1, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(dialog_.calls, 0);
        QCOMPARE(message_.calls, 1);
        QVERIFY(message_.text.contains("silent"));
        QVERIFY(!QFile::exists(dialog_.answer));
    }

    void unwritablePathGivesTheReasonAndTheProgramGoesOn() {
        dialog_.answer = "/proc/tonare.wav";
        QTest::keyClick(Form1, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(message_.calls, 1);
        QCOMPARE(message_.text, QString("Could not write “/proc/tonare.wav”: No such file or directory."));
        QVERIFY(!QFile::exists(dialog_.answer));

        dialog_.answer = folder_.filePath("after.wav");
        QTest::mouseClick(Control<PianoKey>("ButtonC0"), Qt::LeftButton);
        QTest::keyClick(Form1, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(message_.calls, 1);
        QVERIFY(QFile::exists(dialog_.answer));
        QFile::remove(dialog_.answer);
    }

private:
    void CheckBox2Click_on() {
        ClickTab(Form1->TabControl2, 0);
        ClickIndicator(Form1->CheckBox2);
        QVERIFY(Form1->Store.Envelopes[0].Repeat == 255);
    }
};

QTEST_MAIN(ExportTest)
#include "export_test.moc"
