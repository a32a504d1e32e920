// Shared by the window tests: a fresh window per test, the instrument a new
// window must hold, and comparisons of the engine state the window writes.
#pragma once

#include <array>
#include <chrono>
#include <cstring>
#include <type_traits>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QImage>
#include <QSize>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTest>

#include "audio/AudioDevice.h"
#include "engine/ksynth.h"
#include "ui/ParameterStore.h"
#include "ui/pianokey.h"
#include "ui/preview.h"
#include "ui/ukurvil.h"
#include "ui/widgets.h"

// Where on a bar the style puts one of its parts.
inline QRect PartOf(const ScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

// Builds the window on an engine put back to its start values, as at program start.
// The device opens on a worker: wait for it and deliver its queued report, so
// each test starts with the device open (or failed) as a started program's would.
inline TForm1* NewForm() {
    ksynth::ResetEngine();
    Form1 = new TForm1;
    SDLaudio::DeviceWaitSettled(std::chrono::seconds(10));
    QCoreApplication::processEvents();
    return Form1;
}

inline void DeleteForm() {
    delete Form1;
    Form1 = nullptr;
}

// The window shown with the "Instrument Editor" page in front, for mouse tests.
inline TForm1* NewFormOnInstrumentPage() {
    TForm1* form = NewForm();
    form->show();
    form->PageControl2->SetActivePage(form->TInst);
    return form;
}

template <typename T = QWidget>
T* Control(const QString& name) {
    return Form1->findChild<T*>(name);
}

// A user's click on tab `index` of a tab control.
inline void ClickTab(TabControl* control, int index) {
    QTabBar* tabs = control->Tabs();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// A user's click on the box of a check box or radio button.
inline void ClickIndicator(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// The instrument a new window starts with.
inline const std::array<OscillatorShape, 2> StartCurves = {{
    {{255, 0, 255, 0, 255, 0, 255, 0, 255}, {255, 255, 255, 255, 255, 255, 255, 255, 255}},
    {{0, 128, 128, 128, 0, 128, 0, 255, 0}, {255, 255, 255, 255, 255, 255, 255, 255, 255}},
}};
inline const std::array<ksynth::EnvelopeParams, 5> StartEnvelopes = {{
    {0, 255, 80, 0, 0, 0, 0, 0, 0, 0},
    {0, 255, 128, 0, 0, 0, 0, 0, 0, 0},
    {0, 255, 0, 0, 0, 0, 0, 0, 0, 0},
    {96, 255, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 192, 80, 0, 0, 0, 0, 0, 0, 0},
}};

static_assert(std::has_unique_object_representations_v<ParameterStore>, "compared byte by byte");
inline bool SameStore(const ParameterStore& a, const ParameterStore& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool SameEnvelopeState(const ksynth::EnvelopeState& a, const ksynth::EnvelopeState& b) {
    return a.StepLength == b.StepLength && a.StepTarget == b.StepTarget && a.StepRemaining == b.StepRemaining &&
           a.StepIncrement == b.StepIncrement && a.Invert == b.Invert && a.Repeat == b.Repeat && a.Level == b.Level;
}

// What the window writes into the engine outside a note start.
struct EngineSnapshot {
    std::array<ksynth::CurvePoints, 4> Curves;   // Osc1Waveform, Osc1Strength, Osc2Waveform, Osc2Strength
    std::array<ksynth::EnvelopeState, 5> Slot0;
    int8_t Detune;

    static EngineSnapshot Take() {
        EngineSnapshot s{};
        for (unsigned c = 0; c < 4; ++c) s.Curves[c] = ksynth::Voices[0].Curve(c / 2, c % 2).Snapshot();
        s.Slot0 = ksynth::InstrumentSlots[0].Envelopes;
        s.Detune = ksynth::Voices[0].Osc2Detune;
        return s;
    }
    bool operator==(const EngineSnapshot& o) const {
        for (int e = 0; e < 5; ++e) {
            if (!SameEnvelopeState(Slot0[e], o.Slot0[e])) return false;
        }
        return Curves == o.Curves && Detune == o.Detune;
    }
};

// The picture the preview must show for an oscillator's curves.
inline QImage PreviewOf(const OscillatorShape& shape) {
    QImage bitmap(255, 255, QImage::Format_RGB32);
    PaintPreview(bitmap, shape, QSize(671, 575));
    return bitmap;
}
