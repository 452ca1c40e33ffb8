// The one format of load errors.
#include "common/load_error.h"

namespace xl {

std::string LoadError::message() const
{
    std::string text;
    for (const std::string* place : {&source, &item})
        if (!place->empty())
            text += *place + ": ";
    if (cell)
        text += "cell " + formatCellReference(cell->row, cell->col) + ": ";
    text += what;
    if (offset)
        text += " at byte " + std::to_string(*offset);
    return text;
}

} // namespace xl
