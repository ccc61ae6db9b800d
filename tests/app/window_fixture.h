#pragma once

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/Unit1.h"
#include "app/message_boxes.h"
#include "camera_image.h"
#include "fake_adapter_source.h"
#include "fake_endpoint.h"

// The window over a fake adapter source and a fake endpoint; the hook answers every box.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cameraTable = {};
        hostAdapterInfo = {};
        selectedCameraIndex = 0;
        adapters.answers = {{fakes::ethernetAdapter("eth0", "198.51.100.7")}};
        adapters.parameters = {"pc1", "example.test", "198.51.100.53"};
        app::setMessageBoxHook(&boxes);
    }

    void TearDown() override
    {
        form.reset();
        app::setMessageBoxHook(nullptr);
    }

    void build()
    {
        auto fake = std::make_unique<fakes::FakeEndpoint>();
        endpoint = fake.get();
        form = std::make_unique<TForm1>(adapters, std::move(fake), endpoint->ticks());
        form->show();
    }

    template <typename T = QWidget> T* control(const char* name) const
    {
        if (T* widget = form->findChild<T*>(QString::fromLatin1(name)))
            return widget;
        throw std::runtime_error(std::string("no control ") + name);
    }

    void click(const char* button) { control<QPushButton>(button)->click(); }

    // The cameras answer every search, in this order, 10 ms apart.
    void camerasAnswer(std::vector<fakes::CameraImage> cameras)
    {
        endpoint->respond = [cameras](const fakes::SentDatagram& sent) {
            std::vector<fakes::Arrival> arrivals;
            for (std::size_t i = 0; sent.port == protocol::kSearchPort && i < cameras.size(); ++i)
                arrivals.push_back(
                    {static_cast<std::uint32_t>(10 * (i + 1)), cameras[i].datagram()});
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

    fakes::FakeAdapterSource adapters;
    app::MessageBoxHook boxes;
    fakes::FakeEndpoint* endpoint = nullptr;
    std::unique_ptr<TForm1> form;
};
