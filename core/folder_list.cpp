#include "core/folder_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace lotvue {

bool IsResultFileName(std::string_view path) {
  if (path.size() < 3) return false;
  const std::string_view tail = path.substr(path.size() - 3);
  for (std::size_t i = 0; i < 3; ++i) {
    const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
    if (c != "tsd"[i]) return false;
  }
  return true;
}

bool IsBatchResultName(std::string_view name) {
  if (name.empty() || name[0] == '~' || name[0] == '.') return false;
  return name.size() >= 4 && name[name.size() - 4] == '.' && IsResultFileName(name);
}

std::optional<std::string> BatchFolderOf(const std::string& chosenPath) {
  if (!IsResultFileName(chosenPath)) return std::nullopt;
  const std::size_t slash = chosenPath.rfind('/');
  if (slash == std::string::npos) return std::string(".");
  if (slash == 0) return std::string("/");
  return chosenPath.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::optional<std::vector<std::string>> BatchFileNames(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!IsBatchResultName(name)) continue;
    // A folder that happens to be named like a result file is no result
    // file; a name whose kind cannot be told (a broken link) is kept, and
    // its conversion then reports that it cannot be opened.
    struct stat st {};
    if (stat(JoinPath(folder, std::string(name)).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    names.emplace_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace lotvue
