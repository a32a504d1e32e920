// Brings MIDI keyboard notes to the window thread: owns the sequencer client,
// watches its descriptors and turns each decoded event into a Qt signal.
#pragma once

#include "midi/MidiInput.h"

#include <QObject>

#include <memory>
#include <vector>

class QSocketNotifier;

class MidiListener : public QObject {
    Q_OBJECT
public:
    // Opens the sequencer at once. Without one it says so once on standard
    // error and stays idle; the program runs as before.
    explicit MidiListener(QObject* parent = nullptr);
    ~MidiListener() override;

    bool IsOpen() const { return input_.IsOpen(); }
    // The sequencer client, for connecting to its port by number.
    const midi::MidiInput& Input() const { return input_; }

signals:
    void NotePlayed(int semitone, int octaveIndex);
    void StopRequested();

private:
    void ReadEvents();

    midi::MidiInput input_;
    std::vector<QSocketNotifier*> notifiers_;
};
