// The MIDI listener: sequencer descriptors under QSocketNotifiers, events read
// and emitted on the window thread.
#include "ui/MidiListener.h"

#include <QSocketNotifier>

#include <cstdio>

MidiListener::MidiListener(QObject* parent) : QObject(parent) {
    if (!input_.Open()) {
        std::fprintf(stderr, "tonare: no MIDI input (%s).\n", input_.Error().c_str());
        return;
    }
    for (const int fd : input_.PollDescriptors()) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &MidiListener::ReadEvents);
        notifiers_.push_back(notifier);
    }
}

MidiListener::~MidiListener() {
    // The notifiers must let go of the descriptors before the handle closes them.
    for (QSocketNotifier* notifier : notifiers_)
        delete notifier;
    notifiers_.clear();
}

void MidiListener::ReadEvents() {
    input_.Drain([this](const midi::MidiAction& action) {
        if (action.kind == midi::MidiActionKind::Play)
            emit NotePlayed(action.semitone, action.octaveIndex);
        else
            emit StopRequested();
    });
}
