// A single-producer, single-consumer ring: the library's keyboard thread pushes, the capture
// takes. Neither side blocks or locks.
#include "bindings/key_presses.h"

#include <allegro.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>

namespace {

constexpr int key_released_bit = 0x80;
constexpr int scancode_mask = 0x7f;

// Enough for a player typing all seven keys and more before the first prompt is drawn.
constexpr unsigned queue_size = 64;
// A press is its scancode and when it came, in microseconds, packed so one atomic holds both,
// and how many times its key had been released by then.
std::array<std::atomic<std::uint64_t>, queue_size> queued{};
std::array<std::atomic<unsigned>, queue_size> queued_releases{};
std::atomic<unsigned> pushed{0};  // written by the keyboard thread only
std::atomic<unsigned> taken{0};   // written by the capture only

// Which keys are down, as the keyboard thread has seen them: a press of a key already down
// is the keyboard repeating it.
std::array<bool, 128> down{};
std::array<std::atomic<unsigned>, 128> releases{};

// For each key down when the queue was last cleared, 1 + its release count then; 0 for the
// others. The library sets its key state before it calls the hook, so the press that a
// capture's hotkey was seen by may reach the queue just after the queue was cleared.
std::array<unsigned, 128> held_when_cleared{};

std::uint32_t now_us() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint32_t>(now.tv_sec * 1000000 + now.tv_nsec / 1000);
}

// The library keeps one state per kind of modifier, so a right-hand Shift, Ctrl, Alt or
// Windows key comes with a press of its left-hand twin just before it. That twin is not a
// press of its own: a game would see both keys down, but only the right-hand one was pressed.
constexpr std::uint32_t twin_window_us = 10000;
int right_twin(int scancode) {
  switch (scancode) {
    case KEY_LSHIFT:
      return KEY_RSHIFT;
    case KEY_LCONTROL:
      return KEY_RCONTROL;
    case KEY_ALT:
      return KEY_ALTGR;
    case KEY_LWIN:
      return KEY_RWIN;
    default:
      return 0;
  }
}

int scancode_of(std::uint64_t press) {
  return static_cast<int>(press >> 32);
}
std::uint32_t time_of(std::uint64_t press) {
  return static_cast<std::uint32_t>(press);
}

void on_low_level_key(int raw) {
  const auto scancode = static_cast<std::size_t>(raw & scancode_mask);
  if ((raw & key_released_bit) != 0) {
    down[scancode] = false;
    releases[scancode].fetch_add(1, std::memory_order_relaxed);
    return;
  }
  if (down[scancode]) return;
  down[scancode] = true;
  const unsigned at = pushed.load(std::memory_order_relaxed);
  // A full queue drops the press rather than hold up the keyboard thread.
  if (at - taken.load(std::memory_order_acquire) >= queue_size) return;
  const std::uint64_t press = (std::uint64_t{scancode} << 32) | now_us();
  queued[at % queue_size].store(press, std::memory_order_relaxed);
  queued_releases[at % queue_size].store(releases[scancode].load(std::memory_order_relaxed),
                                         std::memory_order_relaxed);
  pushed.store(at + 1, std::memory_order_release);
}

}  // namespace

void install_key_presses() {
  // A held key must bind one action, not all seven through the repeats.
  set_keyboard_rate(0, 0);
  keyboard_lowlevel_callback = on_low_level_key;
}

void forget_key_presses(const volatile char *held) {
  for (std::size_t scancode = 0; scancode < held_when_cleared.size(); ++scancode) {
    held_when_cleared[scancode] =
        held[scancode] != 0 ? 1 + releases[scancode].load(std::memory_order_relaxed) : 0;
  }
  taken.store(pushed.load(std::memory_order_acquire), std::memory_order_release);
}

int take_key_press() {
  unsigned at = taken.load(std::memory_order_relaxed);
  const unsigned end = pushed.load(std::memory_order_acquire);
  if (at == end) return -1;
  const std::uint64_t press = queued[at % queue_size].load(std::memory_order_relaxed);
  const int twin = right_twin(scancode_of(press));
  if (twin != 0) {
    // Undecided until the window has passed: its twin may still be on its way.
    if (now_us() - time_of(press) < twin_window_us) return -1;
    if (end - at > 1) {
      const std::uint64_t next = queued[(at + 1) % queue_size].load(std::memory_order_relaxed);
      if (scancode_of(next) == twin && time_of(next) - time_of(press) < twin_window_us) ++at;
    }
  }
  const int scancode = scancode_of(queued[at % queue_size].load(std::memory_order_relaxed));
  const unsigned released = queued_releases[at % queue_size].load(std::memory_order_relaxed);
  taken.store(at + 1, std::memory_order_release);
  // The same press as one already down when the queue was cleared: not released in between.
  unsigned &held = held_when_cleared[static_cast<std::size_t>(scancode)];
  if (held != 0 && held == released + 1) {
    held = 0;
    return -1;
  }
  return scancode;
}
