// What the Windows terminal layer decides on its own, exposed for its tests.
#ifndef VELDOR_TERMINAL_WIN32_H_
#define VELDOR_TERMINAL_WIN32_H_

/// True when the program is to wait for a key before it ends: it is the
/// only process of its console (|processes| is 1, as when it was started
/// with a double click), standard input and output are both that console,
/// and the console has a window on the screen.  Anywhere else a wait would
/// hang a script, a scheduled task or the program that started it.
bool waits_for_key(unsigned long processes, bool input_is_console,
                   bool output_is_console, bool window_visible);

/// Shows the prompt to close the window and waits for a key pressed after
/// it: keys pressed during the run are discarded first.
void wait_for_key();

#endif  // VELDOR_TERMINAL_WIN32_H_
