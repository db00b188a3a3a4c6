#!/usr/bin/env bash
# Builds the core, the spreadsheet library, lotvue-cli and their tests with
# clang's AddressSanitizer and UndefinedBehaviorSanitizer (in a build folder
# of its own), runs those tests, then each libFuzzer target for
# FUZZ_SECONDS seconds (default 60) from the seed inputs in tests/fuzz/corpus.
# Any finding fails the script. Usage: scripts/check-sanitizers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-sanitize}
seconds=${FUZZ_SECONDS:-60}
jobs=$(nproc)

launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "${launcher[@]}" -DLOTVUE_FUZZ=ON -DLOTVUE_BUILD_GUI=OFF -DLOTVUE_BUILD_BENCH=OFF > /dev/null
targets=(lotvue_core_tests lotvue_xls_tests lotvue_cli_tests reader_fuzzer export_fuzzer)
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

# Every finding ends the run that makes it. The write-fault library of the
# CLI tests is preloaded ahead of the sanitizer's runtime, which is fine.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The guard tests fault inside a library on purpose: the sanitizer takes
# such faults for its own and ends the program, as it should.
(cd "$build" && ctest -j"$jobs" --output-on-failure --timeout 900 -E '^XlsLibraryGuard\.')

for fuzzer in reader_fuzzer export_fuzzer; do
  corpus="$build/corpus/$fuzzer"
  log="$build/$fuzzer.log"
  mkdir -p "$corpus"
  status=0
  "$build/bin/$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/$fuzzer-" "$corpus" tests/fuzz/corpus > "$log" 2>&1 || status=$?
  echo "== $fuzzer ($seconds s): $(grep -E '^stat::number_of_executed_units' "$log" || echo 'no runs')"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    exit "$status"
  fi
done
