// What the library's configuration code cannot survive, checked on the bytes before it ever
// reads them, and the reading of the file itself, which never blocks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "storage/verdict.h"

// The lines as the library splits them: at LF, CRLF, LFCR or a lone CR; a final break ends the
// last line rather than starting an empty one.
std::vector<std::string_view> lines_of(std::string_view text);

// No byte-order mark, no NUL, valid UTF-8, no long line with non-ASCII text, within the cap.
file_verdict check_bytes(std::string_view bytes);

// Reads the file at path into bytes and checks them. A missing file reads as empty, if the
// directory lets the library create it.
file_verdict read_binding_file(const char *path, std::string &bytes);
