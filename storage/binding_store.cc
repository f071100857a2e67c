// The file on disk: the lock, the link kept, every save re-read, judged and written in place.
#include "storage/binding_store.h"

#include <cerrno>
#include <mutex>
#include <string>

#include "app/platform.h"
#include "storage/in_place_write.h"

namespace {

std::string link_at_start;  // "" when the file was no link
// The display-loss path saves from another thread while the main loop may be checking or saving:
// the library's configuration, which every trial save uses, is for one thread at a time.
std::mutex library_config;

// The file as it is now, its bytes checked. An editor that saved it by renaming a new file into
// place made an ordinary edit; a link that appeared or now points elsewhere is never written
// through.
file_verdict read_current(std::string &bytes) {
  const std::string link = link_target(binding_file_name);
  if (!link.empty() && link != link_at_start) return {file_swapped_for_link};
  const file_verdict verdict = read_file(binding_file_name, bytes);
  return verdict.problem == file_ok ? check_bytes(bytes) : verdict;
}

// The file as it is now in before and what the library saves of it with the keys in after,
// within the cap and the file-size limit (which the trial save's scratch files count against too).
file_verdict saved_text(int player, const key_codes &codes, std::string &before,
                        std::string &after) {
  file_verdict verdict = read_current(before);
  if (verdict.problem == file_ok) verdict = trial_save(before, player, codes, after);
  if (verdict.problem == trial_save_failed && verdict.system_error == EFBIG)
    return {save_over_size_limit};
  if (verdict.problem != file_ok) return verdict;
  // The library's writer checks nothing: a text cut at the limit must not pass for the save.
  if (after.size() >= file_size_limit()) return {save_over_size_limit};
  if (after.size() > binding_file_size_cap) return {save_too_large};
  return check_bytes(after);
}

}  // namespace

file_verdict open_binding_store() {
  if (in_temporary_folder()) return {directory_temporary};
  if (const file_verdict here = check_current_directory(); here.problem != file_ok) return here;
  const file_verdict locked = lock_current_directory();
  if (locked.problem != file_ok) return locked;
  link_at_start = link_target(binding_file_name);
  std::string bytes;
  return read_current(bytes);
}

file_verdict check_before_capture(int player) {
  const std::lock_guard<std::mutex> lock(library_config);
  if (const file_verdict here = check_current_directory(); here.problem != file_ok) return here;
  // Where the keys land depends on which keys exist, not on their values; the widest values
  // give the most room the save can need.
  const key_codes widest = {100, 100, 100, 100, 100, 100, 100};
  std::string bytes;
  std::string saved;
  const file_verdict judged = saved_text(player, widest, bytes, saved);
  if (judged.problem != file_ok) return judged;
  return room_for(binding_file_name, saved.size()) ? file_verdict{}
                                                   : file_verdict{save_no_room, 0, 0, ENOSPC};
}

file_verdict save_keys(int player, const key_codes &codes) {
  const std::lock_guard<std::mutex> lock(library_config);
  std::string before;
  std::string after;
  const file_verdict verdict = saved_text(player, codes, before, after);
  // Nothing set, nothing written: the library rewrites every line it saves.
  if (verdict.problem != file_ok || after == before) return verdict;
  return rewrite_file(binding_file_name, before, after, !link_at_start.empty());
}
