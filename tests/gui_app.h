#pragma once
// One QApplication for every GUI test of the process, on Qt's offscreen platform.
#include <QApplication>
#include <cstdlib>

namespace qvtk::test {

inline QApplication& GuiApp() {
    static int argc = 1;
    static char name[] = "qvtk_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

} // namespace qvtk::test
