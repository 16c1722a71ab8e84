#!/usr/bin/env bash
# Draws Tavolin's own pictures with ImageMagick: the window icon (128), the notification icon
# (140), the banner (129), the 26-frame title-bar animation strip (132, white is transparent)
# and the launcher icon in the hicolor sizes. The results are committed; run this again only
# to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
art=src/app/art
icons=data/icons/hicolor
mkdir -p "$art"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

blue='rgb(58,110,165)'
dark='rgb(30,62,100)'
gold='rgb(255,215,0)'
red='rgb(200,30,30)'

# A calendar sheet on a transparent square of side 256: a page with a blue head, two rings, a
# grid of days and today's day in gold.
sheet() {
    local out="$1"
    local grid=""
    for row in 0 1 2 3; do
        for col in 0 1 2 3 4 5 6; do
            local x=$((40 + col * 26)) y=$((118 + row * 28))
            local colour='rgb(90,90,100)'
            [ "$col" -eq 6 ] && colour="$red"
            if [ "$row" -eq 2 ] && [ "$col" -eq 3 ]; then
                grid+=" fill $gold stroke $dark stroke-width 2 roundrectangle $((x - 4)),$((y - 4)),$((x + 20)),$((y + 20)),5,5 stroke none"
            else
                grid+=" fill $colour rectangle $x,$y,$((x + 15)),$((y + 15))"
            fi
        done
    done
    convert -size 256x256 xc:none \
        -fill 'rgba(0,0,0,0.25)' -draw "roundrectangle 22,30,242,246,24,24" \
        -fill 'rgb(250,250,248)' -stroke "$dark" -strokewidth 6 \
        -draw "roundrectangle 14,22,234,238,22,22" \
        -stroke none -fill "$blue" -draw "roundrectangle 17,25,231,96,20,20" \
        -draw "rectangle 17,70,231,96" \
        -fill "$dark" -draw "roundrectangle 62,6,80,50,8,8" -draw "roundrectangle 168,6,186,50,8,8" \
        -draw "$grid" \
        -depth 8 -strip "$out"
}

sheet "$tmp/sheet.png"
convert "$tmp/sheet.png" -resize 128x128 -depth 8 -strip "$art/icon128.png"
convert "$tmp/sheet.png" -resize 32x32 -depth 8 -strip "$art/tray140.png"
for s in 16 22 24 32 48 64 128 256; do
    mkdir -p "$icons/${s}x${s}/apps"
    convert "$tmp/sheet.png" -resize "${s}x${s}" -depth 8 -strip "$icons/${s}x${s}/apps/tavolin.png"
done

# Banner: the name on the default background colour, with a small sheet at the left.
convert -size 520x66 gradient:"$blue"-"$dark" -rotate 270 -resize 520x66\! \
    \( "$tmp/sheet.png" -resize 54x54 \) -geometry +14+6 -composite \
    -font DejaVu-Sans-Bold -pointsize 34 -fill white -annotate +84+44 'Tavolin' \
    -font DejaVu-Sans -pointsize 15 -fill "$gold" -annotate +262+42 'Kalender auf dem Desktop' \
    -depth 8 -strip "$art/banner129.png"

# Animation: 26 frames of 16 x 16 on white (transparent): a small sheet whose gold clock hand
# turns once around.
frames=()
for i in $(seq 0 25); do
    angle=$(awk -v i="$i" 'BEGIN { a = i * 2 * 3.14159265 / 26; printf "%d,%d", 8 + 5 * sin(a) + 0.5, 9 - 5 * cos(a) + 0.5 }')
    convert -size 16x16 xc:white \
        -fill 'rgb(250,250,248)' -stroke "$dark" -draw "rectangle 1,2,14,14" \
        -stroke none -fill "$blue" -draw "rectangle 2,3,13,5" \
        -stroke "$gold" -strokewidth 2 -draw "line 8,10 ${angle}" \
        -stroke none -fill "$red" -draw "point 8,10" \
        +antialias -depth 8 -strip "$tmp/frame$i.png"
    frames+=("$tmp/frame$i.png")
done
convert "${frames[@]}" +append -depth 8 -strip "$art/anim132.png"
echo "art written to $art and $icons"
