// The main window: the instrument editor's handlers and note triggering from
// the piano keys. Its layout is built in layout.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include <QHash>
#include <QString>
#include <QWidget>

#include "ui/ParameterStore.h"
#include "ui/layout.h"

class Exporter;
class QCheckBox;
class History;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QTextEdit;
class Image;
class PageControl;
class PianoKey;
class RadioGroup;
class ScrollBar;
class TabControl;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // Builds every control, then runs FormCreate, before the window is first shown.
    TForm1();
    // Runs FormDestroy, so the audio device closes before the store goes away.
    ~TForm1() override;

    // Lifecycle and pages.
    void FormCreate(QObject* Sender);
    void FormDestroy(QObject* Sender);
    void PageControl2Change(QObject* Sender);
    void Button1Click(QObject* Sender);   // "New"
    void Button5Click(QObject* Sender);   // "Stop"
    void Button6Click(QObject* Sender);   // "Quit"

    // Note triggering.
    void ButtonPlayNote(QObject* Sender);
    void RadioGroup1Click(QObject* Sender);
    void PlayNote(uint8_t offset);

    // Playing from the computer keyboard and from MIDI, through the same paths as
    // the mouse: a note key clicks its piano key, Esc "Stop", F1..F6 the "Octave" items.
    bool FormKeyDown(QObject* Sender, QKeyEvent* Key);
    void FormKeyUp(QObject* Sender, QKeyEvent* Key);
    void MidiNoteOn(QObject* Sender, int Semitone, int OctaveIndex);
    void MidiStop(QObject* Sender);
    // Lights the key of the sounding note (null: none).
    void ShowSoundingKey(PianoKey* key);
    PianoKey* KeyAt(int offset, int semitone) const;   // octave offset 0..2, semitone 0..11

    // The line below the piano keys that says why no sound is heard; empty hides it.
    void ShowAudioStatus(const QString& text);

    // The "Instrument Editor" page's context menu, opened by a right click anywhere
    // on the page outside the bars. Features put their actions here (addAction),
    // each once, when the window is built; "Undo …" and "Redo …" come first. The
    // window owns the menu.
    QMenu* EditorMenu() const { return editorMenu_; }

    // Ctrl+E and "Export note…": the last note played, as a sound file.
    Exporter* NoteExporter = nullptr;

    // The 18 curve bars: ScrollBar1..9 edit the Waveform points, 10..18 the Strength points.
    void ScrollBar1Change(QObject*, int ScrollPos) { CurveBarChange(0, ScrollPos); }
    void ScrollBar2Change(QObject*, int ScrollPos) { CurveBarChange(1, ScrollPos); }
    void ScrollBar3Change(QObject*, int ScrollPos) { CurveBarChange(2, ScrollPos); }
    void ScrollBar4Change(QObject*, int ScrollPos) { CurveBarChange(3, ScrollPos); }
    void ScrollBar5Change(QObject*, int ScrollPos) { CurveBarChange(4, ScrollPos); }
    void ScrollBar6Change(QObject*, int ScrollPos) { CurveBarChange(5, ScrollPos); }
    void ScrollBar7Change(QObject*, int ScrollPos) { CurveBarChange(6, ScrollPos); }
    void ScrollBar8Change(QObject*, int ScrollPos) { CurveBarChange(7, ScrollPos); }
    void ScrollBar9Change(QObject*, int ScrollPos) { CurveBarChange(8, ScrollPos); }
    void ScrollBar10Change(QObject*, int ScrollPos) { CurveBarChange(9, ScrollPos); }
    void ScrollBar11Change(QObject*, int ScrollPos) { CurveBarChange(10, ScrollPos); }
    void ScrollBar12Change(QObject*, int ScrollPos) { CurveBarChange(11, ScrollPos); }
    void ScrollBar13Change(QObject*, int ScrollPos) { CurveBarChange(12, ScrollPos); }
    void ScrollBar14Change(QObject*, int ScrollPos) { CurveBarChange(13, ScrollPos); }
    void ScrollBar15Change(QObject*, int ScrollPos) { CurveBarChange(14, ScrollPos); }
    void ScrollBar16Change(QObject*, int ScrollPos) { CurveBarChange(15, ScrollPos); }
    void ScrollBar17Change(QObject*, int ScrollPos) { CurveBarChange(16, ScrollPos); }
    void ScrollBar18Change(QObject*, int ScrollPos) { CurveBarChange(17, ScrollPos); }

    // The 8 envelope bars, in the order of the envelope's bytes.
    void ScrollBarAsChange(QObject*, int ScrollPos) { EnvelopeBarChange(0, ScrollPos); }
    void ScrollBarAvChange(QObject*, int ScrollPos) { EnvelopeBarChange(1, ScrollPos); }
    void ScrollBarDsChange(QObject*, int ScrollPos) { EnvelopeBarChange(2, ScrollPos); }
    void ScrollBarDvChange(QObject*, int ScrollPos) { EnvelopeBarChange(3, ScrollPos); }
    void ScrollBarSsChange(QObject*, int ScrollPos) { EnvelopeBarChange(4, ScrollPos); }
    void ScrollBarSvScroll(QObject*, int ScrollPos) { EnvelopeBarChange(5, ScrollPos); }
    void ScrollBarRsChange(QObject*, int ScrollPos) { EnvelopeBarChange(6, ScrollPos); }
    void ScrollBarRvChange(QObject*, int ScrollPos) { EnvelopeBarChange(7, ScrollPos); }

    void CheckBox1Click(QObject* Sender);   // "Invert"
    void CheckBox2Click(QObject* Sender);   // "Repeat"
    void ScrollBarO2DTScroll(QObject* Sender, int ScrollPos);
    void TabControl1Change(QObject* Sender);
    void TabControl2Change(QObject* Sender);

    // What the curve and envelope bars' handlers do, bar 0..17 and index 0..7.
    void CurveBarChange(int bar, int position);
    void EnvelopeBarChange(int index, int position);

    // Editing operations behind the handlers.
    QString SetShapePoint(int row, int point, int value, bool redraw);
    QString SetEnvelopeParam(int index, uint8_t value);
    void RefreshOscillatorPage();
    void RefreshEnvelopePage();
    void DrawPreview();
    // The value labels' text: the number right-aligned in 4 characters.
    static QString FormatValue(int value);

    ParameterStore Store{};
    History* EditHistory = nullptr;   // every edit's undo step; Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y
    std::mt19937 Random;   // "New" draws its bytes from here; seeded at creation

    // Top row.
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;

    PageControl* PageControl2;
    QWidget* TAbout;
    QWidget* TPatt;
    QWidget* TInst;
    Image* Image2;
    QTextEdit* Memo1;

    // "Instrument Editor" page.
    QLabel* Label29;
    ScrollBar* ScrollBar19;
    QLabel* LabelO2DT;
    ScrollBar* ScrollBarO2DT;
    TabControl* TabControl1;
    Image* Image1;
    std::array<ScrollBar*, layout::CurveBarCount> CurveBars;     // ScrollBar1 .. ScrollBar18
    std::array<QLabel*, layout::CurveBarCount> CurveLabels;      // Label1 .. Label9, LabelST1 .. LabelST9
    TabControl* TabControl2;
    std::array<ScrollBar*, layout::EnvelopeBarCount> EnvelopeBars;   // ScrollBarAs, Av, Ds, Dv, Ss, Sv, Rs, Rv
    std::array<QLabel*, layout::EnvelopeBarCount> EnvelopeLabels;    // LabelAs .. LabelRv
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    PageControl* PageControl1;
    RadioGroup* RadioGroup1;
    std::array<PianoKey*, layout::KeyCount> Keys;           // in Tag order: ButtonCd .. ButtonBu
    QLabel* AudioStatusLine;                  // below the keys; hidden while sound works

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // layout.cpp
    void BuildWindow();
    void BuildTopRow();
    void BuildAboutPage();
    void BuildInstrumentPage();
    void BuildOscillatorTab();
    void BuildEnvelopeTab();
    void BuildEffectPages();
    void BuildKeyboard();
    void BuildEditorMenu();
    QMenu* editorMenu_ = nullptr;

    // Timestamps of the last release of each held-down key: X repeats a held key
    // as release + press pairs that share one timestamp.
    QHash<quint64, quint64> keyReleases_;
};

// The program's one main window.
extern TForm1* Form1;
