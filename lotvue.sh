#!/usr/bin/env bash
# Installs what is missing, builds Lotvue and opens a result file (the
# sample lot by default). Without a display it shows what it can headless.
set -euo pipefail
cd "$(dirname "$0")"
FILE="${1:-samples/demo.tsd}"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

echo "== lotvue-cli dump $FILE"
build/bin/lotvue-cli dump "$FILE" | head -n 40
