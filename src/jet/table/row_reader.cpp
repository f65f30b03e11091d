#include "jet/table/row_reader.h"

#include <bit>
#include <cstring>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
#include "jet/file/usagemap.h"
#include "jet/table/longvalue.h"
#include "jet/values/text.h"

namespace jet {

namespace {

[[noreturn]] void bad(const std::string& what) {
    throw Error(Error::Kind::Corrupt, "row: " + what);
}

[[noreturn]] void bad(const ColumnDef& col, const char* what) {
    throw Error(Error::Kind::Corrupt, std::string("row: the value ") + what).addColumn(col.name);
}

double loadDouble(const std::uint8_t* p) { return std::bit_cast<double>(bytes::le64(p)); }
float loadFloat(const std::uint8_t* p) { return std::bit_cast<float>(bytes::le32(p)); }

}  // namespace

// Bytes a fixed column takes in a row: its type's size, or for types of no
// fixed size (a Binary stored fixed), the definition's length. Yes/No takes
// none: it lives in the null mask.
std::size_t fixedSize(ColumnType type, std::uint16_t declaredLength) {
    if (type == ColumnType::Boolean) return 0;
    const std::size_t size = fixedDataSize(type);
    return size != 0 ? size : declaredLength;
}

std::vector<Field> crackRow(std::span<const std::uint8_t> row, const TableDef& table,
                            const Format& f) {
    const std::size_t len = row.size();
    if (len < f.rowColumnCountSize) bad("shorter than its column count");
    const std::size_t rowColumns = f.rowColumnCountSize == 1 ? row[0] : bytes::le16(row.data());
    const std::size_t nb = (rowColumns + 7) / 8;
    if (nb + f.rowColumnCountSize > len) bad("null mask larger than the row");
    const std::uint8_t* mask = row.data() + len - nb;

    // Variable offsets (row-relative), entry varCount = end of variable data.
    std::vector<std::size_t> offsets;
    std::size_t varCount = 0;
    std::size_t tableStart = len - nb;  // where the trailing tables begin
    if (table.variableColumnCount() > 0) {
        const std::size_t w = f.rowVarOffsetSize;
        if (len < nb + w + f.rowColumnCountSize) bad("no room for the variable column count");
        const std::size_t countAt = len - nb - w;
        varCount = w == 1 ? row[countAt] : bytes::le16(row.data() + countAt);
        if (f.rowJumpTable) {
            std::size_t jumps = (len - 1) / 256;
            if (countAt < jumps + varCount + 1) bad("variable offset table larger than the row");
            const std::size_t colPtr = countAt - jumps - 1;
            // A last jump entry may be filler (0xFF) that names no stretch;
            // it still takes its byte.
            if (jumps > 0 && (colPtr - varCount) / 256 < jumps) --jumps;
            if (colPtr < varCount + f.rowColumnCountSize)
                bad("variable offset table larger than the row");
            std::size_t used = 0;
            offsets.resize(varCount + 1);
            for (std::size_t i = 0; i <= varCount; ++i) {
                while (used < jumps && i == row[countAt - 1 - used]) ++used;
                offsets[i] = row[colPtr - i] + used * 256;
            }
            tableStart = colPtr - varCount;
        } else {
            if (countAt < (varCount + 1) * w + f.rowColumnCountSize)
                bad("variable offset table larger than the row");
            offsets.resize(varCount + 1);
            for (std::size_t i = 0; i <= varCount; ++i)
                offsets[i] = bytes::le16(row.data() + countAt - w * (i + 1));
            tableStart = countAt - w * (varCount + 1);
        }
    }
    const std::size_t fixedEnd = varCount > 0 ? offsets[0] : tableStart;
    if (fixedEnd > tableStart) bad("variable data starts beyond the row");

    std::vector<Field> fields(table.columns.size());
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        const ColumnDef& col = table.columns[c];
        Field& out = fields[c];
        if (col.number >= rowColumns) continue;  // added after this row was written
        const bool present = (mask[col.number / 8] & (1u << (col.number % 8))) != 0;
        if (col.type == ColumnType::Boolean) {
            out.null = false;
            out.boolValue = present;
            continue;
        }
        if (!present) continue;
        if (col.isFixed()) {
            const std::size_t size = fixedSize(col.type, col.length);
            const std::size_t start = f.rowColumnCountSize + col.fixedOffset;
            if (start + size > fixedEnd) bad(col, "lies outside the row");
            out.bytes = row.subspan(start, size);
        } else {
            if (col.varIndex >= varCount) continue;
            const std::size_t start = offsets[col.varIndex];
            const std::size_t end = offsets[col.varIndex + 1];
            if (start > end || end > tableStart) bad(col, "has impossible bounds");
            out.bytes = row.subspan(start, end - start);
        }
        out.null = false;
    }
    return fields;
}

Value decodeField(const Field& field, const ColumnDef& col, const Format& f, std::uint16_t codePage,
                  const Pager* pager) {
    if (col.type == ColumnType::Boolean) return Value(field.boolValue);
    if (field.null) return Value();
    const auto b = field.bytes;
    const std::uint8_t* p = b.data();
    auto need = [&](std::size_t n) {
        if (b.size() < n)
            throw Error(Error::Kind::Corrupt, "the value holds " + std::to_string(b.size()) +
                                                  " bytes, needs " + std::to_string(n))
                .addColumn(col.name);
    };
    switch (col.type) {
        case ColumnType::Byte:
            need(1);
            return Value(std::int64_t{p[0]});
        case ColumnType::Integer:
            need(2);
            return Value(std::int64_t{static_cast<std::int16_t>(bytes::le16(p))});
        case ColumnType::Long:
            need(4);
            return Value(std::int64_t{static_cast<std::int32_t>(bytes::le32(p))});
        case ColumnType::Currency:
            need(8);
            return Value(Currency{static_cast<std::int64_t>(bytes::le64(p))});
        case ColumnType::Single:
            need(4);
            return Value(static_cast<double>(loadFloat(p)));
        case ColumnType::Double:
            need(8);
            return Value(loadDouble(p));
        case ColumnType::DateTime:
            need(8);
            return Value(DateTime{loadDouble(p)});
        case ColumnType::Guid: {
            need(16);
            Guid g{};
            static constexpr int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
            for (int i = 0; i < 16; ++i) g[static_cast<std::size_t>(i)] = p[order[i]];
            return Value(g);
        }
        case ColumnType::Numeric: {
            need(17);
            Decimal d;
            d.negative = (p[0] & 0x80) != 0;
            d.scale = col.scale;
            for (int w = 0; w < 4; ++w)
                bytes::putBe32(d.magnitude.data() + 4 * w, bytes::le32(p + 1 + 4 * w));
            return Value(d);
        }
        case ColumnType::Text:
            if (f.unicodeText) return Value(decodeJet4Text(b));
            return Value(decodeCodePage(b, codePage));
        case ColumnType::Memo: {
            Bytes data = readLongValue(pager, f, b);
            if (f.unicodeText) return Value(decodeJet4Text(data));
            return Value(decodeCodePage(data, codePage));
        }
        case ColumnType::Ole:
            return Value(readLongValue(pager, f, b));
        case ColumnType::Binary:
        default:
            return Value(Bytes(b.begin(), b.end()));
    }
}

Row decodeRow(std::span<const std::uint8_t> row, const TableDef& table, const Format& format,
              std::uint16_t codePage, const Pager* pager) {
    std::vector<Field> fields = crackRow(row, table, format);
    Row out;
    out.reserve(fields.size());
    for (std::size_t c = 0; c < fields.size(); ++c)
        out.push_back(decodeField(fields[c], table.columns[c], format, codePage, pager));
    return out;
}

TableScanner::TableScanner(const Pager& pager, const Format& format, const TableDef& table,
                           std::uint16_t codePage)
    : pager_(pager), format_(format), table_(table), codePage_(codePage) {
    pages_ = usageMapPages(pager_, format_, table_.ownedPagesMap);
}

bool TableScanner::nextRaw(std::span<const std::uint8_t>& out) {
    while (true) {
        if (!current_) {
            if (pageIndex_ >= pages_.size()) return false;
            page_ = pages_[pageIndex_++];
            if (page_ >= pager_.pageCount()) continue;  // map lists a page past the end
            PageRef p = pager_.page(page_);
            // The owned-pages map may list pages that hold something else now.
            if ((*p)[0] != kPageData ||
                bytes::le32(p->data() + format_.dataOwner) != table_.tdefPage)
                continue;
            current_.emplace(pager_, format_, page_);
            row_ = 0;
        }
        if (row_ >= current_->rowCount()) {
            current_.reset();
            continue;
        }
        const RowSlot s = current_->slot(static_cast<std::uint16_t>(row_++));
        if (s.deleted) continue;
        if (!s.overflow) {
            out = current_->bytes(s);
            return true;
        }
        // Follow the pointer to where the row moved (possibly more than once).
        std::span<const std::uint8_t> at = current_->bytes(s);
        for (int hop = 0;; ++hop) {
            if (at.size() < 4 || hop > 8)
                throw corruptPage(pager_, page_, "broken overflow row pointer");
            const std::uint32_t pointer = bytes::le32(at.data());
            DataPage target(pager_, format_, bytes::pointerPage(pointer));
            const RowSlot t = target.slot(bytes::pointerRow(pointer));
            target_ = target.page();
            at = target.bytes(t);
            if (!t.overflow) break;
        }
        out = at;
        return true;
    }
}

bool TableScanner::next(Row& row) {
    std::span<const std::uint8_t> raw;
    if (!nextRaw(raw)) return false;
    try {
        row = decodeRow(raw, table_, format_, codePage_, &pager_);
    } catch (Error& e) {
        if (e.kind() != Error::Kind::Corrupt) throw;
        // Damage found on a page of its own (a long value's) is placed already.
        if (e.page()) {
            e.addTable(table_.name);
            throw;
        }
        throw corruptPage(pager_, page_, "row " + std::to_string(rowIndex()) + ": " + e.detail())
            .addTable(table_.name)
            .addColumn(e.column());
    }
    return true;
}

}  // namespace jet
