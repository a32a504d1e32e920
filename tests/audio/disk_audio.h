// Helpers for running the audio device without a sound card: SDL 1.2's `disk`
// driver writes every block it would play into a file in a scratch folder.
#pragma once

#include <stdlib.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace disk_audio {

// 2048 frames of two 16-bit samples.
constexpr std::size_t BlockBytes = 8192;
using Block = std::array<uint8_t, BlockBytes>;

// A fresh folder under the system's temporary directory, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tonare-audio-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Valid() const { return !path_.empty(); }
    std::filesystem::path Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Selects SDL's disk writer for the next AudioOpen. `delayMs` is the pause SDL's
// audio thread takes after each block, paused or not.
inline void UseDiskDriver(const std::filesystem::path& file, int delayMs) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
}

inline std::uintmax_t FileBytes(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

// Waits until the file holds at least `bytes` bytes; false after `timeout`.
inline bool WaitForFileBytes(const std::filesystem::path& file, std::uintmax_t bytes,
                             std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (FileBytes(file) < bytes) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The whole blocks of the file, in order; a trailing partial block is dropped.
inline std::vector<Block> ReadBlocks(const std::filesystem::path& file) {
    std::vector<Block> blocks(FileBytes(file) / BlockBytes);
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(blocks.data()), static_cast<std::streamsize>(blocks.size() * BlockBytes));
    return blocks;
}

inline bool IsSilent(const Block& block) {
    for (uint8_t byte : block) {
        if (byte != 0) return false;
    }
    return true;
}

}  // namespace disk_audio
