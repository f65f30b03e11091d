#pragma once

// Writing a whole new file so that a crash leaves it complete or absent.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace jet {

// Writes bytes as a new file at path, never replacing one that exists (or
// appears meanwhile). The bytes go to an unnamed file in the same folder
// (or, where the file system has none, a hidden temporary name there),
// are synced, and only then get the name, by a link that fails rather than
// replace. Returns an empty string on success, else the system's reason.
std::string writeNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace jet
