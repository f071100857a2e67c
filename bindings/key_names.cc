// The key name table and the translation from the library's key numbers into the file's.
#include "bindings/binding_file.h"

#include <allegro.h>

namespace {

// One row of the file's numbering per line of this table.
// clang-format off
constexpr std::array key_names = {
    "(none)",                                                                            // 0
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",                     // 1-13
    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",                     // 14-26
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",                                    // 27-36
    "0_PAD", "1_PAD", "2_PAD", "3_PAD", "4_PAD",                                         // 37-41
    "5_PAD", "6_PAD", "7_PAD", "8_PAD", "9_PAD",                                         // 42-46
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",           // 47-58
    "ESC", "TILDE", "MENOS", "IGUAL", "BACKSPACE", "TAB",                                // 59-64
    "OPENBRACE", "CLOSEBRACE", "ENTER", "COLON", "QUOTE", "BACKSLASH", "BACKSLASH2",     // 65-71
    "COMA", "PUNTO", "SLASH", "SPACE",                                                   // 72-75
    "INSERT", "DEL", "HOME", "END", "PGUP", "PGDN",                                      // 76-81
    "IZQUIERDA", "DERECHA", "ARRIBA", "ABAJO",                                           // 82-85
    "SLASH_PAD", "ASTERISCO", "MENOS_PAD", "MAS_PAD", "DEL_PAD", "ENTER_PAD",            // 86-91
    "PRTSCR", "PAUSE",                                                                   // 92-93
    "ABNT_C1", "YEN", "KANA", "CONVERT", "NOCONVERT",                                    // 94-98
    "AT", "CIRCUMFLEX", "COLON2", "KANJI",                                               // 99-102
    "LSHIFT", "RSHIFT", "LCONTROL", "RCONTROL", "ALT", "ALTGR",                          // 103-108
    "LWIN", "RWIN", "MENU", "SCRLOCK", "NUMLOCK", "CAPSLOCK",                            // 109-114
    "MAX",  // 115: the 4.0 interface's key count, not a key
};
// clang-format on
static_assert(key_names.size() == 116);

// Up to KEY_KANJI the library numbers keys as the file does; its modifier block sits 12
// higher, above a block of keys the file's numbering never had.
constexpr int last_shared_scancode = 102;
constexpr int first_file_modifier = 103;
static_assert(KEY_KANJI == last_shared_scancode);
static_assert(KEY_CAPSLOCK - KEY_LSHIFT == 114 - first_file_modifier);

}  // namespace

const char *key_name(int scancode) {
  if (scancode < 0 || scancode >= static_cast<int>(key_names.size())) return key_names[0];
  return key_names[static_cast<std::size_t>(scancode)];
}

int file_scancode(int library_scancode) {
  // The library's Windows table calls the key right of L by a number 4.4 added for the Mac;
  // the file's numbering, like the X11 driver and the same table read backwards, calls it COLON.
  if (library_scancode == KEY_SEMICOLON) return KEY_COLON;
  // 0 is no key: a game reading it would have none for that action.
  if (library_scancode > 0 && library_scancode <= last_shared_scancode) return library_scancode;
  if (library_scancode >= KEY_LSHIFT && library_scancode <= KEY_CAPSLOCK)
    return library_scancode - KEY_LSHIFT + first_file_modifier;
  return no_file_scancode;
}
