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
static void putTitle(TextComposer& c, const char* text, std::size_t size)
{
    const char* end = text + size;
    for (;;) {
        const char* quote = static_cast<const char*>(std::memchr(text, '"', static_cast<std::size_t>(end - text)));
        if (quote == nullptr)
            break;
        putText(c, text, static_cast<std::size_t>(quote - text));
        putLiteral<"''">(c);
        text = quote + 1;
    }
    putText(c, text, static_cast<std::size_t>(end - text));
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
static void putSize(TextComposer& c, const char* size, std::size_t length)
{
    std::uint64_t value = 0;
    if (!hexSizeValue(size, value)) {
        putText(c, size, length);
        return;
    }
    char digits[20];
    std::size_t first = sizeof digits;
    do {
        digits[--first] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    putText(c, digits + first, sizeof digits - first);
}

void openGame(TextOutput& out, const char* list, const char* software, const char* description)
{
    const std::size_t listSize = std::strlen(list), softwareSize = std::strlen(software);
    const std::size_t descriptionSize = std::strlen(description);
    TextComposer c = startText(out, 2 * (listSize + 2 * softwareSize + 2 * descriptionSize) + 64);
    putLiteral<"\ngame (\n  name \"">(c);
    putText(c, software, softwareSize);
    putLiteral<"\"\n  description \"">(c);
    putText(c, list, listSize);
    putLiteral<"\\">(c);
    putText(c, software, softwareSize);
    putLiteral<"  [ ">(c);
    putTitle(c, description, descriptionSize);
    putLiteral<" ]\"\n">(c);
    finishText(c);
}

// "LABEL VALUE " when the value is not empty.
template <LineText label>
static void putRomField(TextComposer& c, const char* value, std::size_t size)
{
    if (size == 0)
        return;
    putLiteral<label>(c);
    putText(c, value, size);
    putLiteral<" ">(c);
}

void writeRom(TextOutput& out, const char* name, const char* size, const char* crc, const char* md5,
              const char* sha1)
{
    const std::size_t nameSize = std::strlen(name), sizeSize = std::strlen(size), crcSize = std::strlen(crc);
    const std::size_t md5Size = std::strlen(md5), sha1Size = std::strlen(sha1);
    TextComposer c = startText(out, 2 * (nameSize + sizeSize + crcSize + md5Size + sha1Size) + 64);
    putLiteral<"  rom ( name \"">(c);
    putText(c, name, nameSize);
    putLiteral<"\" ">(c);
    if (sizeSize != 0) {
        putLiteral<"size ">(c);
        putSize(c, size, sizeSize);
        putLiteral<" ">(c);
    }
    putRomField<"crc ">(c, crc, crcSize);
    putRomField<"md5 ">(c, md5, md5Size);
    putRomField<"sha1 ">(c, sha1, sha1Size);
    putLiteral<")\n">(c);
    finishText(c);
}

void writeDisk(TextOutput& out, const char* name, const char* sha1)
{
    const std::size_t nameSize = std::strlen(name), sha1Size = std::strlen(sha1);
    TextComposer c = startText(out, 2 * (nameSize + sha1Size) + 32);
    putLiteral<"  disk ( name \"">(c);
    putText(c, name, nameSize);
    putLiteral<"\" sha1 ">(c);
    putText(c, sha1, sha1Size);
    putLiteral<" )\n">(c);
    finishText(c);
}

void closeGame(TextOutput& out, const char* list)
{
    const std::size_t listSize = std::strlen(list);
    TextComposer c = startText(out, 2 * listSize + 32);
    putLiteral<"  rebuildto \"">(c);
    putText(c, list, listSize);
    putLiteral<"\"\n)\n">(c);
    finishText(c);
}
