// How a piano key looks: white keys white with a dark outline, black keys black,
// and the sounding or pressed key lit.
#include "ui/pianokey.h"

#include <QColor>
#include <QPainter>

namespace {

constexpr int SemitoneMask = 15;   // the low four bits of a Tag

const QColor Outline(40, 40, 40);
const QColor WhiteKey(255, 255, 255);
const QColor BlackKey(20, 20, 20);
const QColor LitWhiteKey(255, 196, 80);   // amber, so the lit key reads on both colours
const QColor LitBlackKey(200, 120, 20);

}  // namespace

bool PianoKey::IsBlack() const {
    return IsBlackKey(Tag & SemitoneMask);
}

void PianoKey::SetSounding(bool sounding) {
    if (sounding == sounding_) return;
    sounding_ = sounding;
    update();
}

void PianoKey::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool lit = sounding_ || isDown();
    const QColor face = IsBlack() ? (lit ? LitBlackKey : BlackKey) : (lit ? LitWhiteKey : WhiteKey);
    // A one-pixel outline inside the key's own rectangle; neighbours share an edge line.
    painter.setPen(Outline);
    painter.setBrush(face);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
