// The window on Qt's offscreen platform, the input state and the clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <tuple>

#include "render/render.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"

namespace qvtk {
namespace {

class RenderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiApp();
        RenderReset();
    }
    void TearDown() override { RenderReset(); }
    static RenderOpenParams Params() {
        RenderOpenParams p;
        p.title = "QVTK test window";
        p.surfaceWidth = 320;
        p.surfaceHeight = 200;
        p.x = 10;
        p.y = 20;
        p.width = 160;
        p.height = 120;
        return p;
    }
};

TEST(RenderNoApplication, OpenFailsWithoutAnApplication) {
    if (QCoreApplication::instance()) GTEST_SKIP() << "another test made the application";
    RenderReset();
    EXPECT_EQ(RenderOpen(RenderOpenParams{}), -1);
    EXPECT_FALSE(RenderIsOpen());
    EXPECT_EQ(RenderMainWindow(), nullptr);
    EXPECT_EQ(RenderCreateFont("Tahoma", 11, 400), -1);
    // The back buffer alone needs no application.
    ASSERT_EQ(RenderOpenOffscreen(8, 8), 0);
    RenderBox(0, 0, 2, 2, RenderColor(255, 0, 0), true);
    EXPECT_EQ(RenderTargetImage(kBackBuffer)->pixel(1, 1), RenderColor(255, 0, 0));
    EXPECT_EQ(RenderPumpMessages(), 0);
    int64_t start = RenderNowMs();
    RenderWait(20);
    EXPECT_GE(RenderNowMs() - start, 15);
    RenderReset();
}

TEST_F(RenderWindowTest, OpenPumpPresentAndClose) {
    ASSERT_EQ(RenderOpen(Params()), 0);
    EXPECT_TRUE(RenderIsOpen());
    QWidget* window = RenderMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "QVTK test window");
    EXPECT_EQ(RenderTargetImage(kBackBuffer)->size(), QSize(320, 200));
    int w = 0, h = 0;
    RenderClientSize(w, h);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    RenderDesktopSize(w, h);
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
    EXPECT_EQ(RenderPumpMessages(), 0);
    EXPECT_FALSE(RenderWindowClosed());

    RenderBox(5, 6, 9, 10, RenderColor(0, 255, 0), true);
    RenderPresent();
    EXPECT_EQ(RenderPumpMessages(), 0);
    QImage shown = window->grab().toImage();
    EXPECT_EQ(shown.pixel(5, 6) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(shown.pixel(4, 6) & 0xFFFFFF, 0u);
    // Drawing after the present is not shown until the next one.
    RenderBox(20, 20, 30, 30, RenderColor(255, 0, 0), true);
    EXPECT_EQ(window->grab().toImage().pixel(25, 25) & 0xFFFFFF, 0u);
    RenderPresent();
    EXPECT_EQ(window->grab().toImage().pixel(25, 25) & 0xFFFFFF, 0xFF0000u);

    int x, y;
    RenderNormalPlacement(x, y, w, h);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    RenderShowWindow(true);
    RenderPumpMessages();
    RenderShowWindow(false);
    RenderPumpMessages();
    EXPECT_FALSE(RenderIsMaximized());

    window->close();
    EXPECT_TRUE(RenderWindowClosed());
    int64_t start = RenderNowMs();
    RenderWait(3000); // returns at once: the window is closed
    EXPECT_LT(RenderNowMs() - start, 1000);
    RenderClose();
    EXPECT_EQ(RenderMainWindow(), nullptr);
    // Open again, as after a lost device.
    ASSERT_EQ(RenderOpen(Params()), 0);
    EXPECT_FALSE(RenderWindowClosed());
    EXPECT_NE(RenderMainWindow(), nullptr);
}

TEST_F(RenderWindowTest, WaitReturnsEarlyWhenTheWindowCloses) {
    ASSERT_EQ(RenderOpen(Params()), 0);
    QTimer::singleShot(30, RenderMainWindow(), [] { RenderMainWindow()->close(); });
    int64_t start = RenderNowMs();
    RenderWait(5000);
    EXPECT_LT(RenderNowMs() - start, 2000);
    EXPECT_TRUE(RenderWindowClosed());
}

TEST_F(RenderWindowTest, WaitWaits) {
    ASSERT_EQ(RenderOpen(Params()), 0);
    int64_t start = RenderNowMs();
    RenderWait(30);
    EXPECT_GE(RenderNowMs() - start, 25);
    EXPECT_GE(RenderNowMs(), start);
}

TEST_F(RenderWindowTest, LostWindowIsReported) {
    ASSERT_EQ(RenderOpen(Params()), 0);
    delete RenderMainWindow();
    EXPECT_NE(RenderPumpMessages(), 0);
    RenderClose();
    EXPECT_EQ(RenderOpen(Params()), 0);
    EXPECT_EQ(RenderPumpMessages(), 0);
}

TEST_F(RenderWindowTest, KeysMouseAndWheelFromTheWindow) {
    ASSERT_EQ(RenderOpen(Params()), 0);
    QWidget* window = RenderMainWindow();
    auto key = [&](QEvent::Type type, int code, const QString& text = {},
                   Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent event(type, code, mods, text);
        QApplication::sendEvent(window, &event);
    };
    key(QEvent::KeyPress, Qt::Key_A, "a");
    key(QEvent::KeyPress, Qt::Key_Q, "Q", Qt::ShiftModifier);
    key(QEvent::KeyPress, Qt::Key_Right);
    key(QEvent::KeyPress, Qt::Key_Left);
    key(QEvent::KeyPress, Qt::Key_Up);
    key(QEvent::KeyPress, Qt::Key_Down);
    key(QEvent::KeyPress, Qt::Key_Tab, "\t");
    key(QEvent::KeyPress, Qt::Key_Escape, "\x1b");
    key(QEvent::KeyPress, Qt::Key_Return, "\r");
    key(QEvent::KeyPress, Qt::Key_Backspace, "\b");
    key(QEvent::KeyPress, Qt::Key_Comma, ",");
    key(QEvent::KeyPress, Qt::Key_A, "\x01", Qt::ControlModifier); // Ctrl+A types nothing
    key(QEvent::KeyPress, Qt::Key_F2);
    for (int expected : {int('a'), int('Q'), kCharRight, kCharLeft, kCharUp, kCharDown, kCharTab,
                         kCharEsc, 13, 8, int(',')})
        EXPECT_EQ(RenderInputChar(), expected);
    EXPECT_EQ(RenderInputChar(), 0);

    key(QEvent::KeyPress, Qt::Key_F1);
    key(QEvent::KeyPress, Qt::Key_Shift, {}, Qt::ShiftModifier);
    EXPECT_TRUE(RenderKeyHeld(RenderKey::F1));
    EXPECT_TRUE(RenderKeyHeld(RenderKey::Shift));
    EXPECT_FALSE(RenderKeyHeld(RenderKey::Ctrl));
    key(QEvent::KeyRelease, Qt::Key_F1);
    key(QEvent::KeyRelease, Qt::Key_Shift);
    EXPECT_FALSE(RenderKeyHeld(RenderKey::F1));
    EXPECT_FALSE(RenderKeyHeld(RenderKey::Shift));

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(12, 34), QPointF(12, 34), Qt::RightButton,
                      Qt::RightButton | Qt::BackButton, Qt::NoModifier);
    QApplication::sendEvent(window, &press);
    int x, y;
    RenderMousePos(x, y);
    EXPECT_EQ(x, 12);
    EXPECT_EQ(y, 34);
    EXPECT_EQ(RenderMouseButtons(), kMouseRight | kMouseBack);
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 60), QPointF(50, 60), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    RenderMousePos(x, y);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(RenderMouseButtons(), 0);

    for (QPoint delta : {QPoint(0, 120), QPoint(0, 240), QPoint(-120, 0)}) {
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), delta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window, &wheel);
    }
    int vertical, horizontal;
    RenderWheel(vertical, horizontal);
    EXPECT_EQ(vertical, 360);
    EXPECT_EQ(horizontal, -120);
}

TEST_F(RenderWindowTest, InputQueueAsTestsFeedIt) {
    RenderPushChar('x');
    RenderPushChar(kCharRight);
    RenderPushChar(0); // not a character
    EXPECT_EQ(RenderInputChar(), 'x');
    EXPECT_EQ(RenderInputChar(), kCharRight);
    EXPECT_EQ(RenderInputChar(), 0);
    for (int i = 0; i < 300; ++i) RenderPushChar('a' + i % 26);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(RenderInputChar(), 'a' + i % 26);
    EXPECT_EQ(RenderInputChar(), 0); // the rest did not fit
    RenderPushChar('z');
    RenderClearInput();
    EXPECT_EQ(RenderInputChar(), 0);

    RenderAddWheel(120, 0);
    RenderAddWheel(-360, 240);
    int vertical, horizontal;
    RenderWheel(vertical, horizontal);
    EXPECT_EQ(vertical, -240);
    EXPECT_EQ(horizontal, 240);
    RenderWheel(vertical, horizontal);
    EXPECT_EQ(vertical, 0);
    EXPECT_EQ(horizontal, 0);

    RenderSetMouse(7, 8, kMouseLeft | kMouseMiddle);
    int x, y;
    RenderMousePos(x, y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 8);
    EXPECT_EQ(RenderMouseButtons(), kMouseLeft | kMouseMiddle);
    RenderSetKeyHeld(RenderKey::Ctrl, true);
    EXPECT_TRUE(RenderKeyHeld(RenderKey::Ctrl));
    RenderReset();
    EXPECT_FALSE(RenderKeyHeld(RenderKey::Ctrl));
    RenderMousePos(x, y);
    EXPECT_EQ(x, 0);
}

TEST_F(RenderWindowTest, PressesAndReleasesQueueInOrderAndInputEndsAWait) {
    ASSERT_EQ(RenderOpen(Params()), 0);
    QWidget* window = RenderMainWindow();
    auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), QPointF(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(window, &event);
    };
    mouse(QEvent::MouseButtonPress, {12, 34}, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, {20, 40}, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {22, 41}, Qt::LeftButton, Qt::NoButton);
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(window, &f1);
    QKeyEvent f1Up(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(window, &f1Up);
    const int f1Bit = 1 << int(RenderKey::F1);
    const RenderInputEvent want[] = {
        {12, 34, kMouseLeft, 0}, {22, 41, 0, 0}, {22, 41, 0, f1Bit}, {22, 41, 0, 0}};
    for (const RenderInputEvent& w : want) {
        RenderInputEvent e;
        ASSERT_TRUE(RenderPeekInputEvent(e));
        EXPECT_EQ(std::make_tuple(e.x, e.y, e.buttons, e.keys),
                  std::make_tuple(w.x, w.y, w.buttons, w.keys));
        RenderPopInputEvent();
    }
    RenderInputEvent none;
    EXPECT_FALSE(RenderPeekInputEvent(none));

    // A resting loop wakes with the first input, and rests its whole time without one.
    QTimer::singleShot(30, window, [&] { mouse(QEvent::MouseMove, {60, 60}, Qt::NoButton, {}); });
    int64_t start = RenderNowMs();
    RenderWaitForInput(5000);
    EXPECT_LT(RenderNowMs() - start, 2000);
    start = RenderNowMs();
    RenderWaitForInput(40);
    EXPECT_GE(RenderNowMs() - start, 30);
}

int g_restoreCalls = 0;
void CountRestore() {
    ++g_restoreCalls;
}

TEST_F(RenderWindowTest, CallbacksSurviveCloseButNotReset) {
    RenderSetRestoreCallback(CountRestore);
    ASSERT_EQ(RenderOpen(Params()), 0);
    RenderClose();
    ASSERT_EQ(RenderOpen(Params()), 0);
    EXPECT_EQ(RenderPumpMessages(), 0);
    EXPECT_EQ(g_restoreCalls, 0); // no screen change on the offscreen platform
}

} // namespace
} // namespace qvtk
