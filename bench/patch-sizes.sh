#!/usr/bin/env bash
# Compares the size of the patch data that `kestrovan-pkg diff` makes with
# `xdelta3 -9` on real file pairs. Both outputs are also given deflated (as
# the package stores patch data compressed). xdelta3's output is decoded
# again and compared; the round trip of our patch data through the
# installer's code is what tests/tools checks. Runs from a checkout with a
# built build/ (scripts/build).
#
#   bench/patch-sizes.sh [OLD NEW]...    extra pairs after the built-in ones
#
# Built-in pairs:
#   c-program     a generated C program of 400 functions built twice with
#                 cc -O2: the second has one function more in the middle and
#                 changed constants, so that most addresses move
#   pkg-tool      kestrovan-pkg linked with its main file as of the commit
#                 before the diff command, and as it is now
#   text          docs/manifest.md before and after the patch item documents
#   ctest, cpack  /usr/bin/cmake into /usr/bin/ctest and /usr/bin/cpack: large
#                 related programs (skipped, with a note, where cmake is not
#                 installed)
#
# For each pair: both programs' output raw and deflated (zlib level 9), the
# ratio of the deflated sizes (ours / xdelta3's) and both programs' wall
# times in seconds. xdelta3 -9 compresses its three sections (added data,
# instructions, addresses) apart with lzma, so deflate takes nothing more
# off; the column "xd3-S0+z" is xdelta3 -9 -S none deflated, which shows
# what of the difference is that secondary compression rather than the
# matching.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
tool="$build/tools/kestrovan-pkg"
[[ -x "$tool" ]] || { echo "build kestrovan-pkg first (scripts/build)" >&2; exit 1; }
command -v xdelta3 >/dev/null || { echo "xdelta3 missing: scripts/setup" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_program() {
  local out=$1 extra=$2 factor=$3
  {
    echo '#include <stdio.h>'
    echo '#include <string.h>'
    for i in $(seq 0 399); do
      if [[ $extra == yes && $i == 200 ]]; then
        echo 'int inserted(int x) { int s = 0; for (int k = 0; k < x; k++) s += k * 7; return s; }'
      fi
      echo "int f$i(int x, const char* s) { int r = x * $((i * factor + 3)); for (size_t k = 0; k < strlen(s); k++) r += s[k] * $((i % 17 + 1)); if (r % 3 == 0) printf(\"f$i %d\\n\", r); return r ^ $i; }"
    done
    echo 'int main(int argc, char** argv) { int r = argc;'
    for i in $(seq 0 399); do echo "  r += f$i(r, argv[0]);"; done
    [[ $extra == yes ]] && echo '  r += inserted(argc);'
    echo '  printf("%d\n", r); return 0; }'
  } > "$out.c"
  cc -O2 -o "$out" "$out.c"
}

make_program "$work/program-v1" no 5
make_program "$work/program-v2" yes 5

# kestrovan-pkg: the main file of the commit before the diff command,
# compiled with the current flags and linked with the current libraries.
old_commit=$(git -C "$here" log --format=%H -n 1 --grep='The patch maker and kestrovan-pkg diff')^
git -C "$here" show "$old_commit:tools/kestrovan-pkg.cpp" > "$work/kestrovan-pkg-old.cpp"
compile=$(ninja -C "$build" -t commands tools/kestrovan-pkg | grep -- '-c .*kestrovan-pkg.cpp' | tail -1)
link=$(ninja -C "$build" -t commands tools/kestrovan-pkg | tail -1)
# The compile line names the source last: compile the old copy instead. Once
# the libraries have moved on too far for the old main file, the pair is
# skipped.
pkg_pair=()
if (cd "$build" && eval "$(echo "$compile" | sed -e "s| -o [^ ]*kestrovan-pkg.cpp.o| -o $work/old.o|" \
      -e "s| -MF [^ ]*| -MF $work/old.d|" -e "s| [^ ]*tools/kestrovan-pkg.cpp\$| $work/kestrovan-pkg-old.cpp|")" \
    && eval "$(echo "$link" | sed -e "s|tools/CMakeFiles/kestrovan-pkg.dir/kestrovan-pkg.cpp.o|$work/old.o|" \
      -e "s| -o tools/kestrovan-pkg | -o $work/kestrovan-pkg-old |")") 2>"$work/old-build.log"; then
  pkg_pair=(pkg-tool "$work/kestrovan-pkg-old" "$work/kestrovan-pkg-new")
else
  echo "note: the old kestrovan-pkg no longer builds against the libraries: pair pkg-tool skipped" >&2
fi
cp "$tool" "$work/kestrovan-pkg-new"

text_commit=$(git -C "$here" log --format=%H -n 1 --grep='Manifests name patches by their old and new file')
git -C "$here" show "$text_commit^:docs/manifest.md" > "$work/manifest-old.md"
git -C "$here" show "$text_commit:docs/manifest.md" > "$work/manifest-new.md"

pairs=(c-program "$work/program-v1" "$work/program-v2"
       "${pkg_pair[@]}"
       text "$work/manifest-old.md" "$work/manifest-new.md")
for other in ctest cpack; do
  if [[ -f /usr/bin/cmake && -f /usr/bin/$other ]]; then
    pairs+=("$other" /usr/bin/cmake "/usr/bin/$other")
  else
    echo "note: /usr/bin/cmake or /usr/bin/$other missing: pair $other skipped" >&2
  fi
done
while [[ $# -ge 2 ]]; do
  pairs+=("$(basename "$2")" "$1" "$2")
  shift 2
done

deflated() { python3 -c 'import sys, zlib; print(len(zlib.compress(open(sys.argv[1], "rb").read(), 9)))' "$1"; }

# Wall time of a command in seconds; its output goes to /dev/null.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}

printf '%-10s %9s %9s | %9s %9s %6s | %9s %9s %6s | %6s | %9s\n' pair old new diff \
  diff+zlib time xdelta3-9 xd3+zlib time ratio xd3-S0+z
for ((i = 0; i < ${#pairs[@]}; i += 3)); do
  name=${pairs[i]} old=${pairs[i+1]} new=${pairs[i+2]}
  ours_time=$(seconds "$tool" diff "$old" "$new" -o "$work/$name.qvpt")
  theirs_time=$(seconds xdelta3 -9 -f -e -s "$old" "$new" "$work/$name.xd3")
  xdelta3 -f -d -s "$old" "$work/$name.xd3" "$work/$name.xd3-back"
  cmp -s "$new" "$work/$name.xd3-back" || { echo "$name: xdelta3 round trip failed" >&2; exit 1; }
  xdelta3 -9 -S none -f -e -s "$old" "$new" "$work/$name.xd3-plain"
  ours=$(deflated "$work/$name.qvpt")
  theirs=$(deflated "$work/$name.xd3")
  plain=$(deflated "$work/$name.xd3-plain")
  printf '%-10s %9d %9d | %9d %9d %6s | %9d %9d %6s | %6.3f | %9d\n' "$name" \
    "$(stat -c %s "$old")" "$(stat -c %s "$new")" \
    "$(stat -c %s "$work/$name.qvpt")" "$ours" "$ours_time" \
    "$(stat -c %s "$work/$name.xd3")" "$theirs" "$theirs_time" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')" "$plain"
done
