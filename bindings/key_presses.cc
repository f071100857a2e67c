// A single-producer, single-consumer ring: the library's keyboard thread pushes, the capture
// takes. Neither side blocks or locks.
#include "bindings/capture.h"

#include <allegro.h>

#include <array>
#include <atomic>

namespace {

constexpr int key_released_bit = 0x80;
constexpr int scancode_mask = 0x7f;

// Enough for a player typing all seven keys and more before the first prompt is drawn.
constexpr unsigned queue_size = 64;
// A press is its scancode and how many times its key had been released by then.
struct queued_press {
  std::atomic<int> scancode{0};
  std::atomic<unsigned> releases{0};
};
std::array<queued_press, queue_size> queued{};
std::atomic<unsigned> pushed{0};  // written by the keyboard thread only
std::atomic<unsigned> taken{0};   // written by the capture only

std::array<std::atomic<unsigned>, 128> releases{};

// For each key down when the queue was last cleared, 1 + its release count then; 0 for the
// others. The library sets its key state before it calls the hook, so the press that a
// capture's hotkey was seen by may reach the queue just after the queue was cleared.
std::array<unsigned, 128> held_when_cleared{};

}  // namespace

void on_key_event(int raw) {
  const auto scancode = static_cast<std::size_t>(raw & scancode_mask);
  if ((raw & key_released_bit) != 0) {
    releases[scancode].fetch_add(1, std::memory_order_relaxed);
    return;
  }
  const unsigned at = pushed.load(std::memory_order_relaxed);
  // A full queue drops the press rather than hold up the keyboard thread.
  if (at - taken.load(std::memory_order_acquire) >= queue_size) return;
  queued_press &press = queued[at % queue_size];
  press.scancode.store(static_cast<int>(scancode), std::memory_order_relaxed);
  press.releases.store(releases[scancode].load(std::memory_order_relaxed),
                       std::memory_order_relaxed);
  pushed.store(at + 1, std::memory_order_release);
}

void install_key_presses() {
  // A held key must bind one action, not all seven through the repeats: with no repeat rate the
  // library hands the hook no press of a key already down.
  set_keyboard_rate(0, 0);
  keyboard_lowlevel_callback = on_key_event;
}

void forget_key_presses(const volatile char *held) {
  for (std::size_t scancode = 0; scancode < held_when_cleared.size(); ++scancode) {
    held_when_cleared[scancode] =
        held[scancode] != 0 ? 1 + releases[scancode].load(std::memory_order_relaxed) : 0;
  }
  taken.store(pushed.load(std::memory_order_acquire), std::memory_order_release);
}

int take_key_press() {
  for (;;) {
    const unsigned at = taken.load(std::memory_order_relaxed);
    if (at == pushed.load(std::memory_order_acquire)) return -1;
    const queued_press &press = queued[at % queue_size];
    const int scancode = press.scancode.load(std::memory_order_relaxed);
    const unsigned released = press.releases.load(std::memory_order_relaxed);
    taken.store(at + 1, std::memory_order_release);
    // The same press as one already down when the queue was cleared: not released in between.
    unsigned &held = held_when_cleared[static_cast<std::size_t>(scancode)];
    if (held == 0 || held != released + 1) return scancode;
    held = 0;
  }
}
