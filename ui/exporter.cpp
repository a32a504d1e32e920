// Export of the note from the window: the action, the save dialog's proposal,
// the render under the audio lock, and the messages.
#include "ui/exporter.h"

#include <algorithm>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include "audio/AudioDevice.h"
#include "audio/SDLaudio.h"
#include "ui/ukurvil.h"

namespace {

const QString Caption = QStringLiteral("Export note");
const QString WavFilter = QStringLiteral("WAV audio (*.wav)");
const QString FlacFilter = QStringLiteral("FLAC audio (*.flac)");

// Before the first note: ButtonA0, semitone 9 at octave offset 1.
constexpr uint8_t FirstNoteSemitone = 9;
constexpr uint8_t FirstNoteOffset = 1;

uint8_t SemitoneOf(uint8_t noteValue) {
    const auto found = std::find(ksynth::NoteTable.begin(), ksynth::NoteTable.end(), noteValue);
    return static_cast<uint8_t>(found == ksynth::NoteTable.end() ? FirstNoteSemitone
                                                                 : found - ksynth::NoteTable.begin());
}

// A live frame may not render while the export's state is swapped in. Without an
// open, living device no callback runs, as for a note start.
void GuardFromLiveFrames(const std::function<void()>& work) {
    if (SDLaudio::GetDeviceState() == SDLaudio::DeviceState::Open && !SDLaudio::DeviceIsDead()) {
        SDLaudio::AudioLockGuard lock;
        work();
    } else {
        work();
    }
}

QString AskWithQtDialog(QWidget* parent, const QString& caption, const QString& proposed, const QString& filters,
                        QString* selected) {
    return QFileDialog::getSaveFileName(parent, caption, proposed, filters, selected);
}

void ShowWarning(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox::warning(parent, caption, text);
}

}  // namespace

Exporter::Exporter(TForm1* form)
    : QObject(form), form_(form), fileDialog_(AskWithQtDialog), messageBox_(ShowWarning) {
    action_ = new QAction(QStringLiteral("Export note…"), form);
    action_->setObjectName("ActionExportNote");
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    action_->setShortcutContext(Qt::WindowShortcut);
    // The page's menu is a context menu: some styles hide shortcuts there unless told.
    action_->setShortcutVisibleInContextMenu(true);
    form->addAction(action_);
    form->EditorMenu()->addAction(action_);
    connect(action_, &QAction::triggered, this, [this] { ExportNote(); });
}

void Exporter::NotePlayed(uint8_t noteValue, uint8_t octaveIndex) {
    played_ = true;
    lastNote_ = {SemitoneOf(noteValue), octaveIndex};
}

soundexport::NoteChoice Exporter::NoteToExport() const {
    if (played_) return lastNote_;
    return {FirstNoteSemitone, static_cast<uint8_t>(form_->Store.Octave + FirstNoteOffset)};
}

ksynth::NoteInstrument Exporter::CurrentInstrument() const {
    ksynth::NoteInstrument instrument;
    for (unsigned curve = 0; curve < ksynth::CurveSlotCount; ++curve) {
        const OscillatorShape& shape = form_->Store.OscillatorCurves[curve / 2];
        instrument.Curves[curve] = curve % 2 == ksynth::Waveform ? shape.Waveform : shape.Strength;
    }
    instrument.Envelopes = form_->Store.Envelopes;
    // The detune lives in voice 0 alone.
    instrument.Osc2Detune = ksynth::Voices[0].Osc2Detune;
    return instrument;
}

QString Exporter::ProposedPath() const {
    QString folder = lastFolder_;
    if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    const QString name = QStringLiteral("tonare-%1.wav").arg(QString::fromStdString(NoteName(NoteToExport())));
    return QDir(folder).filePath(name);
}

void Exporter::ExportNote() {
    // Rendered at once: what sounds at Ctrl+E is exported, whatever plays while the dialog is open.
    const soundexport::NoteChoice note = NoteToExport();
    const std::vector<int16_t> samples = soundexport::RenderNote(CurrentInstrument(), note, GuardFromLiveFrames);
    if (soundexport::IsSilent(samples)) {
        messageBox_(form_, Caption, QStringLiteral("The note is silent: its volume is 0 from the start. "
                                                   "No file was written."));
        return;
    }

    QString filter = WavFilter;
    QString path = fileDialog_(form_, Caption, ProposedPath(), WavFilter + ";;" + FlacFilter, &filter);
    if (path.isEmpty()) return;
    const soundexport::FileFormat chosen =
        filter == FlacFilter ? soundexport::FileFormat::Flac : soundexport::FileFormat::Wav;
    const soundexport::FileFormat format = soundexport::FormatForPath(QFile::encodeName(path).toStdString(), chosen);
    // A name without a known extension gets the one of the chosen type.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != "wav" && suffix != "flac") path += format == soundexport::FileFormat::Flac ? ".flac" : ".wav";
    lastFolder_ = QFileInfo(path).absolutePath();

    const soundexport::ExportResult result =
        soundexport::WriteNote(samples, note, QFile::encodeName(path).toStdString(), format);
    if (result.Outcome == soundexport::ExportOutcome::WriteFailed) {
        messageBox_(form_, Caption,
                    QStringLiteral("Could not write “%1”: %2.")
                        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(result.Reason.c_str())));
    }
}
