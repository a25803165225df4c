// The DAT writer.
#include "dat/dat_writer.h"

#include <cstdint>
#include <cstring>

void writeHeader(TextOutput& out)
{
    writeLiteral<"clrmamepro (\n">(out);
    writeLiteral<"\tname \"MESS Software Lists\"\n">(out);
    writeLiteral<"\tdescription \"All MESS Software Lists Combined\"\n">(out);
    writeLiteral<"\tcategory \"MESS\"\n">(out);
    writeLiteral<"\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n">(out);
}

// The format has no escape for a double quote inside a quoted value: a reader
// ends the value there. Each one in a title is written as two apostrophes.
static void writeTitle(TextOutput& out, const char* text)
{
    for (;;) {
        const char* quote = std::strchr(text, '"');
        if (quote == nullptr)
            break;
        writeText(out, text, static_cast<std::size_t>(quote - text));
        writeLiteral<"''">(out);
        text = quote + 1;
    }
    writeString(out, text);
}

// The value of a hexadecimal digit, or -1.
static int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

// True, with its value, when the text is "0x" or "0X" and then one to 16
// significant hexadecimal digits (leading zeros are not counted).
static bool hexSizeValue(const char* text, std::uint64_t& value)
{
    if (text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text[2] == '\0')
        return false;
    value = 0;
    int significant = 0;
    for (const char* at = text + 2; *at != '\0'; at++) {
        int digit = hexDigitValue(*at);
        if (digit < 0)
            return false;
        if ((significant > 0 || digit != 0) && ++significant > 16)
            return false;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return true;
}

// Sizes the lists give in hexadecimal are written in decimal, which every
// reader of the format takes; any other size is written as it stands.
static void writeSize(TextOutput& out, const char* size)
{
    std::uint64_t value = 0;
    if (!hexSizeValue(size, value)) {
        writeString(out, size);
        return;
    }
    char digits[20];
    std::size_t first = sizeof digits;
    do {
        digits[--first] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    writeText(out, digits + first, sizeof digits - first);
}

void openGame(TextOutput& out, const char* list, const char* software, const char* description)
{
    writeLiteral<"\ngame (\n  name \"">(out);
    writeString(out, software);
    writeLiteral<"\"\n  description \"">(out);
    writeString(out, list);
    writeLiteral<"\\">(out);
    writeString(out, software);
    writeLiteral<"  [ ">(out);
    writeTitle(out, description);
    writeLiteral<" ]\"\n">(out);
}

// "LABEL VALUE " when the value is not empty.
template <LineText label>
static void writeRomField(TextOutput& out, const char* value)
{
    if (value[0] == '\0')
        return;
    writeLiteral<label>(out);
    writeString(out, value);
    writeLiteral<" ">(out);
}

void writeRom(TextOutput& out, const char* name, const char* size, const char* crc, const char* md5,
              const char* sha1)
{
    writeLiteral<"  rom ( name \"">(out);
    writeString(out, name);
    writeLiteral<"\" ">(out);
    if (size[0] != '\0') {
        writeLiteral<"size ">(out);
        writeSize(out, size);
        writeLiteral<" ">(out);
    }
    writeRomField<"crc ">(out, crc);
    writeRomField<"md5 ">(out, md5);
    writeRomField<"sha1 ">(out, sha1);
    writeLiteral<")\n">(out);
}

void closeGame(TextOutput& out, const char* list)
{
    writeLiteral<"  rebuildto \"">(out);
    writeString(out, list);
    writeLiteral<"\"\n)\n">(out);
}
