# What the bench scripts share; sourced, not run.

# program BUILD_DIR NAME: the absolute path of the executable NAME in the
# build folder, or the script stops.
program() {
  local path
  path=$(find "$1" -name "$2" -type f -perm -u+x | head -1)
  [[ -n "$path" ]] || { echo "no $2 in $1 (scripts/build)" >&2; exit 1; }
  realpath "$path"
}

# copy_corpus WORK [SOURCE_FOLDER...]: copies the sources (default:
# /usr/include and /usr/lib/gcc) into WORK/tree/Corpus and says how big the
# tree is.
copy_corpus() {
  local work=$1; shift
  local sources=("$@")
  [[ ${#sources[@]} -gt 0 ]] || sources=(/usr/include /usr/lib/gcc)
  mkdir -p "$work/tree/Corpus"
  for source in "${sources[@]}"; do
    cp -a "$source" "$work/tree/Corpus/$(basename "$source")"
  done
  echo "tree: $(find "$work/tree" -type f | wc -l) files," \
    "$(( $(du -sb "$work/tree" | cut -f1) / 1048576 )) MiB; $(nproc) cores"
}

# make_corpus WORK PKGTOOL [SOURCE_FOLDER...]: copies the tree as above, then
# makes WORK/corpus.pkg with `kestrovan-pkg build` and its default manifest
# (a name and the source folder) and WORK/corpus.tar.gz with tar -czf (gzip's
# default level), and reads both once, so that timed runs read them from
# memory.
make_corpus() {
  local work=$1 pkgtool=$2; shift 2
  copy_corpus "$work" "$@"
  echo '{"name": "Corpus", "source": "'"$work/tree/Corpus"'"}' > "$work/corpus.json"
  "$pkgtool" build "$work/corpus.json" -o "$work/corpus.pkg" >/dev/null
  tar -czf "$work/corpus.tar.gz" -C "$work/tree" Corpus
  echo "package: $(( $(stat -c %s "$work/corpus.pkg") / 1048576 )) MiB," \
    "tar.gz: $(( $(stat -c %s "$work/corpus.tar.gz") / 1048576 )) MiB"
  cat "$work/corpus.pkg" "$work/corpus.tar.gz" > /dev/null
}

# median: the median of the numbers on standard input, one per line.
median() {
  sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
