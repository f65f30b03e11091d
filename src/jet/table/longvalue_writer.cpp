#include "jet/table/longvalue_writer.h"

#include <algorithm>
#include <cstring>

#include "jet/file/bytes.h"
#include "jet/values/convert.h"
#include "jet/error.h"

namespace jet {

namespace {

constexpr std::size_t fieldHeader = 12;

std::vector<std::uint8_t> header(std::size_t length, std::uint8_t kind, std::uint32_t pointer) {
    std::vector<std::uint8_t> f(fieldHeader, 0);
    bytes::putLe32(f.data(), static_cast<std::uint32_t>(length) | (std::uint32_t{kind} << 24));
    bytes::putLe32(f.data() + 4, pointer);
    return f;
}

}  // namespace

std::vector<std::uint8_t> inlineLongValue(std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> f = header(data.size(), 0x80, 0);
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

std::vector<std::uint8_t> writeLongValue(const Format& format, std::span<const std::uint8_t> data,
                                         std::size_t roomInRow, LongValuePages& pages) {
    if (data.size() > maxLongValueBytes)
        throw Error(Error::Kind::Conversion, "a long value of " + std::to_string(data.size()) +
                                                 " bytes is larger than the format allows");
    if (data.size() <= maxInlineLongValue && fieldHeader + data.size() <= roomInRow)
        return inlineLongValue(data);

    // The longest LVAL row; a chain piece keeps 4 of its bytes for the link.
    const std::size_t rowRoom = format.lvalRowRoom;
    std::uint32_t first = 0;
    if (data.size() <= rowRoom) {
        std::uint8_t* p = pages.reserve(data.size(), first);
        std::memcpy(p, data.data(), data.size());
        return header(data.size(), 0x40, first);
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
    return header(data.size(), 0x00, first);
}

}  // namespace jet
