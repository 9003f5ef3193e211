#!/usr/bin/env bash
# Makes the benchmark movies and runs every engine timing; prints markdown table rows (the format
# of bench/README.md). Needs about 13 GB of free disk while it runs; the 5 GB movie and the clips
# are deleted at the end unless KEEP=1.
#   usage: bench/engine/run.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
work=${2:-$build/bench-work}
brevio=$build/bin/brevio
bench=$build/bench/engine_bench
for tool in "$brevio" "$bench"; do
  [ -x "$tool" ] || { echo "run.sh: build $tool first (cmake --build $build --target brevio engine_bench)" >&2; exit 2; }
done
mkdir -p "$work"
cd "$work"

log() { echo "run.sh: $*" >&2; }

. "$here/movies.sh"

if [ ! -f units300.mov ]; then
  # 300 units of 130 frames with AAC: 39,000 video and about 61,000 audio samples.
  log "making units300.mov (takes a few minutes)"
  "$brevio" make --synthetic 300 --size 160x120 --unit-seconds 4.3376 --audio aac units300.part.mov
  mv units300.part.mov units300.mov
fi
if [ ! -f units300-pcm.mov ]; then
  log "making units300-pcm.mov"
  "$brevio" make --synthetic 300 --size 160x120 --audio pcm units300-pcm.part.mov
  mv units300-pcm.part.mov units300-pcm.mov
fi
noise_clip 960x540 clip540.mov
noise_clip 1920x1080 clip1080.mov
repeat_movie clip540.mov 2 movie100mb.mov
repeat_movie clip1080.mov 5 movie1gb.mov
repeat_movie clip1080.mov 24 movie5gb.mov

echo "| measurement | movie | detail | engine | baseline | ratio |"
echo "|---|---|---|---|---|---|"
"$bench" open units300.mov
"$bench" open units300-pcm.mov
"$bench" open movie5gb.mov
"$bench" reference units300.mov
"$bench" reference units300-pcm.mov
"$bench" reference movie100mb.mov
"$bench" reference movie5gb.mov
"$bench" write movie1gb.mov "$brevio" 7

if [ "${KEEP:-0}" != 1 ]; then
  rm -f movie5gb.mov movie1gb.mov clip1080.mov
fi
