#include "tests/core/lot_files.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/value_text.h"

namespace lotvue::testing {

tsd::TsdBuilder SmallLot(int items, int devices, const std::vector<std::vector<int>>& values) {
  tsd::TsdBuilder b;
  b.SystemName("VXT-5000").DeviceName("DEV").LotName("LOT").OperatorName("op").Comment("test lot");
  for (int i = 0; i < items; ++i) {
    b.AddItem("I" + std::to_string(i), 'V').Limits(100, 12, 900, 12);
  }
  for (int d = 0; d < devices; ++d) {
    std::vector<tsd::Result> results(static_cast<std::size_t>(items));
    for (int i = 0; i < items; ++i) {
      tsd::Result& r = results[static_cast<std::size_t>(i)];
      r.mantissa = static_cast<std::int16_t>(100 + d + i);
      r.status = 0x10;
      if (static_cast<std::size_t>(d) < values.size() && !values[static_cast<std::size_t>(d)].empty()) {
        const auto& keep = values[static_cast<std::size_t>(d)];
        if (std::find(keep.begin(), keep.end(), i) == keep.end()) r.status = 0;  // no value: empty cell
      }
    }
    b.AddDevice(d + 1, static_cast<std::uint16_t>(1 + d % 3), d % 3 == 2 ? 1 : 0, results);
  }
  return b;
}

bool ReadLot(const std::vector<std::uint8_t>& bytes, LotData& lot, const std::string& path, const ReadOptions& options,
             ReaderEvents* events) {
  lot.Reset();
  lot.path = path;
  ResultFileSource source;
  source.OpenMemory(bytes.data(), bytes.size());
  SilentReaderEvents silent;
  ReaderEvents& to = events ? *events : silent;
  const bool accepted = ReadHeaderAndItems(source, lot, options, to);
  if (accepted) ReadDeviceRecords(source, lot, options, to);
  return accepted;
}

void RecordingEvents::RangeWarning(int d, int i, int m) { warnings.push_back(RangeWarningText(d, i, m)); }

LoadedLot LoadBytes(const std::vector<std::uint8_t>& bytes, bool avgStdOnlyPass, const std::string& path, int threads,
                    std::size_t chunkBytes) {
  LoadedLot out;
  ReadOptions options{avgStdOnlyPass, threads};
  options.chunkBytes = chunkBytes;
  out.accepted = ReadLot(bytes, *out.lot, path, options, &out.events);
  return out;
}

std::unique_ptr<LotData> HandLot(const std::vector<std::string>& titles, const std::vector<HandDevice>& devices,
                                 const std::string& comment, const std::string& path) {
  auto lot = std::make_unique<LotData>();
  const int items = static_cast<int>(titles.size());
  const int w = items + 2;
  lot->itemCount = items;
  lot->deviceCount = static_cast<int>(devices.size());
  lot->path = path;
  const char* labels[] = {"DataFileName", "WaferNum",     "SystemName",   "DeviceName",
                          "LotName",      "OperatorName", "TestFileName", "Comment"};
  for (int i = 0; i < 8; ++i) {
    lot->headerCells.push_back(labels[i]);
    lot->headerCells.push_back(i == 7 ? comment : "v" + std::to_string(i));
  }
  int fails = 0;
  for (const HandDevice& d : devices) fails += !d.serial.empty() && d.serial[0] == 'F';
  lot->failCount = fails;
  const std::vector<std::string> tail = {"", "", "Pass", std::to_string(devices.size() - fails),
                                         "Fail", std::to_string(fails), "Yield", "50.000%"};
  lot->headerCells.insert(lot->headerCells.end(), tail.begin(), tail.end());

  const char* rowLabels[kItemTableRows] = {"Item Name", "Bias1", "Bias2", "Bias3", "Min Limit", "Max Limit",
                                           "",          "Average", "STDEV", "Min Data", "Max Data"};
  for (int r = 0; r < kItemTableRows; ++r) {
    for (int c = 0; c < w; ++c) {
      if (c == 0) lot->itemTable.push_back(rowLabels[r]);
      else if (c == 1 || r == kRowSeparator) lot->itemTable.push_back("");
      else lot->itemTable.push_back("r" + std::to_string(r) + "c" + std::to_string(c));
    }
  }

  lot->deviceCells.Reset(static_cast<std::size_t>(w));
  lot->deviceCells.AddCell("Serial", CellColor::Black);
  lot->deviceCells.AddCell("Bin", CellColor::Black);
  for (const std::string& t : titles) lot->deviceCells.AddCell(t, CellColor::Black);
  lot->deviceCells.EndRow();
  for (const HandDevice& d : devices) {
    const auto has = [](const auto& list, int i) { return i < static_cast<int>(list.size()); };
    lot->deviceCells.AddCell(d.serial, !d.serial.empty() && d.serial[0] == 'F' ? CellColor::Red : CellColor::Black);
    lot->deviceCells.AddCell(d.bin, CellColor::Black);
    for (int i = 0; i < items; ++i) {
      lot->deviceCells.AddCell(has(d.values, i) ? d.values[i] : "", has(d.colors, i) ? d.colors[i] : CellColor::Blue);
    }
    lot->deviceCells.EndRow();
    lot->deviceFailed.push_back(!d.serial.empty() && d.serial[0] == 'F');
  }
  return lot;
}

QcLot MakeQcLot(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& failed) {
  std::vector<HandDevice> devices;
  for (std::size_t d = 0; d < rows.size(); ++d) {
    devices.push_back({(d < failed.size() && failed[d] ? "F" : "P") + std::to_string(d + 1), "1", rows[d]});
  }
  QcLot q = TakeQcLot(*HandLot(names, devices));
  q.itemNames = names;
  return q;
}

std::string TempFolder(const std::string& name) {
  namespace fs = std::filesystem;
  static const struct Root {
    fs::path path = fs::temp_directory_path() / ("lotvue-tests-" + std::to_string(::getpid()));
    ~Root() { std::error_code ignored; fs::remove_all(path, ignored); }
  } root;
  const fs::path dir = root.path / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

std::string WriteTsd(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = folder + "/" + name;
  tsd::WriteFile(path, bytes);
  return path;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool UnderFileSizeLimit(long bytes, const std::function<bool()>& write) {
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = static_cast<rlim_t>(bytes);
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const bool result = write();
  setrlimit(RLIMIT_FSIZE, &old);
  return result;
}

}  // namespace lotvue::testing
