#!/usr/bin/env python3
"""MP4 files for the tests, read and changed independently of the layer under test.

  layout FILE          the top-level boxes, the movie's time scale and duration, then per track
                       of the first moov its id, handler, chunk-offset box, 'chap' references
                       (ids by ",", boxes by ";") and media duration/time scale; "fault: ..." for a box that does not fit
  media FILE           offset, size and SHA-1 of every top-level mdat
  co64 IN OUT          IN (moov after mdat) with its chunk offsets in 64 bits
  big IN OUT BYTES     IN (moov after mdat) with a sparse box of BYTES bytes ('junk', 64-bit
                       size) before its moov
  timescale IN OUT N   IN (moov after mdat) with movie time scale N, every duration in movie
                       units (movie, track headers, edit lists) converted
  soundscale IN OUT N  IN with its sound track's media time scale set to N (nothing else)
  toend IN OUT         IN with the size of its last box (32-bit header) written as 0, "to the
                       end of the file"
  freetail IN OUT BYTES  IN with a sparse 'free' box of BYTES bytes (64-bit size) after its end
  chapref IN OUT       IN with its first sound track's chapter reference naming its first video
                       track (a picture chapter track)
"""
import hashlib
import struct
import sys

CONTAINERS = {b'moov', b'trak', b'mdia', b'minf', b'stbl', b'edts', b'tref', b'dinf'}


def top_level(f):
    f.seek(0, 2)
    end = f.tell()
    pos = 0
    while pos + 8 <= end:
        f.seek(pos)
        size, kind = struct.unpack('>I4s', f.read(8))
        header = 8
        if size == 1:
            size = struct.unpack('>Q', f.read(8))[0]
            header = 16
        elif size == 0:
            size = end - pos
        fits = header <= size and pos + size <= end
        yield pos, size, header, kind, fits
        if not fits:
            return
        pos += size


def parse(data):
    out = []
    pos = 0
    while pos + 8 <= len(data):
        size, kind = struct.unpack('>I4s', data[pos:pos + 8])
        header = 8
        if size == 1:
            size = struct.unpack('>Q', data[pos + 8:pos + 16])[0]
            header = 16
        if size < header or pos + size > len(data):
            raise ValueError('box %r does not fit' % kind)
        body = data[pos + header:pos + size]
        out.append([kind, parse(body) if kind in CONTAINERS else body])
        pos += size
    return out


def serialize(tree):
    out = b''
    for kind, body in tree:
        payload = serialize(body) if isinstance(body, list) else body
        out += struct.pack('>I4s', 8 + len(payload), kind) + payload
    return out


def find(tree, kind):
    return [b for k, b in tree if k == kind]


def read_moov(path):
    with open(path, 'rb') as f:
        for pos, size, header, kind, fits in top_level(f):
            if kind == b'moov' and fits:
                f.seek(pos + header)
                return pos, size, parse(f.read(size - header))
    raise ValueError('no moov')


def layout(path):
    with open(path, 'rb') as f:
        names = []
        for pos, size, header, kind, fits in top_level(f):
            names.append(kind.decode('latin-1'))
            if not fits and kind not in (b'free', b'skip'):
                print('fault: %s at %d does not fit' % (kind, pos))
        print('top ' + ' '.join(names))
    _, _, moov = read_moov(path)
    mvhd = find(moov, b'mvhd')[0]
    scale, duration = struct.unpack('>IQ', mvhd[20:32]) if mvhd[0] == 1 else struct.unpack('>II', mvhd[12:20])
    print('movie timescale=%d duration=%d' % (scale, duration))
    for trak in find(moov, b'trak'):
        tkhd = find(trak, b'tkhd')[0]
        track_id = struct.unpack('>I', tkhd[20:24] if tkhd[0] == 1 else tkhd[12:16])[0]
        mdia = find(trak, b'mdia')[0]
        handler = find(mdia, b'hdlr')[0][8:12].decode('latin-1')
        mdhd = find(mdia, b'mdhd')[0]
        scale, length = struct.unpack('>IQ', mdhd[20:32]) if mdhd[0] == 1 else struct.unpack('>II', mdhd[12:20])
        stbl = find(find(mdia, b'minf')[0], b'stbl')[0]
        offsets = 'co64' if find(stbl, b'co64') else 'stco'
        chap = []  # one entry per 'chap' box: its ids joined by ",", the boxes by ";"
        for tref in find(trak, b'tref'):
            for ref in find(tref, b'chap'):
                chap.append(','.join(map(str, struct.unpack('>%dI' % (len(ref) // 4), ref))))
        print('track %d %s %s chap=%s media=%d/%d' % (track_id, handler, offsets, ';'.join(chap), length, scale))


def media(path):
    with open(path, 'rb') as f:
        for pos, size, header, kind, fits in top_level(f):
            if kind == b'mdat':
                f.seek(pos)
                digest = hashlib.sha1()
                left = size
                while left:
                    chunk = f.read(min(left, 1 << 20))
                    digest.update(chunk)
                    left -= len(chunk)
                print('mdat %d %d %s' % (pos, size, digest.hexdigest()))


def rewrite(src, dst, change, gap=0):
    """Copies src to dst with its (last) moov replaced by change(tree), a gap box before it."""
    moov_pos, moov_size, tree = read_moov(src)
    with open(src, 'rb') as f:
        head = f.read(moov_pos)
        f.seek(moov_pos + moov_size)
        rest = f.read()
    new_moov = serialize([[b'moov', change(tree)]])
    with open(dst, 'wb') as out:
        out.write(head)
        if gap:
            out.write(struct.pack('>I4sQ', 1, b'junk', gap))
            out.seek(gap - 16, 1)
        out.write(new_moov)
        out.write(rest)


def chapter_reference(tree):
    traks = [body for kind, body in tree if kind == b'trak']
    def handler(trak):
        mdia = find(trak, b'mdia')[0]
        return find(mdia, b'hdlr')[0][8:12]
    def track_id(trak):
        tkhd = find(trak, b'tkhd')[0]
        return struct.unpack('>I', tkhd[20:24] if tkhd[0] == 1 else tkhd[12:16])[0]
    picture = [t for t in traks if handler(t) == b'vide'][0]
    sound = [t for t in traks if handler(t) == b'soun'][0]
    at = [i for i, item in enumerate(sound) if item[0] == b'mdia'][0]
    sound.insert(at, [b'tref', [[b'chap', struct.pack('>I', track_id(picture))]]])
    return tree


def to_co64(tree):
    for kind, body in tree:
        if isinstance(body, list):
            to_co64(body)
    for item in tree:
        if item[0] == b'stco':
            count = struct.unpack('>I', item[1][4:8])[0]
            offsets = struct.unpack('>%dI' % count, item[1][8:8 + 4 * count])
            item[0] = b'co64'
            item[1] = item[1][:8] + struct.pack('>%dQ' % count, *offsets)
    return tree


def rescale(value, old, new):
    return value * new // old


def movie_timescale(tree, new):
    mvhd = find(tree, b'mvhd')[0]
    assert mvhd[0] == 0
    old, duration = struct.unpack('>II', mvhd[12:20])
    for item in tree:
        if item[0] == b'mvhd':
            item[1] = mvhd[:12] + struct.pack('>II', new, rescale(duration, old, new)) + mvhd[20:]
    for trak in find(tree, b'trak'):
        for item in trak:
            if item[0] == b'tkhd':
                body = item[1]
                assert body[0] == 0
                item[1] = body[:20] + struct.pack('>I', rescale(struct.unpack('>I', body[20:24])[0], old, new)) + body[24:]
        for edts in find(trak, b'edts'):
            for item in edts:
                if item[0] == b'elst':
                    body = bytearray(item[1])
                    assert body[0] == 0
                    for i in range(struct.unpack('>I', body[4:8])[0]):
                        at = 8 + 12 * i
                        body[at:at + 4] = struct.pack('>I', rescale(struct.unpack('>I', body[at:at + 4])[0], old, new))
                    item[1] = bytes(body)
    return tree


def sound_scale(tree, new):
    for trak in find(tree, b'trak'):
        mdia = find(trak, b'mdia')[0]
        if find(mdia, b'hdlr')[0][8:12] == b'soun':
            for item in mdia:
                if item[0] == b'mdhd':
                    at = 20 if item[1][0] == 1 else 12
                    item[1] = item[1][:at] + struct.pack('>I', new) + item[1][at + 4:]
            break
    return tree


def main():
    command = sys.argv[1]
    if command == 'layout':
        layout(sys.argv[2])
    elif command == 'media':
        media(sys.argv[2])
    elif command == 'co64':
        rewrite(sys.argv[2], sys.argv[3], to_co64)
    elif command == 'big':
        rewrite(sys.argv[2], sys.argv[3], lambda tree: tree, int(sys.argv[4]))
    elif command == 'strip':
        rewrite(sys.argv[2], sys.argv[3], lambda tree: [b for b in tree if b[0] != b'udta'])
    elif command == 'timescale':
        rewrite(sys.argv[2], sys.argv[3], lambda tree: movie_timescale(tree, int(sys.argv[4])))
    elif command == 'soundscale':
        rewrite(sys.argv[2], sys.argv[3], lambda tree: sound_scale(tree, int(sys.argv[4])))
    elif command == 'freetail':
        size = int(sys.argv[4])
        with open(sys.argv[2], 'rb') as f:
            data = f.read()
        with open(sys.argv[3], 'wb') as out:
            out.write(data)
            out.write(struct.pack('>I4sQ', 1, b'free', size))
            out.truncate(len(data) + size)
    elif command == 'chapref':
        rewrite(sys.argv[2], sys.argv[3], chapter_reference)
    elif command == 'toend':
        with open(sys.argv[2], 'rb') as f:
            data = bytearray(f.read())
            last = [pos for pos, size, header, kind, fits in top_level(f)][-1]
        assert struct.unpack('>I', data[last:last + 4])[0] != 1
        data[last:last + 4] = b'\0\0\0\0'
        with open(sys.argv[3], 'wb') as out:
            out.write(data)
    else:
        raise SystemExit(__doc__)


if __name__ == '__main__':
    main()
