#include <cstdio>
#include <cstring>

#include <QApplication>

#include "app/Unit1.h"
#include "hostnet/linux_adapter_source.h"
#include "telviq_version.h"
#include "theme/theme.h"

int main(int argc, char* argv[])
{
    // Before the application object, which wants a display.
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("telviq-utility %s\n", version::kVersion);
        return 0;
    }
    QApplication application(argc, argv);
    theme::applyTheme(application);
    hostnet::LinuxAdapterSource adapterSource;
    return runMainWindow(adapterSource);
}
