// The calls that differ between systems, each the least the program needs; one file per system
// implements them (platform_posix.cc: signals, X11 and POSIX files; platform_windows.cc).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "storage/verdict.h"

// The display the library was to start on, as a refusal names it ("la pantalla DISPLAY=:0"), or
// "" when the system names none (DISPLAY unset, on X11).
std::string display_description();
// Once the library has opened the display: on its loss, on_loss runs once, on the thread that
// noticed it, and must end the process (with _exit: the library's shutdown would talk to the
// dead display and crash or hang).
void watch_display_loss(void (*on_loss)());
// Once the library has opened the display: a held key repeats as presses alone (X11 sends a
// release and a press, which the library now and then hands over apart: the key binds again).
void repeat_held_keys_as_presses();
// line as the system's message box is to show it: broken into lines of at most 60 columns for
// xmessage, which sizes itself to the text; whole for Windows' box, which wraps it itself.
std::string message_box_text(const std::string &line);
// Shows line in the system's message box until it is closed, or until a stop is requested, which
// closes it too. The library must be in its text mode.
void show_message_box(const std::string &line);
// Once the library is started: the least width and the least height among the monitors, which
// the window must fit on whichever it opens; where the system names none, the desktop's size.
void smallest_monitor(int &width, int &height);
// Requests to end the program from outside the window raise the stop request: SIGINT, SIGTERM
// and SIGHUP on POSIX, the end of the session on Windows. Call after the library is installed,
// which puts its own handlers on some of these signals.
void install_stop_requests();
// From here on requests to end wait unanswered until the process ends: the library's own exit
// puts back the default action of SIGINT and SIGTERM, which would end a program winding down
// with the signal's status.
void block_stop_requests();

// file_ok, or directory_gone when the current directory was removed (on POSIX it can be, with
// the program in it).
file_verdict check_current_directory();
// Held until the process ends: no other copy of the program works in the current directory.
// file_ok, directory_gone, directory_in_use or directory_not_lockable.
file_verdict lock_current_directory();
// Where the current directory is the system's folder for temporary files (an archive opened in
// place), a game cannot be looking for its keys there.
bool in_temporary_folder();
// What path links to, "" when it is no link.
std::string link_target(const char *path);
// The bytes of path, read without ever blocking (on a FIFO put in its place). A missing file
// reads as empty where the directory lets the library create it. Checks the kind of file, the
// cap and the permission to write it; not the bytes.
file_verdict read_file(const char *path, std::string &bytes);
// Whether the disk has room for size bytes in place of what path holds there now.
bool room_for(const char *path, std::size_t size);
// The largest file the process may write (ulimit -f), SIZE_MAX when unlimited.
std::size_t file_size_limit();
// A scratch file holding text, which the library loads and saves by name: its path, and a
// handle for take_scratch_file, which gives what it holds then and removes it, on every path.
// Unique to this copy of the program. 0 or the errno.
int make_scratch_file(std::string_view text, std::string &path, int &handle);
int take_scratch_file(const std::string &path, int handle, std::string &bytes);

// The in-place write's primitives (storage/in_place_write.h) on a C runtime descriptor. Each
// failure leaves its errno in errno or returns it.
// path opened for reading and writing without ever blocking, created when it does not exist;
// through a link only when follow_link. The descriptor, or -1.
int open_in_place(const char *path, bool follow_link);
// st_mode's type bits of the open file, whose values POSIX fixes: regular_file for a file.
constexpr int regular_file = 0100000;
int file_type(int fd);
// Room on the disk for size bytes, reserved without changing the file's length: 0, or the errno
// (ENOSPC). A file system that cannot reserve room gives 0.
int reserve_room(int fd, std::size_t size);
// pread and pwrite: the bytes read or written, or -1.
ssize_t system_read_at(int fd, void *bytes, std::size_t size, off_t offset);
ssize_t system_write_at(int fd, const void *bytes, std::size_t size, off_t offset);
// The file's length set to size and everything flushed to the disk: 0, or the errno.
int cut_and_flush(int fd, std::size_t size);
void close_file(int fd);
