// The menu's hotkeys: the main keyboard's 1 and 2 start player 0's and player 1's capture, once per
// press.
#pragma once

using capture_proc = void (*)(int player);

// One step of the main loop. keys is the library's key state array; each flag stays set while
// its key is held, so a held hotkey starts its capture only once. Both flags start clear.
void hotkey_step(const volatile char *keys, char &key1_held, char &key2_held, capture_proc capture);
