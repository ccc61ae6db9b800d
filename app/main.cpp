#include <QApplication>

#include "app/Unit1.h"
#include "hostnet/linux_adapter_source.h"
#include "theme/theme.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    theme::applyTheme(application);
    hostnet::LinuxAdapterSource adapterSource;
    return runMainWindow(adapterSource);
}
