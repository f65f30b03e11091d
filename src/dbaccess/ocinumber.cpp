#include "dbaccess/ocinumber.h"

#include <limits>
#include <string>

namespace dbaccess {

std::optional<TOracleValue> decodeOracleNumber(const unsigned char* bytes, int size) {
    if (size < 1) return std::nullopt;
    const unsigned first = bytes[0];
    if (size == 1 && first == 0x80) return TOracleValue::integer(0);
    if (size == 1 && first == 0x00)
        return TOracleValue::real(-std::numeric_limits<double>::infinity());
    if (size == 2 && first == 0xFF && bytes[1] == 0x65)
        return TOracleValue::real(std::numeric_limits<double>::infinity());

    const bool positive = (first & 0x80) != 0;
    const int exponent = int((positive ? first : ~first) & 0x7F) - 65;
    int digitCount = size - 1;
    if (!positive && digitCount > 0 && bytes[size - 1] == 102) --digitCount;
    if (digitCount < 1 || digitCount > 20) return std::nullopt;

    std::string text = positive ? "" : "-";
    for (int i = 1; i <= digitCount; ++i) {
        const int digit = positive ? int(bytes[i]) - 1 : 101 - int(bytes[i]);
        if (digit < 0 || digit > 99) return std::nullopt;
        text += char('0' + digit / 10);
        text += char('0' + digit % 10);
    }
    // The digits read as an integer, scaled by the place of the last one.
    text += "e" + std::to_string(2 * (exponent - (digitCount - 1)));
    return TOracleValue::number(QString::fromLatin1(text));
}

}  // namespace dbaccess
