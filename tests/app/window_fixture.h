#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "app/Unit1.h"
#include "app/message_boxes.h"
#include "camera_image.h"
#include "fake_adapter_source.h"
#include "fake_endpoint.h"
#include "tools/virtual-cameras/camera.h"

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// A camera whose reported values pass every check of Save.
inline fakes::CameraImage validCamera(std::uint8_t lastMacByte, const std::string& description)
{
    fakes::CameraImage camera(lastMacByte, description);
    camera.put(answerAt("hour"), {8}).put(answerAt("minute"), {30});
    return camera;
}

inline fakes::CameraImage cameraAt(std::uint8_t lastMacByte, const std::string& description,
                                   std::initializer_list<std::uint8_t> addressInUse)
{
    fakes::CameraImage camera = validCamera(lastMacByte, description);
    camera.put(answerAt("usedIPAddress"), addressInUse);
    return camera;
}

// The camera's acknowledgement of a parameter packet: the tag, then the packet's MAC.
inline std::vector<fakes::Arrival> acknowledge(const fakes::SentDatagram& sent)
{
    if (sent.port != protocol::kParameterPort)
        return {};
    const std::string tag = "MORVAK INFO ACK ";
    std::vector<std::uint8_t> ack(tag.begin(), tag.end());
    ack.insert(ack.end(), sent.bytes.begin() + 22, sent.bytes.begin() + 28);
    return {{30, ack}};
}

// Takes the web addresses the window asks the desktop to open, so that no browser starts.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    std::vector<QUrl> opened;
    Q_INVOKABLE void open(const QUrl& url) { opened.push_back(url); }
};

// The window over a fake adapter source and a fake endpoint; the hooks answer every box and file
// dialog, and web addresses go to the catcher.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        adapters.answers = {{fakes::ethernetAdapter("eth0", "198.51.100.7")}};
        adapters.parameters = {"pc1", "example.test", "198.51.100.53"};
        app::setMessageBoxHook(&boxes);
        app::setFileDialogHook(&fileDialogs);
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &urls, "open");
    }

    void TearDown() override
    {
        form.reset();
        app::setMessageBoxHook(nullptr);
        app::setFileDialogHook(nullptr);
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void build()
    {
        auto fake = std::make_unique<fakes::FakeEndpoint>();
        endpoint = fake.get();
        WindowOptions options;
        options.endpoint = std::move(fake);
        options.ticks = endpoint->ticks();
        form = std::make_unique<TForm1>(adapters, std::move(options));
        form->show();
    }

    template <typename T = QWidget> T* control(const char* name) const
    {
        if (T* widget = form->findChild<T*>(QString::fromLatin1(name)))
            return widget;
        throw std::runtime_error(std::string("no control ") + name);
    }

    void click(const char* button) { control<QPushButton>(button)->click(); }

    // The cameras answer every search, in this order, `apartMs` apart.
    void camerasAnswer(std::vector<fakes::CameraImage> cameras, std::uint32_t apartMs = 10)
    {
        endpoint->respond = [cameras, apartMs](const fakes::SentDatagram& sent) {
            std::vector<fakes::Arrival> arrivals;
            for (std::size_t i = 0; sent.port == protocol::kSearchPort && i < cameras.size(); ++i)
                arrivals.push_back(
                    {static_cast<std::uint32_t>(apartMs * (i + 1)), cameras[i].datagram()});
            return arrivals;
        };
    }

    // Cameras that answer every search, in this order, 10 ms apart, and take the parameter
    // packets that name them as the virtual cameras do, acknowledging them 30 ms later as their
    // behaviour says. One camera may be given twice: it is then heard twice, as through two
    // adapters.
    void camerasTakeWrites(const std::vector<fakes::CameraImage>& images)
    {
        for (const fakes::CameraImage& image : images) {
            camsim::Camera camera;
            camera.record.bytes = image.bytes;
            fleet.push_back(camera);
        }
        endpoint->respond = [this](const fakes::SentDatagram& sent) {
            std::vector<fakes::Arrival> arrivals;
            for (std::size_t i = 0; sent.port == protocol::kSearchPort && i < fleet.size(); ++i)
                arrivals.push_back(
                    {static_cast<std::uint32_t>(10 * (i + 1)), camsim::respondPacket(fleet[i])});
            if (sent.port != protocol::kParameterPort ||
                !camsim::isParameterPacket(sent.bytes.data(), sent.bytes.size()))
                return arrivals;
            for (camsim::Camera& camera : fleet) {
                if (protocol::macAddress(camera.record) != camsim::parameterMac(sent.bytes.data()))
                    continue;
                if (camera.behaviour.apply)
                    camsim::applyParameterPacket(camera, sent.bytes.data());
                for (std::vector<std::uint8_t>& ack : camsim::ackDatagrams(camera))
                    arrivals.push_back({30, std::move(ack)});
                break; // a camera heard twice is still one camera
            }
            return arrivals;
        };
    }

    // Runs `open`, which should bring up the modal dialog of that objectName, and `drive` on it
    // while it is open; the dialog is closed afterwards unless `drive` closed it. False when no
    // such dialog came up.
    bool withDialog(const std::function<void()>& open, const char* name,
                    const std::function<void(QDialog&)>& drive)
    {
        bool came = false;
        QTimer watch;
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog->objectName() != QLatin1String(name))
                return;
            watch.stop();
            came = true;
            drive(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        watch.start();
        open();
        return came;
    }

    // The dialog that an item of the first row's menu opens, driven while it is open.
    bool withDialogOfMenu(const QString& item, const char* name,
                          const std::function<void(QDialog&)>& drive)
    {
        return withDialog([&] { answerMenu([&] { rightClickRow(0); }, item); }, name, drive);
    }

    void selectRow(int row)
    {
        auto* list = control<QTreeWidget>("listIpCamera");
        const QRect place = list->visualItemRect(list->topLevelItem(row));
        ASSERT_FALSE(place.isEmpty()) << "no row " << row;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
    }

    struct MenuItem {
        QString text; // empty for a separator
        bool enabled = false;
    };

    // Runs `open`, which should bring up a context menu, and answers the menu: its items are
    // returned (none when no menu came up) and the item `choice` is chosen, or the menu closed.
    std::vector<MenuItem> answerMenu(const std::function<void()>& open, const QString& choice = {})
    {
        std::vector<MenuItem> items;
        QTimer watch;
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr)
                return;
            watch.stop();
            for (QAction* action : menu->actions()) {
                items.push_back({action->text(), action->isEnabled()});
                if (!choice.isEmpty() && action->text() == choice)
                    menu->setActiveAction(action);
            }
            if (menu->activeAction() != nullptr)
                QTest::keyClick(menu, Qt::Key_Return);
            else
                menu->close();
        });
        watch.start();
        open();
        return items;
    }

    void rightClickRow(int row)
    {
        auto* list = control<QTreeWidget>("listIpCamera");
        const QRect place = list->visualItemRect(list->topLevelItem(row));
        ASSERT_FALSE(place.isEmpty()) << "no row " << row;
        rightClick(list->viewport(), place.center());
    }

    // As the window system delivers it: the press, the context menu request, the release (QTest
    // sends the mouse events straight to the widget, which makes no request of them).
    static void rightClick(QWidget* widget, const QPoint& at)
    {
        QTest::mousePress(widget, Qt::RightButton, {}, at);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &request);
        QTest::mouseRelease(widget, Qt::RightButton, {}, at);
    }

    fakes::FakeAdapterSource adapters;
    app::MessageBoxHook boxes;
    app::FileDialogHook fileDialogs;
    UrlCatcher urls;
    fakes::FakeEndpoint* endpoint = nullptr;
    std::vector<camsim::Camera> fleet; // see camerasTakeWrites
    std::unique_ptr<TForm1> form;
};
