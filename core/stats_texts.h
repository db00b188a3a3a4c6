// The texts of the item statistics window in the three interface languages,
// kept apart from the 83 slots of LanguageTable and chosen by its language
// number (English for numbers other than 1 and 2).
#pragma once

namespace lotvue {

enum StatsText : int {
  kStWindowTitle,  // "Item Statistics", followed by " - PATH"
  // Table columns
  kStItem,
  kStName,
  kStUnit,
  kStLsl,
  kStUsl,
  kStN,
  kStFails,
  kStFailPct,
  kStMean,
  kStMedian,
  kStStdev,
  kStMin,
  kStMax,
  kStCp,
  kStCpk,
  // Controls
  kStOnlyPass,
  kStSaveCsv,
  kStHistogram,
  kStTrend,
  kStBins,
  kStBinCount,
  kStSavePng,
  kStSavePdf,
  kStComputing,
  kStSaved,
  kStNoValues,
  kStCannotWrite,
  // Chart and bin table texts
  kStCount,
  kStDevice,
  kStBin,
  kStPassed,
  kStFailed,
  kStPercent,
  kStNormal,
  kStTextCount
};

// The text in the current language (LanguageTable.language), UTF-8.
const char* StatsTextOf(StatsText text);
// The text in a given language.
const char* StatsTextIn(int language, StatsText text);

}  // namespace lotvue
