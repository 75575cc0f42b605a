# shellcheck shell=bash
# Shared by the brenvik-video tests: sourced by video_test.sh and ssh_test.sh.
# Expects BIN (the folder holding brenvik, zorpamux-cli and brenvik-video) and
# SCRATCH (a fresh folder removed by the caller).

# shellcheck disable=SC2034  # used by the scripts that source this file
readonly window_top=21 # first bitmap row the container carries
# shellcheck disable=SC2034
readonly window_bottom=178 # last bitmap row the container carries
# Container layout, for the raw look at silence.
readonly record_size=42496
readonly first_record=32768 # header and pre-roll
readonly sound_in_record=40448

failures=0

check() { # check DESCRIPTION COMMAND...: a failed check is reported, the case goes on
  local what=$1
  shift
  if ! "$@"; then
    printf 'FAILED: %s\n' "$what" >&2
    failures=$((failures + 1))
  fi
}

must() { # must DESCRIPTION COMMAND...: a failed step ends the case
  local what=$1
  shift
  if ! "$@"; then
    printf 'FAILED (cannot go on): %s\n' "$what" >&2
    exit 1
  fi
}

finish_case() {
  if ((failures > 0)); then
    printf '%d check(s) failed\n' "$failures" >&2
    exit 1
  fi
  printf 'all checks passed\n'
}

equal() { [[ $1 == "$2" ]] || { printf '  expected "%s", got "%s"\n' "$2" "$1" >&2; return 1; }; }

# The value of key=VALUE in a summary line.
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }

# ffmpeg, quiet and without standard input.
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# A clip of SECONDS: a bar that moves with the frame, a green level that
# counts frames (level = 9 x frame number mod 256, the same over the whole
# picture), stored losslessly; with a 440 Hz tone unless "silent" is given.
make_clip() {
  local name=$1 seconds=$2 sound=${3:-tone}
  local video="color=black:s=400x300:r=25:d=$seconds,format=gbrp"
  video+=",geq=r='if(lt(abs(X-mod(N*12\\,400))\\,30)\\,255\\,40)':g='mod(N*9\\,256)':b='Y*255/300'"
  if [[ $sound == silent ]]; then
    ff -f lavfi -i "$video" -c:v ffv1 "$name"
  else
    ff -f lavfi -i "$video" -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" \
      -c:v ffv1 -c:a pcm_s16le -shortest "$name"
  fi
}

# Colour "B G R" of pixel X,Y (Y from 0 at the top) of a 24-bit bottom-up BMP.
pixel() {
  local file=$1 x=$2 y=$3 data width height
  data=$(od -An -t u4 -j 10 -N 4 "$file" | tr -d ' ')
  width=$(od -An -t u4 -j 18 -N 4 "$file" | tr -d ' ')
  height=$(od -An -t u4 -j 22 -N 4 "$file" | tr -d ' ')
  local row_size=$(((width * 3 + 3) / 4 * 4))
  od -An -t u1 -j $((data + (height - 1 - y) * row_size + x * 3)) -N 3 "$file" | xargs
}

# Count of non-zero bytes in rows FIRST..LAST of a 320-wide 24-bit BMP.
lit_bytes_in_rows() {
  local file=$1 first=$2 last=$3 data
  data=$(od -An -t u4 -j 10 -N 4 "$file" | tr -d ' ')
  # Bottom-up: row y starts at data + (199 - y) * 960.
  tail -c +$((data + (199 - last) * 960 + 1)) "$file" | head -c $(((last - first + 1) * 960)) |
    tr -d '\000' | wc -c
}

# Is colour $1 ("B G R") within 8 of colour $2 in every channel?
near() {
  local -a got want
  read -r -a got <<<"$1"
  read -r -a want <<<"$2"
  local i
  for i in 0 1 2; do
    local d=$((got[i] - want[i]))
    ((d >= -8 && d <= 8)) || { printf '  pixel %s is not near %s\n' "$1" "$2" >&2; return 1; }
  done
}

# copy_bytes FROM OFFSET TO OFFSET COUNT, in place in TO.
copy_bytes() {
  dd if="$1" of="$3" bs=65536 skip="$2" seek="$4" count="$5" iflag=skip_bytes,count_bytes \
    oflag=seek_bytes conv=notrunc status=none
}

# The picture file a container frame must match: FILE's container window
# (bitmap bytes 3360..28639, palette bytes 34016..49183) at its place, zeros elsewhere.
window_of() {
  local file=$1 result=$2
  head -c 51200 /dev/zero >"$result"
  copy_bytes "$file" 3360 "$result" 3360 25280
  copy_bytes "$file" 34016 "$result" 34016 15168
}

# Frame I of CONTAINER as a 51200-byte picture file, through the container reader.
frame_of() { "$BIN/zorpamux-cli" extract-frame "$1" "$2" -o "$3" >/dev/null; }

# The frame count, through the container reader ("frames=N bytes=SIZE" first).
frame_count_of() {
  local listing
  listing=$("$BIN/zorpamux-cli" list "$1") || return 1
  field frames "$(head -n 1 <<<"$listing")"
}

# The reader finds the container's structure sound.
sound_structure() { "$BIN/zorpamux-cli" check "$1" >/dev/null; }

# The sound chunk of frame I and the first 8192 pre-roll bytes, raw from the container.
sound_chunk_of() {
  tail -c +$((first_record + $2 * record_size + sound_in_record + 1)) "$1" | head -c 2048
}
pre_roll_of() { tail -c +257 "$1" | head -c 8192; }

# Is every byte of standard input equal to 0x80?
all_0x80() { [[ $(tr -d '\200' | wc -c) -eq 0 ]]; }
