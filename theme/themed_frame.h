#pragma once

#include <QPointer>
#include <QWidget>

#include "theme/pictures.h"

class QAbstractButton;

namespace theme {

class TitleButton;

// The frame that fills the frameless window: border, body and a title bar with the window's icon
// and title, its own control-box (the system menu), close and minimise buttons, and dragging to
// move the window.
class ThemedFrame : public QWidget {
    Q_OBJECT

public:
    static constexpr int titleBarHeight = kTitleBarHeight;

    explicit ThemedFrame(QWidget* parent = nullptr);

    QAbstractButton* controlBoxButton() const;
    QAbstractButton* closeButton() const;
    QAbstractButton* minimiseButton() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void watchWindow();
    void showSystemMenu();
    bool inTitleBar(const QPoint& pos) const;

    TitleButton* m_controlBox;
    TitleButton* m_close;
    TitleButton* m_minimise;
    // Drawn for the device pixel ratio last painted at.
    QPixmap m_leftCap;
    QPixmap m_middle;
    QPixmap m_rightCap;
    QPointer<QWidget> m_watchedWindow;
    // Set while the window follows the mouse by hand, where the platform cannot move it.
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace theme
