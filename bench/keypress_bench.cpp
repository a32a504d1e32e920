// From a key press arriving at the window to the note started in the engine:
// the window's share of the time from key to sound (the audio buffer comes on top).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>

#include "engine/ksynth.h"
#include "ui/ukurvil.h"
#include "ui/widgets.h"

namespace {

constexpr quint32 KeycodeQ = 24;   // X keycode of Q: plays ButtonC0

void BM_KeyPressToNoteStart(benchmark::State& state) {
    // No display and no sound card needed: Qt's offscreen platform, SDL's dummy driver.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    static int argc = 1;
    static char name[] = "tonare_bench";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    ksynth::BuildTables();
    ksynth::ResetEngine();
    Form1 = new TForm1;
    Form1->show();
    QWidget* focus = Form1->CurveBars[0];
    ulong timestamp = 1;
    for (auto _ : state) {
        // A fresh press each time: a release between, with its own timestamp.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, KeycodeQ, 0, 0);
        press.setTimestamp(timestamp++);
        QApplication::sendEvent(focus, &press);
        benchmark::DoNotOptimize(ksynth::Voices[0].PhaseStep.load());
        state.PauseTiming();
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, KeycodeQ, 0, 0);
        release.setTimestamp(timestamp++);
        QApplication::sendEvent(focus, &release);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    delete Form1;
    Form1 = nullptr;
}
BENCHMARK(BM_KeyPressToNoteStart)->Unit(benchmark::kMicrosecond);

}  // namespace
