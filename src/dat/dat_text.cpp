// The ClrMamePro text of the combined DAT, and the pieces of a line the list
// DATs' text form shares.
#include "dat/dat_text.h"

#include <cstdint>
#include <cstring>

#include "bytes/small_copy.h"
#include "dat/sizes.h"

void writeHeader(TextOutput& out, std::string_view version)
{
    writeLiteral<"clrmamepro (\n">(out);
    writeLiteral<"\tname \"MESS Software Lists\"\n">(out);
    writeLiteral<"\tdescription \"All MESS Software Lists Combined\"\n">(out);
    putVersionLine(out, version);
    writeLiteral<"\tcategory \"MESS\"\n">(out);
    writeLiteral<"\tauthor \"">(out);
    writeLiteral<datAuthor>(out);
    writeLiteral<"\"\n)\n\n">(out);
}

void putVersionLine(TextOutput& out, std::string_view version)
{
    if (version.empty())
        return;
    TextComposer c = startText(out, 4 * version.size() + 32);
    putLiteral<"\tversion \"">(c);
    putQuotedValue(c, version);
    putLiteral<"\"\n">(c);
    finishText(c);
}

// The format has no escape for a double quote inside a quoted value: a reader
// ends the value there. Each one is written as two apostrophes.
void putQuotedValueInRuns(TextComposer& c, std::string_view value)
{
    const char* text = value.data();
    const char* end = text + value.size();
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
    putQuotedValue(c, description);
    putLiteral<" ]\"\n">(c);
    finishText(c);
}

void writeRom(TextOutput& out, std::string_view name, const RomValues& values)
{
    TextComposer c = startText(out, 2 * name.size() + romValuesRoom(values) + 64);
    putLiteral<"  rom ( name \"">(c);
    putValue(c, name);
    putLiteral<"\" ">(c);
    putRomValues(c, values);
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

