# The Wine prefix of a Windows build tree, made once and reused: source this file, then call
# prepare_wine_prefix BUILD_WIN_DIR. Exports WINEPREFIX and friends.
prepare_wine_prefix() {
  export WINEPREFIX="$1/wineprefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/.folvex-fonts" ]; then
    [ -d "$WINEPREFIX" ] || { wineboot --init >/dev/null 2>&1; wineserver -w; }
    # Japanese glyphs for the interface font.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v "MS UI Gothic" /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1 || return 1
    wineserver -w
    touch "$WINEPREFIX/.folvex-fonts"
  fi
}
