// libFuzzer target: the binding file's check on any bytes and, for what it lets through, the
// program's save path through the library, which must keep every other line of the file. It
// also holds the check to refusing a layout only when the library would mangle it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bindings/file_check.h"
#include "tests/unit/binding_round_trip.h"

namespace {

// The player and the values come from the bytes, so a saved crash input replays the same case.
std::uint64_t hash_of(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (const char byte : bytes) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ULL;
  }
  return hash;
}

binding_values values_from(std::uint64_t hash) {
  binding_values values{};
  for (int &value : values) {
    hash = hash * 6364136223846793005ULL + 1442695040888963407ULL;
    value = static_cast<int>((hash >> 33) % 115);  // file scancodes 0..114
  }
  return values;
}

[[noreturn]] void fail(const std::string &what, std::string_view bytes) {
  std::fprintf(stderr, "\n%s\nfile: %s\n", what.c_str(), c_literal(bytes).c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
  if (!start_round_trips()) {
    std::fprintf(stderr, "file_check_fuzz: no library or no scratch directory\n");
    std::exit(1);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  const file_verdict verdict = check_binding_text(bytes);
  const std::uint64_t hash = hash_of(bytes);
  const binding_values values = values_from(hash);
  if (verdict.problem == file_ok) {
    const int player = static_cast<int>(hash >> 63);
    const std::string problem = round_trip(bytes, player, values);
    if (!problem.empty()) fail("jugador" + std::to_string(player) + ": " + problem, bytes);
  } else if (verdict.problem == file_section_line_has_text ||
             verdict.problem == file_player_section_runs_on) {
    // Valid UTF-8, so safe to hand to the library, which must mangle it for some player.
    if (round_trip(bytes, 0, values).empty() && round_trip(bytes, 1, values).empty())
      fail("refused at line " + std::to_string(verdict.line) + " though the library keeps it",
           bytes);
  }
  return 0;
}
