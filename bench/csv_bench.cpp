// Writing the CSV file of a lot of 200,000 devices x 64 items in each of the
// three number formats (argument 0 Data, 1 Scientific, 2 Value), beside
// writing the same bytes to a file with one plain write(2) in the same run
// (the ceiling that the disk and the page cache set), and beside making the
// same bytes in memory (the formatting alone). MB/s is bytes_per_second;
// the CPU time of the formatting counts every thread. The lot is loaded from
// a file that stays there, from which Scientific reads the packed results
// again. Files go to LOTVUE_BENCH_DIR (default /tmp).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/csv_export.h"
#include "core/result_file.h"
#include "bench/bench_lot.h"
#include "tools/tsd_writer.h"

namespace {

using bench::kDevices;
using bench::kItems;
using bench::OutputFolder;

const lotvue::LotData& Lot() { return bench::LotInFile("lotvue-bench-csv-200000x64.tsd"); }

std::size_t CsvBytes(lotvue::CsvFormat format) {
  const lotvue::LotData& lot = Lot();
  return lotvue::CsvText(lot, 0, lot.deviceCells.size(), format).size();
}

void BM_CsvWrite(benchmark::State& state) {
  const auto format = static_cast<lotvue::CsvFormat>(state.range(0));
  const lotvue::LotData& lot = Lot();
  const std::string path = lotvue::CsvPathOf(lot.path);
  const std::size_t bytes = CsvBytes(format);
  for (auto _ : state) {
    if (!lotvue::WriteCsvFile(path, lot, 0, lot.deviceCells.size(), format)) state.SkipWithError("cannot write");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["file_MB"] = bytes / 1e6;
  ::unlink(path.c_str());
}

// The formatting alone: the same bytes into memory that is already there.
void BM_CsvToMemory(benchmark::State& state) {
  const auto format = static_cast<lotvue::CsvFormat>(state.range(0));
  const lotvue::LotData& lot = Lot();
  std::string text(CsvBytes(format), '\0');  // its pages touched: the first iteration is like the others
  for (auto _ : state) {
    text.clear();
    lotvue::ReplacingWriter out(&text);
    lotvue::WriteCsv(lot, 0, lot.deviceCells.size(), format, out);
    out.Commit();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Baseline: the bytes of the same file, from memory, in one write(2).
void BM_PlainWrite(benchmark::State& state) {
  const auto format = static_cast<lotvue::CsvFormat>(state.range(0));
  const lotvue::LotData& lot = Lot();
  const std::string bytes = lotvue::CsvText(lot, 0, lot.deviceCells.size(), format);
  const std::string path = OutputFolder() + "lotvue-bench-plain.CSV";
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {  // one call unless the kernel cuts it (above 2 GiB)
      const ssize_t n = ::write(fd, p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.counters["file_MB"] = bytes.size() / 1e6;
  ::unlink(path.c_str());
}

// Argument: 0 Data, 1 Scientific, 2 Value.
BENCHMARK(BM_PlainWrite)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CsvToMemory)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_CsvWrite)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
