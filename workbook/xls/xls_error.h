// The failure that every stage of the .xls reader raises on unsound input.
// The book catches it at its edge and turns it into errorMessage(), so the
// stages can stop at the first fault without passing status codes around.
#pragma once

#include <stdexcept>

namespace xl::xls {

class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace xl::xls
