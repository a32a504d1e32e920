// The window's note export: Ctrl+E and "Export note…" in the editor page's menu
// open the save dialog proposing tonare-<note><octave index>.wav; the last note
// played (or ButtonA0 at the selected octave before any) is rendered and written.
//
// Threading. Window thread only. The render runs beside the audio device in
// short runs under its lock (see export/note_export.h).
#pragma once

#include <cstdint>
#include <functional>

#include <QObject>
#include <QString>

#include "engine/offline.h"
#include "export/note_export.h"

class QAction;
class QWidget;
class TForm1;

class Exporter : public QObject {
    Q_OBJECT
public:
    // The save dialog's question: parent, caption, proposed path, filters, the
    // filter chosen (in and out). Returns the path, empty when cancelled.
    using FileDialog = std::function<QString(QWidget*, const QString&, const QString&, const QString&, QString*)>;
    // A message to the user: parent, caption, text.
    using MessageBox = std::function<void(QWidget*, const QString&, const QString&)>;

    // Adds the action to the window (its shortcut works from any focus there) and
    // to the editor page's menu.
    explicit Exporter(TForm1* form);

    // Tests put their own dialog and message box in place of the real ones.
    void SetFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }
    void SetMessageBox(MessageBox box) { messageBox_ = std::move(box); }

    // Called by every note start: a note byte (NoteTable entry) and its octave index.
    void NotePlayed(uint8_t noteValue, uint8_t octaveIndex);

    soundexport::NoteChoice NoteToExport() const;
    ksynth::NoteInstrument CurrentInstrument() const;
    // Where the dialog starts: the folder last exported to this run, else the
    // music folder, and tonare-<note><octave index>.wav.
    QString ProposedPath() const;

    // The action's handler: render, ask, write, and say what went wrong.
    void ExportNote();

    QAction* Action() const { return action_; }

private:
    TForm1* form_;
    QAction* action_;
    FileDialog fileDialog_;
    MessageBox messageBox_;
    bool played_ = false;
    soundexport::NoteChoice lastNote_{};
    QString lastFolder_;   // for this run only
};
