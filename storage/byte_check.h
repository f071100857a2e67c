// What the library's configuration code cannot survive, checked on the bytes before it ever
// reads them.
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
