#include "arranque.h"
#include "global.h"
#include "mainmdi.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QTextStream>

static void Identificar()
{
    QCoreApplication::setApplicationName(QStringLiteral("Quenza"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUENZA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Quenza"));
}

// "quenza --rutas": where this copy keeps its settings and finds its masks and listings,
// without opening any window (for the shop's support and the package tests).
static int MostrarRutas(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Identificar();
    Global::DirectorioPrograma = QCoreApplication::applicationDirPath();
    QTextStream salida(stdout);
    salida << "Configuración: " << RutaConfiguracion() << '\n';
    for (const char* archivo : {"mskAlba.txt", "mskFact.txt", "LstAlb.lst", "LstClien.lst", "LstFactCli.lst", "LstFactFch.lst"}) {
        const QString ruta = BuscarArchivoPrograma(QString::fromLatin1(archivo));
        salida << archivo << ": " << (ruta.isEmpty() ? QStringLiteral("(no se encuentra)") : ruta) << '\n';
    }
    // The button Qt's own dialogs show, which says whether their Spanish translation is found.
    salida << "Traducción de Qt: "
           << (CargarTraduccionQt() ? QCoreApplication::translate("QPlatformTheme", "Cancel")
                                    : QStringLiteral("(no se encuentra)"))
           << '\n';
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--rutas") == 0)
        return MostrarRutas(argc, argv);
    QApplication app(argc, argv);
    Identificar();
    QApplication::setWindowIcon(IconoPrograma());
    QGuiApplication::setDesktopFileName(QStringLiteral("es.quenza.Quenza"));

    QLocale::setDefault(LocalDelPrograma(QLocale::system()));
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
