// WAV and FLAC writing with libsndfile into a temporary file in the target
// folder, renamed into place when complete.
#include "export/soundfile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/ksynth.h"

namespace soundexport {
namespace {

constexpr int Channels = 2;
// libsndfile's FLAC effort, 0..1: low, as the higher levels took 1.6 to 4 times as long
// for files hardly smaller (the export must stay well under 100 ms).
constexpr double FlacCompressionLevel = 0.2;
// Permissions a new file gets before the umask, as for any file an editor saves.
constexpr mode_t NewFileMode = 0666;

std::string SystemReason(int error) {
    return std::strerror(error);
}

// The temporary file, removed again unless it was renamed into place.
class PendingFile {
public:
    explicit PendingFile(const std::string& target) {
        const std::filesystem::path path(target);
        const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
        name_ = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
        fd_ = mkostemp(name_.data(), O_CLOEXEC);
        created_ = fd_ >= 0;
        if (!created_) error_ = errno;
    }
    ~PendingFile() {
        if (fd_ >= 0) close(fd_);
        if (created_ && !kept_) unlink(name_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    int Descriptor() const { return fd_; }
    int Error() const { return error_; }

    // Gives the file the permissions of a newly created one; mkstemp makes it 0600.
    bool SetNewFileMode() {
        const mode_t mask = umask(0);
        umask(mask);
        return Check(fchmod(fd_, NewFileMode & ~mask) == 0);
    }
    bool Sync() { return Check(fsync(fd_) == 0); }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return Check(close(fd) == 0);
    }
    bool RenameTo(const std::string& target) {
        kept_ = Check(rename(name_.c_str(), target.c_str()) == 0);
        return kept_;
    }

private:
    bool Check(bool ok) {
        if (!ok && error_ == 0) error_ = errno;
        return ok;
    }

    std::string name_;
    int fd_ = -1;
    int error_ = 0;
    bool created_ = false;
    bool kept_ = false;
};

int FormatCode(FileFormat format) {
    return (format == FileFormat::Flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
}

// libsndfile's words, or the system's when a system call underneath failed.
std::string WriteReason(SNDFILE* file, int error) {
    return error != 0 ? SystemReason(error) : std::string(sf_strerror(file));
}

}  // namespace

FileFormat FormatForPath(const std::string& path, FileFormat fallback) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".flac") return FileFormat::Flac;
    if (extension == ".wav") return FileFormat::Wav;
    return fallback;
}

const char* SoftwareName() {
    return TONARE_SOFTWARE;
}

std::optional<std::string> WriteSoundFile(const std::string& path, FileFormat format,
                                          std::span<const int16_t> samples, const std::string& title) {
    PendingFile pending(path);
    if (pending.Descriptor() < 0) return SystemReason(pending.Error());
    if (!pending.SetNewFileMode()) return SystemReason(pending.Error());

    SF_INFO info{};
    info.samplerate = ksynth::EngineConfig::SampleRate;
    info.channels = Channels;
    info.format = FormatCode(format);
    SNDFILE* file = sf_open_fd(pending.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) return std::string(sf_strerror(nullptr));

    if (format == FileFormat::Flac) {
        double level = FlacCompressionLevel;
        sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    }
    // Both formats take their tags before the first frame.
    sf_set_string(file, SF_STR_TITLE, title.c_str());
    sf_set_string(file, SF_STR_SOFTWARE, SoftwareName());
    const auto frames = static_cast<sf_count_t>(samples.size() / Channels);
    errno = 0;
    const sf_count_t written = sf_writef_short(file, samples.data(), frames);
    std::optional<std::string> reason;
    if (written != frames) reason = WriteReason(file, errno);
    errno = 0;
    // Closing writes the headers' final sizes and, for FLAC, the last frames.
    if (sf_close(file) != 0 && !reason) reason = WriteReason(nullptr, errno);
    if (reason) return reason;

    if (!pending.Sync() || !pending.Close() || !pending.RenameTo(path)) return SystemReason(pending.Error());
    return std::nullopt;
}

}  // namespace soundexport
