#include "jet/table/longvalue.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/datapage.h"
#include "jet/values/convert.h"

namespace jet {

namespace {

constexpr std::uint32_t kLengthMask = 0x3FFFFFFF;

// The first eight bytes of a field, decoded.
struct Field {
    std::size_t length = 0;
    std::uint8_t storage = 0;
    std::uint32_t pointer = 0;
};

Field readField(std::span<const std::uint8_t> field) {
    const std::uint32_t word = bytes::le32(field.data());
    return {word & kLengthMask, static_cast<std::uint8_t>(field[3] & 0xC0),
            bytes::le32(field.data() + 4)};
}

std::vector<std::uint8_t> fieldHeader(std::size_t length, std::uint8_t storage,
                                      std::uint32_t pointer) {
    std::vector<std::uint8_t> f(kLongValueHeader, 0);
    bytes::putLe32(f.data(), static_cast<std::uint32_t>(length) | (std::uint32_t{storage} << 24));
    bytes::putLe32(f.data() + 4, pointer);
    return f;
}

Bytes readChain(const Pager& pager, const Format& format, std::uint32_t next, std::size_t length) {
    Bytes out;
    std::set<std::uint32_t> seen;
    while (out.size() < length) {
        if (next == 0)
            throw Error(Error::Kind::Corrupt, "a long value chain ends before its length");
        if (!seen.insert(next).second)
            throw corruptPage(pager, bytes::pointerPage(next), "a long value chain loops");
        PageRef holder;
        auto row = findRow(pager, format, next, holder);
        if (row.size() < 4)
            throw corruptPage(pager, bytes::pointerPage(next), "a long value piece is cut short");
        next = bytes::le32(row.data());
        const std::size_t take = std::min(row.size() - 4, length - out.size());
        out.insert(out.end(), row.begin() + 4, row.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        if (take == 0 && next == 0) break;
    }
    if (out.size() < length)
        throw Error(Error::Kind::Corrupt, "a long value chain ends before its length");
    return out;
}

}  // namespace

Bytes readLongValue(const Pager* pager, const Format& format, std::span<const std::uint8_t> field) {
    if (field.size() < kLongValueHeader)
        throw Error(Error::Kind::Corrupt, "a long value header is cut short");
    const Field f = readField(field);
    if (f.storage == kLongValueInline) {
        if (f.length > field.size() - kLongValueHeader)
            throw Error(Error::Kind::Corrupt, "an inline long value is longer than its field");
        return Bytes(field.begin() + kLongValueHeader,
                     field.begin() + static_cast<std::ptrdiff_t>(kLongValueHeader + f.length));
    }
    if (!pager) throw Error(Error::Kind::Corrupt, "a long value points outside the row");
    if (f.storage == kLongValueSingle) {
        PageRef holder;
        auto row = findRow(*pager, format, f.pointer, holder);
        if (f.length > row.size())
            throw corruptPage(*pager, bytes::pointerPage(f.pointer),
                              "a long value is longer than its row");
        return Bytes(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(f.length));
    }
    if (f.storage != kLongValueChain)
        throw Error(Error::Kind::Corrupt, "unknown long value storage");
    return readChain(*pager, format, f.pointer, f.length);
}

std::vector<std::uint8_t> inlineLongValue(std::span<const std::uint8_t> data) {
    // Sized at once: one allocation per value.
    std::vector<std::uint8_t> f(kLongValueHeader + data.size(), 0);
    bytes::putLe32(f.data(),
                   static_cast<std::uint32_t>(data.size()) | (std::uint32_t{kLongValueInline} << 24));
    if (!data.empty()) std::memcpy(f.data() + kLongValueHeader, data.data(), data.size());
    return f;
}

std::vector<std::uint8_t> writeLongValue(const Format& format, std::span<const std::uint8_t> data,
                                         std::size_t roomInRow, LongValuePages& pages) {
    if (data.size() > maxLongValueBytes)
        throw Error(Error::Kind::Conversion, "a long value of " + std::to_string(data.size()) +
                                                 " bytes is larger than the format allows");
    if (data.size() <= maxInlineLongValue && kLongValueHeader + data.size() <= roomInRow)
        return inlineLongValue(data);

    // The longest LVAL row; a chain piece keeps 4 of its bytes for the link.
    const std::size_t rowRoom = format.lvalRowRoom;
    std::uint32_t first = 0;
    if (data.size() <= rowRoom) {
        std::uint8_t* p = pages.reserve(data.size(), first);
        std::memcpy(p, data.data(), data.size());
        return fieldHeader(data.size(), kLongValueSingle, first);
    }
    const std::size_t piece = rowRoom - 4;
    std::uint8_t* previousLink = nullptr;
    for (std::size_t pos = 0; pos < data.size(); pos += piece) {
        std::size_t n = std::min(piece, data.size() - pos);
        std::uint32_t pointer = 0;
        std::uint8_t* p = pages.reserve(n + 4, pointer);
        bytes::putLe32(p, 0);
        std::memcpy(p + 4, data.data() + pos, n);
        if (previousLink)
            bytes::putLe32(previousLink, pointer);
        else
            first = pointer;
        previousLink = p;
    }
    return fieldHeader(data.size(), kLongValueChain, first);
}

}  // namespace jet
