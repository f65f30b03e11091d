#include "jet/table/longvalue_reader.h"

#include <set>

#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
#include "jet/error.h"

namespace jet {

Bytes readLongValue(const Pager* pager, const Format& format, std::span<const std::uint8_t> field) {
    if (field.size() < kLongValueHeader)
        throw Error(Error::Kind::Corrupt, "a long value header is cut short");
    const std::uint32_t word = bytes::le32(field.data());
    const std::size_t length = word & 0x3FFFFFFF;
    const std::uint8_t storage = field[3] & 0xC0;
    const std::uint32_t pointer = bytes::le32(field.data() + 4);

    if (storage == kLongValueInline) {
        if (length > field.size() - kLongValueHeader)
            throw Error(Error::Kind::Corrupt, "an inline long value is longer than its field");
        return Bytes(field.begin() + kLongValueHeader,
                     field.begin() + static_cast<std::ptrdiff_t>(kLongValueHeader + length));
    }
    if (!pager) throw Error(Error::Kind::Corrupt, "a long value points outside the row");
    if (storage == kLongValueSingle) {
        PageRef holder;
        auto row = findRow(*pager, format, pointer, holder);
        if (length > row.size())
            throw corruptPage(*pager, bytes::pointerPage(pointer),
                              "a long value is longer than its row");
        return Bytes(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(length));
    }
    if (storage != kLongValueChain) throw Error(Error::Kind::Corrupt, "unknown long value storage");

    Bytes out;
    std::set<std::uint32_t> seen;
    std::uint32_t next = pointer;
    while (out.size() < length) {
        if (next == 0)
            throw Error(Error::Kind::Corrupt, "a long value chain ends before its length");
        if (!seen.insert(next).second)
            throw corruptPage(*pager, bytes::pointerPage(next), "a long value chain loops");
        PageRef holder;
        auto row = findRow(*pager, format, next, holder);
        if (row.size() < 4)
            throw corruptPage(*pager, bytes::pointerPage(next), "a long value piece is cut short");
        next = bytes::le32(row.data());
        const std::size_t take = std::min(row.size() - 4, length - out.size());
        out.insert(out.end(), row.begin() + 4, row.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        if (take == 0 && next == 0) break;
    }
    if (out.size() < length)
        throw Error(Error::Kind::Corrupt, "a long value chain ends before its length");
    return out;
}

}  // namespace jet
