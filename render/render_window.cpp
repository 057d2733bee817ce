#include "render/render_window.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

#include "render/render_qt.h"
#include "render/render_state.h"

namespace qvtk {
namespace {

int ButtonMask(Qt::MouseButtons buttons) {
    int mask = 0;
    if (buttons & Qt::LeftButton) mask |= kMouseLeft;
    if (buttons & Qt::RightButton) mask |= kMouseRight;
    if (buttons & Qt::MiddleButton) mask |= kMouseMiddle;
    if (buttons & Qt::BackButton) mask |= kMouseBack;
    if (buttons & Qt::ForwardButton) mask |= kMouseForward;
    return mask;
}

// The typed character of a key, 0 for keys that type none.
int CharOfKey(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Right:
        return kCharRight;
    case Qt::Key_Left:
        return kCharLeft;
    case Qt::Key_Up:
        return kCharUp;
    case Qt::Key_Down:
        return kCharDown;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kCharTab;
    case Qt::Key_Escape:
        return kCharEsc;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    default:
        break;
    }
    QString text = event->text();
    if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() < 127)
        return text[0].unicode();
    return 0;
}

// Shift and Ctrl as the keyboard stands: a modifier released while another program had the
// keyboard must not stay held here.
void TakeModifiers(Qt::KeyboardModifiers modifiers) {
    RenderSetKeyHeld(RenderKey::Shift, modifiers & Qt::ShiftModifier);
    RenderSetKeyHeld(RenderKey::Ctrl, modifiers & Qt::ControlModifier);
}

void SetHeld(const QKeyEvent* event, bool held) {
    switch (event->key()) {
    case Qt::Key_F1:
        RenderSetKeyHeld(RenderKey::F1, held);
        break;
    case Qt::Key_Shift:
        RenderSetKeyHeld(RenderKey::Shift, held);
        break;
    case Qt::Key_Control:
        RenderSetKeyHeld(RenderKey::Ctrl, held);
        break;
    default:
        TakeModifiers(event->modifiers());
        break;
    }
}

} // namespace

RenderWindow::RenderWindow() {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

double RenderWindow::PixelRatio() const {
    return devicePixelRatioF();
}

void RenderWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QImage& front = g_render.front;
    QRect shown;
    if (!front.isNull()) {
        painter.drawImage(QPointF(0, 0), front);
        shown = QRect(QPoint(0, 0), front.deviceIndependentSize().toSize());
    }
    // Beyond the back buffer the client area is black.
    QRegion rest = QRegion(event->rect()).subtracted(shown);
    for (const QRect& r : rest) painter.fillRect(r, Qt::black);
}

void RenderWindow::closeEvent(QCloseEvent* event) {
    g_render.windowClosed = true;
    if (g_render.waitLoop) g_render.waitLoop->quit();
    event->accept();
}

void RenderWindow::keyPressEvent(QKeyEvent* event) {
    SetHeld(event, true);
    if (int c = CharOfKey(event)) RenderPushChar(c);
    event->accept();
}

void RenderWindow::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) SetHeld(event, false);
    event->accept();
}

void RenderWindow::TakeMouse(QMouseEvent* event) {
    TakeModifiers(event->modifiers());
    double ratio = PixelRatio();
    QPointF p = event->position() * ratio;
    RenderSetMouse(int(std::floor(p.x())), int(std::floor(p.y())), ButtonMask(event->buttons()));
    event->accept();
}

void RenderWindow::mousePressEvent(QMouseEvent* event) {
    TakeMouse(event);
}
void RenderWindow::mouseReleaseEvent(QMouseEvent* event) {
    TakeMouse(event);
}
void RenderWindow::mouseMoveEvent(QMouseEvent* event) {
    TakeMouse(event);
}

void RenderWindow::wheelEvent(QWheelEvent* event) {
    QPoint delta = event->angleDelta();
    RenderAddWheel(delta.y(), delta.x());
    event->accept();
}

// F1 released elsewhere would otherwise stay held. Shift and Ctrl stay as they are while the
// toolbar has the focus (Shift+click on a toolbar button); the next key or mouse event over
// the window brings them up to date.
void RenderWindow::focusOutEvent(QFocusEvent* event) {
    RenderSetKeyHeld(RenderKey::F1, false);
    QWidget::focusOutEvent(event);
}

// Tab is a command key of the viewer, not a focus move.
bool RenderWindow::focusNextPrevChild(bool) {
    return false;
}

} // namespace qvtk
