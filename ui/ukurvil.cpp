#include "ui/ukurvil.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QRadioButton>
#include <QScreen>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextOption>

#include "audio/AudioDevice.h"
#include "audio/SDLaudio.h"
#include "engine/ksynth.h"
#include "ui/keymap.h"
#include "ui/logo.h"
#include "ui/pianokey.h"
#include "ui/preview.h"
#include "ui/widgets.h"

TForm1* Form1 = nullptr;

namespace {

constexpr int ClientWidth = 671;
constexpr int ClientHeight = 575;
constexpr int BarHeight = 12;
constexpr int LabelHeight = 13;
constexpr int ValueLabelWidth = 24;   // fits " 255" and " -16"
constexpr int MemoLineHeight = 18;

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

// Tops of the nine curve point rows on TabControl1; the bars sit one pixel lower.
constexpr std::array<int, 9> CurveRowTops = {293, 311, 329, 347, 365, 383, 401, 420, 438};

using ScrollHandler = void (TForm1::*)(QObject*, int);

constexpr std::array<ScrollHandler, 18> CurveHandlers = {
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
constexpr std::array<EnvelopeRow, 8> EnvelopeRows = {{
    {"As", "Step 1 Length", 6, &TForm1::ScrollBarAsChange},
    {"Av", "Value", 40, &TForm1::ScrollBarAvChange},
    {"Ds", "Step 2 Length", 6, &TForm1::ScrollBarDsChange},
    {"Dv", "Value", 40, &TForm1::ScrollBarDvChange},
    {"Ss", "Step 3 Length", 6, &TForm1::ScrollBarSsChange},
    {"Sv", "Value", 40, &TForm1::ScrollBarSvScroll},
    {"Rs", "Step 4 Length", 6, &TForm1::ScrollBarRsChange},
    {"Rv", "Value", 40, &TForm1::ScrollBarRvChange},
}};

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
    int minimum;
    int maximum;
    int largeStep;
};
constexpr std::array<EffectRow, 15> EffectRows = {{
    {0, "ArpDelay", "Delay", 0, 255, 16},
    {0, "ArpSpeed", "Speed", 0, 255, 16},
    {0, "ArpRepeat", "Repeat @", 0, 3, 1},
    {0, "Arp1", "Arp 1", 0, 36, 12},
    {0, "Arp2", "Arp 2", 0, 36, 12},
    {0, "Arp3", "Arp 3", 0, 36, 12},
    {1, "NzeDelay", "Delay", 0, 255, 16},
    {1, "NzeLen", "Length", 0, 255, 16},
    {2, "PMDelay", "Delay", 0, 255, 16},
    {2, "PMSpeed", "Speed", 0, 255, 16},
    {2, "PMLen", "Length", 0, 255, 16},
    {2, "PMVal", "Value", -512, 511, 16},
    {3, "VibDelay", "Delay", 0, 255, 16},
    {3, "VibSpeed", "Speed", 0, 255, 16},
    {3, "VibDepth", "Depth", 0, 15, 4},
}};

// Piano keys: Tag = 16 x octave offset + semitone.
constexpr std::array<const char*, 12> NoteNames = {"C", "CS", "D", "DS", "E", "F",
                                                   "FS", "G", "GS", "A", "AS", "B"};
constexpr std::array<const char*, 3> OffsetNames = {"d", "0", "u"};
// What a musician calls them, for tooltips and screen readers.
constexpr std::array<const char*, 12> SpokenNoteNames = {"C", "C#", "D", "D#", "E", "F",
                                                         "F#", "G", "G#", "A", "A#", "B"};
constexpr std::array<const char*, 3> SpokenOffsetNames = {"lower", "middle", "upper"};
constexpr int OctaveOffsets = 3;
constexpr int SemitonesPerOctave = 12;
constexpr int OctaveItems = 6;   // "1" .. "6", on F1 .. F6
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
    return KeyboardLeft + WhiteKeyWidth * (7 * offset + whiteBelow);
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

ScrollBar* MakeBar(QWidget* parent, const QString& name, int left, int top, int width, int minimum, int maximum,
                   int largeStep) {
    auto* bar = new ScrollBar(minimum, maximum, largeStep, parent);
    bar->setObjectName(name);
    bar->setGeometry(left, top, width, BarHeight);
    return bar;
}

}  // namespace

TForm1::TForm1() : QWidget(nullptr) {
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

    // Keys play wherever the focus is in this window, so the window sees them first.
    qApp->installEventFilter(this);

    FormCreate(this);
}

TForm1::~TForm1() {
    FormDestroy(this);
}

void TForm1::BuildTopRow() {
    std::array<QPushButton*, 6> buttons{};
    for (std::size_t i = 0; i < TopRow.size(); ++i) {
        buttons[i] = new QPushButton(TopRow[i].caption, this);
        buttons[i]->setObjectName(TopRow[i].name);
        buttons[i]->setGeometry(TopRow[i].left, 0, 65, 17);
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
    MakeLabel(TInst, "Label15", "Instrument", 8, 5);
    Label29 = MakeLabel(TInst, "Label29", "   0", 82, 5, ValueLabelWidth);
    ScrollBar19 = MakeBar(TInst, "ScrollBar19", 117, 6, 196, 0, 255, 16);
    MakeLabel(TInst, "Label17", "OSC2 Detune", 355, 6);
    LabelO2DT = MakeLabel(TInst, "LabelO2DT", "   0", 429, 6, ValueLabelWidth);
    ScrollBarO2DT = MakeBar(TInst, "ScrollBarO2DT", 464, 7, 196, -16, 15, 1);
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
}

void TForm1::BuildOscillatorTab() {
    TabControl1 = new TabControl(TInst, {"Oscillator 1", "Oscillator 2"});
    TabControl1->setObjectName("TabControl1");
    TabControl1->setGeometry(1, 24, 336, 490);
    connect(TabControl1, &TabControl::Change, this, [this] { TabControl1Change(TabControl1); });

    Image1 = new Image(TabControl1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(41, 33, 255, 255);

    for (int k = 0; k < 18; ++k) {
        const int row = k % 9;
        const int top = CurveRowTops[row];
        const bool strength = k >= 9;
        const QString label = strength ? QString("LabelST%1").arg(row + 1) : QString("Label%1").arg(row + 1);
        CurveLabels[k] = MakeLabel(TabControl1, label, "255", strength ? 310 : 8, top, ValueLabelWidth);
        CurveBars[k] = MakeBar(TabControl1, QString("ScrollBar%1").arg(k + 1), strength ? 173 : 32, top + 1, 131,
                               0, 255, 16);
        ScrollBar* bar = CurveBars[k];
        const ScrollHandler handler = CurveHandlers[k];
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
        const EnvelopeRow& row = EnvelopeRows[k];
        const int top = 24 + 18 * static_cast<int>(k);
        MakeLabel(TabControl2, QString("Caption") + row.suffix, row.caption, row.captionLeft, top);
        EnvelopeLabels[k] = MakeLabel(TabControl2, QString("Label") + row.suffix, " 255", 80, top, ValueLabelWidth);
        EnvelopeBars[k] = MakeBar(TabControl2, QString("ScrollBar") + row.suffix, 116, top, 196, 0, 255, 16);
        ScrollBar* bar = EnvelopeBars[k];
        const ScrollHandler handler = row.handler;
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
    for (std::size_t p = 0; p < EffectPages.size(); ++p) pages[p] = PageControl1->AddPage(EffectPages[p].name, EffectPages[p].caption);

    std::array<int, EffectPages.size()> rowsOnPage{};
    for (const EffectRow& row : EffectRows) {
        QWidget* page = pages[row.page];
        const int top = 2 + 18 * rowsOnPage[row.page]++;
        MakeLabel(page, QString("Caption") + row.suffix, row.caption, 12, top);
        MakeLabel(page, QString("Label") + row.suffix, " 255", 76, top, ValueLabelWidth);
        MakeBar(page, QString("ScrollBar") + row.suffix, 112, top, 196, row.minimum, row.maximum, row.largeStep);
    }
}

void TForm1::BuildKeyboard() {
    // White keys first, so that every black key lies on top of its two white neighbours.
    for (const bool black : {false, true}) {
        for (int offset = 0; offset < 3; ++offset) {
            for (int semitone = 0; semitone < 12; ++semitone) {
                if (IsBlackKey(semitone) != black) continue;
                auto* key = new PianoKey(16 * offset + semitone, TInst);
                key->setObjectName(QString("Button") + NoteNames[semitone] + OffsetNames[offset]);
                key->setGeometry(KeyLeft(offset, semitone), KeyboardTop, black ? BlackKeyWidth : WhiteKeyWidth,
                                 black ? BlackKeyHeight : WhiteKeyHeight);
                key->setFocusPolicy(Qt::NoFocus);
                const QString spoken =
                    QString("%1, %2 octave").arg(SpokenNoteNames[semitone], SpokenOffsetNames[offset]);
                const QString keys = keymap::KeyNames(key->Tag);
                key->setAccessibleName(spoken);
                key->setToolTip(keys.isEmpty() ? spoken : QString("%1 (key %2)").arg(spoken, keys));
                connect(key, &QPushButton::clicked, this, [this, key] { ButtonPlayNote(key); });
                Keys[static_cast<std::size_t>(SemitonesPerOctave * offset + semitone)] = key;
            }
        }
    }
}

// ---- Lifecycle and pages -------------------------------------------------------

namespace {

constexpr std::chrono::milliseconds AudioCloseDeadline{500};

// Window thread, once an open attempt has ended: plays a note asked for
// meanwhile and tells whether notes sound.
void AudioSettled(TForm1* form) {
    if (SDLaudio::DeviceSettle() == SDLaudio::DeviceState::Open) {
        form->ShowAudioStatus("");
        return;
    }
    const QString error = QString::fromLocal8Bit(SDLaudio::AudioError());
    form->ShowAudioStatus(QString("No audio output (%1): notes are silent.").arg(error));
    // Said once on stderr; later failed reopens only update the line.
    static bool told = false;
    if (!told) std::fprintf(stderr, "tonare: no audio output (%s): notes are silent.\n", qPrintable(error));
    told = true;
}

// Starts an attempt; its end reaches the window as a queued call.
void OpenAudio(TForm1* form) {
    form->ShowAudioStatus("Audio output is starting: notes will sound once it is open.");
    SDLaudio::DeviceOpenAsync([form] {
        QMetaObject::invokeMethod(form, [form] { AudioSettled(form); }, Qt::QueuedConnection);
    });
}

}  // namespace

void TForm1::FormCreate(QObject*) {
    Store.OscillatorCurves = DefaultOscillatorCurves;
    Store.Envelopes = DefaultEnvelopes;

    // Both voices select instrument slot 0, so slot 0 gets each envelope twice.
    for (uint8_t e = 0; e < ksynth::EnvelopeCount; ++e) {
        ksynth::LoadEnvelope(0, e, Store.Envelopes[e]);
        ksynth::LoadEnvelope(1, e, Store.Envelopes[e]);
    }

    // Refreshing oscillator 2 first sends its curves to the voice too; the page
    // then ends on oscillator 1 and the "Volume" envelope, matching the tabs.
    Store.OscillatorTab = 1;
    Store.EnvelopeTab = 1;
    RefreshOscillatorPage();
    RefreshEnvelopePage();
    Store.OscillatorTab = 0;
    Store.EnvelopeTab = 0;
    RefreshOscillatorPage();
    RefreshEnvelopePage();

    // The device opens off the window thread: a frozen sound server must not
    // keep the window from showing.
    OpenAudio(this);

    Random.seed(static_cast<std::mt19937::result_type>(std::chrono::system_clock::now().time_since_epoch().count()));
}

void TForm1::FormDestroy(QObject*) {
    // A frozen sound server can hold the close forever: give up after a moment
    // (the program keeps no data) and let main end the process without it.
    SDLaudio::DeviceClose(AudioCloseDeadline);
}

void TForm1::PageControl2Change(QObject*) {
    // The pattern editor does not exist yet.
    if (PageControl2->ActivePage() == TPatt) PageControl2->SetActivePage(TAbout);
}

void TForm1::Button1Click(QObject*) {
    std::uniform_int_distribution<int> randomByte(0, 255);
    for (int point = 0; point < ksynth::CurvePointCount; ++point) {
        SetShapePoint(0, point, randomByte(Random), true);
        SetShapePoint(1, point, randomByte(Random), true);
    }
    RefreshOscillatorPage();
}

void TForm1::Button5Click(QObject*) {
    SDLaudio::DeviceStop();
    ShowSoundingKey(nullptr);
}

void TForm1::Button6Click(QObject*) {
    Form1->close();
}

// ---- Note triggering -----------------------------------------------------------

void TForm1::ButtonPlayNote(QObject* Sender) {
    auto* key = qobject_cast<PianoKey*>(Sender);
    if (!key) return;
    Store.NoteValue = ksynth::NoteTable[key->Tag & 15];
    PlayNote(static_cast<uint8_t>(key->Tag >> 4));
    ShowSoundingKey(key);
}

void TForm1::RadioGroup1Click(QObject*) {
    Store.Octave = static_cast<uint8_t>(RadioGroup1->ItemIndex());
}

void TForm1::ShowAudioStatus(const QString& text) {
    AudioStatusLine->setText(text);
    AudioStatusLine->setVisible(!text.isEmpty());
}

void TForm1::PlayNote(uint8_t offset) {
    const auto octave = static_cast<uint8_t>(Store.Octave + offset);
    const uint32_t phaseStep = ksynth::NoteToPhaseStep(Store.NoteValue, octave);
    if (SDLaudio::DeviceRequestPlay()) {
        {
            // The renderer must see the note start whole: no frame between these writes.
            SDLaudio::AudioLockGuard lock;
            ksynth::StartNote(phaseStep, Store.Envelopes);
        }
        SDLaudio::AudioSetPaused(false);
        return;
    }
    // Not open, or its audio thread has ended: no callback can run, so the note
    // needs no lock; it sounds once the device opens. One attempt per key press.
    ksynth::StartNote(phaseStep, Store.Envelopes);
    if (SDLaudio::DeviceIsDead()) OpenAudio(this);
}

// ---- Computer keyboard and MIDI ------------------------------------------------

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    if (event->type() == QEvent::KeyPress) return FormKeyDown(watched, static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::KeyRelease) FormKeyUp(watched, static_cast<QKeyEvent*>(event));
    return false;
}

namespace {

// One key, by its physical place where the platform tells it.
quint64 KeyIdentity(const QKeyEvent* key) {
    return key->nativeScanCode() != 0 ? key->nativeScanCode() : (quint64{1} << 32 | static_cast<quint32>(key->key()));
}

}  // namespace

bool TForm1::FormKeyDown(QObject*, QKeyEvent* Key) {
    if (Key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const quint64 identity = KeyIdentity(Key);
    const auto release = keyReleases_.constFind(identity);
    const bool repeat = Key->isAutoRepeat() || (release != keyReleases_.cend() && *release == Key->timestamp());
    if (const std::optional<keymap::Tag> tag = keymap::NoteKey(Key->nativeScanCode(), Key->key())) {
        if (!repeat) KeyAt(*tag >> 4, *tag & 15)->click();
        return true;
    }
    if (Key->key() == Qt::Key_Escape) {
        if (!repeat) Button5->click();
        return true;
    }
    const int item = Key->key() - Qt::Key_F1;
    if (item >= 0 && item < OctaveItems) {
        if (!repeat) RadioGroup1->Item(item)->click();
        return true;
    }
    return false;
}

void TForm1::FormKeyUp(QObject*, QKeyEvent* Key) {
    // A release ends nothing (a note sounds until the next key or "Stop"); it is
    // remembered only to tell X's repeats from a fresh press.
    if (!Key->isAutoRepeat()) keyReleases_.insert(KeyIdentity(Key), Key->timestamp());
}

void TForm1::MidiNoteOn(QObject*, int Semitone, int OctaveIndex) {
    Store.NoteValue = ksynth::NoteTable[static_cast<std::size_t>(Semitone)];
    // PlayNote adds the selected octave in bytes, so this offset lands on OctaveIndex
    // whatever item is selected.
    PlayNote(static_cast<uint8_t>(OctaveIndex - Store.Octave));
    const int offset = OctaveIndex - Store.Octave;
    ShowSoundingKey(offset >= 0 && offset < OctaveOffsets ? KeyAt(offset, Semitone) : nullptr);
}

void TForm1::MidiStop(QObject*) {
    Button5->click();
}

PianoKey* TForm1::KeyAt(int offset, int semitone) const {
    return Keys[static_cast<std::size_t>(SemitonesPerOctave * offset + semitone)];
}

void TForm1::ShowSoundingKey(PianoKey* key) {
    for (PianoKey* each : Keys) each->SetSounding(each == key);
}

// ---- Instrument editing --------------------------------------------------------

void TForm1::CurveBarChange(int bar, int position) {
    CurveLabels[bar]->setText(SetShapePoint(bar / 9, bar % 9, position, true));
}

void TForm1::EnvelopeBarChange(int index, int position) {
    EnvelopeLabels[index]->setText(SetEnvelopeParam(index, static_cast<uint8_t>(position)));
}

void TForm1::CheckBox1Click(QObject*) {
    Store.Envelopes[Store.EnvelopeTab].Invert = CheckBox1->isChecked() ? 255 : 0;
}

void TForm1::CheckBox2Click(QObject*) {
    Store.Envelopes[Store.EnvelopeTab].Repeat = CheckBox2->isChecked() ? 255 : 0;
}

void TForm1::ScrollBarO2DTScroll(QObject*, int ScrollPos) {
    // The detune lives in voice 0 alone; the store keeps no copy of it.
    LabelO2DT->setText(FormatValue(ScrollPos));
    ksynth::Voices[0].Osc2Detune = static_cast<int8_t>(ScrollPos);
}

void TForm1::TabControl1Change(QObject*) {
    Store.OscillatorTab = static_cast<uint8_t>(TabControl1->TabIndex());
    RefreshOscillatorPage();
}

void TForm1::TabControl2Change(QObject*) {
    Store.EnvelopeTab = static_cast<uint8_t>(TabControl2->TabIndex());
    RefreshEnvelopePage();
}

QString TForm1::SetShapePoint(int row, int point, int value, bool redraw) {
    const auto byte = static_cast<uint8_t>(value);
    OscillatorShape& shape = Store.OscillatorCurves[Store.OscillatorTab];
    (row == 0 ? shape.Waveform : shape.Strength)[point] = byte;
    ksynth::Voices[Store.VoiceIndex].Curve(Store.OscillatorTab, row)[point] = byte;
    const QString text = FormatValue(byte);
    if (redraw) DrawPreview();
    return text;
}

QString TForm1::SetEnvelopeParam(int index, uint8_t value) {
    Store.Envelopes[Store.EnvelopeTab].*ksynth::EnvelopeFields[index] = value;
    return FormatValue(value);
}

void TForm1::RefreshOscillatorPage() {
    for (int k = 0; k < 18; ++k) {
        const OscillatorShape& shape = Store.OscillatorCurves[Store.OscillatorTab];
        CurveBars[k]->setValue((k < 9 ? shape.Waveform : shape.Strength)[k % 9]);
        CurveLabels[k]->setText(SetShapePoint(k / 9, k % 9, CurveBars[k]->value(), false));
    }
    DrawPreview();
}

void TForm1::RefreshEnvelopePage() {
    for (int k = 0; k < 8; ++k) {
        EnvelopeBars[k]->setValue(Store.Envelopes[Store.EnvelopeTab].*ksynth::EnvelopeFields[k]);
        EnvelopeLabels[k]->setText(SetEnvelopeParam(k, static_cast<uint8_t>(EnvelopeBars[k]->value())));
    }
    CheckBox1->setChecked(Store.Envelopes[Store.EnvelopeTab].Invert != 0);
    CheckBox2->setChecked(Store.Envelopes[Store.EnvelopeTab].Repeat != 0);
}

void TForm1::DrawPreview() {
    // The bitmap is made once, at the image's size, and kept.
    if (Image1->Picture.isNull()) Image1->Picture = QImage(Image1->size(), QImage::Format_RGB32);
    PaintPreview(Image1->Picture, Store.OscillatorCurves[Store.OscillatorTab], size());
    Image1->update();
}

QString TForm1::FormatValue(int value) {
    return QString("%1").arg(value, 4);
}
