#!/usr/bin/env bash
# Regenerates the decoder fixtures from the pictures in source/ with netpbm and ImageMagick, so
# that every fixture is a file written by other software. The tests compare each decoded
# fixture with its source picture and, where ImageMagick reads the format, with ImageMagick's
# own decode.
#   source/rgb.ppm    37x23, many colours      source/pal.ppm    37x23, 96 colours
#   source/pal16.ppm  37x23, 15 colours        source/grey.pgm   37x23, grey
#   source/mono.pbm   37x23, black and white   source/rgba.pam   37x23, colours with alpha
#   source/mono32.pbm the top left 32x16 of mono.pbm
set -euo pipefail
cd "$(dirname "$0")"
src=source
IM=/usr/bin/convert  # the real ImageMagick, not a wrapper
mkdir -p gif ico tga pcx wbmp

# GIF: netpbm writes 87a (89a with transparency), ImageMagick 89a.
ppmtogif "$src/pal.ppm" >gif/plain.gif 2>/dev/null
ppmtogif -interlace "$src/pal.ppm" >gif/interlaced.gif 2>/dev/null
ppmtogif -transparent=rgb:00/00/00 "$src/pal.ppm" >gif/transparent.gif 2>/dev/null
ppmtogif "$src/pal16.ppm" >gif/sixteen.gif 2>/dev/null
ppmtogif "$src/mono.pbm" >gif/mono.gif 2>/dev/null
"$IM" "$src/pal.ppm" -interlace GIF gif/im-interlaced.gif
"$IM" -delay 20 "$src/pal16.ppm" "$src/pal.ppm" -loop 0 gif/animation.gif
# 160 x 120 of noise in 250 colours: long enough for the LZW table to fill up.
"$IM" -seed 7 -size 160x120 xc:gray +noise Random -colors 250 gif/noise.gif

# ICO: bitmap entries with AND masks at 1, 4, 8 and 32 bits, PNG entries, several entries.
pamdepth 255 "$src/mono.pbm" >/tmp/tavolin-mask.pgm 2>/dev/null || pbmtopgm "$src/mono.pbm" >/tmp/tavolin-mask.pgm
ppmtowinicon -andpgms "$src/pal.ppm" /tmp/tavolin-mask.pgm >ico/bmp8-mask.ico
ppmtowinicon "$src/pal16.ppm" >ico/bmp4.ico
# (ppmtowinicon cuts the mask rows of 1-bit pictures whose width is not a multiple of 32
# short; ../malformed/ico/short-mask-rows.ico is such a file, made from mono.pbm.)
pamcut -width 32 -height 16 "$src/mono.pbm" >"$src/mono32.pbm"
ppmtowinicon "$src/mono32.pbm" >ico/bmp1.ico
pamtowinicon "$src/rgba.pam" >ico/bmp32.ico 2>/dev/null
pamtowinicon -pngthreshold 1 "$src/rgba.pam" >ico/png.ico 2>/dev/null
# 16x16 32-bit, then 37x23 at 8 bits, then 37x23 at 32 bits: the last is the best.
(pamcut -width 16 -height 16 "$src/rgba.pam"; cat "$src/pal.ppm" "$src/rgba.pam") | pamtowinicon >ico/multi.ico 2>/dev/null
rm -f /tmp/tavolin-mask.pgm

# TGA: netpbm writes bottom-up files of types 1, 2, 3, 9, 10 and 11; ImageMagick the same
# types top-down, 16-bit and 32-bit with alpha. ImageMagick is only asked for top-down files:
# it writes its rows top row first whatever origin it puts in the header.
pamtotga -cmap -norle "$src/pal.ppm" >tga/type1.tga 2>/dev/null
pamtotga -cmap "$src/pal.ppm" >tga/type9.tga 2>/dev/null
pamtotga -rgb -norle "$src/rgb.ppm" >tga/type2.tga 2>/dev/null
pamtotga -rgb "$src/rgb.ppm" >tga/type10.tga 2>/dev/null
pamtotga -mono -norle "$src/grey.pgm" >tga/type3.tga 2>/dev/null
pamtotga -mono "$src/grey.pgm" >tga/type11.tga 2>/dev/null
"$IM" "$src/pal.ppm" -orient TopLeft -type Palette tga/top-type1.tga
"$IM" "$src/pal.ppm" -orient TopLeft -type Palette -compress RLE tga/top-type9.tga
"$IM" "$src/rgb.ppm" -orient TopLeft tga/top-type2.tga
"$IM" "$src/rgb.ppm" -orient TopLeft -compress RLE tga/top-type10.tga
"$IM" "$src/grey.pgm" -orient TopLeft -type Grayscale tga/top-type3.tga
"$IM" "$src/grey.pgm" -orient TopLeft -type Grayscale -compress RLE tga/top-type11.tga
"$IM" "$src/rgb.ppm" -orient TopLeft -depth 5 tga/depth16.tga
"$IM" "$src/rgba.pam" -orient TopLeft tga/alpha32.tga

# PCX: 1 bit, 4 planes of 1 bit, 4 bits packed, 8 bits with the VGA palette, 24 bits.
ppmtopcx "$src/mono.pbm" >pcx/mono.pcx 2>/dev/null
ppmtopcx "$src/pal16.ppm" >pcx/planes4.pcx 2>/dev/null
ppmtopcx -packed "$src/pal16.ppm" >pcx/packed4.pcx 2>/dev/null
ppmtopcx -8bit "$src/pal.ppm" >pcx/vga256.pcx 2>/dev/null
ppmtopcx -24bit "$src/rgb.ppm" >pcx/rgb24.pcx 2>/dev/null
"$IM" "$src/pal.ppm" -type Palette pcx/im-palette.pcx
"$IM" "$src/rgb.ppm" pcx/im-rgb.pcx

# WBMP
pbmtowbmp "$src/mono.pbm" >wbmp/netpbm.wbmp
"$IM" "$src/mono.pbm" wbmp/im.wbmp
"$IM" -size 200x130 pattern:checkerboard -monochrome wbmp/wide.wbmp
