#include "core/frame_layout.h"

#include <algorithm>

namespace lotvue {

FrameRect CascadeRect(int areaWidth, int areaHeight, int index, int step) {
  constexpr int kDepth = 5;
  const int offset = (index % kDepth) * step;
  auto size = [&](int area) { return std::clamp(area - (kDepth - 1) * step, area * 6 / 10, area); };
  const int w = size(areaWidth), h = size(areaHeight);
  return {std::max(0, std::min(offset, areaWidth - w)), std::max(0, std::min(offset, areaHeight - h)), w, h};
}

int ClampFontHeight(int height) { return std::clamp(height, kMinFontHeight, kMaxFontHeight); }

void RememberRecentFile(std::vector<std::string>& recent, const std::string& path) {
  recent.erase(std::remove(recent.begin(), recent.end(), path), recent.end());
  recent.insert(recent.begin(), path);
  if (recent.size() > static_cast<std::size_t>(kRecentFiles)) recent.resize(kRecentFiles);
}

}  // namespace lotvue
