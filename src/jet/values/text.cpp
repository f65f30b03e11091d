#include "jet/values/text.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <memory>

#include "jet/values/convert.h"

namespace jet {

namespace {

// cp1252 bytes 0x80-0x9F; the five unassigned bytes keep their own value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes the code point at s[i] and advances i past it. Malformed input
// (a stray or overlong sequence, a surrogate, past U+10FFFF) yields false
// and advances one byte.
bool nextCodePoint(std::string_view s, std::size_t& i, char32_t& cp) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        cp = c;
        ++i;
        return true;
    }
    const int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    bool sound = n >= 0 && c < 0xF8 && i + static_cast<std::size_t>(n) < s.size();
    cp = sound ? c & (0x3F >> n) : 0;
    for (int k = 1; sound && k <= n; ++k) {
        auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        sound = (b & 0xC0) == 0x80;
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    sound = sound && cp >= minimum[n] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    i += sound ? static_cast<std::size_t>(n) + 1 : 1;
    return sound;
}

// The code point, U+FFFD for malformed input.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    char32_t cp = 0;
    return nextCodePoint(s, i, cp) ? cp : 0xFFFD;
}

// The cp1252 byte of a character; -1 when the code page lacks it.
int cp1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int k = 0; k < 32; ++k)
        if (kCp1252High[k] == c) return 0x80 + k;
    return -1;
}

void appendUnits(std::string& out, const std::vector<char16_t>& units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
}

// Other code pages go through the C library's converters, one descriptor
// per direction and code page (per thread: a descriptor carries state).
class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : cd_(::iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (ok()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Converts all of in; bytes it cannot convert become replacement (or
    // make it fail when replacement is empty).
    std::optional<std::string> run(std::string_view in, std::string_view replacement) {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        char buf[1024];
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            const std::size_t r = ::iconv(cd_, &src, &left, &dst, &room);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            if (replacement.empty()) return std::nullopt;
            out += replacement;  // a byte it cannot read: skip it
            ++src;
            --left;
        }
        return out;
    }

private:
    iconv_t cd_;
};

Converter* converter(std::uint16_t codePage, bool toUtf8) {
    thread_local std::map<std::pair<std::uint16_t, bool>, std::unique_ptr<Converter>> cache;
    auto& slot = cache[{codePage, toUtf8}];
    if (!slot) {
        const std::string cp = "CP" + std::to_string(codePage);
        slot = toUtf8 ? std::make_unique<Converter>("UTF-8", cp)
                      : std::make_unique<Converter>(cp, "UTF-8");
    }
    return slot->ok() ? slot.get() : nullptr;
}

bool usesTable(std::uint16_t codePage) { return codePage == 1252 || codePage == 0; }

}  // namespace

std::string utf16ToUtf8(std::span<const std::uint8_t> data) {
    std::vector<char16_t> units;
    units.reserve(data.size() / 2);
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    std::string out;
    appendUnits(out, units);
    return out;
}

std::string decodeJet4Text(std::span<const std::uint8_t> data) {
    if (data.size() < 2 || data[0] != 0xFF || data[1] != 0xFE) return utf16ToUtf8(data);
    // Compressed ASCII, the common case, is already UTF-8.
    if (std::all_of(data.begin() + 2, data.end(), [](std::uint8_t b) { return b > 0 && b < 0x80; }))
        return std::string(reinterpret_cast<const char*>(data.data()) + 2, data.size() - 2);
    std::vector<char16_t> units;
    bool compressed = true;
    std::size_t i = 2;
    while (i < data.size()) {
        if (data[i] == 0x00) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            units.push_back(data[i++]);
        } else {
            if (i + 1 >= data.size()) break;
            units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
            i += 2;
        }
    }
    std::string out;
    appendUnits(out, units);
    return out;
}

bool canDecodeCodePage(std::uint16_t codePage) {
    return usesTable(codePage) || converter(codePage, true) != nullptr;
}

std::string decodeCodePage(std::span<const std::uint8_t> data, std::uint16_t codePage) {
    if (!usesTable(codePage)) {
        if (Converter* c = converter(codePage, true)) {
            const std::string_view in(reinterpret_cast<const char*>(data.data()), data.size());
            if (auto out = c->run(in, "\xEF\xBF\xBD")) return *out;
        }
        codePage = 1252;  // no converter: the Western reading is the best guess
    }
    std::string out;
    out.reserve(data.size());
    for (std::uint8_t b : data) {
        char32_t c = b;
        if (b >= 0x80 && b < 0xA0) c = kCp1252High[b - 0x80];
        appendUtf8(out, c);
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> encodeCodePage(std::string_view utf8,
                                                        std::uint16_t codePage) {
    if (!usesTable(codePage)) {
        if (Converter* c = converter(codePage, false)) {
            auto out = c->run(utf8, {});
            if (!out) return std::nullopt;
            return std::vector<std::uint8_t>(out->begin(), out->end());
        }
        codePage = 1252;
    }
    std::vector<std::uint8_t> out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const int b = cp1252Byte(nextCodePoint(utf8, i));
        if (b < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(b));
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();) n += nextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
    return n;
}

bool decodeUtf8(std::string_view s, std::u16string& out, bool replaceMalformed) {
    out.clear();
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        if (!nextCodePoint(s, i, cp)) {
            if (!replaceMalformed) return false;
            cp = 0xFFFD;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return true;
}

bool encodeCp1252(std::u16string_view text, Bytes& out) {
    out.clear();
    out.reserve(text.size());
    for (char16_t c : text) {
        const int b = cp1252Byte(c);
        if (b < 0) return false;
        out.push_back(static_cast<std::uint8_t>(b));
    }
    return true;
}

bool namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x < 0x80) x = static_cast<unsigned char>(std::tolower(x));
        if (y < 0x80) y = static_cast<unsigned char>(std::tolower(y));
        if (x != y) return false;
    }
    return true;
}

}  // namespace jet
