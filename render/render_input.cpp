// Input as the window delivers it (tests may feed it too): typed characters, mouse, wheel and
// held keys. Presses and releases are also queued in order, and any input ends a running
// RenderWaitForInput.
#include <QEventLoop>

#include "render/render_qt.h"
#include "render/render_state.h"

namespace qvtk {

namespace {

void NoteInput() {
    g_render.inputArrived = true;
    if (g_render.inputWaitLoop) g_render.inputWaitLoop->quit();
}

int KeyMask() {
    int mask = 0;
    for (int i = 0; i < int(std::size(g_render.keyHeld)); ++i)
        if (g_render.keyHeld[i]) mask |= 1 << i;
    return mask;
}

// A full queue drops the change; the live state is still right, and the reader takes it
// once the queue has run empty.
void QueueChange() {
    if (g_render.eventCount == kRenderEventQueueSize) return;
    int tail = (g_render.eventHead + g_render.eventCount) % kRenderEventQueueSize;
    g_render.events[tail] = {g_render.mouseX, g_render.mouseY, g_render.mouseButtons, KeyMask()};
    ++g_render.eventCount;
}

} // namespace

void RenderResetInput() {
    g_render.charHead = g_render.charCount = 0;
    g_render.mouseX = g_render.mouseY = g_render.mouseButtons = 0;
    g_render.wheelVertical = g_render.wheelHorizontal = 0;
    for (bool& held : g_render.keyHeld) held = false;
    g_render.eventHead = g_render.eventCount = 0;
    g_render.inputArrived = false;
}

// A full queue drops the newest characters, as a keyboard buffer does.
void RenderPushChar(int character) {
    if (character <= 0 || character > 255 || g_render.charCount == kRenderCharQueueSize) return;
    int tail = (g_render.charHead + g_render.charCount) % kRenderCharQueueSize;
    g_render.chars[tail] = uint8_t(character);
    ++g_render.charCount;
    NoteInput();
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
    const bool moved = x != g_render.mouseX || y != g_render.mouseY;
    const bool changed = buttons != g_render.mouseButtons;
    g_render.mouseX = x;
    g_render.mouseY = y;
    g_render.mouseButtons = buttons;
    if (changed) QueueChange();
    if (moved || changed) NoteInput();
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
    if (vertical || horizontal) NoteInput();
}

void RenderWheel(int& vertical, int& horizontal) {
    vertical = std::exchange(g_render.wheelVertical, 0);
    horizontal = std::exchange(g_render.wheelHorizontal, 0);
}

void RenderSetKeyHeld(RenderKey key, bool held) {
    int index = int(key);
    if (index < 0 || index >= int(std::size(g_render.keyHeld))) return;
    if (g_render.keyHeld[index] == held) return;
    g_render.keyHeld[index] = held;
    QueueChange();
    NoteInput();
}

bool RenderKeyHeld(RenderKey key) {
    int index = int(key);
    return index >= 0 && index < int(std::size(g_render.keyHeld)) && g_render.keyHeld[index];
}

int RenderHeldKeys() {
    return KeyMask();
}

bool RenderPeekInputEvent(RenderInputEvent& event) {
    if (g_render.eventCount == 0) return false;
    event = g_render.events[g_render.eventHead];
    return true;
}

void RenderPopInputEvent() {
    if (g_render.eventCount == 0) return;
    g_render.eventHead = (g_render.eventHead + 1) % kRenderEventQueueSize;
    --g_render.eventCount;
}

} // namespace qvtk
