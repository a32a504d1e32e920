// The editor's undo steps: one QUndoCommand per kind of edit, each putting its
// value back through the handler that made it.
#include "ui/history.h"

#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QList>
#include <QMenu>

#include "ui/ukurvil.h"
#include "ui/widgets.h"

// What every step works on: the window, and the history's mark of undo or redo at work.
struct StepContext {
    TForm1* form;
    bool& applying;
};

namespace {

// Marks undo and redo at work: the handlers they run must not record their
// edits as new steps.
class ApplyingGuard {
public:
    explicit ApplyingGuard(bool& applying) : applying_(applying) { applying_ = true; }
    ~ApplyingGuard() { applying_ = false; }
    ApplyingGuard(const ApplyingGuard&) = delete;
    ApplyingGuard& operator=(const ApplyingGuard&) = delete;

private:
    bool& applying_;
};

// A step whose edit has already happened when it is pushed: the push's redo
// does nothing, every later undo and redo applies the value before or after.
class Step : public QUndoCommand {
public:
    Step(const StepContext& context, const QString& name) : form_(context.form), applying_(context.applying) {
        setText(name);
    }

    void undo() override {
        const ApplyingGuard guard(applying_);
        Apply(false);
    }
    void redo() override {
        if (pushed_) {
            pushed_ = false;
            return;
        }
        const ApplyingGuard guard(applying_);
        Apply(true);
    }

protected:
    virtual void Apply(bool after) = 0;

    // A step on the oscillator or envelope not shown selects its tab first, as a
    // click on the tab would.
    void ShowOscillator(int oscillator) const {
        if (form_->TabControl1->TabIndex() == oscillator) return;
        form_->TabControl1->SetTabIndex(oscillator);
        form_->TabControl1Change(form_->TabControl1);
    }
    void ShowEnvelope(int envelope) const {
        if (form_->TabControl2->TabIndex() == envelope) return;
        form_->TabControl2->SetTabIndex(envelope);
        form_->TabControl2Change(form_->TabControl2);
    }

    TForm1* form_;

private:
    bool& applying_;
    bool pushed_ = true;
};

// One bar's value on one tab, over one user action: the events of one mouse
// press on the bar (a thumb drag, a held arrow) merge into a single step.
template <typename Value, History::Kind StepKind>
class BarStep : public Step {
public:
    BarStep(const StepContext& context, const QString& name, int tab, int bar, Value before, Value after,
            int gesture)
        : Step(context, name), tab_(tab), bar_(bar), before_(before), after_(after), gesture_(gesture) {}

    int id() const override { return StepKind; }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const BarStep*>(other);
        if (gesture_ == 0 || next->gesture_ != gesture_ || next->bar_ != bar_ || next->tab_ != tab_) return false;
        after_ = next->after_;
        // A drag that ends where it began leaves no step behind.
        setObsolete(after_ == before_);
        return true;
    }

protected:
    Value ValueAfter(bool after) const { return after ? after_ : before_; }
    const int tab_;
    const int bar_;

private:
    const Value before_;
    Value after_;
    const int gesture_;
};

class CurvePointStep : public BarStep<uint8_t, History::CurvePoint> {
public:
    using BarStep::BarStep;

private:
    void Apply(bool after) override {
        ShowOscillator(tab_);
        const auto bar = static_cast<std::size_t>(bar_);
        form_->CurveBars[bar]->setValue(ValueAfter(after));
        form_->CurveBarChange(bar_, ValueAfter(after));
    }
};

class EnvelopeByteStep : public BarStep<uint8_t, History::EnvelopeByte> {
public:
    using BarStep::BarStep;

private:
    void Apply(bool after) override {
        ShowEnvelope(tab_);
        const auto bar = static_cast<std::size_t>(bar_);
        form_->EnvelopeBars[bar]->setValue(ValueAfter(after));
        form_->EnvelopeBarChange(bar_, ValueAfter(after));
    }
};

// The detune belongs to no tab.
class DetuneStep : public BarStep<int8_t, History::Detune> {
public:
    using BarStep::BarStep;

private:
    void Apply(bool after) override {
        form_->ScrollBarO2DT->setValue(ValueAfter(after));
        form_->ScrollBarO2DTScroll(form_->ScrollBarO2DT, ValueAfter(after));
    }
};

class EnvelopeBoxStep : public Step {
public:
    EnvelopeBoxStep(const StepContext& context, const QString& name, int envelope, History::Box box, bool after)
        : Step(context, name), envelope_(envelope), box_(box), after_(after) {}

    int id() const override { return History::EnvelopeBox; }

private:
    void Apply(bool after) override {
        ShowEnvelope(envelope_);
        const bool checked = after ? after_ : !after_;
        if (box_ == History::Invert) {
            form_->CheckBox1->setChecked(checked);
            form_->CheckBox1Click(form_->CheckBox1);
        } else {
            form_->CheckBox2->setChecked(checked);
            form_->CheckBox2Click(form_->CheckBox2);
        }
    }

    const int envelope_;
    const History::Box box_;
    const bool after_;
};

// All 18 points of one oscillator, written as "New" writes them.
class NewStep : public Step {
public:
    NewStep(const StepContext& context, int oscillator, const OscillatorShape& before, const OscillatorShape& after)
        : Step(context, "New"), oscillator_(oscillator), before_(before), after_(after) {}

    int id() const override { return History::NewCurves; }

private:
    void Apply(bool after) override {
        ShowOscillator(oscillator_);
        const OscillatorShape& shape = after ? after_ : before_;
        for (int point = 0; point < ksynth::CurvePointCount; ++point) {
            const auto p = static_cast<std::size_t>(point);
            form_->SetShapePoint(ksynth::Waveform, point, shape.Waveform[p], false);
            form_->SetShapePoint(ksynth::Strength, point, shape.Strength[p], false);
        }
        form_->RefreshOscillatorPage();
    }

    const int oscillator_;
    const OscillatorShape before_;
    const OscillatorShape after_;
};

QString CurvePointName(int oscillator, int bar) {
    const int point = bar % ksynth::CurvePointCount;
    const bool strength = bar / ksynth::CurvePointCount == ksynth::Strength;
    return QString("Oscillator %1 %2 Point %3")
        .arg(oscillator + 1)
        .arg(strength ? "Strength" : "Waveform")
        .arg(point + 1);
}

// As the rows read: "Step 2 Length", and the "Value" below it "Step 2 Value".
QString EnvelopeByteName(int index) {
    return QString("Step %1 %2").arg(index / 2 + 1).arg(index % 2 == 0 ? "Length" : "Value");
}

bool SameShape(const OscillatorShape& a, const OscillatorShape& b) {
    return a.Waveform == b.Waveform && a.Strength == b.Strength;
}

}  // namespace

History::History(TForm1* form) : QObject(form), form_(form) {
    stack_.setUndoLimit(StepLimit);
    undo_ = stack_.createUndoAction(this);
    redo_ = stack_.createRedoAction(this);
    undo_->setObjectName("UndoAction");
    redo_->setObjectName("RedoAction");
    undo_->setShortcuts(QKeySequence::Undo);
    // Both redo keys, whichever of them the desktop's own binding names.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    const QKeySequence bothRedoKeys[] = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                         QKeySequence(Qt::CTRL | Qt::Key_Y)};
    for (const QKeySequence& key : bothRedoKeys) {
        if (!redoKeys.contains(key)) redoKeys << key;
    }
    redo_->setShortcuts(redoKeys);
    for (QAction* action : {undo_, redo_}) {
        // The page's menu is a context menu: some styles hide shortcuts there unless told.
        action->setShortcutVisibleInContextMenu(true);
        // On the window, the keys work wherever the focus is in it.
        form->addAction(action);
        form->EditorMenu()->addAction(action);
    }
    // Between the history and whatever the other features add below it.
    form->EditorMenu()->addSeparator();
}

StepContext History::Context() {
    return {form_, applying_};
}

void History::Record(QUndoCommand* step) {
    stack_.push(step);
}

void History::CurvePointEdited(int bar, uint8_t before, uint8_t after, int gesture) {
    if (applying_ || before == after) return;
    const int oscillator = form_->Store.OscillatorTab;
    Record(new CurvePointStep(Context(), CurvePointName(oscillator, bar), oscillator, bar, before, after, gesture));
}

void History::EnvelopeByteEdited(int index, uint8_t before, uint8_t after, int gesture) {
    if (applying_ || before == after) return;
    Record(new EnvelopeByteStep(Context(), EnvelopeByteName(index), form_->Store.EnvelopeTab, index, before, after,
                                gesture));
}

void History::EnvelopeBoxEdited(Box box, bool after) {
    if (applying_) return;
    Record(new EnvelopeBoxStep(Context(), box == Invert ? "Invert" : "Repeat", form_->Store.EnvelopeTab, box, after));
}

void History::DetuneEdited(int8_t before, int8_t after, int gesture) {
    if (applying_ || before == after) return;
    Record(new DetuneStep(Context(), "OSC2 Detune", 0, 0, before, after, gesture));
}

void History::NewEdited(const OscillatorShape& before, const OscillatorShape& after) {
    if (applying_ || SameShape(before, after)) return;
    Record(new NewStep(Context(), form_->Store.OscillatorTab, before, after));
}
