// The window's frame, pages and the place, caption and range of every control.
#include <cstdlib>

#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextEdit>

#include "tests/ui/ui_fixture.h"

namespace {

// Caption of any control that shows one.
QString CaptionOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(w)) return group->title();
    return {};
}

QStringList TabCaptions(const TabControl* control) {
    QStringList captions;
    for (int i = 0; i < control->Tabs()->count(); ++i) captions << control->Tabs()->tabText(i);
    return captions;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private:
    // One row: a control, its parent, caption, place (and size when the layout fixes it)
    // and, for scroll bars, range and large step.
    static void Row(const QString& name, const QString& parent, const QString& caption, QRect rect, bool sized,
                    int minimum = 0, int maximum = 0, int largeStep = 0) {
        QTest::newRow(qPrintable(name)) << name << parent << caption << rect << sized << minimum << maximum << largeStep;
    }
    static void Bar(const QString& name, const QString& parent, int left, int top, int width, int minimum, int maximum,
                    int largeStep) {
        Row(name, parent, {}, QRect(left, top, width, 12), true, minimum, maximum, largeStep);
    }
    static void Label(const QString& name, const QString& parent, const QString& caption, int left, int top,
                      int width = 0) {
        Row(name, parent, caption, QRect(left, top, width, 0), width > 0);
    }

private slots:
    void initTestCase() { ksynth::BuildTables(); }
    // Shown, as children are placed when their parent first appears.
    void init() { NewForm()->show(); }
    void cleanup() { DeleteForm(); }

    void windowFrame() {
        QCOMPARE(Form1->windowTitle(), QString("TONARE Wave Generator"));
        QCOMPARE(Form1->size(), QSize(671, 575));
        QCOMPARE(Form1->minimumSize(), QSize(671, 575));
        QCOMPARE(Form1->maximumSize(), QSize(671, 575));
        const Qt::WindowFlags flags = Form1->windowFlags();
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        // Centred on the screen, give or take the frame the window system adds around it.
        const QPoint offCentre = Form1->geometry().center() - Form1->screen()->geometry().center();
        const QRect frame = Form1->frameGeometry();
        const QRect client = Form1->geometry();
        QVERIFY2(std::abs(offCentre.x()) <= frame.width() - client.width() &&
                     std::abs(offCentre.y()) <= frame.height() - client.height(),
                 qPrintable(QString("%1, %2 off the centre").arg(offCentre.x()).arg(offCentre.y())));
        // On the button face.
        QCOMPARE(Form1->palette().color(QPalette::Window), Form1->palette().color(QPalette::Button));
        QCOMPARE(Form1->font().family(), QString("Tahoma"));
        QCOMPARE(Form1->font().pixelSize(), 11);
        if (QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) {
            QCOMPARE(QFontInfo(Form1->font()).family(), QString("Tahoma"));
        }
    }

    void pages() {
        QCOMPARE(TabCaptions(Form1->PageControl2), QStringList({"About", "Pattern Editor", "Instrument Editor"}));
        QCOMPARE(Form1->PageControl2->ActivePage(), Control("TAbout"));
        QCOMPARE(TabCaptions(Form1->TabControl1), QStringList({"Oscillator 1", "Oscillator 2"}));
        QCOMPARE(Form1->TabControl1->TabIndex(), 0);
        QCOMPARE(TabCaptions(Form1->TabControl2),
                 QStringList({"Volume", "Oscillator 1", "Oscillator 2", "Pulsewidth", "Filter"}));
        QCOMPARE(Form1->TabControl2->TabIndex(), 0);
        QCOMPARE(TabCaptions(Form1->PageControl1), QStringList({"Arpeggio", "Noise", "Portamento", "Vibrato"}));
        QCOMPARE(Form1->PageControl1->TabIndex(), 0);
        for (const char* page : {"TAbout", "TPatt", "TInst"}) QCOMPARE(Control(page)->parentWidget(), Form1->PageControl2);
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<bool>("sized");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("largeStep");

        // Top row: 65 x 17 buttons at top 0.
        const std::pair<const char*, int> buttons[] = {{"New", 0},    {"Load", 71}, {"Save", 142},
                                                       {"Play", 284}, {"Stop", 355}, {"Quit", 604}};
        for (int i = 0; i < 6; ++i) {
            Row(QString("Button%1").arg(i + 1), "Form1", buttons[i].first, QRect(buttons[i].second, 0, 65, 17), true);
        }
        Row("PageControl2", "Form1", {}, QRect(-1, 23, 674, 554), true);
        Row("Image2", "TAbout", {}, QRect(74, 48, 513, 161), true);

        // Header row of the "Instrument Editor" page.
        Label("Label15", "TInst", "Instrument", 8, 5);
        Label("Label29", "TInst", "   0", 82, 5);
        Bar("ScrollBar19", "TInst", 117, 6, 196, 0, 255, 16);
        Label("Label17", "TInst", "OSC2 Detune", 355, 6);
        Label("LabelO2DT", "TInst", "   0", 429, 6);
        Bar("ScrollBarO2DT", "TInst", 464, 7, 196, -16, 15, 1);

        // Oscillator tab control: nine point rows, bars one pixel below their labels.
        Row("TabControl1", "TInst", {}, QRect(1, 24, 336, 490), true);
        Row("Image1", "TabControl1", {}, QRect(41, 33, 255, 255), true);
        const int rowTops[9] = {293, 311, 329, 347, 365, 383, 401, 420, 438};
        for (int n = 1; n <= 9; ++n) {
            const int top = rowTops[n - 1];
            Label(QString("Label%1").arg(n), "TabControl1", {}, 8, top);
            Bar(QString("ScrollBar%1").arg(n), "TabControl1", 32, top + 1, 131, 0, 255, 16);
            Bar(QString("ScrollBar%1").arg(n + 9), "TabControl1", 173, top + 1, 131, 0, 255, 16);
            Label(QString("LabelST%1").arg(n), "TabControl1", {}, 310, top);
        }
        Label("Label49", "TabControl1", "Distortion Waveform", 32, 457, 99);
        Label("Label50", "TabControl1", "Distortion Strength", 173, 457, 91);

        // Envelope tab control: eight rows 18 apart from top 24.
        Row("TabControl2", "TInst", {}, QRect(348, 24, 315, 192), true);
        const char* envelopeRows[8][2] = {{"As", "Step 1 Length"}, {"Av", "Value"}, {"Ds", "Step 2 Length"},
                                          {"Dv", "Value"},         {"Ss", "Step 3 Length"}, {"Sv", "Value"},
                                          {"Rs", "Step 4 Length"}, {"Rv", "Value"}};
        for (int k = 0; k < 8; ++k) {
            const QString suffix = envelopeRows[k][0];
            const int top = 24 + 18 * k;
            Label("Caption" + suffix, "TabControl2", envelopeRows[k][1], k % 2 == 0 ? 6 : 40, top);
            Label("Label" + suffix, "TabControl2", {}, 80, top);
            Bar("ScrollBar" + suffix, "TabControl2", 116, top, 196, 0, 255, 16);
        }
        Row("CheckBox1", "TabControl2", "Invert", QRect(173, 170, 0, 0), false);
        Row("CheckBox2", "TabControl2", "Repeat", QRect(236, 170, 0, 0), false);

        // Effect pages: rows 18 apart from top 2, every value label reading " 255".
        Row("PageControl1", "TInst", {}, QRect(348, 222, 315, 140), true);
        struct Effect {
            const char* page;
            const char* suffix;
            const char* caption;
            int row, minimum, maximum, step;
        };
        const Effect effects[] = {
            {"TArpeggio", "ArpDelay", "Delay", 0, 0, 255, 16},      {"TArpeggio", "ArpSpeed", "Speed", 1, 0, 255, 16},
            {"TArpeggio", "ArpRepeat", "Repeat @", 2, 0, 3, 1},     {"TArpeggio", "Arp1", "Arp 1", 3, 0, 36, 12},
            {"TArpeggio", "Arp2", "Arp 2", 4, 0, 36, 12},           {"TArpeggio", "Arp3", "Arp 3", 5, 0, 36, 12},
            {"TNoise", "NzeDelay", "Delay", 0, 0, 255, 16},         {"TNoise", "NzeLen", "Length", 1, 0, 255, 16},
            {"TPortamento", "PMDelay", "Delay", 0, 0, 255, 16},     {"TPortamento", "PMSpeed", "Speed", 1, 0, 255, 16},
            {"TPortamento", "PMLen", "Length", 2, 0, 255, 16},      {"TPortamento", "PMVal", "Value", 3, -512, 511, 16},
            {"TVibrato", "VibDelay", "Delay", 0, 0, 255, 16},       {"TVibrato", "VibSpeed", "Speed", 1, 0, 255, 16},
            {"TVibrato", "VibDepth", "Depth", 2, 0, 15, 4},
        };
        for (const Effect& e : effects) {
            const int top = 2 + 18 * e.row;
            Label(QString("Caption") + e.suffix, e.page, e.caption, 12, top);
            Label(QString("Label") + e.suffix, e.page, " 255", 76, top);
            Bar(QString("ScrollBar") + e.suffix, e.page, 112, top, 196, e.minimum, e.maximum, e.step);
        }

        Row("RadioGroup1", "TInst", "Octave", QRect(348, 368, 315, 30), true);
    }

    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        QFETCH(QRect, rect);
        QFETCH(bool, sized);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, largeStep);

        auto* w = Control(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->parentWidget()->objectName(), parent);
        if (!caption.isEmpty()) QCOMPARE(CaptionOf(w), caption);
        QCOMPARE(w->pos(), rect.topLeft());
        if (sized && rect.height() == 0) QCOMPARE(w->width(), rect.width());   // a label fixes its width only
        if (sized && rect.height() > 0) QCOMPARE(w->size(), rect.size());
        if (auto* bar = qobject_cast<ScrollBar*>(w)) {
            QCOMPARE(bar->orientation(), Qt::Horizontal);
            QCOMPARE(bar->minimum(), minimum);
            QCOMPARE(bar->maximum(), maximum);
            QCOMPARE(bar->pageStep(), largeStep);
            QCOMPARE(bar->singleStep(), 1);
        }
    }

    void octaveItems() {
        Form1->PageControl2->SetActivePage(Form1->TInst);
        QStringList items;
        for (auto* item : Form1->RadioGroup1->findChildren<QRadioButton*>()) items << item->text();
        QCOMPARE(items, QStringList({"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(Form1->RadioGroup1->ItemIndex(), 0);
        // Six columns: each item starts further right than the one before.
        for (int i = 1; i < 6; ++i) QVERIFY(Form1->RadioGroup1->Item(i)->x() > Form1->RadioGroup1->Item(i - 1)->x());
    }

    void aboutText() {
        const QStringList lines = {
            "This is TONARE Preview build 2", "Missing Features include:     ", "- no pattern editor           ",
            "- no load/save                ", "- no instrument select        ", "Effect engine                 ",
            "  - no Arpeggio               ", "  - no Noise                  ", "  - no Portamento             ",
            "  - no Vibrato                ", "Synthesizer                   ", "  - 256*8bit waveform only    ",
            "  - no 65536*16bit hq-mode    ",
        };
        auto* memo = Control<QTextEdit>("Memo1");
        QVERIFY(memo);
        QCOMPARE(memo->toPlainText().split('\n'), lines);
        for (const QString& line : lines) QCOMPARE(line.size(), 30);
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->frameShape(), QFrame::NoFrame);
        QCOMPARE(memo->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QVERIFY(memo->document()->defaultTextOption().flags().testFlag(QTextOption::IncludeTrailingSpaces));
        // Docked at the bottom of the page, over its full width.
        QCOMPARE(memo->parentWidget(), Control("TAbout"));
        QCOMPARE(memo->geometry(), QRect(0, 288, Control("TAbout")->width(), 238));
        QCOMPARE(memo->geometry().bottom() + 1, Control("TAbout")->height());
        QCOMPARE(memo->palette().color(QPalette::Base), Form1->palette().color(QPalette::Button));
        QVERIFY(memo->font().bold());
        QCOMPARE(memo->font().pixelSize(), 16);
        const QString family = QFontInfo(memo->font()).family();
        QVERIFY2(family == "Courier New" || family == "Liberation Mono", qPrintable(family));
    }

    void logoAtNaturalSize() {
        const QImage& logo = Form1->Image2->Picture;
        QCOMPARE(logo.size(), QSize(512, 160));
        QCOMPARE(logo.format(), QImage::Format_Indexed8);
    }

    void pianoKeys_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<int>("note");
        const char* notes[12] = {"C", "CS", "D", "DS", "E", "F", "FS", "G", "GS", "A", "AS", "B"};
        const int noteBytes[12] = {6, 21, 38, 55, 74, 93, 114, 136, 159, 184, 210, 238};
        const bool black[12] = {false, true, false, true, false, false, true, false, true, false, true, false};
        const char* suffixes[3] = {"d", "0", "u"};
        // Walk the keys in pitch order: each white key is 15 right of the last white one,
        // each black key 9 right of the white key just below it.
        int whiteLeft = 348 - 15;
        for (int offset = 0; offset < 3; ++offset) {
            for (int semitone = 0; semitone < 12; ++semitone) {
                const QString name = QString("Button") + notes[semitone] + suffixes[offset];
                const QRect rect = black[semitone] ? QRect(whiteLeft + 9, 404, 11, 55)
                                                   : QRect(whiteLeft += 15, 404, 15, 87);
                QTest::newRow(qPrintable(name)) << name << 16 * offset + semitone << rect << noteBytes[semitone];
            }
        }
    }

    void pianoKeys() {
        QFETCH(QString, name);
        QFETCH(int, tag);
        QFETCH(QRect, rect);
        QFETCH(int, note);
        auto* key = Control<PianoKey>(name);
        QVERIFY(key);
        QCOMPARE(key->Tag, tag);
        QCOMPARE(key->geometry(), rect);
        QCOMPARE(key->parentWidget(), Control("TInst"));
        QVERIFY(key->text().isEmpty());
        // A black key lies on top of the white keys it overlaps; a white key is
        // reached below the black keys' ends.
        const QPoint inside = rect.width() == 11 ? rect.center() : QPoint(rect.center().x(), 404 + 80);
        QCOMPARE(Control("TInst")->childAt(inside), key);

        // Wired to the shared key handler: with item "1" the octave index is the offset,
        // and (256 + note) x 8 >> (7 - offset) is the frequency index.
        key->click();
        QCOMPARE(int(Form1->Store.NoteValue), note);
        QCOMPARE(uint32_t(ksynth::Voices[0].PhaseStep), ksynth::FrequencyTable[((256 + note) * 8) >> (7 - tag / 16)]);
    }

    void boundaryKeys() {
        QCOMPARE(Control("ButtonCd")->x(), 348);
        QCOMPARE(Control("ButtonCSd")->x(), 357);
        QCOMPARE(Control("ButtonBu")->x(), 648);
        QCOMPARE(Control("ButtonBu")->geometry().right() + 1, 663);
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
