// Program entry: the engine's tables, then the application and its one window.
#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "audio/AudioDevice.h"
#include "engine/ksynth.h"
#include "ui/MidiListener.h"
#include "ui/ukurvil.h"

int main(int argc, char* argv[]) {
    // The tables exist before any window or audio callback can read them.
    ksynth::BuildTables();

    QApplication application(argc, argv);
    // The application name, not the display name: Qt would append a display
    // name to the window caption.
    QApplication::setApplicationName("Tonare Wavegenerator");
    // Docks match the window to the installed menu entry by this id.
    QGuiApplication::setDesktopFileName("org.tonare.WaveGenerator");

    Form1 = new TForm1;   // runs FormCreate once its controls exist
    Form1->show();

    // A MIDI keyboard plays through the same handlers as the piano keys; without a
    // sequencer the listener says so once and stays idle.
    MidiListener midi;
    QObject::connect(&midi, &MidiListener::NotePlayed, Form1,
                     [&midi](int semitone, int octaveIndex) { Form1->MidiNoteOn(&midi, semitone, octaveIndex); });
    QObject::connect(&midi, &MidiListener::StopRequested, Form1, [&midi] { Form1->MidiStop(&midi); });
    const int result = QApplication::exec();

    delete Form1;   // runs FormDestroy, which closes the audio device
    Form1 = nullptr;
    if (SDLaudio::DeviceAbandoned()) {
        // A worker is stuck in SDL on a frozen sound server: end without running
        // exit handlers, which could wait on it.
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
