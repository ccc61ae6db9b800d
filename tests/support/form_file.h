#pragma once

#include <map>
#include <stdexcept>
#include <vector>

#include <QFile>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

// The window's form as its Designer file has it, for tests that hold the live window against the
// file rather than against a copy of it.
struct FormWidget {
    QString className;
    QString name;
    QString parent; // the enclosing widget's name; empty for the form itself
    QRect geometry; // null when the file gives none
    // text, title, toolTip, windowTitle, and "tab" for a page's tab caption
    std::map<QString, QString> strings;
    QStringList items;
    bool enabled = true;
    bool password = false;
};

namespace form_file {

inline QString textOf(QXmlStreamReader& xml)
{
    QString text;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("string") || xml.name() == QLatin1String("enum") ||
            xml.name() == QLatin1String("bool"))
            text = xml.readElementText();
        else
            xml.skipCurrentElement();
    }
    return text;
}

inline void readProperty(QXmlStreamReader& xml, FormWidget& widget)
{
    const QString name = xml.attributes().value(QLatin1String("name")).toString();
    if (name == QLatin1String("geometry")) {
        std::map<QString, int> rect;
        while (xml.readNextStartElement()) {
            while (xml.readNextStartElement())
                rect[xml.name().toString()] = xml.readElementText().toInt();
        }
        widget.geometry = QRect(rect["x"], rect["y"], rect["width"], rect["height"]);
    } else if (name == QLatin1String("items")) {
        while (xml.readNextStartElement()) {
            while (xml.readNextStartElement())
                widget.items << xml.readElementText();
        }
    } else if (name == QLatin1String("enabled")) {
        widget.enabled = textOf(xml) != QLatin1String("false");
    } else if (name == QLatin1String("echoMode")) {
        widget.password = textOf(xml).endsWith(QLatin1String("Password"));
    } else {
        widget.strings[name] = textOf(xml);
    }
}

inline void readWidget(QXmlStreamReader& xml, const QString& parent,
                       std::vector<FormWidget>& widgets)
{
    FormWidget widget;
    widget.className = xml.attributes().value(QLatin1String("class")).toString();
    widget.name = xml.attributes().value(QLatin1String("name")).toString();
    widget.parent = parent;
    const std::size_t place = widgets.size();
    widgets.push_back(widget);
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("widget")) {
            readWidget(xml, widget.name, widgets);
        } else if (xml.name() == QLatin1String("property")) {
            readProperty(xml, widgets[place]);
        } else if (xml.name() == QLatin1String("attribute") &&
                   xml.attributes().value(QLatin1String("name")) == QLatin1String("title")) {
            widgets[place].strings[QStringLiteral("tab")] = textOf(xml);
        } else {
            xml.skipCurrentElement();
        }
    }
}

} // namespace form_file

// Every widget of the form, each before those it holds.
inline std::vector<FormWidget> readFormFile(const QString& path = QStringLiteral(TELVIQ_FORM_FILE))
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the form file " + path.toStdString());
    QXmlStreamReader xml(&file);
    std::vector<FormWidget> widgets;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("widget"))
            form_file::readWidget(xml, QString(), widgets);
        else if (xml.name() != QLatin1String("ui"))
            xml.skipCurrentElement();
    }
    if (xml.hasError() || widgets.empty())
        throw std::runtime_error("the form file " + path.toStdString() + " does not read");
    return widgets;
}
