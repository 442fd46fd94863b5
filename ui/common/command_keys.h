// A text box takes some control keys for itself before a window's shortcuts see them
// (Ctrl+E moves to the end of the line, Ctrl+D deletes a character): within a window whose
// buttons carry such chords, the buttons win, so every command key works from every box. A
// key without Ctrl, Alt or Meta (Delete) stays the box's.
#pragma once

class QWidget;

namespace ui {

// Lets the shortcuts of window's buttons through every text box it holds; called once the
// window has its boxes.
void LetCommandKeysThrough(QWidget* window);

}  // namespace ui
