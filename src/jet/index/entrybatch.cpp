#include "jet/index/entrybatch.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace jet {

void EntryBatch::add(std::span<const std::uint8_t> key, std::uint32_t row) {
    Record r{{0, 0},
             static_cast<std::uint32_t>(bytes_.size()),
             static_cast<std::uint32_t>(key.size()),
             row};
    for (std::size_t i = 0; i < 16 && i < key.size(); ++i)
        r.head[i / 8] |= std::uint64_t{key[i]} << (56 - 8 * (i % 8));
    records_.push_back(r);
    bytes_.insert(bytes_.end(), key.begin(), key.end());
}

void EntryBatch::sort() {
    // The whole order: heads, the bytes past them, sizes, rows.
    auto less = [&](const Record& a, const Record& b) {
        if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
        const std::size_t common = std::min(a.size, b.size);
        if (common > 16) {
            const int c = std::memcmp(bytes_.data() + a.offset + 16, bytes_.data() + b.offset + 16,
                                      common - 16);
            if (c != 0) return c < 0;
        }
        if (a.size != b.size) return a.size < b.size;
        return a.row < b.row;
    };
    const std::size_t n = records_.size();
    if (n < 256) {
        std::sort(records_.begin(), records_.end(), less);
        return;
    }
    // Heads by radix, least significant byte first, skipping bytes all share.
    spare_.resize(n);
    for (int b = 15; b >= 0; --b) {
        const int word = b / 8;
        const int shift = 56 - 8 * (b % 8);
        std::size_t count[256] = {};
        for (const Record& r : records_) ++count[(r.head[word] >> shift) & 0xFF];
        if (count[(records_[0].head[word] >> shift) & 0xFF] == n) continue;
        std::size_t at = 0;
        for (std::size_t& c : count) at += std::exchange(c, at);
        for (const Record& r : records_) spare_[count[(r.head[word] >> shift) & 0xFF]++] = r;
        records_.swap(spare_);
    }
    // Equal heads: the rest of the order.
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        while (j < n && records_[j].head[0] == records_[i].head[0] &&
               records_[j].head[1] == records_[i].head[1])
            ++j;
        if (j - i > 1)
            std::sort(records_.begin() + static_cast<std::ptrdiff_t>(i),
                      records_.begin() + static_cast<std::ptrdiff_t>(j), less);
        i = j;
    }
}

void EntryBatch::clear() {
    bytes_.clear();
    records_.clear();
}

void EntryBatch::swap(EntryBatch& other) noexcept {
    bytes_.swap(other.bytes_);
    records_.swap(other.records_);
    spare_.swap(other.spare_);
}

}  // namespace jet
