// The list DATs' text form.
#include "dat/list_text.h"

#include "dat/dat_text.h"

void ListText::header(TextOutput& out, std::string_view list, std::string_view description, std::string_view version)
{
    TextComposer c = startText(out, 2 * (list.size() + 2 * description.size()) + 128);
    putLiteral<"clrmamepro (\n\tname \"">(c);
    putText(c, list.data(), list.size());
    putLiteral<"\"\n\tdescription \"">(c);
    putQuotedValue(c, description);
    putLiteral<"\"\n">(c);
    finishText(c);
    putVersionLine(out, version);
    c = startText(out, 128);
    putLiteral<"\tcategory \"MESS\"\n\tauthor \"">(c);
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
    putQuotedValue(c, value);
    putLiteral<"\"\n">(c);
}

void ListText::openSet(TextOutput& out, const SetLines& set)
{
    TextComposer c = startText(out, 4 * (set.name.size() + set.title.size() + 2 * set.parent.size() +
                                         set.year.size() + set.manufacturer.size()) + 160);
    putLiteral<"\ngame (\n  name \"">(c);
    putQuotedValue(c, set.name);
    putLiteral<"\"\n  description \"">(c);
    putQuotedValue(c, set.title);
    putLiteral<"\"\n">(c);
    putListLine<"  cloneof \"">(c, set.parent);
    putListLine<"  romof \"">(c, set.parent);
    putListLine<"  year \"">(c, set.year);
    putListLine<"  manufacturer \"">(c, set.manufacturer);
    finishText(c);
}

// `  LABEL ( name "NAME" ` and the merge, and where the name stands.
template <LineText label>
static NamePlace putNamed(TextComposer& c, std::string_view name, std::string_view merge)
{
    NamePlace place;
    putLiteral<label>(c);
    place.nameAt = composedPosition(c);
    putQuotedValue(c, name);
    place.nameEnd = composedPosition(c);
    putLiteral<"\" ">(c);
    place.mergeAt = composedPosition(c);
    putBytes(c, merge.data(), merge.size());
    return place;
}

NamePlace ListText::rom(TextOutput& out, std::string_view name, std::string_view merge, const RomValues& values,
                        bool badDump)
{
    TextComposer c = startText(out, 4 * name.size() + merge.size() + romValuesRoom(values) + 80);
    const NamePlace place = putNamed<"  rom ( name \"">(c, name, merge);
    putRomValues(c, values);
    if (badDump)
        putLiteral<"flags baddump ">(c);
    putLiteral<")\n">(c);
    finishText(c);
    return place;
}

NamePlace ListText::disk(TextOutput& out, std::string_view name, std::string_view merge, std::string_view sha1,
                         bool badDump)
{
    TextComposer c = startText(out, 4 * (name.size() + sha1.size()) + merge.size() + 48);
    const NamePlace place = putNamed<"  disk ( name \"">(c, name, merge);
    putLiteral<"sha1 ">(c);
    putText(c, sha1.data(), sha1.size());
    putLiteral<" ">(c);
    if (badDump)
        putLiteral<"flags baddump ">(c);
    putLiteral<")\n">(c);
    finishText(c);
    return place;
}

void ListText::closeSet(TextOutput& out)
{
    writeLiteral<")\n">(out);
}

void ListText::closeDat(TextOutput&) {}

void ListText::merge(std::string& into, std::string_view writtenName)
{
    into += "merge \"";
    into += writtenName;
    into += "\" ";
}
