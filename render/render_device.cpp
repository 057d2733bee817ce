// The window and device part of the layer: open, close, pump, present, wait, placement,
// callbacks and the clock.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/render_qt.h"
#include "render/render_state.h"
#include "render/render_window.h"

namespace qvtk {

RenderState& g_render = *new RenderState;

namespace {

bool CreateBackBuffer(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return false;
    image.fill(0xFF000000u);
    g_render.targets.resize(1);
    g_render.targets[kBackBuffer] = {std::move(image), true, false};
    return true;
}

void QueuePower(int state) {
    if (g_render.powerPendingCount < int(std::size(g_render.powerPending)))
        g_render.powerPending[g_render.powerPendingCount++] = state;
}

// Screen and power changes are called back after the events, never from inside a handler.
void DeliverCallbacks() {
    if (g_render.restorePending) {
        g_render.restorePending = false;
        if (g_render.restoreCallback) g_render.restoreCallback();
    }
    int count = std::exchange(g_render.powerPendingCount, 0);
    int states[std::size(g_render.powerPending)];
    std::copy(g_render.powerPending, g_render.powerPending + count, states);
    for (int i = 0; i < count; ++i)
        if (g_render.powerCallback) g_render.powerCallback(states[i]);
}

void WatchScreen(QScreen* screen, RenderWindow* window) {
    QObject::connect(screen, &QScreen::geometryChanged, window,
                     [] { g_render.restorePending = true; });
}

void WatchPlatform(RenderWindow* window) {
    QObject::connect(window->windowHandle(), &QWindow::screenChanged, window,
                     [] { g_render.restorePending = true; });
    for (QScreen* screen : QGuiApplication::screens()) WatchScreen(screen, window);
    auto* app = static_cast<QGuiApplication*>(QCoreApplication::instance());
    QObject::connect(app, &QGuiApplication::screenAdded, window, [window](QScreen* screen) {
        WatchScreen(screen, window);
        g_render.restorePending = true;
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, window,
                     [] { g_render.restorePending = true; });
    QObject::connect(app, &QGuiApplication::applicationStateChanged, window,
                     [](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationSuspended && !g_render.suspended) {
                             g_render.suspended = true;
                             QueuePower(1);
                         } else if (state != Qt::ApplicationSuspended && g_render.suspended) {
                             g_render.suspended = false;
                             QueuePower(3);
                         }
                     });
}

} // namespace

int RenderOpen(const RenderOpenParams& params) {
    RenderClose();
    g_render.windowClosed = false;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return -1;
    int width = params.surfaceWidth > 0 ? params.surfaceWidth : params.width;
    int height = params.surfaceHeight > 0 ? params.surfaceHeight : params.height;
    if (!CreateBackBuffer(width, height)) {
        RenderClose();
        return -1;
    }
    auto* window = new RenderWindow;
    g_render.window = window;
    g_render.open = true;
    window->setWindowTitle(QString::fromStdString(params.title));
    window->move(params.x, params.y);
    window->resize(std::max(1, params.width), std::max(1, params.height));
    if (params.windowed)
        window->show();
    else
        window->showFullScreen();
    if (!window->windowHandle()) {
        RenderClose();
        return -1;
    }
    WatchPlatform(window);
    g_render.waitVerticalBlank = params.waitVerticalBlank;
    // Shown, exposed and active before the first pass, as a window that was just opened is.
    window->activateWindow();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!g_render.window) {
        RenderClose();
        return -1;
    }
    RenderPresent();
    return 0;
}

int RenderOpenOffscreen(int width, int height) {
    RenderClose();
    g_render.windowClosed = false;
    if (!CreateBackBuffer(width, height)) {
        RenderClose();
        return -1;
    }
    g_render.open = true;
    g_render.offscreen = true;
    return 0;
}

void RenderClose() {
    RenderEndPainter();
    if (g_render.scratchPainter.isActive()) g_render.scratchPainter.end();
    if (RenderWindow* window = g_render.window.data()) {
        window->hide();
        delete window;
    }
    g_render.window = nullptr;
    g_render.open = false;
    g_render.offscreen = false;
    g_render.front = QImage();
    g_render.targets.clear();
    g_render.target = kBackBuffer;
    g_render.blend = BlendMode::None;
    g_render.blendAlpha = 255;
    g_render.clipped = false;
    g_render.scratch = QImage();
    RenderReleaseFonts();
    RenderResetInput();
    g_render.restorePending = false;
    g_render.powerPendingCount = 0;
    g_render.suspended = false;
}

void RenderReset() {
    RenderClose();
    g_render.windowClosed = false;
    g_render.restoreCallback = nullptr;
    g_render.powerCallback = nullptr;
    g_render.text.clear();
}

bool RenderIsOpen() {
    return g_render.open;
}

int RenderPumpMessages() {
    if (!g_render.open) return 1;
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    // The window gone without RenderClose: the device is lost and has to be opened again.
    if (!g_render.offscreen && !g_render.window) return 1;
    DeliverCallbacks();
    return 0;
}

bool RenderWindowClosed() {
    return g_render.windowClosed;
}

void RenderPresent() {
    RenderWindow* window = g_render.window.data();
    if (!g_render.open || !window || g_render.targets.empty()) return;
    const QImage& back = g_render.targets[kBackBuffer].image;
    if (g_render.front.size() != back.size()) {
        g_render.front = QImage(back.size(), QImage::Format_RGB32);
        if (g_render.front.isNull()) return;
        g_render.front.fill(0xFF000000u);
    }
    // Only what the client area shows is copied.
    int clientWidth, clientHeight;
    RenderClientSize(clientWidth, clientHeight);
    int width = std::min(clientWidth, back.width()), height = std::min(clientHeight, back.height());
    if (width > 0) {
        for (int y = 0; y < height; ++y)
            std::memcpy(g_render.front.scanLine(y), back.constScanLine(y), size_t(width) * 4);
    }
    g_render.front.setDevicePixelRatio(window->PixelRatio());
    window->update();
    // Qt repaints when it can; waiting for the next refresh tick here keeps a busy main loop
    // at the display's pace instead of drawing frames nobody sees.
    if (g_render.waitVerticalBlank) {
        int64_t since = RenderNowMs() - g_render.lastPresentMs;
        if (since >= 0 && since < 16) RenderWait(int(16 - since));
        g_render.lastPresentMs = RenderNowMs();
    }
}

void RenderClientSize(int& width, int& height) {
    width = height = 0;
    if (RenderWindow* window = g_render.window.data()) {
        double ratio = window->PixelRatio();
        width = int(std::lround(window->width() * ratio));
        height = int(std::lround(window->height() * ratio));
    } else if (g_render.open && !g_render.targets.empty()) {
        width = g_render.targets[kBackBuffer].image.width();
        height = g_render.targets[kBackBuffer].image.height();
    }
}

void RenderDesktopSize(int& width, int& height) {
    width = height = 0;
    QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                          ? QGuiApplication::primaryScreen()
                          : nullptr;
    if (screen) {
        QSize size = screen->virtualSize();
        double ratio = screen->devicePixelRatio();
        width = int(std::lround(size.width() * ratio));
        height = int(std::lround(size.height() * ratio));
    } else if (g_render.open && !g_render.targets.empty()) {
        width = g_render.targets[kBackBuffer].image.width();
        height = g_render.targets[kBackBuffer].image.height();
    }
}

void RenderShowWindow(bool maximized) {
    RenderWindow* window = g_render.window.data();
    if (!window) return;
    if (maximized)
        window->showMaximized();
    else
        window->showNormal();
}

bool RenderIsMaximized() {
    return g_render.window && g_render.window->isMaximized();
}

// The main window or another window of the program (the toolbar, a dialog) has the focus.
bool RenderIsForeground() {
    return g_render.window && (g_render.window->isActiveWindow() || QApplication::activeWindow());
}

void RenderNormalPlacement(int& x, int& y, int& width, int& height) {
    x = y = width = height = 0;
    RenderWindow* window = g_render.window.data();
    if (!window) return;
    bool normal = !(window->isMaximized() || window->isFullScreen() || window->isMinimized());
    QRect client = normal ? window->geometry() : window->normalGeometry();
    // The position is that of the frame, as the window was opened; the size that of the
    // client area.
    QPoint frame = window->geometry().topLeft() - window->frameGeometry().topLeft();
    x = client.x() - frame.x();
    y = client.y() - frame.y();
    width = client.width();
    height = client.height();
}

void RenderResizeBackBuffer(int width, int height) {
    if (!g_render.open || width <= 0 || height <= 0) return;
    QImage& back = g_render.targets[kBackBuffer].image;
    if (back.width() == width && back.height() == height) return;
    if (g_render.painterTarget == kBackBuffer) RenderEndPainter();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return;
    image.fill(0xFF000000u);
    back = std::move(image);
    if (g_render.target == kBackBuffer) g_render.clipped = false;
}

void RenderSetRestoreCallback(void (*callback)()) {
    g_render.restoreCallback = callback;
}

void RenderSetPowerCallback(void (*callback)(int state)) {
    g_render.powerCallback = callback;
}

QWidget* RenderMainWindow() {
    return g_render.window.data();
}

int64_t RenderNowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.elapsed();
}

void RenderWait(int milliseconds) {
    if (g_render.windowClosed) return;
    if (!QCoreApplication::instance()) {
        if (milliseconds > 0) QThread::msleep(milliseconds);
        return;
    }
    if (milliseconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (RenderWindow* window = g_render.window.data())
            QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        QEventLoop* outer = std::exchange(g_render.waitLoop, &loop);
        timer.start(milliseconds);
        loop.exec();
        g_render.waitLoop = outer;
    }
    DeliverCallbacks();
}

void RenderWaitForInput(int milliseconds) {
    if (g_render.windowClosed) return;
    g_render.inputArrived = false;
    // What is already waiting in the system's queue comes in first.
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (g_render.inputArrived || g_render.windowClosed || milliseconds <= 0 ||
        !QCoreApplication::instance()) {
        DeliverCallbacks();
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (RenderWindow* window = g_render.window.data())
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    QEventLoop* outer = std::exchange(g_render.waitLoop, &loop);
    QEventLoop* outerInput = std::exchange(g_render.inputWaitLoop, &loop);
    timer.start(milliseconds);
    loop.exec();
    g_render.waitLoop = outer;
    g_render.inputWaitLoop = outerInput;
    DeliverCallbacks();
}

} // namespace qvtk
