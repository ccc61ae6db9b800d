// Build-time helper: writes the window's hammer-and-wrench icon as PNG files for the desktop menu.
//
//   write-icon SIZE PATH [SIZE PATH ...]

#include <cstdio>

#include <QGuiApplication>
#include <QString>

#include "theme/theme.h"

int main(int argc, char* argv[])
{
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: write-icon SIZE PATH [SIZE PATH ...]\n");
        return 2;
    }
    // Builds run without a display, and the arguments are not Qt's to take.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        bool isNumber = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || !theme::writeIconPng(QString::fromLocal8Bit(argv[i + 1]), size)) {
            std::fprintf(stderr, "write-icon: cannot write a %s px icon to %s\n", argv[i],
                         argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
