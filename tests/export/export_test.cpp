// Note export: the file holds exactly what a first key press renders, lasts as
// the length rule says, decodes the same from WAV and FLAC, leaves the live
// engine state as it was, and leaves nothing behind when it cannot be written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "export/note_export.h"
#include "tests/export/export_support.h"

namespace {

using namespace export_support;
using namespace soundexport;

// No device plays in these tests: the guard only runs the work.
const LiveGuard Unguarded = [](const std::function<void()>& work) { work(); };

constexpr NoteChoice A4{9, 4};   // NoteTable 184 at octave index 4: 440 Hz

struct InstrumentCase {
    const char* name;
    std::function<void(NoteInstrument&)> edit;
    NoteChoice note;
    uint32_t frames;   // ticks worked out by hand x 882
};

std::string CaseName(const testing::TestParamInfo<InstrumentCase>& info) { return info.param.name; }

class ExactSamples : public testing::TestWithParam<InstrumentCase> {
protected:
    void SetUp() override { BuildTables(); }
};

TEST_P(ExactSamples, FileHoldsTheFirstKeyPressRenderAndTheLiveStateStays) {
    const InstrumentCase& c = GetParam();
    ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    NoteInstrument instrument = DefaultInstrument();
    c.edit(instrument);

    SetUpLiveNote();
    const std::vector<int64_t> live = EngineFields();
    const std::vector<int16_t> samples = RenderNote(instrument, c.note, Unguarded);
    EXPECT_EQ(EngineFields(), live) << "the export changed the live engine state";

    const auto path = folder.Path() / "note.wav";
    const ExportResult result = WriteNote(samples, c.note, path.string(), FileFormat::Wav);
    ASSERT_EQ(result.Outcome, ExportOutcome::Written) << result.Reason;
    const SoundFile file = ReadSoundFile(path);
    ASSERT_TRUE(file.Opened);
    EXPECT_EQ(file.Info.frames, c.frames);

    const uint8_t noteByte = NoteTable[c.note.Semitone];
    const std::vector<int16_t> expected = KeyPressFrames(instrument, NoteToPhaseStep(noteByte, c.note.OctaveIndex), c.frames);
    ASSERT_FALSE(IsSilent(expected));
    ASSERT_EQ(file.Samples.size(), expected.size());
    std::size_t first = 0;
    while (first < expected.size() && file.Samples[first] == expected[first]) ++first;
    EXPECT_EQ(first, expected.size()) << "first different sample at " << first;
}

INSTANTIATE_TEST_SUITE_P(
    Instruments, ExactSamples,
    testing::Values(
        // Volume falls to 0 over 80 ticks.
        InstrumentCase{"Default", [](NoteInstrument&) {}, A4, 80 * 882},
        // Repeating volume: until the longest envelope (Oscillator 1, 128 ticks) has run.
        InstrumentCase{"RepeatOnVolume", [](NoteInstrument& i) { i.Envelopes[0].Repeat = 255; }, A4, 128 * 882},
        // Nothing moves: the volume holds 255, the note lasts the shortest second.
        InstrumentCase{"AllLengthsZero",
                       [](NoteInstrument& i) {
                           for (EnvelopeParams& e : i.Envelopes) {
                               e.Step1Length = e.Step2Length = e.Step3Length = e.Step4Length = 0;
                           }
                       },
                       A4, 50 * 882},
        // Inverted volume rises to 255 and stays: the longest envelope again.
        InstrumentCase{"InvertOnVolume", [](NoteInstrument& i) { i.Envelopes[0].Invert = 255; }, A4, 128 * 882},
        InstrumentCase{"DetuneMinus16", [](NoteInstrument& i) { i.Osc2Detune = -16; }, NoteChoice{1, 2}, 80 * 882},
        InstrumentCase{"Detune15", [](NoteInstrument& i) { i.Osc2Detune = 15; }, NoteChoice{11, 7}, 80 * 882},
        InstrumentCase{"EditedCurves",
                       [](NoteInstrument& i) {
                           i.Curves[Osc1WaveformCurve] = {10, 200, 30, 180, 50, 160, 70, 140, 90};
                           i.Curves[Osc1StrengthCurve] = {255, 0, 255, 0, 255, 0, 255, 0, 255};
                           i.Curves[Osc2WaveformCurve] = {0, 32, 64, 96, 128, 160, 192, 224, 255};
                           i.Curves[Osc2StrengthCurve] = {40, 80, 120, 160, 200, 240, 200, 160, 120};
                           i.Envelopes[4] = {20, 255, 20, 0, 0, 0, 0, 0, 255, 0};   // the filter moves too
                       },
                       NoteChoice{0, 0}, 80 * 882}),
    CaseName);

struct LengthCase {
    const char* name;
    std::function<void(NoteInstrument&)> edit;
    uint32_t ticks;
};

class LengthRule : public testing::TestWithParam<LengthCase> {};

TEST_P(LengthRule, FramesAreTicksTimes882) {
    BuildTables();
    NoteInstrument instrument = DefaultInstrument();
    GetParam().edit(instrument);
    EXPECT_EQ(NoteTicks(instrument.Envelopes), GetParam().ticks);
    EXPECT_EQ(NoteFrames(instrument.Envelopes), GetParam().ticks * 882u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LengthRule,
    testing::Values(
        LengthCase{"DefaultEndsWhereVolumeReaches0", [](NoteInstrument&) {}, 80},
        LengthCase{"RepeatOnVolumeRunsTheLongestEnvelope",
                   [](NoteInstrument& i) { i.Envelopes[0].Repeat = 255; }, 128},
        LengthCase{"VolumeEndingAt0InItsLastStep",
                   [](NoteInstrument& i) { i.Envelopes[0] = {10, 255, 20, 100, 0, 50, 30, 0, 0, 0}; }, 60},
        // The last step of nonzero length is step 2, at 100: the note does not end.
        LengthCase{"VolumeHoldingAfterALaterZeroLengthStep",
                   [](NoteInstrument& i) { i.Envelopes[0] = {10, 255, 20, 100, 0, 0, 0, 0, 0, 0}; }, 128},
        LengthCase{"InvertedVolumeEndingAt255Gives0",
                   [](NoteInstrument& i) { i.Envelopes[0] = {0, 0, 40, 255, 0, 0, 0, 0, 255, 0}; }, 40},
        LengthCase{"ShortEnvelopesLastOneSecond",
                   [](NoteInstrument& i) {
                       for (EnvelopeParams& e : i.Envelopes) e = {5, 200, 5, 100, 0, 0, 0, 0, 0, 0};
                   },
                   50},
        LengthCase{"LongestNoteByItsVolume",
                   [](NoteInstrument& i) { i.Envelopes[0] = {255, 200, 255, 100, 255, 50, 255, 0, 0, 0}; }, 1020},
        LengthCase{"LongestNoteByAnotherEnvelope",
                   [](NoteInstrument& i) {
                       i.Envelopes[0].Repeat = 255;
                       i.Envelopes[3] = {255, 1, 255, 2, 255, 3, 255, 4, 0, 0};
                   },
                   1020},
        LengthCase{"VolumeAt0FromTheStart",
                   [](NoteInstrument& i) { i.Envelopes[0] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }, 0}),
    [](const testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

struct SilentCase {
    const char* name;
    EnvelopeParams volume;
};

class SilentNote : public testing::TestWithParam<SilentCase> {};

TEST_P(SilentNote, WritesNothing) {
    BuildTables();
    ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    NoteInstrument instrument = DefaultInstrument();
    instrument.Envelopes[0] = GetParam().volume;
    const std::vector<int16_t> samples = RenderNote(instrument, A4, Unguarded);
    const ExportResult result = WriteNote(samples, A4, (folder.Path() / "silent.wav").string(), FileFormat::Wav);
    EXPECT_EQ(result.Outcome, ExportOutcome::Silent);
    EXPECT_TRUE(folder.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SilentNote,
    testing::Values(SilentCase{"AllLengthsZeroAtValue0", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                    // Repeating at 0: a second of silence.
                    SilentCase{"RepeatingAt0", {0, 0, 30, 0, 0, 0, 0, 0, 0, 255}},
                    // Inverted 255 is 0.
                    SilentCase{"InvertedFull", {0, 255, 0, 0, 0, 0, 0, 0, 255, 0}}),
    [](const testing::TestParamInfo<SilentCase>& info) { return std::string(info.param.name); });

TEST(FileFormats, WavAndFlacDecodeTheSameWithTheirHeadersAndTags) {
    BuildTables();
    ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    NoteInstrument instrument = DefaultInstrument();
    instrument.Envelopes[0].Repeat = 255;
    const NoteChoice cSharp2{1, 2};
    const std::vector<int16_t> samples = RenderNote(instrument, cSharp2, Unguarded);

    struct Written {
        const char* file;
        FileFormat format;
        int major;
    };
    std::vector<SoundFile> decoded;
    for (const Written& w : {Written{"note.wav", FileFormat::Wav, SF_FORMAT_WAV},
                             Written{"note.flac", FileFormat::Flac, SF_FORMAT_FLAC}}) {
        SCOPED_TRACE(w.file);
        ASSERT_EQ(WriteNote(samples, cSharp2, (folder.Path() / w.file).string(), w.format).Outcome,
                  ExportOutcome::Written);
        decoded.push_back(ReadSoundFile(folder.Path() / w.file));
        const SoundFile& file = decoded.back();
        ASSERT_TRUE(file.Opened);
        EXPECT_EQ(file.Info.samplerate, 44100);
        EXPECT_EQ(file.Info.channels, 2);
        EXPECT_EQ(file.Info.format & SF_FORMAT_TYPEMASK, w.major);
        EXPECT_EQ(file.Info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
        EXPECT_EQ(file.Info.frames, 128 * 882);
        EXPECT_EQ(file.Title, "C#2");
        EXPECT_EQ(file.Software.rfind("TONARE Wave Generator", 0), 0u) << file.Software;
    }
    EXPECT_TRUE(decoded[0].Samples == decoded[1].Samples);
    EXPECT_TRUE(decoded[0].Samples == samples);
    // Only the two files: no temporary is left.
    std::vector<std::string> entries = folder.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"note.flac", "note.wav"}));
}

TEST(FileFormats, ExtensionChoosesTheFormat) {
    struct Case {
        const char* path;
        FileFormat fallback;
        FileFormat expected;
    };
    for (const Case& c : {Case{"/a/b.flac", FileFormat::Wav, FileFormat::Flac},
                          Case{"/a/b.FLAC", FileFormat::Wav, FileFormat::Flac},
                          Case{"/a/b.wav", FileFormat::Flac, FileFormat::Wav},
                          Case{"/a/b.Wav", FileFormat::Flac, FileFormat::Wav},
                          Case{"/a/b", FileFormat::Flac, FileFormat::Flac},
                          Case{"/a/b.ogg", FileFormat::Wav, FileFormat::Wav}}) {
        EXPECT_EQ(FormatForPath(c.path, c.fallback), c.expected) << c.path;
    }
}

TEST(FileFormats, NoteNames) {
    EXPECT_EQ(NoteName({9, 4}), "A4");
    EXPECT_EQ(NoteName({1, 2}), "C#2");
    EXPECT_EQ(NoteName({0, 0}), "C0");
    EXPECT_EQ(NoteName({10, 7}), "A#7");
    EXPECT_EQ(NoteName({11, 3}), "B3");
}

TEST(FileFormats, AnExistingFileIsReplacedWhole) {
    BuildTables();
    ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    const auto path = folder.Path() / "note.wav";
    const std::vector<int16_t> longer = RenderNote([] {
        NoteInstrument i = DefaultInstrument();
        i.Envelopes[0].Repeat = 255;
        return i;
    }(), A4, Unguarded);
    ASSERT_EQ(WriteNote(longer, A4, path.string(), FileFormat::Wav).Outcome, ExportOutcome::Written);
    const std::vector<int16_t> shorter = RenderNote(DefaultInstrument(), A4, Unguarded);
    ASSERT_EQ(WriteNote(shorter, A4, path.string(), FileFormat::Wav).Outcome, ExportOutcome::Written);
    EXPECT_TRUE(ReadSoundFile(path).Samples == shorter);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"note.wav"});
}

// Runs `write` in a child process that has given up root, so that folder
// permissions hold for it; returns what it returned.
std::string AsUnprivileged(const std::function<std::string()>& write) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        constexpr uid_t Nobody = 65534;
        if (geteuid() == 0 && (setgid(Nobody) != 0 || setuid(Nobody) != 0)) _exit(2);
        const std::string reason = write();
        const ssize_t ignored = ::write(pipeEnds[1], reason.data(), reason.size());
        (void)ignored;
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string reason;
    char buffer[256];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) reason.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed";
    return reason;
}

struct UnwritableCase {
    const char* name;
    // Prepares the scratch folder and gives the path to write.
    std::function<std::filesystem::path(const std::filesystem::path& scratch)> target;
    bool unprivileged;
    const char* reason;
};

class UnwritablePath : public testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritablePath, GivesTheSystemsReasonAndLeavesNothing) {
    BuildTables();
    ScratchFolder folder;
    ASSERT_TRUE(folder.Valid());
    const UnwritableCase& c = GetParam();
    const std::filesystem::path target = c.target(folder.Path());
    const std::vector<int16_t> samples = RenderNote(DefaultInstrument(), A4, Unguarded);
    const auto write = [&] {
        const ExportResult result = WriteNote(samples, A4, target.string(), FileFormat::Flac);
        return result.Outcome == ExportOutcome::WriteFailed ? result.Reason : std::string("written");
    };
    const std::string reason = c.unprivileged ? AsUnprivileged(write) : write();
    EXPECT_EQ(reason, c.reason);
    EXPECT_FALSE(std::filesystem::exists(target));
    std::vector<std::string> entries = folder.Entries();
    EXPECT_LE(entries.size(), 1u);
    if (!entries.empty()) {
        EXPECT_EQ(entries[0], "locked");
    }
    // The program goes on: the next export into a writable place works.
    EXPECT_EQ(WriteNote(samples, A4, (folder.Path() / "after.flac").string(), FileFormat::Flac).Outcome,
              ExportOutcome::Written);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnwritablePath,
    testing::Values(
        UnwritableCase{"MissingFolder", [](const std::filesystem::path& s) { return s / "missing" / "note.flac"; },
                       false, "No such file or directory"},
        UnwritableCase{"ReadOnlyFolder",
                       [](const std::filesystem::path& s) {
                           // The child runs as another user: let it reach the folder.
                           std::filesystem::permissions(s, std::filesystem::perms::all &
                                                               ~std::filesystem::perms::others_write &
                                                               ~std::filesystem::perms::group_write);
                           std::filesystem::create_directory(s / "locked");
                           std::filesystem::permissions(s / "locked", std::filesystem::perms::owner_read |
                                                                          std::filesystem::perms::owner_exec |
                                                                          std::filesystem::perms::group_read |
                                                                          std::filesystem::perms::group_exec |
                                                                          std::filesystem::perms::others_read |
                                                                          std::filesystem::perms::others_exec);
                           return s / "locked" / "note.flac";
                       },
                       true, "Permission denied"},
        UnwritableCase{"Proc", [](const std::filesystem::path&) { return std::filesystem::path("/proc/note.flac"); },
                       false, "No such file or directory"}),
    [](const testing::TestParamInfo<UnwritableCase>& info) { return std::string(info.param.name); });

}  // namespace
