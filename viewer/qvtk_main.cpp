// The QVTK viewer: the program directory is the folder of the executable, unless QVTK_HOME
// names another; file arguments open into File 1, File 2 and File 3.
//
// For the scripts: QVTK_REPORT_STARTUP=1 prints the time to the first drawn frame;
// QVTK_SCREENSHOT=FILE saves a picture of the screen once the picture settles, and quits.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/message_box.h"
#include "render/render_qt.h"
#include "viewer/app.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace {

QElapsedTimer g_sinceStart;
int g_framesDrawn = 0;

void ShowBox(const std::string& text, const std::string& caption) {
    QWidget* owner = qvtk::ToolbarWidget() ? qvtk::ToolbarWidget() : qvtk::RenderMainWindow();
    QMessageBox::information(owner, QString::fromStdString(caption), QString::fromStdString(text));
}

// Qt aborts when it cannot reach a display, so a local X display is checked first.
bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    if (const char* w = std::getenv("WAYLAND_DISPLAY"); w && *w) return true;
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) return false;
    if (d[0] != ':') return true; // a remote display: let Qt try
    std::string number(d + 1);
    number = number.substr(0, number.find('.'));
    return std::filesystem::exists("/tmp/.X11-unix/X" + number);
}

void AfterPresent() {
    ++g_framesDrawn;
    if (g_framesDrawn == 1 && std::getenv("QVTK_REPORT_STARTUP"))
        std::fprintf(stderr, "first frame after %lld ms\n", (long long)g_sinceStart.elapsed());
    const char* shot = std::getenv("QVTK_SCREENSHOT");
    // Taken when the loop is about to rest, with the info panels faded in.
    if (shot && *shot && qvtk::g_view.RedrawCountdown == 3) {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen && screen->grabWindow(0).save(shot))
            std::fprintf(stderr, "screenshot written to %s\n", shot);
        else
            std::fprintf(stderr, "qvtk: could not write the screenshot %s\n", shot);
        qvtk::g_view.ExitRequest = 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    g_sinceStart.start();
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "qvtk: no display to open a window on; start it from a desktop session, "
                     "or without one as: xvfb-run -a %s [FILE...]\n",
                     argv[0]);
        return 3;
    }
    QApplication app(argc, argv);
    std::filesystem::path home;
    if (const char* h = std::getenv("QVTK_HOME"); h && *h)
        home = h;
    else
        home = std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) files.push_back(std::filesystem::absolute(argv[i]).string());
    qvtk::SetMessageSink(ShowBox);
    qvtk::SetAfterPresentHook(AfterPresent);
    return qvtk::AppMain(std::filesystem::absolute(home).string(), files) == 0 ? 0 : 1;
}
