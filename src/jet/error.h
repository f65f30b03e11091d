#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace jet {

// Every failure of the engine is a jet::Error: its kind, what went wrong (the
// detail) and where, as far as that is known: the file, table, index, column
// and page. A throw site gives the detail and what it knows itself (a column,
// a page); the scope that knows the table or the file adds it on the way out
// (catch Error&, add, rethrow). A place already set stays: the inner scope
// knew it first, and nested scopes never name a thing twice.
//
// The message has one form everywhere, each part only when known:
//
//     "FILE": table 'T', index 'I', column 'C', page N: detail
//
// e.g.  "/data/out.mdb": table 'Orders', column 'Amount': not a number
//       Table 'Orders', page 40: the file is damaged: expected a data page
//       Syntax error: expected a column name at ")"
//
// The first letter is a capital. Details are phrases that read after the
// places ("not a number", "the file is damaged: ..."). The text is built when
// the error is made and again when a place is added, never when all is well.
class Error : public std::runtime_error {
public:
    enum class Kind {
        Io,           // the operating system refused (open, read, write, lock)
        Corrupt,      // the file is not a Jet database or is damaged
        Unsupported,  // a valid file or request this engine does not handle
        Invalid,      // a bad request: unknown or duplicate name, a limit exceeded
        Conversion,   // a value that its column's type cannot hold
        Constraint,   // a required column left empty, a duplicate unique key
        Busy,         // another writer holds the file
        Full,         // the file has reached the size Access allows
    };

    Error(Kind kind, std::string detail);

    Kind kind() const { return kind_; }
    const std::string& detail() const { return detail_; }
    const std::filesystem::path& file() const { return file_; }  // empty when not known
    const std::string& table() const { return table_; }
    const std::string& index() const { return index_; }
    const std::string& column() const { return column_; }
    std::optional<std::uint32_t> page() const { return page_; }

    // Each fills its place when it is still empty; an empty name adds nothing.
    Error& addFile(const std::filesystem::path& file);
    Error& addTable(std::string_view name);
    Error& addIndex(std::string_view name);
    Error& addColumn(std::string_view name);
    Error& addPage(std::uint32_t page);

    const char* what() const noexcept override { return message_.c_str(); }
    // The same message without the file: for a log about one file, where the
    // path would stand again on every line.
    std::string withoutFile() const { return compose(false); }

private:
    std::string compose(bool withFile) const;

    Kind kind_;
    std::string detail_;
    std::filesystem::path file_;
    std::string table_;
    std::string index_;
    std::string column_;
    std::optional<std::uint32_t> page_;
    std::string message_;
};

// A file name as every message shows it: in double quotes.
std::string quoted(const std::filesystem::path& p);

}  // namespace jet
