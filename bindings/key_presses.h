// Every physical key press, in the order pressed, taken from the library's low-level keyboard
// hook: modifiers and dead keys included, which never reach the library's key buffer.
#pragma once

// Once, after install_keyboard: no auto-repeat, and the hook that queues the presses.
void install_key_presses();

// The hook itself: raw is the library's scancode, with 0x80 set for a release. A press that
// finds the queue full is dropped; repeats of a held key never come (see install_key_presses).
void on_key_event(int raw);

// Drops the presses queued so far, and the presses of the keys down in held (the library's key
// state) that are still on their way to the queue.
void forget_key_presses(const volatile char *held);

// The library's scancode of the oldest queued press, taking it from the queue, or -1 when
// none is waiting.
int take_key_press();
