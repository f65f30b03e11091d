#include "jet/values/sortorder.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace jet::sortorder_data {
extern const std::uint8_t kJet4Runs[];
extern const std::size_t kJet4RunsSize;
extern const std::uint8_t kJet3Runs[];
extern const std::size_t kJet3RunsSize;
extern const std::uint16_t kJet3Mapped[][2];
extern const std::size_t kJet3MappedSize;
}  // namespace jet::sortorder_data

namespace jet::sortorder {
namespace {

constexpr char16_t kFirstSurrogate = 0xD800;
constexpr char16_t kFirstLowSurrogate = 0xDC00;
constexpr char16_t kLastSurrogate = 0xDFFF;

// Expands the run stream written by the generator (see its header for the layout)
// into one code per character, skipping the characters in [skipFrom, skipTo].
std::vector<CharCode> expand(const std::uint8_t* p, std::size_t size, std::size_t count,
                             std::size_t skipFrom, std::size_t skipTo) {
    std::vector<CharCode> out(count);
    const std::uint8_t* end = p + size;
    std::size_t c = 0;
    auto next = [&]() -> std::uint8_t {
        if (p == end) throw std::logic_error("sort-order table truncated");
        return *p++;
    };
    while (p != end) {
        std::uint8_t head = next();
        std::size_t run = 0;
        for (int shift = 0;; shift += 7) {
            std::uint8_t b = next();
            run |= static_cast<std::size_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0) break;
        }
        std::uint8_t lens = next();
        CharCode code;
        code.cls = static_cast<CharClass>(head & 0x07);
        code.inlineLen = static_cast<std::uint8_t>(lens >> 4);
        code.extraLen = static_cast<std::uint8_t>(lens & 0x0F);
        const std::uint8_t tail = next();
        code.unprintLen = tail & 0x0F;
        code.elements = static_cast<std::uint8_t>(tail >> 4);
        if (code.inlineLen > 4 || code.extraLen > 2 || code.unprintLen > 2)
            throw std::logic_error("sort-order table malformed");
        for (int i = 0; i < code.inlineLen; ++i) code.inlineCodes[i] = next();
        for (int i = 0; i < code.extraLen; ++i) code.extraCodes[i] = next();
        for (int i = 0; i < code.unprintLen; ++i) code.unprintCodes[i] = next();
        if (code.cls == CharClass::UnprintableModifier && code.extraLen != 1)
            throw std::logic_error("sort-order table malformed");
        if (code.cls == CharClass::ExtInternational) code.crazy = (head & 0x10) ? 2 : 3;
        const bool counting = (head & 0x08) != 0;
        for (std::size_t i = 0; i < run; ++i) {
            if (c == skipFrom) c = skipTo + 1;
            if (c >= count) throw std::logic_error("sort-order table too long");
            out[c++] = code;
            if (counting) {
                for (int k = code.inlineLen - 1; k >= 0; --k)
                    if (++code.inlineCodes[k] != 0) break;
            }
        }
    }
    if (c != count && !(c == skipFrom && skipTo + 1 == count))
        throw std::logic_error("sort-order table too short");
    return out;
}

CharCode surrogate(char16_t c) {
    int index;
    if (c < kFirstLowSurrogate) {
        index = c - 10238;
    } else {
        // Low halves: the offset steps down by two every 254 characters of a
        // 1024-character block, after the block's first eight.
        const int inBlock = (c - kFirstLowSurrogate) % 1024;
        const int offset = inBlock < 8 ? 9992 : 9990 - 2 * std::min((inBlock - 8) / 254, 3);
        index = c - offset;
    }
    CharCode code;
    code.cls = CharClass::Surrogate;
    code.inlineLen = 2;
    code.inlineCodes[0] = static_cast<std::uint8_t>(index >> 8);
    code.inlineCodes[1] = static_cast<std::uint8_t>(index);
    code.extraLen = 1;
    code.extraCodes[0] = 0x3F;
    return code;
}

const std::vector<CharCode>& jet4Table() {
    static const std::vector<CharCode> table = [] {
        auto t = expand(sortorder_data::kJet4Runs, sortorder_data::kJet4RunsSize, 0x10000,
                        kFirstSurrogate, kLastSurrogate);
        for (std::size_t c = kFirstSurrogate; c <= kLastSurrogate; ++c)
            t[c] = surrogate(static_cast<char16_t>(c));
        return t;
    }();
    return table;
}

const std::vector<CharCode>& jet3Table() {
    static const std::vector<CharCode> table = [] {
        auto t =
            expand(sortorder_data::kJet3Runs, sortorder_data::kJet3RunsSize, 0x100, 0x100, 0x100);
        // The tables leave U+0000 out, but Access keys it like the control
        // characters after it (seen in a system table's index: "Lock\0").
        t[0] = t[1];
        return t;
    }();
    return table;
}

}  // namespace

const CharCode& jet4(char16_t c) { return jet4Table()[c]; }

const CharCode& jet3(char16_t c) {
    const auto& table = jet3Table();
    if (c <= 0xFF) return table[c];
    const auto* first = sortorder_data::kJet3Mapped;
    const auto* last = first + sortorder_data::kJet3MappedSize;
    const auto* it = std::lower_bound(
        first, last, c, [](const std::uint16_t(&m)[2], char16_t v) { return m[0] < v; });
    if (it != last && (*it)[0] == c) return table[(*it)[1]];
    static const CharCode ignored;
    return ignored;
}

}  // namespace jet::sortorder
