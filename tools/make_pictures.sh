#!/usr/bin/env bash
# Draws the splash and version pictures, the speed-button glyphs and the step
# lamps into resources/ with ImageMagick. The results are committed; the
# build never runs this.
set -euo pipefail
cd "$(dirname "$0")/../resources"
font=Liberation-Sans-Bold

# A gray land mass with station dots over a sea gradient: what the programs
# work on. The first argument places the land (an ImageMagick affine
# matrix); every text and the version window's OK button lie on open sea.
land() {
    local place=$1; shift
    convert -size 320x240 gradient:'#173f70-#3a72b0' \
        -fill '#c0c0c0' -stroke '#808080' -strokewidth 1 \
        -draw "affine $place polygon 250,18 282,30 296,58 276,70 258,62 240,86 214,104 196,132 170,150 150,176 118,188 92,214 70,226 48,218 60,196 88,180 110,160 140,146 168,122 190,96 214,72 232,44" \
        -draw "affine $place polygon 40,150 58,142 70,158 58,176 40,170" \
        -stroke none -fill '#c0392b' \
        -draw "affine $place circle 256,40 259,40" -draw "affine $place circle 230,80 233,80" \
        -draw "affine $place circle 200,118 203,118" -draw "affine $place circle 160,150 163,150" \
        -draw "affine $place circle 120,176 123,176" -draw "affine $place circle 80,204 83,204" \
        -draw "affine $place circle 52,158 55,158" "$@"
}

# The splash: the land across the picture, the names above it on the left
# and "Loading..." in the bottom right corner.
land 1,0,0,1,0,0 -font "$font" -fill white -stroke '#0b2545' -strokewidth 1 \
    -pointsize 34 -annotate +16+52 'Vorbel' \
    -stroke none -pointsize 13 -annotate +18+74 'AMeDAS station tools' \
    -pointsize 11 -gravity southeast -annotate +12+10 'Loading...' \
    -type TrueColor BMP3:splash.bmp

# The version window: its OK button stands at 116,192 (89 x 33) over the
# picture, so the land keeps to the right of it and below the names.
land 0.45,0,0,0.45,187,88 -font "$font" -fill white -stroke '#0b2545' -strokewidth 1 \
    -pointsize 34 -annotate +16+52 'Strova' \
    -stroke none -pointsize 13 -annotate +18+74 'Gray maps to nearest-station tables' \
    -pointsize 11 -annotate +18+96 'Version 1.0' \
    -type TrueColor BMP3:about.bmp

# Speed-button glyphs, 24 x 24, and their disabled look.
glyph() {
    local name=$1; shift
    convert -size 24x24 xc:none -strokewidth 1 "$@" "$name.png"
    convert "$name.png" -channel RGB -colorspace Gray -level 0%,100%,0.4 -evaluate add 25% +channel "${name}_off.png"
}
glyph open -fill '#f2c94c' -stroke '#8a6d1a' -draw "polygon 2,6 9,6 11,8 20,8 20,19 2,19" \
    -fill '#f7dc6f' -draw "polygon 5,11 22,11 19,19 2,19"
glyph run -fill '#27ae60' -stroke '#145a32' -draw "polygon 6,3 20,12 6,21"
glyph help -fill '#2e86c1' -stroke '#1b4f72' -draw "circle 12,12 12,2" \
    -stroke none -fill white -font "$font" -pointsize 16 -gravity center -annotate +0+1 '?'
glyph about -fill '#16a085' -stroke '#0e6251' -draw "circle 12,12 12,2" \
    -stroke none -fill white -font "$font" -pointsize 15 -gravity center -annotate +0+1 'i'
glyph copy -fill white -stroke '#34495e' -draw "rectangle 3,2 14,16" -draw "rectangle 9,7 20,21" \
    -draw "line 12,11 17,11" -draw "line 12,14 17,14" -draw "line 12,17 17,17"
glyph save -fill '#5d6d7e' -stroke '#212f3c' -draw "rectangle 3,3 20,20" \
    -fill white -draw "rectangle 6,4 17,10" -fill '#aab7b8' -draw "rectangle 7,14 16,20"
glyph print -fill white -stroke '#34495e' -draw "rectangle 7,3 17,9" \
    -fill '#85929e' -draw "rectangle 3,9 21,17" -fill white -draw "rectangle 7,14 17,21"

# Step lamps, 13 x 13: on, and off (the disabled look).
convert -size 13x13 xc:none -fill '#3b3b3b' -stroke '#1a1a1a' -draw "circle 6,6 6,1" lamp_off.png
convert -size 13x13 xc:none -fill '#ff3b30' -stroke '#7b0000' -draw "circle 6,6 6,1" \
    -stroke none -fill '#ffc0b8' -draw "circle 5,4 5,3" lamp.png
