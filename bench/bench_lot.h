// The lot the benchmarks work on: 200,000 devices x 64 items, generated
// once per process from a fixed seed, and the folder for their output files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/result_file.h"
#include "tools/tsd_writer.h"

namespace bench {

inline constexpr int kDevices = 200000;
inline constexpr int kItems = 64;

// LOTVUE_BENCH_DIR, default /tmp, with a trailing "/".
inline std::string OutputFolder() {
  const char* dir = std::getenv("LOTVUE_BENCH_DIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

inline std::vector<std::uint8_t> LotBytes() {
  tsd::GenerateOptions o;
  o.seed = 42;
  o.devices = kDevices;
  o.items = kItems;
  o.failShare = 0.1;
  return tsd::GenerateLot(o);
}

// The lot of a file's bytes, loaded as the reader loads the file at path.
inline std::unique_ptr<lotvue::LotData> LoadLot(const std::vector<std::uint8_t>& bytes, const std::string& path) {
  auto l = std::make_unique<lotvue::LotData>();
  l->path = path;
  lotvue::ResultFileSource source;
  source.OpenMemory(bytes.data(), bytes.size());
  lotvue::SilentReaderEvents events;
  if (lotvue::ReadHeaderAndItems(source, *l, {}, events)) lotvue::ReadDeviceRecords(source, *l, {}, events);
  return l;
}

// 1,000,000 devices x `items` items (64: the lot of the item statistics
// benchmarks), generated once per process and item count.
inline const lotvue::LotData& MillionLot(int items = 64) {
  static std::map<int, std::unique_ptr<lotvue::LotData>> lots;
  std::unique_ptr<lotvue::LotData>& lot = lots[items];
  if (!lot) {
    tsd::GenerateOptions o;
    o.seed = 7;
    o.devices = 1000000;
    o.items = items;
    o.failShare = 0.1;
    lot = LoadLot(tsd::GenerateLot(o), OutputFolder() + "million_x" + std::to_string(items) + ".tsd");
  }
  return *lot;
}

// The lot, loaded as if read from OutputFolder() + fileName.
inline const lotvue::LotData& Lot(const std::string& fileName) {
  static const std::unique_ptr<lotvue::LotData> lot = LoadLot(LotBytes(), OutputFolder() + fileName);
  return *lot;
}

// The lot loaded from OutputFolder() + fileName, which stays there while the
// program runs: the writers read the packed results from it again, as they
// do for a lot the user opened.
inline const lotvue::LotData& LotInFile(const std::string& fileName) {
  struct FileLot {
    lotvue::LotData lot;
    explicit FileLot(const std::string& path) {
      lot.path = path;
      tsd::WriteFile(lot.path, LotBytes());
      lotvue::SilentReaderEvents events;
      lotvue::LoadResultFile(lot, {}, events);
    }
    ~FileLot() { std::remove(lot.path.c_str()); }
  };
  static FileLot file(OutputFolder() + fileName);
  return file.lot;
}

}  // namespace bench
