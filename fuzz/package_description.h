// The input of the package target: a zip package written out as text, so
// that mutations land in the entries' names and XML rather than in the sizes,
// CRCs and deflated bytes that the zip reader checks first. Each entry starts
// with a header line
//     @@ stored NAME        kept as it is in the archive
//     @@ deflated NAME      deflated (so is "@@ NAME")
// and holds the bytes after that line up to the newline before the next
// header line, or to the end of the input. Bytes before the first header line
// belong to no entry. fuzz/seed_structures.py writes the corpus in this form.
#pragma once

#include "zip_builder.h"

#include <string_view>
#include <vector>

std::vector<fixture::ZipEntry> parsePackageDescription(std::string_view text);
