"""An archive writer for the tests, independent of vektool: Python's struct and zlib modules.

Also writes the picture formats vektool reads (binary PGM, PNG, YUV4MPEG2) from raw bytes.
"""

import struct
import zlib


def zlib_stream(data, level=6, wbits=15, zdict=None):
    """One stream; wbits 8..15 zlib wrapper, 16+ gzip, negative raw deflate."""
    if zdict is not None:
        compressor = zlib.compressobj(level, zlib.DEFLATED, wbits, zdict=zdict)
    else:
        compressor = zlib.compressobj(level, zlib.DEFLATED, wbits)
    return compressor.compress(data) + compressor.flush()


def lay_out(width, height, entries, data, reserved=0, frame_count=None):
    """Header, index of (offset, packed_size) entries, then the data area as given."""
    count = len(entries) if frame_count is None else frame_count
    out = struct.pack("<4I", width, height, count, reserved)
    for offset, size in entries:
        out += struct.pack("<2I", offset, size)
    return out + data


def archive_of(width, height, streams, reserved=0):
    """Streams stored one after another in frame order."""
    entries, data = [], b""
    for stream in streams:
        entries.append((len(data), len(stream)))
        data += stream
    return lay_out(width, height, entries, data, reserved)


def pattern(width, height, seed):
    """A picture (bytes in file order) where every byte depends on position and seed."""
    return bytes(((i * 7 + seed * 31 + (i // width) * 3) % 251) if (i + seed) % 5 else 255
                 for i in range(width * height))


def flip_rows(pixels, width, height):
    rows = [pixels[r * width:(r + 1) * width] for r in range(height)]
    return b"".join(reversed(rows))


def pgm(width, height, top_down, maxval=255):
    if maxval > 255:
        body = b"".join(struct.pack(">H", v * maxval // 255) for v in top_down)
    else:
        body = bytes(v * maxval // 255 for v in top_down)
    return b"P5\n# written by the tests\n%d %d\n%d\n" % (width, height, maxval) + body


def png(width, height, pixels, channels):
    """A PNG of 8-bit grey (1), grey+alpha (2), RGB (3) or RGBA (4) pixels, top row first."""
    colour_type = {1: 0, 2: 4, 3: 2, 4: 6}[channels]
    stride = width * channels
    raw = b"".join(b"\x00" + pixels[r * stride:(r + 1) * stride] for r in range(height))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">2I5B", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def y4m(width, height, frames, colour_space="mono"):
    """frames: top-down Y planes; chroma planes are filled with 128."""
    chroma = {"mono": 0, "420jpeg": 2 * ((width + 1) // 2) * ((height + 1) // 2),
              "444": 2 * width * height}[colour_space]
    out = b"YUV4MPEG2 W%d H%d F30:1 Ip A1:1 C%s\n" % (width, height, colour_space.encode())
    for plane in frames:
        out += b"FRAME\n" + plane + b"\x80" * chroma
    return out
