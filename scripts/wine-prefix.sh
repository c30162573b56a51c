# Sourced by the scripts that run the Windows tool under Wine. Wine runs in $WINEPREFIX when it is
# set (made ready with wineboot), else in a prefix of its own that wine_prefix_remove takes away,
# so no run leaves a prefix behind or touches the user's own.
own_wine_prefix=""

wine_prefix_ready() {
  export WINEDEBUG=-all
  if [ -z "${WINEPREFIX:-}" ]; then
    own_wine_prefix="$(mktemp -d)"
    export WINEPREFIX="$own_wine_prefix"
    env -u DISPLAY /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  fi
}

wine_prefix_remove() {
  if [ -n "$own_wine_prefix" ]; then
    WINEPREFIX="$own_wine_prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$own_wine_prefix"
    own_wine_prefix=""
  fi
}

wine() { env -u DISPLAY /usr/lib/wine/wine64 "$@"; }
