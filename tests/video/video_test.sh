#!/usr/bin/env bash
# brenvik-video through the real tools: video_test.sh BIN CASE
#   end_to_end  a moving clip with a tone, part of it taken: frames, order,
#               pictures and sound checked against the container
#   fit         pad, crop and stretch of a picture of known layout
#   sequence    an image sequence at its own rate, named by a relative pattern
#   silent      no sound track, one job, the error-diffused twins packed
#   resume      only missing or incomplete picture files are encoded again
#   stop        a run stopped by TERM ends at once and resumes to the same
#               container; Ctrl-C leaves no temporary folder
#   golden      containers' bytes pinned by their SHA-256
#   failures    a failing frame (encoded here or through GNU parallel), bad
#               input and bad options leave no container
set -uo pipefail
BIN=$(readlink -f "$1")
CASE=$2
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/video-test.XXXXXX")
trap 'rm -rf -- "$SCRATCH"' EXIT
# shellcheck source=tests/video/video_test_support.sh
source "$(dirname "$0")/video_test_support.sh"
cd "$SCRATCH" || exit 1
# The program's own temporary folders land here, so none may be left behind.
mkdir tmp
export TMPDIR=$SCRATCH/tmp

video() { "$BIN/brenvik-video" "$@"; }
differ() { ! cmp -s "$1" "$2"; }

no_temporaries_left() {
  local left
  left=$(find "$TMPDIR" . -maxdepth 1 -name '*brenvik-video*' | head -n 3)
  [[ -z $left ]] || { printf '  left behind: %s\n' "$left" >&2; return 1; }
}

case_end_to_end() {
  must "make the clip" make_clip clip.mkv 3
  local summary
  summary=$(video clip.mkv film.ZRP --start=0.4 --duration=1.6 --quality=0 --workdir=work --keep) ||
    must "brenvik-video succeeds" false
  local frames=40
  check "summary frame count" equal "$(field frames "$summary")" $frames
  check "summary: every frame encoded" equal "$(field encoded "$summary")" $frames
  check "summary container size" equal "$(field bytes "$summary")" "$(stat -c %s film.ZRP)"
  check "container frame count" equal "$(frame_count_of film.ZRP)" $frames
  check "container structure" sound_structure film.ZRP
  check "container size" equal "$(stat -c %s film.ZRP)" $((first_record + frames * record_size))

  mkdir own
  local i
  for ((i = 0; i < frames; ++i)); do
    local name bmp
    name=$(printf 'frame%05d' "$i")
    bmp=work/$name.bmp
    # Frame 0 of the container is the clip's frame 10 (0.4 s at 25 per second):
    # its green level counts the clip's frames.
    check "$name shows clip frame $((i + 10))" equal "$(pixel "$bmp" 160 100 | cut -d' ' -f2)" \
      $(((i + 10) * 9 % 256))
    check "$name rows above the window are black" equal "$(lit_bytes_in_rows "$bmp" 0 20)" 0
    check "$name rows below the window are black" equal "$(lit_bytes_in_rows "$bmp" 179 199)" 0
    # The container's frame equals the encoder's own file for the same picture
    # (the plain colour distance is brenvik-video's default).
    cp "$bmp" own/
    (cd own && "$BIN/brenvik" -0 --mode=2 --distance=plain "$name.bmp" >/dev/null) ||
      must "encode $name" false
    window_of "own/$name.bVK" expected.bVK
    frame_of film.ZRP "$i" got.bVK
    check "$name packed as the encoder wrote it" cmp -s got.bVK expected.bVK
  done

  # The sound as ffmpeg converts the same part of the clip, behind a 44-byte header.
  ff -ss 0.4 -i clip.mkv -t 1.6 -vn -ac 1 -ar 50066 -f u8 expected.raw
  local size
  size=$(stat -c %s expected.raw)
  check "WAV is 44 bytes of header and the samples" equal "$(stat -c %s work/sound.wav)" $((44 + size))
  check "WAV header" equal "$(head -c 44 work/sound.wav | od -An -t x1 | xargs)" \
    "$(printf '52 49 46 46 %s 57 41 56 45 66 6d 74 20 10 00 00 00 01 00 01 00 92 c3 00 00 92 c3 00 00 01 00 08 00 64 61 74 61 %s' \
      "$(printf '%08x' $((36 + size)) | sed 's/\(..\)\(..\)\(..\)\(..\)/\4 \3 \2 \1/')" \
      "$(printf '%08x' "$size" | sed 's/\(..\)\(..\)\(..\)\(..\)/\4 \3 \2 \1/')")"
  check "WAV samples are ffmpeg's conversion" cmp -s <(tail -c +45 work/sound.wav) expected.raw
  # The container reader gives back the samples the container carries.
  "$BIN/zorpamux-cli" extract-sound film.ZRP -o extracted.wav >/dev/null ||
    must "the reader extracts the sound" false
  local extracted
  extracted=$(($(stat -c %s extracted.wav) - 44))
  check "container sound is ffmpeg's conversion" cmp -s <(tail -c +45 extracted.wav) \
    <(head -c "$extracted" expected.raw)
  # All but the container's silent last frames: the pre-roll and about 2003 a frame.
  check "container sound is not cut short ($extracted bytes)" \
    test "$extracted" -gt $((8192 + (frames - 9) * 2000))
  check "no temporary left" no_temporaries_left
}

case_fit() {
  # 320x240: the top 40 rows green, the rest red.
  must "make the picture" ff -f lavfi -i "color=red:s=320x240:d=1,drawbox=x=0:y=0:w=320:h=40:color=lime:t=fill" \
    -frames:v 1 picture.png
  local -A colour=([black]="0 0 0" [green]="0 255 0" [red]="0 0 255")
  # fit | pixel at (5, 5 into the window) | (160, 5 into it) | (160, 100 into it)
  local table=(
    "pad     black green red"   # 211x158 in the middle: bars at the sides
    "crop    red   red   red"   # 320x240, cut to its 158 middle rows: no green left
    "stretch green green red"   # 320x158: the green band is 26 rows high
  )
  local row
  for row in "${table[@]}"; do
    local -a c
    read -r -a c <<<"$row"
    local fit=${c[0]}
    video picture.png "$fit.ZRP" --fit="$fit" --quality=0 --workdir="$fit" --keep >/dev/null ||
      { check "$fit: brenvik-video succeeds" false; continue; }
    local bmp=$fit/frame00000.bmp
    check "$fit: one frame" equal "$(frame_count_of "$fit.ZRP")" 1
    check "$fit: container structure" sound_structure "$fit.ZRP"
    check "$fit: left edge" near "$(pixel "$bmp" 5 $((window_top + 5)))" "${colour[${c[1]}]}"
    check "$fit: top middle" near "$(pixel "$bmp" 160 $((window_top + 5)))" "${colour[${c[2]}]}"
    check "$fit: middle" near "$(pixel "$bmp" 160 $((window_top + 100)))" "${colour[${c[3]}]}"
    check "$fit: rows above the window are black" equal "$(lit_bytes_in_rows "$bmp" 0 20)" 0
    check "$fit: rows below the window are black" equal "$(lit_bytes_in_rows "$bmp" 179 199)" 0
    check "$fit: window's last row is lit" near "$(pixel "$bmp" 160 $window_bottom)" "${colour[red]}"
    check "$fit: no sound file for a picture" test ! -e "$fit/sound.wav"
  done
}

case_sequence() {
  # Four pictures at 10 a second, named by a relative pattern: 0.4 s, 10 frames
  # at 25 a second, each showing the picture of its time.
  mkdir shots
  local levels=(30 90 150 210) i
  for i in 0 1 2 3; do
    must "make picture $i" ff -f lavfi -i "color=0x0000$(printf '%02x' "${levels[i]}"):s=160x100:d=1" \
      -frames:v 1 "shots/img$i.png"
  done
  local summary
  summary=$(video 'shots/img%d.png' seq.ZRP --input-rate=10 --quality=0 --workdir=work --keep) ||
    must "brenvik-video succeeds" false
  check "frame count" equal "$(frame_count_of seq.ZRP)" 10
  for ((i = 0; i < 10; ++i)); do
    local bmp
    bmp=$(printf 'work/frame%05d.bmp' "$i")
    check "frame $i shows picture $((i * 10 / 25))" near "$(pixel "$bmp" 160 100)" \
      "${levels[i * 10 / 25]} 0 0"
  done
}

case_silent() {
  must "make the clip" make_clip clip.mkv 0.6 silent
  local summary
  summary=$(video clip.mkv silent.ZRP --diffused --jobs=1 --threads=2 --quality=0 --ed=2 \
    --distance=phased --workdir=work --keep) ||
    must "brenvik-video succeeds" false
  check "frame count" equal "$(field frames "$summary")" 15
  check "container frame count" equal "$(frame_count_of silent.ZRP)" 15
  check "container structure" sound_structure silent.ZRP
  check "no sound file made" test ! -e work/sound.wav
  check "silent pre-roll" all_0x80 < <(pre_roll_of silent.ZRP)
  local i
  for ((i = 0; i < 15; ++i)); do
    local name
    name=$(printf 'frame%05d' "$i")
    check "frame $i silent" all_0x80 < <(sound_chunk_of silent.ZRP "$i")
    window_of "work/F$name.bVK" expected.bVK
    frame_of silent.ZRP "$i" got.bVK
    check "frame $i is the error-diffused twin" cmp -s got.bVK expected.bVK
    window_of "work/$name.bVK" plain.bVK
    check "frame $i: the twins differ (the check can tell them apart)" differ plain.bVK expected.bVK
  done
  # The diffusion option and the distance reach the encoder: its own run with
  # --ed=2 --distance=phased gives the same twin (the default, plain, another).
  mkdir own && cp work/frame00004.bmp own/ &&
    (cd own && "$BIN/brenvik" -0 --mode=2 --ed=2 --distance=phased frame00004.bmp >/dev/null)
  check "--ed and --distance=phased reach the encoder" \
    cmp -s own/Fframe00004.bVK work/Fframe00004.bVK
  mkdir plain && cp work/frame00004.bmp plain/ &&
    (cd plain && "$BIN/brenvik" -0 --mode=2 --ed=2 --distance=plain frame00004.bmp >/dev/null)
  check "--distance=phased differs from the plain default" \
    differ plain/Fframe00004.bVK work/Fframe00004.bVK
}

case_resume() {
  must "make the clip" make_clip clip.mkv 1
  local summary
  summary=$(video clip.mkv first.ZRP --quality=0 --workdir=work --keep) ||
    must "first run succeeds" false
  check "first run encodes all" equal "$(field encoded "$summary")" 25
  # A run stopped early: one picture file missing, one cut short.
  rm work/frame00003.bVK
  truncate -s 100 work/frame00007.bVK
  cp work/frame00012.bVK kept.bVK
  touch -d '2000-01-01' work/frame00012.bVK
  summary=$(video clip.mkv second.ZRP --quality=0 --workdir=work --resume --keep) ||
    must "resumed run succeeds" false
  check "only the two broken frames encoded again" equal "$(field encoded "$summary")" 2
  check "complete frames are left alone" equal "$(stat -c %Y work/frame00012.bVK)" \
    "$(date -d '2000-01-01' +%s)"
  check "resumed container equals the first" cmp -s first.ZRP second.ZRP
  # Frames made with other encoder settings are not mixed in.
  video clip.mkv third.ZRP --quality=1 --workdir=work --resume 2>err.txt >/dev/null
  check "other settings: refused" equal "$?" 1
  check "other settings: said so" grep -q "other settings" err.txt
  check "other settings: no container" test ! -e third.ZRP
  # A full run without --keep removes its work files, and the folder once empty.
  video clip.mkv fourth.ZRP --quality=0 --workdir=work --resume >/dev/null ||
    check "last run succeeds" false
  check "work folder removed" test ! -e work
  check "and the result is the same" cmp -s first.ZRP fourth.ZRP
  # Without --workdir the temporary folder goes too.
  video clip.mkv fifth.ZRP --quality=0 --duration=0.2 >/dev/null || check "short run succeeds" false
  check "no temporary left" no_temporaries_left
}

case_stop() {
  must "make the clip" make_clip clip.mkv 2
  "$BIN/brenvik-video" clip.mkv stopped.ZRP --quality=0 --workdir=work >/dev/null 2>err.txt &
  local pid=$! waited
  # Stopped as soon as the first picture file is there.
  for ((waited = 0; waited < 1200; ++waited)); do
    compgen -G 'work/frame*.bVK' >/dev/null && break
    sleep 0.05
  done
  kill -TERM "$pid"
  wait "$pid"
  check "stopped: exit status of TERM" equal "$?" 143
  check "stopped: no container" test ! -e stopped.ZRP
  check "stopped: says how to go on" grep -q -- "--resume --workdir=" err.txt
  local done_then
  done_then=$(find work -name 'frame*.bVK' | wc -l)
  check "stopped before the end" test "$done_then" -lt 50
  sleep 2
  check "stopped: no encoder left running" equal "$(find work -name 'frame*.bVK' | wc -l)" "$done_then"
  local summary
  summary=$(video clip.mkv resumed.ZRP --quality=0 --workdir=work --resume) ||
    must "resumed run succeeds" false
  check "resumed: the rest encoded" equal "$(field encoded "$summary")" $((50 - done_then))
  video clip.mkv whole.ZRP --quality=0 >/dev/null || must "whole run succeeds" false
  check "resumed container equals a whole run's" cmp -s resumed.ZRP whole.ZRP

  # Ctrl-C on a terminal: SIGINT to the whole process group. With job control
  # the run gets a group of its own and SIGINT is not ignored in it, as in a
  # terminal. The temporary folder goes.
  set -m
  "$BIN/brenvik-video" clip.mkv interrupted.ZRP --quality=0 >/dev/null 2>err.txt &
  pid=$!
  for ((waited = 0; waited < 1200; ++waited)); do
    compgen -G "$TMPDIR/brenvik-video.*/frame*.bVK" >/dev/null && break
    sleep 0.05
  done
  kill -INT -- -"$pid"
  wait "$pid"
  local status=$?
  set +m
  check "interrupted: exit status of INT" equal "$status" 130
  check "interrupted: no container" test ! -e interrupted.ZRP
  check "interrupted: no temporary left" no_temporaries_left
}

case_failures() {
  must "make the clip" make_clip clip.mkv 0.4
  video clip.mkv first.ZRP --quality=0 --workdir=work --keep >/dev/null ||
    must "first run succeeds" false
  # A frame the encoder cannot take: its BMP cut short, its picture file gone.
  truncate -s 1000 work/frame00002.bmp
  rm work/frame00002.bVK
  echo "an earlier container" >film.ZRP
  video clip.mkv film.ZRP --quality=0 --workdir=work --resume >out.txt 2>err.txt
  check "failed frame: exit 1" equal "$?" 1
  check "failed frame: named with the reader's message" \
    grep -q "frame frame00002.bmp could not be encoded: frame00002.bmp: BMP pixel data is truncated" err.txt
  check "failed frame: says how to go on" grep -q -- "--resume --workdir=$PWD/work" err.txt
  check "failed frame: earlier container untouched" equal "$(<film.ZRP)" "an earlier container"
  check "failed frame: no summary" test ! -s out.txt
  check "failed frame: no temporary left" no_temporaries_left

  # Through GNU parallel (":" is this machine): an encoder that refuses the
  # third frame, the real one for the others.
  mkdir bin
  cat >bin/brenvik <<EOF2
#!/usr/bin/env bash
for last; do :; done
if [[ \$last == frame00002.bmp ]]; then
  echo "\$last: picture refused for the test" >&2
  exit 1
fi
exec '$BIN/brenvik' "\$@"
EOF2
  chmod +x bin/brenvik
  video clip.mkv film.ZRP --quality=0 --sshlogin=: --remote-encoder="$PWD/bin/brenvik" >out.txt 2>err.txt
  check "failed remote frame: exit 1" equal "$?" 1
  check "failed remote frame: named with the encoder's message" \
    grep -q "frame frame00002.bmp could not be encoded: frame00002.bmp: picture refused for the test" err.txt
  check "failed remote frame: earlier container untouched" equal "$(<film.ZRP)" "an earlier container"
  check "failed remote frame: no summary" test ! -s out.txt
  check "failed remote frame: no temporary left" no_temporaries_left

  # table: what is wrong | arguments | words the message must hold
  local table=(
    "missing input|missing.mkv out.ZRP|missing.mkv"
    "no frame in the part taken|clip.mkv out.ZRP --start=30|no frame"
    "unknown fit|clip.mkv out.ZRP --fit=zoom|invalid fit 'zoom'"
    "quality out of range|clip.mkv out.ZRP --quality=12|invalid quality '12'"
    "no jobs|clip.mkv out.ZRP --jobs=0|invalid jobs '0'"
    "unknown distance|clip.mkv out.ZRP --distance=flat|invalid distance 'flat'"
    "threads out of range|clip.mkv out.ZRP --threads=5000|invalid threads '5000'"
    "resume without a work folder|clip.mkv out.ZRP --resume|needs the earlier run's --workdir"
    "container in a missing folder|clip.mkv nowhere/out.ZRP|nowhere/out.ZRP"
    "no output named|clip.mkv|INPUT and OUTPUT.ZRP"
  )
  local row
  for row in "${table[@]}"; do
    IFS='|' read -r what arguments words <<<"$row"
    # shellcheck disable=SC2086  # the arguments are words on purpose
    video $arguments >/dev/null 2>err.txt
    check "$what: exit 1" equal "$?" 1
    check "$what: message" grep -qF -- "$words" err.txt
    check "$what: no container" test ! -e out.ZRP
  done
  check "no temporary left" no_temporaries_left
}

case_golden() {
  # The containers' bytes, pinned: made from a clip of ffmpeg's generated
  # sources (Debian 12's ffmpeg), they are the bytes the bash brenvik-video
  # wrote for the same clip and options before the program became C++, with
  # the plain distance (the default) and the phased one; the threads of each
  # encoding change nothing.
  must "make the clip" make_clip clip.mkv 1
  # options | SHA-256 of the container
  local table=(
    "--quality=0|2039cce939c6e041d9fb7f07537d99c6f18dac196e42d7895598e327905f34ee"
    "--quality=0 --threads=1 --jobs=1|2039cce939c6e041d9fb7f07537d99c6f18dac196e42d7895598e327905f34ee"
    "--fit=crop --diffused --quality=1 --ed=2 --seed=7 --start=0.2 --duration=0.4|b3748199c485ac7ae369d07b916f0511e13fd9159913ac416edc094acf5887c4"
    "--fit=stretch --dither=2 --shiftpixels=3 --blockoflines=8 --duration=0.2|b75279d9e323f0532ab6ce6cd320c5183169db0cb49599de82f4c7873b2454fc"
    "--quality=0 --distance=phased|53630035e1b9355b6ba8cc2cf4f89aacf3e5b6fa5a2af08749294702b3788399"
    "--fit=crop --diffused --quality=1 --ed=2 --seed=7 --start=0.2 --duration=0.4 --distance=phased|8adc345f984ecd2ab40a4cce0cc24e0a196d20c4368fbe3d367b97df94fc01ca"
    "--fit=stretch --dither=2 --shiftpixels=3 --blockoflines=8 --duration=0.2 --distance=phased|0709b19e2a0bc3426528f34e2e2c8a828f06c9184dab8a6060671291e2137e8a"
  )
  local row options hash
  for row in "${table[@]}"; do
    IFS='|' read -r options hash <<<"$row"
    # shellcheck disable=SC2086  # the options are words on purpose
    video clip.mkv golden.ZRP $options >/dev/null 2>err.txt ||
      { check "$options: brenvik-video succeeds ($(<err.txt))" false; continue; }
    check "$options: the pinned bytes" equal "$(sha256sum golden.ZRP | cut -d' ' -f1)" "$hash"
  done
}

"case_$CASE"
finish_case
