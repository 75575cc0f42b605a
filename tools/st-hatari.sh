# Shared by tools/st-check.sh and tools/st-measure-colours.sh (sourced):
# runs a ROM image in Hatari headless and takes frames out of its recording.

# st_run_rom ROM.img VBLS OUT.avi [BORDERS]: an STE with 1 MiB, the ROM as
# its TOS, the low-resolution screen recorded as PNG frames (each pixel
# doubled): without borders 640 x 400, with BORDERS=true 832 x 552 (Hatari's
# widest: 48 pixels left and right of the ordinary picture, 29 lines above
# it, 47 below). SDL's dummy drivers: no display, no sound.
st_run_rom() {
    local rom=$1 vbls=$2 avi=$3 borders=${4:-false} home
    home=$(dirname "$avi")/hatari-home
    mkdir -p "$home"
    rm -f "$avi"
    HOME=$home SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
        hatari --tos "$rom" --machine ste --memsize 1 --patch-tos false --fast-boot false \
            --sound off --frameskips 0 --zoom 1 --borders "$borders" --statusbar false --drive-led false \
            --confirm-quit false --log-level error --alert-level fatal \
            --avirecord --avi-vcodec png --avi-file "$avi" --run-vbls "$vbls" \
            </dev/null >"$avi.log" 2>&1 || true
    if [ ! -s "$avi" ]; then
        echo "Hatari recorded nothing; its output:" >&2
        cat "$avi.log" >&2
        return 1
    fi
}

# st_frame OUT.avi INDEX OUT.ppm [CROP]: frame INDEX (from 0; negative from
# the end), cut to CROP (ffmpeg's crop filter, W:H:X:Y) when given.
st_frame() {
    local avi=$1 index=$2 out=$3 crop=${4:-} count
    if [ "$index" -lt 0 ]; then
        count=$(ffprobe -v error -count_frames -select_streams v:0 \
            -show_entries stream=nb_read_frames -of csv=p=0 "$avi")
        index=$((count + index))
    fi
    ffmpeg -v error -y -i "$avi" -vf "select=eq(n\,$index)${crop:+,crop=$crop}" -vframes 1 -c:v ppm -f image2 "$out"
}

# st_ppm IMAGE OUT.ppm: any picture ffmpeg reads (BMP, PNG) as a binary PPM.
st_ppm() {
    ffmpeg -v error -y -i "$1" -vframes 1 -pix_fmt rgb24 -c:v ppm -f image2 "$2"
}
