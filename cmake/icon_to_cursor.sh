#!/bin/sh
# Turns a one-image .ico file into a .cur file with the given hotspot: the directory's type
# becomes 2 and the entry's planes and bit-count fields become the hotspot's x and y.
# Usage: icon_to_cursor.sh IN.ico OUT.cur X Y
set -eu
in=$1 out=$2 x=$3 y=$4
cp "$in" "$out"
le16() { printf "\\$(printf '%03o' $(($1 & 255)))\\$(printf '%03o' $(($1 >> 8 & 255)))"; }
le16 2 | dd of="$out" bs=1 seek=2 conv=notrunc status=none
le16 "$x" | dd of="$out" bs=1 seek=10 conv=notrunc status=none
le16 "$y" | dd of="$out" bs=1 seek=12 conv=notrunc status=none
