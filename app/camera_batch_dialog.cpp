#include "app/camera_batch_dialog.h"

#include <stdexcept>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeWidget>

#include "app/busy_state.h"
#include "app/camera_text.h"
#include "app/control_names.h"
#include "app/message_boxes.h"
#include "app/responsive_endpoint.h"
#include "protocol/wipe.h"
#include "settings/camera_list.h"
#include "theme/themed_frame.h"

namespace app {

namespace {

// The four columns every such list starts with.
enum Column { kNumber, kDescription, kMac, kInUse, kFirstOwn };

template <typename Control> Control* named(QWidget* dialog, const char* name)
{
    auto* control = dialog->findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr)
        throw std::logic_error(std::string("The dialog's form has no control ") + name);
    return control;
}

void wipeChanges(std::vector<settings::FieldChange>& changes)
{
    for (settings::FieldChange& change : changes)
        protocol::wipe(change.text);
}

} // namespace

CameraBatchDialog::CameraBatchDialog(BatchContext context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), context_(std::move(context)),
      cameras_(camerasOnce(*context_.table))
{}

CameraBatchDialog::~CameraBatchDialog() = default;

void CameraBatchDialog::setUpBatch(QWidget* fields)
{
    fields_ = fields;
    list_ = named<QTreeWidget>(this, "listCameras");
    bar_ = named<QProgressBar>(this, "barProgress");
    status_ = named<QLabel>(this, "lblStatus");
    problem_ = named<QLabel>(this, "lblProblem");
    write_ = named<QPushButton>(this, "cmdWrite");
    cancel_ = named<QPushButton>(this, "cmdCancel");
    setFixedSize(size());
    // A dialog is not minimised on its own; its owner is.
    if (auto* frame = findChild<theme::ThemedFrame*>())
        frame->minimiseButton()->hide();
    nameControlsByCaptions(this);
    if (auto* group = qobject_cast<QWidget*>(list_->parent()))
        list_->setAccessibleName(group->property("title").toString());

    QHeaderView* header = list_->header();
    const int widths[] = {44, 150, 112, 96};
    for (int column = 0; column < list_->columnCount() - 1; ++column)
        header->resizeSection(column, column < kFirstOwn ? widths[column] : widths[kInUse]);
    filling_ = true;
    for (const ListedCamera& camera : cameras_) {
        auto* item = new QTreeWidgetItem(
            list_,
            {QString::number(camera.number), fromCamera(settings::description(camera.record)),
             QString::fromStdString(net::formatMac(protocol::macAddress(camera.record))),
             QString::fromStdString(net::formatIpv4(settings::usedAddress(camera.record)))});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(kNumber, Qt::Checked);
    }
    filling_ = false;
    bar_->setRange(0, static_cast<int>(cameras_.size()));
    bar_->setValue(0);

    list_->installEventFilter(this);
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
        if (column == kNumber && !filling_)
            replan();
    });
    connect(write_, &QPushButton::clicked, this, [this] { cmdWriteClick(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cmdCancelClick(); });
}

std::vector<bool> CameraBatchDialog::checkedCameras() const
{
    std::vector<bool> checked;
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        checked.push_back(list_->topLevelItem(row)->checkState(kNumber) == Qt::Checked);
    return checked;
}

void CameraBatchDialog::setCell(std::size_t camera, int column, const QString& text)
{
    const bool filling = filling_;
    filling_ = true;
    list_->topLevelItem(static_cast<int>(camera))->setText(column, text);
    filling_ = filling;
}

int CameraBatchDialog::resultColumn() const
{
    return list_->columnCount() - 1;
}

void CameraBatchDialog::showStatus(const QString& text)
{
    status_->setText(text);
}

void CameraBatchDialog::replan()
{
    if (done_)
        return;
    std::string problem = planOwn();
    const std::vector<bool> checked = checkedCameras();
    for (std::size_t i = 0; i < cameras_.size() && problem.empty(); ++i) {
        if (!checked[i])
            continue;
        std::vector<settings::FieldChange> changes = changesFor(i);
        protocol::ParameterPacket packet;
        packCamera(cameras_[i].record, changes, packet, problem);
        protocol::wipe(packet);
        wipeChanges(changes);
    }
    problem_->setText(fromCamera(problem));
    write_->setEnabled(problem.empty());
    const auto count = std::count(checked.begin(), checked.end(), true);
    showStatus(QStringLiteral("%1 of %2 cameras checked").arg(count).arg(checked.size()));
}

void CameraBatchDialog::setWriting(bool on)
{
    writing_ = on;
    fields_->setEnabled(!on && !done_);
    write_->setEnabled(false);
    cancel_->setEnabled(true);
    if (!on && done_)
        cancel_->setText(QStringLiteral("Close"));
    // The check boxes stay as they are: a write sends what was checked when it began.
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                                (on || done_ ? Qt::NoItemFlags : Qt::ItemIsUserCheckable);
    filling_ = true;
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        list_->topLevelItem(row)->setFlags(flags);
    filling_ = false;
}

void CameraBatchDialog::cmdWriteClick()
{
    const std::vector<bool> checked = checkedCameras();
    std::vector<std::size_t> written;
    std::vector<protocol::ParameterPacket> packets;
    // Room for all from the start, so that no copy of a password is left behind by a move.
    packets.reserve(static_cast<std::size_t>(std::count(checked.begin(), checked.end(), true)));
    const auto cleanUp = qScopeGuard([&] {
        for (protocol::ParameterPacket& packet : packets)
            protocol::wipe(packet);
    });
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
        if (!checked[i])
            continue;
        std::vector<settings::FieldChange> changes = changesFor(i);
        std::string problem;
        packets.emplace_back();
        const bool packed = packCamera(cameras_[i].record, changes, packets.back(), problem);
        wipeChanges(changes);
        if (!packed) {
            problem_->setText(fromCamera(problem));
            return;
        }
        written.push_back(i);
    }

    BusyState busy(context_.window);
    cancelRequested_ = false;
    setWriting(true);
    for (const std::size_t i : written)
        setCell(i, resultColumn(), QString());
    bar_->setRange(0, static_cast<int>(written.size()));
    bar_->setValue(0);
    ResponsiveEndpoint endpoint(*context_.endpoint, context_.ticks);
    protocol::BatchHooks hooks;
    hooks.progress = [&](std::size_t sent, std::size_t acknowledged) {
        bar_->setValue(static_cast<int>(acknowledged));
        showStatus(QString::fromStdString(progressText(sent, acknowledged, written.size())));
        // Once every packet is out there is nothing left to stop.
        if (sent == written.size())
            cancel_->setEnabled(false);
    };
    // Asked before each packet: the user's Cancel gets its chance here, and the window paints.
    hooks.cancelled = [this] {
        QCoreApplication::processEvents();
        return cancelRequested_;
    };
    std::vector<protocol::BatchOutcome> outcomes;
    try {
        outcomes = protocol::writeSettingsToMany(endpoint, packets, context_.ackWaitSeconds,
                                                 context_.ticks, hooks);
    } catch (const std::exception& error) {
        busy.end();
        forgetInput();
        setWriting(false);
        replan();
        showStandardError(this, error);
        return;
    }
    for (protocol::ParameterPacket& packet : packets)
        protocol::wipe(packet);
    forgetInput();

    for (std::size_t k = 0; k < written.size(); ++k)
        setCell(written[k], resultColumn(), QString::fromStdString(outcomeText(outcomes[k])));
    showStatus(QString::fromStdString(summaryText(outcomes)));
    done_ = true;
    afterWrite(written, outcomes);
    busy.end();
    setWriting(false);
}

void CameraBatchDialog::afterWrite(const std::vector<std::size_t>&,
                                   const std::vector<protocol::BatchOutcome>&)
{}

void CameraBatchDialog::cmdCancelClick()
{
    if (writing_)
        cancelRequested_ = true;
    else
        QDialog::reject();
}

// Escape, and the title bar's close button, stop a write rather than leave it running unseen.
void CameraBatchDialog::reject()
{
    if (writing_)
        cancelRequested_ = true;
    else
        QDialog::reject();
}

// Space toggles the check box of the row with the cursor, in whichever column the cursor is.
bool CameraBatchDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        QTreeWidgetItem* item = list_->currentItem();
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && item != nullptr) {
            if (item->flags().testFlag(Qt::ItemIsUserCheckable))
                item->setCheckState(kNumber, item->checkState(kNumber) == Qt::Checked
                                                 ? Qt::Unchecked
                                                 : Qt::Checked);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CameraBatchDialog::closeEvent(QCloseEvent* event)
{
    if (writing_) {
        cancelRequested_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace app
