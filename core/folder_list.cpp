#include "core/folder_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace lotvue {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithLower(std::string_view text, std::string_view lowerSuffix) {
  if (text.size() < lowerSuffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - lowerSuffix.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (Lower(tail[i]) != lowerSuffix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsBatchResultName(std::string_view name) {
  if (name.empty() || name[0] == '~' || name[0] == '.') return false;
  return EndsWithLower(name, ".tsd");
}

std::optional<std::string> BatchFolderOf(const std::string& chosenPath) {
  if (!EndsWithLower(chosenPath, "tsd")) return std::nullopt;
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
