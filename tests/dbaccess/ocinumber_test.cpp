// Oracle's NUMBER format, checked against dumps Oracle itself shows, and the
// driver's behaviour when no Oracle client is installed.

#include "dbaccess/ocinumber.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dbaccess/oracleconnect.h"

using dbaccess::decodeOracleNumber;
using dbaccess::TOracleValue;

namespace {

std::optional<TOracleValue> decode(std::vector<unsigned char> bytes) {
    return decodeOracleNumber(bytes.data(), int(bytes.size()));
}

}  // namespace

TEST(OracleNumberFormat, DecodesOraclesOwnDumps) {
    EXPECT_EQ(decode({0x80}), TOracleValue::integer(0));
    EXPECT_EQ(decode({0xC1, 0x02}), TOracleValue::integer(1));
    EXPECT_EQ(decode({0xC2, 0x02}), TOracleValue::integer(100));
    EXPECT_EQ(decode({0x3E, 0x64, 0x66}), TOracleValue::integer(-1));
    EXPECT_EQ(decode({0xC2, 0x02, 0x18, 0x2E})->toText(), QStringLiteral("123.45"));
    EXPECT_EQ(decode({0x3D, 0x64, 0x4E, 0x38, 0x66})->toText(), QStringLiteral("-123.45"));
    EXPECT_EQ(decode({0xC0, 0x0B})->toText(), QStringLiteral("0.1"));
    EXPECT_EQ(decode({0x41, 0x64, 0x66})->toText(), QStringLiteral("-0.000001"));
    EXPECT_EQ(decode({0xFF, 0x0B})->toText(), QStringLiteral("1") + QString(125, QLatin1Char('0')));
    EXPECT_TRUE(std::isinf(decode({0xFF, 0x65})->doubleValue()));
    EXPECT_LT(decode({0x00})->doubleValue(), 0);

    // Twenty base-100 digits without a terminator: the full 40-digit precision.
    const auto wide = decode({0xD4, 0x0D, 0x23, 0x39, 0x4F, 0x5B, 0x0D, 0x23, 0x39, 0x4F, 0x5B,
                              0x0D, 0x23, 0x39, 0x4F, 0x5B, 0x0D, 0x23, 0x39, 0x4F, 0x5B});
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(wide->kind(), TOracleValue::Kind::Decimal);
    EXPECT_EQ(wide->toText(), QStringLiteral("1234567890123456789012345678901234567890"));

    EXPECT_FALSE(decode({}).has_value());
    EXPECT_FALSE(decode({0xC1}).has_value());        // no digits
    EXPECT_FALSE(decode({0xC1, 0x00}).has_value());  // digit byte out of range
    EXPECT_FALSE(decode({0xC1, 0x66}).has_value());
}

TEST(OciClient, MissingLibraryFailsWithAClearMessage) {
    if (void* real = dlopen("libclntsh.so", RTLD_NOW)) {
        dlclose(real);
        GTEST_SKIP() << "an Oracle client is installed on this machine";
    }
    dbaccess::TOracleSource source;
    try {
        dbaccess::openOracleConnection(source, QStringLiteral("orcl"), QStringLiteral("scott"),
                                       QStringLiteral("tiger"));
        FAIL() << "connected without an Oracle client";
    } catch (const dbaccess::TOracleError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("libclntsh.so"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("Oracle Instant Client"))) << e.what();
    }
    EXPECT_FALSE(source.oracleconn.isOpen());
}
