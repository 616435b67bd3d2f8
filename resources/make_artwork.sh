#!/bin/bash
# Draws the program's pictures into this script's folder with ImageMagick.
# One function per picture; a fixed seed keeps every run's output the same.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The main window's backdrop: a night-blue glow fading to black, with a faint cloudy texture so
# large areas don't band. Kept dark and low in contrast: text is drawn over it.
background() {
    local out="$here/BackGround.jpg"
    convert -size 800x600 radial-gradient:'#1c3a6e'-'#02030a' \
        -gravity northwest -crop 800x600+0+0 +repage "$work/glow.png"
    convert -seed 4711 -size 800x600 plasma:'#303030'-'#000000' \
        -colorspace Gray -blur 0x12 -normalize "$work/clouds.png"
    convert "$work/glow.png" \
        \( "$work/clouds.png" -level 0%,100%,0.8 -fill '#4060a0' -colorize 35% \) \
        -compose soft-light -composite \
        -seed 4711 -attenuate 0.25 +noise Gaussian \
        -strip -sampling-factor 4:2:0 -quality 80 "$out"
}

background
