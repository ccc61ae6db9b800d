#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/camera_batch_dialog.h"

class QLineEdit;

namespace Ui {
class SetPasswords;
}

namespace settings {
struct CameraField;
}

namespace app {

// Sends the checked cameras the Password page's fields in one write: the passwords typed (an
// empty box leaves that password alone) and, unless left unchanged, whether the user password is
// on. Each camera gets its own packet, as Save would pack it for that camera. The boxes are
// emptied once the write is over. Its controls are the members of `ui` (set_passwords.ui), the
// password boxes and the switch named as the Password page names them.
class SetPasswordsDialog : public CameraBatchDialog {
    Q_OBJECT

public:
    explicit SetPasswordsDialog(BatchContext context, QWidget* parent = nullptr);
    ~SetPasswordsDialog() override;

    const std::unique_ptr<Ui::SetPasswords> ui;

protected:
    std::string planOwn() override;
    std::vector<settings::FieldChange> changesFor(std::size_t camera) const override;
    void afterWrite(const std::vector<std::size_t>& written,
                    const std::vector<protocol::BatchOutcome>& outcomes) override;
    void forgetInput() override;

private:
    struct PasswordBox {
        const settings::CameraField* field;
        QLineEdit* edit;
    };
    std::vector<PasswordBox> boxes_;
};

} // namespace app
