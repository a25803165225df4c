// The Logiqx XML list DATs.
#include "dat/list_xml.h"

#include <array>
#include <bit>

#include "bytes/byte_mask.h"
#include "bytes/small_copy.h"
#include "dat/dat_text.h"
#include "dat/sizes.h"

namespace {

// Each input byte becomes at most 6 output bytes ("&quot;", "&#10;").
constexpr std::size_t escapedRoom = 6;

// The bytes that go into XML text as they stand: printable ASCII other than
// '&', '<', '>' and '"'.
constexpr std::array<bool, 256> plainInXml = [] {
    std::array<bool, 256> plain{};
    for (int byte = 0x20; byte < 0x80; byte++)
        plain[static_cast<std::size_t>(byte)] = byte != '&' && byte != '<' && byte != '>' && byte != '"';
    return plain;
}();

// The length of the valid UTF-8 sequence at text[0, size), with its code
// point, or 0 when the first byte starts none.
std::size_t utf8Sequence(const unsigned char* text, std::size_t size, char32_t& codePoint)
{
    const unsigned char lead = text[0];
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;   // the second byte's range
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (size < length || text[1] < low || text[1] > high)
        return 0;
    for (std::size_t i = 1; i < length; i++) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (text[i] & 0x3F);
    }
    return length;
}

// The end of the run of bytes from `from` that go as they stand: sixteen
// at a time while they lie in the value, then one by one.
std::size_t plainRunEnd(std::string_view value, std::size_t from)
{
    std::size_t at = from;
    if (simdAvailable && fastPathsOn()) {
        for (; at + 16 <= value.size(); at += 16) {
            const unsigned special = xmlSpecialMask16(value.data() + at);
            if (special != 0)
                return at + static_cast<std::size_t>(std::countr_zero(special));
        }
    }
    while (at < value.size() && plainInXml[static_cast<unsigned char>(value[at])])
        at++;
    return at;
}

// A value as XML text, a run of plain bytes at a time, each other byte
// escaped or replaced.
RARELY_TAKEN void putXmlInRuns(TextComposer& c, std::string_view value)
{
    const unsigned char* text = reinterpret_cast<const unsigned char*>(value.data());
    std::size_t i = 0;
    while (i < value.size()) {
        // A run of plain printable ASCII goes as it stands.
        const std::size_t run = plainRunEnd(value, i);
        putText(c, value.data() + i, run - i);
        i = run;
        if (i == value.size())
            break;
        char32_t codePoint = 0;
        const std::size_t length = utf8Sequence(text + i, value.size() - i, codePoint);
        if (length == 0) {
            putLiteral<"\xEF\xBF\xBD">(c);
            i++;
            continue;
        }
        switch (codePoint) {
        case '&':
            putLiteral<"&amp;">(c);
            break;
        case '<':
            putLiteral<"&lt;">(c);
            break;
        case '>':
            putLiteral<"&gt;">(c);
            break;
        case '"':
            putLiteral<"&quot;">(c);
            break;
        // An attribute's tab, LF or CR reads back as a space unless written
        // as a reference.
        case '\t':
            putLiteral<"&#9;">(c);
            break;
        case '\n':
            putLiteral<"&#10;">(c);
            break;
        case '\r':
            putLiteral<"&#13;">(c);
            break;
        default:
            if (codePoint >= 0x20 && codePoint != 0xFFFE && codePoint != 0xFFFF)
                putText(c, value.data() + i, length);
            break;
        }
        i += length;
    }
}

// A value as XML text. A short one is looked over for a byte to escape as
// it is copied: one with none (most names, sizes and hashes) is written
// then; any other goes in runs.
ALWAYS_INLINE void putXml(TextComposer& c, std::string_view value)
{
    if (c.direct && value.size() <= 64 && !copySmallSeen<SeeingXmlSpecial>(c.to, value.data(), value.size())) {
        c.to += value.size();
        return;
    }
    putXmlInRuns(c, value);
}

// ` LABEL"VALUE"` when the value is not empty (or always, `required`).
template <LineText label>
ALWAYS_INLINE void putAttribute(TextComposer& c, std::string_view value, bool required = false)
{
    if (value.empty() && !required)
        return;
    putLiteral<label>(c);
    putXml(c, value);
    putLiteral<"\"">(c);
}

// "\t\t<LABEL>VALUE</LABEL>\n" (the closing tag given), when not empty.
template <LineText open, LineText close>
void putElement(TextComposer& c, std::string_view value)
{
    if (value.empty())
        return;
    putLiteral<open>(c);
    putXml(c, value);
    putLiteral<close>(c);
}

// A size as the text form writes it.
void putXmlSize(TextComposer& c, const RomSize& size)
{
    char digits[decimalRoom];
    putAttribute<" size=\"">(c, sizeText(size, digits));
}

}  // namespace

void ListXml::header(TextOutput& out, std::string_view list, std::string_view description, std::string_view version)
{
    TextComposer c = startText(out, escapedRoom * (list.size() + description.size() + version.size()) + 512);
    putLiteral<"<?xml version=\"1.0\"?>\n"
               "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
               "\"http://www.logiqx.com/Dats/datafile.dtd\">\n"
               "<datafile>\n\t<header>\n">(c);
    putLiteral<"\t\t<name>">(c);
    putXml(c, list);
    putLiteral<"</name>\n\t\t<description>">(c);
    putXml(c, description);
    putLiteral<"</description>\n\t\t<category>MESS</category>\n\t\t">(c);
    if (version.empty()) {
        putLiteral<"<version/>">(c);
    } else {
        putLiteral<"<version>">(c);
        putXml(c, version);
        putLiteral<"</version>">(c);
    }
    putLiteral<"\n\t\t<author>">(c);
    putXml(c, datAuthor);
    putLiteral<"</author>\n\t</header>\n">(c);
    finishText(c);
}

void ListXml::openSet(TextOutput& out, const SetLines& set)
{
    TextComposer c = startText(out, escapedRoom * (set.name.size() + set.title.size() + 2 * set.parent.size() +
                                                   set.year.size() + set.manufacturer.size()) + 200);
    putLiteral<"\t<game">(c);
    putAttribute<" name=\"">(c, set.name, true);
    putAttribute<" cloneof=\"">(c, set.parent);
    putAttribute<" romof=\"">(c, set.parent);
    putLiteral<">\n\t\t<description>">(c);
    putXml(c, set.title);
    putLiteral<"</description>\n">(c);
    putElement<"\t\t<year>", "</year>\n">(c, set.year);
    putElement<"\t\t<manufacturer>", "</manufacturer>\n">(c, set.manufacturer);
    finishText(c);
}

// `<LABEL name="NAME"` and the merge, and where the name stands.
template <LineText label>
static NamePlace putNamed(TextComposer& c, std::string_view name, std::string_view merge)
{
    NamePlace place;
    putLiteral<label>(c);
    place.nameAt = composedPosition(c);
    putXml(c, name);
    place.nameEnd = composedPosition(c);
    putLiteral<"\"">(c);
    place.mergeAt = composedPosition(c);
    putBytes(c, merge.data(), merge.size());
    return place;
}

NamePlace ListXml::rom(TextOutput& out, std::string_view name, std::string_view merge, const RomValues& values,
                       bool badDump)
{
    TextComposer c = startText(out, escapedRoom * name.size() + merge.size() + 3 * romValuesRoom(values) + 96);
    const NamePlace place = putNamed<"\t\t<rom name=\"">(c, name, merge);
    putXmlSize(c, values.size);
    putAttribute<" crc=\"">(c, values.crc);
    putAttribute<" md5=\"">(c, values.md5);
    putAttribute<" sha1=\"">(c, values.sha1);
    if (badDump)
        putLiteral<" status=\"baddump\"">(c);
    putLiteral<"/>\n">(c);
    finishText(c);
    return place;
}

NamePlace ListXml::disk(TextOutput& out, std::string_view name, std::string_view merge, std::string_view sha1,
                        bool badDump)
{
    TextComposer c = startText(out, escapedRoom * (name.size() + sha1.size()) + merge.size() + 64);
    const NamePlace place = putNamed<"\t\t<disk name=\"">(c, name, merge);
    putAttribute<" sha1=\"">(c, sha1);
    if (badDump)
        putLiteral<" status=\"baddump\"">(c);
    putLiteral<"/>\n">(c);
    finishText(c);
    return place;
}

void ListXml::closeSet(TextOutput& out)
{
    writeLiteral<"\t</game>\n">(out);
}

void ListXml::closeDat(TextOutput& out)
{
    writeLiteral<"</datafile>\n">(out);
}

void ListXml::merge(std::string& into, std::string_view writtenName)
{
    into += " merge=\"";
    into += writtenName;
    into += "\"";
}
