// The package layer: parts by name, relationship parts and target resolution.
#include "xlsx/opc_package.h"

#include "common/load_error.h"
#include "xlsx/hex_digit.h"
#include "xlsx/xml_reader.h"

namespace xl {
namespace {

std::string percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexDigitValue(text[i + 1]), low = hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i] == '\\' ? '/' : text[i]);
    }
    return out;
}

// "file:", "http:" or a drive letter: something that is not a part name.
bool hasScheme(std::string_view target)
{
    const size_t colon = target.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    for (size_t i = 0; i < colon; ++i) {
        const char c = target[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
    }
    return true;
}

} // namespace

void Package::open(std::string bytes)
{
    if (bytes.size() > kMaxFileSize)
        throw LoadError{"the file is larger than " + std::to_string(kMaxFileSize >> 20) + " MiB"};
    bytes_ = std::move(bytes);
    zip_.open(bytes_);
}

void Package::close()
{
    zip_ = ZipArchive();
    bytes_ = std::string();
}

void Package::readXml(std::string_view name, const std::function<void(XmlReader&)>& consume) const
{
    const ZipArchive::Entry* entry = zip_.find(name);
    if (!entry)
        throw LoadError{.what = "part is missing from the package", .source = std::string(name)};
    ZipArchive::EntryReader part(zip_, *entry);
    XmlReader xml(std::string(name), [&part](char* out, size_t room) { return part.read(out, room); }, pieceSize_,
                  entry->size);
    try {
        consume(xml);
    } catch (const LoadError&) {
        // Damaged data shows as whatever XML the damage made, before the
        // entry's own checks find it: they say what is wrong, when they fail.
        part.readToEnd();
        throw;
    }
    part.readToEnd();
}

std::vector<Relationship> Package::readRelationships(std::string_view source) const
{
    std::vector<Relationship> out;
    readXml(relationshipsPartName(source), [&](XmlReader& xml) {
        xml.enterRoot("Relationships", "not a relationship part");
        const int root = xml.level();
        while (xml.nextChild(root)) {
            if (xml.localName() != "Relationship")
                continue;
            Relationship relationship;
            relationship.id = xml.attribute("Id").value_or("");
            relationship.type = xml.attribute("Type").value_or("");
            relationship.target = xml.attribute("Target").value_or("");
            if (xml.attribute("TargetMode") != "External")
                relationship.part = resolveTarget(source, relationship.target).value_or(std::string());
            out.push_back(std::move(relationship));
        }
        xml.readToEnd();
    });
    return out;
}

std::optional<std::string> resolveTarget(std::string_view source, std::string_view target)
{
    const std::string decoded = percentDecoded(target);
    if (hasScheme(decoded))
        return std::nullopt;
    std::string path;
    if (decoded.empty() || decoded[0] != '/') {
        const size_t slash = source.rfind('/');
        if (slash != std::string_view::npos)
            path.assign(source.substr(0, slash + 1));
    }
    path += decoded;

    std::vector<std::string_view> segments;
    const std::string_view all(path);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find('/', start);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view segment = all.substr(start, end - start);
        if (segment == "..") {
            if (segments.empty())
                return std::nullopt;
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string_view segment : segments) {
        if (!resolved.empty())
            resolved.push_back('/');
        resolved += segment;
    }
    return resolved;
}

std::string relationshipsPartName(std::string_view source)
{
    const size_t slash = source.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : source.substr(0, slash + 1);
    const std::string_view file = slash == std::string_view::npos ? source : source.substr(slash + 1);
    return std::string(folder) + "_rels/" + std::string(file) + ".rels";
}

} // namespace xl
