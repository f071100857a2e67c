// The program's screens are 320x240: both are drawn into a picture of that size and shown
// magnified by a whole factor, every pixel a k x k block, so that the window stays legible on
// today's large desktops.
#pragma once

#include <allegro.h>

// The largest whole k >= 1 with a 320k x 240k window at most half of a width x height monitor
// each way: 640x480 to 1366x768 give 1, 1920x1080 gives 2, 3840x2160 gives 4.
int screen_factor(int width, int height);

// Opens the screen: a 320k x 240k window for the smallest monitor's factor, else a 320x240
// window, else the full screen at 320x240; then the picture. False when nothing opened, with the
// library's reason in allegro_error.
bool open_screen();

// What both screens draw into, a memory bitmap: the library stretches it in software, pixel for
// pixel (a video bitmap's stretch may be the hardware's, which may smooth).
extern BITMAP *picture;

// Puts the whole picture on the screen, magnified; called after each change, never per frame.
void show_picture();
