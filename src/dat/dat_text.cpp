// The DAT writer.
#include "dat/dat_text.h"

#include <cstdint>
#include <cstring>

#include "dat/sizes.h"

void writeHeader(TextOutput& out)
{
    writeLiteral<"clrmamepro (\n">(out);
    writeLiteral<"\tname \"MESS Software Lists\"\n">(out);
    writeLiteral<"\tdescription \"All MESS Software Lists Combined\"\n">(out);
    writeLiteral<"\tcategory \"MESS\"\n">(out);
    writeLiteral<"\tauthor \"">(out);
    writeLiteral<datAuthor>(out);
    writeLiteral<"\"\n)\n\n">(out);
}

// The format has no escape for a double quote inside a quoted value: a reader
// ends the value there. Each one in a title is written as two apostrophes.
static void putTitle(TextComposer& c, std::string_view title)
{
    const char* text = title.data();
    const char* end = text + title.size();
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

// Sizes the lists give in hexadecimal are written in decimal, which every
// reader of the format takes; any other size is written as it stands.
static void putSize(TextComposer& c, std::string_view size)
{
    std::uint64_t value = 0;
    if (!hexSizeValue(size, value)) {
        putText(c, size.data(), size.size());
        return;
    }
    char digits[decimalRoom];
    int first = decimalDigits(value, digits);
    putText(c, digits + first, static_cast<std::size_t>(decimalRoom - first));
}

static void putValue(TextComposer& c, std::string_view value)
{
    putText(c, value.data(), value.size());
}

void openGame(TextOutput& out, std::string_view list, std::string_view software, std::string_view description)
{
    TextComposer c = startText(out, 2 * (list.size() + 2 * software.size() + 2 * description.size()) + 64);
    putLiteral<"\ngame (\n  name \"">(c);
    putValue(c, software);
    putLiteral<"\"\n  description \"">(c);
    putValue(c, list);
    putLiteral<"\\">(c);
    putValue(c, software);
    putLiteral<"  [ ">(c);
    putTitle(c, description);
    putLiteral<" ]\"\n">(c);
    finishText(c);
}

// "LABEL VALUE " when the value is not empty.
template <LineText label>
static void putRomField(TextComposer& c, std::string_view value)
{
    if (value.empty())
        return;
    putLiteral<label>(c);
    putValue(c, value);
    putLiteral<" ">(c);
}

// A rom line's fields after its name, each only when not empty.
static void putRomValues(TextComposer& c, std::string_view size, std::string_view crc, std::string_view md5,
                         std::string_view sha1)
{
    if (!size.empty()) {
        putLiteral<"size ">(c);
        putSize(c, size);
        putLiteral<" ">(c);
    }
    putRomField<"crc ">(c, crc);
    putRomField<"md5 ">(c, md5);
    putRomField<"sha1 ">(c, sha1);
}

void writeRom(TextOutput& out, std::string_view name, std::string_view size, std::string_view crc,
              std::string_view md5, std::string_view sha1)
{
    TextComposer c = startText(out, 2 * (name.size() + size.size() + crc.size() + md5.size() + sha1.size()) + 64);
    putLiteral<"  rom ( name \"">(c);
    putValue(c, name);
    putLiteral<"\" ">(c);
    putRomValues(c, size, crc, md5, sha1);
    putLiteral<")\n">(c);
    finishText(c);
}

void writeDisk(TextOutput& out, std::string_view name, std::string_view sha1)
{
    TextComposer c = startText(out, 2 * (name.size() + sha1.size()) + 32);
    putLiteral<"  disk ( name \"">(c);
    putValue(c, name);
    putLiteral<"\" sha1 ">(c);
    putValue(c, sha1);
    putLiteral<" )\n">(c);
    finishText(c);
}

void closeGame(TextOutput& out, std::string_view list)
{
    TextComposer c = startText(out, 2 * list.size() + 32);
    putLiteral<"  rebuildto \"">(c);
    putValue(c, list);
    putLiteral<"\"\n)\n">(c);
    finishText(c);
}

void writeListHeader(TextOutput& out, std::string_view list, std::string_view description)
{
    TextComposer c = startText(out, 2 * (list.size() + 2 * description.size()) + 128);
    putLiteral<"clrmamepro (\n\tname \"">(c);
    putValue(c, list);
    putLiteral<"\"\n\tdescription \"">(c);
    putTitle(c, description);
    putLiteral<"\"\n\tcategory \"MESS\"\n\tauthor \"">(c);
    putLiteral<datAuthor>(c);
    putLiteral<"\"\n)\n\n">(c);
    finishText(c);
}

// "  LABEL "VALUE"\n" when the value is not empty, its double quotes as ''.
template <LineText label>
static void putListLine(TextComposer& c, std::string_view value)
{
    if (value.empty())
        return;
    putLiteral<label>(c);
    putTitle(c, value);
    putLiteral<"\"\n">(c);
}

void openListGame(TextOutput& out, const SetLines& set)
{
    TextComposer c = startText(out, 4 * (set.name.size() + set.title.size() + 2 * set.parent.size() +
                                         set.year.size() + set.manufacturer.size()) + 160);
    putLiteral<"\ngame (\n  name \"">(c);
    putTitle(c, set.name);
    putLiteral<"\"\n  description \"">(c);
    putTitle(c, set.title);
    putLiteral<"\"\n">(c);
    putListLine<"  cloneof \"">(c, set.parent);
    putListLine<"  romof \"">(c, set.parent);
    putListLine<"  year \"">(c, set.year);
    putListLine<"  manufacturer \"">(c, set.manufacturer);
    finishText(c);
}

void writeListRom(TextOutput& out, std::string_view name, std::string_view size, std::string_view crc,
                  std::string_view md5, std::string_view sha1, bool badDump)
{
    TextComposer c = startText(out, 4 * (name.size() + size.size() + crc.size() + md5.size() + sha1.size()) + 80);
    putLiteral<"  rom ( name \"">(c);
    putTitle(c, name);
    putLiteral<"\" ">(c);
    putRomValues(c, size, crc, md5, sha1);
    if (badDump)
        putLiteral<"flags baddump ">(c);
    putLiteral<")\n">(c);
    finishText(c);
}

void writeListDisk(TextOutput& out, std::string_view name, std::string_view sha1, bool badDump)
{
    TextComposer c = startText(out, 4 * (name.size() + sha1.size()) + 48);
    putLiteral<"  disk ( name \"">(c);
    putTitle(c, name);
    putLiteral<"\" sha1 ">(c);
    putValue(c, sha1);
    putLiteral<" ">(c);
    if (badDump)
        putLiteral<"flags baddump ">(c);
    putLiteral<")\n">(c);
    finishText(c);
}

void closeListGame(TextOutput& out)
{
    writeLiteral<")\n">(out);
}
