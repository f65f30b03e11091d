#pragma once

// Index pages: the leaf (0x04) and node (0x03) pages of an index B-tree.
//
// Header (little-endian; the offsets are Format's index* fields):
//                                                 Jet 3    Jet 4
//   page type: 0x03 node, 0x04 leaf                0        0
//   always 0x01                                    1        1
//   free bytes at the end of the page (2)          2        2
//   table-definition page of the owning table (4)  4        4
//   unknown, zero (4)                              -        8
//   previous page on the same level, 0 if none (4) 8        12
//   next page on the same level, 0 if none (4)     12       16
//   node: the "tail" child, 0 if none (4)          16       20
//   length of the shared entry prefix              20 (1)   24 (2)
//   1 on node pages, 0 on leaves                   21       26
//   entry bitmap                                   22 (226) 27 (453)
//   entries                                        248      480
//
// The bitmap has one bit per byte of the entry area, least significant bit
// first; a set bit marks where an entry ends (and the next begins). Entry
// bytes are big-endian: the key (indexkey.h), then the row pointer (3-byte
// data page, 1-byte row); node entries add the 4-byte child page and carry
// the key and row pointer of the last entry below that child.
//
// Prefix compression: with a prefix length n, the first entry is written in
// full and every later entry without its first n bytes, which it shares with
// the first. The prefix may reach into the data page number, never into the
// row byte.
//
// A node's children are its entries' child pages, then its tail child: on a
// node with more than one child, the last child is not listed as an entry but
// named in the tail field. Entries can be appended to that last child without
// touching the parent (Access appends to an index this way).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/file/format.h"
#include "jet/types.h"

namespace jet {

// One index page, decoded: entries held whole (prefix restored) back to back.
class IndexPage {
public:
    bool leaf = true;
    std::uint32_t tdefPage = 0;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;

    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    // Bytes after the key: the row pointer, and the child page on nodes.
    std::size_t trailer() const { return leaf ? 4 : 8; }

    std::span<const std::uint8_t> entry(std::size_t i) const {
        const std::size_t b = begin(i);
        return {bytes_.data() + b, ends_[i] - b};
    }
    std::span<const std::uint8_t> key(std::size_t i) const {
        auto e = entry(i);
        return e.first(e.size() - trailer());
    }
    // Row pointer: data page << 8 | row.
    std::uint32_t rowPointer(std::size_t i) const;
    std::uint32_t child(std::size_t i) const;

    // Inserts a whole entry (key + trailer) before position i.
    void insert(std::size_t i, std::span<const std::uint8_t> entry);
    // Inserts a leaf entry made of its parts before position i.
    void insertEntry(std::size_t i, std::span<const std::uint8_t> key, std::uint32_t rowPointer);
    void erase(std::size_t i);
    void replace(std::size_t i, std::span<const std::uint8_t> entry);
    void clear();
    // Moves entries [from, size()) to the end of other.
    void moveTail(std::size_t from, IndexPage& other);

    // Sum of whole entry sizes.
    std::size_t dataBytes() const { return bytes_.size(); }
    // The shared prefix the page would be written with.
    std::size_t prefixLength(const Format& fmt) const;
    // Bytes of the entry area when written.
    std::size_t encodedBytes(const Format& fmt) const;
    bool fits(const Format& fmt) const;

private:
    friend IndexPage readIndexPage(const Format&, std::span<const std::uint8_t>, std::uint32_t);
    std::size_t begin(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }
    // Bytes every entry shares, short of each one's row byte; npos = unknown.
    std::size_t sharedPrefix() const;
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint32_t> ends_;
    mutable std::size_t shared_ = kUnknown;
};

// Builds an entry from its parts.
std::vector<std::uint8_t> makeIndexEntry(std::span<const std::uint8_t> key,
                                         std::uint32_t rowPointer);
std::vector<std::uint8_t> makeNodeEntry(std::span<const std::uint8_t> key, std::uint32_t rowPointer,
                                        std::uint32_t child);

// Compares two entries' keys, then row pointers: the order of an index.
int compareEntries(std::span<const std::uint8_t> keyA, std::uint32_t rowA,
                   std::span<const std::uint8_t> keyB, std::uint32_t rowB);

// Decodes a page image. A page that is not a sound index page fails with
// Error::Kind::Corrupt naming the page.
IndexPage readIndexPage(const Format& fmt, std::span<const std::uint8_t> image,
                        std::uint32_t pageNumber);

// Writes the page into image (pageSize bytes). The page must fit.
void writeIndexPage(const Format& fmt, const IndexPage& page, std::span<std::uint8_t> image);

}  // namespace jet
