#!/usr/bin/env bash
# Installs the build into a temporary prefix and validates what lands there.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/cd-tunewick32 share/applications/cd-tunewick32.desktop \
         share/metainfo/io.github.cdtunewick32.metainfo.xml \
         share/icons/hicolor/scalable/apps/cd-tunewick32.svg share/cd-tunewick32/help/ROTOR.html \
         share/cd-tunewick32/help/ROTOR.en.html \
         share/man/man1/cd-tunewick32.1 share/cd-tunewick32/translations/cd-tunewick32_en.qm; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
# The rips' decoder is a module of its own, under the library folder (lib or lib/<triplet>).
compgen -G "$prefix/lib*/cd-tunewick32/cd-tunewick32-ffmpeg.so" >/dev/null ||
  compgen -G "$prefix/lib/*/cd-tunewick32/cd-tunewick32-ffmpeg.so" >/dev/null ||
  { echo "missing after install: the decoding module"; exit 1; }
# So is the online title look-up.
compgen -G "$prefix/lib*/cd-tunewick32/cd-tunewick32-online.so" >/dev/null ||
  compgen -G "$prefix/lib/*/cd-tunewick32/cd-tunewick32-online.so" >/dev/null ||
  { echo "missing after install: the online look-up module"; exit 1; }
desktop-file-validate "$prefix/share/applications/cd-tunewick32.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.cdtunewick32.metainfo.xml"
# Each help page opens at the topic the program asks for, in its own language.
grep -q 'id="context-1000"' "$prefix/share/cd-tunewick32/help/ROTOR.html"
grep -q '<html lang="en">' "$prefix/share/cd-tunewick32/help/ROTOR.en.html"
grep -q 'id="context-1000"' "$prefix/share/cd-tunewick32/help/ROTOR.en.html"
echo "install ok"
