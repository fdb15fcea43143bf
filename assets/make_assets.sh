#!/usr/bin/env bash
# Draws the client's pictures and icons with ImageMagick (shapes and the DejaVu font only) and
# makes its sound with SoX into assets/: the application icon, the files of assets/pictures/ and
# assets/sounds/, which are installed as the "pictures" and "sounds" folders beside cv3client.exe.
# Run it again after changing a drawing or the sound; the output is committed. Everything is drawn
# large and scaled down, so edges are smooth.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out="$here/pictures"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# The palette: dark navy and steel, with a few signal colours.
navy_deep='#0b1424'
navy_frame='#0e182b'
navy_tile='#15223a'
navy_panel='#14213a'
steel_dark='#3d5675'
steel='#8aa0b8'
steel_light='#c8d6e4'
cyan='#5cc8ff'
green='#46d36a'
amber='#f0a830'
gold='#ffcc33'
grey='#7d8898'
grey_dark='#5d6676'
magenta='#ff00ff'  # "no pixel" in the image strips

# A swept-wing jet seen from above, nose up, centred on 0,0, about 60 x 62 units.
jet_right='0,-30 3,-22 5,-8 29,12 29,17 6,13 5,21 13,27 13,31 2,29 0,31'
jet_left='0,31 -2,29 -13,31 -13,27 -5,21 -6,13 -29,17 -29,12 -5,-8 -3,-22 0,-30'
jet="$jet_right ${jet_left#0,31 }"

# Scales a drawing down by area averaging, which keeps edges smooth and colours true.
shrink() {  # in size out
  convert "$1" -filter Box -resize "$2x$2" "$3"
}

# Puts a transparent drawing on the mask colour for an image list: pixels at least half covered
# are kept (their soft edge blended with `bg`, the colour they will mostly stand on), the rest
# become the mask colour.
on_mask() {  # in bg out
  local size
  size=$(identify -format '%wx%h' "$1")
  convert "$1" -background "$2" -alpha remove -alpha off "$work/flat.png"
  convert "$1" -alpha extract -threshold 50% "$work/keep.png"
  convert -size "$size" "xc:$magenta" "$work/flat.png" "$work/keep.png" -composite "$3"
}

# ---------------------------------------------------------------- tile and frame background
# The tile behind the tree: dark navy with faint chevrons pointing up, seamless at 64 x 64.
# Near-white text (0xF8F8F8) stands on it at a contrast of about 15:1.
convert -size 64x64 "xc:$navy_tile" 'xc:#1b2b47' \
  -fx 'mod(j + abs(mod(i,32) - 16), 16) < 1 ? v : u' \
  +dither -colors 4 "$out/bkgrnd_tile.gif"

# The frame around the tree and behind the logo: a little darker, larger chevrons, seamless at
# 128 x 128, so it can be tiled or stretched over any frame size.
convert -size 128x128 "xc:$navy_frame" 'xc:#15223a' \
  -fx 'mod(j + abs(mod(i,64) - 32), 32) < 1 ? v : u' \
  +dither -colors 4 "$out/bkgrnd.gif"

# ---------------------------------------------------------------- logo
# 200 x 140 on the frame's colour: a steel jet between speed lines over the word CORVANE; the
# lowest 30 pixels stay plain for the caption label that stands over the logo.
s=4  # drawn at 4x
convert -size $((200 * s))x$((140 * s)) "xc:$navy_frame" \
  -fill "$navy_panel" -stroke "$steel_dark" -strokewidth $((2 * s)) \
  -draw "roundrectangle $((6 * s)),$((6 * s)) $((194 * s)),$((134 * s)) $((14 * s)),$((14 * s))" \
  -stroke '#2b4468' -strokewidth $((2 * s)) \
  -draw "line $((24 * s)),$((50 * s)) $((64 * s)),$((50 * s))" \
  -draw "line $((36 * s)),$((58 * s)) $((68 * s)),$((58 * s))" \
  -draw "line $((136 * s)),$((50 * s)) $((176 * s)),$((50 * s))" \
  -draw "line $((132 * s)),$((58 * s)) $((164 * s)),$((58 * s))" \
  -stroke none \
  -fill "$steel" -draw "translate $((100 * s)),$((44 * s)) scale $((s * 9 / 8)),$((s * 9 / 8)) polygon $jet" \
  -fill "$steel_light" -draw "translate $((100 * s)),$((44 * s)) scale $((s * 9 / 8)),$((s * 9 / 8)) polygon $jet_left" \
  -fill "$cyan" -draw "translate $((100 * s)),$((44 * s)) scale $((s * 9 / 8)),$((s * 9 / 8)) ellipse 0,-14 2,5 0,360" \
  -font DejaVu-Sans-Bold -pointsize $((22 * s)) -kerning $((3 * s)) -fill "$steel_light" \
  -gravity north -annotate +0+$((80 * s)) 'CORVANE' \
  "$work/logo.png"
shrink "$work/logo.png" 200 "$work/logo_small.png"
convert "$work/logo_small.png" +dither -colors 48 "$out/cvlogo.gif"

# ---------------------------------------------------------------- application icon
# A navy rounded square with the jet climbing to the upper right: bold enough for the tray at
# 16 x 16 on light and dark taskbars.
convert -size 256x256 xc:none \
  \( -size 256x256 "gradient:#2a4d7e-$navy_deep" \) \
  \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 48,48' \) \
  -compose over -composite \
  -fill none -stroke '#6f8fb4' -strokewidth 6 -draw 'roundrectangle 11,11 244,244 45,45' \
  -stroke none -fill "$steel" -draw "translate 128,132 rotate 40 scale 2.75,2.75 polygon $jet" \
  -fill '#f2f6fa' -draw "translate 128,132 rotate 40 scale 2.75,2.75 polygon $jet_left" \
  "$work/icon.png"
for n in 48 32 16; do shrink "$work/icon.png" $n "$work/icon$n.png"; done
# The 16-pixel one a little sharper: less frame, more jet.
convert -size 64x64 xc:none -fill "$navy_deep" -draw 'roundrectangle 1,1 62,62 12,12' \
  -fill '#2a4d7e' -draw 'roundrectangle 4,4 59,59 10,10' \
  -fill "$steel_light" -draw "translate 32,33 rotate 40 scale 0.78,0.78 polygon $jet" \
  -fill '#ffffff' -draw "translate 32,33 rotate 40 scale 0.78,0.78 polygon $jet_left" \
  "$work/icon16big.png"
shrink "$work/icon16big.png" 16 "$work/icon16.png"
convert "$work/icon16.png" "$work/icon32.png" "$work/icon48.png" "$here/cv3client.ico"

# ---------------------------------------------------------------- roster tree images
# 16 x 16 images drawn at 64 x 64, dark-outlined so they read on the tile and on white.
# Strip order = image number - 1: 1 game, 2 online, 3 offline group, 4 busy, 5 unused,
# 6 offline / not running / ignored, 7 unused, 8 administrator.
ol=(-stroke "$navy_deep" -strokewidth 5)
person() {  # colour dx dy: appends a pilot's head and shoulders to the array `draw`
  draw+=(-fill "$1" "${ol[@]}" -draw "translate $2,$3 roundrectangle 12,36 52,64 14,14"
         -draw "translate $2,$3 circle 32,20 32,7")
}
blank() { convert -size 64x64 xc:none "$1"; }
convert -size 64x64 xc:none -fill "$steel_light" "${ol[@]}" \
  -draw "translate 28,32 scale 0.86,0.86 polygon $jet" \
  -fill "$green" -draw 'circle 50,50 50,40' "$work/r1.png"
draw=(); person "$green" 0 0
convert -size 64x64 xc:none "${draw[@]}" "$work/r2.png"
draw=(); person "$grey_dark" 8 -4; person "$grey" -6 2
convert -size 64x64 xc:none "${draw[@]}" "$work/r3.png"
draw=(); person "$amber" 0 0
convert -size 64x64 xc:none "${draw[@]}" "$work/r4.png"
blank "$work/r5.png"
convert -size 64x64 xc:none -fill "$grey" "${ol[@]}" -draw 'circle 32,32 32,10' \
  -stroke none -fill "$grey_dark" -draw 'circle 32,32 32,22' \
  -fill '#a3adbb' -draw 'circle 25,25 25,21' "$work/r6.png"
blank "$work/r7.png"
convert -size 64x64 xc:none -fill "$gold" "${ol[@]}" -strokewidth 4 \
  -draw 'polygon 32,3 39,23 61,23 43,36 50,58 32,45 14,58 21,36 3,23 25,23' "$work/r8.png"
for i in 1 2 3 4 5 6 7 8; do
  shrink "$work/r$i.png" 16 "$work/s$i.png"
  on_mask "$work/s$i.png" "$navy_tile" "$work/m$i.png"
done
convert "$work"/m{1..8}.png +append +dither "$out/roster_icons.gif"
# The same strip for lobbyd's web page, where "no pixel" is simply transparent.
mkdir -p "$here/web"
convert "$out/roster_icons.gif" -transparent "$magenta" "$here/web/roster_icons.gif"

# ---------------------------------------------------------------- toolbar images
# 24 x 24 images drawn at 128 x 128 for the light toolbar: 1 lobby chat, 2 manage games,
# 3 community web.
tol=(-stroke "$navy_deep" -strokewidth 7)
convert -size 128x128 xc:none -fill "$steel" "${tol[@]}" \
  -draw 'roundrectangle 40,10 122,66 18,18' -draw 'polygon 96,62 110,84 80,64' \
  -fill '#3d8fd6' -draw 'roundrectangle 6,38 92,100 20,20' -draw 'polygon 22,96 14,122 46,98' \
  -stroke none -fill white -draw 'circle 30,69 30,62' -draw 'circle 50,69 50,62' \
  -draw 'circle 70,69 70,62' "$work/t1.png"
convert -size 128x128 xc:none -fill '#2d5b8c' "${tol[@]}" \
  -draw "translate 56,60 rotate 40 scale 1.55,1.55 polygon $jet" \
  -stroke none -fill '#7fb0e0' -draw "translate 56,60 rotate 40 scale 1.55,1.55 polygon $jet_left" \
  -fill "$amber" "${tol[@]}" -draw 'circle 98,98 98,72' \
  -stroke none -fill white -draw 'rectangle 86,94 110,102' -draw 'rectangle 94,86 102,110' \
  "$work/t2.png"
convert -size 128x128 xc:none -fill '#3d8fd6' "${tol[@]}" -draw 'circle 64,64 64,8' \
  -fill none -stroke '#d6ecff' -strokewidth 5 \
  -draw 'ellipse 64,64 22,54 0,360' -draw 'line 64,12 64,116' -draw 'line 12,64 116,64' \
  -draw 'line 22,38 106,38' -draw 'line 22,90 106,90' \
  -stroke "$navy_deep" -strokewidth 7 -draw 'circle 64,64 64,8' "$work/t3.png"
for i in 1 2 3; do
  shrink "$work/t$i.png" 24 "$work/u$i.png"
  on_mask "$work/u$i.png" '#f0f0f0' "$work/v$i.png"
done
convert "$work"/v{1..3}.png +append +dither -colors 128 "$out/toolbar.gif"

# ---------------------------------------------------------------- message sound
# sounds/comp1.wav, played when a message opens a chat window: a soft two-note chime rising a
# fourth (B5, then E6), each note a sine with a quieter octave, a short attack and a bell-like
# decay; about half a second, 22 kHz mono, so it stays small.
sounds="$here/sounds"
mkdir -p "$sounds"
note() {  # frequency its-octave length fade-out delay out
  sox -n -r 22050 -c 1 -b 16 "$6" synth "$3" sine "$1" sine mix "$2" fade l 0.006 "$3" "$4" \
    pad "$5"
}
note 987.77 1975.53 0.30 0.29 0 "$work/n1.wav"
note 1318.51 2637.02 0.46 0.45 0.11 "$work/n2.wav"
sox -m "$work/n1.wav" "$work/n2.wav" "$sounds/comp1.wav" norm -8

ls -l "$here/cv3client.ico" "$out" "$sounds"
