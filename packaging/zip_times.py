#!/usr/bin/env python3
"""Gives every entry of a zip the same access and change times as its modification time.

    zip_times.py ZIP

CPack's zip writer stores each file's access and inode change times beside its modification time
(the "UT" extra field). The change time cannot be set on a file, so without this the same files
packed twice differ. The field keeps its size, so no offset in the zip moves.
"""
import struct
import sys

EXTENDED_TIMESTAMP = 0x5455


def same_times(extra):
    """The extra fields with every time of an extended timestamp set to its first one."""
    out = bytearray(extra)
    at = 0
    while at + 4 <= len(out):
        field, size = struct.unpack_from("<HH", out, at)
        data = at + 4
        if field == EXTENDED_TIMESTAMP and size >= 5:
            first = out[data + 1:data + 5]
            for time in range(data + 5, data + size - 3, 4):
                out[time:time + 4] = first
        at = data + size
    return bytes(out)


def central_entries(zip_bytes):
    """Offsets of the central directory's entries, from the end-of-directory record."""
    end = zip_bytes.rfind(b"PK\x05\x06")
    if end < 0:
        raise ValueError("no end of central directory")
    count, _, offset = struct.unpack_from("<HII", zip_bytes, end + 10)
    for _ in range(count):
        if zip_bytes[offset:offset + 4] != b"PK\x01\x02":
            raise ValueError(f"no central directory entry at {offset}")
        name_size, extra_size, comment_size = struct.unpack_from("<HHH", zip_bytes, offset + 28)
        yield offset
        offset += 46 + name_size + extra_size + comment_size


def replace_extra(zip_bytes, extra_at, extra_size):
    end = extra_at + extra_size
    zip_bytes[extra_at:end] = same_times(zip_bytes[extra_at:end])


def main(path):
    zip_bytes = bytearray(open(path, "rb").read())
    for central in list(central_entries(bytes(zip_bytes))):
        name_size, extra_size = struct.unpack_from("<HH", zip_bytes, central + 28)
        replace_extra(zip_bytes, central + 46 + name_size, extra_size)
        (local,) = struct.unpack_from("<I", zip_bytes, central + 42)
        if zip_bytes[local:local + 4] != b"PK\x03\x04":
            raise ValueError(f"no local header at {local}")
        name_size, extra_size = struct.unpack_from("<HH", zip_bytes, local + 26)
        replace_extra(zip_bytes, local + 30 + name_size, extra_size)
    open(path, "wb").write(zip_bytes)


if __name__ == "__main__":
    main(sys.argv[1])
