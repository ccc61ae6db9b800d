#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
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
    std::unique_ptr<TForm1> form;
};
