#pragma once
// What a key pressed in the main window means, before any control sees it:
// function keys send user packets 1..48 (none, Ctrl, Shift, Ctrl+Shift),
// Alt+letter works the toolbar, Page Up/Down and the Up/Down arrows scroll the
// display, Alt+F4 closes the window. Deciding this is kept apart from acting
// on it so that the table can be checked without a window.

#include <Qt>

namespace tapwise {

struct MainKeyCommand {
  enum Kind {
    None,         // not a key of the window: it goes on to the focused control
    Close,
    UserPacket,   // Packet holds 1..48
    Swallow,      // consumed and nothing else (a function key with Alt, say)
    Freeze,
    Clear,
    Play,
    Record,
    Stop,
    Pause,
    UserPacketsWindow,
    Options,
    About,
    FilterWindow,
    StatisticsWindow,
    PageDown,
    PageUp,
    LineDown,
    LineUp,
  };
  Kind Action = None;
  int Packet = 0;
  // Alt was held: the recorder buttons are looked at again afterwards,
  // whether or not the letter meant anything.
  bool AltKey = false;
  bool Consumed() const { return Action != None; }
};

MainKeyCommand DecodeMainKey(int key, Qt::KeyboardModifiers modifiers);

}  // namespace tapwise
