#!/usr/bin/env python3
"""Checks the resources and the imports of the built tolv.exe: the version record, the
manifest, the program icon and the hand pointer (read with icoutils' wrestool), and that
the program needs no DLL beyond Windows' own (read with the mingw objdump)."""
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

failures = 0


def check(ok, what):
    global failures
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures += 1


def resource(exe, rtype, name=None, raw=True):
    args = ["wrestool", "-x", "--type=%s" % rtype]
    if name is not None:
        args.append("--name=%s" % name)
    if raw:
        args.append("--raw")
    return subprocess.run(args + [exe], check=True, capture_output=True).stdout


def xpm_hotspot():
    """The hotspot the picture's source declares (the fifth and sixth header values)."""
    import os
    import re
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "hand.xpm")
    with open(source) as f:
        text = re.sub(r"/\*.*?\*/", "", f.read(), flags=re.S)
    values = re.findall(r'"([^"]*)"', text)[0].split()
    return (int(values[4]), int(values[5])) if len(values) >= 6 else (0, 0)


def version_strings(data):
    """The StringFileInfo tables of a VS_VERSIONINFO block: {table: {key: value}}."""
    def block(offset):
        length, value_length, kind = struct.unpack_from("<HHH", data, offset)
        key_start = offset + 6
        end = key_start
        while data[end:end + 2] != b"\0\0":
            end += 2
        key = data[key_start:end].decode("utf-16-le")
        value_start = (end + 2 + 3) & ~3
        value_bytes = value_length * (2 if kind == 1 else 1)
        children_start = (value_start + value_bytes + 3) & ~3
        return key, length, value_start, value_bytes, kind, children_start

    def children(start, stop):
        offset = start
        while offset < stop:
            item = block(offset)
            yield offset, item
            if item[1] == 0:
                break
            offset = (offset + item[1] + 3) & ~3

    key, length, value_start, value_bytes, _, children_start = block(0)
    assert key == "VS_VERSION_INFO", key
    fixed = data[value_start:value_start + value_bytes]
    tables, translation = {}, None
    for offset, (child, clen, _, _, _, cstart) in children(children_start, length):
        if child == "StringFileInfo":
            for toff, (table, tlen, _, _, _, tstart) in children(cstart, offset + clen):
                entries = {}
                for _, (name, _, vstart, vbytes, _, _) in children(tstart, toff + tlen):
                    entries[name] = data[vstart:vstart + vbytes].decode("utf-16-le").rstrip("\0")
                tables[table] = entries
        elif child == "VarFileInfo":
            for _, (var, _, vstart, vbytes, _, _) in children(cstart, offset + clen):
                if var == "Translation":
                    translation = struct.unpack_from("<HH", data, vstart)
    return fixed, tables, translation


def main(exe):
    if not shutil.which("wrestool"):
        print("FAIL wrestool (icoutils) is not installed")
        return 1

    fixed, tables, translation = version_strings(resource(exe, 16))
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    check(signature == 0xFEEF04BD, "the version record has its fixed part")
    check((file_ms, file_ls) == (0x00010000, 0), "file version 1.0.0.0")
    check((product_ms, product_ls) == (0x00010000, 0), "product version 1.0.0.0")
    check(list(tables) == ["040904B0"], "one string table, US English with the Unicode code page: %s" % list(tables))
    expected = {"FileVersion": "1.00", "ProductVersion": "1.00", "CompanyName": "Quenmoor",
                "ProductName": "tolv2", "InternalName": "tolv", "OriginalFilename": "tolv.exe"}
    strings = tables.get("040904B0", {})
    for key, value in expected.items():
        check(strings.get(key) == value, "%s is %r (found %r)" % (key, value, strings.get(key)))
    check(translation == (0x0409, 1200), "translation 0409, code page 1200: %s" % (translation,))

    manifest = ET.fromstring(resource(exe, 24, 1))
    ns = {"a": "urn:schemas-microsoft-com:asm.v1"}
    dependencies = manifest.findall(".//a:dependency/a:dependentAssembly/a:assemblyIdentity", ns)
    check(len(dependencies) == 1, "the manifest has one dependency")
    if dependencies:
        d = dependencies[0].attrib
        check(d.get("name") == "Microsoft.Windows.Common-Controls" and d.get("version") == "6.0.0.0"
              and d.get("processorArchitecture") == "x86", "on the version 6 common controls for x86: %s" % d)

    icon = resource(exe, 14, "TOLVANE", raw=False)
    reserved, kind, count = struct.unpack_from("<HHH", icon)
    check(kind == 1 and count == 1, "the program icon has one image")
    width, height, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", icon, 6)
    check((width, height) == (32, 32), "the icon is 32 x 32")
    check(colours == 16 and bits == 4, "the icon has 16 colours (%d, %d bits)" % (colours, bits))
    header_size, dib_width, dib_height = struct.unpack_from("<Iii", icon, offset)
    check(header_size == 40 and dib_width == 32 and dib_height == 64, "its image is a 32 x 32 DIB with its mask")

    cursor = resource(exe, 12, "HAND", raw=False)
    _, kind, count = struct.unpack_from("<HHH", cursor)
    width, height, _, _, hot_x, hot_y, size, offset = struct.unpack_from("<BBBBHHII", cursor, 6)
    _, dib_width, dib_height, _, dib_bits = struct.unpack_from("<IiiHH", cursor, offset)
    check(kind == 2 and (width, height) == (32, 32), "the hand pointer is a 32 x 32 cursor")
    check(dib_bits == 1 and (dib_width, dib_height) == (32, 64), "in two colours (%d bits a pixel)" % dib_bits)
    check((hot_x, hot_y) == xpm_hotspot(), "with the hotspot of hand.xpm (%d, %d)" % (hot_x, hot_y))

    objdump = shutil.which("i686-w64-mingw32-objdump")
    if objdump:
        dump = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
        dlls = sorted({line.split(":", 1)[1].strip().lower() for line in dump.splitlines() if "DLL Name:" in line})
        system = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
                  "oleacc.dll", "oleaut32.dll", "shell32.dll", "user32.dll"}
        check(set(dlls) <= system, "only Windows' own DLLs are imported: %s" % ", ".join(dlls))
        check("file format pei-i386" in dump, "the program is a 32-bit i386 PE file")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
