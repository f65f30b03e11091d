#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace jet {

// Every failure of the engine is a jet::Error whose message is complete and
// meant for the user: it names the file, table, column, index or page involved.
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
    };

    Error(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// A file name as every message shows it: in double quotes.
inline std::string quoted(const std::filesystem::path& p) {
    // Appended rather than concatenated: GCC 12 at -O3 misreports "a" + s.
    std::string q(1, '"');
    q += p.string();
    q += '"';
    return q;
}

}  // namespace jet
