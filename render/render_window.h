#pragma once
// The main window: a widget that shows the back buffer 1:1 at the top left of its client area
// and hands mouse, wheel and keys to the input state of the layer.
#include <QWidget>

namespace qvtk {

class RenderWindow final : public QWidget {
public:
    RenderWindow();
    // Device pixels per client coordinate of Qt (1 unless the platform scales).
    double PixelRatio() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void TakeMouse(QMouseEvent* event);
};

} // namespace qvtk
