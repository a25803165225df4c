// ROM sizes as numbers: which size texts the DAT writes in decimal, the
// value of a size text, and a value's decimal digits.
#pragma once

#include <cstdint>
#include <string_view>

// The value of a hexadecimal digit, or -1.
inline int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

// True, with its value, when the text is "0x" or "0X" and then one to 16
// significant hexadecimal digits (leading zeros are not counted).
inline bool hexSizeValue(std::string_view text, std::uint64_t& value)
{
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    value = 0;
    int significant = 0;
    for (char c : text.substr(2)) {
        int digit = hexDigitValue(c);
        if (digit < 0)
            return false;
        if ((significant > 0 || digit != 0) && ++significant > 16)
            return false;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return true;
}

// True, with its value, when the text is a number: a hex size as above, or
// 1 to 19 decimal digits (so that the value fits 64 bits).
inline bool sizeNumber(std::string_view text, std::uint64_t& value)
{
    if (hexSizeValue(text, value))
        return true;
    if (text.empty() || text.size() > 19)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

// The room decimalDigits needs: 2^64 - 1 has 20 digits.
constexpr int decimalRoom = 20;

// Writes the value's decimal digits at the end of `digits`; returns the
// index of the first.
inline int decimalDigits(std::uint64_t value, char (&digits)[decimalRoom])
{
    int first = decimalRoom;
    do {
        digits[--first] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return first;
}

// A ROM's size as every DAT writes it: the text the list gives, or, where it
// is a number written in decimal (a hexadecimal size, or a size with its
// chunks' sizes added), that number. Read once, by the scan.
struct RomSize {
    std::string_view text;
    std::uint64_t number;
    bool inDecimal;
};

// The size of a ROM whose start tag gives `own`: when chunk rows joined it
// (`chunked`), every one a number (`chunksValid`) adding up to `chunkSum`,
// own and chunks added where own is a number and the sum fits; else own,
// in decimal where it is a hexadecimal size.
inline RomSize romSize(std::string_view own, bool chunked, bool chunksValid, std::uint64_t chunkSum)
{
    RomSize size{own, 0, false};
    std::uint64_t value = 0;
    if (chunked && chunksValid && sizeNumber(own, value) && value <= UINT64_MAX - chunkSum) {
        size.number = value + chunkSum;
        size.inDecimal = true;
    } else {
        size.inDecimal = hexSizeValue(own, size.number);
    }
    return size;
}

// The text a DAT writes for the size: its number's decimal digits (kept in
// `digits`), or the list's text.
inline std::string_view sizeText(const RomSize& size, char (&digits)[decimalRoom])
{
    if (!size.inDecimal)
        return size.text;
    const int first = decimalDigits(size.number, digits);
    return std::string_view(digits + first, static_cast<std::size_t>(decimalRoom - first));
}
