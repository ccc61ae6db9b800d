#include "app/control_names.h"

#include <QAbstractButton>
#include <QLabel>

#include "theme/radio_group.h"

namespace app {

QString spokenCaption(QString caption)
{
    return caption.remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed();
}

void nameControlsByCaptions(QWidget* root)
{
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        if (!button->text().isEmpty())
            button->setAccessibleName(spokenCaption(button->text()));
    for (theme::RadioGroup* group : root->findChildren<theme::RadioGroup*>())
        group->setAccessibleName(spokenCaption(group->title()));
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (QWidget* edit = label->buddy())
            edit->setAccessibleName(spokenCaption(label->text()));
}

} // namespace app
