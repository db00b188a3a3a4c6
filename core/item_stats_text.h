// The item statistics and the bin summary as text: CSV (the command line's
// output and the statistics window's CSV file) and JSON. Numbers in base
// units as the shortest text that reads back to the same double; an
// undefined number is an empty CSV field or a JSON null.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/item_stats.h"

namespace lotvue {

// Header Item,Name,Unit,LSL,USL,N,Fails,FailPct,Mean,Median,Stdev,Min,Max,Cp,Cpk
// and one row per entry; Item is 1-based, Name and Unit are the file's bytes
// (quoted when they hold a comma, a quote or a line break).
std::string ItemStatsCsv(const LotData& lot, std::span<const ItemStats> table, std::string_view lineEnd);
// The statistics window's CSV file: the lot's path without its last four
// characters (".tsd") followed by "_Stats.CSV".
std::string ItemStatsCsvPath(const std::string& lotPath);
// Writes ItemStatsCsv with CR LF line ends to path by way of a temporary
// file; false (nothing changed) when it cannot be written.
bool WriteItemStatsCsvFile(const std::string& path, const LotData& lot, std::span<const ItemStats> table);

// An array of objects with the CSV's column names as keys; Name and Unit
// decoded as the report shows them (UTF-8 when valid, else the fallback code page).
std::string ItemStatsJson(const LotData& lot, std::span<const ItemStats> table);

// Header Bin,Count,Passed,Failed,Percent and one row per bin.
std::string BinStatsCsv(std::span<const BinStats> bins, std::string_view lineEnd);
std::string BinStatsJson(std::span<const BinStats> bins);

}  // namespace lotvue
