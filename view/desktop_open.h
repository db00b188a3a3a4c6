// Showing a written file to the user with the desktop's applications.
#pragma once

#include <string>

namespace lotvue {

// Opens path with the desktop's default application for it and, when that
// fails and textEditorFallback is set, with the first text editor found.
// False when nothing could be started.
bool OpenWithDesktopApplication(const std::string& path, bool textEditorFallback);

}  // namespace lotvue
