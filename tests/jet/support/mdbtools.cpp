#include "support/mdbtools.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

extern char** environ;

namespace jettest {

namespace fs = std::filesystem;

CommandResult run(const std::vector<std::string>& argv) {
    CommandResult result;
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0) return result;
    if (::pipe(errPipe) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        result.err = "cannot start " + argv[0];
        return result;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool mdbtoolsAvailable() {
    static const bool available = [] {
        for (const char* tool : {"mdb-ver", "mdb-tables", "mdb-schema", "mdb-export"})
            if (run({"sh", "-c", std::string("command -v ") + tool}).exitCode != 0) return false;
        return true;
    }();
    return available;
}

fs::path accessSamplesDir() { return fs::path(FERROVANE_SHARED_DIR) / "testdata" / "mdb"; }

std::vector<fs::path> accessSamples() {
    std::vector<fs::path> out;
    std::error_code ec;
    if (!fs::is_directory(accessSamplesDir(), ec)) return out;
    for (const auto& e : fs::recursive_directory_iterator(accessSamplesDir(), ec))
        if (e.is_regular_file() && e.path().extension() == ".mdb") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

namespace {
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
        start = end + 1;
    }
    return out;
}
}  // namespace

std::string mdbVer(const fs::path& file) {
    auto r = run({"mdb-ver", file.string()});
    auto l = lines(r.out);
    return l.empty() ? std::string() : l.front();
}

std::vector<std::string> mdbTables(const fs::path& file, bool includeSystem) {
    std::vector<std::string> argv = {"mdb-tables", "-1"};
    if (includeSystem) argv.push_back("-S");
    argv.push_back(file.string());
    return lines(run(argv).out);
}

std::string mdbSchema(const fs::path& file, const std::string& backend) {
    return run({"mdb-schema", file.string(), backend}).out;
}

std::map<std::string, SchemaColumns> mdbSchemaColumns(const fs::path& file) {
    std::map<std::string, SchemaColumns> out;
    std::string table;
    for (const auto& line : lines(mdbSchema(file))) {
        if (line.rfind("CREATE TABLE [", 0) == 0) {
            table = line.substr(14, line.rfind(']') - 14);
            out[table];
            continue;
        }
        if (table.empty() || line.size() < 3 || line[0] != '\t' || line[1] != '[') continue;
        const std::size_t close = line.find(']', 2);
        if (close == std::string::npos) continue;
        std::string type = line.substr(close + 1);
        type.erase(0, type.find_first_not_of('\t'));
        while (!type.empty() && (type.back() == ',' || type.back() == ' ')) type.pop_back();
        const std::string notNull = " NOT NULL";
        if (type.size() > notNull.size() &&
            type.compare(type.size() - notNull.size(), notNull.size(), notNull) == 0)
            type.erase(type.size() - notNull.size());
        out[table].emplace_back(line.substr(2, close - 2), type);
    }
    return out;
}

std::string mdbSchemaType(const jet::ColumnDef& c, jet::Version version) {
    using jet::ColumnType;
    switch (c.type) {
        case ColumnType::Boolean:
            return "Boolean";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Integer:
            return "Integer";
        case ColumnType::Long:
            return "Long Integer";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "DateTime";
        case ColumnType::Guid:
            return "Replication ID";
        case ColumnType::Memo:
            return "Memo/Hyperlink (255)";
        case ColumnType::Ole:
            return "OLE (255)";
        case ColumnType::Numeric:
            return "Numeric (" + std::to_string(c.precision) + ", " + std::to_string(c.scale) + ")";
        case ColumnType::Text:
            return "Text (" +
                   std::to_string(version == jet::Version::Jet4 ? c.length / 2 : c.length) + ")";
        case ColumnType::Binary:
            return "Binary (" + std::to_string(c.length) + ")";
    }
    return "?";
}

std::vector<CsvRow> parseCsv(std::string_view text) {
    std::vector<CsvRow> rows;
    CsvRow row;
    CsvField field;
    bool inQuotes = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field.text += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field.text += c;
            }
            continue;
        }
        if (c == '"') {
            inQuotes = true;
            field.quoted = true;
            any = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field = {};
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (any || !field.text.empty() || !row.empty()) {
                row.push_back(std::move(field));
                rows.push_back(std::move(row));
            }
            field = {};
            row = {};
            any = false;
        } else {
            field.text += c;
            any = true;
        }
    }
    if (any || !field.text.empty() || !row.empty()) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

Export mdbExport(const fs::path& file, const std::string& table) {
    auto r = run({"mdb-export", "-b", "hex", "-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S",
                  file.string(), table});
    Export e;
    e.exitCode = r.exitCode;
    e.err = r.err;
    auto rows = parseCsv(r.out);
    if (!rows.empty()) {
        for (auto& f : rows.front()) e.header.push_back(f.text);
        rows.erase(rows.begin());
    }
    e.rows = std::move(rows);
    return e;
}

namespace {
std::string hex(const std::vector<std::uint8_t>& b) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (auto x : b) {
        out += digits[x >> 4];
        out += digits[x & 15];
    }
    return out;
}
}  // namespace

bool dateIsComparable(const jet::Value& value) {
    if (!value.is<jet::DateTime>()) return true;
    const int year = value.as<jet::DateTime>().parts().year;
    return year >= 1900 && year <= 9998;
}

std::string mdbExportText(const jet::Value& v, jet::ColumnType type, jet::Version version) {
    using jet::ColumnType;
    if (v.isNull()) return {};
    char buf[128];
    switch (type) {
        case ColumnType::Single:
            std::snprintf(buf, sizeof buf, "%.8g",
                          static_cast<double>(static_cast<float>(v.as<double>())));
            return buf;
        case ColumnType::Double:
            std::snprintf(buf, sizeof buf, "%.16g", v.as<double>());
            return buf;
        case ColumnType::DateTime: {
            // mdbtools takes the whole days, then rounds the day's fraction
            // to seconds in double arithmetic: do exactly the same.
            const double days = v.as<jet::DateTime>().days;
            long day = static_cast<long>(days);
            long seconds = static_cast<long>((days - static_cast<double>(day)) * 86400.0 + 0.5);
            if (seconds >= 86400) {
                seconds -= 86400;
                ++day;
            }
            const auto p = jet::DateTime{static_cast<double>(day)}.parts();
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02ld:%02ld:%02ld", p.year, p.month,
                          p.day, seconds / 3600, seconds / 60 % 60, seconds % 60);
            return buf;
        }
        case ColumnType::Guid: {
            const auto& g = v.as<jet::Guid>();
            std::snprintf(buf, sizeof buf,
                          "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X%02X%02X}",
                          g[0], g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11],
                          g[12], g[13], g[14], g[15]);
            std::string s = buf;
            return hex(std::vector<std::uint8_t>(s.begin(), s.end()));
        }
        case ColumnType::Binary: {
            // mdbtools copies Binary values as C strings: a 0x00 byte ends them.
            const auto& b = v.as<jet::Bytes>();
            return hex(std::vector<std::uint8_t>(b.begin(), std::find(b.begin(), b.end(), 0)));
        }
        case ColumnType::Ole:
            return hex(v.as<jet::Bytes>());
        case ColumnType::Text:
        case ColumnType::Memo: {
            std::string s = v.as<std::string>();
            // mdbtools handles text as C strings: a NUL character ends it.
            s = s.substr(0, s.find('\0'));
            if (version != jet::Version::Jet3) return s;
            std::string out;
            for (std::size_t i = 0; i < s.size(); ++i) {
                const auto b = static_cast<unsigned char>(s[i]);
                const auto n = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
                if (b == 0xC2 && (n == 0x81 || n == 0x8D || n == 0x8F || n == 0x90 || n == 0x9D)) {
                    out += '?';
                    ++i;
                } else {
                    out += s[i];
                }
            }
            return out;
        }
        default:
            return v.toString();
    }
}

}  // namespace jettest
