// The DAT writer: every byte of the ClrMamePro DAT file. It writes fixed texts
// and the values it is handed, in the order it is called; values are written
// as they stand (a NUL-terminated text), without quoting or escaping.
#pragma once

#include "platform/text_output.h"

// The header block describing the whole collection, then an empty line.
void writeHeader(TextOutput& out);

// Opens a game block: name line and the "LIST\NAME  [ DESCRIPTION ]" title.
void openGame(TextOutput& out, const char* list, const char* software, const char* description);

// One rom line; size, crc, md5 and sha1 appear only when not empty.
void writeRom(TextOutput& out, const char* name, const char* size, const char* crc, const char* md5,
              const char* sha1);

// The rebuildto line and the block's closing parenthesis.
void closeGame(TextOutput& out, const char* list);
