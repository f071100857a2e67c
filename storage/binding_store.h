// The binding file on disk: one copy of the program per directory, every save re-reading the
// file, judged by a trial save in memory, and only then written in place.
#pragma once

#include "storage/trial_save.h"
#include "storage/verdict.h"

// Once the library is started: the directory still exists, no other copy of the program is
// using it (a lock held until exit, no file left behind), and the file can be used. Remembers
// whether the file is a link and where to, so that a swap is noticed later.
file_verdict open_binding_store();

// Before a capture: the file, re-read as it is now, is still usable, a save of that player's
// keys would land where the game reads them, and the disk and the process's file-size limit
// have room for it.
file_verdict check_before_capture(int player);

// Saves the player's keys into the file as it is now. Nothing set, nothing written. On failure
// the file keeps its content. This and the check may be called from two threads: one runs at a
// time.
file_verdict save_keys(int player, const key_codes &codes);
