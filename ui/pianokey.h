// A piano key of the on-screen keyboard: a caption-less button drawn as a key.
#pragma once

#include <QPushButton>

// The black keys among the twelve semitones from C.
constexpr bool IsBlackKey(int semitone) {
    return semitone == 1 || semitone == 3 || semitone == 6 || semitone == 8 || semitone == 10;
}

class PianoKey : public QPushButton {
    Q_OBJECT
public:
    PianoKey(int tag, QWidget* parent) : QPushButton(parent), Tag(tag) {}
    const int Tag;   // 16 x octave offset + semitone

    bool IsBlack() const;
    // The key of the note that sounds is drawn held down until another note or "Stop".
    void SetSounding(bool sounding);
    bool IsSounding() const { return sounding_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool sounding_ = false;
};
