#include "arranque.h"
#include "global.h"
#include "mainmdi.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenza"));
    QApplication::setApplicationVersion(QStringLiteral(QUENZA_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Quenza"));

    CargarTraduccionQt();

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
