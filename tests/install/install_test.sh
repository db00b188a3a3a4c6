#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop sees:
# the desktop entry and metainfo validate, *.tsd files get their MIME type,
# the installed lotvue-cli runs (finding TAVO_XLS.so beside it) and the man
# pages render.
set -euo pipefail
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/lotvue bin/lotvue-cli lib/lotvue/lotvue lib/lotvue/lotvue-cli lib/lotvue/TAVO_XLS.so \
         share/applications/org.lotvue.Lotvue.desktop share/mime/packages/lotvue.xml \
         share/metainfo/org.lotvue.Lotvue.metainfo.xml share/man/man1/lotvue.1 share/man/man1/lotvue-cli.1 \
         share/bash-completion/completions/lotvue-cli share/icons/hicolor/scalable/apps/org.lotvue.Lotvue.svg; do
  [ -e "$prefix/$f" ] || fail "$f not installed"
done
for s in 16 22 24 32 48 64 128 256 512; do
  [ -e "$prefix/share/icons/hicolor/${s}x${s}/apps/org.lotvue.Lotvue.png" ] || fail "icon $s missing"
done
[ ! -e "$prefix/lib/Config" ] || fail "lib/Config would make the install portable"

desktop-file-validate "$prefix/share/applications/org.lotvue.Lotvue.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/org.lotvue.Lotvue.metainfo.xml" >/dev/null || fail "metainfo"

update-mime-database "$prefix/share/mime" 2>/dev/null
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
"$build/bin/tsdgen" --devices 5 --items 4 "$work/A.tsd" >/dev/null
cp "$work/A.tsd" "$work/B.TSD"
for f in A.tsd B.TSD; do
  type=$(XDG_DATA_DIRS="$prefix/share" XDG_DATA_HOME="$work/none" xdg-mime query filetype "$work/$f")
  [ "$type" = application/x-lotvue-tsd ] || fail "$f is '$type'"
done

version=$(sed -n 's/^project(Lotvue VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ "$("$prefix/bin/lotvue-cli" --version)" = "Lotvue $version" ] || fail "lotvue-cli --version"
[ "$("$prefix/bin/lotvue" --version)" = "Lotvue $version" ] || fail "lotvue --version"
HOME="$work" XDG_CONFIG_HOME="$work/config" "$prefix/bin/lotvue-cli" convert --xls --csv "$work/A.tsd" >/dev/null \
  || fail "installed lotvue-cli cannot convert"
[ -s "$work/A.XLS" ] && [ -s "$work/A.CSV" ] || fail "conversion wrote nothing"

for page in lotvue lotvue-cli; do
  out=$(MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null) || fail "man $page"
  [ -z "$out" ] || fail "man $page warns: $out"
done
echo "install test passed"
