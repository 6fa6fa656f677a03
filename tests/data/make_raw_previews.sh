#!/bin/sh
# Makes formats/preview.cr3 and formats/preview.raf: the corpus CR3 and the
# complete RAF with a real 320x240 JPEG preview in place of the placeholder
# text (CR3: the PRVW box; RAF: the JPEG the header points at, keeping the
# camera's EXIF block), every size and offset after it moved to match.
# Needs ImageMagick 6 ("convert", or IM=/path) and python3. Run from anywhere.
set -eu
cd "$(dirname "$0")"
IM=${IM:-convert}
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
"$IM" -size 320x240 -seed 11 plasma:fractal -strip -quality 85 "$TMP/preview.jpg"
python3 - "$TMP/preview.jpg" <<'EOF'
import struct, sys
jpeg = open(sys.argv[1], 'rb').read()

# CR3: top level ftyp, moov, uuid (XMP), uuid (PRVW), mdat. The CTBO box in
# moov lists the offsets of the last three; the co64 boxes point into mdat.
d = bytearray(open('corpus/CanonRaw.cr3', 'rb').read())
at = d.find(bytes.fromhex('eaf42b5e1c984b88b9fbb7dc406e4d16')) - 8
old = struct.unpack('>I', d[at:at + 4])[0]
prvw = b'PRVW' + struct.pack('>IHHHHI', 0, 1, 320, 240, 1, len(jpeg)) + jpeg
prvw = struct.pack('>I', 4 + len(prvw)) + prvw
box = d[at + 4:at + 32] + prvw
box = struct.pack('>I', 4 + len(box)) + box
delta = len(box) - old
mdat = at + old
d[at:mdat] = box
ctbo = d.find(b'CTBO')
for i in range(struct.unpack('>I', d[ctbo + 4:ctbo + 8])[0]):
    e = ctbo + 8 + 20 * i
    index, offset, size = struct.unpack('>IQQ', d[e:e + 20])
    if offset == at:
        size = len(box)
    elif offset >= mdat:
        offset += delta
    d[e:e + 20] = struct.pack('>IQQ', index, offset, size)
c = d.find(b'co64')
while c >= 0 and c < at:
    for i in range(struct.unpack('>I', d[c + 8:c + 12])[0]):
        e = c + 12 + 8 * i
        d[e:e + 8] = struct.pack('>Q', struct.unpack('>Q', d[e:e + 8])[0] + delta)
    c = d.find(b'co64', c + 4)
open('formats/preview.cr3', 'wb').write(d)

# RAF: at 84 the big-endian offset and length of the JPEG, the CFA header and
# the CFA data. The new JPEG keeps the old one's EXIF block (APP1).
d = bytearray(open('formats/complete.raf', 'rb').read())
off, length, cfah, cfahlen, cfa, cfalen = struct.unpack('>6I', d[84:108])
old = d[off:off + length]
app1 = old[2:4 + struct.unpack('>H', old[4:6])[0]]
new = b'\xff\xd8' + app1 + jpeg[2:]
delta = len(new) - length
delta += (4 - (off + len(new) + (cfah - off - length)) % 4) % 4
gap = d[off + length:cfah]
rest = d[cfah:]
d = d[:off] + new + gap + b'\0' * (delta - (len(new) - length)) + rest
d[84:108] = struct.pack('>6I', off, len(new), cfah + delta, cfahlen, cfa + delta, cfalen)
# A second CFA header and data (a two-sensor camera) are listed at 120 and 128.
for at in (120, 128):
    value = struct.unpack('>I', d[at:at + 4])[0]
    if value >= cfah:
        d[at:at + 4] = struct.pack('>I', value + delta)
open('formats/preview.raf', 'wb').write(d)
EOF
