#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace theme {

// A captioned group of radio items in one column. ItemIndex is the chosen item counted from 0,
// -1 for none; setting an index that has no item is ignored. A click on an item (mouse, or Space
// or Enter on the focused item) emits itemClicked, also when that item was already chosen;
// setting the index from code emits nothing.
class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

public:
    explicit RadioGroup(QWidget* parent = nullptr);

    QStringList items() const;
    void setItems(const QStringList& items);

    int itemIndex() const;
    void setItemIndex(int index);

    QRadioButton* itemButton(int index) const;

Q_SIGNALS:
    void itemClicked(int index);

private:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void arrangeItems();

    QStringList m_items;
    QButtonGroup* m_buttons;
};

} // namespace theme
