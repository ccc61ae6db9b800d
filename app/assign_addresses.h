#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/camera_batch_dialog.h"

namespace Ui {
class AssignAddresses;
}

namespace app {

// Gives the checked cameras addresses of their own in one write: from a first address upward in
// MAC order, or as a plan file says. The new addresses follow the fields as they are typed; after
// the write one Find follows, which refreshes the main window's list, and each row says whether
// its camera shows the new address. Its controls are the members of `ui` (assign_addresses.ui).
class AssignAddressesDialog : public CameraBatchDialog {
    Q_OBJECT

public:
    explicit AssignAddressesDialog(BatchContext context, QWidget* parent = nullptr);
    ~AssignAddressesDialog() override;

    const std::unique_ptr<Ui::AssignAddresses> ui;

    void cmdLoadPlanClick(QObject* Sender);
    void txtFirstAddressEdited(QObject* Sender);

protected:
    std::string planOwn() override;
    std::vector<settings::FieldChange> changesFor(std::size_t camera) const override;
    void afterWrite(const std::vector<std::size_t>& written,
                    const std::vector<protocol::BatchOutcome>& outcomes) override;

private:
    void leavePlanFile();

    AddressPlanView plan_;
    // A loaded plan file's rows, which stand in for the first address until it is typed again.
    std::optional<std::vector<settings::PlanRow>> fileRows_;
};

} // namespace app
