#include "core/stats_texts.h"

#include "core/language.h"
#include "core/language_rows.h"

namespace lotvue {

namespace {

// English, Simplified Chinese, Traditional Chinese.
constexpr const char* kTexts[kStTextCount][3] = {
    {"Item Statistics", "项目统计", "項目統計"},
    {"Item", "项目", "項目"},
    {"Name", "名称", "名稱"},
    {"Unit", "单位", "單位"},
    {"LSL", "LSL", "LSL"},
    {"USL", "USL", "USL"},
    {"N", "N", "N"},
    {"Fails", "不良数", "不良數"},
    {"Fail %", "不良率 %", "不良率 %"},
    {"Mean", "平均值", "平均值"},
    {"Median", "中位数", "中位數"},
    {"Stdev", "标准差", "標準差"},
    {"Min", "最小值", "最小值"},
    {"Max", "最大值", "最大值"},
    {"Cp", "Cp", "Cp"},
    {"Cpk", "Cpk", "Cpk"},
    {"Only Pass", "仅合格的", "僅合格的"},
    {"Save CSV", "保存 CSV", "儲存 CSV"},
    {"Histogram", "柱状图", "柱狀圖"},
    {"Trend", "趋势图", "趨勢圖"},
    {"Bins", "Bin 汇总", "Bin 彙總"},
    {"Bins:", "组数:", "組數:"},
    {"Save PNG", "保存 PNG", "儲存 PNG"},
    {"Save PDF", "保存 PDF", "儲存 PDF"},
    {"Computing the statistics...", "正在计算统计...", "正在計算統計..."},
    {"Saved ", "已保存 ", "已儲存 "},
    {"No values", "没有数值", "沒有數值"},
    {"Cannot write ", "无法写入 ", "無法寫入 "},
    {"Count", "数量", "數量"},
    {"Device", "器件", "器件"},
    {"Bin", "Bin", "Bin"},
    {"Passed", "合格", "合格"},
    {"Failed", "不良", "不良"},
    {"Percent", "百分比", "百分比"},
    {"Normal", "正态分布", "常態分佈"},
};

}  // namespace

const char* StatsTextIn(int language, StatsText text) { return TextInLanguage(kTexts, language, text); }

const char* StatsTextOf(StatsText text) { return StatsTextIn(LanguageTable.language, text); }

}  // namespace lotvue
