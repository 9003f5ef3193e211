#!/bin/sh
# Regenerates the seed corpus: tiny movies made with ffmpeg, some given a BRVU atom.
set -e
cd "$(dirname "$0")/corpus"
ff="ffmpeg -nostdin -v error -y"
v="-f lavfi -i testsrc=size=16x16:rate=10:duration=1.2"
a="-f lavfi -i sine=sample_rate=8000:duration=1.2"
x="-c:v libx264 -preset ultrafast -g 100 -force_key_frames 0,0.4,0.8"
$ff $v $a $x -bf 2 -c:a pcm_s16le -f mov pcm.mov
$ff $v $a $x -bf 0 -c:a aac -b:a 16k -f mov aac.mov
$ff $v $a $x -bf 2 -c:a pcm_s16be -movflags +faststart -f mov faststart.mov
$ff $v -c:v mjpeg -f mov mjpeg.mov
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=400\ntitle=a\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=400\nEND=1200\ntitle=b\n' > /tmp/brevio-fuzz-meta.txt
$ff $v -f ffmetadata -i /tmp/brevio-fuzz-meta.txt -map 0:v -map_chapters 1 $x -f mov chapters.mov
rm -f /tmp/brevio-fuzz-meta.txt
python3 - <<'PY'
import struct
def add_brvu(path, out, starts):
    b = bytearray(open(path, 'rb').read())
    o = 0
    while o < len(b):
        size, kind = struct.unpack('>I4s', b[o:o+8])
        if kind == b'moov':
            break
        o += size
    brvu = struct.pack('>I4sII', 16 + 4 * len(starts), b'BRVU', 0, len(starts)) + b''.join(struct.pack('>I', s) for s in starts)
    udta = struct.pack('>I4s', 8 + len(brvu), b'udta') + brvu
    moov_size = struct.unpack('>I', b[o:o+4])[0]
    if o + moov_size != len(b):
        raise SystemExit('moov must be last')
    b[o:o+4] = struct.pack('>I', moov_size + len(udta))
    b += udta
    open(out, 'wb').write(bytes(b))
add_brvu('pcm.mov', 'pcm-brvu.mov', [0, 400, 800])
add_brvu('aac.mov', 'aac-brvu.mov', [0, 400, 800])
add_brvu('mjpeg.mov', 'mjpeg-brvu.mov', [0, 600])
PY
