#pragma once
// What the rendering layer shares with the Qt side of the program: the main window as the
// owner of dialogs, the pixels of targets (tests read them), and input as Qt delivers it
// (the window feeds these; tests may too).
#include <QImage>
#include <QWidget>

#include "render/render.h"

namespace qvtk {

QWidget* RenderMainWindow();              // nullptr before RenderOpen
const QImage* RenderTargetImage(RenderHandle target); // kBackBuffer or a surface/image

// Input as the window receives it.
void RenderPushChar(int character);
void RenderSetMouse(int x, int y, int buttons);
void RenderAddWheel(int vertical, int horizontal);
void RenderSetKeyHeld(RenderKey key, bool held);

} // namespace qvtk
