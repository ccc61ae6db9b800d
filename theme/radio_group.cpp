#include "theme/radio_group.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QRadioButton>

#include "theme/theme.h"

namespace theme {

namespace {

// Space between the caption and the first item.
constexpr int kItemTopMargin = 8;
constexpr int kItemLeft = 8;
constexpr int kBottomMargin = 4;

} // namespace

RadioGroup::RadioGroup(QWidget* parent) : QGroupBox(parent), m_buttons(new QButtonGroup(this))
{
    m_buttons->setExclusive(true);
    connect(m_buttons, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
}

QStringList RadioGroup::items() const
{
    return m_items;
}

void RadioGroup::setItems(const QStringList& items)
{
    const int chosen = itemIndex();
    for (QAbstractButton* button : m_buttons->buttons()) {
        m_buttons->removeButton(button);
        delete button;
    }
    m_items = items;
    for (int i = 0; i < m_items.size(); ++i) {
        auto* button = new QRadioButton(m_items.at(i), this);
        button->installEventFilter(this);
        m_buttons->addButton(button, i);
        // Edits placed over the group in a form stay above the items, whenever the items come.
        button->lower();
        button->show();
    }
    if (chosen < m_items.size())
        setItemIndex(chosen);
    arrangeItems();
}

int RadioGroup::itemIndex() const
{
    return m_buttons->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (index == -1) {
        // An exclusive group keeps one item checked, so let go of exclusiveness for the moment.
        if (QAbstractButton* checked = m_buttons->checkedButton()) {
            m_buttons->setExclusive(false);
            checked->setChecked(false);
            m_buttons->setExclusive(true);
        }
        return;
    }
    if (QRadioButton* button = itemButton(index))
        button->setChecked(true);
}

QRadioButton* RadioGroup::itemButton(int index) const
{
    return qobject_cast<QRadioButton*>(m_buttons->button(index));
}

bool RadioGroup::event(QEvent* event)
{
    const bool handled = QGroupBox::event(event);
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::Polish:
    case QEvent::ChildPolished:
    case QEvent::LayoutRequest:
        arrangeItems();
        break;
    default:
        break;
    }
    return handled;
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event)
{
    // An item in a new face (on a screen of another ratio) wants another size: the items are
    // arranged again once it has taken the face, even while the group is hidden.
    if (event->type() == QEvent::FontChange)
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    // Enter chooses the focused item like Space does; a radio button ignores it by itself.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!key->isAutoRepeat())
                if (auto* button = qobject_cast<QAbstractButton*>(watched))
                    button->click();
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

// One column below the caption, the rows sharing the height evenly, each item as wide as its text.
// The caption takes at least the classic face's height, so that the rows stay where the form
// expects them, level with the fields it puts beside them, whatever face the screen asks for.
void RadioGroup::arrangeItems()
{
    const QList<QAbstractButton*> buttons = m_buttons->buttons();
    if (buttons.isEmpty())
        return;
    const int top = qMax(fontMetrics().height(), QFontMetrics(uiFont()).height()) + kItemTopMargin;
    const int rowHeight = qMax(1, (height() - top - kBottomMargin) / int(buttons.size()));
    const int room = qMax(0, width() - 2 * kItemLeft);
    for (int i = 0; i < buttons.size(); ++i) {
        QAbstractButton* button = m_buttons->button(i);
        const QSize hint = button->sizeHint();
        const int y = top + i * rowHeight + (rowHeight - hint.height()) / 2;
        button->setGeometry(kItemLeft, y, qMin(hint.width(), room), hint.height());
    }
}

} // namespace theme
