#include "support/fuzz_entries.h"

#include <vector>

#include "jet/file/bytes.h"
#include "jet/database/catalog.h"
#include "jet/file/datapage.h"
#include "jet/error.h"
#include "jet/file/format.h"
#include "jet/file/header.h"
#include "jet/file/pager.h"
#include "jet/table/row_reader.h"
#include "jet/table/tdef_reader.h"
#include "jet/file/usagemap.h"

namespace jetfuzz {

namespace {

const jet::Format& formatOf(std::uint8_t selector) {
    return (selector & 1) ? jet::Format::jet4() : jet::Format::jet3();
}

template <class F>
void tolerate(F&& f) {
    try {
        f();
    } catch (const jet::Error&) {
    }
}

}  // namespace

void header(std::span<const std::uint8_t> data) {
    tolerate([&] { jet::parseHeader(data, "fuzz"); });
}

void tdef(std::span<const std::uint8_t> data) {
    if (data.empty()) return;
    const jet::Format& f = formatOf(data[0]);
    tolerate([&] { jet::parseTableDef(data.subspan(1), f, 1252); });
}

void row(std::span<const std::uint8_t> data) {
    if (data.size() < 2) return;
    const jet::Format& f = formatOf(data[0]);
    const std::size_t count = data[1] % 32;
    if (data.size() < 2 + count * 6) return;
    jet::TableDef table;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* c = data.data() + 2 + i * 6;
        jet::ColumnDef col;
        col.type = static_cast<jet::ColumnType>(c[0] % 0x12);
        col.flags = c[1];
        col.number = c[2];
        col.varIndex = c[3];
        col.fixedOffset = c[4];
        col.length = c[5];
        table.columns.push_back(col);
    }
    const auto bytes = data.subspan(2 + count * 6);
    tolerate([&] { jet::decodeRow(bytes, table, f, 1252, nullptr); });
}

void pages(std::span<const std::uint8_t> data) {
    if (data.empty()) return;
    const jet::Format& f = formatOf(data[0]);
    std::vector<std::uint8_t> image(data.begin() + 1, data.end());
    const std::size_t pages =
        std::max<std::size_t>(3, (image.size() + f.pageSize - 1) / f.pageSize);
    if (pages > 64) return;
    image.resize(pages * f.pageSize);
    auto pager = jet::Pager::fromImage(std::move(image), f.pageSize);

    for (std::uint32_t n = 0; n < pages; ++n) {
        tolerate([&] {
            jet::DataPage page(*pager, f, n);
            for (std::uint16_t r = 0; r < page.rowCount(); ++r) {
                auto s = page.slot(r);
                if (!s.deleted) (void)page.bytes(s);
            }
        });
        tolerate([&] { jet::usageMapPages(*pager, f, jet::bytes::rowPointer(n, 0)); });
        tolerate([&] {
            jet::TableDef def = jet::readTableDef(*pager, f, n, 1252);
            jet::TableScanner scan(*pager, f, def, 1252);
            jet::Row row;
            for (int i = 0; i < 2000 && scan.next(row); ++i) {
            }
        });
    }
    tolerate([&] {
        jet::PageAllocator allocator(*pager, f);
        (void)allocator.isFree(2);
    });
    tolerate([&] { jet::readCatalog(*pager, f, 1252); });
}

bool runEntry(const std::string& target, std::span<const std::uint8_t> data) {
    if (target == "header") return header(data), true;
    if (target == "tdef") return tdef(data), true;
    if (target == "row") return row(data), true;
    if (target == "pages") return pages(data), true;
    return false;
}

}  // namespace jetfuzz
