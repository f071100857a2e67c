// What happens when the X display goes away under the program (the server ends, the session
// logs out).
#pragma once

// Once, after the library has opened the display: on its loss, on_loss runs once, on the
// thread that noticed it, and must end the process (with _exit: the library's shutdown would
// talk to the dead display and crash or hang).
void watch_display_loss(void (*on_loss)());
