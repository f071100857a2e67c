// The menu screen, redrawn whole on every pass of the main loop.
#pragma once

// Waits for the retrace, clears the screen and draws the title, heading and three choices.
void draw_menu();
