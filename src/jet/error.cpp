#include "jet/error.h"

#include <utility>

namespace jet {

Error::Error(Kind kind, std::string detail)
    : std::runtime_error(std::string()), kind_(kind), detail_(std::move(detail)) {
    message_ = compose(true);
}

Error& Error::addFile(const std::filesystem::path& file) {
    if (file_.empty() && !file.empty()) {
        file_ = file;
        message_ = compose(true);
    }
    return *this;
}

namespace {
bool fill(std::string& place, std::string_view name) {
    if (!place.empty() || name.empty()) return false;
    place = name;
    return true;
}
}  // namespace

Error& Error::addTable(std::string_view name) {
    if (fill(table_, name)) message_ = compose(true);
    return *this;
}

Error& Error::addIndex(std::string_view name) {
    if (fill(index_, name)) message_ = compose(true);
    return *this;
}

Error& Error::addColumn(std::string_view name) {
    if (fill(column_, name)) message_ = compose(true);
    return *this;
}

Error& Error::addPage(std::uint32_t page) {
    if (!page_) {
        page_ = page;
        message_ = compose(true);
    }
    return *this;
}

std::string Error::compose(bool withFile) const {
    std::string out;
    if (withFile && !file_.empty()) out = quoted(file_) + ": ";
    std::string places;
    const auto place = [&](const char* word, const std::string& name) {
        if (name.empty()) return;
        if (!places.empty()) places += ", ";
        places += word;
        places += " '";
        places += name;
        places += '\'';
    };
    place("table", table_);
    place("index", index_);
    place("column", column_);
    if (page_) {
        if (!places.empty()) places += ", ";
        places += "page " + std::to_string(*page_);
    }
    if (!places.empty()) out += places + ": ";
    out += detail_;
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z')
        out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

std::string quoted(const std::filesystem::path& p) {
    // Appended rather than concatenated: GCC 12 at -O3 misreports "a" + s.
    std::string q(1, '"');
    q += p.string();
    q += '"';
    return q;
}

}  // namespace jet
