// Writing the STDF file of the lot of 200,000 devices x 64 items, beside the
// CSV file in its Data format in the same run: the STDF writer is to write
// at least as many bytes per second (bytes_per_second, MB/s). Files go to
// LOTVUE_BENCH_DIR (default /tmp). The same writers into memory show what
// their formatting alone costs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "bench/bench_lot.h"
#include "core/csv_export.h"
#include "core/export_messages.h"
#include "core/stdf_export.h"

namespace {

const lotvue::LotData& Lot() { return bench::LotInFile("lotvue-bench-200000x64.tsd"); }

template <typename Write>
void WriteFiles(benchmark::State& state, const std::string& path, const Write& write) {
  for (auto _ : state) {
    if (!write()) state.SkipWithError("cannot write");
  }
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  ::unlink(path.c_str());
}

void BM_StdfWrite(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  lotvue::CollectedMessages messages;
  WriteFiles(state, lotvue::StdfPathOf(lot.path), [&] { return lotvue::WriteStdfFile(lot, messages); });
}

void BM_CsvDataWrite(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  WriteFiles(state, lotvue::CsvPathOf(lot.path), [&] {
    return lotvue::WriteCsvFile(lotvue::CsvPathOf(lot.path), lot, 0, lot.deviceCells.size(), lotvue::CsvFormat::kData);
  });
}

// The same two writers into memory, without the system's part of writing a
// file, which both pay per byte: what the formatting costs.
template <typename Write>
void WriteToMemory(benchmark::State& state, const Write& write) {
  std::string bytes;
  const auto writeOnce = [&] {
    bytes.clear();  // keeps its memory: rounds after the first one, untimed, allocate nothing
    lotvue::ReplacingWriter out(&bytes);
    write(out);
    out.Commit();
  };
  writeOnce();
  for (auto _ : state) writeOnce();
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_StdfToMemory(benchmark::State& state) {
  WriteToMemory(state, [&](lotvue::ReplacingWriter& out) { lotvue::WriteStdf(Lot(), 0, out); });
}

void BM_CsvDataToMemory(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  WriteToMemory(state, [&](lotvue::ReplacingWriter& out) {
    lotvue::WriteCsv(lot, 0, lot.deviceCells.size(), lotvue::CsvFormat::kData, out);
  });
}

// The ceiling: the STDF bytes, from memory, in one write(2) to a new file.
void BM_PlainStdfWrite(benchmark::State& state) {
  const lotvue::LotData& lot = Lot();
  std::string bytes;
  lotvue::ReplacingWriter out(&bytes);
  lotvue::WriteStdf(lot, 0, out);
  out.Commit();
  const std::string path = bench::OutputFolder() + "lotvue-bench-plain.stdf";
  WriteFiles(state, path, [&] {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && written;
  });
}

BENCHMARK(BM_PlainStdfWrite)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_CsvDataWrite)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_StdfWrite)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_CsvDataToMemory)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_StdfToMemory)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
