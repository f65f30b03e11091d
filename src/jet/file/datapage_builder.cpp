#include "jet/file/datapage_builder.h"

#include <algorithm>
#include <cstring>

#include "jet/error.h"
#include "jet/file/bytes.h"

namespace jet::datapage {

namespace {

// Start of the lowest row on the page (the page end when it has none).
std::size_t lowestRow(std::span<const std::uint8_t> page, const Format& f, std::size_t count) {
    std::size_t lowest = page.size();
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t off = bytes::le16(page.data() + f.dataRowTable + 2 * i) & 0x1FFF;
        if (off != 0) lowest = std::min(lowest, off);
    }
    return lowest;
}

}  // namespace

void init(std::span<std::uint8_t> page, const Format& f, std::uint32_t owner) {
    std::fill(page.begin(), page.end(), 0);
    page[0] = kPageData;
    page[1] = 0x01;
    bytes::putLe16(page.data() + f.dataFreeSpace,
                   static_cast<std::uint16_t>(f.pageSize - f.dataRowTable));
    bytes::putLe32(page.data() + f.dataOwner, owner);
}

std::size_t rowCount(std::span<const std::uint8_t> page, const Format& f) {
    return bytes::le16(page.data() + f.dataRowCount);
}

std::size_t roomForRow(std::span<const std::uint8_t> page, const Format& f) {
    std::size_t count = rowCount(page, f);
    if (count >= maxRows) return 0;
    std::size_t tableEnd = f.dataRowTable + 2 * (count + 1);
    std::size_t lowest = lowestRow(page, f, count);
    return lowest > tableEnd ? lowest - tableEnd : 0;
}

std::uint8_t* reserveRow(std::span<std::uint8_t> page, const Format& f, std::size_t length,
                         std::uint8_t& rowNumber) {
    std::size_t count = rowCount(page, f);
    if (length == 0 || roomForRow(page, f) < length)
        throw Error(Error::Kind::Invalid,
                    "a row of " + std::to_string(length) + " bytes does not fit the data page");
    std::size_t start = lowestRow(page, f, count) - length;
    bytes::putLe16(page.data() + f.dataRowTable + 2 * count, static_cast<std::uint16_t>(start));
    bytes::putLe16(page.data() + f.dataRowCount, static_cast<std::uint16_t>(count + 1));
    std::size_t tableEnd = f.dataRowTable + 2 * (count + 1);
    bytes::putLe16(page.data() + f.dataFreeSpace, static_cast<std::uint16_t>(start - tableEnd));
    rowNumber = static_cast<std::uint8_t>(count);
    return page.data() + start;
}

std::uint8_t addRow(std::span<std::uint8_t> page, const Format& f,
                    std::span<const std::uint8_t> row) {
    std::uint8_t number = 0;
    std::uint8_t* p = reserveRow(page, f, row.size(), number);
    std::memcpy(p, row.data(), row.size());
    return number;
}

}  // namespace jet::datapage
