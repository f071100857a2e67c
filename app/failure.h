// How the program ends when it refuses: one line on stderr, the same in a message box, status 1.
#pragma once

#include <string>

// Prints "brumo-setup: " and reason, shows it in the library's message box when message_box is
// set (the library is started and someone is there to close it), and exits with status 1.
[[noreturn]] void fail(const std::string &reason, bool message_box);
