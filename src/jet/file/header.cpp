#include "jet/file/header.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/format.h"

namespace jet {

namespace {

constexpr std::size_t kMaskStart = 0x18;
constexpr std::size_t kVersion = 0x14;
constexpr std::size_t kCodePage = 0x3C;
constexpr std::size_t kDatabaseKey = 0x3E;
constexpr std::size_t kPassword = 0x42;

}  // namespace

std::vector<std::uint8_t> headerMask(std::size_t length) {
    static constexpr std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::vector<std::uint8_t> out(length);
    for (std::size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        out[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return out;
}

void applyHeaderMask(std::span<std::uint8_t> page0, Version version) {
    const std::size_t length = Format::of(version).headerMaskLength;
    if (page0.size() < kMaskStart + length) return;
    static const std::vector<std::uint8_t> mask = headerMask(128);
    for (std::size_t i = 0; i < length; ++i) page0[kMaskStart + i] ^= mask[i];
}

void writeHeader(std::span<std::uint8_t> p, const Format& f, double created) {
    static const char engine[] = "Standard Jet DB";
    p[1] = 0x01;
    std::memcpy(p.data() + 4, engine, sizeof engine);
    p[kVersion] = f.headerVersion;
    // Constant lead-in of the masked region, the same in every file seen.
    static const std::uint8_t lead[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
                                        0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                        0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    std::memcpy(p.data() + kMaskStart, lead, sizeof lead);
    if (f.headerSortVersion) bytes::putLe16(p.data() + f.headerSortVersion, 1);
    bytes::putLe16(p.data() + kCodePage, 1252);
    // Database key 0 (not encrypted); empty password.
    if (f.headerDatedPassword) {
        // The password field is XORed with the whole days of the creation date.
        auto days = static_cast<std::uint32_t>(created);
        for (std::size_t i = 0; i < f.headerPasswordLength; i += 4)
            bytes::putLe32(p.data() + kPassword + i, days);
    }
    bytes::putLe16(p.data() + f.headerStamp, f.headerStampValue);
    bytes::putLe16(p.data() + f.headerSortOrder, 0x0409);
    if (f.headerCreationDate) {
        std::uint64_t bits;
        std::memcpy(&bits, &created, 8);
        bytes::putLe64(p.data() + f.headerCreationDate, bits);
    }
    if (f.headerEngineVersion) {
        // After the masked region: two fields Jet 4 always writes.
        bytes::putLe32(p.data() + 0x98, 0x0654);
        std::memcpy(p.data() + 0x9C, "4.0", 4);
    }
    applyHeaderMask(p, f.version);
    // The last quarter of the page: a run of 01 00 pairs in every file seen.
    const std::size_t tail = f.pageSize - 512;
    p[tail] = 0x01;
    for (std::size_t i = tail + 1; i < f.pageSize; i += 2) p[i] = 0x01;
}

Header parseHeader(std::span<const std::uint8_t> page0, const std::filesystem::path& file) {
    static constexpr std::uint8_t magic[4] = {0x00, 0x01, 0x00, 0x00};
    const auto notJet = [&](const std::string& why) {
        return Error(Error::Kind::Corrupt, "not an Access database (" + why + ")").addFile(file);
    };
    if (page0.size() < kMaskStart) throw notJet("it is shorter than a database header");
    if (std::memcmp(page0.data(), magic, 4) != 0) throw notJet("wrong signature");
    const char* engine = reinterpret_cast<const char*>(page0.data() + 4);
    const bool ace = std::memcmp(engine, "Standard ACE DB", 15) == 0;
    const bool jetName = std::memcmp(engine, "Standard Jet DB", 15) == 0;
    if (!ace && !jetName) throw notJet("wrong engine name");
    // Access 2007 to 2019 write versions 2 to 6 under the ACE name; anything
    // else is a version nobody here knows, whatever the name says.
    const std::uint32_t version = bytes::le32(page0.data() + kVersion);
    if (ace && version >= 2 && version <= 6)
        throw Error(Error::Kind::Unsupported,
                    "an Access 2007 or later database (.accdb); only Access 95/97 "
                    "and 2000 .mdb files are supported")
            .addFile(file);
    if (ace || version > 1)
        throw Error(Error::Kind::Unsupported,
                    "an unknown database version (" + std::to_string(version) +
                        "); only Access 95/97 and 2000 .mdb files are supported")
            .addFile(file);

    Header h;
    const Format& f = Format::ofHeaderVersion(page0[kVersion]);
    h.version = f.version;
    if (page0.size() < kMaskStart + f.headerMaskLength) throw notJet("its header is cut short");

    std::array<std::uint8_t, kMaskStart + 128> clear{};
    std::copy_n(page0.begin(), kMaskStart + f.headerMaskLength, clear.begin());
    applyHeaderMask(clear, h.version);
    h.codePage = bytes::le16(&clear[kCodePage]);
    h.sortOrder = bytes::le16(&clear[f.headerSortOrder]);
    h.databaseKey = bytes::le32(&clear[kDatabaseKey]);
    if (h.databaseKey != 0)
        throw Error(Error::Kind::Unsupported,
                    "the file is encrypted; encrypted databases are not supported")
            .addFile(file);
    return h;
}

}  // namespace jet
