#!/usr/bin/env bash
# Draws the program's pictures: the banner at the top of the window
# (banner.bmp, 352 x 42, 24 bits per pixel) and the key icon (keyadmin.ico:
# 32 x 32 in 256 colours and 16 x 16 in 16 colours, each with a transparency
# mask). Needs ImageMagick and coreutils. The pictures are committed, so the
# build never runs this; run it again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

gold='#f2c14e'

# Banner: a key, the product's name, and what it is for, on a blue gradient.
convert -background none -fill white -font DejaVu-Sans-Bold -pointsize 17 label:Quorvane "$work/q.png"
convert -background none -fill "$gold" -font DejaVu-Sans -pointsize 17 label:KeyAdmin "$work/k.png"
convert "$work/q.png" -size 6x1 xc:none "$work/k.png" -background none -gravity center +append \
    +repage "$work/name.png"
convert -size 42x352 gradient:'#1d6a86'-'#0f2747' -rotate 90 \
    -fill none -stroke "$gold" -strokewidth 4 -draw 'circle 21,20 21,12' \
    -stroke none -fill "$gold" -draw 'rectangle 29,18 56,22' \
    -draw 'rectangle 45,22 48,29' -draw 'rectangle 52,22 55,27' \
    "$work/name.png" -gravity West -geometry +66-1 -composite \
    -font NanumGothic -pointsize 11 -fill '#cfe0ee' -gravity East -annotate +9+1 'USB 인증키 관리' \
    -gravity NorthWest -fill "$gold" -draw 'rectangle 0,40 351,41' \
    -alpha off -type TrueColor -compress None BMP3:banner.bmp

# Icon: a gold key on a rounded blue tile, drawn large and scaled down.
convert -size 128x128 xc:none \
    -fill '#1d4f74' -stroke '#0f2747' -strokewidth 4 -draw 'roundrectangle 4,4 123,123 22,22' \
    -fill none -stroke "$gold" -strokewidth 14 -draw 'circle 42,44 42,22' \
    -stroke none -fill "$gold" -draw 'polygon 54,62 64,52 112,100 102,110' \
    -draw 'polygon 78,86 88,96 76,108 66,98' -draw 'polygon 94,102 104,112 96,120 86,110' \
    "$work/key.png"

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
bytes() { dd if="$1" bs=1 skip="$2" count="$3" status=none; }  # file, offset, count

# One icon image as the ICO format keeps it: the bitmap's info header with
# the height doubled (colour bits and mask), palette, colour bits bottom-up,
# then the AND mask (1 = transparent), rows padded to 32 bits.
icon_image() {  # size, colours, output
    local size=$1 colours=$2 out=$3 bmp="$work/$1.bmp"
    convert "$work/key.png" -resize "${size}x$size" -channel A -threshold 50% +channel \
        -dither None -colors $((colours - 1)) -background black -alpha remove \
        -type Palette -compress None "BMP3:$bmp"
    local bits offset
    bits=$(od -A n -t u2 -j 28 -N 2 "$bmp" | tr -d ' ')
    offset=$(od -A n -t u4 -j 10 -N 4 "$bmp" | tr -d ' ')
    {
        bytes "$bmp" 14 8
        le32 $((size * 2))
        bytes "$bmp" 26 $((offset - 26))
        tail -c +$((offset + 1)) "$bmp"
        convert "$work/key.png" -resize "${size}x$size" -alpha extract -threshold 50% -negate \
            -background white -extent "$(((size + 31) / 32 * 32))x$size" -flip -depth 1 gray:-
    } >"$out"
    echo "$bits"
}

bits32=$(icon_image 32 256 "$work/i32")
bits16=$(icon_image 16 16 "$work/i16")
[ "$bits32" = 8 ] && [ "$bits16" = 4 ] || { echo "unexpected depths $bits32 $bits16" >&2; exit 1; }
size32=$(stat -c %s "$work/i32")
size16=$(stat -c %s "$work/i16")
{
    le16 0; le16 1; le16 2                                    # icon file, two images
    printf '\x20\x20\x00\x00'; le16 1; le16 8; le32 "$size32"; le32 38
    printf '\x10\x10\x10\x00'; le16 1; le16 4; le32 "$size16"; le32 $((38 + size32))
    cat "$work/i32" "$work/i16"
} >keyadmin.ico
identify banner.bmp keyadmin.ico
