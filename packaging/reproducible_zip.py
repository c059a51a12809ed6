#!/usr/bin/env python3
"""Makes a zip written by CPack the same bytes for the same files on every machine.

    reproducible_zip.py ZIP

- Entries in the order of their names: CPack adds them in the order the file system lists the
  staging folder, which differs between file systems (and between ext4 file systems).
- Each entry's access and inode change times equal to its modification time: CPack's zip writer
  stores all three (the "UT" extra field), and the change time cannot be set on a file.

Only headers change and no block changes size, so the compressed data stays as it is.
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


def with_same_times(record, extra_at, extra_size):
    record = bytearray(record)
    record[extra_at:extra_at + extra_size] = same_times(record[extra_at:extra_at + extra_size])
    return record


def read_entries(zip_bytes):
    """(name, central record, local block) per entry, and the end-of-directory record."""
    end = zip_bytes.rfind(b"PK\x05\x06")
    if end < 0:
        raise ValueError("no end of central directory")
    count, _, directory = struct.unpack_from("<HII", zip_bytes, end + 10)
    centrals, at = [], directory
    for _ in range(count):
        if zip_bytes[at:at + 4] != b"PK\x01\x02":
            raise ValueError(f"no central directory entry at {at}")
        name_size, extra_size, comment_size = struct.unpack_from("<HHH", zip_bytes, at + 28)
        size = 46 + name_size + extra_size + comment_size
        centrals.append(with_same_times(zip_bytes[at:at + size], 46 + name_size, extra_size))
        at += size
    # A local block (header, data, data descriptor) runs up to the next one in the file.
    starts = sorted(struct.unpack_from("<I", c, 42)[0] for c in centrals) + [directory]
    entries = []
    for central in centrals:
        start = struct.unpack_from("<I", central, 42)[0]
        block = zip_bytes[start:starts[starts.index(start) + 1]]
        if block[:4] != b"PK\x03\x04":
            raise ValueError(f"no local header at {start}")
        name_size, extra_size = struct.unpack_from("<HH", block, 26)
        name = bytes(block[30:30 + name_size])
        entries.append((name, central, with_same_times(block, 30 + name_size, extra_size)))
    return entries, zip_bytes[at:]


def main(path):
    entries, end_record = read_entries(open(path, "rb").read())
    blocks, directory = bytearray(), bytearray()
    for name, central, block in sorted(entries, key=lambda entry: entry[0]):
        struct.pack_into("<I", central, 42, len(blocks))
        blocks += block
        directory += central
    open(path, "wb").write(blocks + directory + end_record)


if __name__ == "__main__":
    main(sys.argv[1])
