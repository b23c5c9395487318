#!/usr/bin/env bash
# Draws the program's images with ImageMagick and writes the PNGs beside this script. The PNGs are
# checked in, so building needs no image tools; run this again only after changing a drawing.
# Each image is drawn at four times its size on a 0..64 (tree, 16 px) or 0..96 (commands, 24 px)
# grid and then box-filtered down, which gives clean anti-aliased edges at the small size.
set -euo pipefail
cd "$(dirname "$0")"

# render NAME SIZE MVG...: draws the primitives on a transparent canvas of 4*SIZE pixels.
render() {
    local name=$1 size=$2
    shift 2
    local big=$((size * 4))
    convert -size "${big}x${big}" xc:none -strokewidth 0 "$@" \
        -filter Box -resize "${size}x${size}" -strip "PNG32:${name}.png"
}

# Shared palette.
outline='#2b3440'
folder_back='#d9a327'
folder_front='#f4c84a'
device_body='#4a5866'
lcd='#b8e0a8'
flag_red='#d8352a'
disc_blue='#2f6fc4'
calc_body='#6b7785'
green='#2e9b3f'
red='#d0302a'

# A folder drawn behind the lower part of a 64 grid: the symbol of its kind goes on top of it.
folder_small=(-stroke "$outline" -strokewidth 3
    -fill "$folder_back" -draw "path 'M 4,18 L 22,18 L 27,24 L 60,24 L 60,58 L 4,58 Z'"
    -fill "$folder_front" -draw "path 'M 4,30 L 60,30 L 60,58 L 4,58 Z'")

# --- tree images, 16 px ---------------------------------------------------------------------
# 0: the device, a metering unit with a display, a lamp and its terminals
render tree_device 16 -stroke "$outline" -strokewidth 3 \
    -fill "$device_body" -draw "roundrectangle 3,12 61,52 6,6" \
    -fill "$lcd" -draw "rectangle 10,19 40,35" \
    -fill '#5fd36a' -draw "circle 51,24 51,19" \
    -stroke none -fill '#e8eef3' -draw "rectangle 46,33 56,38" \
    -stroke "$outline" -strokewidth 3 -fill '#c9a640' \
    -draw "rectangle 12,52 20,60" -draw "rectangle 28,52 36,60" -draw "rectangle 44,52 52,60"

flag=(-stroke "$outline" -strokewidth 4 -draw "line 14,6 14,60"
    -strokewidth 3 -fill "$flag_red" -draw "path 'M 16,8 C 28,2 36,16 52,9 L 52,33 C 36,40 28,26 16,32 Z'")
flag_on_folder=(-stroke "$outline" -strokewidth 4 -draw "line 30,4 30,50"
    -strokewidth 3 -fill "$flag_red" -draw "path 'M 32,6 C 40,2 46,12 58,7 L 58,26 C 46,31 40,21 32,26 Z'")
# 1: event folder, 2: event
render tree_event_group 16 "${folder_small[@]}" "${flag_on_folder[@]}"
render tree_event 16 "${flag[@]}"

disc=(-stroke "$outline" -strokewidth 3 -fill "$disc_blue" -draw "circle 32,32 32,4"
    -stroke none -fill '#8fb8ec' -draw "path 'M 32,10 A 22,22 0 0,0 10,32 L 20,32 A 12,12 0 0,1 32,20 Z'"
    -stroke "$outline" -strokewidth 3 -fill '#f2f5f8' -draw "circle 32,32 32,24")
disc_on_folder=(-stroke "$outline" -strokewidth 3 -fill "$disc_blue" -draw "circle 42,22 42,4"
    -stroke "$outline" -strokewidth 3 -fill '#f2f5f8' -draw "circle 42,22 42,16")
# 3: constants folder, 4: constant
render tree_const_group 16 "${folder_small[@]}" "${disc_on_folder[@]}"
render tree_const 16 "${disc[@]}"

calc=(-stroke "$outline" -strokewidth 3 -fill "$calc_body" -draw "roundrectangle 10,3 54,61 5,5"
    -fill "$lcd" -draw "rectangle 16,9 48,22"
    -stroke none -fill '#f2f5f8'
    -draw "rectangle 16,28 24,35" -draw "rectangle 28,28 36,35" -draw "rectangle 40,28 48,35"
    -draw "rectangle 16,40 24,47" -draw "rectangle 28,40 36,47" -draw "rectangle 40,40 48,47"
    -draw "rectangle 16,52 24,56" -draw "rectangle 28,52 36,56"
    -fill '#f0a030' -draw "rectangle 40,52 48,56")
calc_on_folder=(-stroke "$outline" -strokewidth 3 -fill "$calc_body" -draw "roundrectangle 30,2 60,44 4,4"
    -fill "$lcd" -draw "rectangle 35,7 55,16"
    -stroke none -fill '#f2f5f8'
    -draw "rectangle 35,22 42,28" -draw "rectangle 47,22 54,28"
    -draw "rectangle 35,33 42,39" -draw "rectangle 47,33 54,39")
# 5: calculated variables folder, 6: calculated variable
render tree_calc_group 16 "${folder_small[@]}" "${calc_on_folder[@]}"
render tree_calc 16 "${calc[@]}"

# 7: a system of the device, a house
render tree_system 16 -stroke "$outline" -strokewidth 3 \
    -fill '#efe3c8' -draw "rectangle 12,28 52,60" \
    -fill '#c4462f' -draw "path 'M 4,32 L 32,6 L 60,32 Z'" \
    -fill '#7a4b2a' -draw "rectangle 26,40 38,60" \
    -fill '#9fd0f0' -draw "rectangle 42,36 50,44"

# --- command images, 24 px --------------------------------------------------------------------
# open: an open folder
render cmd_open 24 -stroke "$outline" -strokewidth 4 \
    -fill "$folder_back" -draw "path 'M 8,20 L 34,20 L 40,28 L 80,28 L 80,78 L 8,78 Z'" \
    -fill "$folder_front" -draw "path 'M 8,78 L 22,42 L 92,42 L 80,78 Z'"

# save: a diskette
render cmd_save 24 -stroke "$outline" -strokewidth 4 \
    -fill "$disc_blue" -draw "path 'M 10,10 L 76,10 L 86,20 L 86,86 L 10,86 Z'" \
    -fill '#eef2f6' -draw "rectangle 24,10 68,38" \
    -fill "$disc_blue" -stroke none -draw "rectangle 54,16 62,32" \
    -stroke "$outline" -strokewidth 4 -fill '#f7f9fb' -draw "rectangle 22,52 74,86"

# The device of the device commands: the metering unit on the right, an arrow on the left.
device24=(-stroke "$outline" -strokewidth 4 -fill "$device_body" -draw "roundrectangle 42,22 92,72 7,7"
    -fill "$lcd" -draw "rectangle 49,30 75,48"
    -fill '#5fd36a' -draw "circle 84,35 84,30"
    -stroke none -fill '#e8eef3' -draw "rectangle 50,56 62,63" -draw "rectangle 66,56 78,63"
    -stroke "$outline" -strokewidth 4 -fill '#c9a640'
    -draw "rectangle 50,72 60,82" -draw "rectangle 74,72 84,82")
# read from device: the arrow leaves the device
render cmd_read_device 24 "${device24[@]}" -stroke "$outline" -strokewidth 4 -fill "$green" \
    -draw "path 'M 44,40 L 24,40 L 24,28 L 3,48 L 24,68 L 24,56 L 44,56 Z'"
# store into device: the arrow enters the device
render cmd_store_device 24 "${device24[@]}" -stroke "$outline" -strokewidth 4 -fill '#e08a1e' \
    -draw "path 'M 3,40 L 20,40 L 20,28 L 40,48 L 20,68 L 20,56 L 3,56 Z'"

box24=(-stroke "$outline" -strokewidth 5 -fill '#ffffff' -draw "roundrectangle 12,12 84,84 8,8")
# check (mark every row): a ticked box
render cmd_check 24 "${box24[@]}" -stroke "$green" -strokewidth 12 -fill none \
    -draw "polyline 24,48 40,66 74,28"
# uncheck (clear every mark): an empty box
render cmd_uncheck 24 "${box24[@]}"

# delete: a red cross
render cmd_delete 24 -stroke "$red" -strokewidth 16 -fill none \
    -draw "line 20,20 76,76" -draw "line 76,20 20,76"

# The program's icon (window and About box): the device drawing at 48 px.
convert -size 64x64 xc:none -stroke "$outline" -strokewidth 3 \
    -fill "$device_body" -draw "roundrectangle 3,12 61,52 6,6" \
    -fill "$lcd" -draw "rectangle 10,19 40,35" \
    -fill '#5fd36a' -draw "circle 51,24 51,19" \
    -stroke none -fill '#e8eef3' -draw "rectangle 46,33 56,38" \
    -stroke "$outline" -strokewidth 3 -fill '#c9a640' \
    -draw "rectangle 12,52 20,60" -draw "rectangle 28,52 36,60" -draw "rectangle 44,52 52,60" \
    -filter Triangle -resize 48x48 -strip PNG32:app_icon.png
