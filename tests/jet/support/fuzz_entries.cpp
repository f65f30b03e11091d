#include "support/fuzz_entries.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "jet/file/bytes.h"
#include "jet/database/catalog.h"
#include "jet/values/convert.h"
#include "jet/file/datapage.h"
#include "jet/error.h"
#include "jet/file/format.h"
#include "jet/file/header.h"
#include "jet/index/indexkey.h"
#include "jet/file/pager.h"
#include "jet/table/row_builder.h"
#include "jet/table/row_reader.h"
#include "jet/table/tdef_reader.h"
#include "jet/file/usagemap.h"

namespace jetfuzz {

namespace {

const jet::Format& formatOf(std::uint8_t selector) {
    return (selector & 1) ? jet::Format::jet4() : jet::Format::jet3();
}

// Only the engine's own errors may leave it; anything else is reported and
// stops the run, so the fuzzer keeps the input.
template <class F>
void tolerate(F&& f) {
    try {
        f();
    } catch (const jet::Error&) {
    } catch (const std::exception& e) {
        std::fprintf(stderr, "an exception other than jet::Error left the engine: %s\n",
                     e.what());
        std::abort();
    } catch (...) {
        std::fprintf(stderr, "an exception other than jet::Error left the engine\n");
        std::abort();
    }
}

// A value of every kind a caller may hand in, from the bytes at p.
jet::Value valueOf(std::span<const std::uint8_t>& in) {
    if (in.empty()) return {};
    const std::uint8_t kind = in[0];
    in = in.subspan(1);
    auto take = [&](std::size_t n) {
        n = std::min(n, in.size());
        auto part = in.first(n);
        in = in.subspan(n);
        return part;
    };
    auto number = [&](std::size_t n) {
        std::uint64_t v = 0;
        for (std::uint8_t b : take(n)) v = (v << 8) | b;
        return v;
    };
    switch (kind % 10) {
        case 0:
            return {};
        case 1:
            return (kind & 0x80) != 0;
        case 2:
            return static_cast<std::int64_t>(number(8));
        case 3:
            return std::bit_cast<double>(number(8));
        case 4:
            return jet::Currency{static_cast<std::int64_t>(number(8))};
        case 5:
            return jet::DateTime{std::bit_cast<double>(number(8))};
        case 6: {
            auto b = take(kind / 10u + 1u);
            return std::string(b.begin(), b.end());
        }
        case 7: {
            auto b = take(kind / 4u);
            return jet::Bytes(b.begin(), b.end());
        }
        case 8: {
            jet::Guid g{};
            auto b = take(16);
            std::copy(b.begin(), b.end(), g.begin());
            return g;
        }
        default: {
            jet::Decimal d;
            auto b = take(16);
            std::copy(b.begin(), b.end(), d.magnitude.begin());
            d.negative = (kind & 0x80) != 0;
            d.scale = static_cast<std::uint8_t>(kind % 40);
            return d;
        }
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

void append(std::span<const std::uint8_t> data) {
    if (data.size() < 2) return;
    const jet::Format& f = formatOf(data[0]);
    const std::size_t count = data[1] % 16;
    if (data.size() < 2 + count * 4) return;
    jet::TableDef table;
    table.name = "fuzz";
    std::uint16_t fixedOffset = 0, varIndex = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* c = data.data() + 2 + i * 4;
        jet::ColumnDef col;
        col.name = "c" + std::to_string(i);
        col.type = static_cast<jet::ColumnType>(c[0] % 0x12);
        col.flags = c[1];
        col.number = static_cast<std::uint16_t>(i);
        col.length = c[2];
        col.precision = static_cast<std::uint8_t>(c[3] % 29);
        col.scale = static_cast<std::uint8_t>(c[3] / 29);
        col.extraFlags = c[1] >> 7;
        if (col.isFixed()) {
            col.fixedOffset = fixedOffset;
            fixedOffset = static_cast<std::uint16_t>(
                fixedOffset + std::max<std::size_t>(jet::fixedSize(col.type, col.length), 1));
        } else {
            col.varIndex = varIndex++;
        }
        table.columns.push_back(col);
    }
    table.maxColumnNumber = static_cast<std::uint16_t>(count);
    auto rest = data.subspan(2 + count * 4);
    std::vector<jet::Value> values;
    while (!rest.empty() && values.size() < count) values.push_back(valueOf(rest));
    const jet::ConvertContext ctx{f.version, table.name, 1252};
    tolerate([&] {
        jet::Row stored;
        jet::convertRow(values, table, ctx, stored);
        const jet::RowLayout layout = jet::RowLayout::of(table);
        std::vector<std::uint8_t> row;
        jet::buildRow(f, layout, stored, row);
        (void)jet::rowLength(f, layout, stored);
        // Long values are not laid out here: the reader gets no pager.
        for (const auto& c : table.columns)
            if (jet::isLongValue(c.type)) return;
        (void)jet::decodeRow(row, table, f, 1252, nullptr);
    });
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const jet::ColumnDef& c = table.columns[i];
        const jet::KeyColumn key{c.type, (c.flags & 0x10) == 0, c.scale, 0x0409};
        tolerate([&] {
            std::vector<std::uint8_t> out;
            jet::appendKeyValue(out, f.version, key, i < values.size() ? values[i] : jet::Value());
        });
        tolerate([&] {
            jet::Row stored;
            jet::convertRow(values, table, ctx, stored);
            std::vector<std::uint8_t> out;
            jet::appendKeyValue(out, f.version, key, stored[i]);
        });
    }
}

bool runEntry(const std::string& target, std::span<const std::uint8_t> data) {
    if (target == "header") return header(data), true;
    if (target == "tdef") return tdef(data), true;
    if (target == "row") return row(data), true;
    if (target == "pages") return pages(data), true;
    if (target == "append") return append(data), true;
    return false;
}

}  // namespace jetfuzz
