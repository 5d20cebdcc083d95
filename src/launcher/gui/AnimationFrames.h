#pragma once

#include <QPixmap>

// The pictures of the main window, drawn rather than stored. Sizes are in device-independent pixels;
// the pixmaps are drawn for WindowControls::drawingRatio().
namespace AnimationFrames {
// Frame `index` (0..3) of the connection animation: a plug moving towards its socket.
QPixmap frame(int index, int size = 32);
// The wait frame's large picture.
QPixmap banner(int width, int height);
} // namespace AnimationFrames
