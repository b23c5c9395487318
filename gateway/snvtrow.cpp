#include "gateway/snvtrow.h"

const std::string& SnvtRow::Text(int column) const {
    static const std::string kNone;
    if (column == colVarName) return caption;
    if (column < 1 || static_cast<size_t>(column - 1) >= subItems.size()) return kNone;
    return subItems[static_cast<size_t>(column - 1)];
}
