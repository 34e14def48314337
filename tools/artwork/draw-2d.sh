#!/usr/bin/env bash
# Draws the flat artwork with ImageMagick: the page overlay (main and settings frames), the
# mono/stereo switch, the three bar strips, the oversampling selector and the four tube-set
# outlines.
#   draw-2d.sh OUT_DIR WORK_DIR
set -euo pipefail
out=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out" "$work"

fonts=/usr/share/fonts/truetype/dejavu
sans=$fonts/DejaVuSans.ttf
sansBold=$fonts/DejaVuSans-Bold.ttf
condensed=$fonts/DejaVuSansCondensed.ttf
for f in "$sans" "$sansBold" "$condensed"; do
  [ -r "$f" ] || { echo "missing font $f (Debian package fonts-dejavu-core)" >&2; exit 1; }
done

# Output formats: straight 8-bit RGBA, optionally interlaced; the page overlay in 16-bit RGBA.
rgba() { convert "$1" -strip -define png:exclude-chunks=date,time PNG32:"$2"; }
rgbaInterlaced() { convert "$1" -strip -interlace PNG -define png:exclude-chunks=date,time PNG32:"$2"; }
rgba16Interlaced() { convert "$1" -strip -depth 16 -interlace PNG -define png:exclude-chunks=date,time PNG64:"$2"; }

# icon NAME SIZE OPACITY OUT: one of the 32x32 line icons in icons/, drawn large and scaled down.
icon() {
  local name=$1 size=$2 opacity=$3 dest=$4
  convert -size 256x256 xc:none -draw "scale 8,8 $(grep -v '^#' "$here/icons/$name.mvg" | tr '\n' ' ')" \
    -filter Lanczos -resize "${size}x${size}" -channel A -evaluate multiply "$opacity" +channel "$dest"
}

step() { printf '  %s\n' "$1"; }
# signed N: N with its sign, as ImageMagick's geometry offsets want it
signed() { if [ "$1" -ge 0 ]; then echo "+$1"; else echo "$1"; fi; }

# --- page overlay ---------------------------------------------------------------------------------
step "page overlay"
# The settings tab hanging from the top edge, its shadow, and the word on it.
convert -size 460x368 xc:none \
  \( -size 460x368 xc:none -fill 'rgba(0,0,0,0.55)' -draw "roundrectangle 183,-8 279,23 7,7" -blur 0x2.5 -geometry +1+2 \) \
  -compose over -composite \
  -fill 'rgba(18,18,20,0.92)' -draw "roundrectangle 183,-8 279,22 7,7" \
  -fill 'rgba(255,255,255,0.10)' -draw "line 189,21.5 273,21.5" \
  -font "$sans" -pointsize 11 -fill '#c8c8c8' -gravity North -annotate +0+4 'Settings' \
  "$work/tab.png"
# Brand and credits, bottom right.
convert -size 460x368 xc:none -gravity SouthEast \
  -font "$sansBold" -pointsize 10 -fill 'rgba(215,215,215,0.80)' -annotate +8+16 'TORVIK  Preamp  1.3' \
  -font "$condensed" -pointsize 8.5 -fill 'rgba(190,190,190,0.60)' -annotate +8+5 'open-source valve preamp' \
  "$work/brand.png"
convert "$work/tab.png" "$work/brand.png" -compose over -composite "$work/page-main.png"

# Settings frame: veil, tube-set icons and labels, bar tracks and row icons, oversampling caption.
rows=(jack valve violin microphone headstock speaker)
settings=("$work/veil.png")
convert -size 460x368 xc:'rgba(101,99,99,0.20)' "$work/veil.png"
icon valve 22 0.55 "$work/tubeset-icon.png"
draw=()
for row in 0 1 2 3 4 5; do
  centre=$((113 + 30 * row))
  icon "${rows[$row]}" 17 0.35 "$work/row-$row-small.png"
  icon "${rows[$row]}" 28 0.75 "$work/row-$row-large.png"
  # a faint track showing the bar's full length
  draw+=(-fill 'rgba(255,255,255,0.045)' -draw "rectangle 127,$((centre - 5)) 334,$((centre + 5))")
  draw+=(-fill 'rgba(255,255,255,0.10)' -draw "line 127,$((centre + 6)) 334,$((centre + 6))")
done
convert "$work/veil.png" "${draw[@]}" \
  "$work/tubeset-icon.png" -geometry +184+26 -composite \
  "$work/tubeset-icon.png" -geometry +261+26 -composite \
  -font "$sans" -pointsize 10 -fill '#d2d2d2' \
  -gravity NorthWest -annotate +169+52 '12ax7 EH' -annotate +246+52 '12ax7 RSD' \
  -font "$sans" -pointsize 10.5 -fill '#cfcfcf' -annotate +113+294 'Oversampling' \
  "$work/settings-base.png"
args=("$work/settings-base.png")
for row in 0 1 2 3 4 5; do
  centre=$((113 + 30 * row))
  args+=("$work/row-$row-small.png" -geometry "+101+$((centre - 8))" -composite)
  args+=("$work/row-$row-large.png" -geometry "+342+$((centre - 14))" -composite)
done
convert "${args[@]}" "$work/tab.png" -composite "$work/brand.png" -composite "$work/page-settings.png"
convert "$work/page-main.png" "$work/page-settings.png" -append "$work/page.png"
rgba16Interlaced "$work/page.png" "$out/page.png"

# --- mono/stereo switch ---------------------------------------------------------------------------
step "mono/stereo switch"
speaker="fill white stroke none polygon 4,8.5 8,8.5 13,4 13,18 8,13.5 4,13.5"
arcs1="fill none stroke white stroke-width 1.4 path 'M 16,8 A 4,4 0 0 1 16,14' path 'M 18.5,5.5 A 7,7 0 0 1 18.5,16.5'"
arcs2="fill none stroke white stroke-width 1.4 path 'M 23,8 A 4,4 0 0 1 23,14' path 'M 25.5,5.5 A 7,7 0 0 1 25.5,16.5'"
convert -size 37x22 xc:none -draw "$speaker" -draw "$arcs1" -channel A -evaluate multiply 0.25 +channel "$work/switch-mono.png"
convert -size 37x22 xc:none -draw "$speaker" -draw "$arcs1" -draw "translate 6,0 $arcs1" \
  -channel A -evaluate multiply 0.25 +channel "$work/switch-stereo.png"
convert "$work/switch-mono.png" "$work/switch-stereo.png" -append "$work/switch.png"
rgbaInterlaced "$work/switch.png" "$out/switch.png"

# --- bars -----------------------------------------------------------------------------------------
# bars FRAMES OUT: frame 0 empty, frame k a flat bar over rows 6..16, 4 + 204 k / (FRAMES - 1) wide.
bars() {
  local frames=$1 dest=$2 list=()
  for ((k = 0; k < frames; ++k)); do
    local f="$work/bar-$frames-$k.png"
    if [ "$k" -eq 0 ]; then
      convert -size 208x23 xc:none "$f"
    else
      local right=$(( (4 * (frames - 1) + 204 * k) / (frames - 1) - 1 ))
      convert -size 208x23 xc:none -fill 'rgba(253,253,253,0.10)' -draw "rectangle 0,6 $right,16" "$f"
    fi
    list+=("$f")
  done
  convert "${list[@]}" -append "$work/bars-$frames.png"
  rgba "$work/bars-$frames.png" "$dest"
}
step "bars"
bars 17 "$out/gain_bar.png"
bars 15 "$out/tone_bar.png"
bars 50 "$out/level_bar.png"

# --- oversampling selector ------------------------------------------------------------------------
step "oversampling selector"
captions=(Off X2 X4 X8 X16)
text=()
for k in 0 1 2 3 4; do
  centre=$(( (152 * (2 * k + 1)) / 10 ))
  text+=("$centre:${captions[$k]}")
done
list=()
for sel in 0 1 2 3 4; do
  centre=$(( (152 * (2 * sel + 1)) / 10 ))
  cmd=(-size 152x29 xc:none -fill 'rgba(255,255,255,0.13)' -draw "roundrectangle $((centre - 14)),0 $((centre + 13)),27 3,3")
  for t in "${text[@]}"; do
    c=${t%%:*}
    word=${t#*:}
    # a dark shadow one pixel down and right, then the grey caption, both centred on c
    cmd+=(-font "$sans" -pointsize 11 -gravity North
          -fill 'rgba(0,0,0,0.75)' -annotate "$(signed $((c - 76 + 1)))+8" "$word"
          -fill '#b4b4b4' -annotate "$(signed $((c - 76)))+7" "$word")
  done
  convert "${cmd[@]}" "$work/os-$sel.png"
  list+=("$work/os-$sel.png")
done
convert "${list[@]}" -append "$work/oversampling.png"
rgbaInterlaced "$work/oversampling.png" "$out/oversampling.png"

# --- tube-set outlines ----------------------------------------------------------------------------
step "tube-set outlines"
# outline WIDTH GREY OUT: a dotted rounded rectangle, one pixel wide, along the image border.
outline() {
  local w=$1 grey=$2 dest=$3
  convert -size "${w}x21" xc:none +antialias -fill none -stroke "rgb($grey,$grey,$grey)" -strokewidth 1 \
    -draw "stroke-dasharray 1 1 roundrectangle 0,0 $((w - 1)),20 4,4" "$work/outline.png"
  rgbaInterlaced "$work/outline.png" "$dest"
}
outline 74 137 "$out/outline_light_0.png"
outline 74 85 "$out/outline_dark_0.png"
outline 76 137 "$out/outline_light_1.png"
outline 76 85 "$out/outline_dark_1.png"
