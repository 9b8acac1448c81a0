#include "arranque.h"
#include "global.h"
#include "mainmdi.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenza"));
    QApplication::setApplicationVersion(QStringLiteral(QUENZA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quenza"));

    // Qt's own dialogs and buttons in Spanish.
    QTranslator qt;
    if (qt.load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qt);

    Global::DirectorioPrograma = QApplication::applicationDirPath();
    int resultado = 0;
    {
        std::unique_ptr<MainMDI> ventana = Arrancar();
        if (ventana)
            resultado = QApplication::exec();
    }
    // The data store goes last, closing the database.
    Global::BD.reset();
    return resultado;
}
