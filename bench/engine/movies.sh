# Movie makers shared by the benchmark scripts (sourced; needs $brevio and log()).

# A clip of large Motion JPEG frames (noise compresses badly), 120 frames (4.004 s) with PCM sound.
noise_clip() {  # size out
  [ -f "$2" ] && return
  log "making $2"
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=$1:r=30000/1001,noise=alls=60:allf=t,trim=end_frame=120" \
    -f lavfi -i "sine=f=440:r=48000,atrim=end_sample=192192" \
    -c:v mjpeg -q:v 1 -pix_fmt yuvj420p -c:a pcm_s16le -f mov "$2.part"
  mv "$2.part" "$2"
}

# A movie of COUNT copies of CLIP, each one unit.
repeat_movie() {  # clip count out
  [ -f "$3" ] && return
  log "assembling $3 from $2 x $1"
  local clips=()
  for ((i = 0; i < $2; i++)); do clips+=("$1"); done
  "$brevio" make "$3.part.mov" "${clips[@]}"
  mv "$3.part.mov" "$3"
}
