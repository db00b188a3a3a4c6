#!/usr/bin/env bash
# Installs what is missing, builds Lotvue and opens a result file (the
# sample lot by default) in the viewer. Without a display the viewer runs on
# a virtual X server: a screenshot is saved, the file is converted with
# lotvue-cli, and the script says where both are.
set -euo pipefail
cd "$(dirname "$0")"
FILE="${1:-samples/demo.tsd}"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ ! -f "$FILE" ]; then
  echo "lotvue.sh: $FILE: no such file" >&2
  exit 1
fi

# == The viewer
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/lotvue "$FILE"
fi

echo "== No display: the viewer on a virtual X server"
SHOT=build/lotvue-demo.png
# The viewer gets a few seconds to open and load the file (longer for big files),
# then the whole screen is saved and the viewer is ended.
SIZE=$(stat -c %s "$FILE")
WAIT=$(( 4 + SIZE / 20000000 ))
rm -f "$SHOT"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  build/bin/lotvue "$1" &
  pid=$!
  sleep "$3"
  import -window root "$2"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' lotvue-demo "$(realpath "$FILE")" "$SHOT" "$WAIT"
if [ -f "$SHOT" ]; then
  echo "Screenshot of the viewer: $(realpath "$SHOT")"
else
  echo "lotvue.sh: no screenshot was taken" >&2
fi

# == The same file converted by the command-line tool. The sample is
# converted as a copy in build/, so the outputs land there; a file of your
# own is converted where it is, as the viewer's Convert command does.
TARGET="$FILE"
if [ "$FILE" = "samples/demo.tsd" ]; then
  cp samples/demo.tsd build/demo.tsd
  TARGET=build/demo.tsd
fi
echo "== lotvue-cli convert --csv --xls $TARGET"
if build/bin/lotvue-cli convert --csv --xls "$TARGET"; then
  echo "Converted files (named above) lie beside $(realpath "$TARGET")"
fi
