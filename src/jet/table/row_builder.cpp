#include "jet/table/row_builder.h"

#include <algorithm>
#include <cstring>

#include "jet/file/bytes.h"
#include "jet/error.h"

namespace jet {

namespace {

void putDouble(std::uint8_t* p, double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    bytes::putLe64(p, bits);
}

void writeFixed(std::uint8_t* p, const RowLayout::Fixed& f, const Value& v) {
    switch (f.type) {
        case ColumnType::Byte:
            p[0] = static_cast<std::uint8_t>(v.as<std::int64_t>());
            break;
        case ColumnType::Integer:
            bytes::putLe16(p, static_cast<std::uint16_t>(v.as<std::int64_t>()));
            break;
        case ColumnType::Long:
            bytes::putLe32(p, static_cast<std::uint32_t>(v.as<std::int64_t>()));
            break;
        case ColumnType::Single: {
            auto x = static_cast<float>(v.as<double>());
            std::uint32_t bits;
            std::memcpy(&bits, &x, 4);
            bytes::putLe32(p, bits);
            break;
        }
        case ColumnType::Double:
            putDouble(p, v.as<double>());
            break;
        case ColumnType::DateTime:
            putDouble(p, v.as<DateTime>().days);
            break;
        case ColumnType::Currency:
            bytes::putLe64(p, static_cast<std::uint64_t>(v.as<Currency>().scaled));
            break;
        case ColumnType::Guid: {
            // Text order to the Windows layout: first three groups little-endian.
            const Guid& g = v.as<Guid>();
            const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
            for (int i = 0; i < 16; ++i) p[i] = g[static_cast<std::size_t>(order[i])];
            break;
        }
        case ColumnType::Numeric: {
            // Sign byte, then the magnitude as four 32-bit little-endian
            // words, most significant word first.
            const Decimal& d = v.as<Decimal>();
            p[0] = d.negative ? 0x80 : 0x00;
            for (int w = 0; w < 4; ++w) {
                for (int b = 0; b < 4; ++b)
                    p[1 + w * 4 + b] = d.magnitude[static_cast<std::size_t>(w * 4 + 3 - b)];
            }
            break;
        }
        default: {
            // A fixed-length text or binary column (rare, from Access files).
            if (!v.is<Bytes>())
                throw Error(Error::Kind::Invalid, std::string("a ") + columnTypeName(f.type) +
                                                      " value cannot be laid out in a row");
            const Bytes& b = v.as<Bytes>();
            std::memcpy(p, b.data(), std::min<std::size_t>(b.size(), f.length));
            break;
        }
    }
}

// A variable slot holds text and binary values as their bytes; a column of
// a fixed-size type kept in a slot (Access stores its Decimal columns so)
// holds the same bytes the fixed area would.
std::size_t varLength(const RowLayout::Fixed& slot, const Value& v) {
    return v.is<Bytes>() ? v.as<Bytes>().size() : slot.length;
}

void appendVar(std::vector<std::uint8_t>& out, const RowLayout::Fixed& slot, const Value& v) {
    if (v.is<Bytes>()) {
        const Bytes& b = v.as<Bytes>();
        out.insert(out.end(), b.begin(), b.end());
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + slot.length, 0);
    writeFixed(out.data() + at, slot, v);
}

}  // namespace

RowLayout RowLayout::of(const TableDef& table) {
    RowLayout l;
    int maxVar = -1;
    std::uint16_t maxNumber = 0;
    // A definition that cannot describe a row (a damaged file) stops here,
    // before any byte is laid out by it.
    auto damaged = [&](const ColumnDef& c, const char* what) {
        throw Error(Error::Kind::Corrupt, std::string("the table definition is damaged: ") + what)
            .addTable(table.name)
            .addColumn(c.name);
    };
    for (const ColumnDef& c : table.columns) {
        if (c.number >= 256) damaged(c, "column number out of range");
        maxNumber = std::max<std::uint16_t>(maxNumber, static_cast<std::uint16_t>(c.number + 1));
        if (!c.isFixed()) {
            if (c.varIndex >= 256) damaged(c, "variable slot out of range");
            maxVar = std::max<int>(maxVar, c.varIndex);
        } else if (c.type != ColumnType::Boolean) {
            if (c.length < fixedDataSize(c.type)) damaged(c, "length too small for its type");
            if (c.fixedOffset + c.length > 4096) damaged(c, "fixed offset out of range");
        }
    }
    if (table.maxColumnNumber > 256)
        throw Error(Error::Kind::Corrupt, "the table definition is damaged: too many columns")
            .addTable(table.name);
    l.columnCount = std::max(maxNumber, table.maxColumnNumber);
    l.maskBytes = (l.columnCount + 7u) / 8u;
    l.varSlots.assign(static_cast<std::size_t>(maxVar + 1), -1);
    l.varColumns.resize(l.varSlots.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        l.numbers.push_back(c.number);
        l.isBoolean.push_back(c.type == ColumnType::Boolean);
        if (c.type == ColumnType::Boolean) continue;
        if (c.isFixed()) {
            l.fixed.push_back({i, c.type, c.fixedOffset, c.length});
            l.fixedSize = std::max<std::size_t>(l.fixedSize, c.fixedOffset + c.length);
        } else {
            l.varSlots[c.varIndex] = static_cast<int>(i);
            l.varColumns[c.varIndex] = {i, c.type, 0, fixedDataSize(c.type)};
        }
    }
    return l;
}

std::size_t buildRow(const Format& format, const RowLayout& l, std::span<const Value> stored,
                     std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    const std::size_t head = format.rowColumnCountSize;
    out.resize(start + head + l.fixedSize, 0);
    std::uint8_t* row = out.data() + start;
    if (head == 1)
        row[0] = static_cast<std::uint8_t>(l.columnCount);
    else
        bytes::putLe16(row, l.columnCount);
    for (const auto& f : l.fixed) {
        const Value& v = stored[f.index];
        if (!v.isNull()) writeFixed(row + head + f.offset, f, v);
    }

    const std::size_t varCount = l.varSlots.size();
    // Offsets of each slot, then the end of data.
    std::uint16_t offsets[256 + 1];
    if (varCount > 0) {
        for (std::size_t s = 0; s < varCount; ++s) {
            offsets[s] = static_cast<std::uint16_t>(out.size() - start);
            int index = l.varSlots[s];
            if (index < 0) continue;
            const Value& v = stored[static_cast<std::size_t>(index)];
            if (v.isNull()) continue;
            appendVar(out, l.varColumns[s], v);
        }
        offsets[varCount] = static_cast<std::uint16_t>(out.size() - start);
        const std::size_t dataEnd = out.size() - start;
        // Offsets are 16-bit (Jet 3: 8-bit plus jumps); a longer row is one
        // the format cannot hold at all.
        if (dataEnd > 0xFFFF || (format.rowJumpTable && dataEnd > format.pageSize))
            throw Error(Error::Kind::Invalid, "a row of " + std::to_string(dataEnd) +
                                                  " bytes is larger than the format allows");
        if (format.rowVarOffsetSize == 2) {
            std::size_t pos = out.size();
            out.resize(pos + 2 * (varCount + 1) + 2);
            std::uint8_t* p = out.data() + pos;
            for (std::size_t s = varCount + 1; s-- > 0; p += 2) bytes::putLe16(p, offsets[s]);
            bytes::putLe16(p, static_cast<std::uint16_t>(varCount));
        } else {
            const std::size_t realJumps = dataEnd / 256;
            std::size_t length = dataEnd + (varCount + 1) + realJumps + 1 + l.maskBytes;
            std::size_t fillers = 0;
            if ((length - 1) / 256 > realJumps) {
                fillers = 1;
                ++length;
            }
            if ((length - 1) / 256 != realJumps + fillers)
                throw Error(Error::Kind::Invalid,
                            "a row of " + std::to_string(length) + " bytes cannot be laid out");
            for (std::size_t s = varCount + 1; s-- > 0;)
                out.push_back(static_cast<std::uint8_t>(offsets[s] & 0xFF));
            if (fillers) out.push_back(0xFF);
            // Jump entries are written farthest first: the highest boundary
            // leads.
            for (std::size_t j = realJumps; j-- > 0;) {
                std::size_t boundary = 256 * (j + 1);
                std::size_t slot = 0;
                while (offsets[slot] < boundary) ++slot;
                out.push_back(static_cast<std::uint8_t>(slot));
            }
            out.push_back(static_cast<std::uint8_t>(varCount));
        }
    }

    std::size_t maskPos = out.size();
    out.resize(maskPos + l.maskBytes, 0);
    std::uint8_t* mask = out.data() + maskPos;
    for (std::size_t i = 0; i < l.numbers.size(); ++i) {
        const Value& v = stored[i];
        bool set = l.isBoolean[i] ? (v.is<bool>() && v.as<bool>()) : !v.isNull();
        if (set) mask[l.numbers[i] / 8] |= static_cast<std::uint8_t>(1u << (l.numbers[i] % 8));
    }
    return out.size() - start;
}

std::size_t rowLength(const Format& format, const RowLayout& l, std::span<const Value> stored) {
    if (format.rowVarOffsetSize != 2) {
        // Jet 3's jump table is easiest known by laying the row out.
        thread_local std::vector<std::uint8_t> scratch;
        scratch.clear();
        return buildRow(format, l, stored, scratch);
    }
    std::size_t length = format.rowColumnCountSize + l.fixedSize + l.maskBytes;
    if (!l.varSlots.empty()) {
        std::size_t data = format.rowColumnCountSize + l.fixedSize;
        for (std::size_t s = 0; s < l.varSlots.size(); ++s) {
            const int index = l.varSlots[s];
            if (index < 0) continue;
            const Value& v = stored[static_cast<std::size_t>(index)];
            if (!v.isNull()) data += varLength(l.varColumns[s], v);
        }
        if (data > 0xFFFF)
            throw Error(Error::Kind::Invalid, "a row of " + std::to_string(data) +
                                                  " bytes is larger than the format allows");
        length = data + 2 * (l.varSlots.size() + 1) + 2 + l.maskBytes;
    }
    return length;
}

}  // namespace jet
