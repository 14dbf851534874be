# Sourced: a fresh wine prefix for the Windows program, and a way to restart its server.
#   wine_prefix DIR    the prefix in DIR/prefix, booted, with a fixed-pitch font
#   wine_restart       a new wine session (after DISPLAY changes, or between runs)

# Wine's services keep the standard handles of whoever starts them: the server is started
# alone, on /dev/null, or a pipe around the caller never closes.
wine_server() { wineserver -p </dev/null >/dev/null 2>&1; }

wine_restart() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    wine_server
}

wine_prefix() {
    export WINEPREFIX=$1/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"  # the server will not start without its folder
    wine_server
    wineboot -i </dev/null >/dev/null 2>&1
    # Form1's text box wants a fixed-pitch font, and wine has none of its own.
    cp /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
}
