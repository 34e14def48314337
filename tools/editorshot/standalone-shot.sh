#!/usr/bin/env bash
# Screenshots of the standalone application on a virtual X server, with a plucked 110 Hz note at
# its input: the main page with the valves glowing (standalone-main.png), the settings page after
# a click on its tab and a few settings changed by clicks (standalone-settings.png), and the main
# page again after a second click on the tab (standalone-back.png).
#   standalone-shot.sh STANDALONE OUT_DIR [SCALE]
# SCALE 2 sets GNOME's window scaling factor to 2 (a GSettings key file in the app's own HOME),
# which the framework reads through gsettings; the X server runs at the matching dpi too.
# ALSA capture reads the note from a FIFO that a small writer fills in real time (so the audio
# thread runs at the pace of a sound card); playback is discarded. The application runs with its
# own HOME, so its settings (input not muted) touch nothing else.
# Needs xvfb, xdotool, x11-utils, imagemagick and python3 (apt).
set -euo pipefail
app=$(realpath "$1")
out=$(realpath -m "$2")
scale=${3:-1}
mkdir -p "$out"
for tool in Xvfb xdotool xprop import python3; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install xvfb xdotool x11-utils imagemagick python3)" >&2; exit 1; }
done
suffix=""
[ "$scale" = 1 ] || suffix="-x$scale"

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=":$((60 + $$ % 300))"
Xvfb "$display" -screen 0 1400x1000x24 -dpi $((96 * scale)) -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
# There is no window manager: publish the work area one would, or the framework never looks at the
# display's scale.
xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "0, 0, 1400, 1000"

# The input: 16-bit stereo at 44.1 kHz through a FIFO; ALSA's plug converts to what the app asks.
mkfifo "$work/input.fifo"
cat >"$work/alsa.conf" <<EOF
</usr/share/alsa/alsa.conf>
pcm.torvik_input_file {
  type file
  slave.pcm "null"
  file "/dev/null"
  infile "$work/input.fifo"
  format "raw"
}
pcm.!default {
  type asym
  playback.pcm "null"
  capture.pcm { type plug slave { pcm "torvik_input_file" format S16_LE rate 44100 channels 2 } }
}
EOF
# The application opens and closes the input while it looks at its devices: the writer opens the
# FIFO again each time its reader goes away.
python3 - "$work/input.fifo" <<'EOF' &
import math, struct, sys, time
rate, block = 44100, 1024
start, n = time.time(), 0
while True:
    try:
        with open(sys.argv[1], 'wb', buffering=0) as out:
            while True:
                data = bytearray()
                for j in range(block):
                    t = (n + j) / rate
                    env = math.exp(-4.0 * (t % 0.5))
                    v = math.sin(2 * math.pi * 110 * t) + 0.5 * math.sin(2 * math.pi * 220 * t) + 0.25 * math.sin(2 * math.pi * 330 * t)
                    s = int(0.9 / 1.75 * 32767 * env * v)
                    data += struct.pack('<hh', s, s)
                out.write(data)
                n += block
                ahead = n / rate - (time.time() - start)
                if ahead > 0.05:
                    time.sleep(ahead - 0.05)
    except BrokenPipeError:
        pass
EOF
pids+=($!)

mkdir -p "$work/.config"
# The framework names the settings file after the product name, taking its last ".3" for an
# extension: "TORVIK Preamp v1.settings".
cat >"$work/.config/TORVIK Preamp v1.settings" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="shouldMuteInput" val="0"/>
</PROPERTIES>
EOF
mkdir -p "$work/.config/glib-2.0/settings"
printf '[org/gnome/desktop/interface]\nscaling-factor=uint32 %s\n' "$scale" >"$work/.config/glib-2.0/settings/keyfile"
HOME=$work GSETTINGS_BACKEND=keyfile ALSA_CONFIG_PATH=$work/alsa.conf "$app" >"$work/app.log" 2>&1 &
appPid=$!
pids+=($appPid)

window=$(timeout 180 xdotool search --sync --onlyvisible --name "TORVIK" 2>/dev/null | head -1)
[ -n "$window" ] || { echo "no window appeared"; cat "$work/app.log"; exit 1; }
sleep 5
eval "$(xdotool getwindowgeometry --shell "$window")"   # X, Y, WIDTH, HEIGHT
echo "window $window at $X,$Y, $WIDTH x $HEIGHT"
shot() {
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1$suffix.png"
  echo "wrote $out/$1$suffix.png"
}
shot standalone-main

# The editor fills the bottom of the window, centred; the settings tab is at (232, 12) in it.
editorX=$((X + (WIDTH - 460 * scale) / 2))
editorY=$((Y + HEIGHT - 368 * scale))
xdotool mousemove $((editorX + 232 * scale)) $((editorY + 12 * scale)) click 1
sleep 1
xdotool mousemove $((X + 5)) $((Y + HEIGHT - 5))   # out of the way of the tube-set outlines
sleep 1
# Settings at work: oversampling X2, a click at three quarters of the gain bar, stereo. (The quick
# model set has the fresh tubes only, and block 3 for 44.1 to 96 kHz.)
click() { xdotool mousemove $((editorX + $1 * scale)) $((editorY + $2 * scale)) click 1; sleep 1; }
click 243 301
click 283 143
click 438 15
xdotool mousemove $((X + 5)) $((Y + HEIGHT - 5))
sleep 1
shot standalone-settings
xdotool mousemove $((editorX + 232 * scale)) $((editorY + 12 * scale)) click 1
sleep 2
shot standalone-back

# Quit through the window's close button, as a user would, so that the application ends normally
# (and a sanitizer build reports what it found); its output follows.
xdotool mousemove $((X + WIDTH - 17 * scale)) $((Y + 14 * scale)) click 1
for _ in $(seq 100); do kill -0 "$appPid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$appPid" 2>/dev/null; then echo "the application did not quit by its close button"; else
  wait "$appPid" && echo "the application quit normally" || echo "the application quit with status $?"; fi
grep -v -e '^$' -e '^ERROR: X returned' "$work/app.log" | tail -60 || true
