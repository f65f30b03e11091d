#pragma once

// An index B-tree over index pages (indexpage.h), kept as Access keeps it:
//
// - The root page never moves (the table definition names it). When the root
//   overflows, its entries move to two new pages and it becomes their parent.
// - Pages on one level are chained by previous/next links, left to right.
// - A node entry names the last entry below its child; a node with more than
//   one child leaves its last child out of the entries and names it in the
//   tail field, so appends at the end of the index touch only the tail leaf.
// - An entry appended at the very end of a full rightmost page starts a new
//   page of its own; other splits cut a page in half by bytes. In-order loads
//   therefore leave full pages behind them.
//
// Changed pages are kept decoded in memory and written out by flush(), so a
// transaction that adds many entries rewrites each touched page once (up to
// a bound on the pages held, past which they are written out early).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/index/entrybatch.h"
#include "jet/index/indexpage.h"

namespace jet {

// Page access for an index: reading, changing and allocating pages.
class IndexPageStore {
public:
    virtual ~IndexPageStore() = default;
    // The current bytes of a page (pageSize of them).
    virtual std::span<const std::uint8_t> read(std::uint32_t page) = 0;
    // Overwrites a page.
    virtual void write(std::uint32_t page, std::span<const std::uint8_t> image) = 0;
    // A new page for this index.
    virtual std::uint32_t allocate() = 0;
};

class IndexTree {
public:
    IndexTree(const Format& fmt, IndexPageStore& store, std::uint32_t rootPage,
              std::uint32_t tdefPage);

    // The largest key an entry may carry: a page must hold several entries.
    std::size_t maxKeySize() const { return fmt_->indexCapacity() / 4; }

    // Adds an entry; returns whether its key is new to the index. Adding an
    // entry that is already there (same key and row) fails with
    // Error::Kind::Corrupt.
    bool insert(std::span<const std::uint8_t> key, std::uint32_t rowPointer);
    // Whether some entry carries exactly this key. When none does, an insert
    // of this key that comes next starts from this lookup.
    bool containsKey(std::span<const std::uint8_t> key);

    // Queues an entry for an index that refuses nothing, so nothing needs
    // judging per row: flush() puts the queue in in key order, many entries
    // to a leaf without a descent each. Same checks as insert().
    void defer(std::span<const std::uint8_t> key, std::uint32_t rowPointer);
    // Puts the queued entries in now.
    void applyDeferred();
    // For entries that come in key order into a tree that may hold some
    // already: a leaf that overflows splits just after the new entry, so
    // the pages left behind are full rather than half full.
    void setPackedSplits(bool on) { packed_ = on; }
    // How many queued entries carried a key new to the index, since the
    // last call.
    std::int64_t takeDeferredNewKeys();

    // Puts queued entries in, then writes every changed page to the store.
    void flush();
    // Forgets decoded pages (after the store's pages changed under us).
    void discard();
    bool dirty() const { return !dirty_.empty(); }
    // Whether the index holds no entry, queued ones included.
    bool empty();
    // Decoded pages held now; bounded, in a transaction too.
    std::size_t cachedPages() const { return cache_.size(); }

    // Writes an empty root leaf to a page.
    static void writeEmptyRoot(const Format& fmt, IndexPageStore& store, std::uint32_t page,
                               std::uint32_t tdefPage);

private:
    // A decoded page and whether it differs from the store.
    struct Node {
        IndexPage page;
        bool dirty = false;
    };
    struct Step {
        std::uint32_t page;
        std::size_t slot;  // child's entry on this page; npos for the tail child
        Node* node;
    };
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    void requireKeySize(std::span<const std::uint8_t> key) const;
    bool insertOne(std::span<const std::uint8_t> key, std::uint32_t rowPointer);
    // Writes every changed page to the store and trims the decoded pages.
    void writeBack();
    std::vector<std::uint8_t> image_;  // scratch for writeBack()
    Node& node(std::uint32_t number);
    IndexPage& page(std::uint32_t number) { return node(number).page; }
    void markDirty(Node& n, std::uint32_t number) {
        if (n.dirty) return;
        n.dirty = true;
        dirty_.push_back(number);
    }
    // Root-to-leaf path to the leaf where (key, row) belongs.
    void descend(std::span<const std::uint8_t> key, std::uint32_t row, std::vector<Step>& path);
    void raiseLastKey(const std::vector<Step>& path, std::span<const std::uint8_t> entry);
    void splitIfNeeded(const std::vector<Step>& path, std::size_t level, bool appended);
    std::size_t splitPoint(const IndexPage& p, bool appended) const;
    bool packed_ = false;
    std::size_t splitAfter_ = npos;  // the new entry's place in a leaf to split, when packed

    const Format* fmt_;
    IndexPageStore* store_;
    std::uint32_t root_;
    std::uint32_t tdef_;
    std::unordered_map<std::uint32_t, std::unique_ptr<Node>> cache_;
    std::vector<std::uint32_t> dirty_;
    // The path to the rightmost leaf, kept while no page splits, so appends
    // at the end of the index skip the descent.
    std::vector<Step> rightmost_;
    std::vector<Step> path_;  // scratch for descend()
    // The last containsKey() lookup, valid until the tree changes.
    std::vector<Step> probePath_;
    std::vector<std::uint8_t> probeKey_;
    std::size_t probePos_ = 0;  // where the key goes in the probe's leaf
    bool probed_ = false;
    Node* rightmostLeaf_ = nullptr;
    // The path to the leaf of the last insert, kept while no page splits: an
    // entry between that leaf's first and last goes there without a descent.
    std::vector<Step> finger_;
    Node* fingerLeaf_ = nullptr;
    bool withinFinger(std::span<const std::uint8_t> key, std::uint32_t row) const;
    // Queued entries.
    EntryBatch deferred_;
    EntryBatch applying_;  // the queue being put in; its buffers reused
    std::int64_t deferredNewKeys_ = 0;
    // While the sorted queue goes in: the leaf and position of the last entry.
    bool sortedRun_ = false;
    Node* lastLeaf_ = nullptr;
    std::size_t lastPos_ = 0;
    // Whether (key, row) sorts after every entry, judged on the kept path.
    bool beyondRightmost(std::span<const std::uint8_t> key, std::uint32_t row) const;
};

}  // namespace jet
