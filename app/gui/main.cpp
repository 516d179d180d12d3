// unitflash: the firmware upgrade wizard.
#include <QApplication>

#include "app/gui/UpgradeApp.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    UpgradeApp app;
    return app.run();
}
