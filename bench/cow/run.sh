#!/usr/bin/env bash
# The save of a 1 GB movie with one unit removed, on the work folder's file system and on a
# loop-mounted XFS image with reflink, each against cp and ffmpeg -c copy in the same run (rows
# in the format of bench/README.md). Needs root for the loop mount (the XFS rows are left out
# otherwise), mkfs.xfs, about 3 GB of free disk; the movies are deleted at the end unless KEEP=1.
# XFS_ONLY=1 leaves out the work folder's rows. The last XFS row times `brevio --version`, the
# tool's start that `brevio cut` includes.
#   usage: [XFS_ONLY=1] bench/cow/run.sh [BUILD_DIR] [WORK_DIR] [REPS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
work=${2:-$build/bench-work}
reps=${3:-7}
brevio=$build/bin/brevio
bench=$build/bench/engine_bench
for tool in "$brevio" "$bench"; do
  [ -x "$tool" ] || { echo "run.sh: build $tool first (cmake --build $build --target brevio engine_bench engine_cut)" >&2; exit 2; }
done
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"

log() { echo "run.sh: $*" >&2; }
. "$here/../engine/movies.sh"

noise_clip 1920x1080 clip1080.mov
repeat_movie clip1080.mov 5 movie1gb.mov

echo "| file system | measurement | movie | detail | engine | baseline | ratio |"
echo "|---|---|---|---|---|---|---|"
if [ "${XFS_ONLY:-0}" != 1 ]; then
  fs_name=$(findmnt -n -o FSTYPE -T . || stat -f -c %T .)
  "$bench" write movie1gb.mov "$brevio" "$reps" | grep "final write" | sed "s#^#| $fs_name (work folder) #"
fi

mnt=$work/xfs-mnt
img=$work/xfs.img
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  rm -f "$img"
  rmdir "$mnt" 2>/dev/null || true
}
trap cleanup EXIT
if [ "$(id -u)" -eq 0 ] && command -v mkfs.xfs >/dev/null; then
  mkdir -p "$mnt"
  truncate -s 4G "$img"
  mkfs.xfs -q -f -m reflink=1 "$img"
  if mount -o loop "$img" "$mnt"; then
    cp --reflink=never movie1gb.mov "$mnt/movie1gb.mov"
    "$bench" write "$mnt/movie1gb.mov" "$brevio" "$reps" | grep "final write" |
      sed "s/^/| xfs, reflink, loop image /"
    # The engine's own time, without the tool's start: one write timed around engine_cut.
    rm -f "$mnt/engine-cut.mov"
    sync
    start=$(date +%s%N)
    "$build/bench/engine_cut" "$mnt/movie1gb.mov" "$mnt/engine-cut.mov"
    end=$(date +%s%N)
    shared=$(filefrag -v "$mnt/engine-cut.mov" | grep -c shared || true)
    echo "| xfs, reflink, loop image | engine_cut (open, cut, write, flush), one run | movie1gb.mov | $shared shared extents | $(((end - start) / 1000000)) ms | | |"
    starts=()
    for _ in $(seq "$reps"); do
      start=$(date +%s%N)
      "$brevio" --version >/dev/null
      end=$(date +%s%N)
      starts+=($(((end - start) / 1000)))
    done
    median=$(printf '%s\n' "${starts[@]}" | sort -n | sed -n "$(((reps + 1) / 2))p")
    echo "| xfs, reflink, loop image | brevio --version (the tool's start), median of $reps | | | $((median / 1000)).$(((median % 1000) / 100)) ms | | |"
  else
    log "loop mounting failed: no XFS rows"
  fi
else
  log "not root or no mkfs.xfs: no XFS rows"
fi

if [ "${KEEP:-0}" != 1 ]; then
  rm -f movie1gb.mov clip1080.mov
fi
