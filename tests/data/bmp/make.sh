#!/bin/sh
# Test bitmaps made by ImageMagick (BMP3: the 40-byte header; plain BMP: its 124-byte one) and
# by make_bmp.py (16 and 32 bits, top-down). pixels_*.txt hold ImageMagick's own reading.
set -e
cd "$(dirname "$0")"
IM=/usr/bin/convert
# A 9x3 picture of a few colours (a row of 9 makes the 1-bit rows spill into a second byte).
$IM -size 9x3 xc:white -fill black -draw "point 0,0" -draw "point 8,0" -draw "point 4,1" -draw "point 8,2" src2.png
$IM -size 5x4 xc:red -fill blue -draw "point 1,0" -fill lime -draw "point 2,1" -fill "#102030" -draw "point 4,3" -fill yellow -draw "point 0,3" src.png
$IM src2.png -type bilevel -compress none BMP3:one_bit_9_wide.bmp
$IM src.png -type palette -colors 8 -compress none BMP3:palette_im_4_bit.bmp
$IM rose: -colors 200 -type palette -compress none BMP3:palette_8_bit.bmp
$IM src.png -type truecolor -compress none BMP3:rgb_24_bit.bmp
$IM src.png -type truecolor rgb_24_bit_header_124.bmp
$IM src.png -type palette -compress rle BMP3:rle8.bmp
rm -f src.png src2.png
/usr/bin/python3 make_bmp.py
for f in *.bmp; do [ "$f" = rle8.bmp ] || $IM "$f" txt:- > "pixels_${f%.bmp}.txt"; done
