#!/usr/bin/env bash
# Unpacks the .deb into a throw-away root (dpkg-deb -x, no chroot) and checks
# it: each installed command has its man page, the dependencies name the
# libraries the programs link, and the installed programs run.
#   deb_install_test.sh PACKAGE.deb SAMPLE.bmp
set -euo pipefail
deb=$(realpath "$1")
sample=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$deb" "$root"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

commands=$(cd "$root/usr/bin" && ls)
[ -n "$commands" ] || fail "no commands in usr/bin"
echo "installed commands:" $commands
for command in $commands; do
    page=$root/usr/share/man/man1/$command.1.gz
    if [ ! -f "$page" ]; then
        fail "$command has no man page"
    elif ! zcat "$page" | grep -q "^\.TH \"\?${command^^}\"\? "; then
        fail "$command: man page without its .TH header"
    fi
    if ldd "$root/usr/bin/$command" 2>/dev/null | grep -q 'not found'; then
        fail "$command: libraries not found: $(ldd "$root/usr/bin/$command" | grep 'not found')"
    fi
done
for page in "$root"/usr/share/man/man1/*.1.gz; do
    name=$(basename "$page" .1.gz)
    [ -e "$root/usr/bin/$name" ] || fail "man page $name.1 for a command that is not installed"
done
[ -f "$root/usr/share/doc/brenvik-zorpamux/LICENSE" ] || fail "no LICENSE in the documents"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library"
done
if [ -e "$root/usr/bin/zorpamux" ]; then
    [[ "$depends" == *libqt6widgets6* ]] || fail "the window is installed but Depends lacks Qt 6 Widgets"
    grep -q '^Exec=zorpamux$' "$root/usr/share/applications/zorpamux.desktop" ||
        fail "the window has no desktop entry"
    compgen -G "$root/usr/share/icons/hicolor/*/apps/zorpamux.png" > /dev/null ||
        fail "the window's icon is not installed"
fi
if [ -e "$root/usr/bin/zorpa-preview" ] || [ -e "$root/usr/bin/brenvik-video" ]; then
    [[ "$depends" == *ffmpeg* ]] || fail "a command that runs ffmpeg is installed but Depends lacks it"
fi
if [ -e "$root/usr/bin/brenvik-video" ]; then
    [[ "$depends" == *parallel* ]] || fail "brenvik-video is installed but Depends lacks parallel"
    "$root/usr/bin/brenvik-video" --help > /dev/null || fail "installed brenvik-video --help failed"
fi
if [ -e "$root/usr/bin/brenvik-sweep" ]; then
    [[ "$depends" == *python3* ]] || fail "brenvik-sweep is installed but Depends lacks python3"
    [[ "$depends" == *imagemagick* ]] || fail "brenvik-sweep is installed but Depends lacks imagemagick"
    "$root/usr/bin/brenvik-sweep" --help > /dev/null || fail "installed brenvik-sweep --help failed"
fi

# The installed programs, once each.
mkdir -p "$work/run"
cp "$sample" "$work/run/ANIM00000.bmp"
if (cd "$work/run" && "$root/usr/bin/brenvik" -0 --mode=2 ANIM00000.bmp > brenvik.out); then
    [ "$(stat -c %s "$work/run/ANIM00000.bVK")" = 51200 ] || fail "brenvik: wrong picture size"
    grep -q '^bestdistancemoyenneall=' "$work/run/brenvik.out" || fail "brenvik: no summary line"
else
    fail "installed brenvik failed"
fi
if "$root/usr/bin/zorpamux-cli" -p "$work/run/ANIM00000.bVK" -L 0 -o "$work/run/film.ZRP"; then
    [ "$(stat -c %s "$work/run/film.ZRP")" = $((256 + 32512 + 42496)) ] ||
        fail "zorpamux-cli: wrong container size"
else
    fail "installed zorpamux-cli failed"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) in $deb" >&2
    exit 1
fi
echo "package $deb: installs and runs"
