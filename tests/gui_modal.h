#pragma once
// Acts on a modal dialog once it shows: the dialogs of the program run their own event loop,
// so a test answers them from a timer.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace qvtk::test {

// Calls `act` with the next modal dialog named `name` ("" for any QDialog of type D).
template <class D = QDialog> void WhenModal(const QString& name, std::function<void(D*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, name, act] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!d || (!name.isEmpty() && d->objectName() != name)) return;
        timer->stop();
        timer->deleteLater();
        act(d);
    });
    timer->start();
}

} // namespace qvtk::test
