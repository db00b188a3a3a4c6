// AppSettings: the five user preferences, and the settings file that keeps
// them from one run to the next; the Config folder that holds our files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lotvue {

struct AppSettingsData {
  std::int32_t AvgStdOnlyPass = 0;
  std::int32_t ShowLine = 0;
  std::int32_t ConvertFileTypeXLS = 1;
  std::int32_t ConvertFileTypeCSV = 0;
  std::int32_t CSVFormat = 0;  // 0 Data, 1 Scientific, 2 Value
};

// The process-wide preferences.
extern AppSettingsData AppSettings;

// The folder of the settings and language files, with a trailing "/":
// LOTVUE_CONFIG_DIR when set; else the sibling "Config" folder of the
// executable's folder when it exists (portable layout); else
// $XDG_CONFIG_HOME/lotvue/Config/ (default ~/.config/lotvue/Config/).
std::string ConfigFolder();
// True when ConfigFolder() is the XDG folder, the one place our files may
// create their folder; the portable and the LOTVUE_CONFIG_DIR folders must exist.
bool ConfigFolderIsFallback();
// Creates the folder (and its parents) when it does not exist; false when it cannot.
bool EnsureConfigFolder();
// Folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

std::string SettingsPath();  // ConfigFolder() + "LotVuer.spec"
// The program's newer options (QSettings, INI format), kept apart from the
// settings and language files so that those keep their lines as they are.
std::string OptionsPath();  // ConfigFolder() + "Lotvue.ini"

// Defaults, then every recognised line of the settings file.
void LoadSettings();
// Applies every recognised line of the file on top of `settings`.
void LoadSettingsFrom(const std::string& path, AppSettingsData& settings);
// Writes the five lines through a temporary file beside the settings file.
void SaveSettings();
// False when nothing was written; the old file then stays as it was.
bool SaveSettingsTo(const std::string& path, const AppSettingsData& settings);
// The exact bytes of the settings file for these preferences.
std::string SettingsFileText(const AppSettingsData& settings);

// Shared by the settings and the language file. The lines of a file read in
// pieces of at most 255 bytes (a longer line goes on as a line of its own),
// cut at a zero byte, blanks and line ends trimmed, empty ones left out;
// nullopt when the file cannot be opened.
std::optional<std::vector<std::string>> ReadConfigLines(const std::string& path);
// The number at the start of a text as atoi reads it: leading blanks, an
// optional sign, decimal digits; no digits give 0; kept within 32 bits.
std::int32_t LeadingInt(std::string_view text);
// Writes the bytes whole to a temporary file beside the file (or beside the
// target of a link at path) and renames that over it, so a failed write
// leaves the old file as it was; false when nothing was replaced.
bool WriteConfigFile(const std::string& path, std::string_view bytes);

}  // namespace lotvue
