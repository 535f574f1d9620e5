// The file names taken as movies: ".avi", ".mpg", ".mpeg" and the common
// modern containers, in any case. Header only, so the picture readers can
// tell a movie by its name without linking the movie decoder.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace pavalo {

inline constexpr std::array<std::string_view, 9> kMovieExtensions{".avi", ".mpg", ".mpeg", ".mp4", ".m4v",
                                                                  ".mkv", ".webm", ".mov", ".ogv"};

// The extension after the last dot of the name (not of a folder), lower case
// and with the dot; empty without one.
inline std::string lowerCaseExtension(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    std::string ext(path.substr(dot));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return ext;
}

inline bool isMovieFileName(std::string_view path) {
    const std::string ext = lowerCaseExtension(path);
    return std::find(kMovieExtensions.begin(), kMovieExtensions.end(), ext) != kMovieExtensions.end();
}

}  // namespace pavalo
