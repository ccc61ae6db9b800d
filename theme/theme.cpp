#include "theme/theme.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include "theme/colours.h"
#include "theme/pictures.h"

namespace theme {

namespace {

// Both faces are 8 pt at 96 dpi, which the classic desktop rounds to 11 px.
constexpr int kFontPixelSize = 11;
constexpr QRgb kHighlightColour = qRgb(0x3A, 0x6E, 0xA5);

// fonts-wine ships the classic faces where fontconfig does not look.
const char* const kFontFolder = "/usr/share/wine/fonts/";
const char* const kFallbackFamily = "DejaVu Sans";

QString familyFromFile(const char* file)
{
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kFontFolder) + file);
    if (id < 0)
        return {};
    return QFontDatabase::applicationFontFamilies(id).value(0);
}

struct Families {
    QString ui;
    QString scalable;
    QString title;
};

const Families& families()
{
    static const Families loaded = [] {
        Families f;
        f.ui = familyFromFile("ms_sans_serif.ttf");
        const QString tahoma = familyFromFile("tahoma.ttf");
        const QString tahomaBold = familyFromFile("tahomabd.ttf");
        f.title = tahomaBold.isEmpty() ? tahoma : tahomaBold;
        f.scalable = tahoma;
        for (QString* family : {&f.ui, &f.scalable, &f.title})
            if (family->isEmpty())
                *family = QString::fromLatin1(kFallbackFamily);
        return f;
    }();
    return loaded;
}

QFont pixelFont(const QString& family, bool bold)
{
    QFont font(family);
    font.setPixelSize(kFontPixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

const char* const kStyleSheet = R"(
QToolTip {
    color: black;
    background-color: #FFFFE1;
    border: 1px solid @border;
    padding: 1px;
}

QLabel {
    color: black;
    background: transparent;
}

QGroupBox {
    color: black;
    background: transparent;
    border: 1px solid @border;
    margin-top: 6px;
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 7px;
    padding: 0px 2px;
    background-color: @body;
}

theme--RadioGroup {
    background-color: @body;
}
theme--RadioGroup QRadioButton {
    color: black;
    background: transparent;
    spacing: 4px;
}
theme--RadioGroup QRadioButton::indicator {
    width: 11px;
    height: 11px;
    border: 1px solid @border;
    border-radius: 6px;
    background-color: white;
}
theme--RadioGroup QRadioButton::indicator:checked {
    background-color: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
        stop: 0 black, stop: 0.42 black, stop: 0.5 white, stop: 1 white);
}
theme--RadioGroup QRadioButton::indicator:unchecked:pressed {
    background-color: #D0D0D0;
}
theme--RadioGroup QRadioButton::indicator:disabled {
    background-color: @body;
}
theme--RadioGroup QRadioButton::indicator:checked:disabled {
    background-color: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
        stop: 0 #6E6E6E, stop: 0.42 #6E6E6E, stop: 0.5 @body, stop: 1 @body);
}

QLineEdit {
    color: black;
    background-color: white;
    border: 1px solid @border;
    padding: 0px 2px;
    selection-color: white;
    selection-background-color: @highlight;
    lineedit-password-character: 42;
}
QLineEdit:disabled {
    color: #6E6E6E;
    background-color: #F3F3F3;
}

QPushButton {
    color: black;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #FBFBFB, stop: 1 #D9D9D9);
    border: 1px solid @border;
    border-radius: 3px;
    padding: 0px 6px;
}
QPushButton:hover {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #FFFFFF, stop: 1 #E4E4E4);
}
QPushButton:focus {
    border-color: #4A4A4A;
}
QPushButton:pressed {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #C4C4C4, stop: 1 #D8D8D8);
}
QPushButton:disabled {
    color: #9A9A9A;
    border-color: #ABABAB;
}

QTreeView {
    color: black;
    background-color: white;
    border: 1px solid @border;
    selection-color: white;
    selection-background-color: @highlight;
    outline: 0;
}
QHeaderView::section {
    color: black;
    background-color: @body;
    border: none;
    border-right: 1px solid @border;
    border-bottom: 1px solid @border;
    padding: 0px 3px;
}

QProgressBar {
    border: 1px solid @border;
    background-color: white;
}
QProgressBar::chunk {
    background-color: @highlight;
}

QTabWidget::pane {
    border: 1px solid @border;
    background-color: @body;
    top: -1px;
    padding: 0px -1px -1px -1px;
}
QTabWidget::tab-bar {
    left: 10px;
}
QTabBar::tab {
    color: black;
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #F4F4F4, stop: 1 #D2D2D2);
    border: 1px solid @border;
    border-top-left-radius: 4px;
    border-top-right-radius: 4px;
    padding: 0px 8px;
    margin-top: 13px;
    height: 19px;
}
QTabBar::tab:selected {
    background-color: @body;
    border-bottom-color: @body;
    margin-top: 10px;
    height: 22px;
}
)";

bool isClassicRatio(qreal devicePixelRatio)
{
    return qFuzzyCompare(devicePixelRatio, 1.0);
}

QFont scalableUiFont()
{
    return pixelFont(families().scalable, false);
}

// Qt 6.4 tells every widget of a window that has moved to another screen, and so perhaps to
// another ratio, by its internal screen change event; Qt 6.6 adds an event for the ratio itself.
bool mayChangeRatio(QEvent::Type type)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (type == QEvent::DevicePixelRatioChange)
        return true;
#endif
    return type == QEvent::ScreenChangeInternal;
}

// Gives each control the face for the device pixel ratio of its window: when it is polished, before
// it first shows, and again when its window moves to another screen. Controls in any window,
// dialog, menu or tool tip are set one by one, since under the application's stylesheet a control
// does not take a font from its parent.
class FaceFollower : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::Polish || mayChangeRatio(event->type())) &&
            watched->isWidgetType())
            fitFace(*static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }

private:
    static void fitFace(QWidget& widget)
    {
        const QFont scalable = scalableUiFont();
        const bool scaled = !isClassicRatio(widget.devicePixelRatioF());
        // A control whose font the program has set keeps it.
        const bool ownFont = widget.testAttribute(Qt::WA_SetFont);
        if (scaled && !ownFont)
            widget.setFont(scalable);
        else if (!scaled && ownFont && widget.font() == scalable)
            widget.setFont(QFont()); // the application's face again
    }
};

} // namespace

QFont uiFont()
{
    return pixelFont(families().ui, false);
}

QFont titleFont()
{
    return pixelFont(families().title, true);
}

QString styleSheet()
{
    QString sheet = QString::fromLatin1(kStyleSheet);
    sheet.replace(QLatin1String("@border"), QColor(kBorderColour).name());
    sheet.replace(QLatin1String("@body"), QColor(kBodyColour).name());
    sheet.replace(QLatin1String("@highlight"), QColor(kHighlightColour).name());
    return sheet;
}

void applyTheme(QApplication& app)
{
    // Fusion under the sheet, whatever the desktop, so that the look is the same everywhere.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);

    QPalette palette = app.style()->standardPalette();
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        palette.setColor(QPalette::Active, role, Qt::black);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Inactive, QPalette::Text, Qt::black);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::black);
    // The camera list keeps its selection visible after the focus has moved on.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, QColor(kHighlightColour));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    palette.setColor(QPalette::All, QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    app.setPalette(palette);

    app.setFont(uiFont());
    app.setStyleSheet(styleSheet());
    app.installEventFilter(new FaceFollower(&app));
}

QIcon applicationIcon()
{
    QIcon icon;
    icon.addPixmap(iconPicture(16));
    icon.addPixmap(iconPicture(32));
    return icon;
}

bool writeIconPng(const QString& path, int size)
{
    if (size < 1 || size > 1024)
        return false;
    return iconPicture(size).save(path, "PNG");
}

} // namespace theme
