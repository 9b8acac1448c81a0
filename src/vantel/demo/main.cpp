#include "Terminal.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quenza"));
    QApplication::setApplicationName(QStringLiteral("vantel-demo"));
    QSettings settings;
    Terminal terminal(settings);
    terminal.show();
    return app.exec();
}
