#!/bin/sh
# without_glx.sh PREFIX COMMAND... -- runs a command on a private Xvfb of the current display's size
# that offers no GLX, where Wine can make no GL context, with a Wine session of its own there: a
# copy of the Wine prefix PREFIX (hard links, so it costs no space). Ends with the command's code.
prefix=$1
shift
size=$(xdpyinfo 2>/dev/null | sed -n 's/^ *dimensions: *\([0-9]*x[0-9]*\) .*/\1/p' | head -n 1)
work=$(mktemp -d)
Xvfb -displayfd 1 -screen 0 "${size:-1024x768}x24" -extension GLX -noreset -nolisten tcp \
    >"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
display=$(head -n 1 "$work/display")
code=1
if [ -z "$display" ]; then
    echo "without_glx.sh: Xvfb did not start" >&2
elif cp -al "$prefix" "$work/prefix"; then
    DISPLAY=":$display" WINEPREFIX="$work/prefix" "$@"
    code=$?
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
    WINEPREFIX="$work/prefix" wineserver -w 2>/dev/null
fi
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$work"
exit "$code"
