#include "platform/wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>
#include <vector>

namespace qvtk {

namespace {
WaitHook g_waitHook = nullptr;
std::vector<QEventLoop*> g_waiting; // innermost last
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
    g_waiting.push_back(&loop);
    loop.exec();
    g_waiting.pop_back();
}

void EndWaits() {
    for (QEventLoop* loop : g_waiting) loop->quit();
}

void SetWaitHook(WaitHook hook) {
    g_waitHook = hook;
}

} // namespace qvtk
