#include "app/assign_addresses.h"

#include <algorithm>
#include <set>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include "app/message_boxes.h"
#include "ui_assign_addresses.h"

namespace app {

namespace {

constexpr int kNewAddressColumn = 4;

const char* const kFromFirstAddress =
    "Checked cameras in MAC order, each the next free address from the first";
const char* const kPlanFileFilter = "Plan files (*.csv);;All files (*)";

void showError(QWidget* owner, const QString& text)
{
    showMessageBox(owner, text, QString(), QMessageBox::Critical, QMessageBox::Ok);
}

} // namespace

AssignAddressesDialog::AssignAddressesDialog(BatchContext context, QWidget* parent)
    : CameraBatchDialog(std::move(context), parent), ui(new Ui::AssignAddresses)
{
    ui->setupUi(this);
    setUpBatch(ui->groupAddresses);
    ui->lblPlan->setText(QString::fromLatin1(kFromFirstAddress));

    const AddressFields start = addressDefaults(*context_.adapters, cameras_);
    ui->txtFirstAddress->setText(QString::fromStdString(start.first));
    ui->txtSubnetMask->setText(QString::fromStdString(start.mask));
    ui->txtGateway->setText(QString::fromStdString(start.gateway));
    ui->txtDnsServer->setText(QString::fromStdString(start.dns));
    {
        const QSignalBlocker quiet(ui->listCameras);
        const std::vector<bool> needing =
            camerasNeedingAddresses(*context_.adapters, cameras_, start);
        for (std::size_t i = 0; i < cameras_.size(); ++i)
            ui->listCameras->topLevelItem(static_cast<int>(i))
                ->setCheckState(0, needing[i] ? Qt::Checked : Qt::Unchecked);
    }

    for (QLineEdit* edit :
         {ui->txtFirstAddress, ui->txtSubnetMask, ui->txtGateway, ui->txtDnsServer})
        connect(edit, &QLineEdit::textChanged, this, [this] { replan(); });
    connect(ui->txtFirstAddress, &QLineEdit::textEdited, this,
            [this] { txtFirstAddressEdited(ui->txtFirstAddress); });
    connect(ui->cmdLoadPlan, &QPushButton::clicked, this,
            [this] { cmdLoadPlanClick(ui->cmdLoadPlan); });
    replan();
}

AssignAddressesDialog::~AssignAddressesDialog() = default;

std::string AssignAddressesDialog::planOwn()
{
    const auto typed = [](const QLineEdit* edit) { return edit->text().trimmed().toStdString(); };
    const AddressFields fields{typed(ui->txtFirstAddress), typed(ui->txtSubnetMask),
                               typed(ui->txtGateway), typed(ui->txtDnsServer)};
    plan_ = planOfFields(fields, cameras_, checkedCameras(), pcAddresses(*context_.adapters),
                         fileRows_ ? &*fileRows_ : nullptr);
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        const auto& address = plan_.addresses[i];
        setCell(i, kNewAddressColumn,
                plan_.problem.empty() && address ? QString::fromStdString(net::formatIpv4(*address))
                                                 : QString());
    }
    return plan_.problem;
}

std::vector<settings::FieldChange> AssignAddressesDialog::changesFor(std::size_t camera) const
{
    const auto& address = plan_.addresses.at(camera);
    return address ? settings::addressChanges(*address, plan_.rules)
                   : std::vector<settings::FieldChange>{};
}

void AssignAddressesDialog::afterWrite(const std::vector<std::size_t>& written,
                                       const std::vector<protocol::BatchOutcome>& outcomes)
{
    if (std::all_of(outcomes.begin(), outcomes.end(), [](protocol::BatchOutcome outcome) {
            return outcome == protocol::BatchOutcome::notSent;
        }))
        return;
    const QString summary = QString::fromStdString(summaryText(outcomes));
    // The outcomes show before the search's three seconds begin.
    showStatus(summary + QStringLiteral(" Looking for the cameras again\u2026"));
    repaint();
    context_.find();

    std::size_t showing = 0;
    for (std::size_t k = 0; k < written.size(); ++k) {
        if (outcomes[k] == protocol::BatchOutcome::notSent)
            continue;
        const std::size_t camera = written[k];
        const AfterFind found = lookAfterFind(
            *context_.table, protocol::macAddress(cameras_[camera].record), changesFor(camera));
        showing += found == AfterFind::shows ? 1 : 0;
        setCell(camera, resultColumn(), QString::fromStdString(outcomeText(outcomes[k], found)));
    }
    showStatus(summary + QStringLiteral(" %1 %2 the new address.")
                             .arg(showing)
                             .arg(showing == 1 ? QStringLiteral("shows") : QStringLiteral("show")));
}

void AssignAddressesDialog::cmdLoadPlanClick(QObject*)
{
    const QString path = askOpenFileName(this, QStringLiteral("Load Plan"), QDir::homePath(),
                                         QString::fromLatin1(kPlanFileFilter));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showError(this, QStringLiteral("Cannot read %1:\n%2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    std::vector<settings::PlanRow> rows;
    std::string error;
    if (!settings::readPlanFile(bytes.toStdString(), rows, error) ||
        !(error = rowsWithoutCamera(rows, cameras_)).empty()) {
        showError(this, QStringLiteral("%1 cannot be loaded:\n\n%2.")
                            .arg(QDir::toNativeSeparators(path), QString::fromStdString(error)));
        return;
    }

    // The file's cameras are checked and the others not; one plan follows.
    std::set<net::MacBytes> named;
    for (const settings::PlanRow& row : rows)
        named.insert(row.mac);
    fileRows_ = std::move(rows);
    {
        const QSignalBlocker quiet(ui->listCameras);
        for (std::size_t i = 0; i < cameras_.size(); ++i)
            ui->listCameras->topLevelItem(static_cast<int>(i))
                ->setCheckState(0, named.count(protocol::macAddress(cameras_[i].record)) > 0
                                       ? Qt::Checked
                                       : Qt::Unchecked);
    }
    ui->lblPlan->setText(QStringLiteral("From %1: %2 cameras")
                             .arg(QFileInfo(path).fileName())
                             .arg(fileRows_->size()));
    ui->txtFirstAddress->setPlaceholderText(QStringLiteral("from the plan file"));
    ui->txtFirstAddress->clear();
    replan();
}

// A first address typed again takes over from the plan file.
void AssignAddressesDialog::txtFirstAddressEdited(QObject*)
{
    if (fileRows_)
        leavePlanFile();
}

void AssignAddressesDialog::leavePlanFile()
{
    fileRows_.reset();
    ui->lblPlan->setText(QString::fromLatin1(kFromFirstAddress));
    ui->txtFirstAddress->setPlaceholderText(QString());
    replan();
}

} // namespace app
