// XML references in the list DATs' values: "&amp;", "&lt;", "&gt;",
// "&quot;", "&apos;" and numeric ones ("&#233;", "&#xE9;") decoded, the
// numeric ones as UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

// Decodes the references of `raw` into `out`, which has room for
// raw.size() bytes (no reference decodes to more bytes than it has);
// returns the length. A reference to a code point XML does not allow (a
// control other than tab, LF and CR, a surrogate, U+FFFE, U+FFFF, beyond
// U+10FFFF), an unknown name, or a reference without its ';' stays as
// written; so do references to LF and CR unless `lineBreaks`.
std::size_t decodeReferences(std::string_view raw, char* out, bool lineBreaks);

// The UTF-8 bytes of the code point (at most 4) at `out`; returns how many.
std::size_t encodeUtf8(char32_t codePoint, char* out);
