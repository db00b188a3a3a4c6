#include "tests/core/lot_files.h"

#include <algorithm>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/result_file.h"

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

void ReadLot(const std::vector<std::uint8_t>& bytes, LotData& lot, const std::string& path) {
  lot.Reset();
  lot.path = path;
  ResultFileSource source;
  source.OpenMemory(bytes.data(), bytes.size());
  SilentReaderEvents events;
  ReadOptions options;
  if (ReadHeaderAndItems(source, lot, options, events)) ReadDeviceRecords(source, lot, options, events);
}

std::string TempFolder(const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("lotvue-tests-" + std::to_string(::getpid())) / name;
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

}  // namespace lotvue::testing
