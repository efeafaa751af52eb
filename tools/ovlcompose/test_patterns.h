#pragma once
// The built-in inputs: animated pictures written as temporary AVI files, so
// they reach the filter through the platform's own File Source and AVI
// Splitter like any other video.
#include <string>

namespace ovlcompose {

constexpr long long kPatternFrameDuration = 400000;  // 25 frames per second

// Colour bars with a sweeping bar, 640x360.
bool WriteColourBars(const std::wstring& path, int frames);
// Moving concentric rings, 260x190.
bool WriteRings(const std::wstring& path, int frames);

}  // namespace ovlcompose
