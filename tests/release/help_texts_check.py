#!/usr/bin/env python3
"""help_texts_check.py SOURCE_DIR BUILD_DIR: the built help libraries say what help/<Language>_help.rc says.

For every language: the string numbers equal English_help.rc's; each text read back from the DLL's string table
(UTF-16) equals the source text (UTF-8, "" for a quote), so a wrong code page or a broken escape shows; no line
still carries the English text with the "// en" marker; placeholders (%d, %s, ...) match English in kind and order;
no text is empty (an empty string is left out of the library, so the window would fall back to English). The window's
labels (option/ui_texts.cpp, the English fallbacks) and the on-screen display's (osd/osd_core.cpp) are in English_help.rc
with the same texts, so every library holds every label number too.
"""
import re
import struct
import sys
from pathlib import Path

RT_STRING = 6
LABEL = re.compile(r'^\s*\{(\d+), "((?:[^"\\]|\\.)*)"\},$', re.M)
LINE = re.compile(r'^\s*(\d+)\s+"((?:[^"]|"")*)"\s*(//.*)?$')


def rc_texts(path):
    texts, markers = {}, []
    for line in path.read_text(encoding="utf-8").splitlines():
        m = LINE.match(line)
        if m:
            number = int(m.group(1))
            if number in texts:
                raise ValueError(f"{path.name}: {number} twice")
            texts[number] = m.group(2).replace('""', '"')
            if m.group(3) and m.group(3).replace(" ", "") == "//en":
                markers.append(number)
    return texts, markers


def dll_strings(path):
    """The string table of a PE file, read from its resource directory (type 6, blocks of 16 counted strings)."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    sections = []
    for i in range(sections_count):
        s = optional + optional_size + 40 * i
        vsize, va, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, rsize), raw))

    def offset(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"{path.name}: address {rva:#x} outside every section")

    base = offset(resource_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield name, target

    strings = {}
    for type_id, type_dir in entries(0):
        if type_id != RT_STRING:
            continue
        for block, block_dir in entries(type_dir & 0x7FFFFFFF):
            for _language, leaf in entries(block_dir & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                at, end = offset(rva), offset(rva) + size
                for index in range(16):
                    length = struct.unpack_from("<H", data, at)[0]
                    at += 2
                    if length:
                        strings[(block - 1) * 16 + index] = data[at:at + 2 * length].decode("utf-16-le")
                    at += 2 * length
                if at > end:
                    raise ValueError(f"{path.name}: string block {block} runs past its end")
    return strings


def placeholders(text):
    return re.findall(r"%[-+ #0]*\d*(?:\.\d+)?[a-zA-Z]", text.replace("%%", ""))


def main():
    source, build = Path(sys.argv[1]), Path(sys.argv[2])
    english, _ = rc_texts(source / "help" / "English_help.rc")
    failures = 0

    def fail(message):
        nonlocal failures
        failures += 1
        print("FAIL " + message)

    labels = {int(n): t.replace('\\"', '"') for n, t in LABEL.findall((source / "option" / "ui_texts.cpp").read_text())}
    if not labels:
        fail("no labels read from option/ui_texts.cpp")
    for number, text in sorted(labels.items()):
        if english.get(number) != text:
            fail(f"label {number}: English_help.rc has {english.get(number)!r}, the window's fallback {text!r}")
    for number in sorted(n for n in english if 3300 <= n <= 3499 and n not in labels):
        fail(f"label {number}: in English_help.rc but not a label of the window")
    # The on-screen display's texts (osd/osd_core.cpp), 3500..3529, the same way.
    osd = {int(n): t.replace('\\"', '"') for n, t in LABEL.findall((source / "osd" / "osd_core.cpp").read_text())}
    if not osd:
        fail("no labels read from osd/osd_core.cpp")
    for number, text in sorted(osd.items()):
        if english.get(number) != text:
            fail(f"display text {number}: English_help.rc has {english.get(number)!r}, the display's {text!r}")
    for number in sorted(n for n in english if 3500 <= n <= 3529 and n not in osd):
        fail(f"display text {number}: in English_help.rc but not a text of the display")

    rc_files = sorted((source / "help").glob("*_help.rc"))
    for rc in rc_files:
        language = rc.name[: -len("_help.rc")]
        texts, markers = rc_texts(rc)
        if set(texts) != set(english):
            fail(f"{language}: numbers differ from English "
                 f"(missing {sorted(set(english) - set(texts))}, extra {sorted(set(texts) - set(english))})")
        if markers:
            fail(f"{language}: still marked untranslated: {markers}")
        for number, text in texts.items():
            if not text.strip():
                fail(f"{language} {number}: empty")
            if number in english and placeholders(text) != placeholders(english[number]):
                fail(f"{language} {number}: placeholders {placeholders(text)} != {placeholders(english[number])}")
        dll = build / "stage" / "help" / f"{language}_help.dll"
        if not dll.is_file():
            fail(f"{language}: no {dll}")
            continue
        built = dll_strings(dll)
        for number in sorted(set(texts) | set(built)):
            if built.get(number) != texts.get(number):
                fail(f"{language} {number}: library has {built.get(number)!r}, source {texts.get(number)!r}")
    print(f"{len(rc_files)} languages, {len(english)} strings each ({len(labels)} labels), {failures} failures")
    return 1 if failures or len(rc_files) != 17 else 0


if __name__ == "__main__":
    sys.exit(main())
