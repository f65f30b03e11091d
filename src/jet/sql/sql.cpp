#include "jet/sql/sql.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "jet/error.h"

namespace jet::sql {
namespace {

// ---------------------------------------------------------------------------
// Tokens. A token remembers where it stands in the statement so that names
// which are not single tokens (a bare table name with blanks) can be cut out of
// the original text, and so that errors can quote the text at fault.

enum class Tok { Word, Bracketed, Symbol, End };

struct Token {
    Tok kind = Tok::End;
    std::string_view text;  // Bracketed: the name without its brackets
    std::size_t begin = 0;  // offsets in the statement, brackets included
    std::size_t end = 0;
};

bool isSymbol(char c) {
    return c == '(' || c == ')' || c == ',' || c == ';' || c == '=' || c == '*';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

std::size_t characterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string quoteAt(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return "the end of the statement";
    std::string_view rest = text.substr(pos, 40);
    std::string out = "'" + std::string(rest);
    if (pos + rest.size() < text.size()) out += "...";
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return out + "'";
}

[[noreturn]] void fail(const std::string& what, std::string_view text, std::size_t pos) {
    throw Error(Error::Kind::Invalid, "Syntax error: " + what + " at " + quoteAt(text, pos) + ".");
}

std::vector<Token> tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c)) {
            ++i;
        } else if (c == '[') {
            const std::size_t close = text.find(']', i + 1);
            if (close == std::string_view::npos) fail("a '[' without its ']'", text, i);
            tokens.push_back({Tok::Bracketed, text.substr(i + 1, close - i - 1), i, close + 1});
            i = close + 1;
        } else if (c == ']') {
            fail("a ']' without its '['", text, i);
        } else if (isSymbol(c)) {
            tokens.push_back({Tok::Symbol, text.substr(i, 1), i, i + 1});
            ++i;
        } else {
            std::size_t j = i;
            while (j < text.size() && !isBlank(text[j]) && !isSymbol(text[j]) && text[j] != '[' &&
                   text[j] != ']')
                ++j;
            tokens.push_back({Tok::Word, text.substr(i, j - i), i, j});
            i = j;
        }
    }
    // One trailing ";" ends a statement; anything after it is an error later.
    if (!tokens.empty() && tokens.back().kind == Tok::Symbol && tokens.back().text == ";")
        tokens.pop_back();
    tokens.push_back({Tok::End, {}, text.size(), text.size()});
    return tokens;
}

void checkName(const std::string& name, const char* what, std::string_view text, std::size_t pos) {
    if (name.empty() || std::all_of(name.begin(), name.end(), isBlank))
        fail(std::string("an empty ") + what + " name", text, pos);
    if (characterCount(name) > kMaxNameLength)
        throw Error(Error::Kind::Invalid, std::string("The ") + what + " name '" + name +
                                              "' is too long: at most " +
                                              std::to_string(kMaxNameLength) + " characters.");
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            fail(std::string("a control character in a ") + what + " name", text, pos);
}

// ---------------------------------------------------------------------------
// Column types. One row per type word; a row's synonyms share its meaning.

enum class Args { None, Size, PrecisionScale, SeedIncrement };

struct TypeWord {
    const char* word;
    ColumnType type;
    Args args;
    bool autoNumber = false;
};

// Text without a size holds 255 characters here (it is Memo in some Access
// modes, but a sized Text is what a copy of character data wants).
constexpr TypeWord kTypeWords[] = {
    {"bit", ColumnType::Boolean, Args::None},
    {"boolean", ColumnType::Boolean, Args::None},
    {"logical", ColumnType::Boolean, Args::None},
    {"logical1", ColumnType::Boolean, Args::None},
    {"yesno", ColumnType::Boolean, Args::None},
    {"byte", ColumnType::Byte, Args::None},
    {"tinyint", ColumnType::Byte, Args::None},
    {"integer1", ColumnType::Byte, Args::None},
    {"short", ColumnType::Integer, Args::None},
    {"smallint", ColumnType::Integer, Args::None},
    {"integer2", ColumnType::Integer, Args::None},
    {"long", ColumnType::Long, Args::None},
    {"int", ColumnType::Long, Args::None},
    {"integer", ColumnType::Long, Args::None},
    {"integer4", ColumnType::Long, Args::None},
    {"counter", ColumnType::Long, Args::SeedIncrement, true},
    {"autoincrement", ColumnType::Long, Args::SeedIncrement, true},
    {"single", ColumnType::Single, Args::None},
    {"real", ColumnType::Single, Args::None},
    {"float4", ColumnType::Single, Args::None},
    {"ieeesingle", ColumnType::Single, Args::None},
    {"double", ColumnType::Double, Args::None},
    {"double precision", ColumnType::Double, Args::None},
    {"float", ColumnType::Double, Args::None},
    {"float8", ColumnType::Double, Args::None},
    {"ieeedouble", ColumnType::Double, Args::None},
    {"number", ColumnType::Double, Args::None},
    {"currency", ColumnType::Currency, Args::None},
    {"money", ColumnType::Currency, Args::None},
    {"datetime", ColumnType::DateTime, Args::None},
    {"date", ColumnType::DateTime, Args::None},
    {"time", ColumnType::DateTime, Args::None},
    {"timestamp", ColumnType::DateTime, Args::None},
    {"text", ColumnType::Text, Args::Size},
    {"char", ColumnType::Text, Args::Size},
    {"character", ColumnType::Text, Args::Size},
    {"varchar", ColumnType::Text, Args::Size},
    {"char varying", ColumnType::Text, Args::Size},
    {"character varying", ColumnType::Text, Args::Size},
    {"alphanumeric", ColumnType::Text, Args::Size},
    {"string", ColumnType::Text, Args::Size},
    {"nchar", ColumnType::Text, Args::Size},
    {"nvarchar", ColumnType::Text, Args::Size},
    {"national char", ColumnType::Text, Args::Size},
    {"national character", ColumnType::Text, Args::Size},
    {"national char varying", ColumnType::Text, Args::Size},
    {"national character varying", ColumnType::Text, Args::Size},
    {"memo", ColumnType::Memo, Args::None},
    {"longtext", ColumnType::Memo, Args::None},
    {"longchar", ColumnType::Memo, Args::None},
    {"note", ColumnType::Memo, Args::None},
    {"ntext", ColumnType::Memo, Args::None},
    {"oleobject", ColumnType::Ole, Args::None},
    {"longbinary", ColumnType::Ole, Args::None},
    {"general", ColumnType::Ole, Args::None},
    {"image", ColumnType::Ole, Args::None},
    {"binary", ColumnType::Binary, Args::Size},
    {"varbinary", ColumnType::Binary, Args::Size},
    {"binary varying", ColumnType::Binary, Args::Size},
    {"guid", ColumnType::Guid, Args::None},
    {"uniqueidentifier", ColumnType::Guid, Args::None},
    {"decimal", ColumnType::Numeric, Args::PrecisionScale},
    {"numeric", ColumnType::Numeric, Args::PrecisionScale},
    {"dec", ColumnType::Numeric, Args::PrecisionScale},
};

const TypeWord* findType(const std::string& lowered) {
    for (const TypeWord& t : kTypeWords)
        if (lowered == t.word) return &t;
    return nullptr;
}

bool isTypePrefix(const std::string& lowered) {
    for (const TypeWord& t : kTypeWords) {
        const std::string_view w = t.word;
        if (w.size() > lowered.size() && w.substr(0, lowered.size()) == lowered &&
            w[lowered.size()] == ' ')
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text), tokens_(tokenize(text)) {}

    Statement statement() {
        if (atKeyword("create")) {
            next();
            if (atKeyword("table")) {
                next();
                return createTable();
            }
            const bool unique = atKeyword("unique");
            if (unique) next();
            if (atKeyword("index")) {
                next();
                return createIndex(unique);
            }
            fail("expected TABLE, INDEX or UNIQUE INDEX after CREATE", text_, peek().begin);
        }
        if (atKeyword("drop")) {
            next();
            if (atKeyword("table")) {
                next();
                DropTable drop{name("table")};
                expectEnd();
                return drop;
            }
            if (atKeyword("index"))
                throw Error(Error::Kind::Unsupported, "DROP INDEX is not supported.");
            fail("expected TABLE after DROP", text_, peek().begin);
        }
        if (atKeyword("select")) {
            next();
            return select();
        }
        if (peek().kind == Tok::End) fail("an empty statement", text_, 0);
        fail("expected CREATE, DROP or SELECT", text_, peek().begin);
    }

    ColumnSpec typeOnly() {
        ColumnSpec spec;
        columnType(spec, "");
        expectEnd();
        return spec;
    }

private:
    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& next() {
        const Token& t = peek();
        if (pos_ < tokens_.size() - 1) ++pos_;
        return t;
    }
    bool atKeyword(std::string_view word, std::size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.kind == Tok::Word && sameWord(t.text, word);
    }
    bool atSymbol(char c) const { return peek().kind == Tok::Symbol && peek().text[0] == c; }
    void expectSymbol(char c, const char* what) {
        if (!atSymbol(c)) fail(std::string("expected ") + what, text_, peek().begin);
        next();
    }
    void expectKeyword(std::string_view word) {
        if (!atKeyword(word)) fail("expected " + std::string(word), text_, peek().begin);
        next();
    }
    void expectEnd() {
        if (peek().kind != Tok::End) fail("unexpected text", text_, peek().begin);
    }

    // A bracketed name or a single bare word.
    std::string name(const char* what) {
        const Token& t = peek();
        if (t.kind != Tok::Bracketed && t.kind != Tok::Word)
            fail(std::string("expected a ") + what + " name", text_, t.begin);
        next();
        std::string n(t.text);
        checkName(n, what, text_, t.begin);
        return n;
    }

    std::int64_t number(const char* what) {
        const Token& t = peek();
        std::int64_t value = 0;
        const char* first = t.text.data();
        const char* last = first + t.text.size();
        if (t.kind != Tok::Word || std::from_chars(first, last, value).ptr != last || first == last)
            fail(std::string("expected ") + what, text_, t.begin);
        next();
        return value;
    }

    // --- CREATE TABLE ---------------------------------------------------

    Statement createTable() {
        CreateTable create;
        create.table = name("table");
        expectSymbol('(', "'(' and the column list");
        if (atSymbol(')')) fail("a table without columns", text_, peek().begin);
        for (;;) {
            if (atKeyword("constraint") && peek(1).kind != Tok::Symbol && !isColumnTypeStart(2))
                tableConstraint(create);
            else
                column(create);
            if (atSymbol(',')) {
                next();
                continue;
            }
            expectSymbol(')', "',' or ')' after a column");
            break;
        }
        expectEnd();
        for (std::size_t i = 0; i < create.columns.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (sameWord(create.columns[i].name, create.columns[j].name))
                    throw Error(Error::Kind::Invalid, "the column name appears twice.")
                        .addTable(create.table)
                        .addColumn(create.columns[i].name);
        for (const IndexSpec& index : create.indexes)
            for (const auto& [col, asc] : index.columns)
                if (std::none_of(create.columns.begin(), create.columns.end(),
                                 [&](const ColumnSpec& c) { return sameWord(c.name, col); }))
                    throw Error(Error::Kind::Invalid,
                                "the constraint names a column that the table does not have.")
                        .addTable(create.table)
                        .addIndex(index.name)
                        .addColumn(col);
        return create;
    }

    // "CONSTRAINT c PRIMARY KEY (a, b)" as a list item, against a column
    // that happens to be named CONSTRAINT: the item is a constraint when the
    // word after the name is PRIMARY or UNIQUE.
    bool isColumnTypeStart(std::size_t ahead) const {
        return !(atKeyword("primary", ahead) || atKeyword("unique", ahead));
    }

    void tableConstraint(CreateTable& create) {
        next();  // CONSTRAINT
        IndexSpec index;
        index.name = name("constraint");
        constraintKind(index);
        expectSymbol('(', "'(' and the constraint's columns");
        for (;;) {
            index.columns.emplace_back(name("column"), true);
            if (atSymbol(',')) {
                next();
                continue;
            }
            expectSymbol(')', "',' or ')' in the constraint's columns");
            break;
        }
        addIndex(create, std::move(index));
    }

    void constraintKind(IndexSpec& index) {
        if (atKeyword("primary")) {
            next();
            expectKeyword("key");
            index.primaryKey = index.unique = index.required = true;
        } else if (atKeyword("unique")) {
            next();
            index.unique = true;
        } else {
            fail("expected PRIMARY KEY or UNIQUE", text_, peek().begin);
        }
    }

    void addIndex(CreateTable& create, IndexSpec index) {
        for (const IndexSpec& other : create.indexes) {
            if (other.primaryKey && index.primaryKey)
                throw Error(Error::Kind::Invalid, "more than one primary key.")
                    .addTable(create.table);
            if (sameWord(other.name, index.name))
                throw Error(Error::Kind::Invalid, "the index name appears twice.")
                    .addTable(create.table)
                    .addIndex(index.name);
        }
        create.indexes.push_back(std::move(index));
    }

    void column(CreateTable& create) {
        const std::size_t at = peek().begin;
        ColumnSpec spec;
        spec.name = name("column");
        if (peek().kind != Tok::Word || isModifier())
            throw Error(Error::Kind::Invalid,
                        "the column has no type (at " + quoteAt(text_, at) + ").")
                .addTable(create.table)
                .addColumn(spec.name);
        columnType(spec, spec.name);
        // Modifiers in any order.
        for (;;) {
            if (atKeyword("not") && atKeyword("null", 1)) {
                next(), next();
                spec.required = true;
            } else if (atKeyword("null")) {
                next();
            } else if (atKeyword("with") && (atKeyword("compression", 1) || atKeyword("comp", 1))) {
                next(), next();  // the engine always compresses where the format allows
            } else if (atKeyword("constraint") || atKeyword("primary") || atKeyword("unique")) {
                IndexSpec index;
                if (atKeyword("constraint")) {
                    next();
                    index.name = name("constraint");
                }
                constraintKind(index);
                if (index.name.empty()) index.name = index.primaryKey ? "PrimaryKey" : spec.name;
                index.columns.emplace_back(spec.name, true);
                if (index.primaryKey) spec.required = true;
                addIndex(create, std::move(index));
            } else {
                break;
            }
        }
        create.columns.push_back(std::move(spec));
    }

    bool isModifier() const {
        return atKeyword("not") || atKeyword("null") || atKeyword("constraint") ||
               atKeyword("primary") || atKeyword("unique");
    }

    // A type word (possibly several: DOUBLE PRECISION) and its arguments.
    void columnType(ColumnSpec& spec, const std::string& column) {
        const Token& first = peek();
        if (first.kind != Tok::Word) fail("expected a column type", text_, first.begin);
        std::string words = lower(next().text);
        while (isTypePrefix(words) && peek().kind == Tok::Word &&
               (findType(words + " " + lower(peek().text)) ||
                isTypePrefix(words + " " + lower(peek().text))))
            words += " " + lower(next().text);
        const TypeWord* type = findType(words);
        if (!type)
            throw Error(Error::Kind::Invalid, "unknown column type '" + words + "'.")
                .addColumn(column);
        spec.type = type->type;
        spec.autoNumber = type->autoNumber;

        std::vector<std::int64_t> args;
        if (atSymbol('(')) {
            const std::size_t at = next().begin;
            for (;;) {
                args.push_back(number("a number"));
                if (atSymbol(',')) {
                    next();
                    continue;
                }
                expectSymbol(')', "')' after the type's size");
                break;
            }
            const std::size_t allowed = type->args == Args::None   ? 0
                                        : type->args == Args::Size ? 1
                                                                   : 2;
            if (args.size() > allowed)
                fail("too many numbers for type " + std::string(type->word), text_, at);
        }
        auto range = [&](std::int64_t v, std::int64_t lo, std::int64_t hi, const char* what) {
            if (v < lo || v > hi)
                throw Error(Error::Kind::Invalid, std::string("the ") + what + " " +
                                                      std::to_string(v) + " is out of range (" +
                                                      std::to_string(lo) + " to " +
                                                      std::to_string(hi) + ").")
                    .addColumn(column);
        };
        switch (type->args) {
            case Args::Size:
                if (!args.empty()) range(args[0], 1, 255, "size");
                spec.length = args.empty() ? 255 : static_cast<int>(args[0]);
                break;
            case Args::PrecisionScale:
                if (!args.empty()) {
                    range(args[0], 1, 28, "precision");
                    spec.precision = static_cast<std::uint8_t>(args[0]);
                    spec.scale = 0;
                }
                if (args.size() > 1) {
                    range(args[1], 0, spec.precision, "scale");
                    spec.scale = static_cast<std::uint8_t>(args[1]);
                }
                break;
            case Args::SeedIncrement:
                // The seed and step of an AutoNumber: the engine counts from 1 by 1.
                if (args.size() == 1)
                    fail("COUNTER takes a seed and an increment", text_, peek().begin);
                if (args.size() == 2 && (args[0] != 1 || args[1] != 1))
                    throw Error(Error::Kind::Unsupported,
                                "AutoNumber seeds and increments other than (1,1) are not "
                                "supported.")
                        .addColumn(column);
                break;
            case Args::None:
                break;
        }
    }

    // --- CREATE INDEX ---------------------------------------------------

    Statement createIndex(bool unique) {
        CreateIndex create;
        create.index.unique = unique;
        create.index.name = name("index");
        expectKeyword("on");
        const std::size_t nameBegin = peek().begin;
        if (peek().kind == Tok::Bracketed && peek(1).kind == Tok::Symbol && peek(1).text == "(") {
            create.table = name("table");
        } else {
            // A bare table name runs up to the column list and may hold blanks.
            while (peek().kind != Tok::End && !atSymbol('(')) next();
            if (!atSymbol('(')) fail("expected '(' and the index's columns", text_, peek().begin);
            std::string_view raw = text_.substr(nameBegin, peek().begin - nameBegin);
            while (!raw.empty() && isBlank(raw.back())) raw.remove_suffix(1);
            create.table = std::string(raw);
            checkName(create.table, "table", text_, nameBegin);
        }
        expectSymbol('(', "'(' and the index's columns");
        for (;;) {
            indexColumn(create.index);
            if (atSymbol(',')) {
                next();
                continue;
            }
            expectSymbol(')', "',' or ')' in the index's columns");
            break;
        }
        if (atKeyword("with")) {
            next();
            do {
                indexOption(create.index);
            } while (atKeyword("primary") || atKeyword("disallow") || atKeyword("ignore"));
        }
        expectEnd();
        const auto& cols = create.index.columns;
        for (std::size_t i = 0; i < cols.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (sameWord(cols[i].first, cols[j].first))
                    throw Error(Error::Kind::Invalid, "the column appears twice in the index.")
                        .addTable(create.table)
                        .addIndex(create.index.name)
                        .addColumn(cols[i].first);
        return create;
    }

    void indexOption(IndexSpec& index) {
        if (atKeyword("primary")) {
            next();
            index.primaryKey = index.unique = index.required = true;
        } else if (atKeyword("disallow")) {
            next();
            expectKeyword("null");
            index.required = true;
        } else if (atKeyword("ignore")) {
            next();
            expectKeyword("null");
            index.ignoreNulls = true;
        } else {
            fail("expected PRIMARY, DISALLOW NULL or IGNORE NULL", text_, peek().begin);
        }
    }

    // A bracketed name, or the bare text up to "," or ")" (column names
    // arrive unbracketed and may hold blanks), then ASC or DESC.
    void indexColumn(IndexSpec& index) {
        const std::size_t begin = peek().begin;
        std::size_t count = 0;
        std::size_t end = begin;
        const std::size_t first = pos_;
        while (peek().kind == Tok::Word || peek().kind == Tok::Bracketed) {
            end = next().end;
            ++count;
        }
        bool ascending = true;
        std::size_t nameTokens = count;
        if (count > 1 &&
            (sameWord(tokens_[pos_ - 1].text, "asc") || sameWord(tokens_[pos_ - 1].text, "desc"))) {
            ascending = sameWord(tokens_[pos_ - 1].text, "asc");
            --nameTokens;
            end = tokens_[pos_ - 2].end;
        }
        if (nameTokens == 0) fail("expected a column name", text_, begin);
        std::string col;
        if (nameTokens == 1 && tokens_[first].kind == Tok::Bracketed)
            col = std::string(tokens_[first].text);
        else
            col = std::string(text_.substr(begin, end - begin));
        checkName(col, "column", text_, begin);
        index.columns.emplace_back(std::move(col), ascending);
    }

    // --- SELECT ---------------------------------------------------------

    Statement select() {
        Select query;
        if (atSymbol('*')) {
            next();
            query.allColumns = true;
        } else {
            number("'*' or a number after SELECT");
        }
        expectKeyword("from");
        query.table = name("table");
        query.empty = false;
        if (atKeyword("where")) {
            next();
            const std::int64_t a = number("a number");
            expectSymbol('=', "'='");
            const std::int64_t b = number("a number");
            query.empty = a != b;
        }
        expectEnd();
        return query;
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

}  // namespace

Statement parse(std::string_view text) { return Parser(text).statement(); }

ColumnSpec parseColumnType(std::string_view typeText) { return Parser(typeText).typeOnly(); }

}  // namespace jet::sql
