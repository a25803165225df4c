// Decoding XML references.
#include "dat/references.h"

#include <cstring>

#include "dat/sizes.h"

std::size_t encodeUtf8(char32_t codePoint, char* out)
{
    if (codePoint < 0x80) {
        out[0] = static_cast<char>(codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        out[0] = static_cast<char>(0xC0 | codePoint >> 6);
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint < 0x10000) {
        out[0] = static_cast<char>(0xE0 | codePoint >> 12);
        out[1] = static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | codePoint >> 18);
    out[1] = static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 4;
}

// The code point of the numeric reference "&#...;" whose digits are `digits`
// (after "&#"), or -1 when it is malformed or beyond U+10FFFF.
static long numericReference(std::string_view digits)
{
    const bool hex = !digits.empty() && digits[0] == 'x';
    if (hex)
        digits.remove_prefix(1);
    if (digits.empty())
        return -1;
    long value = 0;
    for (char c : digits) {
        const int digit = hex ? hexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0)
            return -1;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10FFFF)
            return -1;
    }
    return value;
}

// Whether XML allows the code point as a character.
static bool xmlAllows(long codePoint)
{
    if (codePoint < 0x20)
        return codePoint == '\t' || codePoint == '\n' || codePoint == '\r';
    return !(codePoint >= 0xD800 && codePoint <= 0xDFFF) && codePoint != 0xFFFE && codePoint != 0xFFFF;
}

// The bytes the reference `name` (between '&' and ';') stands for, in `out`;
// 0 when it stays as written.
static std::size_t referenceBytes(std::string_view name, char* out, bool lineBreaks)
{
    struct Named {
        std::string_view name;
        char byte;
    };
    static constexpr Named named[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const Named& entry : named) {
        if (name == entry.name) {
            out[0] = entry.byte;
            return 1;
        }
    }
    if (name.empty() || name[0] != '#')
        return 0;
    const long codePoint = numericReference(name.substr(1));
    if (codePoint < 0 || !xmlAllows(codePoint) || (!lineBreaks && (codePoint == '\n' || codePoint == '\r')))
        return 0;
    return encodeUtf8(static_cast<char32_t>(codePoint), out);
}

std::size_t decodeReferences(std::string_view raw, char* out, bool lineBreaks)
{
    // The longest reference decoded: "&#x" and 6 digits, or as many
    // leading zeros as a reference may have before a ';' that is near.
    constexpr std::size_t longestName = 32;
    std::size_t length = 0;
    std::size_t i = 0;
    while (i < raw.size()) {
        const void* amp = std::memchr(raw.data() + i, '&', raw.size() - i);
        const std::size_t at = amp == nullptr ? raw.size() : static_cast<std::size_t>(static_cast<const char*>(amp) - raw.data());
        std::memmove(out + length, raw.data() + i, at - i);
        length += at - i;
        i = at;
        if (i == raw.size())
            break;
        const std::size_t semicolon = raw.find(';', i + 1);
        std::size_t decoded = 0;
        if (semicolon != std::string_view::npos && semicolon - i - 1 <= longestName)
            decoded = referenceBytes(raw.substr(i + 1, semicolon - i - 1), out + length, lineBreaks);
        if (decoded == 0) {
            out[length++] = '&';
            i++;
        } else {
            length += decoded;
            i = semicolon + 1;
        }
    }
    return length;
}
