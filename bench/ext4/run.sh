#!/usr/bin/env bash
# The flushed save on ext4 against the copy it stands for: `brevio cut MOVIE --remove 2` (a 1-unit
# cut of a ~0.9 GB movie, the movie flushed, named, then its folder flushed) paired with
# `cp MOVIE COPY && sync -d COPY` in the same round, alternating which goes first; wall time and
# CPU time (user + system, from wait4) of each, medians and the range of the per-pair ratios.
# Runs in WORK_DIR and on a loop-mounted ext4 image (root, mkfs.ext4; a fresh file system that
# holds nothing else); IN_WORK=1 times WORK_DIR only. Each place ends with a line of the two ratios
# against their limits (wall 1.10, CPU 1.15). The movie: 16 units, each a 1.001-s clip of 1080p Motion JPEG noise
# with PCM sound (about 0.9 GB), so that the cut leaves 15/16 of it to write. `sync` before every
# command.
#   usage: bench/ext4/run.sh [BUILD_DIR] [WORK_DIR] [PAIRS]
#   BREVIO_BEFORE=path/to/brevio adds a third command of every round: an earlier build's save.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
work=${2:-$build/bench-work}
pairs=${3:-7}
brevio=$build/bin/brevio
[ -x "$brevio" ] || { echo "run.sh: build $brevio first" >&2; exit 2; }
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"
log() { echo "run.sh: $*" >&2; }
. "$here/../engine/movies.sh"
if [ ! -f clip1s.mov ]; then
  log "making clip1s.mov"
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30000/1001,noise=alls=60:allf=t,trim=end_frame=30" \
    -f lavfi -i "sine=f=440:r=48000,atrim=end_sample=48048" \
    -c:v mjpeg -q:v 1 -pix_fmt yuvj420p -c:a pcm_s16le -f mov clip1s.mov.part
  mv clip1s.mov.part clip1s.mov
fi
repeat_movie clip1s.mov 16 movie09gb.mov

mnt=$work/ext4-mnt
img=$work/ext4.img
cleanup() {
  mountpoint -q "$mnt" 2>/dev/null && umount "$mnt"
  rm -f "$img" "$mnt/movie.mov" "$mnt/out.mov" "$work/movie.mov" "$work/out.mov"
  rmdir "$mnt" 2>/dev/null || true
}
trap cleanup EXIT

# Times the pairs in folder $1 (named $2 in the output); the movie is copied in first.
time_pairs() {
  [ -f "$1/movie.mov" ] || cp movie09gb.mov "$1/movie.mov"
  cat "$1/movie.mov" >/dev/null  # the source is read from the page cache, as for cp
  python3 - "$1" "$brevio" "$pairs" "${BREVIO_BEFORE:-}" "$2" <<'PY'
import os, statistics, subprocess, sys, time
d, brevio, pairs, before, place = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
movie = os.path.join(d, "movie.mov")
out = os.path.join(d, "out.mov")

def timed(argv):
    if os.path.exists(out): os.unlink(out)
    os.sync()
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        os.execvp(argv[0], argv)
    _, status, ru = os.wait4(pid, 0)
    wall = time.monotonic() - start
    if status != 0: sys.exit(f"failed: {argv}")
    return wall * 1000, (ru.ru_utime + ru.ru_stime) * 1000, ru.ru_stime * 1000

commands = {
    "brevio cut": [brevio, "cut", movie, "--remove", "2", "-o", out],
    "cp + sync -d": ["sh", "-c", 'cp "$0" "$1" && sync -d "$1"', movie, out],
}
if before: commands["brevio cut (before)"] = [before, "cut", movie, "--remove", "2", "-o", out]
res = {k: [] for k in commands}
load = []
for i in range(pairs):
    order = list(commands) if i % 2 == 0 else list(reversed(commands))
    for k in order: res[k].append(timed(commands[k]))
    load.append(os.getloadavg()[0])
base = res["cp + sync -d"]
print(f"{place}: {pairs} pairs, load average {min(load):.1f} to {max(load):.1f}, movie {os.path.getsize(movie)/1e6:.1f} MB")
print("| command | wall (median) | CPU user+sys (median) | system | wall ratio (median of pairs, range) | CPU ratio (median of pairs, range) |")
print("|---|---|---|---|---|---|")
ratios = {}
for k, v in res.items():
    wr = [a[0] / b[0] for a, b in zip(v, base)]
    cr = [a[1] / b[1] for a, b in zip(v, base)]
    ratios[k] = (statistics.median(wr), statistics.median(cr))
    print(f"| {k} | {statistics.median(x[0] for x in v):.0f} ms | {statistics.median(x[1] for x in v):.0f} ms "
          f"| {statistics.median(x[2] for x in v):.0f} ms | {ratios[k][0]:.2f} ({min(wr):.2f}-{max(wr):.2f}) "
          f"| {ratios[k][1]:.2f} ({min(cr):.2f}-{max(cr):.2f}) |")
w, c = ratios["brevio cut"]
verdict = "met" if w <= 1.10 and c <= 1.15 else "NOT met"
print(f"{place}: brevio cut / (cp + sync -d): wall {w:.2f} (limit 1.10), CPU {c:.2f} (limit 1.15): {verdict}")
print()
PY
  rm -f "$1/movie.mov" "$1/out.mov"
}

time_pairs "$work" "work folder ($(findmnt -n -o FSTYPE -T "$work"))"
if [ "${IN_WORK:-0}" != 1 ] && [ "$(id -u)" -eq 0 ] && command -v mkfs.ext4 >/dev/null; then
  mkdir -p "$mnt"
  truncate -s 3G "$img"
  mkfs.ext4 -q -F "$img"
  if mount -o loop "$img" "$mnt"; then
    time_pairs "$mnt" "ext4 loop image"
  else
    log "loop mounting failed: the work folder only"
  fi
fi
if [ "${KEEP:-0}" != 1 ]; then rm -f movie09gb.mov clip1s.mov; fi
