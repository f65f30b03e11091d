// mdbinspect: look inside an .mdb file with the engine.
//
//   mdbinspect tables [--system] FILE     tables and their row counts
//   mdbinspect columns FILE TABLE         columns and indexes of a table
//   mdbinspect csv FILE TABLE             the table's rows as CSV, header first
//   mdbinspect verify FILE                checks every index of every table (system
//                                         tables included); exit code 1 on a problem
//
// Before the command, --codepage N reads Access 95/97 text in code page N
// instead of the one the header names (files whose header says 1252 while
// their text is, say, Chinese GBK: --codepage 936).
//
// Errors go to stderr and the exit code is 1.

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/file/format.h"

namespace {

int usage() {
    std::cerr << "usage: mdbinspect [--codepage N] tables [--system] FILE\n"
                 "       mdbinspect [--codepage N] columns FILE TABLE\n"
                 "       mdbinspect [--codepage N] csv FILE TABLE\n"
                 "       mdbinspect [--codepage N] verify FILE\n";
    return 1;
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string columnFlags(const jet::ColumnDef& c) {
    std::vector<std::string> words;
    if (c.isRequired()) words.push_back("required");
    if (c.isAutoNumber()) words.push_back("autonumber");
    if (c.flags & 0x40) words.push_back("autonumber-guid");
    if (c.flags & 0x80) words.push_back("hyperlink");
    if (c.extraFlags & 0x01) words.push_back("compressed");
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : ",") + w;
    return out.empty() ? "-" : out;
}

std::string columnSize(const jet::ColumnDef& c, jet::Version v) {
    switch (c.type) {
        case jet::ColumnType::Text:
            return std::to_string(c.length / jet::Format::of(v).textUnitSize);
        case jet::ColumnType::Numeric:
            return std::to_string(c.precision) + "," + std::to_string(c.scale);
        case jet::ColumnType::Memo:
        case jet::ColumnType::Ole:
            return "-";
        default:
            return std::to_string(c.length);
    }
}

std::uint16_t textCodePage = 0;  // --codepage; 0: the header's

std::unique_ptr<jet::Database> openReadOnly(const std::string& file) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    if (textCodePage != 0) db->setTextCodePage(textCodePage);
    return db;
}

int tables(const std::string& file, bool system) {
    auto db = openReadOnly(file);
    const auto snapshot = db->snapshot();  // one committed state throughout
    for (const auto& name : db->tableNames(system)) {
        auto cursor = db->scan(name);
        std::size_t rows = 0;
        while (cursor.next()) ++rows;
        std::cout << name << '\t' << rows << '\n';
    }
    return 0;
}

int columns(const std::string& file, const std::string& table) {
    auto db = openReadOnly(file);
    const jet::TableDef& t = db->table(table);
    std::cout << "Table " << t.name << " (" << t.rowCount << " rows recorded)\n";
    std::cout << "Columns:\n";
    for (const auto& c : t.columns)
        std::cout << "  " << c.name << '\t' << jet::columnTypeName(c.type) << '\t'
                  << columnSize(c, db->version()) << '\t' << columnFlags(c) << '\n';
    std::cout << "Indexes:\n";
    for (const auto& li : t.indexes) {
        const jet::PhysicalIndex& pi =
            t.physicalIndexes.at(static_cast<std::size_t>(li.physicalIndex));
        std::string cols;
        for (const auto& ic : pi.columns) {
            std::string name = std::to_string(ic.columnNumber);
            name.insert(0, 1, '#');
            for (const auto& c : t.columns)
                if (c.number == ic.columnNumber) name = c.name;
            cols += (cols.empty() ? "" : ", ") + name + (ic.ascending ? "" : " DESC");
        }
        std::string kind = li.isPrimaryKey()   ? "primary key"
                           : li.isForeignKey() ? "foreign key"
                           : pi.isUnique()     ? "unique"
                                               : "index";
        if (li.isPrimaryKey() && !pi.isUnique()) kind += " (not unique)";
        std::cout << "  " << li.name << '\t' << kind << "\t(" << cols << ")\n";
    }
    return 0;
}

int csv(const std::string& file, const std::string& table) {
    auto db = openReadOnly(file);
    auto cursor = db->scan(table);
    std::string line;
    for (const auto& c : cursor.table().columns) {
        if (!line.empty()) line += ',';
        line += csvField(c.name);
    }
    std::cout << line << '\n';
    while (cursor.next()) {
        line.clear();
        bool first = true;
        for (const auto& v : cursor.row()) {
            if (!first) line += ',';
            first = false;
            line += csvField(v.toString());
        }
        std::cout << line << '\n';
    }
    return 0;
}

// One line per index problem; a summary line last.
int verify(const std::string& file) {
    auto db = openReadOnly(file);
    const auto snapshot = db->snapshot();  // one committed state throughout
    std::size_t tables = 0, indexes = 0, problems = 0;
    for (const auto& name : db->tableNames(true)) {
        ++tables;
        indexes += db->table(name).physicalIndexes.size();
        for (const auto& line : db->verifyIndexes(name)) {
            std::cout << "PROBLEM: " << line << '\n';
            ++problems;
        }
    }
    std::cout << tables << " tables, " << indexes << " indexes, " << problems << " problems\n";
    return problems == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 2 && args[0] == "--codepage") {
            const std::string& n = args[1];
            if (n.empty() || n.size() > 5 || n.find_first_not_of("0123456789") != std::string::npos ||
                std::stoul(n) == 0 || std::stoul(n) > 65535)
                return usage();
            textCodePage = static_cast<std::uint16_t>(std::stoul(n));
            args.erase(args.begin(), args.begin() + 2);
        }
        if (args.size() >= 2 && args[0] == "tables") {
            const bool system = args[1] == "--system";
            if (args.size() != (system ? 3u : 2u)) return usage();
            return tables(args.back(), system);
        }
        if (args.size() == 3 && args[0] == "columns") return columns(args[1], args[2]);
        if (args.size() == 3 && args[0] == "csv") return csv(args[1], args[2]);
        if (args.size() == 2 && args[0] == "verify") return verify(args[1]);
        return usage();
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "mdbinspect: " << e.what() << '\n';
        return 1;
    }
}
