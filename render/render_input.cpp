// Input as the window delivers it (tests may feed it too): typed characters, mouse, wheel and
// held keys.
#include "render/render_qt.h"
#include "render/render_state.h"

namespace qvtk {

void RenderResetInput() {
    g_render.charHead = g_render.charCount = 0;
    g_render.mouseX = g_render.mouseY = g_render.mouseButtons = 0;
    g_render.wheelVertical = g_render.wheelHorizontal = 0;
    for (bool& held : g_render.keyHeld) held = false;
}

// A full queue drops the newest characters, as a keyboard buffer does.
void RenderPushChar(int character) {
    if (character <= 0 || character > 255 || g_render.charCount == kRenderCharQueueSize) return;
    int tail = (g_render.charHead + g_render.charCount) % kRenderCharQueueSize;
    g_render.chars[tail] = uint8_t(character);
    ++g_render.charCount;
}

int RenderInputChar() {
    if (g_render.charCount == 0) return 0;
    int c = g_render.chars[g_render.charHead];
    g_render.charHead = (g_render.charHead + 1) % kRenderCharQueueSize;
    --g_render.charCount;
    return c;
}

void RenderClearInput() {
    g_render.charHead = g_render.charCount = 0;
}

void RenderSetMouse(int x, int y, int buttons) {
    g_render.mouseX = x;
    g_render.mouseY = y;
    g_render.mouseButtons = buttons;
}

void RenderMousePos(int& x, int& y) {
    x = g_render.mouseX;
    y = g_render.mouseY;
}

int RenderMouseButtons() {
    return g_render.mouseButtons;
}

void RenderAddWheel(int vertical, int horizontal) {
    g_render.wheelVertical += vertical;
    g_render.wheelHorizontal += horizontal;
}

void RenderWheel(int& vertical, int& horizontal) {
    vertical = std::exchange(g_render.wheelVertical, 0);
    horizontal = std::exchange(g_render.wheelHorizontal, 0);
}

void RenderSetKeyHeld(RenderKey key, bool held) {
    int index = int(key);
    if (index >= 0 && index < int(std::size(g_render.keyHeld))) g_render.keyHeld[index] = held;
}

bool RenderKeyHeld(RenderKey key) {
    int index = int(key);
    return index >= 0 && index < int(std::size(g_render.keyHeld)) && g_render.keyHeld[index];
}

} // namespace qvtk
