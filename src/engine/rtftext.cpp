#include "engine/rtftext.h"

#include <QStringDecoder>
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

enum class Dest : std::uint8_t {
    Text,       // visible text
    FontTable,  // read for the fonts' code pages, shows nothing
    Skip,       // shows nothing
};

struct Group {
    Dest dest = Dest::Text;
    int uc = 1;     // fallback characters that follow \uN
    int font = -1;  // \fN in effect; -1 none
};

// What a control word does.
enum class Op : std::uint8_t {
    Break,         // ends a line
    Cell,          // a table cell's end
    Row,           // a table row's end
    Char,          // one character, in value
    SkipDest,      // a destination that shows nothing
    FontTable,     // \fonttbl
    Unicode,       // \uN
    UnicodeSkip,   // \ucN
    Bin,           // \binN: N raw bytes follow
    AnsiCodePage,  // \ansicpgN
    CharSet,       // \ansi, \mac, \pc, \pca: the document's code page, in value
    Font,          // \fN
    FontCharset,   // \fcharsetN
    FontCodePage,  // \cpgN
    DefaultFont,   // \deffN
    Plain,         // \plain: character formatting back to the default font
};

struct Word {
    Op op;
    std::uint16_t value = 0;
};

// Destinations whose content is not the document's text. Most writers also
// mark the newer ones with \*, which drops them anyway.
constexpr std::string_view kSkippedDestinations =
    "colortbl stylesheet info pict objdata objclass objname objalias objsect objitem objtopic "
    "header headerl headerr headerf footer footerl footerr footerf footnote annotation atnid "
    "atnauthor atndate atnicn atnref atntime fldinst pntext pn pntxta pntxtb listtext listtable "
    "listoverridetable revtbl rsidtbl xmlnstbl themedata colorschememapping latentstyles "
    "datastore generator template shp shpinst shprslt nonshppict do bkmkstart bkmkend xe tc tcn "
    "txe rxe private userprops docvar pgdsctbl ftnsep ftnsepc ftncn aftnsep aftnsepc aftncn "
    "filetbl falt panose upr ud mmathPr wgrffmtfilter passwordhash protusertbl fchars lchars "
    "keycode fontemb fontfile";

const std::unordered_map<std::string_view, Word>& controlWords() {
    static const std::unordered_map<std::string_view, Word> words = [] {
        std::unordered_map<std::string_view, Word> w;
        for (const char* name : {"par", "line", "sect", "page"}) w[name] = {Op::Break};
        w["cell"] = w["nestcell"] = {Op::Cell};
        w["row"] = {Op::Row};
        const std::pair<const char*, std::uint16_t> chars[] = {
            {"tab", u'\t'},      {"emdash", 0x2014},    {"endash", 0x2013},    {"lquote", 0x2018},
            {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"bullet", 0x2022},
            {"emspace", 0x2003}, {"enspace", 0x2002},   {"qmspace", 0x2005},   {"zwj", 0x200D},
            {"zwnj", 0x200C},    {"ltrmark", 0x200E},   {"rtlmark", 0x200F},   {"zwbo", 0x200B},
            {"zwnbo", 0x2060}};
        for (const auto& [name, c] : chars) w[name] = {Op::Char, c};
        std::string_view skipped = kSkippedDestinations;
        while (!skipped.empty()) {
            const auto end = std::min(skipped.find(' '), skipped.size());
            w[skipped.substr(0, end)] = {Op::SkipDest};
            skipped.remove_prefix(std::min(end + 1, skipped.size()));
        }
        w["fonttbl"] = {Op::FontTable};
        w["u"] = {Op::Unicode};
        w["uc"] = {Op::UnicodeSkip};
        w["bin"] = {Op::Bin};
        w["ansicpg"] = {Op::AnsiCodePage};
        w["ansi"] = {Op::CharSet, 1252};
        w["mac"] = {Op::CharSet, 10000};
        w["pc"] = {Op::CharSet, 437};
        w["pca"] = {Op::CharSet, 850};
        w["f"] = {Op::Font};
        w["fcharset"] = {Op::FontCharset};
        w["cpg"] = {Op::FontCodePage};
        w["deff"] = {Op::DefaultFont};
        w["plain"] = {Op::Plain};
        return w;
    }();
    return words;
}

// The Windows code page of a font character set; 0 where the document's code
// page applies (ANSI, default, symbol and unknown sets).
int charsetCodePage(long long charset) {
    static constexpr std::pair<int, int> kCodePages[] = {
        {77, 10000}, {128, 932},  {129, 949},  {130, 1361}, {134, 936},  {136, 950},
        {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
        {204, 1251}, {222, 874},  {238, 1250}, {255, 437}};
    for (const auto& [set, cp] : kCodePages)
        if (set == charset) return cp;
    return 0;
}

// Groups deeper than this share the deepest state, so hostile nesting costs
// no memory; real documents stay far below it.
constexpr std::size_t kMaxDepth = 4096;

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class RtfReader {
public:
    explicit RtfReader(QByteArrayView in) : in_(in) {}

    // Reads from the document's opening brace at start.
    QString read(qsizetype start);

private:
    qsizetype controlAt(qsizetype i);
    qsizetype textRun(qsizetype i);
    qsizetype word(const Word& w, bool hasParam, long long param, qsizetype i);
    void symbol(char c);
    void openGroup();
    bool closeGroup();  // false once the outermost group is closed

    Group& top() { return groups_.back(); }
    bool showing() { return top().dest == Dest::Text; }
    // A destination word names its group; at the document's own level it is
    // stray and ignored.
    void setDest(Dest d) {
        if (groups_.size() > 1) top().dest = d;
    }

    void flush();
    int codePage();
    QStringDecoder& decoder(int cp);
    void settle();
    void put(char16_t c);
    void putUnit(char16_t u);
    void putUnicode(long long n);
    void putBreak();

    QByteArrayView in_;
    std::vector<Group> groups_;
    qsizetype overflow_ = 0;  // groups opened beyond kMaxDepth
    long long skip_ = 0;      // \uc fallback characters still to skip
    std::string bytes_;       // text bytes not yet decoded
    QString out_;
    char16_t pendingHigh_ = 0;  // a high surrogate waiting for its low half
    bool lastWasCell_ = false;
    int docCodePage_ = 1252;
    int defaultFont_ = -1;
    int fontBeingDefined_ = -1;
    std::unordered_map<int, int> fontCodePages_;  // font number -> code page (0: document's)
    std::vector<std::pair<int, QStringDecoder>> decoders_;
};

QString RtfReader::read(qsizetype i) {
    const qsizetype n = in_.size();
    while (i < n) {
        const char c = in_[i];
        if (c == '{') {
            flush();
            openGroup();
            ++i;
        } else if (c == '}') {
            flush();
            if (!closeGroup()) break;
            ++i;
        } else if (c == '\\') {
            i = controlAt(i + 1);
        } else {
            i = textRun(i);
        }
    }
    flush();
    settle();
    if (out_.isNull()) out_ = QStringLiteral("");  // empty text, never Null
    return std::move(out_);
}

void RtfReader::openGroup() {
    skip_ = 0;
    if (groups_.empty()) {
        groups_.emplace_back();
    } else if (overflow_ > 0 || groups_.size() >= kMaxDepth) {
        ++overflow_;
    } else {
        groups_.push_back(groups_.back());
    }
}

bool RtfReader::closeGroup() {
    skip_ = 0;
    if (overflow_ > 0) {
        --overflow_;
        return true;
    }
    groups_.pop_back();
    return !groups_.empty();
}

qsizetype RtfReader::textRun(qsizetype i) {
    const qsizetype n = in_.size();
    const bool show = showing();
    for (; i < n; ++i) {
        const char c = in_[i];
        if (c == '{' || c == '}' || c == '\\') break;
        if (c == '\r' || c == '\n' || c == '\0') continue;  // line breaks of the file itself
        if (skip_ > 0) {
            --skip_;
        } else if (show) {
            bytes_.push_back(c);
        }
    }
    return i;
}

// i is just past the backslash.
qsizetype RtfReader::controlAt(qsizetype i) {
    const qsizetype n = in_.size();
    if (i >= n) return n;
    const char c = in_[i];
    if (c == '\'') {
        const int hi = i + 1 < n ? hexValue(in_[i + 1]) : -1;
        const int lo = i + 2 < n ? hexValue(in_[i + 2]) : -1;
        if (hi < 0) return i + 1;  // malformed or cut short: dropped
        if (lo < 0) return i + 2;
        if (skip_ > 0) {
            --skip_;
        } else if (showing() && (hi | lo) != 0) {
            bytes_.push_back(static_cast<char>(hi * 16 + lo));
        }
        return i + 3;
    }
    if (!isLetter(c)) {
        if (skip_ > 0) {
            --skip_;
        } else if (c == '\\' || c == '{' || c == '}') {
            if (showing()) bytes_.push_back(c);
        } else {
            flush();
            symbol(c);
        }
        return i + 1;
    }

    const qsizetype start = i;
    while (i < n && isLetter(in_[i])) ++i;
    const std::string_view name(in_.data() + start, static_cast<std::size_t>(i - start));
    bool negative = false;
    if (i + 1 < n && in_[i] == '-' && isDigit(in_[i + 1])) {
        negative = true;
        ++i;
    }
    bool hasParam = false;
    long long param = 0;
    for (; i < n && isDigit(in_[i]); ++i) {
        hasParam = true;
        if (param < 1'000'000'000'000LL) param = param * 10 + (in_[i] - '0');
    }
    if (negative) param = -param;
    if (i < n && in_[i] == ' ') ++i;

    const auto& words = controlWords();
    const auto found = words.find(name);
    if (found == words.end()) {
        if (skip_ > 0) --skip_;
        return i;
    }
    flush();
    return word(found->second, hasParam, param, i);
}

void RtfReader::symbol(char c) {
    switch (c) {
        case '*':
            setDest(Dest::Skip);
            break;
        case '~':
            if (showing()) put(0x00A0);
            break;
        case '_':
            if (showing()) put(u'-');
            break;
        case '\r':
        case '\n':
            if (showing()) putBreak();
            break;
        default:  // \- (optional hyphen) and the index and formula symbols show nothing
            break;
    }
}

// i is just past the word and its delimiter.
qsizetype RtfReader::word(const Word& w, bool hasParam, long long param, qsizetype i) {
    if (w.op == Op::Bin) {
        const qsizetype skipped = std::clamp<long long>(param, 0, in_.size() - i);
        if (skip_ > 0) --skip_;
        return i + skipped;
    }
    if (skip_ > 0) {
        --skip_;
        return i;
    }
    Group& g = top();
    const bool show = g.dest == Dest::Text;
    switch (w.op) {
        case Op::Break:
            if (show) putBreak();
            break;
        case Op::Cell:
            if (show) {
                put(u'\t');
                lastWasCell_ = true;
            }
            break;
        case Op::Row:
            if (show) {
                if (lastWasCell_) out_.chop(1);
                putBreak();
            }
            break;
        case Op::Char:
            if (show) put(w.value);
            break;
        case Op::SkipDest:
            setDest(Dest::Skip);
            break;
        case Op::FontTable:
            if (g.dest == Dest::Text) setDest(Dest::FontTable);
            break;
        case Op::Unicode:
            if (!hasParam) break;
            if (show) putUnicode(param);
            skip_ = g.uc;
            break;
        case Op::UnicodeSkip:
            g.uc = static_cast<int>(std::clamp<long long>(param, 0, 1 << 16));
            break;
        case Op::AnsiCodePage:
            docCodePage_ = param > 0 && param < 65536 ? static_cast<int>(param) : 1252;
            break;
        case Op::CharSet:
            docCodePage_ = w.value;
            break;
        case Op::Font:
            if (!hasParam) break;
            if (g.dest == Dest::FontTable) {
                fontBeingDefined_ = static_cast<int>(std::clamp<long long>(param, -1, 1 << 30));
            } else {
                g.font = static_cast<int>(std::clamp<long long>(param, -1, 1 << 30));
            }
            break;
        case Op::FontCharset:
            if (g.dest == Dest::FontTable && fontBeingDefined_ >= 0)
                fontCodePages_[fontBeingDefined_] = charsetCodePage(param);
            break;
        case Op::FontCodePage:
            if (g.dest == Dest::FontTable && fontBeingDefined_ >= 0 && param > 0 && param < 65536)
                fontCodePages_[fontBeingDefined_] = static_cast<int>(param);
            break;
        case Op::DefaultFont:
            defaultFont_ = static_cast<int>(std::clamp<long long>(param, -1, 1 << 30));
            if (g.font < 0) g.font = defaultFont_;
            break;
        case Op::Plain:
            g.font = defaultFont_;
            break;
        case Op::Bin:
            break;
    }
    return i;
}

int RtfReader::codePage() {
    const auto found = fontCodePages_.find(top().font);
    return found != fontCodePages_.end() && found->second != 0 ? found->second : docCodePage_;
}

QStringDecoder& RtfReader::decoder(int cp) {
    for (auto& [known, d] : decoders_)
        if (known == cp) return d;
    // Stateless: every run of bytes is decoded on its own. (A double-byte lead
    // byte cut off at the end of a run shows nothing.)
    const auto flags = QStringDecoder::Flag::Stateless;
    QStringDecoder d;
    if (cp == 65001) {
        d = QStringDecoder(QStringDecoder::Utf8, flags);
    } else if (cp == 10000) {
        d = QStringDecoder("macintosh", flags);
    } else {
        d = QStringDecoder(("windows-" + std::to_string(cp)).c_str(), flags);
        if (!d.isValid()) d = QStringDecoder(("cp" + std::to_string(cp)).c_str(), flags);
    }
    // A code page without a converter is read as Western, the usual case.
    if (!d.isValid()) d = QStringDecoder("windows-1252", flags);
    if (!d.isValid()) d = QStringDecoder(QStringDecoder::Latin1, flags);
    decoders_.emplace_back(cp, std::move(d));
    return decoders_.back().second;
}

void RtfReader::flush() {
    if (bytes_.empty()) return;
    settle();
    const bool ascii =
        std::all_of(bytes_.begin(), bytes_.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
        out_.append(QLatin1StringView(bytes_.data(), static_cast<qsizetype>(bytes_.size())));
    } else {
        QStringDecoder& d = decoder(codePage());
        QString text = d.decode(QByteArrayView(bytes_));
        // The system converters mark a byte they cannot read with SUB; show
        // it as the usual replacement character, unless SUB was in the input.
        if (bytes_.find('\x1A') == std::string::npos) text.replace(QChar(0x1A), QChar(0xFFFD));
        d.resetState();
        out_.append(text);
    }
    bytes_.clear();
}

// Everything but a low surrogate ends a waiting high one.
void RtfReader::settle() {
    if (pendingHigh_ != 0) {
        out_.append(QChar(0xFFFD));
        pendingHigh_ = 0;
    }
    lastWasCell_ = false;
}

void RtfReader::put(char16_t c) {
    settle();
    out_.append(QChar(c));
}

void RtfReader::putBreak() {
    settle();
    out_.append(u"\r\n");
}

void RtfReader::putUnit(char16_t u) {
    if (QChar::isHighSurrogate(u)) {
        settle();
        pendingHigh_ = u;
    } else if (QChar::isLowSurrogate(u)) {
        if (pendingHigh_ != 0) {
            out_.append(QChar(pendingHigh_));
            out_.append(QChar(u));
            pendingHigh_ = 0;
            lastWasCell_ = false;
        } else {
            put(0xFFFD);
        }
    } else if (u != 0) {
        put(u);
    }
}

void RtfReader::putUnicode(long long n) {
    if (n < 0) n += 65536;
    if (n < 0 || n > 0x10FFFF) return;
    if (n > 0xFFFF) {  // some writers give a whole code point
        const char32_t c = static_cast<char32_t>(n);
        putUnit(QChar::highSurrogate(c));
        putUnit(QChar::lowSurrogate(c));
        return;
    }
    putUnit(static_cast<char16_t>(n));
}

}  // namespace

std::optional<QString> RtfToPlainText(QByteArrayView bytes) {
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' ||
                                bytes[i] == '\n' || bytes[i] == '\f' || bytes[i] == '\v'))
        ++i;
    if (!bytes.sliced(i).startsWith("{\\rtf")) return std::nullopt;
    return RtfReader(bytes).read(i);
}
