#!/usr/bin/env python3
"""Turns workbook files into seeds for the structure-aware fuzz targets.

  packages: each .xlsx becomes the description that xlsx_package_fuzz reads
            (fuzz/package_description.h) of the entries that the book opens:
            the package relationships, the workbook and its relationships,
            the shared strings and the first sheet, stored or deflated as in
            the file. The rest (styles, themes, pictures) is never read and
            would only dilute the mutations; so would the thousands of rows
            of a large sheet, and descriptions above 64 KiB are left out.

A file that cannot be turned is skipped with a note, since the corpus holds
broken files on purpose.

Usage: seed_structures.py packages DIRECTORY FILE...
"""
import posixpath
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


def main():
    kind, directory, files = sys.argv[1], Path(sys.argv[2]), sys.argv[3:]
    convert, suffix = {"packages": (package_description, ".txt")}[kind]
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
