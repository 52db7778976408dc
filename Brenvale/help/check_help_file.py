#!/usr/bin/env python3
"""Checks that a compiled HTML help file holds every help topic a header names.

Reads the file's directory (the ITSF header, its ITSP directory header and the PMGL
listing chunks) and looks for "/<topic>" with content for every L"....txt" constant of
the header; with page folders, each topic's length must also be the size of its page in the first
of them that holds it (a file compiled from other pages fails). Refuses a file whose directory
cannot be read.
Usage: check_help_file.py HELP_FILE TOPICS_HEADER [PAGE_FOLDER...]
"""
import os
import re
import struct
import sys


class ChmError(Exception):
    pass


def _encint(data, pos, end):
    """A variable-length number: 7 bits a byte, most significant first, high bit = more."""
    value = 0
    while True:
        if pos >= end:
            raise ChmError("number runs past its chunk")
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def read_directory(data):
    """The entries of the file's directory: {name: (section, offset, length)}."""
    if len(data) < 0x58 or data[:4] != b"ITSF":
        raise ChmError("not a compiled help file (no ITSF header)")
    version, = struct.unpack_from("<I", data, 4)
    if version not in (2, 3):
        raise ChmError("unknown ITSF version %d" % version)
    dir_offset, dir_length = struct.unpack_from("<QQ", data, 0x48)
    if dir_offset + 0x54 > len(data) or dir_offset + dir_length > len(data):
        raise ChmError("directory lies outside the file")
    if data[dir_offset:dir_offset + 4] != b"ITSP":
        raise ChmError("no ITSP directory header")
    header_length, = struct.unpack_from("<I", data, dir_offset + 8)
    chunk_size, = struct.unpack_from("<I", data, dir_offset + 0x10)
    chunk_count, = struct.unpack_from("<I", data, dir_offset + 0x2C)
    if chunk_size < 0x14 or dir_offset + header_length + chunk_size * chunk_count > len(data):
        raise ChmError("directory chunks lie outside the file")
    entries = {}
    for index in range(chunk_count):
        start = dir_offset + header_length + index * chunk_size
        if data[start:start + 4] != b"PMGL":
            continue  # index chunks (PMGI) only speed up look-ups
        free, = struct.unpack_from("<I", data, start + 4)
        end = start + chunk_size - free
        if free > chunk_size - 0x14:
            raise ChmError("listing chunk %d has a bad length" % index)
        pos = start + 0x14
        while pos < end:
            name_length, pos = _encint(data, pos, end)
            if pos + name_length > end:
                raise ChmError("name runs past its chunk")
            name = data[pos:pos + name_length].decode("utf-8")
            pos += name_length
            section, pos = _encint(data, pos, end)
            offset, pos = _encint(data, pos, end)
            length, pos = _encint(data, pos, end)
            entries[name] = (section, offset, length)
    return entries


def header_topics(text):
    return re.findall(r'L"([^"\\]+\.txt)"', text)


def page_size(folders, topic):
    """The size of the topic's page in the first folder that holds it; None without one."""
    for folder in folders:
        path = os.path.join(folder, topic)
        if os.path.isfile(path):
            return os.path.getsize(path)
    return None


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    with open(argv[2], encoding="utf-8") as f:
        topics = header_topics(f.read())
    if not topics:
        print("no topics found in %s" % argv[2], file=sys.stderr)
        return 1
    try:
        entries = read_directory(data)
    except (ChmError, struct.error, UnicodeDecodeError) as e:
        print("%s: %s" % (argv[1], e), file=sys.stderr)
        return 1
    folders = argv[3:]
    failed = 0
    for topic in topics:
        entry = entries.get("/" + topic)
        if entry is None:
            print("missing topic: %s" % topic, file=sys.stderr)
            failed = 1
        elif entry[0] != 1 or entry[2] == 0:
            print("topic without content: %s" % topic, file=sys.stderr)
            failed = 1
        elif folders and entry[2] != page_size(folders, topic):
            print("topic %s is not its page in %s" % (topic, " ".join(folders)), file=sys.stderr)
            failed = 1
    if not failed:
        print("%d topics found in %s" % (len(topics), argv[1]))
    return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv))
