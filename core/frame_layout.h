// What the main window keeps for its report windows: where a new or
// cascaded report window goes in the window area, how far the report font
// zooms, and the list of recently opened files.
#pragma once

#include <string>
#include <vector>

namespace lotvue {

struct FrameRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const FrameRect&) const = default;
};

// Window `index` (0-based, in opening order) of a cascade in an area of
// that size: each one a title bar (`step` pixels) further down and to the
// right, five deep before starting again at the top left, every one as
// large as the area less the four steps of the cascade (at least 60 % of
// the area, at most the area).
FrameRect CascadeRect(int areaWidth, int areaHeight, int index, int step);

// Report font heights the zoom moves between, and one zoom step.
inline constexpr int kMinFontHeight = 8;
inline constexpr int kMaxFontHeight = 48;
inline constexpr int kZoomStep = 2;
int ClampFontHeight(int height);

// The recent files, newest first, at most this many.
inline constexpr int kRecentFiles = 8;
// Puts path first in the list (once), dropping the oldest beyond kRecentFiles.
void RememberRecentFile(std::vector<std::string>& recent, const std::string& path);

}  // namespace lotvue
