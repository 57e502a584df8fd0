#!/usr/bin/env bash
# Draws every page under the C locale and under each locale given, into a folder per locale, and
# fails unless every page is the same, pixel for pixel, under each locale as under C.
#   compare_page_snapshots.sh <page_snapshots> <folder> <locale...>
set -euo pipefail
page_snapshots=$1 folder=$2
shift 2

rm -rf "$folder"
mkdir -p "$folder/home"
# Only the locale differs between the drawings: no stored choice, no other locale setting.
export HOME=$folder/home XDG_CONFIG_HOME=$folder/home/.config
unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE FC_LANG

draw() { # <locale>
  LANG=$1 "$page_snapshots" "$folder/$1" >/dev/null
}

draw C.UTF-8
pages=$(ls "$folder/C.UTF-8" | wc -l)
[ "$pages" -gt 0 ] || { echo "no page drawn under C.UTF-8" >&2; exit 1; }
differing=0
for locale in "$@"; do
  draw "$locale"
  for page in "$folder/C.UTF-8"/*.png; do
    drawn=$folder/$locale/$(basename "$page")
    if ! cmp -s "$page" "$drawn"; then
      pixels=$(compare -metric AE "$page" "$drawn" null: 2>&1 || true)
      echo "$drawn differs from $page in $pixels pixels"
      differing=$((differing + 1))
    fi
  done
done
echo "$pages pages under C.UTF-8 and $*: $differing differ"
[ "$differing" -eq 0 ]
