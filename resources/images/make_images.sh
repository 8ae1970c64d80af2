#!/bin/sh
# Regenerates the program's icons and the balloon background with ImageMagick.
# The outputs are committed; run this only to change them:
#   sh resources/images/make_images.sh
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Points of one period of a sine across a square of side $1,
# inside a margin of $1/8.
sine_points() {
    awk -v s="$1" 'BEGIN {
        m = s / 8; w = s - 2 * m; h = s / 2;
        for (i = 0; i <= 24; i++) {
            x = m + w * i / 24;
            y = h - (s / 4) * sin(2 * 3.14159265 * i / 24);
            printf "%.2f,%.2f ", x, y;
        }
    }'
}

# icon <name> <size> <ImageMagick drawing options...>
icon() {
    name=$1 size=$2
    shift 2
    convert -size "${size}x${size}" xc:none "$@" "PNG32:$tmp/$name-$size.png"
}

for s in 32 16; do
    e=$((s - 1))
    r=$((s / 8))
    # 110: the window icon, a trace on a screen.
    icon main "$s" -fill '#1d2b44' -stroke '#8aa0c0' -draw "roundrectangle 0,0 $e,$e $r,$r" \
        -fill none -stroke '#80ff80' -strokewidth $((s / 16)) -draw "polyline $(sine_points "$s")"
    # 111: start/stop, a green triangle.
    icon start "$s" -fill '#2fa84f' -stroke '#17562a' \
        -draw "polygon $((s / 5)),$((s / 8)) $((s * 7 / 8)),$((s / 2)) $((s / 5)),$((s * 7 / 8))"
    # 112: record, a red disc.
    icon record "$s" -fill '#d83a2e' -stroke '#6e1711' \
        -draw "circle $((s / 2)),$((s / 2)) $((s / 2)),$((s / 8))"
    # 113: choose the file, a yellow folder.
    icon file "$s" -fill '#e8c04a' -stroke '#7a5d12' \
        -draw "polygon $((s / 16)),$((s / 4)) $((s * 3 / 8)),$((s / 4)) $((s / 2)),$((s * 3 / 8)) $((s * 15 / 16)),$((s * 3 / 8)) $((s * 15 / 16)),$((s * 7 / 8)) $((s / 16)),$((s * 7 / 8))"
done
for name in main start record file; do
    convert "$tmp/$name-32.png" "$tmp/$name-16.png" "$name.ico"
done

# 102: balloon background, a pale yellow paper texture that tiles seamlessly
# (noise blurred with wrap-around edges), 64 x 64, 24 bits per pixel.
convert -size 64x64 -seed 1251 xc: +noise Random -channel G -separate +channel \
    -virtual-pixel tile -blur 0x3 -auto-level \
    +level 90%,100% -colorspace sRGB -fill '#fff3c0' -tint 100 \
    -type TrueColor -define bmp:format=bmp3 -compress none "BMP3:balloon.bmp"
