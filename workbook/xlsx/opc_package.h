// The package around a workbook: a zip archive whose entries are parts with
// path-like names, tied together by relationship parts (_rels/*.rels) that
// say which part plays which role. Part names are compared without regard
// to case, as the package format wants. Faults are thrown as LoadError.
#pragma once

#include "xlsx/zip_archive.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xl {

class XmlReader;

struct Relationship {
    std::string id;
    std::string type;
    std::string target; // as written
    std::string part;   // the part it names; empty for external targets and
                        // for targets that lead outside the package
};

class Package {
public:
    // The whole file is held in memory; files above 1 GiB are refused.
    static constexpr uint64_t kMaxFileSize = uint64_t(1) << 30;

    // Takes the bytes of a package file. Throws when they are no readable
    // zip archive.
    void open(std::string bytes);
    // Lets go of the file.
    void close();

    // Parts are read `pieceSize` bytes at a time (see XmlReader).
    explicit Package(size_t pieceSize) : pieceSize_(pieceSize) {}
    // The archive refers into the bytes the package holds.
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Reads the part called `name` as XML: `consume` gets a reader over it,
    // which inflates the part as it goes, and may stop where it likes; the
    // rest is inflated after it, so that the whole part's size and CRC are
    // checked. Throws when the part is missing or damaged, or `consume`
    // fails it; a fault of the entry's own checks goes before what the XML
    // reader made of the damage.
    void readXml(std::string_view name, const std::function<void(XmlReader&)>& consume) const;

    // The relationships of the part `source` (empty for the package itself),
    // read from its relationship part, which must exist.
    std::vector<Relationship> readRelationships(std::string_view source) const;

private:
    size_t pieceSize_;
    std::string bytes_;
    ZipArchive zip_;
};

// The name of the part that `target` points to from the part `source`:
// relative to the folder of `source`, or from the package root when it
// starts with '/'; "." and ".." segments resolved and %XX escapes decoded.
// Null when the target leads outside the package (above its root, or a URI
// with a scheme or a drive such as "file:" or "C:").
std::optional<std::string> resolveTarget(std::string_view source, std::string_view target);

// Where the relationships of `source` live: "xl/workbook.xml" ->
// "xl/_rels/workbook.xml.rels", "" -> "_rels/.rels".
std::string relationshipsPartName(std::string_view source);

} // namespace xl
