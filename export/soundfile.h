// Writing 16-bit stereo frames at 44100 Hz to a WAV or FLAC file through
// libsndfile, all or nothing: the file appears only once it is complete.
//
// Threading. Touches no engine state; any thread may call it, also beside the
// audio callback.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace soundexport {

enum class FileFormat : uint8_t { Wav, Flac, FileFormatCount };

// "flac" (any case) gives FLAC, "wav" WAV; any other extension gives `fallback`.
FileFormat FormatForPath(const std::string& path, FileFormat fallback);

// The software name written into every file's metadata.
const char* SoftwareName();

// Writes interleaved left/right samples to `path` with `title` in the metadata.
// The data goes to a temporary file beside `path`, which is renamed into place
// when complete; on failure nothing is left behind and the result is the
// system's (or libsndfile's) reason.
std::optional<std::string> WriteSoundFile(const std::string& path, FileFormat format,
                                          std::span<const int16_t> samples, const std::string& title);

}  // namespace soundexport
