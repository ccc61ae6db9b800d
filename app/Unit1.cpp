#include "app/Unit1.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QUrl>

#include "app/assign_addresses.h"
#include "app/busy_state.h"
#include "app/camera_batch.h"
#include "app/camera_text.h"
#include "app/control_names.h"
#include "app/message_boxes.h"
#include "app/responsive_endpoint.h"
#include "app/set_passwords.h"
#include "net/udp_endpoint.h"
#include "protocol/settings_write.h"
#include "protocol/wipe.h"
#include "settings/camera_fields.h"
#include "settings/camera_list.h"
#include "settings/field_changes.h"
#include "settings/file_access.h"
#include "settings/settings_file.h"
#include "settings/settings_values.h"
#include "telviq_version.h"
#include "theme/radio_group.h"
#include "theme/theme.h"
#include "ui_Unit1.h"

namespace {

constexpr int kClientWidth = 741;
constexpr int kClientHeight = 419;
// The camera list's columns as the form first had them: the number, the description.
constexpr int kNumberColumnWidth = 20;
constexpr int kDescriptionColumnWidth = 180;

const char* const kCameraInformation = "Camera Information";
const char* const kNoAdapterPrompt =
    "No network adapter is on-line.\nPlease check network adapter or cable connection.\n\n"
    "Do you want to find network adapters again?";
const char* const kWriteCaption = "TELVIQ";
const char* const kListFull = "More cameras answered than the list can hold; it shows the first "
                              "%1.\n\n'telviq-cli find' lists every camera that answers.";
const char* const kSettingsFileFilter = "Settings files (*.json);;All files (*)";
const char* const kCameraListFilter = "CSV files (*.csv);;All files (*)";

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

void showError(QWidget* owner, const QString& text)
{
    app::showMessageBox(owner, text, QString(), QMessageBox::Critical, QMessageBox::Ok);
}

// The whole text or, with a box saying why, nothing: a file that was there stays as it was.
void saveText(QWidget* owner, const QString& path, const std::string& text)
{
    std::string why;
    if (!settings::replaceFile(QFile::encodeName(path).toStdString(), text, why))
        showError(owner, QStringLiteral("Cannot write %1:\n%2.")
                             .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(why)));
}

// Rich text, so that a camera's text that looks like markup shows as it is, line for line.
QString toolTipText(const std::string& text)
{
    return QStringLiteral("<p style='white-space:pre'>") +
           QString::fromStdString(text).toHtmlEscaped() + QStringLiteral("</p>");
}

// The room the widest of the list's numbers takes in its column, as the list draws it.
int widestRowNumber(const QTreeWidget* list)
{
    QStyleOptionViewItem number;
    number.initFrom(list);
    number.font = list->font();
    number.features = QStyleOptionViewItem::HasDisplay;
    int widest = 0;
    for (std::size_t row = 1; row <= protocol::kTableSlots; ++row) {
        number.text = QString::number(row);
        const QSize size =
            list->style()->sizeFromContents(QStyle::CT_ItemViewItem, &number, QSize(), list);
        widest = std::max(widest, size.width());
    }
    return widest;
}

// The Tab key visits the widgets in the order given; a radio group stands for its items.
void chainTabOrder(const std::vector<QWidget*>& widgets)
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

TForm1::TForm1(hostnet::AdapterSource& adapterSource, WindowOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(new Ui::TForm1),
      IdUDPClient1(options.endpoint ? std::move(options.endpoint)
                                    : std::make_unique<net::UdpEndpoint>()),
      adapterSource_(adapterSource), options_(std::move(options))
{
    ui->setupUi(this);
    bindFieldControls();
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
    // Numbers from 100 on are wider than the form's number column: it takes the room they need
    // from the description column, and the list keeps its width.
    const int number = std::max(kNumberColumnWidth, widestRowNumber(list));
    const int description = kNumberColumnWidth + kDescriptionColumnWidth - number;
    header->setMinimumSectionSize(kNumberColumnWidth);
    header->resizeSection(0, number);
    header->resizeSection(1, description);
    // The description column may grow but never gets narrower than it starts.
    connect(header, &QHeaderView::sectionResized, this,
            [header, description](int section, int, int size) {
                if (section == 1 && size < description)
                    header->resizeSection(1, description);
            });

    QPalette palette = list->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setBrush(QPalette::Inactive, role, palette.brush(QPalette::Active, role));
    list->setPalette(palette);

    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
}

// Mouse input to the list arrives at its viewport, keys and keyboard context menus at the list.
bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    QTreeWidget* list = ui->listIpCamera;
    if (watched == list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            // The right button opens its row's menu without putting that camera on show.
            return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        case QEvent::ContextMenu: {
            const auto* request = static_cast<QContextMenuEvent*>(event);
            QTreeWidgetItem* item = list->itemAt(request->pos());
            onUserEvent([&] { listIpCameraContextPopup(list, item, request->globalPos()); });
            return true;
        }
        default:
            break;
        }
    } else if (watched == list) {
        // Some platforms turn the Menu key into a context menu event, some pass the key on, and
        // none here does so for Shift+F10; the menu open, a second request goes to the menu.
        bool menuAsked =
            event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            menuAsked = (key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
                        (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
        }
        if (menuAsked) {
            onUserEvent([this] { openContextMenuOfSelectedRow(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::openContextMenuOfSelectedRow()
{
    QTreeWidget* list = ui->listIpCamera;
    const int row = state_.selectedCameraIndex;
    if (row < 0) {
        listIpCameraContextPopup(list, nullptr, list->viewport()->mapToGlobal(QPoint()));
        return;
    }
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->scrollToItem(item);
    const QRect place = list->visualItemRect(item);
    const QPoint corner(place.left() + list->header()->sectionSize(0), place.bottom());
    listIpCameraContextPopup(list, item, list->viewport()->mapToGlobal(corner));
}

void TForm1::bindFieldControls()
{
    for (const settings::CameraField& field : settings::cameraFields()) {
        const QString name = QString::fromLatin1(field.control);
        FieldControl control{&field, nullptr, nullptr};
        if (field.kind == settings::FieldKind::choice)
            control.group = findChild<theme::RadioGroup*>(name);
        else
            control.edit = findChild<QLineEdit*>(name);
        if (control.group == nullptr && control.edit == nullptr)
            throw std::logic_error("The form has no control " + name.toStdString() +
                                   " for the camera's " + field.name);
        fieldControls_.push_back(control);
    }
}

// What a screen reader announces for each control: the caption a sighted user reads on it or
// beside it, without "&" and ":".
void TForm1::nameControls()
{
    app::nameControlsByCaptions(this);
    // The two SMTP server edits stand beside the items that choose them.
    const QStringList smtpTypes = ui->optSmtpServerType->items();
    ui->txtSmtpDomain->setAccessibleName(app::spokenCaption(smtpTypes.value(0)));
    ui->txtSmtpIpAddress->setAccessibleName(app::spokenCaption(smtpTypes.value(1)));
    ui->listIpCamera->setAccessibleName(ui->groupCameraList->title());
}

// Find, then the settings of the page on top in each field's tab order, then Save and Exit. The
// PC edits are disabled and the camera list takes the focus only by a click, so Tab passes both
// by.
void TForm1::setUpTabOrder()
{
    std::vector<const FieldControl*> fields;
    for (const FieldControl& control : fieldControls_)
        fields.push_back(&control);
    // A control's page is the tab that holds it, however deep in group boxes it sits.
    const auto page = [&](const FieldControl* control) {
        QWidget* widget = control->edit ? static_cast<QWidget*>(control->edit) : control->group;
        while (widget != nullptr && ui->IpCameraInfoPage->indexOf(widget) < 0)
            widget = widget->parentWidget();
        return ui->IpCameraInfoPage->indexOf(widget);
    };
    std::stable_sort(fields.begin(), fields.end(), [&](const auto* a, const auto* b) {
        const int pageA = page(a);
        const int pageB = page(b);
        return pageA != pageB ? pageA < pageB : a->field->tabOrder < b->field->tabOrder;
    });
    std::vector<QWidget*> chain = {ui->cmdFind, ui->IpCameraInfoPage};
    for (const FieldControl* control : fields)
        chain.push_back(control->edit ? static_cast<QWidget*>(control->edit) : control->group);
    chain.push_back(ui->cmdSave);
    chain.push_back(ui->cmdExit);
    chainTabOrder(chain);
}

const protocol::CameraRecord& TForm1::recordOfRow(int row) const
{
    return state_.cameraTable.slots.at(static_cast<std::size_t>(row));
}

void TForm1::enterNoCameraShown()
{
    state_.selectedCameraIndex = -1;
    ui->IpCameraInfoPage->hide();
    ui->cmdSave->setEnabled(false);
    ui->groupIpCameraInfo->setTitle(QString::fromLatin1(kCameraInformation));
}

void TForm1::FormCreate(QObject*)
{
    state_.searchListenSeconds = options_.searchListenSeconds;
    state_.ackWaitSeconds = options_.ackWaitSeconds;

    for (const FieldControl& control : fieldControls_)
        if (control.field->maxLength > 0)
            app::limitTyping(control.edit, static_cast<int>(control.field->maxLength));
    // The camera's edits take only characters a camera can store.
    auto* cameraText = new app::CameraTextValidator(this);
    for (QLineEdit* edit : ui->IpCameraInfoPage->findChildren<QLineEdit*>())
        edit->setValidator(cameraText);

    enterNoCameraShown();
    ui->IpCameraInfoPage->setCurrentWidget(ui->pageMain);

    while (!hostnet::LoadHostAdapterInfo(state_.hostAdapterInfo, adapterSource_)) {
        const auto answer =
            app::showMessageBox(this, QString::fromLatin1(kNoAdapterPrompt), QString(),
                                QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) {
            creationCancelled_ = true;
            return;
        }
    }

    const hostnet::PcGroupTexts texts = hostnet::pcGroupTexts(state_.hostAdapterInfo);
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
    state_.hostAdapterInfo.networkParameters.reset();
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
    cameraNotes_.clear();
    list->repaint();

    app::ResponsiveEndpoint endpoint(*IdUDPClient1, options_.ticks);
    const bool moreAnswered = protocol::discoverCameras(endpoint, state_.cameraTable,
                                                        state_.searchListenSeconds, options_.ticks);

    // The adapters as they are now, not as the PC group shows them from the start: a cable
    // plugged in since then counts.
    hostnet::HostAdapterInfo adapters;
    hostnet::LoadHostAdapterInfo(adapters, adapterSource_);
    cameraNotes_ = app::cameraNotes(state_.cameraTable, hostnet::adapterSubnets(adapters));
    const std::vector<settings::CameraRow> rows = settings::cameraRows(state_.cameraTable);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(
            list, {app::fromCamera(rows[i].number), app::fromCamera(rows[i].description)});
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        for (int column = 0; column < 2; ++column)
            item->setToolTip(column, toolTipText(cameraNotes_[i].toolTip));
    }

    // A full list looks like the whole site; the command line lists them all.
    if (moreAnswered) {
        busy.end();
        app::showMessageBox(this, QString::fromLatin1(kListFull).arg(protocol::kTableSlots),
                            QString(), QMessageBox::Information, QMessageBox::Ok);
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
    state_.selectedCameraIndex = f.listIpCamera->indexOfTopLevelItem(Item);
    const settings::SettingsValues v = settings::decodeCameraRecord(
        state_.cameraTable.slots.at(static_cast<std::size_t>(state_.selectedCameraIndex)));
    // A group caption would take "&" for an access key; the description shows as it is.
    f.groupIpCameraInfo->setTitle(
        app::fromCamera(v.cameraDescription).replace(QLatin1Char('&'), QStringLiteral("&&")));
    f.IpCameraInfoPage->show();
    showPages(v);
}

void TForm1::showPages(const settings::SettingsValues& v)
{
    for (const FieldControl& control : fieldControls_) {
        if (control.group)
            control.group->setItemIndex(v.*control.field->choice);
        else
            app::showText(control.edit, app::fromCamera(v.*control.field->text));
    }
    optTimeEmailClick(ui->optTimeEmail);
    optSmtpServerTypeClick(ui->optSmtpServerType);
    showTextsFromTheStart(ui->IpCameraInfoPage);
}

void TForm1::readPages(settings::SettingsValues& v) const
{
    for (const FieldControl& control : fieldControls_) {
        if (control.group)
            v.*control.field->choice = control.group->itemIndex();
        else
            readEdit(control.edit, v.*control.field->text);
    }
}

void TForm1::cmdSaveClick(QObject*)
{
    app::BusyState busy(this);

    settings::SettingsValues v;
    protocol::ParameterPacket packet;
    const auto cleanUp = qScopeGuard([&] { wipeSecrets(v, packet); });
    const protocol::CameraRecord& selected =
        state_.cameraTable.slots.at(static_cast<std::size_t>(state_.selectedCameraIndex));

    readPages(v);

    if (const std::optional<std::string> label = settings::collectSettings(v, selected, packet)) {
        busy.end();
        showError(this, QString::fromStdString(settings::invalidInputMessage(*label)));
        return;
    }

    app::ResponsiveEndpoint endpoint(*IdUDPClient1, options_.ticks);
    const protocol::WriteOutcome outcome =
        protocol::writeSettings(endpoint, packet, state_.ackWaitSeconds, options_.ticks);
    wipeSecrets(v, packet);
    busy.end();
    if (outcome == protocol::WriteOutcome::acknowledged)
        app::showMessageBox(this, QString::fromLatin1(settings::kWriteOk),
                            QString::fromLatin1(kWriteCaption), QMessageBox::Information,
                            QMessageBox::Ok);
    else
        app::showMessageBox(this, QString::fromLatin1(settings::kWriteFail),
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

void TForm1::listIpCameraContextPopup(QObject*, QTreeWidgetItem* Item, const QPoint& MousePos)
{
    const int row = Item ? ui->listIpCamera->indexOfTopLevelItem(Item) : -1;
    if (Item && (row < 0 || static_cast<std::size_t>(row) >= cameraNotes_.size()))
        return;

    QMenu menu(this);
    using RowHandler = void (TForm1::*)(QObject*, int);
    using ListHandler = void (TForm1::*)(QObject*);
    std::vector<std::pair<QAction*, RowHandler>> rowItems;
    if (row >= 0) {
        for (const std::string& warning : cameraNotes_[static_cast<std::size_t>(row)].warnings)
            menu.addAction(QString::fromStdString(warning))->setEnabled(false);
        if (!menu.isEmpty())
            menu.addSeparator();
        rowItems = {
            {menu.addAction(QStringLiteral("Open Web Page")), &TForm1::mnuOpenWebPageClick},
            {menu.addAction(QStringLiteral("Copy IP Address")), &TForm1::mnuCopyIpAddressClick},
            {menu.addAction(QStringLiteral("Copy MAC Address")), &TForm1::mnuCopyMacAddressClick},
        };
        menu.addSeparator();
        rowItems.emplace_back(menu.addAction(QString::fromUtf8("Save Settings to File\u2026")),
                              &TForm1::mnuSaveSettingsToFileClick);
        rowItems.emplace_back(menu.addAction(QString::fromUtf8("Apply Settings from File\u2026")),
                              &TForm1::mnuApplySettingsFromFileClick);
        menu.addSeparator();
    }
    const std::pair<QAction*, ListHandler> listItems[] = {
        {menu.addAction(QString::fromUtf8("Assign Addresses\u2026")),
         &TForm1::mnuAssignAddressesClick},
        {menu.addAction(QString::fromUtf8("Set Passwords\u2026")), &TForm1::mnuSetPasswordsClick},
        {menu.addAction(QString::fromUtf8("Export Camera List\u2026")),
         &TForm1::mnuExportCameraListClick},
    };
    for (const auto& [action, handler] : listItems)
        action->setEnabled(state_.cameraTable.count > 0);

    // The item runs once the menu has closed, as a handler of its own.
    const QAction* chosen = menu.exec(MousePos);
    for (const auto& [action, handler] : rowItems)
        if (action == chosen)
            onUserEvent([&, action = action, handler = handler] { (this->*handler)(action, row); });
    for (const auto& [action, handler] : listItems)
        if (action == chosen)
            onUserEvent([&, action = action, handler = handler] { (this->*handler)(action); });
}

void TForm1::mnuOpenWebPageClick(QObject*, int Row)
{
    const std::string address = net::formatIpv4(settings::usedAddress(recordOfRow(Row)));
    const QUrl page(QStringLiteral("http://%1/").arg(QString::fromStdString(address)));
    if (!QDesktopServices::openUrl(page))
        showError(this,
                  QStringLiteral("No web browser could be started for %1.").arg(page.toString()));
}

void TForm1::mnuCopyIpAddressClick(QObject*, int Row)
{
    const std::string address = net::formatIpv4(settings::usedAddress(recordOfRow(Row)));
    QGuiApplication::clipboard()->setText(QString::fromStdString(address));
}

void TForm1::mnuCopyMacAddressClick(QObject*, int Row)
{
    const std::string mac = net::formatMac(protocol::macAddress(recordOfRow(Row)));
    QGuiApplication::clipboard()->setText(QString::fromStdString(mac));
}

// The camera on show is saved as its pages stand, any other as its pages would first show it;
// passwords never, since cameras do not report them.
void TForm1::mnuSaveSettingsToFileClick(QObject*, int Row)
{
    settings::SettingsValues v;
    const auto cleanUp = qScopeGuard([&] { settings::wipePasswords(v); });
    if (Row == state_.selectedCameraIndex)
        readPages(v);
    else
        v = settings::valuesOf(recordOfRow(Row));

    // A value the reader refuses (an address such as 10.0.0.300, an hour of 24) would make a file
    // that nothing can apply.
    const std::string text = settings::writeSettingsFile(v);
    settings::SettingsFile check;
    settings::SettingsFileError fault;
    if (!settings::readSettingsFile(text, check, fault)) {
        showError(this, QStringLiteral("The settings cannot be saved to a file:\n\n%1.")
                            .arg(QString::fromStdString(fault.message)));
        return;
    }

    const QString name =
        QString::fromStdString(net::formatMac(protocol::macAddress(recordOfRow(Row))));
    const QString folder = settingsFolder_.isEmpty() ? QDir::homePath() : settingsFolder_;
    const QString path = app::askSaveFileName(this, QStringLiteral("Save Settings to File"),
                                              QDir(folder).filePath(name + QStringLiteral(".json")),
                                              QString::fromLatin1(kSettingsFileFilter));
    if (path.isEmpty())
        return;
    settingsFolder_ = QFileInfo(path).absolutePath();
    saveText(this, path, text);
}

// The file's fields go onto the pages of the row's camera and nothing is sent: the user looks
// them over and presses Save, which checks them as it checks any edit.
void TForm1::mnuApplySettingsFromFileClick(QObject*, int Row)
{
    const QString folder = settingsFolder_.isEmpty() ? QDir::homePath() : settingsFolder_;
    const QString path = app::askOpenFileName(this, QStringLiteral("Apply Settings from File"),
                                              folder, QString::fromLatin1(kSettingsFileFilter));
    if (path.isEmpty())
        return;
    settingsFolder_ = QFileInfo(path).absolutePath();

    // The file may hold passwords.
    std::string text;
    settings::SettingsFile contents;
    settings::SettingsValues v;
    const auto cleanUp = qScopeGuard([&] {
        protocol::wipe(text);
        for (settings::FieldChange& change : contents.changes)
            protocol::wipe(change.text);
        settings::wipePasswords(v);
    });
    std::string why;
    if (!settings::readFileBounded(QFile::encodeName(path).toStdString(), text, why)) {
        showError(this, QStringLiteral("Cannot read %1:\n%2.")
                            .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(why)));
        return;
    }
    settings::SettingsFileError fault;
    if (!settings::readSettingsFile(text, contents, fault)) {
        showError(this,
                  QStringLiteral("%1 cannot be applied:\n\n%2.")
                      .arg(QDir::toNativeSeparators(path), QString::fromStdString(fault.text())));
        return;
    }

    if (Row != state_.selectedCameraIndex)
        ui->listIpCamera->setCurrentItem(ui->listIpCamera->topLevelItem(Row));
    readPages(v);
    for (const settings::FieldChange& change : contents.changes)
        settings::applyChange(v, change);
    showPages(v);
}

app::BatchContext TForm1::batchContext()
{
    app::BatchContext context;
    context.window = this;
    context.table = &state_.cameraTable;
    context.adapters = &state_.hostAdapterInfo;
    context.endpoint = IdUDPClient1.get();
    context.ticks = options_.ticks;
    context.ackWaitSeconds = state_.ackWaitSeconds;
    context.find = [this] { guarded([this] { cmdFindClick(ui->cmdFind); }); };
    return context;
}

void TForm1::mnuAssignAddressesClick(QObject*)
{
    app::AssignAddressesDialog dialog(batchContext(), this);
    dialog.exec();
}

void TForm1::mnuSetPasswordsClick(QObject*)
{
    app::SetPasswordsDialog dialog(batchContext(), this);
    dialog.exec();
}

// As `telviq-cli find --csv` lists them: each camera once, however many rows it has.
void TForm1::mnuExportCameraListClick(QObject*)
{
    const std::vector<app::ListedCamera> cameras = app::camerasOnce(state_.cameraTable);
    std::vector<const protocol::CameraRecord*> records;
    for (const app::ListedCamera& camera : cameras)
        records.push_back(&camera.record);
    const std::string text = settings::cameraListCsv(records);

    const QString folder = settingsFolder_.isEmpty() ? QDir::homePath() : settingsFolder_;
    const QString path = app::askSaveFileName(this, QStringLiteral("Export Camera List"),
                                              QDir(folder).filePath(QStringLiteral("cameras.csv")),
                                              QString::fromLatin1(kCameraListFilter));
    if (path.isEmpty())
        return;
    settingsFolder_ = QFileInfo(path).absolutePath();
    saveText(this, path, text);
}

int runMainWindow(hostnet::AdapterSource& adapterSource, WindowOptions options)
{
    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(adapterSource, std::move(options));
    } catch (const std::exception& error) {
        app::showStandardError(nullptr, error);
        return 1;
    }
    if (form->creationCancelled())
        return -1;
    form->show();
    QApplication::exec();
    return 0;
}
