#!/bin/sh
# Writes the icon seed corpora into $1/corpus-ico, $1/corpus-pe and $1/corpus-ini.
set -eu
out=$1
ico=$out/corpus-ico
pe=$out/corpus-pe
ini=$out/corpus-ini
mkdir -p "$ico" "$pe" "$ini"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf '[Icon Editor]\r\nStatus Bar=1\r\nGrid=2\r\nColors Row1=16777215 14737632 \r\n' > "$ini/seed1"
printf '; c\n[Other]\nx=1\n[icon editor]\nGRID=-1\ndamaged\n[broken\n' > "$ini/seed2"

if command -v gm >/dev/null 2>&1 && command -v icotool >/dev/null 2>&1; then
    gm convert -size 16x16 xc:red "PNG32:$tmp/a16.png"
    gm convert -size 32x32 gradient:white-blue "PNG32:$tmp/a32.png"
    gm convert -size 32x32 xc:green -depth 8 "BMP3:$tmp/a32.bmp"
    icotool -c -o "$ico/multi.ico" "$tmp/a16.png" "$tmp/a32.png"
    icotool -c -o "$ico/png.ico" --raw="$tmp/a32.png"
    icotool -c -b 8 -o "$ico/pal8.ico" "$tmp/a16.png" 2>/dev/null || true
    if command -v x86_64-w64-mingw32-windres >/dev/null 2>&1; then
        printf '1 ICON "%s"\n2 ICON "%s"\n' "$ico/multi.ico" "$ico/png.ico" > "$tmp/i.rc"
        x86_64-w64-mingw32-windres --preprocessor=cpp "$tmp/i.rc" -O coff -o "$tmp/i.o"
        x86_64-w64-mingw32-ld -shared -e 0 -o "$pe/icons.dll" "$tmp/i.o"
        # Mark truncated copies too; readers meet them in the wild.
        head -c 700 "$pe/icons.dll" > "$pe/truncated.dll"
    fi
fi
exit 0
