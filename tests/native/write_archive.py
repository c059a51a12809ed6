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


def y4m(width, height, frames, colour_space="mono", rate="30:1", extra=""):
    """frames: top-down Y planes; chroma planes are filled with 128. extra: more header fields."""
    chroma = {"mono": 0, "420jpeg": 2 * ((width + 1) // 2) * ((height + 1) // 2),
              "420": 2 * ((width + 1) // 2) * ((height + 1) // 2),
              "444": 2 * width * height}[colour_space]
    out = b"YUV4MPEG2 W%d H%d F%s Ip A1:1 C%s%s\n" % (width, height, rate.encode(),
                                                     colour_space.encode(), extra.encode())
    for plane in frames:
        out += b"FRAME\n" + plane + b"\x80" * chroma
    return out


def gif(width, height, frames, delays):
    """An animated GIF of grey frames (top-down bytes), delays in hundredths of a second."""
    return animated_gif(width, height, [dict(pixels=p, delay=d) for p, d in zip(frames, delays)])


def lzw_literals(pixels):
    """GIF picture data as LZW literals with a clear code often enough that codes stay 9 bits
    wide."""
    codes = []
    for start in range(0, len(pixels), 250):
        codes += [256] + list(pixels[start:start + 250])
    codes.append(257)
    bits = sum(code << (9 * i) for i, code in enumerate(codes))
    data = bits.to_bytes((9 * len(codes) + 7) // 8, "little")
    return b"\x08" + b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                              for i in range(0, len(data), 255)) + b"\x00"


def animated_gif(width, height, frames, background=0, trailer=True):
    """A GIF whose palette index v is the grey v. frames: dicts of pixels (indices, top-down,
    covering rect), and optionally delay (hundredths), disposal (0-3), transparent (an index
    that draws nothing), rect (x, y, w, h; the whole canvas by default), control=False for no
    graphic control block, interlaced (pixels are then given in the interlaced row order)."""
    palette = b"".join(bytes([v, v, v]) for v in range(256))
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, background, 0) + palette
    out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for frame in frames:
        transparent = frame.get("transparent")
        if frame.get("control", True):
            flags = frame.get("disposal", 0) << 2 | (transparent is not None)
            out += b"\x21\xf9\x04" + struct.pack("<BHB", flags, frame.get("delay", 10),
                                                   transparent or 0) + b"\x00"
        x, y, w, h = frame.get("rect", (0, 0, width, height))
        out += b"\x2c" + struct.pack("<HHHHB", x, y, w, h, 0x40 if frame.get("interlaced") else 0)
        out += lzw_literals(frame["pixels"])
    return out + (b"\x3b" if trailer else b"")
