#include "core/app_settings.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

#include "core/replacing_file.h"

namespace lotvue {

AppSettingsData AppSettings;

namespace {

namespace fs = std::filesystem;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

const char* NonEmptyEnv(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

// The sibling "Config" folder of the executable's folder: bin/ -> ../Config/.
std::string PortableFolder() {
  std::string exe = ExecutableFolder();
  if (exe.empty()) return {};
  exe.pop_back();  // the trailing "/"
  const size_t cut = exe.rfind('/');
  return (cut == std::string::npos ? std::string() : exe.substr(0, cut)) + "/Config/";
}

std::string XdgFolder() {
  const char* xdg = NonEmptyEnv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = NonEmptyEnv("HOME");
    if (!home) {
      const passwd* pw = getpwuid(getuid());
      home = (pw && pw->pw_dir) ? pw->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.config";
  }
  return WithSlash(base) + "lotvue/Config/";
}

const char* YesNo(std::int32_t field) { return field == 1 ? "Yes" : "No"; }

}  // namespace

std::string ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || !exe.has_parent_path()) return {};
  return WithSlash(exe.parent_path().string());
}

// Chosen afresh at every call, so a folder made while the program runs is used
// from then on; the program itself asks for it once at start and once at exit.
std::string ConfigFolder() {
  if (const char* dir = NonEmptyEnv("LOTVUE_CONFIG_DIR")) return WithSlash(dir);
  std::string portable = PortableFolder();
  if (!portable.empty() && IsFolder(portable)) return portable;
  return XdgFolder();
}

bool ConfigFolderIsFallback() {
  if (NonEmptyEnv("LOTVUE_CONFIG_DIR")) return false;
  const std::string portable = PortableFolder();
  return portable.empty() || !IsFolder(portable);
}

bool EnsureConfigFolder() {
  const std::string folder = ConfigFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  return IsFolder(folder);
}

std::string SettingsPath() { return ConfigFolder() + "LotVuer.spec"; }

std::string OptionsPath() { return ConfigFolder() + "Lotvue.ini"; }

std::optional<std::vector<std::string>> ReadConfigLines(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  std::vector<std::string> lines;
  char buffer[256];
  for (;;) {
    std::memset(buffer, 0, sizeof buffer);
    if (!std::fgets(buffer, sizeof buffer, f)) break;
    const std::string_view line = Trim(std::string_view(buffer, std::strlen(buffer)));
    if (!line.empty()) lines.emplace_back(line);
  }
  std::fclose(f);
  return lines;
}

std::int32_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;  // saturated below
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<std::int32_t>(value);
}

void LoadSettingsFrom(const std::string& path, AppSettingsData& settings) {
  const auto lines = ReadConfigLines(path);
  if (!lines) return;
  for (const std::string& line : *lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string_view key(line.data(), eq);
    std::string value(Trim(std::string_view(line).substr(eq + 1)));
    for (char& c : value)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const std::int32_t yes = (!value.empty() && value[0] == 'y') ? 1 : 0;
    if (key == "AvgStdOnlyPass") settings.AvgStdOnlyPass = yes;
    else if (key == "ShowLine") settings.ShowLine = yes;
    else if (key == "ConvertFileTypeXLS") settings.ConvertFileTypeXLS = yes;
    else if (key == "ConvertFileTypeCSV") settings.ConvertFileTypeCSV = yes;
    else if (key == "CSVFormat") settings.CSVFormat = LeadingInt(value);
  }
}

void LoadSettings() {
  AppSettings = AppSettingsData{};
  LoadSettingsFrom(SettingsPath(), AppSettings);
}

std::string SettingsFileText(const AppSettingsData& s) {
  std::string text;
  text += std::string("AvgStdOnlyPass=") + YesNo(s.AvgStdOnlyPass) + "\r\n";
  text += std::string("ShowLine=") + YesNo(s.ShowLine) + "\r\n";
  text += std::string("ConvertFileTypeXLS=") + YesNo(s.ConvertFileTypeXLS) + "\r\n";
  text += std::string("ConvertFileTypeCSV=") + YesNo(s.ConvertFileTypeCSV) + "\r\n";
  text += "CSVFormat=" + std::to_string(s.CSVFormat);
  return text;
}

// The file is written whole beside the old one and replaces it in one step
// (ReplacingFile): when anything fails the old file stays as it was. A file
// that is a symbolic link is replaced at the link's target.
bool WriteConfigFile(const std::string& path, std::string_view bytes) {
  ReplacingFile file;
  return file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

bool SaveSettingsTo(const std::string& path, const AppSettingsData& settings) {
  return WriteConfigFile(path, SettingsFileText(settings));
}

void SaveSettings() {
  if (ConfigFolderIsFallback()) EnsureConfigFolder();
  SaveSettingsTo(SettingsPath(), AppSettings);
}

}  // namespace lotvue
