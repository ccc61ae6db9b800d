#include "app/set_passwords.h"

#include <algorithm>
#include <stdexcept>

#include "app/camera_text.h"
#include "protocol/wipe.h"
#include "settings/camera_fields.h"
#include "ui_set_passwords.h"

namespace app {

namespace {

// The switch's first item leaves each camera's own; the others are the field's items.
constexpr int kUnchanged = 0;

const char* const kUserPasswordOn = "userPasswordOn";

} // namespace

SetPasswordsDialog::SetPasswordsDialog(BatchContext context, QWidget* parent)
    : CameraBatchDialog(std::move(context), parent), ui(new Ui::SetPasswords)
{
    ui->setupUi(this);
    setUpBatch(ui->groupPasswords);

    auto* validator = new CameraTextValidator(this);
    for (const settings::CameraField& field : settings::cameraFields()) {
        if (field.kind != settings::FieldKind::password ||
            field.page != settings::field(kUserPasswordOn).page)
            continue;
        auto* edit = findChild<QLineEdit*>(QString::fromLatin1(field.control));
        if (edit == nullptr)
            throw std::logic_error(std::string("The dialog has no box ") + field.control);
        limitTyping(edit, static_cast<int>(field.maxLength));
        edit->setValidator(validator);
        connect(edit, &QLineEdit::textChanged, this, [this] { replan(); });
        boxes_.push_back({&field, edit});
    }
    ui->optUserPassword->setItemIndex(kUnchanged);
    connect(ui->optUserPassword, &theme::RadioGroup::itemClicked, this, [this] { replan(); });
    replan();
}

SetPasswordsDialog::~SetPasswordsDialog() = default;

std::string SetPasswordsDialog::planOwn()
{
    std::vector<settings::FieldChange> changes = changesFor(0);
    const bool nothing = changes.empty();
    for (settings::FieldChange& change : changes)
        protocol::wipe(change.text);
    if (nothing)
        return "Type a password, or choose whether the user password is on.";
    const std::vector<bool> checked = checkedCameras();
    if (std::find(checked.begin(), checked.end(), true) == checked.end())
        return "No camera is checked.";
    return {};
}

// The same for every camera. Each change is built in its place, so that no copy of a password is
// left behind by a move.
std::vector<settings::FieldChange> SetPasswordsDialog::changesFor(std::size_t) const
{
    std::vector<settings::FieldChange> changes;
    changes.reserve(boxes_.size() + 1);
    for (const PasswordBox& box : boxes_) {
        if (box.edit->text().isEmpty())
            continue;
        settings::FieldChange& change = changes.emplace_back();
        change.field = box.field;
        // The box refuses what a camera cannot store; should it hold such a character all the
        // same, that password is left alone rather than sent as something else.
        if (!toCamera(box.edit->text(), change.text))
            changes.pop_back();
    }
    if (const int item = ui->optUserPassword->itemIndex(); item > kUnchanged) {
        settings::FieldChange& change = changes.emplace_back();
        change.field = &settings::field(kUserPasswordOn);
        change.index = item - 1;
    }
    return changes;
}

void SetPasswordsDialog::afterWrite(const std::vector<std::size_t>&,
                                    const std::vector<protocol::BatchOutcome>& outcomes)
{
    showStatus(QString::fromStdString(summaryText(outcomes)) +
               QStringLiteral(" Passwords cannot be read back from a camera."));
}

void SetPasswordsDialog::forgetInput()
{
    for (const PasswordBox& box : boxes_)
        box.edit->clear();
}

} // namespace app
