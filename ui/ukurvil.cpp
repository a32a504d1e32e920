// The main window's handlers: lifecycle, pages, note triggering, the computer
// keyboard and MIDI, and the instrument editor's edits.
#include "ui/ukurvil.h"

#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "audio/AudioDevice.h"
#include "audio/SDLaudio.h"
#include "engine/ksynth.h"
#include "ui/exporter.h"
#include "ui/history.h"
#include "ui/keymap.h"
#include "ui/pianokey.h"
#include "ui/preview.h"
#include "ui/widgets.h"

using namespace layout;

TForm1* Form1 = nullptr;

TForm1::TForm1() : QWidget(nullptr) {
    BuildWindow();
    EditHistory = new History(this);
    NoteExporter = new Exporter(this);
    // Keys play wherever the focus is in this window, so the window sees them first.
    qApp->installEventFilter(this);
    FormCreate(this);
}

TForm1::~TForm1() {
    FormDestroy(this);
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
    const OscillatorShape before = Store.OscillatorCurves[Store.OscillatorTab];
    std::uniform_int_distribution<int> randomByte(0, 255);
    for (int point = 0; point < ksynth::CurvePointCount; ++point) {
        SetShapePoint(0, point, randomByte(Random), true);
        SetShapePoint(1, point, randomByte(Random), true);
    }
    RefreshOscillatorPage();
    EditHistory->NewEdited(before, Store.OscillatorCurves[Store.OscillatorTab]);
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
    NoteExporter->NotePlayed(Store.NoteValue, octave);
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
    const int row = bar / ksynth::CurvePointCount;
    const int point = bar % ksynth::CurvePointCount;
    const OscillatorShape& shape = Store.OscillatorCurves[Store.OscillatorTab];
    const uint8_t& stored = (row == 0 ? shape.Waveform : shape.Strength)[point];
    const uint8_t before = stored;
    CurveLabels[bar]->setText(SetShapePoint(row, point, position, true));
    EditHistory->CurvePointEdited(bar, before, stored, CurveBars[bar]->Gesture());
}

void TForm1::EnvelopeBarChange(int index, int position) {
    const uint8_t before = Store.Envelopes[Store.EnvelopeTab].*ksynth::EnvelopeFields[index];
    EnvelopeLabels[index]->setText(SetEnvelopeParam(index, static_cast<uint8_t>(position)));
    EditHistory->EnvelopeByteEdited(index, before, static_cast<uint8_t>(position), EnvelopeBars[index]->Gesture());
}

void TForm1::CheckBox1Click(QObject*) {
    Store.Envelopes[Store.EnvelopeTab].Invert = CheckBox1->isChecked() ? 255 : 0;
    EditHistory->EnvelopeBoxEdited(History::Invert, CheckBox1->isChecked());
}

void TForm1::CheckBox2Click(QObject*) {
    Store.Envelopes[Store.EnvelopeTab].Repeat = CheckBox2->isChecked() ? 255 : 0;
    EditHistory->EnvelopeBoxEdited(History::Repeat, CheckBox2->isChecked());
}

void TForm1::ScrollBarO2DTScroll(QObject*, int ScrollPos) {
    // The detune lives in voice 0 alone; the store keeps no copy of it.
    const int8_t before = ksynth::Voices[0].Osc2Detune;
    LabelO2DT->setText(FormatValue(ScrollPos));
    ksynth::Voices[0].Osc2Detune = static_cast<int8_t>(ScrollPos);
    EditHistory->DetuneEdited(before, static_cast<int8_t>(ScrollPos), ScrollBarO2DT->Gesture());
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
    for (int k = 0; k < CurveBarCount; ++k) {
        const OscillatorShape& shape = Store.OscillatorCurves[Store.OscillatorTab];
        const int row = k / ksynth::CurvePointCount;
        const int point = k % ksynth::CurvePointCount;
        CurveBars[k]->setValue((row == 0 ? shape.Waveform : shape.Strength)[point]);
        CurveLabels[k]->setText(SetShapePoint(row, point, CurveBars[k]->value(), false));
    }
    DrawPreview();
}

void TForm1::RefreshEnvelopePage() {
    for (int k = 0; k < EnvelopeBarCount; ++k) {
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
