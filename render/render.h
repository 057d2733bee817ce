#pragma once
// The rendering layer: one window with a 32-bit back buffer, off-screen surfaces, images,
// fonts, vertex lists, mouse, typed characters and a clock. The viewer draws every frame
// through these calls and never touches Qt for drawing itself.
//
// Handles are signed 32-bit; -1 means failure. Surfaces and images share one handle space
// (a surface can be drawn like an image); fonts have their own. Coordinates are client pixels,
// origin top-left. Colours are 0xAARRGGBB.
#include <cstdint>
#include <string>

namespace qvtk {

using RenderHandle = int32_t;
using RenderColorValue = uint32_t;

// The drawing target that is shown by RenderPresent.
constexpr RenderHandle kBackBuffer = 0;

enum class BlendMode {
    None,        // source replaces destination
    Alpha,       // source over destination at the blend alpha (and the source's own alpha)
    Additive,    // destination + source x alpha, saturated
    Subtractive, // destination - source x alpha, floored at 0
    Translucent, // destination + source x alpha - destination x alpha (a lighter veil)
};

enum class PrimitiveKind { LineStrip, LineList, TriangleList };

// One pre-transformed vertex: position in pixels, colour with its own alpha, texture
// coordinates (unused without a texture).
struct RenderVertex {
    float x = 0, y = 0, z = 0, rhw = 1.0f;
    uint32_t color = 0xFF000000u;
    float u = 0, v = 0;
};

// A vertical run of pixels in one colour: column x, rows top to bottom, both included. The
// curves of a dense recording are made of them; a line list of vertical segments with these
// end points draws the same pixels.
struct RenderSpan {
    int x = 0, top = 0, bottom = 0;
    uint32_t color = 0xFF000000u;
};

struct RenderOpenParams {
    std::string title;
    int iconId = 0;
    int surfaceWidth = 0, surfaceHeight = 0;      // the back buffer
    int x = 0, y = 0, width = 1024, height = 768; // the window
    bool windowed = true;
    bool waitVerticalBlank = false;
    int deviceMode = 0; // 0 first attempt, 1 the fallback
};

// Typed characters for keys that have none of their own.
constexpr int kCharTab = 9;
constexpr int kCharEsc = 27;
constexpr int kCharRight = 28;
constexpr int kCharLeft = 29;
constexpr int kCharUp = 30;
constexpr int kCharDown = 31;

// Mouse button mask.
constexpr int kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 4, kMouseBack = 8, kMouseForward = 16;

enum class RenderKey { F1, Shift, Ctrl };

// Window and device.
int RenderOpen(const RenderOpenParams& params);
void RenderClose();
bool RenderIsOpen();
int RenderPumpMessages();  // non-zero when the window or device was lost
bool RenderWindowClosed(); // the user closed the main window
void RenderPresent();
void RenderClientSize(int& width, int& height);
void RenderDesktopSize(int& width, int& height);
void RenderShowWindow(bool maximized);
bool RenderIsMaximized();
bool RenderIsForeground();
// The window's normal (not maximised) position and size, for the settings.
void RenderNormalPlacement(int& x, int& y, int& width, int& height);
void RenderResizeBackBuffer(int width, int height);
void RenderSetRestoreCallback(void (*callback)()); // device restored / screen changed
// Suspend (1) and resume (3) as the platform reports them.
void RenderSetPowerCallback(void (*callback)(int state));

// Targets, blending, clipping.
void RenderSetTarget(RenderHandle target);
void RenderSetBlend(BlendMode mode, int alpha);
void RenderClip(int left, int top, int right, int bottom);
void RenderClipReset();

// Surfaces and images.
RenderHandle RenderCreateSurface(int width, int height, bool withAlpha);
RenderHandle RenderLoadImage(const std::string& fileName);
void RenderFreeImage(RenderHandle handle);
void RenderClearTarget(RenderColorValue color);
// Draws at (x, y); width/height <= 0 keep the image's own size. With `transparent` the
// surface's alpha is used, and in images loaded from BMP pure black is the transparent colour.
void RenderImage(RenderHandle handle, float x, float y, float width = 0, float height = 0,
                 bool transparent = false);

// The image turned by `radians` (clockwise) and scaled about its pixel (pivotX, pivotY), which
// lands on (x, y); its transparent parts (pure black of a BMP, or alpha) are left out.
void RenderImageTurned(RenderHandle handle, float x, float y, float pivotX, float pivotY,
                       float radians, float scale = 1.0f);

// Shapes and vertex lists.
void RenderLine(float x1, float y1, float x2, float y2, RenderColorValue color,
                float thickness = 1.0f);
void RenderBox(float left, float top, float right, float bottom, RenderColorValue color,
               bool filled, float thickness = 1.0f);
void RenderCircle(float cx, float cy, float radius, RenderColorValue color, bool filled,
                  float thickness = 1.0f);
void RenderPrimitives(const RenderVertex* vertices, int count, PrimitiveKind kind,
                      RenderHandle texture = -1);
void RenderSpans(const RenderSpan* spans, int count);

// Fonts and text (UTF-8; printf-style).
RenderHandle RenderCreateFont(const std::string& face, int size, int weight);
void RenderText(float x, float y, RenderColorValue color, RenderHandle font, const char* format,
                ...) __attribute__((format(printf, 5, 6)));
int RenderTextWidth(RenderHandle font, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// The installed family the face name resolved to (for tests and the debug line).
std::string RenderFontFamily(RenderHandle font);

constexpr RenderColorValue RenderColor(int red, int green, int blue) {
    auto c = [](int v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    return 0xFF000000u | c(red) << 16 | c(green) << 8 | c(blue);
}

// Input.
void RenderMousePos(int& x, int& y);
int RenderMouseButtons();
void RenderWheel(int& vertical, int& horizontal); // raw deltas since the last call
int RenderInputChar();                            // next typed character, 0 when none
void RenderClearInput();
bool RenderKeyHeld(RenderKey key);

// Every press and release of a mouse button or a held key, queued in the order it happened,
// so that a click shorter than a pass of the main loop is still seen.
struct RenderInputEvent {
    int x = 0, y = 0; // the pointer at the change
    int buttons = 0;  // the button mask after it
    int keys = 0;     // the held keys after it, bit 1 << RenderKey
};
bool RenderPeekInputEvent(RenderInputEvent& event); // the oldest queued change, false when none
void RenderPopInputEvent();
int RenderHeldKeys(); // as the keyboard stands now, bit 1 << RenderKey

// Clock.
int64_t RenderNowMs();
void RenderWait(int milliseconds); // keeps pumping; returns early when the window closes
// As RenderWait, and returns as soon as any input (key, character, button, pointer move, wheel)
// arrives.
void RenderWaitForInput(int milliseconds);

bool RenderSaveBmp(int left, int top, int right, int bottom, const std::string& fileName);

// ---- Added by the rendering layer ----
// Notes on the calls above: RenderSetTarget resets the clip to the whole new target.
// RenderText puts the top-left corner of the text at (x, y). Shapes and vertex lists use the
// colour's own alpha times the blend alpha. Translucent is, as its formula says, the arithmetic
// of Alpha. RenderPrimitives ignores the texture for now; RenderOpen ignores iconId
// and deviceMode. With waitVerticalBlank, RenderPresent returns at the next 60 Hz tick.

// Only the back buffer, no window (tests, off-screen rendering): 0 or -1. Drawing works as
// with a window; no input arrives and RenderPresent does nothing.
int RenderOpenOffscreen(int width, int height);
// RenderClose, and forgets the callbacks, the closed flag and the input as well.
void RenderReset();
RenderHandle RenderCurrentTarget();
// The size of a surface or image (or of the back buffer); false for a bad handle.
bool RenderImageSize(RenderHandle handle, int& width, int& height);
void RenderFreeFont(RenderHandle font);
// A block of 0xAARRGGBB pixels (premultiplied; views write alpha 0 or 255) drawn at (x, y) in
// the current blend, its alpha kept: pixels of alpha 0 leave the target as it was. For views
// that put millions of points into a picture of their own.
void RenderPixels(const uint32_t* argb, int width, int height, int stride, float x, float y);
// As RenderSaveBmp, from any target (the course map surface, say).
bool RenderSaveTargetBmp(RenderHandle target, int left, int top, int right, int bottom,
                         const std::string& fileName);

} // namespace qvtk
