#include "arranque.h"

#include "configurar.h"
#include "global.h"
#include "mainmdi.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTranslator>

std::unique_ptr<MainMDI> Arrancar()
{
    if (!Global::DirectorioPrograma.isEmpty())
        QDir::setCurrent(Global::DirectorioPrograma);
    LeerConfiguracion();
    for (;;) {
        LeerConfiguracionKV740();
        AbrirBaseDatos();
        if (Global::BD->Abierta()) {
            Global::BD->DatosGrupo(Global::Grupo, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
            break;
        }
        if (!Configurar::Activar(QStringLiteral("CONFIGURACIÓN INCORRECTA")))
            return nullptr;
    }
    try {
        Global::BD->CrearTablasNuevas();
    } catch (const ErrorActualizacion& e) {
        // Nothing was changed: the whole upgrade is one transaction.
        QMessageBox::critical(nullptr, QStringLiteral("Facturación con KV740"),
                              QStringLiteral("No se pudo actualizar la base de datos (paso %1):\n%2\n\n"
                                             "La base de datos queda como estaba. El programa terminará.")
                                  .arg(e.paso())
                                  .arg(e.mensaje()));
        Global::BD.reset();
        return nullptr;
    }
    if (const QScreen* pantalla = QGuiApplication::primaryScreen()) {
        // 1440 twips to the inch.
        Global::TwipsPorPixelX = 1440.0 / pantalla->logicalDotsPerInchX();
        Global::TwipsPorPixelY = 1440.0 / pantalla->logicalDotsPerInchY();
    }
    auto ventana = std::make_unique<MainMDI>();
    ventana->show();
    return ventana;
}

bool CargarTraduccionQt()
{
    static QTranslator* traductor = nullptr;
    if (traductor)
        return true;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    traductor = t;
    return true;
}
