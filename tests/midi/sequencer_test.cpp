// The sequencer client against the real ALSA sequencer: a second client in the
// same process plays into our port, and hardware-typed ports are connected
// whether present at start or announced later. Skips without /dev/snd/seq;
// there, opening must fail cleanly instead.
#include "tests/midi/sequencer.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <functional>
#include <vector>

namespace {

using midi::MidiAction;
using midi::MidiActionKind;
using midi::MidiInput;
using namespace midi_test;

// Polls the input's descriptors and drains it until done() holds or the
// delivery timeout passes; returns every action read.
std::vector<MidiAction> DrainUntil(MidiInput& input, const std::function<bool(const std::vector<MidiAction>&)>& done) {
    std::vector<pollfd> fds;
    for (const int fd : input.PollDescriptors())
        fds.push_back(pollfd{fd, POLLIN, 0});
    std::vector<MidiAction> actions;
    const auto deadline = std::chrono::steady_clock::now() + DeliveryTimeout;
    while (!done(actions) && std::chrono::steady_clock::now() < deadline) {
        poll(fds.data(), fds.size(), PollSliceMs);
        input.Drain([&](const MidiAction& action) { actions.push_back(action); });
    }
    return actions;
}

const MidiAction PlayA4{MidiActionKind::Play, 9, 4};
const MidiAction PlayC4{MidiActionKind::Play, 0, 4};
const MidiAction Stop{MidiActionKind::Stop};

TEST(MidiSequencer, NotesFromAClientConnectedToOurPortArrive) {
    SKIP_WITHOUT_SEQUENCER();
    MidiInput input;
    ASSERT_TRUE(input.Open()) << input.Error();
    ASSERT_FALSE(input.PollDescriptors().empty());
    Sender sender(SoftwareType);
    ASSERT_TRUE(sender.Ok());
    ASSERT_TRUE(sender.ConnectTo(input));

    ASSERT_GE(sender.Send([](snd_seq_event_t* e) { snd_seq_ev_set_noteon(e, 0, 69, 100); }), 0);
    ASSERT_GE(sender.Send([](snd_seq_event_t* e) { snd_seq_ev_set_controller(e, 0, 123, 0); }), 0);

    const auto actions = DrainUntil(input, [](const auto& a) { return a.size() >= 2; });
    EXPECT_EQ(actions, (std::vector<MidiAction>{PlayA4, Stop}));
}

TEST(MidiSequencer, SoftwarePortsAreNotConnectedByThemselves) {
    SKIP_WITHOUT_SEQUENCER();
    MidiInput input;
    ASSERT_TRUE(input.Open()) << input.Error();
    Sender player(SoftwareType);
    ASSERT_TRUE(player.Ok());
    // Announces arrive in order: once the later hardware port is connected,
    // the software port's announce has been read and passed over.
    Sender keyboard(HardwareType);
    ASSERT_TRUE(keyboard.Ok());
    DrainUntil(input, [&](const auto&) { return keyboard.IsConnectedTo(input); });
    ASSERT_TRUE(keyboard.IsConnectedTo(input));
    EXPECT_FALSE(player.IsConnectedTo(input));
}

TEST(MidiSequencer, HardwarePortPresentAtOpenIsConnected) {
    SKIP_WITHOUT_SEQUENCER();
    Sender keyboard(HardwareType);
    ASSERT_TRUE(keyboard.Ok());
    MidiInput input;
    ASSERT_TRUE(input.Open()) << input.Error();
    EXPECT_TRUE(keyboard.IsConnectedTo(input));
}

TEST(MidiSequencer, HardwarePortAnnouncedLaterIsConnectedAndHeard) {
    SKIP_WITHOUT_SEQUENCER();
    MidiInput input;
    ASSERT_TRUE(input.Open()) << input.Error();
    Sender keyboard(HardwareType);  // "plugged in" after the program started
    ASSERT_TRUE(keyboard.Ok());

    DrainUntil(input, [&](const auto&) { return keyboard.IsConnectedTo(input); });
    ASSERT_TRUE(keyboard.IsConnectedTo(input));

    ASSERT_GE(keyboard.Send([](snd_seq_event_t* e) { snd_seq_ev_set_noteon(e, 3, 60, 90); }), 0);
    const auto actions = DrainUntil(input, [](const auto& a) { return !a.empty(); });
    EXPECT_EQ(actions, std::vector<MidiAction>{PlayC4});
}

TEST(MidiSequencer, OpenFailsCleanlyWithoutSequencer) {
    if (SequencerPresent())
        GTEST_SKIP() << SequencerDevice << " exists: this test is for machines without a sequencer";
    MidiInput input;
    EXPECT_FALSE(input.Open());
    EXPECT_FALSE(input.Error().empty());
    EXPECT_FALSE(input.IsOpen());
    EXPECT_TRUE(input.PollDescriptors().empty());
    int calls = 0;
    input.Drain([&](const MidiAction&) { ++calls; });
    EXPECT_EQ(calls, 0);
}

}  // namespace
