// The system on Windows. A GUI program gets no signals: the end of the session reaches it as
// window messages, through the library's hook on its window. Files: a named mutex keyed by the
// directory's identity, scratch files in the user's temporary folder for the trial saves, and the
// in-place write's primitives, room reserved through the file's allocation size.
#include <allegro.h>
#include <io.h>
#include <winalleg.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/platform.h"
#include "app/stop_request.h"
#include "bindings/binding_file.h"
#include "storage/in_place_write.h"

namespace {

// On the library's window thread, before its own handling, which a result of 0 skips. Logoff or
// shutdown ends the process once WM_ENDSESSION is answered: the main loop gets that long to save
// the keys taken.
int on_window_message(HWND /*window*/, UINT message, WPARAM ending, LPARAM /*detail*/,
                      int *answer) {
  if (message == WM_QUERYENDSESSION) {
    request_stop();
    *answer = TRUE;
    return 0;
  }
  if (message == WM_ENDSESSION && ending != 0) {
    request_stop();
    Sleep(3000);
    *answer = 0;
    return 0;
  }
  return 1;
}

// The errno the messages know for the system's last error.
int last_errno() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

file_verdict system_problem(file_problem problem) {
  return {problem, 0, 0, last_errno()};
}

HANDLE handle_of(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A file handle as a C runtime descriptor, which the in-place write takes; -1 on failure.
int descriptor_of(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE) return -1;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
  if (fd < 0) CloseHandle(file);
  return fd;
}

}  // namespace

std::string display_description() {
  return "el escritorio de Windows";
}

std::string message_box_text(const std::string &line) {
  return line;
}

// The end of the session closes the box with the program.
void show_message_box(const std::string &line) {
  allegro_message("%s\n", message_box_text(line).c_str());
}

// The primary screen, which Windows gives a program that is not DPI-aware in its own units.
void smallest_monitor(int &width, int &height) {
  get_desktop_resolution(&width, &height);
}

void install_stop_requests() {
  win_set_msg_pre_proc(on_window_message);
}

void block_stop_requests() {}

void watch_display_loss(void (* /*on_loss*/)()) {}

// DirectInput reports a held key once.
void repeat_held_keys_as_presses() {}

file_verdict check_current_directory() {
  // Windows removes no directory a process works in.
  return GetFileAttributesA(".") != INVALID_FILE_ATTRIBUTES ? file_verdict{}
                                                            : system_problem(directory_gone);
}

file_verdict lock_current_directory() {
  // The directory's volume serial number and file ID name it whatever path reached it (case,
  // short names, junctions); a mutex name holds no backslash but the namespace's.
  const HANDLE directory =
      CreateFileA(".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION identity{};
  if (directory == INVALID_HANDLE_VALUE) return system_problem(directory_gone);
  const bool known = GetFileInformationByHandle(directory, &identity) != 0;
  CloseHandle(directory);
  if (!known) return system_problem(directory_not_lockable);
  char name[96];
  std::snprintf(name, sizeof name, "Local\\brumo-setup-%08lx-%08lx-%08lx",
                identity.dwVolumeSerialNumber, identity.nFileIndexHigh, identity.nFileIndexLow);
  // Held until the process ends, which releases it.
  if (CreateMutexA(nullptr, TRUE, name) == nullptr) return system_problem(directory_not_lockable);
  return GetLastError() == ERROR_ALREADY_EXISTS ? file_verdict{directory_in_use} : file_verdict{};
}

std::string link_target(const char *path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return {};
  const HANDLE file =
      CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  char target[MAX_PATH * 2] = "?";  // a link to nothing still is a link
  if (file != INVALID_HANDLE_VALUE) {
    GetFinalPathNameByHandleA(file, target, sizeof target, 0);
    CloseHandle(file);
  }
  return target;
}

file_verdict read_file(const char *path, std::string &bytes) {
  bytes.clear();
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return {file_not_regular, 0, 0040000};  // S_IFDIR
  const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && attributes == INVALID_FILE_ATTRIBUTES) {
    // The library creates the file when it first saves it: try, and leave nothing behind.
    const HANDLE trial = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (trial == INVALID_HANDLE_VALUE) return system_problem(directory_not_writable);
    CloseHandle(trial);
    return {};
  }
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
    return {file_dangling_link};
  if (file == INVALID_HANDLE_VALUE)
    return system_problem(GetLastError() == ERROR_ACCESS_DENIED ? file_not_writable
                                                                : file_unreadable);
  const int fd = descriptor_of(file);  // which owns the handle from here
  if (fd < 0) return system_problem(file_unreadable);
  file_verdict verdict;
  LARGE_INTEGER size{};
  if (const int type = file_type(fd); type != regular_file) {
    verdict = {file_not_regular, 0, type};
  } else if (!GetFileSizeEx(file, &size)) {
    verdict = system_problem(file_unreadable);
  } else if (static_cast<std::size_t>(size.QuadPart) > binding_file_size_cap) {
    verdict = {file_too_large};
  } else if (const int error = read_from_start(fd, binding_file_size_cap, bytes)) {
    verdict = {file_unreadable, 0, 0, error};
  }
  _close(fd);
  return verdict;
}

int make_scratch_file(std::string_view text, std::string &path, int &handle) {
  // The library saves only to named files: one in the user's temporary folder, unique to this
  // copy of the program, removed by take_scratch_file.
  char folder[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  handle = -1;
  if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "brs", 0, name) == 0)
    return last_errno();
  path = name;
  const int fd =
      descriptor_of(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
  const write_outcome put =
      fd < 0 ? write_outcome{last_errno()} : write_in_place(fd, "", text, system_write_at);
  if (fd >= 0) _close(fd);
  if (put.error != 0) DeleteFileA(name);
  return put.error;
}

int take_scratch_file(const std::string &path, int /*handle*/, std::string &bytes) {
  const int fd =
      descriptor_of(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const int error =
      fd < 0 ? last_errno() : read_from_start(fd, static_cast<std::size_t>(-1) - 1, bytes);
  if (fd >= 0) _close(fd);
  DeleteFileA(path.c_str());
  return error;
}

bool in_temporary_folder() {
  char temporary[MAX_PATH + 1];
  char here[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof temporary, temporary);
  if (length == 0 || GetCurrentDirectoryA(sizeof here, here) == 0) return false;
  // GetTempPath ends in a backslash; the current directory does not.
  return _strnicmp(here, temporary, length - 1) == 0 &&
         (here[length - 1] == '\0' || here[length - 1] == '\\');
}

ssize_t system_write_at(int fd, const void *bytes, std::size_t size, off_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  DWORD wrote = 0;
  if (WriteFile(handle_of(fd), bytes, static_cast<DWORD>(size), &wrote, &at)) return wrote;
  errno = last_errno();
  return -1;
}

bool room_for(const char *path, std::size_t size) {
  ULARGE_INTEGER available{};
  WIN32_FILE_ATTRIBUTE_DATA held{};
  if (!GetDiskFreeSpaceExA(".", &available, nullptr, nullptr)) return true;
  const std::size_t now =
      GetFileAttributesExA(path, GetFileExInfoStandard, &held) ? held.nFileSizeLow : 0;
  return size <= now || size - now <= available.QuadPart;
}

std::size_t file_size_limit() {
  return static_cast<std::size_t>(-1);  // Windows has none
}

int open_in_place(const char *path, bool follow_link) {
  const bool exists = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  const int fd = descriptor_of(CreateFileA(
      path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
      exists ? OPEN_EXISTING : CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | (follow_link ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr));
  if (fd < 0) errno = last_errno();
  return fd;
}

int file_type(int fd) {
  return GetFileType(handle_of(fd)) == FILE_TYPE_DISK ? regular_file : 0020000;  // S_IFCHR
}

int reserve_room(int fd, std::size_t size) {
  FILE_ALLOCATION_INFO room{};
  room.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
  if (SetFileInformationByHandle(handle_of(fd), FileAllocationInfo, &room, sizeof room)) return 0;
  return last_errno() == ENOSPC ? ENOSPC : 0;
}

ssize_t system_read_at(int fd, void *bytes, std::size_t size, off_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  DWORD got = 0;
  if (ReadFile(handle_of(fd), bytes, static_cast<DWORD>(size), &got, &at)) return got;
  if (GetLastError() == ERROR_HANDLE_EOF) return 0;
  errno = last_errno();
  return -1;
}

int cut_and_flush(int fd, std::size_t size) {
  const HANDLE file = handle_of(fd);
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
                 FlushFileBuffers(file)
             ? 0
             : last_errno();
}

void close_file(int fd) {
  _close(fd);
}
