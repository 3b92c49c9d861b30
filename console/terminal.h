// The terminal the console runs on, as a serial console has it: a line that
// reports no window size, a TERM that names another terminal than the
// emulator in use, and noise that garbles the screen.
#pragma once

// Before initscr. When the line reports 0 rows or 0 columns, or a size a
// console set there (marked in the pixel fields), ask the terminal for its
// size (cursor to the far corner, position report, at most half a second)
// and set the answer on the line, so ncurses and every program started later
// see it. Bytes typed meanwhile are kept for terminal_getch.
void terminal_query_size();

// After initscr and keypad: log where the size came from and teach ncurses
// the F6, F10, arrow, Enter, Backspace and Delete sequences of xterm, VT220,
// the Linux console and VT100 that terminfo does not bind to a key already.
void terminal_define_keys();

// After keypad(): the numeric keypad back to sending digits under every
// TERM, and bracketed paste on. Ctrl-L sends the same again.
void terminal_modes_on();
// Before endwin: bracketed paste off, for the programs that follow.
void terminal_modes_off();

// The key loop's read: bytes kept by a size query first, decoded as keys,
// then wgetch on the standard screen. Keypad Enter comes back as '\n' and
// Ctrl-H as KEY_BACKSPACE, as the pages know them. An escape sequence no key
// is bound to (a mouse report, the Linux console's F1-F5 under another TERM)
// is read whole and dropped (logged); a cursor position report is never a
// key: a late answer to a size request gives KEY_RESIZE. A paste is text:
// inside a bracketed paste only printable bytes come back, and an Enter, Tab
// or Shift-Tab that comes within a few ms of the byte before it is dropped.
int terminal_getch();

// Forget every key typed ahead: the operator typed them for a screen that
// has changed since.
void terminal_flush_input();

// Ctrl-L: repaint the whole screen. On a line that reported no size the
// terminal is asked again first; a new size is taken with resize_term and
// the result is KEY_RESIZE, to be handled like a resize of the window.
// Otherwise the next update repaints everything and the result is ERR.
int terminal_refresh();

inline constexpr int kKeyRepaint = 'L' & 0x1f;  // Ctrl-L
