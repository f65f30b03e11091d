#pragma once

// A fresh folder for one test, removed (permissions restored first) when the
// test ends.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace jettest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
// Copies a (read-only) sample to target and makes the copy writable.
void copyWritable(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace jettest
