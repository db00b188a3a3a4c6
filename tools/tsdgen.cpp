// tsdgen: writes a generated result file for tests, samples and benchmarks.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/tsd_writer.h"

namespace {

void Usage() {
  std::fputs(
      "usage: tsdgen [options] OUTPUT.tsd\n"
      "  --seed N          random seed (default 1)\n"
      "  --devices N       device records (default 50)\n"
      "  --items N         test items (default 10; above 256 makes a rejected file)\n"
      "  --fail-share X    share of failed devices, 0..1 (default 0.1)\n"
      "  --no-special      ordinary items only (no pin-mask, line, capacitance, plain items)\n"
      "  --no-odd          only value statuses (no Over, No Data, Short, ...)\n"
      "  --no-terminator   no serial-0 record after the devices\n"
      "  --truncate N      cut the file after N bytes\n"
      "  --announce N      device count written in the header (default: the real one)\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  tsd::GenerateOptions o;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--seed") o.seed = std::strtoull(next(), nullptr, 10);
    else if (a == "--devices") o.devices = std::atoi(next());
    else if (a == "--items") o.items = std::atoi(next());
    else if (a == "--fail-share") o.failShare = std::atof(next());
    else if (a == "--no-special") o.specialItems = false;
    else if (a == "--no-odd") o.oddStatuses = false;
    else if (a == "--no-terminator") o.terminator = false;
    else if (a == "--truncate") o.truncateAt = std::atoll(next());
    else if (a == "--announce") o.announced = std::atoll(next());
    else if (a == "-h" || a == "--help") { Usage(); return 0; }
    else if (!a.empty() && a[0] == '-') { Usage(); return 2; }
    else out = a;
  }
  if (out.empty() || o.devices < 0 || o.items < 0 || o.items > 65535) {
    Usage();
    return 2;
  }
  if (!tsd::WriteFile(out, tsd::GenerateLot(o))) {
    std::fprintf(stderr, "tsdgen: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
