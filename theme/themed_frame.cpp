#include "theme/themed_frame.h"

#include <QAbstractButton>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QWindow>

#include "theme/colours.h"
#include "theme/theme.h"

namespace theme {

namespace {

constexpr int kButtonTop = 4;
constexpr int kButtonRightMargin = 6;
constexpr int kButtonGap = 3;
constexpr int kIconLeft = 5;
constexpr int kIconSize = 16;

// The device pixel ratio of what a painter paints on: the screen's, or that of an image the
// widget is rendered into.
qreal paintedRatio(QPainter& p)
{
    return p.paintEngine()->paintDevice()->devicePixelRatioF();
}

} // namespace

// A round title bar button drawn from its three pictures.
class TitleButton : public QAbstractButton {
public:
    TitleButton(TitleButtonKind kind, const QString& name, const QString& accessibleName,
                QWidget* parent)
        : QAbstractButton(parent), m_kind(kind)
    {
        setObjectName(name);
        setAccessibleName(accessibleName);
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(kTitleButtonSize, kTitleButtonSize);
        setAttribute(Qt::WA_Hover);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const auto state = isDown()       ? TitleButtonState::Pressed
                           : underMouse() ? TitleButtonState::Hover
                                          : TitleButtonState::Normal;
        QPainter p(this);
        const qreal ratio = paintedRatio(p);
        QPixmap& picture = m_pictures[int(state)];
        if (picture.isNull() || picture.devicePixelRatio() != ratio)
            picture = titleButtonPicture(m_kind, state, ratio);
        p.drawPixmap(0, 0, picture);
    }

private:
    TitleButtonKind m_kind;
    // Drawn for the ratio last painted at, by state.
    QPixmap m_pictures[3];
};

ThemedFrame::ThemedFrame(QWidget* parent)
    : QWidget(parent),
      m_controlBox(new TitleButton(TitleButtonKind::ControlBox, QStringLiteral("titleControlBox"),
                                   QStringLiteral("System menu"), this)),
      m_close(new TitleButton(TitleButtonKind::Close, QStringLiteral("titleClose"),
                              QStringLiteral("Close"), this)),
      m_minimise(new TitleButton(TitleButtonKind::Minimise, QStringLiteral("titleMinimise"),
                                 QStringLiteral("Minimise"), this))
{
    connect(m_controlBox, &QAbstractButton::clicked, this, [this] { showSystemMenu(); });
    connect(m_close, &QAbstractButton::clicked, this, [this] { window()->close(); });
    connect(m_minimise, &QAbstractButton::clicked, this, [this] { window()->showMinimized(); });
    watchWindow();
}

// The window's own menu, as the platform's frame would give it: the window keeps its size, so
// only minimising and closing are left.
void ThemedFrame::showSystemMenu()
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("systemMenu"));
    QWidget* top = window();
    menu.addAction(QStringLiteral("Minimise"), top, &QWidget::showMinimized);
    QAction* close = menu.addAction(QStringLiteral("Close"), top, &QWidget::close);
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    menu.exec(m_controlBox->mapToGlobal(QPoint(0, m_controlBox->height())));
}

QAbstractButton* ThemedFrame::controlBoxButton() const
{
    return m_controlBox;
}

QAbstractButton* ThemedFrame::closeButton() const
{
    return m_close;
}

QAbstractButton* ThemedFrame::minimiseButton() const
{
    return m_minimise;
}

bool ThemedFrame::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::Show:
        watchWindow();
        break;
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
        update(0, 0, width(), titleBarHeight);
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool ThemedFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow &&
        (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::WindowIconChange))
        update(0, 0, width(), titleBarHeight);
    return QWidget::eventFilter(watched, event);
}

// The title and icon shown are the top-level window's, so follow that window's changes.
void ThemedFrame::watchWindow()
{
    QWidget* top = window();
    if (top == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top;
    if (top != this)
        top->installEventFilter(this);
}

void ThemedFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const qreal ratio = paintedRatio(p);
    if (m_leftCap.isNull() || m_leftCap.devicePixelRatio() != ratio) {
        m_leftCap = titleBarLeftCap(ratio);
        m_middle = titleBarMiddle(ratio);
        m_rightCap = titleBarRightCap(ratio);
    }
    p.fillRect(rect(), QColor(kBodyColour));

    const int middleWidth = qMax(0, width() - 2 * kTitleCapWidth);
    p.drawPixmap(0, 0, m_leftCap);
    p.drawPixmap(QRect(kTitleCapWidth, 0, middleWidth, kTitleBarHeight), m_middle);
    p.drawPixmap(width() - kTitleCapWidth, 0, m_rightCap);

    const QWidget* top = window();
    const QIcon icon = top->windowIcon().isNull() ? applicationIcon() : top->windowIcon();
    const QRect iconRect(kIconLeft, (kTitleBarHeight - kIconSize) / 2, kIconSize, kIconSize);
    icon.paint(&p, iconRect);

    // White on light stripes needs a shadow to stay readable.
    p.setFont(titleFont());
    const int textLeft = iconRect.right() + 6;
    const QRect textRect(textLeft, 0, qMax(0, m_minimise->x() - 6 - textLeft), kTitleBarHeight - 1);
    const QString caption =
        p.fontMetrics().elidedText(top->windowTitle(), Qt::ElideRight, textRect.width());
    p.setPen(QColor(0x50, 0x50, 0x50));
    p.drawText(textRect.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, caption);
    p.setPen(Qt::white);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, caption);

    p.setPen(QColor(kBorderColour));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ThemedFrame::resizeEvent(QResizeEvent* event)
{
    int x = width() - kButtonRightMargin - kTitleButtonSize;
    for (TitleButton* button : {m_controlBox, m_close, m_minimise}) {
        button->move(x, kButtonTop);
        x -= kTitleButtonSize + kButtonGap;
    }
    QWidget::resizeEvent(event);
}

bool ThemedFrame::inTitleBar(const QPoint& pos) const
{
    return pos.y() >= 0 && pos.y() < titleBarHeight && pos.x() >= 0 && pos.x() < width();
}

void ThemedFrame::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !inTitleBar(event->position().toPoint())) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    QWidget* top = window();
    if (top->windowHandle() && top->windowHandle()->startSystemMove())
        return;
    // Without a window manager nobody moves the window for us.
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - top->pos();
}

void ThemedFrame::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        m_dragging = false;
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    window()->move(event->globalPosition().toPoint() - m_dragOffset);
}

void ThemedFrame::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void ThemedFrame::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click on the title bar neither maximises nor restores: the window has one size.
    if (inTitleBar(event->position().toPoint())) {
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace theme
