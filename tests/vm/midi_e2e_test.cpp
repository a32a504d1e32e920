// The real program with a MIDI keyboard, inside the VM tier's guest: under Xvfb, heard through
// SDL's disk driver, fed by a serial MIDI port whose output loops back as its input. The program
// must join the hardware port present at start and one plugged in later, leave software ports
// alone, play each Note On exactly as the engine renders that key offline, and stop on the MIDI
// stop controllers.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "engine/ksynth.h"
#include "midi/MidiInput.h"
#include "midi/decode.h"
#include "tests/e2e/window_points.h"
#include "tests/support/program.h"
#include "tests/support/tools.h"
#include "tests/support/xvfb.h"
#include "tests/vm/sequencer_watch.h"

namespace {

using namespace vm_test;

constexpr int BlockBytes = 8192;

// The guest's MIDI cards: a software one (snd-virmidi) and one on the second serial port, whose
// address and interrupt are those of the port the VM runner adds.
constexpr int VirmidiCard = 1;
constexpr int SerialCard = 2;
const QStringList VirmidiModule{"snd-virmidi", QString("index=%1").arg(VirmidiCard), "midi_devs=1"};
const QStringList SerialModule{"snd-serial-u16550", QString("index=%1").arg(SerialCard), "port=0x2f8", "irq=3"};
const char* const SerialClient = "Serial MIDI (UART16550A)";
const char* const SerialPort = "Serial MIDI 1";

// Raw MIDI: status bytes carry the channel in their low four bits.
constexpr uint8_t NoteOnStatus = 0x90;
constexpr uint8_t ControlChangeStatus = 0xB0;
constexpr uint8_t MidiA440 = 69;  // semitone 9 at octave index 4
constexpr uint8_t MidiMiddleC = 60;  // semitone 0 at octave index 4
constexpr int OctaveIndexOfBoth = 4;

std::vector<uint8_t> NoteOn(int channel, uint8_t note, uint8_t velocity) {
    return {static_cast<uint8_t>(NoteOnStatus | channel), note, velocity};
}
std::vector<uint8_t> Controller(int channel, int controller) {
    return {static_cast<uint8_t>(ControlChangeStatus | channel), static_cast<uint8_t>(controller), 0};
}

// Blocks heard of each note before it is stopped, and silent ones after, before judging.
constexpr std::size_t SoundingBlocks = 12;
constexpr std::size_t SilentBlocks = 8;
// Only bounds on waiting for the guest; nothing is timed.
constexpr int GuestMs = 20000;
constexpr int PollMs = 50;
constexpr int QuitMs = 30000;
// The guest's first Xvfb reads its files over 9p under an emulated CPU.
constexpr int XvfbMs = 60000;
constexpr int WindowMs = 90000;

bool WaitFor(const std::function<bool()>& done) { return tonare_test::WaitUntil(done, GuestMs, PollMs); }

bool Silent(const QByteArray& block) { return block.count('\0') == BlockBytes; }

QByteArray RenderBlock() {
    QByteArray block(BlockBytes, '\0');
    ksynth::RenderAudio(nullptr, reinterpret_cast<uint8_t*>(block.data()), BlockBytes);
    return block;
}

// A run of blocks: all silent, or all sounding.
struct Stretch {
    bool silent;
    std::vector<QByteArray> blocks;
};

class MidiEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // Only the guest has the sequencer and may load drivers; elsewhere this fails here, loudly.
        ASSERT_TRUE(std::filesystem::exists("/dev/snd/seq")) << "no /dev/snd/seq: this test runs inside the VM tier";
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(watch_.Ok()) << "cannot open the guest's sequencer";
        ASSERT_TRUE(xvfb_.Start(XvfbMs)) << xvfb_.Error().toStdString();
        env_ = xvfb_.Environment();
        env_ = tonare_test::WithDiskAudio(env_, tmp_.filePath("audio.raw"), 20);
    }

    void TearDown() override {
        program_.Kill();
        xvfb_.Stop();
        Modprobe({"-r", SerialModule[0]});  // free the serial port for the next case
    }

    // Starts the program; returns its window once shown and its sequencer port exists.
    QString StartProgram() {
        if (!program_.Start(env_)) return {};
        // Each search gives up after the support's limit; the guest's first window may take longer.
        QString window;
        tonare_test::WaitUntil([&] { return !(window = program_.WaitForWindow()).isEmpty(); }, WindowMs, PollMs);
        WaitFor([&] { return (program_port_ = watch_.FindPort(midi::ClientName, midi::PortName)).has_value(); });
        return program_port_ ? window : QString{};
    }

    void Quit(const QString& window) {
        program_.Click(window, QuitButton.x, QuitButton.y);
        ASSERT_TRUE(program_.WaitForExit(QuitMs)) << "Quit did not end the program";
        EXPECT_TRUE(program_.ExitedNormally());
        EXPECT_EQ(program_.ExitCode(), 0);
    }

    // The audio file after the paused device's first silence, as stretches of silence and sound.
    std::vector<Stretch> Heard() const {
        QFile file(tmp_.filePath("audio.raw"));
        std::vector<Stretch> stretches;
        if (!file.open(QIODevice::ReadOnly)) return stretches;
        const QByteArray data = file.readAll();
        for (qsizetype at = 0; at + BlockBytes <= data.size(); at += BlockBytes) {
            const QByteArray block = data.mid(at, BlockBytes);
            const bool silent = Silent(block);
            if (stretches.empty() && silent) continue;
            if (stretches.empty() || stretches.back().silent != silent) stretches.push_back({silent, {}});
            stretches.back().blocks.push_back(block);
        }
        return stretches;
    }

    // Waits until the file ends in a stretch of this kind at least this long, with `count` stretches.
    bool WaitForStretch(std::size_t count, bool silent, std::size_t blocks) const {
        return WaitFor([&] {
            const std::vector<Stretch> heard = Heard();
            return heard.size() == count && heard.back().silent == silent && heard.back().blocks.size() >= blocks;
        });
    }

    void Send(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(WriteMidiBytes(SerialCard, bytes)) << "cannot write to the serial MIDI card";
    }

    std::optional<SeqAddress> SerialAddress() { return watch_.FindPort(SerialClient, SerialPort); }

    QTemporaryDir tmp_;
    SequencerWatch watch_;
    tonare_test::Xvfb xvfb_;
    tonare_test::ProgramUnderTest program_{TONARE_KURVIL};
    QProcessEnvironment env_;
    std::optional<SeqAddress> program_port_;
};

// Compares sounding blocks with the engine's continuing offline render.
void ExpectRendered(const Stretch& heard, const char* what) {
    for (std::size_t b = 0; b < heard.blocks.size(); ++b) {
        ASSERT_EQ(RenderBlock(), heard.blocks[b]) << what << ": block " << b << " differs from the offline render";
    }
}

TEST_F(MidiEndToEnd, AtStartOnlyTheHardwarePortIsJoinedAndItsNotesPlayExactlyUntilStopped) {
    // Software ports that exist before the program: Midi Through, a virtual raw MIDI card and a
    // player's own port. The serial card is the one hardware port.
    const auto [virmidiLoaded, virmidiSaid] = Modprobe(VirmidiModule);
    ASSERT_TRUE(virmidiLoaded) << virmidiSaid;
    ASSERT_TRUE(watch_.CreateSoftwarePort().has_value());
    const auto [serialLoaded, serialSaid] = Modprobe(SerialModule);
    ASSERT_TRUE(serialLoaded) << serialSaid;
    ASSERT_TRUE(WaitFor([&] { return SerialAddress().has_value(); })) << "no sequencer port " << SerialPort;
    std::size_t softwarePorts = 0;
    for (const auto& [address, type] : watch_.ReadablePorts())
        softwarePorts += (type & SND_SEQ_PORT_TYPE_HARDWARE) == 0 && address.first != SND_SEQ_CLIENT_SYSTEM;
    ASSERT_GE(softwarePorts, 3u) << "the software ports are missing";

    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty()) << "the window or the program's sequencer port did not show";
    const std::set<SeqAddress> joined{SystemAnnounce, *SerialAddress()};
    WaitFor([&] { return watch_.SendersTo(*program_port_) == joined; });
    ASSERT_EQ(watch_.SendersTo(*program_port_), joined) << "not exactly System:Announce and the serial port";

    // Channels differ on purpose: any channel plays, any channel stops.
    Send(NoteOn(0, MidiA440, 100));
    ASSERT_TRUE(WaitForStretch(1, false, SoundingBlocks)) << "the Note On was not heard";
    Send(Controller(5, midi::ControllerAllNotesOff));
    ASSERT_TRUE(WaitForStretch(2, true, SilentBlocks)) << "All Notes Off did not silence the note";
    Send(NoteOn(3, MidiMiddleC, 90));
    ASSERT_TRUE(WaitForStretch(3, false, SoundingBlocks)) << "the second Note On was not heard";
    Send(Controller(15, midi::ControllerAllSoundOff));
    ASSERT_TRUE(WaitForStretch(4, true, SilentBlocks)) << "All Sound Off did not silence the note";
    const std::vector<Stretch> heard = Heard();

    // A at octave index 4 from program start; a pause freezes the engine, and C starts from there.
    PlayDefaultA440Offline();
    ExpectRendered(heard[0], "A, octave index 4");
    ksynth::StartNote(ksynth::NoteToPhaseStep(ksynth::NoteTable[0], OctaveIndexOfBoth), DefaultInstrumentEnvelopes);
    ExpectRendered(heard[2], "C, octave index 4");

    Quit(window);
}

TEST_F(MidiEndToEnd, AHardwarePortPluggedInLaterIsJoinedAndPlays) {
    const QString window = StartProgram();
    ASSERT_FALSE(window.isEmpty()) << "the window or the program's sequencer port did not show";
    ASSERT_FALSE(SerialAddress().has_value()) << "the serial card is still there from before";
    ASSERT_EQ(watch_.SendersTo(*program_port_), std::set<SeqAddress>{SystemAnnounce});

    const auto [loaded, said] = Modprobe(SerialModule);  // the keyboard is plugged in
    ASSERT_TRUE(loaded) << said;
    ASSERT_TRUE(WaitFor([&] { return SerialAddress().has_value(); })) << "no sequencer port " << SerialPort;
    const std::set<SeqAddress> joined{SystemAnnounce, *SerialAddress()};
    WaitFor([&] { return watch_.SendersTo(*program_port_) == joined; });
    ASSERT_EQ(watch_.SendersTo(*program_port_), joined) << "the plugged-in port was not joined";

    Send(NoteOn(9, MidiA440, 1));
    ASSERT_TRUE(WaitForStretch(1, false, SoundingBlocks)) << "the Note On was not heard";
    PlayDefaultA440Offline();
    ExpectRendered(Heard()[0], "A, octave index 4");

    Quit(window);
}

}  // namespace
