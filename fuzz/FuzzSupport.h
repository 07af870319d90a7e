#pragma once

// Helpers shared by the fuzz targets: splitting input bytes into request
// lines and a scratch directory that lives for the whole fuzzing run.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace tavor1::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Splits at CR LF, lone LF or lone CR, as request files are read.
inline std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

// One directory per fuzzing process, created on first use; the files in it
// are overwritten by every run.
inline const std::string& scratchDirectory()
{
    static const std::string dir = [] {
        const auto path = std::filesystem::temp_directory_path() / ("tavor1-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return dir;
}

} // namespace tavor1::fuzz
