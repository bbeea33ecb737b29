#!/bin/sh
# Writes the seed corpora into $1/corpus-sql, $1/corpus-images, $1/corpus-thumbs,
# $1/corpus-probe, $1/corpus-files and $1/corpus-mount.
# An image seed's first byte picks the file suffix the fuzz target uses
# (0 .img, 1 .dcm, 2 .tga, 3 .pct, 4 .jpg, 5 .png, 6 .bmp, 7 .gif).
set -eu
out=$1
sql=$out/corpus-sql
img=$out/corpus-images
mkdir -p "$sql" "$img"

n=0
seed_sql() { n=$((n + 1)); printf '\000%s' "$1" > "$sql/seed$n"; }
seed_sql "Select Entry_Code , Description from Books  Where ( entry_Code > 0 ) AND ( PatientCode > 0 ) AND  ( Ucase\$(Description) Like 'A%' )"
seed_sql "Select * From BookContents where (BookCode = 12) AND ( IndexImage = false) "
seed_sql "Update BookContents Set IndexImage = True where ( Entry_Code = 7 ) "
seed_sql "Select [Description], Lcase(Caption) From Books where EntryDate > #12/31/2025# and Note = 'O''Brien''s #1/2/2024# [x]' and Books.True = -true"
seed_sql "Insert Into Visits (Note, VisitDate) Values ('it''s \"quoted\" -- not a comment', #2026-01-05#)"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
seed_img() { # index suffix-byte file
    printf "\\$(printf '%03o' "$2")" > "$img/seed$1"
    cat "$3" >> "$img/seed$1"
}
gm convert -size 12x9 gradient:red-blue "$tmp/a.jpg"
gm convert -size 7x5 xc:green "$tmp/a.png"
gm convert -size 6x4 xc:white "$tmp/a.bmp"
gm convert -size 5x5 xc:black "$tmp/a.gif"
gm convert -size 8x6 gradient:white-black "$tmp/a.pcx"
gm convert -size 8x6 gradient:white-black "$tmp/a.tga"
gm convert -size 8x6 xc:gray "$tmp/a.pict" 2>/dev/null || true
seed_img 1 4 "$tmp/a.jpg"
seed_img 2 5 "$tmp/a.png"
seed_img 3 6 "$tmp/a.bmp"
seed_img 4 7 "$tmp/a.gif"
seed_img 5 0 "$tmp/a.pcx"
seed_img 6 2 "$tmp/a.tga"
[ -s "$tmp/a.pict" ] && seed_img 7 3 "$tmp/a.pict"
if command -v img2dcm >/dev/null 2>&1; then
    gm convert -size 8x6 gradient:white-black "$tmp/g.jpg"
    if img2dcm -q "$tmp/g.jpg" "$tmp/a.dcm"; then
        seed_img 8 1 "$tmp/a.dcm"
        # Found by fuzzing: a TEM marker (FF01) after the JPEG start marker
        # used to send the DICOM decoder into an endless loop.
        soi=$(LC_ALL=C grep -obUaP '\xff\xd8\xff' "$tmp/a.dcm" | head -n 1 | cut -d: -f1)
        if [ -n "$soi" ]; then
            cp "$tmp/a.dcm" "$tmp/b.dcm"
            printf '\001' | dd of="$tmp/b.dcm" bs=1 seek=$((soi + 3)) conv=notrunc status=none
            seed_img 10 1 "$tmp/b.dcm"
        fi
    fi
fi
# Found by fuzzing: a GIF whose decoder produced more pixels than its header declared.
printf 'GIF89a4.1.\000\377b!\371\004\377\377\377\374\000,\000\000\000\000\000\010;\000A\001\000' > "$tmp/b.gif"
seed_img 9 7 "$tmp/b.gif"
# An empty logical screen with one wide frame: each dimension must be guarded.
echo 'B0dJRjg5YQAAACIA/2Ih+QT////8ACwAAAAAADsIAEEBAA==' | base64 -d > "$img/seed11"
# Found by fuzzing: the same named .gif without its signature kept Qt's GIF
# reader busy for over ten seconds; a reader is not given a file whose
# signature says it is not its format.
echo 'B0dLRjg5YQAAACIA/2Ih+QT////8ACwAAAAAADsIAEEBAA==' | base64 -d > "$img/seed13"
# 141 bytes claiming 65500 x 65500 pixels: a thumbnail of it once took 3.8 s.
claiming='/9j/2wBDAP//////////////////////////////////////////////////////////////////////'
claiming=$claiming'////////////////wAALCP/c/9wBAREA/8QAFAABAAAAAAAAAAAAAAAAAAAAAP/EABQQAQAAAAAAAAAA'
claiming=$claiming'AAAAAAAAAAD/2gAIAQEAAD8AP//Z'
printf '\004' > "$img/seed12"
echo "$claiming" | base64 -d >> "$img/seed12"

# Thumbnails read reduced (JPEG, WebP, TIFF): the files as they are.
thumbs=$out/corpus-thumbs
mkdir -p "$thumbs"
echo "$claiming" | base64 -d > "$thumbs/claiming-65500"
cp "$tmp/a.jpg" "$thumbs/gradient.jpg"
gm convert -size 40x30 gradient:red-blue -interlace Line "$tmp/p.jpg" && cp "$tmp/p.jpg" "$thumbs/progressive.jpg"
gm convert -size 40x30 gradient:white-black -colorspace Gray "$tmp/g.tif" && cp "$tmp/g.tif" "$thumbs/grey.tif"
gm convert -size 40x30 xc:orange "$tmp/o.webp" 2>/dev/null && cp "$tmp/o.webp" "$thumbs/orange.webp"

# Checks before a file is shown or imported: the first byte picks the suffix
# (0 none, 1 .jpg, 2 .png, 3 .gif, 4 .bmp, 5 .webp, 6 .heic, 7 .mp4, 8 .avi,
# 9 .mkv, 10 .mts, 11 .pdf, 12 .dcm, 13 .doc); the rest is the file. Whole
# files, then hostile ones of our own: lengths that claim gigabytes, boxes
# larger than their parents, millions of pixels claimed by a few bytes.
probe=$out/corpus-probe
mkdir -p "$probe"
seed_probe() { # name selector-byte file
    printf "\\$(printf '%03o' "$2")" > "$probe/$1"
    cat "$3" >> "$probe/$1"
}
seed_probe_bytes() { # name selector-byte printf-format
    printf "\\$(printf '%03o' "$2")" > "$probe/$1"
    printf "$3" >> "$probe/$1"
}
cp "$tmp/a.jpg" "$tmp/probe.jpg"
seed_probe jpeg 1 "$tmp/probe.jpg"
head -c 200 "$tmp/probe.jpg" > "$tmp/cut.jpg"
seed_probe jpeg-cut 1 "$tmp/cut.jpg"
seed_probe png 2 "$tmp/a.png"
# IHDR claiming 60000 x 60000, then a chunk claiming 2 GB.
echo 'iVBORw0KGgoAAAANSUhEUgAA6mAAAOpgCAIAAAAPsOIVAAAADElEQVR4nGNgoAwAAABAAAG3NHzvAAAAAElFTkSuQmCC' | base64 -d > "$tmp/claims.png"
seed_probe png-claims 0 "$tmp/claims.png"
head -c 33 "$tmp/claims.png" > "$tmp/huge-chunk.png"
printf '\177\377\377\377IDAT' >> "$tmp/huge-chunk.png"
seed_probe png-huge-chunk 2 "$tmp/huge-chunk.png"
# RIFF and Matroska lengths past the end; an all-ones (unknown) segment size.
seed_probe_bytes riff-4gb 8 'RIFF\360\377\377\377AVI LIST\004\000\000\000hdrl'
seed_probe_bytes mkv-huge 9 '\032\105\337\243\203B\206\201\030\123\200\147\001\000\377\377\377\377\377\377'
seed_probe_bytes mkv-unknown 0 '\032\105\337\243\200\030\123\200\147\001\377\377\377\377\377\377\377\037\103\266\165'
seed_probe_bytes pdf-cut 11 '%%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n'
# ISO media: a 4 GB ftyp, a 64-bit size near 2^63, a track larger than its
# movie, a box of size 0 running to the end, and a crowd of empty boxes.
seed_probe_bytes mp4-ftyp-4gb 7 '\377\377\377\360ftypisom\000\000\002\000isomiso2mp41'
seed_probe_bytes mp4-largesize 0 '\000\000\000\030ftypisom\000\000\002\000isom\000\000\000\001mdat\177\377\377\377\377\377\377\377'
seed_probe_bytes mp4-trak-overflow 7 '\000\000\000\024ftypisom\000\000\002\000isom\000\000\000\040moov\000\001\000\000trak\000\000\000\020tkhd\000\000\000\000\000\000\000\000\000\000\000\000'
seed_probe_bytes mp4-zero-size 0 '\000\000\000\024ftypisom\000\000\002\000isom\000\000\000\000mdatabcdefgh'
printf '\000\000\000\024ftypisom\000\000\002\000isom' > "$tmp/crowd.mp4"
i=0; while [ $i -lt 2000 ]; do printf '\000\000\000\010free' >> "$tmp/crowd.mp4"; i=$((i + 1)); done
seed_probe mp4-crowd 0 "$tmp/crowd.mp4"
if command -v gst-launch-1.0 >/dev/null 2>&1 \
    && gst-launch-1.0 -q videotestsrc num-buffers=5 ! video/x-raw,width=32,height=24 ! jpegenc ! qtmux \
        ! filesink location="$tmp/clip.mov" >/dev/null 2>&1; then
    seed_probe mov 7 "$tmp/clip.mov"
    head -c 300 "$tmp/clip.mov" > "$tmp/clip-cut.mov"
    seed_probe mov-cut 0 "$tmp/clip-cut.mov"
fi
if command -v heif-enc >/dev/null 2>&1 && heif-enc -q 50 -o "$tmp/p.heic" "$tmp/a.png" >/dev/null 2>&1; then
    seed_probe heic 6 "$tmp/p.heic"
    # Every 'ispe' box made to claim 60000 x 60000 (EA60 hex).
    LC_ALL=C grep -obUa ispe "$tmp/p.heic" | cut -d: -f1 | while read -r at; do
        printf '\000\000\352\140\000\000\352\140' | dd of="$tmp/p.heic" bs=1 seek=$((at + 8)) conv=notrunc status=none
    done
    seed_probe heic-claims 6 "$tmp/p.heic"
    seed_probe_bytes heic-empty 6 ''
fi
if [ -s "$tmp/a.dcm" ]; then
    seed_probe dicom 12 "$tmp/a.dcm"
    head -c 400 "$tmp/a.dcm" > "$tmp/cut.dcm"
    seed_probe dicom-cut 0 "$tmp/cut.dcm"
fi

# File lists: the first byte picks the clipboard type (0 uri-list, 1 GNOME, 2 KDE, 3 text).
files=$out/corpus-files
mkdir -p "$files"
printf '\000file:///srv/x/a%%20b.jpg\r\nfile://localhost/srv/%%C3%%84.bmp\r\n# comment\n' > "$files/seed1"
printf '\001copy\nfile:///home/a/IMG_0001.JPG\nfile:///home/a/%%FF.jpg' > "$files/seed2"
printf '\002cut\nfile://xray-pc/share/a.jpg\nhttps://example.org/x.jpg\nfile:///a?b#c' > "$files/seed3"
# Found by fuzzing: an empty host followed by "//", read as a path that named a machine when written back.
printf '\002cut\nfile:////homeMaGb-c' > "$files/seed4"
# More of the same corpus: the formats the import window lists.
seed_imp() { seed_probe "import$1" "$2" "$3"; }
seed_imp 1 1 "$tmp/a.jpg"
seed_imp 2 2 "$tmp/a.png"
seed_imp 3 3 "$tmp/a.gif"
seed_imp 4 4 "$tmp/a.bmp"
printf '%%PDF-1.4\n1 0 obj<<>>endobj\ntrailer<<>>\n%%%%EOF\n' > "$tmp/a.pdf"
seed_imp 5 11 "$tmp/a.pdf"
# ISO media whose box claims 2^63 bytes, and one whose 64-bit size is smaller than its header.
printf '\000\000\000\030ftypisom\000\000\002\000isommp41\000\000\000\001mdat\177\377\377\377\377\377\377\377' > "$tmp/big.mp4"
seed_imp 6 7 "$tmp/big.mp4"
printf '\000\000\000\020ftypheic\000\000\000\000\000\000\000\001meta\000\000\000\000\000\000\000\004' > "$tmp/small.heic"
seed_imp 7 6 "$tmp/small.heic"
# A PNG chunk of nearly 4 GiB, a bitmap of 16000 x 16000 pixels in 60 bytes,
# a RIFF chunk of 4 GiB, and a Matroska segment of unknown size.
printf '\211PNG\r\n\032\n\377\377\377\360IHDR' > "$tmp/huge.png"
seed_imp 8 2 "$tmp/huge.png"
printf 'BM\000\000\000\000\000\000\000\000\066\000\000\000\050\000\000\000\200\076\000\000\200\076\000\000\001\000\030\000\000\000\000\000\000\000\000\000' > "$tmp/huge.bmp"
seed_imp 9 4 "$tmp/huge.bmp"
printf 'RIFF\377\377\377\377AVI LIST\377\377\377\377' > "$tmp/huge.avi"
seed_imp 10 8 "$tmp/huge.avi"
printf '\032\105\337\243\203\102\206\201\030\123\200\147\001\377\377\377\377\377\377\377' > "$tmp/open.mkv"
seed_imp 11 9 "$tmp/open.mkv"
# JPEG segments whose lengths are 0 and 1.
printf '\377\330\377\340\000\000\377\333\000\001' > "$tmp/zero.jpg"
seed_imp 12 1 "$tmp/zero.jpg"

# Mounts: a plain one, and ones whose grid, cells and slot count claim far
# more than a layout holds.
mnt=$out/corpus-mount
mkdir -p "$mnt"
printf '{"kind":"tovradocs.mount","version":1,"name":"2 x 2","grid":[8,6],"slots":[{"cell":[0,0,4,3],"teeth":[1816,4846],"entry":12},{"cell":[4,0,4,3],"teeth":[13],"label":"x","entry":0}]}' > "$mnt/seed1"
printf '{"kind":"tovradocs.mount","version":1,"grid":[4294967296,3],"slots":[{"cell":[0,0,1,1]}]}' > "$mnt/seed2"
printf '{"kind":"tovradocs.mount","version":1,"grid":[4,3],"slots":[{"cell":[2147483647,2147483647,2147483647,2147483647]}]}' > "$mnt/seed3"
printf '{"kind":"tovradocs.mount","version":1,"grid":[200,200],"slots":[' > "$mnt/seed4"
i=0; while [ $i -lt 70 ]; do printf '{"cell":[0,0,1,1]},' >> "$mnt/seed4"; i=$((i + 1)); done
printf '{"cell":[0,0,1,1]}]}' >> "$mnt/seed4"
printf '{"kind":"tovradocs.mount","version":1,"grid":[4,3],"slots":[{"cell":[0,0,1,1],"teeth":[1e308,-1,0.5],"entry":-5}]}' > "$mnt/seed5"
exit 0
