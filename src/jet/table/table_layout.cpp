#include "jet/table/table_layout.h"

namespace jet {

ColumnDef& TableLayoutBuilder::add(ColumnDef c) {
    c.number = static_cast<std::uint16_t>(table_.columns.size());
    c.sortOrder = 0x0409;
    c.codePage = format_.textCodePage;
    c.varIndex = varSlot_;
    if (isVariableLength(c.type)) {
        ++varSlot_;
        if (isLongValue(c.type)) ++longValues_;
    } else {
        c.flags = static_cast<std::uint8_t>(c.flags | 0x01);
        c.length = declaredFixedLength(c.type);
        if (c.type != ColumnType::Boolean) {
            c.fixedOffset = fixedAt_;
            fixedAt_ = static_cast<std::uint16_t>(fixedAt_ + c.length);
        }
    }
    table_.columns.push_back(std::move(c));
    table_.maxColumnNumber = static_cast<std::uint16_t>(table_.columns.size());
    return table_.columns.back();
}

std::uint16_t TableLayoutBuilder::variableLength(ColumnType type, int characters) const {
    if (isLongValue(type)) return 0;
    const int unit = type == ColumnType::Text ? format_.textUnitSize : 1;
    return static_cast<std::uint16_t>(characters * unit);
}

}  // namespace jet
