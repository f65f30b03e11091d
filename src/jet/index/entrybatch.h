#pragma once

// Index entries (key, row pointer) gathered in memory, to be sorted into
// index order: the keys' bytes back to back and a small record per entry
// whose first 16 key bytes, held as two numbers, decide most comparisons.

#include <cstdint>
#include <span>
#include <vector>

namespace jet {

class EntryBatch {
public:
    void add(std::span<const std::uint8_t> key, std::uint32_t row);
    // Into index order: by key, then by row pointer (compareEntries).
    void sort();

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    // Memory the entries take, their records included.
    std::size_t memory() const { return bytes_.size() + records_.size() * sizeof(Record); }
    std::span<const std::uint8_t> key(std::size_t i) const {
        return {bytes_.data() + records_[i].offset, records_[i].size};
    }
    std::uint32_t row(std::size_t i) const { return records_[i].row; }

    // Keeps the buffers for the next batch.
    void clear();
    void swap(EntryBatch& other) noexcept;

private:
    struct Record {
        std::uint64_t head[2];  // the key's first 16 bytes, big-endian, zero-padded
        std::uint32_t offset;
        std::uint32_t size;
        std::uint32_t row;
    };
    std::vector<std::uint8_t> bytes_;
    std::vector<Record> records_;
    std::vector<Record> spare_;
};

}  // namespace jet
