#pragma once

#include "Form1Panes.h"

class QMainWindow;

// Where the main window puts its panes. At the design's size the window shows the wait frame and
// the status bar, every other pane below or to the right of them; the file manager shows them all.
// Both add the design's decorations (Line1, Line2) and the hidden box TXTUFT8.
namespace Form1Layout {
void arrangeDesign(QMainWindow& window, const Form1Panes& panes);
void arrangeManager(QMainWindow& window, const Form1Panes& panes);
// As the panes read: the connection frame top to bottom, the remote pane, the local pane, and the
// response log last (it is only read).
void arrangeTabOrder(QWidget& window, const Form1Panes& panes);
} // namespace Form1Layout
