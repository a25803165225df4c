// The DAT line shapes: the fixed header, then only game block lines, each
// ending in CR LF, with values no longer than the fields that held them.
#include "dat_shape.h"

#include <string_view>

namespace {

const std::string_view header[] = {
    "clrmamepro (",
    "\tname \"MESS Software Lists\"",
    "\tdescription \"All MESS Software Lists Combined\"",
    "\tcategory \"MESS\"",
    "\tauthor \"Tobrek's Grotwick V0.01\"",
    ")",
    "",
};

bool framed(std::string_view line, std::string_view prefix, std::string_view suffix, std::size_t longestInside)
{
    return line.size() >= prefix.size() + suffix.size() && line.starts_with(prefix) && line.ends_with(suffix) &&
           line.size() - prefix.size() - suffix.size() <= longestInside;
}

bool knownShape(std::string_view line)
{
    const std::size_t name = 255;
    const std::size_t description = 1023;
    if (line.empty() || line == "game (" || line == ")")
        return true;
    if (framed(line, "  name \"", "\"", name) && line.find('"', 8) == line.size() - 1)
        return true;
    // A title's double quotes are written as two apostrophes each.
    if (framed(line, "  description \"", " ]\"", name + 1 + name + 4 + 2 * description) &&
        line.find("  [ ") != std::string_view::npos && line.find('"', 15) == line.size() - 1)
        return true;
    if (framed(line, "  rebuildto \"", "\"", name) && line.find('"', 13) == line.size() - 1)
        return true;
    // name, then "\" sha1 " (7 bytes), then the sha1
    if (framed(line, "  disk ( name \"", " )", name + 7 + name) && line.find("\" sha1 ") != std::string_view::npos)
        return true;
    // name, then up to four "KEY VALUE " fields
    return framed(line, "  rom ( name \"", " )", name + 1 + 4 * (5 + name + 1));
}

}  // namespace

std::string datShapeProblem(const std::string& dat)
{
    if (dat.find('\0') != std::string::npos)
        return "the DAT holds a NUL byte";
    std::size_t start = 0;
    std::size_t number = 0;
    while (start < dat.size()) {
        std::size_t lf = dat.find('\n', start);
        if (lf == std::string::npos)
            return "the DAT does not end with a line end";
        if (lf == start || dat[lf - 1] != '\r')
            return "line " + std::to_string(number + 1) + " ends in a bare LF";
        std::string_view line(dat.data() + start, lf - 1 - start);
        bool fits = number < std::size(header) ? line == header[number] : knownShape(line);
        if (!fits)
            return "line " + std::to_string(number + 1) + " has no known shape: " + std::string(line);
        number++;
        start = lf + 1;
    }
    if (number < std::size(header))
        return "the header is incomplete";
    return "";
}
