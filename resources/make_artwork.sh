#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
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

# The pictures below call ImageMagick by full path: another `convert` can come first on PATH.
im=/usr/bin/convert
bold=DejaVu-Sans-Bold
plain=DejaVu-Sans
blue='#2aa8ff'
magenta='#ff2bd6'
green='#39ff7a'
silver='#c8ccd6'
# PNG writes the creation time unless told not to; without it reruns give the same bytes.
png_opts=(-strip -define 'png:exclude-chunk=date,time')
jpg_opts=(-strip -sampling-factor 4:2:0 -quality 82)

# Width in pixels of a line of text in the given font and size.
text_width() {
    "$im" -font "$1" -pointsize "$2" label:"$3" -format %w info:
}

# One view title strip, 200x24: a dark steel gradient lit from the left by the accent colour, an
# accent edge, the title in bold white and a few little equaliser bars at the right end. The title
# gets 14 px unless it is too wide for the room left of the bars.
header() {
    local n="$1" title="$2" accent="$3"
    local out="$here/header/Image_$n.jpg" size=14
    while (( $(text_width "$bold" "$size" "$title") > 150 )); do
        size=$((size - 1))
    done
    "$im" -size 24x200 gradient:'#000000'-"$accent" -rotate 90 +repage "$work/glow.png"
    "$im" -size 200x24 gradient:'#3a3d46'-'#07070a' \
        \( "$work/glow.png" -evaluate multiply 0.45 \) -compose screen -composite \
        -fill "$accent" -draw 'rectangle 0,0 3,23' \
        -stroke "$accent" -strokewidth 1 -draw 'line 4,23 199,23' \
        -stroke none -fill "$accent" \
        -draw 'rectangle 170,15 172,20 rectangle 175,9 177,20 rectangle 180,12 182,20 rectangle 185,6 187,20 rectangle 190,13 192,20' \
        -font "$bold" -pointsize "$size" -gravity west \
        -fill '#000000' -annotate +13+1 "$title" \
        -fill '#ffffff' -annotate +12+0 "$title" \
        "${jpg_opts[@]}" "$out"
}

headers() {
    mkdir -p "$here/header"
    local titles=("Все стили" "Trance" "House" "Techno" "Hip-Hop" "Drum & Bass" "Break Beat"
        "Rock & Alternative" "Instrumental" "Ambient" "Industrial" "Meditation" "Pop" "Dancecore"
        "Другое" "Неизвестный" "Избранное" "Корзина" "Результаты поиска")
    local accents=("$blue" "$magenta" "$green")
    local i
    for i in "${!titles[@]}"; do
        header $((i + 1)) "${titles[$i]}" "${accents[$((i % 3))]}"
    done
}

# Rectangles of an equaliser, as -draw primitives: $1 bars from x=$2, each $3 wide with a $4 gap,
# standing on y=$5, up to $6 tall. The heights come from a fixed sum of sines, not from chance.
eq_bars() {
    awk -v n="$1" -v x0="$2" -v w="$3" -v gap="$4" -v base="$5" -v top="$6" 'BEGIN {
        for (i = 0; i < n; i++) {
            h = 0.55 + 0.3 * sin(i * 0.47) * cos(i * 0.13) + 0.15 * sin(i * 1.9)
            x = x0 + i * (w + gap)
            printf "rectangle %d,%d %d,%d ", x, base - int(h * top), x + w - 1, base
        }
    }'
}

# Joins the points read from stdin, one "x y" a line, into an open path of -draw lines. Used
# instead of polyline, which this ImageMagick strokes as a closed shape.
open_path() {
    awk 'BEGIN { printf "stroke-linecap round stroke-linejoin round" }
        NR > 1 { printf " line %.2f,%.2f %.2f,%.2f", px, py, $1, $2 }
        { px = $1; py = $2 }'
}

# A sound wave across $1 pixels around y=$2, swelling in the middle up to $3.
wave_line() {
    awk -v width="$1" -v mid="$2" -v amp="$3" 'BEGIN {
        for (x = 0; x < width; x += 2) {
            env = sin(3.14159265 * x / width)
            print x, mid + amp * env * env * sin(x * 0.21) * cos(x * 0.047)
        }
    }' | open_path
}

# While the catalogue loads: the name over faint rings, and an equaliser lit blue to magenta with
# a dim reflection beneath it.
splash() {
    local out="$here/splash.jpg"
    "$im" -size 481x329 radial-gradient:'#16203a'-'#000000' "$work/sky.png"
    "$im" -size 481x329 xc:black -fill white -draw "$(eq_bars 37 18 9 3 262 120)" "$work/bars.png"
    "$im" -size 329x481 gradient:"$magenta"-"$blue" -rotate 90 "$work/lit.png"
    "$im" "$work/lit.png" "$work/bars.png" -alpha off -compose multiply -composite "$work/eq.png"
    "$im" "$work/eq.png" -crop 481x66+0+197 +repage -flip \
        \( -size 481x66 gradient:'#505050'-'#000000' \) \
        -compose multiply -composite "$work/mirror.png"
    "$im" "$work/sky.png" \
        -fill none -stroke "$blue" -strokewidth 1 \
        -draw 'stroke-opacity 0.35 circle 400,78 430,78 stroke-opacity 0.25 circle 400,78 455,78' \
        -draw 'stroke-opacity 0.15 circle 400,78 480,78 stroke-opacity 0.3 circle 70,60 92,60' \
        -stroke none \
        "$work/eq.png" -compose screen -composite \
        "$work/mirror.png" -geometry +0+263 -compose screen -composite \
        -font "$bold" -pointsize 58 -gravity north \
        -fill '#000000' -annotate +2+34 'Kelvarn' \
        -fill '#ffffff' -annotate +0+32 'Kelvarn' \
        -font "$plain" -pointsize 16 -fill "$silver" -annotate +0+104 'Загрузка базы...' \
        "${jpg_opts[@]}" "$out"
}

# On closing: the farewell over a thin glowing sound wave.
goodbye() {
    local out="$here/goodbye.jpg"
    "$im" -size 409x153 xc:black -fill none -stroke "$magenta" -strokewidth 2 \
        -draw "$(wave_line 409 118 22)" "$work/wave.png"
    "$im" -size 153x409 gradient:'#1a1d2a'-'#000000' -rotate 90 \
        \( "$work/wave.png" -blur 0x4 \) -compose screen -composite \
        "$work/wave.png" -compose screen -composite \
        -font "$bold" -pointsize 32 -gravity north \
        -fill '#000000' -annotate +2+24 'До свидания!' \
        -fill '#ffffff' -annotate +0+22 'До свидания!' \
        -pointsize 17 -fill "$blue" -annotate +0+66 'Kelvarn' \
        "${jpg_opts[@]}" "$out"
}

# A five-pointed star as a -draw polygon around $1,$2 with outer radius $3 and inner radius $4.
star_polygon() {
    awk -v cx="$1" -v cy="$2" -v ro="$3" -v ri="$4" 'BEGIN {
        printf "polygon"
        for (i = 0; i < 10; i++) {
            a = -3.14159265 / 2 + i * 3.14159265 / 5
            r = (i % 2) ? ri : ro
            printf " %.2f,%.2f", cx + r * cos(a), cy + r * sin(a)
        }
    }'
}

# An open elliptical arc: centre $1,$2, radii $3,$4, from angle $5 to $6 in degrees, clockwise
# from three o'clock. ImageMagick's own arc and ellipse primitives close the shape with a chord.
arc_line() {
    awk -v cx="$1" -v cy="$2" -v rx="$3" -v ry="$4" -v a0="$5" -v a1="$6" 'BEGIN {
        for (a = a0; a <= a1; a += 3) {
            t = a * 3.14159265 / 180
            print cx + rx * cos(t), cy + ry * sin(t)
        }
    }' | open_path
}

# Tree icons, 20x20 on transparency, in bright colours so they read on the black tree.
tree_icons() {
    mkdir -p "$here/tree"
    # One style: an eighth note.
    "$im" -size 20x20 xc:none -fill "$blue" \
        -draw 'translate 7.5,15 rotate -25 ellipse 0,0 4,2.8 0,360' \
        -draw 'rectangle 9.8,3 11.2,15' \
        -draw 'polygon 11.2,3 16,6.5 16,10 11.2,6.5' \
        "${png_opts[@]}" "PNG32:$here/tree/icon0.png"
    # All styles: a folder with a note on it.
    "$im" -size 20x20 xc:none \
        -fill '#1f78d0' -draw 'roundrectangle 1,3 8,8 1,1' \
        -fill "$blue" -draw 'roundrectangle 1,5 18,17 1.5,1.5' \
        -fill '#ffffff' -draw 'translate 8.5,14 rotate -25 ellipse 0,0 2.4,1.7 0,360' \
        -draw 'rectangle 10,7.5 10.9,14' -draw 'polygon 10.9,7.5 13.5,9.5 13.5,11.3 10.9,9.3' \
        "${png_opts[@]}" "PNG32:$here/tree/icon1.png"
    # Recycle bin: a ribbed can with a lid and a handle.
    "$im" -size 20x20 xc:none \
        -fill none -stroke "$silver" -strokewidth 1.2 -draw 'roundrectangle 7.5,1.5 12.5,4.5 1,1' \
        -stroke none -fill "$silver" -draw 'roundrectangle 2.5,3.5 17.5,5.5 0.8,0.8' \
        -draw 'polygon 4,6.5 16,6.5 14.8,18.5 5.2,18.5' \
        -fill '#4a4e58' -draw 'rectangle 6.8,8.5 7.8,16.5 rectangle 9.5,8.5 10.5,16.5 rectangle 12.2,8.5 13.2,16.5' \
        "${png_opts[@]}" "PNG32:$here/tree/icon2.png"
    # Favourites: a gold star.
    "$im" -size 20x20 xc:none -fill '#ffd23a' -stroke '#ff9f1a' -strokewidth 0.8 \
        -draw "$(star_polygon 10 10.6 9.2 3.8)" \
        "${png_opts[@]}" "PNG32:$here/tree/icon3.png"
}

# The program's icon: a record with grooves, a blue-to-magenta label and a shine. Drawn on a
# 64-pixel grid and scaled by $1 (1, 2, 4) for the 64, 128 and 256 px sizes the desktop asks for;
# the affine maps pixel centres onto pixel centres, so every size is as sharp as the first.
window_icon() {
    local k="$1" out="$2"
    local size=$((64 * k)) label=$((22 * k))
    local shift
    shift=$(awk -v k="$k" 'BEGIN { print (k - 1) / 2 }')
    local scale="affine $k,0,0,$k,$shift,$shift"
    "$im" -size "${label}x${label}" gradient:"$blue"-"$magenta" \
        \( -size "${label}x${label}" xc:black -fill white -draw "$scale circle 10.5,10.5 10.5,0" \) \
        -alpha off -compose copy-opacity -composite "$work/label.png"
    "$im" -size "${size}x${size}" xc:none \
        -fill '#0b0b0e' -stroke '#5a5e6a' -strokewidth 1.5 -draw "$scale circle 31.5,31.5 31.5,1.5" \
        -fill none -stroke '#2c2e36' -strokewidth 1 \
        -draw "$scale circle 31.5,31.5 31.5,6 circle 31.5,31.5 31.5,10 circle 31.5,31.5 31.5,14 circle 31.5,31.5 31.5,18" \
        -stroke '#d8dce6' -strokewidth 2 \
        -draw "$scale stroke-opacity 0.55 $(arc_line 31.5 31.5 25.5 25.5 200 250)" \
        -draw "$scale stroke-opacity 0.35 $(arc_line 31.5 31.5 25.5 25.5 20 70)" \
        -stroke none \
        "$work/label.png" -geometry "+$((21 * k))+$((21 * k))" -compose over -composite \
        -fill '#000000' -draw "$scale circle 31.5,31.5 31.5,29.5" \
        "${png_opts[@]}" "PNG32:$out"
}

# The window's icon, which is the desktop's at 64 px, and the desktop's larger sizes.
icons() {
    window_icon 1 "$here/icon.png"
    mkdir -p "$here/icons"
    window_icon 2 "$here/icons/kelvarn-128.png"
    window_icon 4 "$here/icons/kelvarn-256.png"
}

# The two contributors in the credits, 250x250: not faces but their gear. The first is a pair of
# headphones against blue turning to magenta, with rings of sound at the sides.
credits_first() {
    local out="$here/credits/first.jpg"
    mkdir -p "$here/credits"
    "$im" -size 250x250 radial-gradient:"$blue"-'#2a0633' \
        \( -size 250x250 gradient:'#00000000'-"$magenta" -channel A -evaluate multiply 0.6 +channel \) \
        -compose over -composite \
        -fill none -stroke '#ffffff' -strokewidth 3 \
        -draw "stroke-opacity 0.5 $(arc_line 66 155 38 50 140 220)" \
        -draw "stroke-opacity 0.3 $(arc_line 66 155 52 66 145 215)" \
        -draw "stroke-opacity 0.5 $(arc_line 184 155 38 50 -40 40)" \
        -draw "stroke-opacity 0.3 $(arc_line 184 155 52 66 -35 35)" \
        -stroke '#0c0c10' -strokewidth 16 -draw "$(arc_line 125 115 73 75 180 360)" \
        -stroke "$silver" -strokewidth 3 -draw "$(arc_line 125 115 79 81 195 345)" \
        -stroke none -fill '#0c0c10' \
        -draw 'roundrectangle 44,110 88,200 16,16 roundrectangle 162,110 206,200 16,16' \
        -fill '#2b2d36' -draw 'roundrectangle 74,120 96,190 8,8 roundrectangle 154,120 176,190 8,8' \
        -fill none -stroke "$silver" -strokewidth 2 \
        -draw 'roundrectangle 48,114 84,196 13,13 roundrectangle 166,114 202,196 13,13' \
        "${jpg_opts[@]}" "$out"
}

# The second: a turntable seen from above, on green fading to black, with a pitch fader.
credits_second() {
    local out="$here/credits/second.jpg"
    mkdir -p "$here/credits"
    "$im" -size 250x250 radial-gradient:"$green"-'#001a10' \
        -fill '#141419' -stroke "$silver" -strokewidth 2 -draw 'roundrectangle 18,34 232,216 12,12' \
        -stroke none -fill '#2a2c33' -draw 'circle 112,125 112,45' \
        -fill '#08080a' -draw 'circle 112,125 112,50' \
        -fill none -stroke '#24262c' -strokewidth 1 \
        -draw 'circle 112,125 112,58 circle 112,125 112,66 circle 112,125 112,74 circle 112,125 112,82 circle 112,125 112,90' \
        -stroke none -fill "$green" -draw 'circle 112,125 112,104' \
        -fill '#0b0b0e' -draw 'circle 112,125 112,121' \
        -fill none -stroke '#ffffff' -strokewidth 2 -draw "stroke-opacity 0.3 $(arc_line 112 125 72 72 205 245)" \
        -fill "$silver" -stroke none -draw 'circle 196,58 196,47' \
        -fill '#0b0b0e' -draw 'circle 196,58 196,52' \
        -stroke "$silver" -strokewidth 4 -draw 'line 196,58 186,150 line 186,150 166,170' \
        -stroke none -fill "$silver" -draw 'polygon 160,163 174,175 168,182 154,170' \
        -fill '#08080a' -draw 'roundrectangle 212,120 218,200 2,2' \
        -fill "$green" -draw 'rectangle 206,150 224,160' \
        -fill '#ffffff' -draw 'circle 34,200 34,196' -fill "$magenta" -draw 'circle 50,200 50,196' \
        "${jpg_opts[@]}" "$out"
}

# The level meter under the credits: pure green at the left end through yellow to pure red at the
# right. Full colour resolution keeps the end colours clean in such a thin JPEG.
credits_strip() {
    local out="$here/credits/strip.jpg"
    mkdir -p "$here/credits"
    "$im" -define gradient:direction=east \
        \( -size 241x9 gradient:'#00ff00'-'#ffff00' \) \( -size 240x9 gradient:'#ffff00'-'#ff0000' \) \
        +append -strip -sampling-factor 1x1 -quality 85 "$out"
}

background
headers
splash
goodbye
tree_icons
icons
credits_first
credits_second
credits_strip
