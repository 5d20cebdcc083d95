#pragma once

#include <QPixmap>

// The pictures of the main window, drawn rather than stored.
namespace AnimationFrames {
// Frame `index` (0..3) of the connection animation: a plug moving towards its socket.
QPixmap frame(int index, int size = 32);
// The wait frame's large picture.
QPixmap banner(int width, int height);
} // namespace AnimationFrames
