#include "jet/index/btree.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "jet/error.h"

namespace jet {
namespace {

constexpr std::size_t kMaxDepth = 32;
// Decoded pages one index keeps between transactions (about 4 KB each).
constexpr std::size_t kCachedPages = 512;
// Queued entries that go in at once even before a flush, bounding memory.
constexpr std::size_t kMaxDeferred = 65536;
// Decoded pages one index holds within a transaction; past this, changed
// ones go to the store early and the rest are dropped. Random keys change
// a page per entry: a large index would otherwise hold a transaction's
// worth of pages decoded besides their images in the pager.
constexpr std::size_t kMaxHeldPages = 1536;

// First entry of p from lo on that is not less than (key, row). Keys decide
// almost always; the row pointer is read only for equal keys.
std::size_t lowerBound(const IndexPage& p, std::span<const std::uint8_t> key, std::uint32_t row,
                       std::size_t lo = 0) {
    std::size_t hi = p.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        const auto k = p.key(mid);
        const std::size_t n = std::min(k.size(), key.size());
        int c = n == 0 ? 0 : std::memcmp(k.data(), key.data(), n);
        if (c == 0 && k.size() != key.size()) c = k.size() < key.size() ? -1 : 1;
        if (c == 0) {
            const std::uint32_t r = p.rowPointer(mid);
            c = r < row ? -1 : (r > row ? 1 : 0);
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// The same, for a key known to lie at from or later and likely close by.
std::size_t gallop(const IndexPage& p, std::span<const std::uint8_t> key, std::uint32_t row,
                   std::size_t from) {
    std::size_t step = 1;
    std::size_t lo = from;
    while (lo < p.size() && compareEntries(p.key(lo), p.rowPointer(lo), key, row) < 0) {
        from = lo + 1;
        lo += step;
        step *= 2;
    }
    // Entries before from are less; the one at lo (if any) is not.
    std::size_t hi = std::min(lo, p.size());
    while (from < hi) {
        const std::size_t mid = from + (hi - from) / 2;
        if (compareEntries(p.key(mid), p.rowPointer(mid), key, row) < 0)
            from = mid + 1;
        else
            hi = mid;
    }
    return from;
}

bool sameKey(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

[[noreturn]] void damaged(std::uint32_t page, const std::string& what) {
    throw Error(Error::Kind::Corrupt, "the index page is damaged: " + what).addPage(page);
}

// A node whose children are all listed hands its last child to the tail field.
void moveLastChildToTail(IndexPage& p) {
    if (p.leaf || p.tail != 0 || p.size() < 2) return;
    p.tail = p.child(p.size() - 1);
    p.erase(p.size() - 1);
}

}  // namespace

IndexTree::IndexTree(const Format& fmt, IndexPageStore& store, std::uint32_t rootPage,
                     std::uint32_t tdefPage)
    : fmt_(&fmt), store_(&store), root_(rootPage), tdef_(tdefPage) {}

void IndexTree::writeEmptyRoot(const Format& fmt, IndexPageStore& store, std::uint32_t page,
                               std::uint32_t tdefPage) {
    IndexPage p;
    p.tdefPage = tdefPage;
    std::vector<std::uint8_t> image(fmt.pageSize);
    writeIndexPage(fmt, p, image);
    store.write(page, image);
}

IndexTree::Node& IndexTree::node(std::uint32_t number) {
    auto it = cache_.find(number);
    if (it != cache_.end()) return *it->second;
    if (number == 0) damaged(0, "index points at page 0");
    auto decoded =
        std::make_unique<Node>(Node{readIndexPage(*fmt_, store_->read(number), number), false});
    Node& ref = *decoded;
    cache_.emplace(number, std::move(decoded));
    return ref;
}

void IndexTree::descend(std::span<const std::uint8_t> key, std::uint32_t row,
                        std::vector<Step>& path) {
    path.clear();
    std::uint32_t number = root_;
    for (;;) {
        if (path.size() == kMaxDepth) damaged(number, "index deeper than any sound index");
        for (const Step& s : path)
            if (s.page == number) damaged(number, "index pages form a loop");
        Node& n = node(number);
        const IndexPage& p = n.page;
        if (p.leaf) {
            path.push_back({number, npos, &n});
            return;
        }
        std::size_t i = lowerBound(p, key, row);
        std::size_t slot = i;
        std::uint32_t childPage = 0;
        if (i < p.size()) {
            childPage = p.child(i);
        } else if (p.tail != 0) {
            slot = npos;
            childPage = p.tail;
        } else if (!p.empty()) {
            slot = p.size() - 1;
            childPage = p.child(slot);
        } else {
            damaged(number, "node page without children");
        }
        path.push_back({number, slot, &n});
        number = childPage;
    }
}

void IndexTree::requireKeySize(std::span<const std::uint8_t> key) const {
    if (key.size() > maxKeySize())
        throw Error(Error::Kind::Unsupported, "index key of " + std::to_string(key.size()) +
                                                  " bytes is longer than the " +
                                                  std::to_string(maxKeySize()) + " an index holds");
}

bool IndexTree::insert(std::span<const std::uint8_t> key, std::uint32_t rowPointer) {
    const bool fresh = insertOne(key, rowPointer);
    if (cache_.size() > kMaxHeldPages) writeBack();
    return fresh;
}

bool IndexTree::insertOne(std::span<const std::uint8_t> key, std::uint32_t rowPointer) {
    requireKeySize(key);
    const bool append = beyondRightmost(key, rowPointer);
    const bool probed = !append && probed_ && sameKey(probeKey_, key);
    probed_ = false;
    const bool fingered = !append && !probed && withinFinger(key, rowPointer);
    if (!append && !probed && !fingered) descend(key, rowPointer, path_);
    const std::vector<Step>& path =
        append ? rightmost_ : (probed ? probePath_ : (fingered ? finger_ : path_));
    const std::uint32_t leafNo = path.back().page;
    Node& leafNode = *path.back().node;
    IndexPage& leaf = leafNode.page;
    std::size_t pos = 0;
    if (append)
        pos = leaf.size();
    else if (probed)
        pos = probePos_;
    else if (sortedRun_ && lastLeaf_ == &leafNode && lastPos_ < leaf.size())
        pos = gallop(leaf, key, rowPointer, lastPos_ + 1);
    else
        pos = lowerBound(leaf, key, rowPointer);
    if (pos < leaf.size() &&
        compareEntries(leaf.key(pos), leaf.rowPointer(pos), key, rowPointer) == 0)
        damaged(leafNo, "the index already holds an entry for this row");
    leaf.insertEntry(pos, key, rowPointer);
    markDirty(leafNode, leafNo);
    const bool atEnd = pos + 1 == leaf.size();
    // Equal keys sit side by side, across a page boundary at worst. A probe
    // that found no equal key has settled it already.
    bool seen = !probed && ((pos > 0 && sameKey(leaf.key(pos - 1), key)) ||
                            (!atEnd && sameKey(leaf.key(pos + 1), key)));
    if (!seen && !probed && pos == 0 && leaf.prev != 0) {
        const IndexPage& before = page(leaf.prev);
        seen = !before.empty() && sameKey(before.key(before.size() - 1), key);
    }
    if (!seen && !probed && atEnd && leaf.next != 0) {
        const IndexPage& after = page(leaf.next);
        seen = !after.empty() && sameKey(after.key(0), key);
    }
    if (atEnd) raiseLastKey(path, leaf.entry(pos));
    const bool rightEdge = atEnd && leaf.next == 0;
    if (!leaf.fits(*fmt_)) {
        // Any split may move pages of the kept paths.
        rightmostLeaf_ = nullptr;
        fingerLeaf_ = nullptr;
        lastLeaf_ = nullptr;
        splitAfter_ = packed_ ? pos : npos;
        splitIfNeeded(path, path.size() - 1, rightEdge);
        splitAfter_ = npos;
        return !seen;
    }
    lastLeaf_ = &leafNode;
    lastPos_ = pos;
    if (rightEdge && !append) {
        rightmost_ = path;
        rightmostLeaf_ = &leafNode;
    }
    // Appends have their own kept path.
    if (!fingered && !append) {
        finger_ = path;
        fingerLeaf_ = &leafNode;
    }
    return !seen;
}

bool IndexTree::withinFinger(std::span<const std::uint8_t> key, std::uint32_t row) const {
    if (!fingerLeaf_) return false;
    const IndexPage& leaf = fingerLeaf_->page;
    const std::size_t n = leaf.size();
    return n >= 2 && compareEntries(leaf.key(0), leaf.rowPointer(0), key, row) < 0 &&
           compareEntries(key, row, leaf.key(n - 1), leaf.rowPointer(n - 1)) < 0;
}

void IndexTree::defer(std::span<const std::uint8_t> key, std::uint32_t rowPointer) {
    requireKeySize(key);
    deferred_.add(key, rowPointer);
    if (deferred_.size() >= kMaxDeferred) applyDeferred();
}

void IndexTree::applyDeferred() {
    if (deferred_.empty()) return;
    EntryBatch& queue = applying_;
    queue.swap(deferred_);
    queue.sort();
    // In order, each entry lies after the one before: the leaf search can
    // start there.
    sortedRun_ = true;
    lastLeaf_ = nullptr;
    struct EndRun {
        bool& flag;
        EntryBatch& queue;
        ~EndRun() {
            flag = false;
            queue.clear();
        }
    } endRun{sortedRun_, queue};
    for (std::size_t i = 0; i < queue.size(); ++i)
        if (insert(queue.key(i), queue.row(i))) ++deferredNewKeys_;
}

std::int64_t IndexTree::takeDeferredNewKeys() { return std::exchange(deferredNewKeys_, 0); }

bool IndexTree::beyondRightmost(std::span<const std::uint8_t> key, std::uint32_t row) const {
    if (!rightmostLeaf_) return false;
    const IndexPage& leaf = rightmostLeaf_->page;
    if (leaf.next != 0 || leaf.empty()) return false;
    return compareEntries(leaf.key(leaf.size() - 1), leaf.rowPointer(leaf.size() - 1), key, row) <
           0;
}

// The last entry under path.back() is now `entry`: node entries that name it
// as the last of their child follow.
void IndexTree::raiseLastKey(const std::vector<Step>& path, std::span<const std::uint8_t> entry) {
    const auto key = entry.first(entry.size() - 4);
    std::uint32_t rowPtr = 0;
    for (std::size_t b = 0; b < 4; ++b) rowPtr = (rowPtr << 8) | entry[entry.size() - 4 + b];
    for (std::size_t level = path.size() - 1; level > 0; --level) {
        const Step& up = path[level - 1];
        IndexPage& parent = up.node->page;
        if (up.slot != npos) {
            if (compareEntries(parent.key(up.slot), parent.rowPointer(up.slot), key, rowPtr) != 0) {
                parent.replace(up.slot, makeNodeEntry(key, rowPtr, path[level].page));
                markDirty(*up.node, up.page);
            }
            if (up.slot + 1 != parent.size() || parent.tail != 0) return;
        }
    }
}

std::size_t IndexTree::splitPoint(const IndexPage& p, bool appended) const {
    const std::size_t n = p.size();
    if (appended) return n - 1;
    if (p.leaf && splitAfter_ != npos && splitAfter_ + 1 < n) {
        // Everything up to the new entry stays, when it takes no more room
        // than the entries that leave: the page held those before.
        std::size_t leaving = 0;
        for (std::size_t i = splitAfter_ + 1; i < n; ++i) leaving += p.entry(i).size();
        if (p.entry(splitAfter_).size() <= leaving) return splitAfter_ + 1;
    }
    const std::size_t prefix = p.prefixLength(*fmt_);
    std::size_t total = 0;
    for (std::size_t i = 0; i < n; ++i) total += p.entry(i).size() - prefix;
    std::size_t acc = 0;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        acc += p.entry(k).size() - prefix;
        if (acc * 2 >= total) return k + 1;
    }
    return n - 1;
}

void IndexTree::splitIfNeeded(const std::vector<Step>& path, std::size_t level, bool appended) {
    const std::uint32_t number = path[level].page;
    Node& pNode = *path[level].node;
    IndexPage& p = pNode.page;
    if (p.fits(*fmt_)) return;
    if (p.size() < 2) damaged(number, "an index entry larger than a page");
    const std::size_t k = splitPoint(p, appended);

    auto fresh = [&](std::uint32_t& no) -> IndexPage& {
        no = store_->allocate();
        auto made = std::make_unique<Node>();
        Node& n = *made;
        n.page.leaf = p.leaf;
        n.page.tdefPage = tdef_;
        cache_[no] = std::move(made);
        markDirty(n, no);
        return n.page;
    };
    auto check = [&](const IndexPage& q, std::uint32_t no) {
        if (!q.fits(*fmt_)) damaged(no, "index entries too large to split");
    };

    std::uint32_t rightNo = 0;
    IndexPage& right = fresh(rightNo);
    p.moveTail(k, right);
    right.tail = p.tail;
    p.tail = 0;
    const auto lastKeyVec =
        std::vector<std::uint8_t>(p.key(p.size() - 1).begin(), p.key(p.size() - 1).end());
    const std::uint32_t lastRow = p.rowPointer(p.size() - 1);
    moveLastChildToTail(right);

    if (level == 0) {
        // The root stays where it is: its entries go to two new pages.
        std::uint32_t leftNo = 0;
        IndexPage& left = fresh(leftNo);
        p.moveTail(0, left);
        moveLastChildToTail(left);
        left.prev = 0;
        left.next = rightNo;
        right.prev = leftNo;
        right.next = 0;
        p.leaf = false;
        p.clear();
        p.prev = p.next = 0;
        p.insert(0, makeNodeEntry(lastKeyVec, lastRow, leftNo));
        p.tail = rightNo;
        markDirty(pNode, number);
        check(left, leftNo);
        check(right, rightNo);
        return;
    }

    moveLastChildToTail(p);
    right.next = p.next;
    right.prev = number;
    if (p.next != 0) {
        Node& after = node(p.next);
        after.page.prev = rightNo;
        markDirty(after, p.next);
    }
    p.next = rightNo;
    markDirty(pNode, number);
    check(p, number);
    check(right, rightNo);

    const Step up = path[level - 1];
    IndexPage& parent = up.node->page;
    bool parentAppended = false;
    if (up.slot == npos) {
        parent.insert(parent.size(), makeNodeEntry(lastKeyVec, lastRow, number));
        parent.tail = rightNo;
        parentAppended = parent.next == 0;
    } else {
        const std::vector<std::uint8_t> oldKey(parent.key(up.slot).begin(),
                                               parent.key(up.slot).end());
        const std::uint32_t oldRow = parent.rowPointer(up.slot);
        parent.replace(up.slot, makeNodeEntry(lastKeyVec, lastRow, number));
        parent.insert(up.slot + 1, makeNodeEntry(oldKey, oldRow, rightNo));
    }
    markDirty(*up.node, up.page);
    splitIfNeeded(path, level - 1, parentAppended);
}

bool IndexTree::containsKey(std::span<const std::uint8_t> key) {
    probed_ = false;
    // Past the last key of the rightmost leaf: nowhere in the index.
    if (beyondRightmost(key, 0)) return false;
    descend(key, 0, probePath_);
    const IndexPage* leaf = &probePath_.back().node->page;
    std::size_t pos = lowerBound(*leaf, key, 0);
    bool moved = false;
    // A node entry may name a key below the true last one of its child in
    // files edited elsewhere; the next leaf settles it.
    for (int hops = 0; pos == leaf->size() && leaf->next != 0 && hops < 4; ++hops) {
        leaf = &page(leaf->next);
        pos = lowerBound(*leaf, key, 0);
        moved = true;
    }
    const bool found = pos < leaf->size() && sameKey(leaf->key(pos), key);
    // Without an equal key, the entry goes where this lookup ended whatever
    // its row: the insert that follows can start there.
    if (!found && !moved) {
        probed_ = true;
        probePos_ = pos;
        probeKey_.assign(key.begin(), key.end());
    }
    return found;
}

void IndexTree::flush() {
    applyDeferred();
    writeBack();
}

void IndexTree::writeBack() {
    image_.resize(fmt_->pageSize);
    for (const std::uint32_t number : dirty_) {
        Node& n = *cache_.at(number);
        writeIndexPage(*fmt_, n.page, image_);
        store_->write(number, image_);
        n.dirty = false;
    }
    // Decoded pages stay, within a bound: the path to the rightmost leaf
    // (for appends), then the pages just changed, the likeliest to change
    // again.
    probed_ = false;
    fingerLeaf_ = nullptr;
    lastLeaf_ = nullptr;
    if (cache_.size() > kCachedPages) {
        std::unordered_set<std::uint32_t> keep;
        if (rightmostLeaf_)
            for (const Step& s : rightmost_) keep.insert(s.page);
        for (std::size_t i = dirty_.size(); i-- > 0 && keep.size() < kCachedPages;)
            keep.insert(dirty_[i]);
        for (auto it = cache_.begin(); it != cache_.end();)
            it = keep.count(it->first) ? std::next(it) : cache_.erase(it);
        if (rightmostLeaf_)
            for (const Step& s : rightmost_)
                if (!cache_.count(s.page)) rightmostLeaf_ = nullptr;
    }
    dirty_.clear();
}

bool IndexTree::empty() {
    const IndexPage& root = page(root_);
    return root.leaf && root.empty() && deferred_.empty();
}

void IndexTree::discard() {
    rightmostLeaf_ = nullptr;
    fingerLeaf_ = nullptr;
    lastLeaf_ = nullptr;
    deferred_.clear();
    deferredNewKeys_ = 0;
    probed_ = false;
    cache_.clear();
    dirty_.clear();
}

}  // namespace jet
