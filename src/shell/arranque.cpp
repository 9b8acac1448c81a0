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

#include <cstdio>

// Opens the configured database and reads the working group; the reason when it cannot.
static QString PrepararArranque()
{
    LeerConfiguracionKV740();
    QString motivo = MotivoSinBaseDatos();
    if (!motivo.isEmpty())
        return motivo;
    std::unique_ptr<BaseDatos> bd = PrepararBaseDatos(Global::RutaBaseDatos, motivo);
    if (!bd)
        return motivo;
    try {
        bd->DatosGrupo(Global::Grupo, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    } catch (const motor::Error& e) {
        return MotivoErrorBaseDatos(Global::RutaBaseDatos, e.codigoSqlite(), e.mensaje());
    }
    Global::BD = std::move(bd);
    return {};
}

std::unique_ptr<MainMDI> Arrancar()
{
    if (!Global::DirectorioPrograma.isEmpty())
        QDir::setCurrent(Global::DirectorioPrograma);
    const QString aviso = LeerConfiguracion();
    if (!aviso.isEmpty()) {
        // The program still works with what was read; the user must know nothing will be kept.
        std::fprintf(stderr, "quenza: %s\n", aviso.toUtf8().constData());
        std::fflush(stderr);
        QMessageBox::warning(nullptr, QStringLiteral("Facturación con KV740"),
                             aviso + QStringLiteral("\n\nLos cambios de la configuración no se guardarán."));
    }
    QString motivo = PrepararArranque();
    while (!motivo.isEmpty()) {
        // Also on the terminal, for whoever started the program from one.
        std::fprintf(stderr, "quenza: CONFIGURACIÓN INCORRECTA: %s\n", motivo.toUtf8().constData());
        std::fflush(stderr);
        if (!Configurar::Activar(QStringLiteral("CONFIGURACIÓN INCORRECTA"), nullptr, motivo))
            return nullptr;
        // The dialog accepts only with a database ready for the program.
        motivo = Global::BD && Global::BD->Abierta() ? QString() : PrepararArranque();
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

QLocale LocalDelPrograma(const QLocale& sistema)
{
    // A system without a locale (C, POSIX) gets the language the program speaks.
    if (sistema.language() == QLocale::C || sistema.name() == QLatin1String("C"))
        return QLocale(QLocale::Spanish, QLocale::Spain);
    return sistema;
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
