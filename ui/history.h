// Undo and redo of the instrument editor's edits, as steps on a QUndoStack.
//
// The handlers edit as they always did, then tell the history what changed.
// Undo and redo put a value back through the same handler the edit ran, with
// the control first showing the value; a step on the oscillator or envelope
// that is not shown selects its tab first, through the tab's own handler.
//
// Threading: window thread only. Every engine write goes through the handlers,
// which write voice 0's shared bytes as single atomic bytes and leave the
// envelopes to the next key press, so undo and redo may run beside the audio
// callback exactly as the edits do.
#pragma once

#include <cstdint>

#include <QObject>
#include <QUndoStack>

#include "ui/ParameterStore.h"

class QAction;
class TForm1;
struct StepContext;

class History : public QObject {
    Q_OBJECT
public:
    // Puts "Undo …" and "Redo …" on the window's editor menu and their keys on
    // the window: Ctrl+Z, and Ctrl+Shift+Z or Ctrl+Y.
    explicit History(TForm1* form);

    // Steps kept; the oldest goes when one more is made.
    static constexpr int StepLimit = 100;

    // The kinds of step, as QUndoCommand ids: the events of one mouse press on a
    // bar merge into one step.
    enum Kind { CurvePoint, EnvelopeByte, EnvelopeBox, Detune, NewCurves, KindCount };
    // The two envelope check boxes.
    enum Box { Invert, Repeat, BoxCount };

    QUndoStack* Stack() { return &stack_; }
    QAction* UndoAction() const { return undo_; }
    QAction* RedoAction() const { return redo_; }

    // Said by the handlers after an edit, with the value before it. `gesture` is
    // the bar's ScrollBar::Gesture(). An edit that changes nothing is no step,
    // and nothing is recorded while a step is being undone or redone.
    void CurvePointEdited(int bar, uint8_t before, uint8_t after, int gesture);
    void EnvelopeByteEdited(int index, uint8_t before, uint8_t after, int gesture);
    void EnvelopeBoxEdited(Box box, bool after);
    void DetuneEdited(int8_t before, int8_t after, int gesture);
    void NewEdited(const OscillatorShape& before, const OscillatorShape& after);

private:
    StepContext Context();
    void Record(QUndoCommand* step);

    TForm1* form_;
    bool applying_ = false;   // while a step is undone or redone
    QUndoStack stack_;
    QAction* undo_;
    QAction* redo_;
};
