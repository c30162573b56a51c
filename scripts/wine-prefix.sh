# Sourced by the scripts that run the Windows tool under Wine. Wine runs in $WINEPREFIX when it is
# set (made ready with wineboot), else in a prefix of its own that wine_prefix_remove takes away,
# so no run leaves a prefix behind or touches the user's own.
own_wine_prefix=""

# Debian puts no wine wrapper on the path; the 64-bit loader runs the programs, never on a display.
wine64=/usr/lib/wine/wine64
wine() { env -u DISPLAY "$wine64" "$@"; }

# A file's path as Windows programs under this prefix spell it.
windows_path() { wine winepath -w "$1" | tr -d '\r'; }

wine_prefix_ready() {
  export WINEDEBUG=-all
  if [ -z "${WINEPREFIX:-}" ]; then
    own_wine_prefix="$(mktemp -d)"
    export WINEPREFIX="$own_wine_prefix"
    wine wineboot --init >/dev/null 2>&1
  fi
}

wine_prefix_remove() {
  if [ -n "$own_wine_prefix" ]; then
    WINEPREFIX="$own_wine_prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$own_wine_prefix"
    own_wine_prefix=""
  fi
}
