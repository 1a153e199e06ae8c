#!/usr/bin/env bash
# Writes the kanji lists the handwriting panel's ranking prior uses, from Unicode's Unihan data
# as Debian ships it (package unicode-data): the jōyō kanji, and the kanji of JIS X 0208 level 1
# (rows 16 to 47) and the jinmeiyō list that are not jōyō. Each list in code point order, as a
# C++ string literal. Usage:
#   bash scripts/everyday_kanji.sh > platform/handwriting/everyday_kanji.inc
#   bash scripts/everyday_kanji.sh --check platform/handwriting/everyday_kanji.inc
set -euo pipefail

unihan=/usr/share/unicode/Unihan_OtherMappings.txt.bz2
if [ ! -r "$unihan" ]; then
  echo "everyday_kanji: $unihan is missing (apt-get install unicode-data)" >&2
  exit 2
fi

make_lists() {
  bzcat "$unihan" | python3 -c '
import sys
joyo, level1, jinmei = set(), set(), set()
for line in sys.stdin:
    if line.startswith("#"):
        continue
    fields = line.rstrip("\n").split("\t")
    if len(fields) != 3:
        continue
    code, key, value = fields
    character = chr(int(code[2:], 16))
    if key == "kJoyoKanji" and not value.startswith("U+"):
        joyo.add(character)
    elif key == "kJinmeiyoKanji" and not value.startswith("U+"):
        jinmei.add(character)
    elif key == "kJis0" and 16 <= int(value[:2]) <= 47:
        level1.add(character)
common = sorted((level1 | jinmei) - joyo)
print("// Made by scripts/everyday_kanji.sh from Unicode'"'"'s Unihan data; do not edit by hand.")
print("// The jōyō kanji (%d)." % len(joyo))
print("constexpr std::u16string_view kJoyoKanji = u\"%s\";" % "".join(sorted(joyo)))
print("// Kanji of JIS X 0208 level 1 and the jinmeiyō list that are not jōyō (%d)." % len(common))
print("constexpr std::u16string_view kLevelOneKanji = u\"%s\";" % "".join(common))
'
}

if [ "${1:-}" = "--check" ]; then
  if ! diff -q <(make_lists) "$2" >/dev/null; then
    echo "everyday_kanji: $2 is not what the script makes from $unihan" >&2
    exit 1
  fi
  echo "everyday_kanji: $2 is what the script makes"
  exit 0
fi
make_lists
