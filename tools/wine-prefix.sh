# Sourced by the scripts that run Windows programs under Wine: quiet Wine,
# no Mono or Gecko prompts, and a Wine prefix of its own (removed on exit)
# unless WINEPREFIX names one; console programs need no display.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/brenvik-wine-XXXXXX)
  export WINEPREFIX
  trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
fi
wineboot -i >/dev/null 2>&1 || true
