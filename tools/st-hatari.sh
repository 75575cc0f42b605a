# Shared by tools/st-check.sh and tools/st-measure-colours.sh (sourced):
# runs a ROM image in Hatari headless and takes frames out of its recording.

# st_run_rom ROM.img VBLS OUT.avi: an STE with 1 MiB, the ROM as its TOS,
# the low-resolution screen without borders recorded as PNG frames (each
# pixel doubled, 640 x 400). SDL's dummy drivers: no display, no sound.
st_run_rom() {
    local rom=$1 vbls=$2 avi=$3 home
    home=$(dirname "$avi")/hatari-home
    mkdir -p "$home"
    rm -f "$avi"
    HOME=$home SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
        hatari --tos "$rom" --machine ste --memsize 1 --patch-tos false --fast-boot false \
            --sound off --frameskips 0 --zoom 1 --borders false --statusbar false --drive-led false \
            --confirm-quit false --log-level error --alert-level fatal \
            --avirecord --avi-vcodec png --avi-file "$avi" --run-vbls "$vbls" \
            </dev/null >"$avi.log" 2>&1 || true
    if [ ! -s "$avi" ]; then
        echo "Hatari recorded nothing; its output:" >&2
        cat "$avi.log" >&2
        return 1
    fi
}

# st_frame OUT.avi INDEX OUT.ppm: frame INDEX (from 0; negative from the end).
st_frame() {
    local avi=$1 index=$2 out=$3 count
    if [ "$index" -lt 0 ]; then
        count=$(ffprobe -v error -count_frames -select_streams v:0 \
            -show_entries stream=nb_read_frames -of csv=p=0 "$avi")
        index=$((count + index))
    fi
    ffmpeg -v error -y -i "$avi" -vf "select=eq(n\,$index)" -vframes 1 -c:v ppm -f image2 "$out"
}

# st_ppm IMAGE OUT.ppm: any picture ffmpeg reads (BMP, PNG) as a binary PPM.
st_ppm() {
    ffmpeg -v error -y -i "$1" -vframes 1 -pix_fmt rgb24 -c:v ppm -f image2 "$2"
}
