// The window's layout: frame, fonts, every control's name, caption, place and
// range, and which handler each one calls.
#include "ui/layout.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QScreen>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextOption>

#include "ui/keymap.h"
#include "ui/logo.h"
#include "ui/pianokey.h"
#include "ui/ukurvil.h"
#include "ui/widgets.h"

using namespace layout;

namespace {

constexpr int ClientWidth = 671;
constexpr int ClientHeight = 575;
constexpr int BarHeight = 12;
constexpr int LabelHeight = 13;
constexpr int ValueLabelWidth = 24;   // fits " 255" and " -16"
constexpr int MemoLineHeight = 18;
constexpr int RowPitch = 18;          // between the envelope rows and the effect rows
constexpr int TopButtonWidth = 65;
constexpr int TopButtonHeight = 17;

struct TopButton {
    const char* name;
    const char* caption;
    int left;
};
constexpr std::array<TopButton, 6> TopRow = {{
    {"Button1", "New", 0},
    {"Button2", "Load", 71},
    {"Button3", "Save", 142},
    {"Button4", "Play", 284},
    {"Button5", "Stop", 355},
    {"Button6", "Quit", 604},
}};

// Every line is 30 characters so that the centred lines line up as one block.
constexpr std::array<const char*, 13> AboutLines = {
    "This is TONARE Preview build 2",
    "Missing Features include:     ",
    "- no pattern editor           ",
    "- no load/save                ",
    "- no instrument select        ",
    "Effect engine                 ",
    "  - no Arpeggio               ",
    "  - no Noise                  ",
    "  - no Portamento             ",
    "  - no Vibrato                ",
    "Synthesizer                   ",
    "  - 256*8bit waveform only    ",
    "  - no 65536*16bit hq-mode    ",
};

// A bar's range and large step (a click in the trough); the small step is 1.
struct BarRange {
    int minimum;
    int maximum;
    int largeStep;
};
constexpr BarRange ByteRange{0, 255, 16};
constexpr BarRange DetuneRange{-16, 15, 1};

// Tops of the nine curve point rows on TabControl1; the bars sit one pixel lower.
constexpr std::array<int, ksynth::CurvePointCount> CurveRowTops = {293, 311, 329, 347, 365, 383, 401, 420, 438};

// The two curve columns: value label and bar of each, left to right.
struct CurveColumn {
    const char* labelPrefix;   // Label<n> or LabelST<n>, n = point + 1
    int labelLeft;
    int barLeft;
};
constexpr std::array<CurveColumn, CurveColumns> CurveColumnPlaces = {{
    {"Label", 8, 32},
    {"LabelST", 310, 173},
}};
constexpr int CurveBarWidth = 131;

using ScrollHandler = void (TForm1::*)(QObject*, int);

constexpr std::array<ScrollHandler, CurveBarCount> CurveHandlers = {
    &TForm1::ScrollBar1Change,  &TForm1::ScrollBar2Change,  &TForm1::ScrollBar3Change,
    &TForm1::ScrollBar4Change,  &TForm1::ScrollBar5Change,  &TForm1::ScrollBar6Change,
    &TForm1::ScrollBar7Change,  &TForm1::ScrollBar8Change,  &TForm1::ScrollBar9Change,
    &TForm1::ScrollBar10Change, &TForm1::ScrollBar11Change, &TForm1::ScrollBar12Change,
    &TForm1::ScrollBar13Change, &TForm1::ScrollBar14Change, &TForm1::ScrollBar15Change,
    &TForm1::ScrollBar16Change, &TForm1::ScrollBar17Change, &TForm1::ScrollBar18Change,
};

// The envelope rows on TabControl2, in the order of the envelope's bytes.
struct EnvelopeRow {
    const char* suffix;   // of ScrollBar<suffix>, Label<suffix> and Caption<suffix>
    const char* caption;
    int captionLeft;
    ScrollHandler handler;
};
constexpr std::array<EnvelopeRow, EnvelopeBarCount> EnvelopeRows = {{
    {"As", "Step 1 Length", 6, &TForm1::ScrollBarAsChange},
    {"Av", "Value", 40, &TForm1::ScrollBarAvChange},
    {"Ds", "Step 2 Length", 6, &TForm1::ScrollBarDsChange},
    {"Dv", "Value", 40, &TForm1::ScrollBarDvChange},
    {"Ss", "Step 3 Length", 6, &TForm1::ScrollBarSsChange},
    {"Sv", "Value", 40, &TForm1::ScrollBarSvScroll},
    {"Rs", "Step 4 Length", 6, &TForm1::ScrollBarRsChange},
    {"Rv", "Value", 40, &TForm1::ScrollBarRvChange},
}};
constexpr int EnvelopeRowsTop = 24;

// The effect pages: placeholders for features still to come, connected to nothing.
struct EffectPage {
    const char* name;
    const char* caption;
};
constexpr std::array<EffectPage, 4> EffectPages = {{
    {"TArpeggio", "Arpeggio"},
    {"TNoise", "Noise"},
    {"TPortamento", "Portamento"},
    {"TVibrato", "Vibrato"},
}};

struct EffectRow {
    int page;
    const char* suffix;   // of ScrollBar<suffix>, Label<suffix> and Caption<suffix>
    const char* caption;
    BarRange range;
};
constexpr std::array<EffectRow, 15> EffectRows = {{
    {0, "ArpDelay", "Delay", ByteRange},
    {0, "ArpSpeed", "Speed", ByteRange},
    {0, "ArpRepeat", "Repeat @", {0, 3, 1}},
    {0, "Arp1", "Arp 1", {0, 36, 12}},
    {0, "Arp2", "Arp 2", {0, 36, 12}},
    {0, "Arp3", "Arp 3", {0, 36, 12}},
    {1, "NzeDelay", "Delay", ByteRange},
    {1, "NzeLen", "Length", ByteRange},
    {2, "PMDelay", "Delay", ByteRange},
    {2, "PMSpeed", "Speed", ByteRange},
    {2, "PMLen", "Length", ByteRange},
    {2, "PMVal", "Value", {-512, 511, 16}},
    {3, "VibDelay", "Delay", ByteRange},
    {3, "VibSpeed", "Speed", ByteRange},
    {3, "VibDepth", "Depth", {0, 15, 4}},
}};
constexpr int EffectRowsTop = 2;

// Piano keys: Tag = 16 x octave offset + semitone.
constexpr int TagsPerOffset = 16;
constexpr std::array<const char*, SemitonesPerOctave> NoteNames = {"C", "CS", "D", "DS", "E", "F",
                                                                   "FS", "G", "GS", "A", "AS", "B"};
constexpr std::array<const char*, OctaveOffsets> OffsetNames = {"d", "0", "u"};
// What a musician calls them, for tooltips and screen readers.
constexpr std::array<const char*, SemitonesPerOctave> SpokenNoteNames = {"C", "C#", "D", "D#", "E", "F",
                                                                         "F#", "G", "G#", "A", "A#", "B"};
constexpr std::array<const char*, OctaveOffsets> SpokenOffsetNames = {"lower", "middle", "upper"};
constexpr int WhiteKeysPerOctave = 7;
constexpr int KeyboardLeft = 348;
constexpr int KeyboardTop = 404;
constexpr int WhiteKeyWidth = 15;
constexpr int WhiteKeyHeight = 87;
constexpr int BlackKeyWidth = 11;
constexpr int BlackKeyHeight = 55;
constexpr int BlackKeyShift = 9;   // from the left edge of the white key a semitone below

// Below the keys, right of the oscillator tab control, to the page's bottom.
constexpr QRect AudioStatusArea{KeyboardLeft, KeyboardTop + WhiteKeyHeight + 4, 315, 30};

// Left edge of a key: white keys side by side in pitch order, black keys shifted
// from their lower neighbour.
constexpr int KeyLeft(int offset, int semitone) {
    if (IsBlackKey(semitone)) return KeyLeft(offset, semitone - 1) + BlackKeyShift;
    int whiteBelow = 0;
    for (int s = 0; s < semitone; ++s) whiteBelow += IsBlackKey(s) ? 0 : 1;
    return KeyboardLeft + WhiteKeyWidth * (WhiteKeysPerOctave * offset + whiteBelow);
}

void LoadFonts() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    // Debian's fonts-wine ships a Tahoma that fontconfig does not index.
    for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(file)) QFontDatabase::addApplicationFont(file);
    }
    // Liberation Mono has the metrics of Courier New.
    QFont::insertSubstitution("Courier New", "Liberation Mono");
}

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A label sized to its text, like an auto-sized label; width > 0 fixes the width.
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top, int width = 0) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->adjustSize();
    label->setGeometry(left, top, width > 0 ? width : label->width(), std::max(LabelHeight, label->height()));
    return label;
}

ScrollBar* MakeBar(QWidget* parent, const QString& name, int left, int top, int width, BarRange range) {
    auto* bar = new ScrollBar(range.minimum, range.maximum, range.largeStep, parent);
    bar->setObjectName(name);
    bar->setGeometry(left, top, width, BarHeight);
    return bar;
}

// One editor row: a caption (none when its name is empty), a value label and a
// scroll bar, side by side. The three are children of the page itself, not of
// a row widget, so that their names, places and focus order stay those of the
// page's tables whichever row they belong to.
struct BarRow {
    QLabel* Caption = nullptr;
    QLabel* Value = nullptr;
    ScrollBar* Bar = nullptr;
};

struct BarRowPlan {
    QString captionName;
    QString caption;
    int captionLeft;
    QString valueName;
    QString value;   // the value label's caption until a handler sets it
    int valueLeft;
    QString barName;
    int barLeft;
    int barWidth;
    BarRange range;
};

BarRow MakeBarRow(QWidget* page, const BarRowPlan& plan, int top, int barTop) {
    BarRow row;
    if (!plan.captionName.isEmpty()) {
        row.Caption = MakeLabel(page, plan.captionName, plan.caption, plan.captionLeft, top);
    }
    row.Value = MakeLabel(page, plan.valueName, plan.value, plan.valueLeft, top, ValueLabelWidth);
    row.Bar = MakeBar(page, plan.barName, plan.barLeft, barTop, plan.barWidth, plan.range);
    return row;
}

// The rows named Caption<suffix>, Label<suffix> and ScrollBar<suffix>.
BarRowPlan SuffixRow(const QString& suffix, const QString& caption, int captionLeft, int valueLeft, int barLeft,
                     BarRange range) {
    constexpr int SuffixBarWidth = 196;
    return {"Caption" + suffix, caption, captionLeft, "Label" + suffix, " 255", valueLeft,
            "ScrollBar" + suffix, barLeft, SuffixBarWidth, range};
}

}  // namespace

void TForm1::BuildWindow() {
    LoadFonts();
    setObjectName("Form1");
    setWindowTitle("TONARE Wave Generator");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    setFont(PixelFont("Tahoma", 11));
    // Every surface of the window shows the button face.
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);

    BuildTopRow();
    PageControl2 = new PageControl(this);
    PageControl2->setObjectName("PageControl2");
    PageControl2->setGeometry(-1, 23, 674, 554);
    TAbout = PageControl2->AddPage("TAbout", "About");
    TPatt = PageControl2->AddPage("TPatt", "Pattern Editor");
    TInst = PageControl2->AddPage("TInst", "Instrument Editor");
    connect(PageControl2, &TabControl::Change, this, [this] { PageControl2Change(PageControl2); });
    BuildAboutPage();
    BuildInstrumentPage();

    const QRect screenArea = screen()->geometry();
    move(screenArea.center() - rect().center());
}

void TForm1::BuildTopRow() {
    std::array<QPushButton*, TopRow.size()> buttons{};
    for (std::size_t i = 0; i < TopRow.size(); ++i) {
        buttons[i] = new QPushButton(TopRow[i].caption, this);
        buttons[i]->setObjectName(TopRow[i].name);
        buttons[i]->setGeometry(TopRow[i].left, 0, TopButtonWidth, TopButtonHeight);
    }
    Button1 = buttons[0];
    Button2 = buttons[1];
    Button3 = buttons[2];
    Button4 = buttons[3];
    Button5 = buttons[4];
    Button6 = buttons[5];
    // "Load", "Save" and "Play" stand for features still to come: no handlers.
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(Button5); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(Button6); });
    Button5->setToolTip("Stop (Esc)");
}

void TForm1::BuildAboutPage() {
    Image2 = new Image(TAbout);
    Image2->setObjectName("Image2");
    Image2->setGeometry(74, 48, 513, 161);
    Image2->Picture = LogoImage();

    Memo1 = new QTextEdit(TAbout);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(0, 288, TAbout->width(), 238);
    Memo1->setFont(PixelFont("Courier New", 16, true));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QTextEdit::NoWrap);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    Memo1->setPalette(palette);
    // Trailing spaces count in the centring, so the equally long lines align.
    QTextOption centred(Qt::AlignHCenter);
    centred.setWrapMode(QTextOption::NoWrap);
    centred.setFlags(QTextOption::IncludeTrailingSpaces);
    Memo1->document()->setDefaultTextOption(centred);
    Memo1->document()->setDocumentMargin(1);
    QStringList lines;
    for (const char* line : AboutLines) lines << line;
    Memo1->setPlainText(lines.join('\n'));
    // Courier New's lines are 18 pixels apart at this size; the stand-in font
    // would space them wider and push the last line out of the box.
    QTextBlockFormat lineSpacing;
    lineSpacing.setLineHeight(MemoLineHeight, QTextBlockFormat::FixedHeight);
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(lineSpacing);
}

void TForm1::BuildInstrumentPage() {
    // Header row. ScrollBar19 ("Instrument") has no handler, so Label29 never changes.
    constexpr int HeaderBarWidth = 196;
    const BarRow instrument = MakeBarRow(
        TInst, {"Label15", "Instrument", 8, "Label29", "   0", 82, "ScrollBar19", 117, HeaderBarWidth, ByteRange}, 5,
        6);
    Label29 = instrument.Value;
    ScrollBar19 = instrument.Bar;
    const BarRow detune = MakeBarRow(
        TInst, {"Label17", "OSC2 Detune", 355, "LabelO2DT", "   0", 429, "ScrollBarO2DT", 464, HeaderBarWidth,
                DetuneRange}, 6, 7);
    LabelO2DT = detune.Value;
    ScrollBarO2DT = detune.Bar;
    connect(ScrollBarO2DT, &ScrollBar::Scroll, this,
            [this](int position) { ScrollBarO2DTScroll(ScrollBarO2DT, position); });

    BuildOscillatorTab();
    BuildEnvelopeTab();
    BuildEffectPages();

    RadioGroup1 = new RadioGroup("Octave", {"1", "2", "3", "4", "5", "6"}, TInst);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->setGeometry(348, 368, 315, 30);
    connect(RadioGroup1, &RadioGroup::Click, this, [this] { RadioGroup1Click(RadioGroup1); });
    for (int i = 0; i < OctaveItems; ++i) RadioGroup1->Item(i)->setToolTip(QString("Octave %1 (F%1)").arg(i + 1));

    BuildKeyboard();

    // The free strip below the keys, for the one line that explains silence.
    AudioStatusLine = new QLabel(TInst);
    AudioStatusLine->setObjectName("AudioStatusLine");
    AudioStatusLine->setGeometry(AudioStatusArea);
    AudioStatusLine->setWordWrap(true);
    AudioStatusLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AudioStatusLine->hide();

    BuildEditorMenu();
}

void TForm1::BuildEditorMenu() {
    // A right click anywhere on the page outside the bars opens the one menu: no
    // other control there has a menu of its own, so their context menu events
    // come up to the page. A bar keeps every menu away (see ScrollBar).
    editorMenu_ = new QMenu(this);
    editorMenu_->setObjectName("EditorMenu");
    TInst->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TInst, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { editorMenu_->popup(TInst->mapToGlobal(at)); });
}

void TForm1::BuildOscillatorTab() {
    TabControl1 = new TabControl(TInst, {"Oscillator 1", "Oscillator 2"});
    TabControl1->setObjectName("TabControl1");
    TabControl1->setGeometry(1, 24, 336, 490);
    connect(TabControl1, &TabControl::Change, this, [this] { TabControl1Change(TabControl1); });

    Image1 = new Image(TabControl1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(41, 33, 255, 255);

    // ScrollBar1..9 and then ScrollBar10..18, each after its value label.
    for (int k = 0; k < CurveBarCount; ++k) {
        const int point = k % ksynth::CurvePointCount;
        const CurveColumn& column = CurveColumnPlaces[static_cast<std::size_t>(k / ksynth::CurvePointCount)];
        const int top = CurveRowTops[static_cast<std::size_t>(point)];
        const BarRow row = MakeBarRow(TabControl1,
                                      {{}, {}, 0, QString("%1%2").arg(column.labelPrefix).arg(point + 1), "255",
                                       column.labelLeft, QString("ScrollBar%1").arg(k + 1), column.barLeft,
                                       CurveBarWidth, ByteRange},
                                      top, top + 1);
        CurveLabels[static_cast<std::size_t>(k)] = row.Value;
        CurveBars[static_cast<std::size_t>(k)] = row.Bar;
        ScrollBar* bar = row.Bar;
        const ScrollHandler handler = CurveHandlers[static_cast<std::size_t>(k)];
        connect(bar, &ScrollBar::Scroll, this, [this, bar, handler](int position) { (this->*handler)(bar, position); });
    }
    MakeLabel(TabControl1, "Label49", "Distortion Waveform", 32, 457, 99);
    MakeLabel(TabControl1, "Label50", "Distortion Strength", 173, 457, 91);
}

void TForm1::BuildEnvelopeTab() {
    TabControl2 = new TabControl(TInst, {"Volume", "Oscillator 1", "Oscillator 2", "Pulsewidth", "Filter"});
    TabControl2->setObjectName("TabControl2");
    TabControl2->setGeometry(348, 24, 315, 192);
    connect(TabControl2, &TabControl::Change, this, [this] { TabControl2Change(TabControl2); });

    for (std::size_t k = 0; k < EnvelopeRows.size(); ++k) {
        const EnvelopeRow& plan = EnvelopeRows[k];
        const int top = EnvelopeRowsTop + RowPitch * static_cast<int>(k);
        const BarRow row = MakeBarRow(TabControl2, SuffixRow(plan.suffix, plan.caption, plan.captionLeft, 80, 116,
                                                             ByteRange),
                                      top, top);
        EnvelopeLabels[k] = row.Value;
        EnvelopeBars[k] = row.Bar;
        ScrollBar* bar = row.Bar;
        const ScrollHandler handler = plan.handler;
        connect(bar, &ScrollBar::Scroll, this, [this, bar, handler](int position) { (this->*handler)(bar, position); });
    }

    CheckBox1 = new QCheckBox("Invert", TabControl2);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(173, 170, 57, 17);
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(CheckBox1); });
    CheckBox2 = new QCheckBox("Repeat", TabControl2);
    CheckBox2->setObjectName("CheckBox2");
    CheckBox2->setGeometry(236, 170, 65, 17);
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(CheckBox2); });
}

void TForm1::BuildEffectPages() {
    PageControl1 = new PageControl(TInst);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(348, 222, 315, 140);
    std::array<QWidget*, EffectPages.size()> pages{};
    for (std::size_t p = 0; p < EffectPages.size(); ++p) {
        pages[p] = PageControl1->AddPage(EffectPages[p].name, EffectPages[p].caption);
    }

    std::array<int, EffectPages.size()> rowsOnPage{};
    for (const EffectRow& plan : EffectRows) {
        const auto page = static_cast<std::size_t>(plan.page);
        const int top = EffectRowsTop + RowPitch * rowsOnPage[page]++;
        MakeBarRow(pages[page], SuffixRow(plan.suffix, plan.caption, 12, 76, 112, plan.range), top, top);
    }
}

void TForm1::BuildKeyboard() {
    // White keys first, so that every black key lies on top of its two white neighbours.
    for (const bool black : {false, true}) {
        for (int offset = 0; offset < OctaveOffsets; ++offset) {
            for (int semitone = 0; semitone < SemitonesPerOctave; ++semitone) {
                if (IsBlackKey(semitone) != black) continue;
                auto* key = new PianoKey(TagsPerOffset * offset + semitone, TInst);
                key->setObjectName(QString("Button") + NoteNames[static_cast<std::size_t>(semitone)] +
                                   OffsetNames[static_cast<std::size_t>(offset)]);
                key->setGeometry(KeyLeft(offset, semitone), KeyboardTop, black ? BlackKeyWidth : WhiteKeyWidth,
                                 black ? BlackKeyHeight : WhiteKeyHeight);
                key->setFocusPolicy(Qt::NoFocus);
                const QString spoken = QString("%1, %2 octave")
                                           .arg(SpokenNoteNames[static_cast<std::size_t>(semitone)],
                                                SpokenOffsetNames[static_cast<std::size_t>(offset)]);
                const QString keys = keymap::KeyNames(key->Tag);
                key->setAccessibleName(spoken);
                key->setToolTip(keys.isEmpty() ? spoken : QString("%1 (key %2)").arg(spoken, keys));
                connect(key, &QPushButton::clicked, this, [this, key] { ButtonPlayNote(key); });
                Keys[static_cast<std::size_t>(SemitonesPerOctave * offset + semitone)] = key;
            }
        }
    }
}
