#pragma once

// The entries of an index whose table is being filled, gathered so the tree
// can be built once, in key order, when the filling ends: random keys would
// otherwise change about one leaf per row. Entries are held in memory up to
// a budget, then sorted and spilled as a run to an unnamed file beside the
// database; the runs and the rest are merged at the end.
//
// For a unique index the sorter also answers whether a key was gathered
// already: a table of key fingerprints (4 to 8 bytes a key) settles nearly
// every question in memory, and a fingerprint that matches is confirmed
// against the keys themselves.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "jet/index/entrybatch.h"

namespace jet {

class KeySorter {
public:
    KeySorter(std::filesystem::path spillFolder, std::size_t memoryBudget);
    ~KeySorter();
    KeySorter(const KeySorter&) = delete;
    KeySorter& operator=(const KeySorter&) = delete;

    // remember: contains() is to find this key later.
    void add(std::span<const std::uint8_t> key, std::uint32_t row, bool remember = false);
    // Whether a key added with remember was exactly this one.
    bool contains(std::span<const std::uint8_t> key);

    std::uint64_t size() const { return count_; }
    // What the entries take in index leaves before compression: keys and
    // row pointers.
    std::uint64_t entryBytes() const { return keyBytes_ + 4 * count_; }

    using Visit = std::function<void(std::span<const std::uint8_t> key, std::uint32_t row)>;
    // Every entry in index order (compareEntries); the sorter is empty after.
    void drain(const Visit& visit);

private:
    struct Run {
        std::uint64_t offset;
        std::uint64_t size;
    };
    class RunReader;

    void spill();
    void write(const std::uint8_t* data, std::size_t size);
    // Calls visit for every key added with remember, in no particular
    // order, until it returns false.
    void forEachRemembered(const std::function<bool(std::span<const std::uint8_t>)>& visit);
    void remember(std::uint64_t hash);
    void growFingerprints();

    std::filesystem::path folder_;
    std::size_t budget_;
    EntryBatch batch_;
    std::vector<Run> runs_;
    int fd_ = -1;
    std::uint64_t fileEnd_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t keyBytes_ = 0;
    // Open addressing, linear probing: 3-byte slots, the slot chosen by a
    // hash's low bits, 24 of its high bits kept.
    std::vector<std::uint8_t> fingerprints_;
    std::uint64_t remembered_ = 0;
};

}  // namespace jet
