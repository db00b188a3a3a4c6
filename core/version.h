// The program's version, set once in the top CMakeLists.txt (project VERSION).
#pragma once

namespace lotvue {

// "Lotvue X.Y.Z", as --version prints it and the About box shows it.
inline constexpr char kVersionText[] = "Lotvue " LOTVUE_VERSION;

}  // namespace lotvue
