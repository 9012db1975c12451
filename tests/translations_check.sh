#!/usr/bin/env bash
# Every text the program shows has its English: lupdate runs over the sources into a copy of the
# translation, and any entry it leaves unfinished (a new or changed text) fails the check, named.
set -euo pipefail
top=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$top/translations/cd-tunewick32_en.ts" "$work/en.ts"
report=$("$top/scripts/update-translations" "$work/en.ts" 2>&1)
echo "$report" | tail -1
unfinished=$(grep -c 'type="unfinished"' "$work/en.ts" || true)
if [ "$unfinished" -ne 0 ]; then
  echo "$unfinished text(s) without English (run scripts/update-translations and translate them):"
  grep -B2 'type="unfinished"' "$work/en.ts" | grep '<source>' | sed 's/^ */  /'
  exit 1
fi
if ! cmp -s "$top/translations/cd-tunewick32_en.ts" "$work/en.ts"; then
  echo "translations/cd-tunewick32_en.ts holds texts the sources no longer have; run scripts/update-translations"
  diff "$top/translations/cd-tunewick32_en.ts" "$work/en.ts" | head -20
  exit 1
fi
echo "every text has its English"
