#include "core/language.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "core/app_settings.h"

namespace lotvue {

LanguageTableData LanguageTable;

namespace {

// The three tables, UTF-8. The line ends and tabs inside some texts belong to
// them (menu accelerator column, message line breaks).
constexpr const char* kEnglish[kLanguageSlots] = {
    "Ok",  // 0
    "Cancel",  // 1
    "Open",  // 2
    "&File",  // 3
    "&Open...\tCtrl+O",  // 4
    "Convert All &Files...",  // 5
    "Convert &Detail...",  // 6
    "Exit(&X)",  // 7
    "Close\tCtrl+W",  // 8
    "Con&vert\tF2",  // 9
    "Convert &Setup...\tF3",  // 10
    "Convert Scientific",  // 11
    "Convert Data",  // 12
    "&View",  // 13
    "&Tool bar",  // 14
    "&Status bar",  // 15
    "Show Line",  // 16
    "Only Pass",  // 17
    "&Format...\tF5",  // 18
    "&Tool",  // 19
    "Language",  // 20
    "DeviceQC\tF4",  // 21
    "Only Show Fail",  // 22
    "&Help",  // 23
    "About Lotvue(&A)...",  // 24
    "&Window",  // 25
    "Cascade(&C)",  // 26
    "Tile(&T)",  // 27
    "Arrange Icons(&A)",  // 28
    "Please Select Language",  // 29
    "English",  // 30
    "Chinese",  // 31
    "Taiwan",  // 32
    "View Format",  // 33
    "Per Device",  // 34
    "Matrix",  // 35
    "Scatter",  // 36
    "Histogram",  // 37
    "All",  // 38
    "Pass",  // 39
    "Manual",  // 40
    "Show",  // 41
    "Number",  // 42
    "Min",  // 43
    "Max",  // 44
    "Step",  // 45
    "File Convert Details",  // 46
    "File Type",  // 47
    "Data",  // 48
    "Scientific",  // 49
    "Value",  // 50
    "Show Line",  // 51
    "Avg Stdev Only Pass",  // 52
    "File Conver Setup",  // 53
    "Serial Number",  // 54
    "Begin",  // 55
    "End",  // 56
    "Warning:\r\nIf many devices converted,\r\nit whill take a few minutes.",  // 57
    "File Name",  // 58
    "Creat Directory Error.",  // 59
    "Is not TSD File",  // 60
    "This is Loading,wait please.",  // 61
    "Call Excel and NOTEPAD Error",  // 62
    "Save success. Open this File ? File name:",  // 63
    "Creat CSV File Error",  // 64
    "Creat XLS File Error",  // 65
    "Invalid Max Or Min",  // 66
    "Invalid Step",  // 67
    "Invalid",  // 68
    "Item All Fail",  // 69
    "Open File",  // 70
    "Convert File",  // 71
    "Convert Setup",  // 72
    "Convert Scientific",  // 73
    "Convert Data",  // 74
    "Device QC",  // 75
    "Format",  // 76
    "Show Line",  // 77
    "Show Fail",  // 78
    "Loading Data",  // 79
    "Format List",  // 80
    "Format Data",  // 81
    "Convering",  // 82
};
constexpr const char* kSimplified[kLanguageSlots] = {
    "确定",  // 0
    "取消",  // 1
    "打开",  // 2
    "文件(&F)",  // 3
    "打开(&O)...\tCtrl+O",  // 4
    "转换所有文件(&F)...",  // 5
    "转换文件细节(&D)...",  // 6
    "退出(&X)",  // 7
    "关闭文档\tCtrl+W",  // 8
    "转换(&V)\tF2",  // 9
    "按设定转换(&S)...\tF3",  // 10
    "只转换成科学计数法",  // 11
    "只转换数据",  // 12
    "查看(&V)",  // 13
    "工具栏(&T)",  // 14
    "状态栏(&S)",  // 15
    "显示表格",  // 16
    "仅合格的",  // 17
    "版式(&F)...\tF5",  // 18
    "工具(&T)",  // 19
    "语言",  // 20
    "分析\tF4",  // 21
    "只显示不良",  // 22
    "帮助(&H)",  // 23
    "关于Lotvue(&A)...",  // 24
    "窗口(&W)",  // 25
    "层叠(&C)",  // 26
    "平铺(&T)",  // 27
    "重排(&A)",  // 28
    "请选择语言的种类",  // 29
    "英语",  // 30
    "简体中文",  // 31
    "繁体中文",  // 32
    "版式",  // 33
    "分组",  // 34
    "矩阵",  // 35
    "分散性",  // 36
    "柱状图",  // 37
    "全部",  // 38
    "合格",  // 39
    "手动",  // 40
    "显示",  // 41
    "编号",  // 42
    "最小",  // 43
    "最大",  // 44
    "步长",  // 45
    "文件详细转换",  // 46
    "文件类型",  // 47
    "数据",  // 48
    "科学记数",  // 49
    "数值",  // 50
    "显示线",  // 51
    "Avg Stdev 只计算合格的",  // 52
    "文件按设定转换",  // 53
    "序列号",  // 54
    "开始",  // 55
    "结束",  // 56
    "警告:\r\n如果数据数量大,\r\n那可能会要一些时间.",  // 57
    "文件名",  // 58
    "创建文件夹失败！\n",  // 59
    "不是TSD文件",  // 60
    "程序正在加载文件,请稍后再打开文件,或是重新打开一个程序再打开文件.",  // 61
    "调用 Excel和 记事本 失败！请安装程序。",  // 62
    "保存文件成功!\n是否打开?文件名",  // 63
    "创建CSV文件失败",  // 64
    "Excel创建失败！\r\n可能文件正在使用,请关闭后再试",  // 65
    "无效的最小或最大值",  // 66
    "无效步长",  // 67
    "无效",  // 68
    "全部不良",  // 69
    "打开文件",  // 70
    "转换文件",  // 71
    "转换设定",  // 72
    "转换成科学计数",  // 73
    "转换数据到XLS文件",  // 74
    "分析",  // 75
    "版式",  // 76
    "显示表格",  // 77
    "显示不良",  // 78
    "加载数据",  // 79
    "排列表格",  // 80
    "整理数据",  // 81
    "正在努力的为您导出数据中：",  // 82
};

// The Simplified Chinese texts, except the View menu title, which has no
// accelerator letter in this table, and the Device QC captions.
constexpr std::array<const char*, kLanguageSlots> MakeTraditional() {
  std::array<const char*, kLanguageSlots> t{};
  for (int i = 0; i < kLanguageSlots; ++i) t[i] = kSimplified[i];
  t[kSlotViewMenu] = "查看(&)";
  t[kSlotScatter] = "分散性";
  t[kSlotHistogram] = "柱狀圖";
  t[kSlotAll] = "全部";
  t[kSlotPass] = "合格";
  t[kSlotManual] = "手動";
  t[kSlotShow] = "顯示";
  t[kSlotNumber] = "編號";
  t[kSlotMin] = "最小";
  t[kSlotMax] = "最大";
  t[kSlotStep] = "步長";
  return t;
}
constexpr std::array<const char*, kLanguageSlots> kTraditional = MakeTraditional();

const char* const* Table(int language) {
  if (language == 1) return kSimplified;
  if (language == 2) return kTraditional.data();
  return kEnglish;
}

constexpr std::string_view kKey = "LOTvue=";

// "LOTvue=" up to and including the first "=", exactly, case-sensitive.
bool IsLanguageLine(const std::string& line) {
  const size_t eq = line.find('=');
  return eq != std::string::npos && std::string_view(line).substr(0, eq + 1) == kKey;
}

std::string LanguageLine(int language) { return std::string(kKey) + std::to_string(language); }

}  // namespace

std::string LanguagePath() { return ConfigFolder() + "Language.spec"; }

int ReadLanguageNumber(const std::string& path) {
  const auto lines = ReadConfigLines(path);
  if (!lines) return 0;
  for (const std::string& line : *lines)
    if (IsLanguageLine(line)) return LeadingInt(std::string_view(line).substr(kKey.size()));
  return 0;
}

void SelectLanguageTable(int language) {
  LanguageTable.language = language;
  const char* const* table = Table(language);
  for (int i = 0; i < kLanguageSlots; ++i) LanguageTable.slots[i] = table[i];
}

void LoadLanguage() { SelectLanguageTable(ReadLanguageNumber(LanguagePath())); }

// A new file holds the one line without a line end. An existing file keeps
// each distinct line once, in order of first appearance, except lines
// without "=", with every "LOTvue=" line set to the new number; a missing
// "LOTvue=" line is added at the end.
bool SaveLanguageTo(const std::string& path, int language) {
  const auto lines = ReadConfigLines(path);
  if (!lines) return WriteConfigFile(path, LanguageLine(language));

  std::vector<std::string> kept;
  for (const std::string& line : *lines)
    if (std::find(kept.begin(), kept.end(), line) == kept.end()) kept.push_back(line);

  std::string text;
  bool hasKey = false;
  for (const std::string& line : kept) {
    if (line.find('=') == std::string::npos) continue;
    if (IsLanguageLine(line)) {
      text += LanguageLine(language) + "\r\n";
      hasKey = true;
    } else {
      text += line + "\r\n";
    }
  }
  if (!hasKey) text += LanguageLine(language) + "\r\n";
  return WriteConfigFile(path, text);
}

void SaveLanguage(int language) {
  if (ConfigFolderIsFallback()) EnsureConfigFolder();
  SaveLanguageTo(LanguagePath(), language);
  SelectLanguageTable(language);
}

const char* LanguageText(int language, int slot) {
  if (slot < 0 || slot >= kLanguageSlots) return "";
  return Table(language)[slot];
}

}  // namespace lotvue
