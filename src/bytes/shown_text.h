// A text as a message shows it: each control byte (below 0x20, and DEL) as
// \xHH, every other byte as it stands, so that a name or a value read from
// the input or the command line cannot move the terminal's cursor.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

inline bool isControlByte(char byte)
{
    const unsigned char c = static_cast<unsigned char>(byte);
    return c < 0x20 || c == 0x7F;
}

inline void appendShown(std::string& to, std::string_view text)
{
    for (char byte : text) {
        if (isControlByte(byte)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(byte));
            to += escaped;
        } else {
            to += byte;
        }
    }
}
