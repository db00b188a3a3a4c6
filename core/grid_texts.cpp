#include "core/grid_texts.h"

#include "core/language.h"
#include "core/language_rows.h"

namespace lotvue {

namespace {

// English, Simplified Chinese, Traditional Chinese.
constexpr const char* kTexts[kGtTextCount][3] = {
    {"&Find...", "查找(&F)...", "尋找(&F)..."},
    {"&Go to Device...", "转到器件(&G)...", "移至器件(&G)..."},
    {"Filter &Bar", "筛选栏(&B)", "篩選列(&B)"},
    {"Find:", "查找:", "尋找:"},
    {"Next", "下一个", "下一個"},
    {"Previous", "上一个", "上一個"},
    {"Not found", "未找到", "找不到"},
    {"Go to device:", "转到器件:", "移至器件:"},
    {"Position in file", "文件中的位置", "檔案中的位置"},
    {"Serial number", "序号", "序號"},
    {"Go", "转到", "移至"},
    {"No device at position ", "没有此位置的器件: ", "沒有此位置的器件: "},
    {"No device with serial number ", "没有此序号的器件: ", "沒有此序號的器件: "},
    {"The filter hides device ", "筛选隐藏了器件 ", "篩選隱藏了器件 "},
    {"Type a number", "请输入数字", "請輸入數字"},
    {"Show:", "显示:", "顯示:"},
    {"All devices", "全部器件", "全部器件"},
    {"Failed only", "仅不良", "僅不良"},
    {"Passed only", "仅合格", "僅合格"},
    {"Bin", "Bin", "Bin"},
    {"Column contains", "列包含", "欄包含"},
    {"Apply", "应用", "套用"},
    {"%1 of %2 devices shown", "显示 %1 / %2 个器件", "顯示 %1 / %2 個器件"},
    {", sorted by %1", "，按 %1 排序", "，按 %1 排序"},
    {" (descending)", "（降序）", "（降序）"},
};

}  // namespace

const char* GridTextIn(int language, GridText text) { return TextInLanguage(kTexts, language, text); }

const char* GridTextOf(GridText text) { return GridTextIn(LanguageTable.language, text); }

}  // namespace lotvue
