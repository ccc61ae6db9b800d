#include "app/Unit1.h"

#include <initializer_list>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTreeWidget>

#include "app/busy_state.h"
#include "app/camera_text.h"
#include "app/message_boxes.h"
#include "app/responsive_endpoint.h"
#include "net/udp_endpoint.h"
#include "protocol/settings_write.h"
#include "protocol/wipe.h"
#include "settings/settings_values.h"
#include "telviq_version.h"
#include "theme/radio_group.h"
#include "theme/theme.h"
#include "ui_Unit1.h"

protocol::CameraTable cameraTable;
hostnet::HostAdapterInfo hostAdapterInfo;
std::uint32_t searchListenSeconds = 0;
std::int32_t ackWaitSeconds = 0;
std::int32_t selectedCameraIndex = 0;

namespace {

constexpr int kClientWidth = 741;
constexpr int kClientHeight = 419;

const char* const kCameraInformation = "Camera Information";
const char* const kNoAdapterPrompt =
    "No network adapter is on-line.\nPlease check network adapter or cable connection.\n\n"
    "Do you want to find network adapters again?";
const char* const kWriteOk = "Settings write ok!\n";
const char* const kWriteFail = "Settings write fail!\n";
const char* const kWriteCaption = "TELVIQ";

// An edit's text as camera bytes, written straight into its place in the values, so that a
// password's bytes leave no copy behind but the edit's. The edits refuse every character the
// cameras cannot store as it is typed, so none can be there; should one be all the same, Save
// stops with an error rather than send something else.
void readEdit(const QLineEdit* edit, std::string& out)
{
    if (!app::toCamera(edit->text(), out))
        throw std::logic_error("The " + edit->objectName().toStdString() +
                               " box holds a character cameras cannot store");
}

// A text too long for its edit shows its beginning, not its end where setText leaves the cursor.
void showTextsFromTheStart(QWidget* area)
{
    for (QLineEdit* edit : area->findChildren<QLineEdit*>())
        edit->setCursorPosition(0);
}

int itemIndexOf(QObject* sender)
{
    const auto* group = qobject_cast<const theme::RadioGroup*>(sender);
    return group ? group->itemIndex() : -1;
}

// Passwords typed by the user do not outlive the Save that sent them.
void wipeSecrets(settings::SettingsValues& values, protocol::ParameterPacket& packet)
{
    settings::wipePasswords(values);
    protocol::wipe(packet);
}

// The Tab key visits the widgets in the order given; a radio group stands for its items.
void chainTabOrder(std::initializer_list<QWidget*> widgets)
{
    std::vector<QWidget*> stops;
    for (QWidget* widget : widgets) {
        if (auto* group = qobject_cast<theme::RadioGroup*>(widget)) {
            for (int i = 0; i < group->items().size(); ++i)
                stops.push_back(group->itemButton(i));
        } else {
            stops.push_back(widget);
        }
    }
    for (std::size_t i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

} // namespace

TForm1::TForm1(hostnet::AdapterSource& adapterSource,
               std::unique_ptr<net::DatagramEndpoint> endpoint, protocol::TickSource ticks,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(new Ui::TForm1),
      IdUDPClient1(endpoint ? std::move(endpoint) : std::make_unique<net::UdpEndpoint>()),
      adapterSource_(adapterSource), ticks_(std::move(ticks))
{
    ui->setupUi(this);
    // The form's %1 is the build's version, so that the title cannot drift from it.
    setWindowTitle(windowTitle().arg(QLatin1String(version::kMajorMinor)));
    setWindowIcon(theme::applicationIcon());
    setFixedSize(kClientWidth, kClientHeight);
    setUpCameraList();
    setUpTabOrder();
    nameControls();
    bindEvents();

    // FormCreate is part of building the window: an exception from it ends the building.
    FormCreate(this);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TForm1::~TForm1() = default;

template <typename Body> void TForm1::guarded(Body&& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        app::showStandardError(this, error);
    } catch (...) {
        app::showStandardError(this, std::runtime_error("Unknown error"));
    }
}

// Input arrives here only when no handler is waiting (BusyState drops it meanwhile); the check
// keeps a handler from starting inside another all the same.
template <typename Body> void TForm1::onUserEvent(Body&& body)
{
    if (!app::BusyState::active())
        guarded(std::forward<Body>(body));
}

void TForm1::bindEvents()
{
    connect(ui->cmdExit, &QPushButton::clicked, this,
            [this] { onUserEvent([this] { cmdExitClick(ui->cmdExit); }); });
    connect(ui->cmdFind, &QPushButton::clicked, this,
            [this] { onUserEvent([this] { cmdFindClick(ui->cmdFind); }); });
    connect(ui->cmdSave, &QPushButton::clicked, this,
            [this] { onUserEvent([this] { cmdSaveClick(ui->cmdSave); }); });
    connect(ui->optTimeEmail, &theme::RadioGroup::itemClicked, this,
            [this] { onUserEvent([this] { optTimeEmailClick(ui->optTimeEmail); }); });
    connect(ui->optSmtpServerType, &theme::RadioGroup::itemClicked, this,
            [this] { onUserEvent([this] { optSmtpServerTypeClick(ui->optSmtpServerType); }); });

    // Selection changes also come from Find emptying the list, inside its handler, so they are
    // not refused while busy. The old row's deselection is reported before the new row's
    // selection, so a change of rows ends with the new camera on show.
    QTreeWidget* list = ui->listIpCamera;
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, list](const QItemSelection& selected, const QItemSelection& deselected) {
                guarded([&] {
                    for (const QModelIndex& index : deselected.indexes())
                        if (index.column() == 0)
                            listIpCameraSelectItem(list, list->itemFromIndex(index), false);
                    for (const QModelIndex& index : selected.indexes())
                        if (index.column() == 0)
                            listIpCameraSelectItem(list, list->itemFromIndex(index), true);
                });
            });
}

void TForm1::setUpCameraList()
{
    QTreeWidget* list = ui->listIpCamera;
    QHeaderView* header = list->header();
    header->setMinimumSectionSize(20);
    header->resizeSection(0, 20);
    header->resizeSection(1, 180);
    // The description column may grow but never gets narrower than it starts.
    connect(header, &QHeaderView::sectionResized, this, [header](int section, int, int size) {
        if (section == 1 && size < 180)
            header->resizeSection(1, 180);
    });

    QPalette palette = list->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setBrush(QPalette::Inactive, role, palette.brush(QPalette::Active, role));
    list->setPalette(palette);
}

// What a screen reader announces for each control: the caption a sighted user reads on it or
// beside it, without "&" and ":".
void TForm1::nameControls()
{
    const auto spoken = [](QString caption) {
        return caption.remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed();
    };
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        if (!button->text().isEmpty())
            button->setAccessibleName(spoken(button->text()));
    for (theme::RadioGroup* group : findChildren<theme::RadioGroup*>())
        group->setAccessibleName(spoken(group->title()));
    for (const QLabel* label : findChildren<QLabel*>())
        if (QWidget* edit = label->buddy())
            edit->setAccessibleName(spoken(label->text()));
    // The two SMTP server edits stand beside the items that choose them.
    const QStringList smtpTypes = ui->optSmtpServerType->items();
    ui->txtSmtpDomain->setAccessibleName(spoken(smtpTypes.value(0)));
    ui->txtSmtpIpAddress->setAccessibleName(spoken(smtpTypes.value(1)));
    ui->listIpCamera->setAccessibleName(ui->groupCameraList->title());
}

// Find, then the settings of the page on top, then Save and Exit. The PC edits are disabled and
// the camera list takes the focus only by a click, so Tab passes both by.
void TForm1::setUpTabOrder()
{
    Ui::TForm1& f = *ui;
    chainTabOrder({f.cmdFind, f.IpCameraInfoPage,
                   // Main
                   f.txtMacAddress2, f.txtFirmwareVersion2, f.txtCameraDescription2,
                   f.optMotionImage, f.txtUsedIPAddress,
                   // Image Parameter
                   f.optAntiFlicker, f.optImageResolution, f.optImageQuality, f.optImageBrightness,
                   f.optUpsideDown,
                   // Network Config
                   f.optNetworkType, f.txtAdslUserName, f.txtAdslPassword, f.txtIpAddress2,
                   f.txtSubnetMask2, f.txtGateway2, f.txtDnsServer2, f.txtDdnsUserName,
                   f.txtDdnsDomainName, f.txtDdnsPassword,
                   // E-mail Config
                   f.optSmtpServerType, f.txtSmtpDomain, f.txtEmailSender, f.txtEmailReceiver,
                   f.txtEmailCopy, f.txtEmailAccount, f.txtEmailPassword, f.optTimeEmail, f.txtHour,
                   f.txtMinute, f.txtTriggerCount, f.txtSmtpIpAddress, f.optEmailAuthentication,
                   // Password
                   f.txtAdminPassword, f.txtNewAdminPassword, f.txtUserPassword,
                   f.txtNewUserPassword, f.optUserPassword, f.cmdSave, f.cmdExit});
}

void TForm1::enterNoCameraShown()
{
    ui->IpCameraInfoPage->hide();
    ui->cmdSave->setEnabled(false);
    ui->groupIpCameraInfo->setTitle(QString::fromLatin1(kCameraInformation));
}

void TForm1::FormCreate(QObject*)
{
    searchListenSeconds = 1;
    ackWaitSeconds = 10;

    const std::initializer_list<std::pair<QLineEdit*, int>> limits = {
        {ui->txtAdslUserName, 30},       {ui->txtSmtpDomain, 30},       {ui->txtEmailSender, 40},
        {ui->txtEmailReceiver, 40},      {ui->txtEmailCopy, 40},        {ui->txtEmailAccount, 40},
        {ui->txtCameraDescription2, 40}, {ui->txtDdnsUserName, 30},     {ui->txtDdnsDomainName, 81},
        {ui->txtAdslPassword, 20},       {ui->txtDdnsPassword, 21},     {ui->txtEmailPassword, 20},
        {ui->txtAdminPassword, 10},      {ui->txtNewAdminPassword, 10}, {ui->txtUserPassword, 10},
        {ui->txtNewUserPassword, 10}};
    for (const auto& [edit, maxLength] : limits)
        app::limitTyping(edit, maxLength);
    // The camera's edits take only characters a camera can store.
    auto* cameraText = new app::CameraTextValidator(this);
    for (QLineEdit* edit : ui->IpCameraInfoPage->findChildren<QLineEdit*>())
        edit->setValidator(cameraText);

    enterNoCameraShown();
    ui->IpCameraInfoPage->setCurrentWidget(ui->pageMain);

    while (!hostnet::LoadHostAdapterInfo(hostAdapterInfo, adapterSource_)) {
        const auto answer =
            app::showMessageBox(this, QString::fromLatin1(kNoAdapterPrompt), QString(),
                                QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) {
            creationCancelled_ = true;
            return;
        }
    }

    const hostnet::PcGroupTexts texts = hostnet::pcGroupTexts(hostAdapterInfo);
    ui->txtHostName->setText(QString::fromStdString(texts.hostName));
    ui->txtMacAddress->setText(QString::fromStdString(texts.macAddress));
    ui->txtAdapterName->setText(QString::fromStdString(texts.adapterName));
    ui->txtIpAddress->setText(QString::fromStdString(texts.ipAddress));
    ui->txtSubnetMask->setText(QString::fromStdString(texts.subnetMask));
    ui->txtGateway->setText(QString::fromStdString(texts.gateway));
    ui->txtDnsServer->setText(QString::fromStdString(texts.dnsServer));
    showTextsFromTheStart(ui->groupPcNetwork);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    guarded([&] { FormClose(this, event); });
    QWidget::closeEvent(event);
}

void TForm1::FormClose(QObject*, QCloseEvent*)
{
    hostAdapterInfo.networkParameters.reset();
}

void TForm1::cmdExitClick(QObject*)
{
    close();
}

void TForm1::cmdFindClick(QObject*)
{
    app::BusyState busy(this);

    // Losing the selection hides the pages and disables Save, so Save can never send the values
    // on show to whatever camera the new search puts in the old row's slot.
    QTreeWidget* list = ui->listIpCamera;
    list->clearSelection();
    list->clear();
    list->repaint();

    app::ResponsiveEndpoint endpoint(*IdUDPClient1, ticks_);
    protocol::discoverCameras(endpoint, cameraTable, searchListenSeconds, ticks_);

    for (const protocol::CameraRow& row : protocol::cameraRows(cameraTable)) {
        auto* item = new QTreeWidgetItem(
            list, {app::fromCamera(row.number), app::fromCamera(row.description)});
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
}

void TForm1::listIpCameraSelectItem(QObject*, QTreeWidgetItem* Item, bool Selected)
{
    Ui::TForm1& f = *ui;
    if (!Selected) {
        enterNoCameraShown();
        return;
    }

    f.cmdSave->setEnabled(true);
    selectedCameraIndex = f.listIpCamera->indexOfTopLevelItem(Item);
    const settings::SettingsValues v = settings::decodeCameraRecord(
        cameraTable.slots.at(static_cast<std::size_t>(selectedCameraIndex)));
    // A group caption would take "&" for an access key; the description shows as it is.
    f.groupIpCameraInfo->setTitle(
        app::fromCamera(v.txtCameraDescription2).replace(QLatin1Char('&'), QStringLiteral("&&")));
    f.IpCameraInfoPage->show();

    app::showText(f.txtMacAddress2, app::fromCamera(v.txtMacAddress2));
    app::showText(f.txtUsedIPAddress, app::fromCamera(v.txtUsedIPAddress));
    app::showText(f.txtFirmwareVersion2, app::fromCamera(v.txtFirmwareVersion2));
    app::showText(f.txtCameraDescription2, app::fromCamera(v.txtCameraDescription2));
    f.optMotionImage->setItemIndex(v.optMotionImage);
    f.optAntiFlicker->setItemIndex(v.optAntiFlicker);
    f.optImageResolution->setItemIndex(v.optImageResolution);
    f.optImageQuality->setItemIndex(v.optImageQuality);
    f.optImageBrightness->setItemIndex(v.optImageBrightness);
    f.optUpsideDown->setItemIndex(v.optUpsideDown);
    f.optNetworkType->setItemIndex(v.optNetworkType);
    app::showText(f.txtIpAddress2, app::fromCamera(v.txtIpAddress2));
    app::showText(f.txtSubnetMask2, app::fromCamera(v.txtSubnetMask2));
    app::showText(f.txtGateway2, app::fromCamera(v.txtGateway2));
    app::showText(f.txtDnsServer2, app::fromCamera(v.txtDnsServer2));
    app::showText(f.txtAdslUserName, app::fromCamera(v.txtAdslUserName));
    f.txtAdslPassword->clear();
    app::showText(f.txtDdnsUserName, app::fromCamera(v.txtDdnsUserName));
    app::showText(f.txtDdnsDomainName, app::fromCamera(v.txtDdnsDomainName));
    f.txtDdnsPassword->clear();
    app::showText(f.txtSmtpDomain, app::fromCamera(v.txtSmtpDomain));
    app::showText(f.txtEmailSender, app::fromCamera(v.txtEmailSender));
    app::showText(f.txtEmailReceiver, app::fromCamera(v.txtEmailReceiver));
    app::showText(f.txtEmailCopy, app::fromCamera(v.txtEmailCopy));
    app::showText(f.txtEmailAccount, app::fromCamera(v.txtEmailAccount));
    f.txtEmailPassword->clear();
    f.optTimeEmail->setItemIndex(v.optTimeEmail);
    f.optEmailAuthentication->setItemIndex(v.optEmailAuthentication);
    f.txtAdminPassword->clear();
    f.txtNewAdminPassword->clear();
    f.txtUserPassword->clear();
    f.txtNewUserPassword->clear();
    f.optUserPassword->setItemIndex(v.optUserPassword);
    app::showText(f.txtSmtpIpAddress, app::fromCamera(v.txtSmtpIpAddress));
    app::showText(f.txtHour, app::fromCamera(v.txtHour));
    app::showText(f.txtMinute, app::fromCamera(v.txtMinute));
    app::showText(f.txtTriggerCount, app::fromCamera(v.txtTriggerCount));
    optTimeEmailClick(f.optTimeEmail);
    f.optSmtpServerType->setItemIndex(v.optSmtpServerType);
    optSmtpServerTypeClick(f.optSmtpServerType);
    showTextsFromTheStart(f.IpCameraInfoPage);
}

void TForm1::cmdSaveClick(QObject*)
{
    app::BusyState busy(this);
    const Ui::TForm1& f = *ui;

    settings::SettingsValues v;
    protocol::ParameterPacket packet;
    const auto cleanUp = qScopeGuard([&] { wipeSecrets(v, packet); });
    const protocol::CameraRecord& selected =
        cameraTable.slots.at(static_cast<std::size_t>(selectedCameraIndex));

    readEdit(f.txtMacAddress2, v.txtMacAddress2);
    readEdit(f.txtUsedIPAddress, v.txtUsedIPAddress);
    readEdit(f.txtFirmwareVersion2, v.txtFirmwareVersion2);
    readEdit(f.txtCameraDescription2, v.txtCameraDescription2);
    v.optMotionImage = f.optMotionImage->itemIndex();
    v.optAntiFlicker = f.optAntiFlicker->itemIndex();
    v.optImageResolution = f.optImageResolution->itemIndex();
    v.optImageQuality = f.optImageQuality->itemIndex();
    v.optImageBrightness = f.optImageBrightness->itemIndex();
    v.optUpsideDown = f.optUpsideDown->itemIndex();
    v.optNetworkType = f.optNetworkType->itemIndex();
    readEdit(f.txtIpAddress2, v.txtIpAddress2);
    readEdit(f.txtSubnetMask2, v.txtSubnetMask2);
    readEdit(f.txtGateway2, v.txtGateway2);
    readEdit(f.txtDnsServer2, v.txtDnsServer2);
    readEdit(f.txtAdslUserName, v.txtAdslUserName);
    readEdit(f.txtAdslPassword, v.txtAdslPassword);
    readEdit(f.txtDdnsUserName, v.txtDdnsUserName);
    readEdit(f.txtDdnsDomainName, v.txtDdnsDomainName);
    readEdit(f.txtDdnsPassword, v.txtDdnsPassword);
    v.optSmtpServerType = f.optSmtpServerType->itemIndex();
    readEdit(f.txtSmtpDomain, v.txtSmtpDomain);
    readEdit(f.txtSmtpIpAddress, v.txtSmtpIpAddress);
    readEdit(f.txtEmailSender, v.txtEmailSender);
    readEdit(f.txtEmailReceiver, v.txtEmailReceiver);
    readEdit(f.txtEmailCopy, v.txtEmailCopy);
    readEdit(f.txtEmailAccount, v.txtEmailAccount);
    readEdit(f.txtEmailPassword, v.txtEmailPassword);
    v.optTimeEmail = f.optTimeEmail->itemIndex();
    readEdit(f.txtHour, v.txtHour);
    readEdit(f.txtMinute, v.txtMinute);
    readEdit(f.txtTriggerCount, v.txtTriggerCount);
    v.optEmailAuthentication = f.optEmailAuthentication->itemIndex();
    readEdit(f.txtAdminPassword, v.txtAdminPassword);
    readEdit(f.txtNewAdminPassword, v.txtNewAdminPassword);
    readEdit(f.txtUserPassword, v.txtUserPassword);
    readEdit(f.txtNewUserPassword, v.txtNewUserPassword);
    v.optUserPassword = f.optUserPassword->itemIndex();

    if (const std::optional<std::string> label = settings::collectSettings(v, selected, packet)) {
        busy.end();
        app::showMessageBox(this, QString::fromStdString(settings::invalidInputMessage(*label)),
                            QString(), QMessageBox::Critical, QMessageBox::Ok);
        return;
    }

    app::ResponsiveEndpoint endpoint(*IdUDPClient1, ticks_);
    const bool acknowledged = protocol::writeSettings(endpoint, packet, ackWaitSeconds, ticks_);
    wipeSecrets(v, packet);
    busy.end();
    if (acknowledged)
        app::showMessageBox(this, QString::fromLatin1(kWriteOk), QString::fromLatin1(kWriteCaption),
                            QMessageBox::Information, QMessageBox::Ok);
    else
        app::showMessageBox(this, QString::fromLatin1(kWriteFail),
                            QString::fromLatin1(kWriteCaption), QMessageBox::Critical,
                            QMessageBox::Ok);
}

void TForm1::optTimeEmailClick(QObject* Sender)
{
    const bool on = itemIndexOf(Sender) == 1;
    ui->lblHour->setEnabled(on);
    ui->txtHour->setEnabled(on);
    ui->lblMinute->setEnabled(on);
    ui->txtMinute->setEnabled(on);
}

void TForm1::optSmtpServerTypeClick(QObject* Sender)
{
    if (itemIndexOf(Sender) == 1) {
        ui->txtSmtpDomain->setEnabled(false);
        ui->txtSmtpIpAddress->setEnabled(true);
    } else {
        ui->txtSmtpDomain->setEnabled(true);
        ui->txtSmtpIpAddress->setEnabled(false);
    }
}

int runMainWindow(hostnet::AdapterSource& adapterSource,
                  std::unique_ptr<net::DatagramEndpoint> endpoint)
{
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(adapterSource, std::move(endpoint));
    } catch (const std::exception& error) {
        app::showStandardError(nullptr, error);
        return 0;
    }
    if (form->creationCancelled())
        return -1;
    form->show();
    QApplication::exec();
    return 0;
}
