#!/usr/bin/env python3
"""Checks the resources of tolvane-setup.exe: a version record of its own that names the
product as tolv.exe's does, and the program icon (the same picture as tolv.exe's)."""
import struct
import sys

import check_resources
from check_resources import check, resource, version_strings


def icon_images(data):
    """The images of an .ico file, as (width, height, bits, DIB bytes)."""
    _, _, count = struct.unpack_from("<HHH", data)
    images = []
    for i in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        images.append((width or 256, height or 256, bits, data[offset:offset + size]))
    return images


def main(setup, program):
    fixed, tables, translation = version_strings(resource(setup, 16))
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    check(signature == 0xFEEF04BD, "the setup has a version record")
    check((file_ms, file_ls, product_ms, product_ls) == (0x00010000, 0, 0x00010000, 0), "version 1.0.0.0")
    # Windows reads the table's name in either case; NSIS writes it in lower case.
    tables = {name.upper(): entries for name, entries in tables.items()}
    strings = tables.get("040904B0", {})
    check(list(tables) == ["040904B0"], "one string table, US English, Unicode: %s" % list(tables))
    check(translation == (0x0409, 1200), "translation 0409, code page 1200: %s" % (translation,))
    _, program_tables, _ = version_strings(resource(program, 16))
    program_strings = program_tables.get("040904B0", {})
    for key in ("ProductName", "ProductVersion", "CompanyName", "FileVersion"):
        check(strings.get(key) == program_strings.get(key) and strings.get(key),
              "%s %r as tolv.exe's (%r)" % (key, strings.get(key), program_strings.get(key)))
    check(strings.get("OriginalFilename") == "tolvane-setup.exe", "OriginalFilename tolvane-setup.exe")
    check(strings.get("FileDescription") == "Tolvane Setup", "FileDescription \"Tolvane Setup\"")

    program_icon = icon_images(resource(program, 14, "TOLVANE", raw=False))
    setup_icon = icon_images(resource(setup, 14, raw=False))
    check(len(setup_icon) == 1, "the setup's icon has one image (%d)" % len(setup_icon))
    check(setup_icon == program_icon, "the picture of tolv.exe's icon, 32 x 32 in 16 colours")
    return 1 if check_resources.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
