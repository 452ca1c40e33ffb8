#!/usr/bin/env python3
"""Turns workbook files into seeds for the structure-aware fuzz targets.

  packages: each .xlsx becomes the description that xlsx_package_fuzz reads
            (fuzz/package_description.h) of the entries that the book opens:
            the package relationships, the workbook and its relationships,
            the shared strings and the first sheet, stored or deflated as in
            the file. The rest (styles, themes, pictures) is never read and
            would only dilute the mutations; so would the thousands of rows
            of a large sheet, and descriptions above 64 KiB are left out.
  records:  each .xls becomes its Workbook stream (or Book stream, as Excel
            5.0 named it), the input of xls_records_fuzz; a file that is a
            bare record stream already is taken whole.

A file that cannot be turned is skipped with a note, since the corpus holds
broken files on purpose.

Usage: seed_structures.py packages|records DIRECTORY FILE...
"""
import posixpath
import struct
import sys
import zipfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path
from urllib.parse import unquote

HEADER = b"@@ "
LARGEST_DESCRIPTION = 64 << 10
RELATIONSHIP_NS = "{http://schemas.openxmlformats.org/package/2006/relationships}"


class Unusable(Exception):
    pass


# --- packages ---------------------------------------------------------------

def relationships_name(source):
    folder, file = posixpath.split(source)
    return posixpath.join(folder, "_rels", file + ".rels")


def resolve(source, target):
    target = unquote(target).replace("\\", "/")
    path = target.lstrip("/") if target.startswith("/") else posixpath.join(posixpath.dirname(source), target)
    return posixpath.normpath(path)


def find_entry(archive, name):
    """The archive's entry called `name`, without regard to case as the book
    finds it."""
    wanted = name.lower()
    for info in archive.infolist():
        if info.filename.replace("\\", "/").lower() == wanted:
            return info
    raise Unusable(f"no entry {name}")


def relationships(archive, source):
    """(type, part) of each relationship of `source`, and its relationship entry."""
    info = find_entry(archive, relationships_name(source))
    root = ElementTree.fromstring(archive.read(info))
    found = [(r.get("Type", ""), r.get("Id", ""), resolve(source, r.get("Target", "")))
             for r in root.iter(RELATIONSHIP_NS + "Relationship") if r.get("TargetMode") != "External"]
    return found, info


def first_sheet_id(workbook_xml):
    for element in ElementTree.fromstring(workbook_xml).iter():
        if element.tag.endswith("}sheet") or element.tag == "sheet":
            for key, value in element.attrib.items():
                if key.endswith("}id"):
                    return value
    raise Unusable("the workbook lists no sheet")


def package_entries(archive):
    """The entries that the XML book opens, in archive order."""
    package_rels, package_rels_info = relationships(archive, "")
    document = next((part for kind, _, part in package_rels if kind.endswith("/officeDocument")), None)
    if document is None:
        raise Unusable("no officeDocument relationship")
    workbook_info = find_entry(archive, document)
    workbook_rels, workbook_rels_info = relationships(archive, document)
    wanted = [package_rels_info, workbook_info, workbook_rels_info]
    sheet_id = first_sheet_id(archive.read(workbook_info))
    for kind, identifier, part in workbook_rels:
        if kind.endswith("/sharedStrings") or identifier == sheet_id:
            wanted.append(find_entry(archive, part))
    return sorted(set(wanted), key=lambda info: info.header_offset)


def package_description(path):
    try:
        with zipfile.ZipFile(path) as archive:
            pieces = []
            for info in package_entries(archive):
                data = archive.read(info)
                if b"\n" + HEADER in data or data.startswith(HEADER):
                    raise Unusable(f"{info.filename} holds a line that would read as a header")
                method = "stored" if info.compress_type == zipfile.ZIP_STORED else "deflated"
                pieces.append(HEADER + f"{method} {info.filename}\n".encode() + data)
            description = b"\n".join(pieces)
    except (zipfile.BadZipFile, ElementTree.ParseError, KeyError, NotImplementedError, RuntimeError) as error:
        raise Unusable(str(error)) from error
    if len(description) > LARGEST_DESCRIPTION:
        raise Unusable(f"its description takes {len(description) >> 10} KiB")
    return description


# --- records ----------------------------------------------------------------

COMPOUND_SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
END_OF_CHAIN = 0xFFFFFFFE
BOF_TYPES = {0x0009, 0x0209, 0x0409, 0x0809}


def u32s(raw):
    return list(struct.unpack(f"<{len(raw) // 4}I", raw))


class CompoundFile:
    """Just enough of a compound file to take a stream out of it: chains
    that loop or lead out of the file make it unusable."""

    def __init__(self, data):
        if len(data) < 512 or not data.startswith(COMPOUND_SIGNATURE):
            raise Unusable("no compound file header")
        shift, mini_shift = struct.unpack_from("<HH", data, 30)
        if shift not in (9, 12) or mini_shift != 6:
            raise Unusable("unknown sector sizes")
        self.data = data
        self.size = 1 << shift
        (table_count, directory_start, _, self.mini_cutoff, mini_table_start, _, extension_start,
         extension_count) = struct.unpack_from("<IIIIIIII", data, 44)
        # The header lists the first 109 sectors of the allocation table,
        # extension sectors the rest, each with the next one's number last.
        listed = u32s(data[76:512])
        number = extension_start
        for _ in range(extension_count):
            values = u32s(self.sector(number))
            listed += values[:-1]
            number = values[-1]
        self.table = [link for number in listed[:table_count] for link in u32s(self.sector(number))]
        directory = self.chained(self.table, self.sector, directory_start, len(data))
        self.entries = []
        for at in range(0, len(directory) - 127, 128):
            name_size, kind = struct.unpack_from("<HB", directory, at + 64)
            name = directory[at:at + max(0, min(name_size, 64) - 2)].decode("utf-16-le", "replace")
            start, length = struct.unpack_from("<II", directory, at + 116)
            self.entries.append((name.lower(), kind, start, length))
        if not self.entries:
            raise Unusable("no directory")
        _, _, root_start, root_length = self.entries[0]
        self.mini_stream = self.chained(self.table, self.sector, root_start, root_length)
        self.mini_table = u32s(self.chained(self.table, self.sector, mini_table_start, len(data)))

    def sector(self, number):
        at = (number + 1) * self.size
        if at + self.size > len(self.data):
            raise Unusable(f"sector {number} lies past the end of the file")
        return self.data[at:at + self.size]

    def mini_sector(self, number):
        return self.mini_stream[number * 64:(number + 1) * 64]

    @staticmethod
    def chained(table, read_sector, start, length):
        """Up to `length` bytes of the sectors chained from `start`."""
        raw = bytearray()
        seen = set()
        number = start
        while number != END_OF_CHAIN and len(raw) < length:
            if number >= len(table) or number in seen:
                raise Unusable(f"a broken sector chain at sector {number}")
            seen.add(number)
            raw += read_sector(number)
            number = table[number]
        return bytes(raw[:length])

    def stream(self, names):
        """The first stream called one of `names`, without regard to case."""
        for wanted in names:
            for name, kind, start, length in self.entries[1:]:
                if kind != 2 or name != wanted.lower():
                    continue
                if length >= self.mini_cutoff:
                    data = self.chained(self.table, self.sector, start, length)
                else:
                    data = self.chained(self.mini_table, self.mini_sector, start, length)
                if len(data) < length:
                    raise Unusable(f"the {wanted} stream is shorter than its directory entry says")
                return data
        raise Unusable(f"no stream named {' or '.join(names)}")


def workbook_stream(path):
    data = Path(path).read_bytes()
    if data.startswith(COMPOUND_SIGNATURE):
        return CompoundFile(data).stream(["Workbook", "Book"])
    if len(data) >= 4 and struct.unpack_from("<H", data)[0] in BOF_TYPES:
        return data
    raise Unusable("neither a compound file nor a record stream")


def main():
    kind, directory, files = sys.argv[1], Path(sys.argv[2]), sys.argv[3:]
    convert, suffix = {"packages": (package_description, ".txt"), "records": (workbook_stream, ".bin")}[kind]
    directory.mkdir(parents=True, exist_ok=True)
    written = 0
    for file in files:
        try:
            seed = convert(file)
        except (Unusable, OSError) as error:
            print(f"seed_structures: skipped {Path(file).name}: {error}", file=sys.stderr)
            continue
        (directory / (Path(file).stem + suffix)).write_bytes(seed)
        written += 1
    print(f"seed_structures: {written} {kind} seeds in {directory}")


if __name__ == "__main__":
    main()
