#!/bin/sh
# Makes quillmarrow.ico, the programs' Windows icon, from the icons in ../icons: 16, 32 and 48
# pixels, each in 16 and in 256 colours (the colours of Windows' classic icon formats, which
# have a one-bit mask for transparency instead of an alpha channel). Needs Debian's imagemagick
# and icoutils. The icon is kept in the repository, so the build needs neither:
#   resources/windows/make-icon.sh
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
set --
for size in 16 32 48; do
    for colours in 16 256; do
        # A pixel is transparent or opaque; transparent ones are black, as the mask expects.
        # One palette entry stays free for them.
        convert "../icons/quillmarrow-$size.png" -depth 8 -channel A -threshold 50% +channel \
            -background black -alpha background +dither -colors $((colours - 1)) \
            "PNG32:$work/$size-$colours.png"
        set -- "$@" "$work/$size-$colours.png"
    done
done
# icotool stores each image in the fewest bits a pixel that hold its colours: 4 and 8.
icotool --create --output=quillmarrow.ico "$@"
icotool --list quillmarrow.ico
