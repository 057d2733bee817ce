#include "platform/wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

namespace qvtk {

namespace {
WaitHook g_waitHook = nullptr;
} // namespace

void WaitWhileProcessing(int milliseconds) {
    if (g_waitHook) return g_waitHook(milliseconds);
    if (milliseconds <= 0) return;
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void SetWaitHook(WaitHook hook) {
    g_waitHook = hook;
}

} // namespace qvtk
