#!/usr/bin/env bash
# Saves a picture of the Windows zorpamux window right after start, as Wine
# draws it on a virtual display (Xvfb) inside a Wine desktop of its own:
#   tools/zorpamux-windows-shot.sh OUT.png [ZORPAMUX.exe]
# (default build-windows/bin/zorpamux.exe). Needs xvfb-run, ImageMagick.
set -euo pipefail
out=$(realpath -m "$1")
cd "$(dirname "$0")/.."
program=$(realpath "${2:-build-windows/bin/zorpamux.exe}")
# shellcheck source=tools/wine-prefix.sh
. tools/wine-prefix.sh
# Wine's own fonts (Debian package fonts-wine) in the prefix: Marlett for
# the caption's buttons, its MS Sans Serif for the dialog.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
shot=$PWD/build-windows/window-shot
rm -rf "$shot"
mkdir -p "$shot"
cat > "$shot/take.sh" <<'INNER'
set -u
(cd "$1" && wine explorer /desktop=zorpamux,640x400 "$2" >/dev/null 2>&1 &)
# Wait for the window: the screen is no longer one colour.
for _ in $(seq 1 60); do
    sleep 1
    import -window root "$1/screen.png" 2>/dev/null || continue
    [ "$(convert "$1/screen.png" -format '%k' info:)" -gt 4 ] && break
done
sleep 2
import -window root "$1/screen.png"
INNER
xvfb-run -a -s "-screen 0 640x400x24" bash "$shot/take.sh" "$shot" "$program"
# Only the window: the desktop's colour around it trimmed away.
convert "$shot/screen.png" -trim +repage "$out"
echo "$out: $(identify -format '%wx%h' "$out")"
