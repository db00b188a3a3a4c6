// lotvue-cli dump: the loaded lot in a plain layout a person can read and a
// test can compare.
#include <cstdio>
#include <string>

#include "cli/cli_events.h"
#include "cli/commands.h"
#include "core/app_settings.h"
#include "core/lot_data.h"
#include "core/result_file.h"

namespace lotvue::cli {

namespace {

const char* ColorName(CellColor c) {
  switch (c) {
    case CellColor::Black: return "black";
    case CellColor::Red: return "red";
    case CellColor::Magenta: return "magenta";
    case CellColor::Blue: return "blue";
  }
  return "black";
}

void Put(std::string& out, std::string_view text) { out.append(text.data(), text.size()); }

}  // namespace

int DumpCommand(const Args& args) {
  std::string path;
  bool onlyPass = AppSettings.AvgStdOnlyPass == 1;
  for (const std::string& a : args) {
    if (a == "--only-pass") onlyPass = true;
    else if (a == "--all") onlyPass = false;
    else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "lotvue-cli dump: unknown option '%s'\n", a.c_str());
      return 2;
    } else if (path.empty()) path = a;
    else {
      std::fputs("lotvue-cli dump: one file only\n", stderr);
      return 2;
    }
  }
  if (path.empty()) {
    std::fputs("usage: lotvue-cli dump FILE [--only-pass|--all]\n", stderr);
    return 2;
  }

  LotData& lot = LoadingLot;
  lot.Reset();
  lot.path = path;
  StderrReaderEvents events;
  const LoadResult result = LoadResultFile(lot, ReadOptions{onlyPass}, events);
  if (result != LoadResult::kLoaded) {
    if (result == LoadResult::kCannotOpen) PrintMessage(CannotOpenText(path));
    if (result == LoadResult::kNoMemory) PrintMessage(NotEnoughMemoryText(path));
    lot.Reset();
    return 1;
  }

  std::string out;
  out += "[header]\n";
  for (std::size_t i = 0; i + 1 < lot.headerCells.size(); i += 2) {
    Put(out, lot.headerCells[i]);
    out += '\t';
    Put(out, lot.headerCells[i + 1]);
    out += '\n';
  }
  const int columns = lot.columns();
  out += "[items]\n";
  for (int r = 0; r < kItemTableRows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (c) out += '\t';
      Put(out, lot.ItemCell(r, c));
    }
    out += '\n';
  }
  out += "[devices]\n";
  const CellTable& cells = lot.deviceCells;
  for (std::size_t r = 0; r < cells.rows(); ++r) {
    for (std::size_t c = 0; c < cells.width(); ++c) {
      if (c) out += '\t';
      Put(out, cells.At(r, c));
      out += '|';
      out += ColorName(cells.ColorAt(r, c));
    }
    out += '\n';
    if (out.size() > (1u << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  lot.Reset();
  return 0;
}

}  // namespace lotvue::cli
