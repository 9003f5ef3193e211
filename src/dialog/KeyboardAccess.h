#pragma once
// The dialog's keys beyond each control's own: Ctrl+Z (Undo), Ctrl+Shift+Z and Ctrl+Y (Redo) and
// Ctrl+S (Save) anywhere in the dialog, each a press of its button, so that they do nothing while
// it is disabled and every rule of the button holds; Space in the strip presses the player's play
// button; Page Up and Page Down on the seek bar go to the previous and next scene of the movie.

namespace brevio {

class CBaseWindow;

// Wires the keys to the content window's panes, once both exist.
void InstallKeyboardAccess(CBaseWindow& content);

}  // namespace brevio
