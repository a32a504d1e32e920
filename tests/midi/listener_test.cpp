// The window-side MIDI listener: without a sequencer one line on standard error
// and nothing else; with one, notes and stops arrive as Qt signals.
#include "tests/midi/sequencer.h"
#include "ui/MidiListener.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace midi_test;

TEST(MidiListener, WithoutSequencerSaysSoOnceOnStandardErrorAndStaysIdle) {
    if (SequencerPresent())
        GTEST_SKIP() << SequencerDevice << " exists: this test is for machines without a sequencer";
    testing::internal::CaptureStderr();
    const MidiListener listener;
    const std::string said = testing::internal::GetCapturedStderr();
    // One line of ours, with ALSA's reason inside, and none of alsa-lib's own.
    EXPECT_TRUE(said.starts_with("tonare: no MIDI input (cannot open the ALSA sequencer: ")) << said;
    EXPECT_TRUE(said.ends_with(").\n")) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_FALSE(listener.IsOpen());
    EXPECT_TRUE(listener.findChildren<QObject*>().isEmpty());  // no notifier, no dialog
}

TEST(MidiListener, NotesAndStopsArriveAsSignals) {
    SKIP_WITHOUT_SEQUENCER();
    int argc = 1;
    char name[] = "midi_listener_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    MidiListener listener;
    ASSERT_TRUE(listener.IsOpen()) << listener.Input().Error();
    QSignalSpy played(&listener, &MidiListener::NotePlayed);
    QSignalSpy stopped(&listener, &MidiListener::StopRequested);
    Sender sender(SoftwareType);
    ASSERT_TRUE(sender.Ok());
    ASSERT_TRUE(sender.ConnectTo(listener.Input()));

    ASSERT_GE(sender.Send([](snd_seq_event_t* e) { snd_seq_ev_set_noteon(e, 0, 69, 100); }), 0);
    ASSERT_TRUE(played.wait(static_cast<int>(std::chrono::milliseconds(DeliveryTimeout).count())));
    ASSERT_EQ(played.count(), 1);
    EXPECT_EQ(played.at(0), (QList<QVariant>{9, 4}));

    ASSERT_GE(sender.Send([](snd_seq_event_t* e) { snd_seq_ev_set_controller(e, 0, 120, 0); }), 0);
    ASSERT_TRUE(stopped.wait(static_cast<int>(std::chrono::milliseconds(DeliveryTimeout).count())));
    EXPECT_EQ(stopped.count(), 1);
}

}  // namespace
