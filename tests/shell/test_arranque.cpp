#include "comun_shell.h"

#include "arranque.h"
#include "configurar.h"
#include "mainmdi.h"
#include "archivoini.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class Arranque : public ConPrograma {
protected:
    void apuntarA(const QString& home) { escribirIni("[General]\nHomeDir=" + home.toUtf8() + "\nGrupo=1\n"); }

    QString titulo;
};

TEST_F(Arranque, OpensTheDatabaseAndShowsTheMainWindow)
{
    BaseDePrueba base;
    apuntarA(base.dir());
    std::unique_ptr<MainMDI> ventana = Arrancar();
    ASSERT_NE(ventana, nullptr);
    EXPECT_TRUE(ventana->isVisible());
    EXPECT_EQ(ventana->windowTitle(), QStringLiteral("Facturación con KV740"));
    EXPECT_EQ(Global::Seccion, 1);
    EXPECT_FLOAT_EQ(Global::IVADepartamento[7], 21.0f);
    EXPECT_TRUE(Global::BD->Motor()->existeConsulta(QStringLiteral("ListaFacturas")));
    EXPECT_GT(Global::TwipsPorPixelX, 0);
}

TEST_F(Arranque, ASettingsFileTooBigIsUsedButNeverCut)
{
    BaseDePrueba base;
    QByteArray contenido = "[General]\nHomeDir=" + base.dir().toUtf8() + "\nGrupo=1\n";
    contenido += QByteArray(ArchivoIni::kTamanoMaximo, ';') + "\n[Ventanas]\nBrowCli=0|0|9000|6000\n";
    escribirIni(contenido);
    auto textoDe = [](QWidget* w) {
        auto* caja = qobject_cast<QMessageBox*>(w);
        const QString texto = caja ? caja->text() : QString();
        w->close();
        return texto;
    };
    QString aviso;
    CuandoAparezcaModal([&](QWidget* w) { aviso = textoDe(w); });
    std::unique_ptr<MainMDI> ventana = Arrancar();
    ASSERT_NE(ventana, nullptr);
    EXPECT_TRUE(aviso.contains(QStringLiteral("pasa de 4 MB"))) << qPrintable(aviso);
    EXPECT_TRUE(aviso.contains(rutaIni())) << qPrintable(aviso);
    EXPECT_EQ(Global::Grupo, 1);

    // A change of settings is used, and the user is told it was not kept.
    QString fallo;
    CuandoAparezcaModal([&](QWidget* w) {
        auto* c = qobject_cast<Configurar*>(w);
        ASSERT_NE(c, nullptr);
        c->txNombreEmpresa->setText(QStringLiteral("FRUTAS NUEVAS"));
        CuandoAparezcaModal([&](QWidget* m) { fallo = textoDe(m); });
        c->Acepto->click();
    });
    EXPECT_TRUE(Configurar::Activar(QString(), ventana.get()));
    EXPECT_TRUE(fallo.contains(QStringLiteral("no se ha guardado"))) << qPrintable(fallo);
    EXPECT_EQ(Global::NombreEmpresa, QStringLiteral("FRUTAS NUEVAS"));
    ventana.reset();
    QFile f(rutaIni());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == contenido) << "the settings file was rewritten";
}

// Files that are no usable KV740 database, as a shop may point the program at them.
struct CasoBase {
    const char* nombre;
    const char* dice;  // what the dialog must say about the file
};

class BaseIncorrecta : public Arranque, public ::testing::WithParamInterface<CasoBase> {};

TEST_P(BaseIncorrecta, TheDialogSaysWhatIsWrongWithWhichFile)
{
    QTemporaryDir home;
    const QString archivo = PrepararBaseIncorrecta(GetParam().nombre, home.path());
    apuntarA(home.path());
    QString motivo;
    CuandoAparezcaModal([&](QWidget* w) {
        titulo = w->windowTitle();
        if (auto* c = qobject_cast<Configurar*>(w)) {
            motivo = c->lbMotivo->isVisibleTo(c) ? c->lbMotivo->text() : QString();
            c->Acepto->click();  // no database works: stays open and says so again
            if (c->isVisible())
                c->Cancelo->click();
        } else {
            w->close();
        }
    });
    std::unique_ptr<MainMDI> ventana = Arrancar();
    EXPECT_EQ(ventana, nullptr);
    EXPECT_EQ(titulo, QStringLiteral("CONFIGURACIÓN INCORRECTA"));
    EXPECT_TRUE(motivo.contains(QStringLiteral("«") + archivo + QStringLiteral("»"))) << qPrintable(motivo);
    EXPECT_TRUE(motivo.contains(QString::fromUtf8(GetParam().dice))) << qPrintable(motivo);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<MainMDI*>(w) && w->isVisible());
    // Nothing was written where the program did not belong.
    if (QByteArray(GetParam().nombre) == "cero-bytes") {
        EXPECT_EQ(QFileInfo(archivo).size(), 0);
    }
    ArchivoIni ini(rutaIni());
    ini.setSeccion(QStringLiteral("General"));
    EXPECT_EQ(ini.leer(QStringLiteral("Grupo")), QStringLiteral("1"));
}

INSTANTIATE_TEST_SUITE_P(Casos, BaseIncorrecta,
                         ::testing::Values(CasoBase{"sin-ini", "No se encuentra el archivo KV740.INI"},
                                           CasoBase{"ini-vacio", "no indica ninguna base de datos"},
                                           CasoBase{"ini-tuberia", "no es un archivo normal"},
                                           CasoBase{"falta", "No se encuentra la base de datos"},
                                           CasoBase{"texto", "no es una base de datos"},
                                           CasoBase{"cero-bytes", "está vacío"},
                                           CasoBase{"sin-tablas-kv740", "no tiene las tablas de KV740"},
                                           CasoBase{"danada", "está dañada"}),
                         [](const auto& caso) {
                             return QString::fromLatin1(caso.param.nombre).remove(QLatin1Char('-')).toStdString();
                         });

TEST_F(Arranque, ADatabaseLockedBeforeTheUpgradeWaitsForTheOtherProgram)
{
    BaseDePrueba base;
    apuntarA(base.dir());
    std::unique_ptr<motor::BaseDeDatos> otro;
    AntesDeActualizarBaseDatos = [&](BaseDatos& bd) {
        bd.Motor()->fijarEspera(100);
        if (!otro) {  // another program takes the write lock once, right after we opened
            otro = std::make_unique<motor::BaseDeDatos>(base.ruta);
            otro->ejecutarNativo(QStringLiteral("BEGIN IMMEDIATE"));
        }
    };
    QString motivo, despues;
    CuandoAparezcaModal([&](QWidget* w) {
        auto* c = qobject_cast<Configurar*>(w);
        ASSERT_NE(c, nullptr);
        motivo = c->lbMotivo->text();
        c->Acepto->click();  // still locked: says so and stays
        despues = c->isVisible() ? c->lbMotivo->text() : QString();
        otro->ejecutarNativo(QStringLiteral("COMMIT"));
        c->Acepto->click();  // the other program let go
    });
    std::unique_ptr<MainMDI> ventana = Arrancar();
    AntesDeActualizarBaseDatos = nullptr;
    EXPECT_TRUE(motivo.contains(QStringLiteral("está en uso por otro programa"))) << qPrintable(motivo);
    EXPECT_TRUE(motivo.contains(base.ruta));
    EXPECT_EQ(despues, motivo);
    ASSERT_NE(ventana, nullptr);
    EXPECT_TRUE(Global::BD->Motor()->existeTabla(QStringLiteral("Cliente")));
    // The working group survived the wait.
    EXPECT_EQ(Global::Grupo, 1);
    EXPECT_FLOAT_EQ(Global::IVADepartamento[7], 21.0f);
    ArchivoIni ini(rutaIni());
    ini.setSeccion(QStringLiteral("General"));
    EXPECT_EQ(ini.leer(QStringLiteral("Grupo")), QStringLiteral("1"));
}

TEST_F(Arranque, FailedUpgradeSaysWhichStepAndTouchesNothing)
{
    // A damaged database: invoice lines without their header table.
    BaseDePrueba base;
    {
        motor::BaseDeDatos m(base.ruta);
        m.ejecutarNativo(QStringLiteral("CREATE TABLE FacturaVentaDetalle (Serie SMALLINT, Numero INTEGER)"));
    }
    apuntarA(base.dir());
    QString mensaje;
    CuandoAparezcaModal([&](QWidget* w) {
        if (auto* c = qobject_cast<Configurar*>(w)) {
            mensaje = c->lbMotivo->text();
            c->Cancelo->click();
        }
    });
    EXPECT_EQ(Arrancar(), nullptr);
    EXPECT_TRUE(mensaje.startsWith(QStringLiteral("No se pudo actualizar la base de datos «") + base.ruta
                                   + QStringLiteral("» (paso 4)")))
        << qPrintable(mensaje);
    motor::BaseDeDatos m(base.ruta);
    EXPECT_FALSE(m.existeTabla(QStringLiteral("Cliente")));  // the steps before it were undone too
}

// A system without a locale speaks Spanish, Qt's own buttons too, and the version reads as ever.
TEST(Local, ASystemWithoutLocaleQtsOwnButtonsAndTheVersionSpeakSpanish)
{
    EXPECT_EQ(LocalDelPrograma(QLocale::c()).name(), QStringLiteral("es_ES"));
    EXPECT_EQ(LocalDelPrograma(QLocale(QLocale::German, QLocale::Germany)).name(), QStringLiteral("de_DE"));
    EXPECT_EQ(LocalDelPrograma(QLocale::c()).monthName(3), QStringLiteral("marzo"));
    AplicacionDePrueba();
    ASSERT_TRUE(CargarTraduccionQt());
    QMessageBox caja(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("¿SEGURO?"), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(caja.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Cancelar"));
    EXPECT_EQ(TextoVersion(2, 5, 3), QStringLiteral("versión 2.05C"));
    EXPECT_EQ(TextoVersion(1, 12, 1), QStringLiteral("versión 1.12A"));
}

}  // namespace
