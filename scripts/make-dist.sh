#!/usr/bin/env bash
# Packs what a Windows 95/98 user is given, exactly the files named, as a zip
# and as a 1.44 MB FAT12 floppy image (long file names as Windows 95/98 write
# them, beside their 8.3 names). Run by the Windows build.
# Usage: make-dist.sh ZIP IMAGE FILE...
set -euo pipefail
zip=$1 image=$2
shift 2
rm -f "$zip" "$image"
zip -q -X -j "$zip" "$@"
mformat -i "$image" -C -f 1440 -v TOLVANE ::
mcopy -i "$image" -m "$@" ::
