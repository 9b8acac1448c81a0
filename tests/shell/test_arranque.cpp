#include "comun_shell.h"

#include "arranque.h"
#include "browalb.h"
#include "browfac.h"
#include "configurar.h"
#include "mainmdi.h"
#include "archivoini.h"

#include <QLabel>
#include <QLineEdit>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class Arranque : public ConPrograma {
protected:
    void apuntarA(const QString& home) { escribirIni("[General]\nHomeDir=" + home.toUtf8() + "\nGrupo=1\n"); }

    // Cancels the configuration dialog when it shows; remembers its caption.
    void cancelarConfiguracion()
    {
        CuandoAparezcaModal([this](QWidget* w) {
            titulo = w->windowTitle();
            if (auto* c = qobject_cast<Configurar*>(w))
                c->Cancelo->click();
            else
                w->close();
        });
    }
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

// Writes the case's files in `home` and returns the path the dialog must name.
QString prepararCaso(const QByteArray& caso, const QString& home)
{
    auto escribir = [](const QString& ruta, const QByteArray& contenido) {
        QFile f(ruta);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contenido);
    };
    const QString ini = home + QStringLiteral("/KV740.INI");
    const QString db = home + QStringLiteral("/kv740.db");
    if (caso == "sin-ini")
        return home;
    if (caso == "ini-vacio") {
        escribir(ini, {});
        return ini;
    }
    if (caso == "ini-tuberia") {  // would block the start for ever if it were opened
        EXPECT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {ini}), 0);
        return ini;
    }
    escribir(ini, "[KV740]\r\nBaseDatos=" + db.toUtf8() + "\r\n");
    if (caso == "falta")
        return db;
    if (caso == "texto")
        escribir(db, "Esto no es una base de datos, aunque lo parezca.\n");
    else if (caso == "cero-bytes")
        escribir(db, {});
    else if (caso == "sin-tablas-kv740")
        motor::BaseDeDatos::crear(db)->ejecutarNativo(QStringLiteral("CREATE TABLE Agenda (Nombre TEXT)"));
    else if (caso == "danada") {
        kv740::CrearDemo(home);
        QFile f(db);
        EXPECT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(100);  // the schema page after the file header
        f.write(QByteArray(3000, '\x5a'));
    }
    return db;
}

class BaseIncorrecta : public Arranque, public ::testing::WithParamInterface<CasoBase> {};

TEST_P(BaseIncorrecta, TheDialogSaysWhatIsWrongWithWhichFile)
{
    QTemporaryDir home;
    const QString archivo = prepararCaso(GetParam().nombre, home.path());
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
        bd.Motor()->ejecutarNativo(QStringLiteral("PRAGMA busy_timeout=100"));
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

TEST(Local, ASystemWithoutLocaleSpeaksSpanish)
{
    EXPECT_EQ(LocalDelPrograma(QLocale::c()).name(), QStringLiteral("es_ES"));
    EXPECT_EQ(LocalDelPrograma(QLocale(QLocale::German, QLocale::Germany)).name(), QStringLiteral("de_DE"));
    EXPECT_EQ(LocalDelPrograma(QLocale::c()).monthName(3), QStringLiteral("marzo"));
}

TEST(Traduccion, QtsOwnButtonsSpeakSpanish)
{
    AplicacionDePrueba();
    ASSERT_TRUE(CargarTraduccionQt());
    QMessageBox caja(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("¿SEGURO?"), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(caja.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Cancelar"));
}

TEST(VentanaPrincipal, VersionText)
{
    EXPECT_EQ(TextoVersion(2, 5, 3), QStringLiteral("versión 2.05C"));
    EXPECT_EQ(TextoVersion(1, 12, 1), QStringLiteral("versión 1.12A"));
}

TEST_F(Arranque, WideningKeepsTheButtonsAtTheRightEdge)
{
    MainMDI v;
    v.resize(800, 600);
    v.show();
    QWidget* fin = v.Boton(QStringLiteral("fin"));
    ASSERT_NE(fin, nullptr);
    const int antes = fin->mapTo(&v, QPoint(fin->width(), 0)).x();
    v.resize(1200, 600);
    QApplication::processEvents();
    const int despues = fin->mapTo(&v, QPoint(fin->width(), 0)).x();
    EXPECT_GT(despues - antes, 350);
    EXPECT_GT(despues, 1200 - 40);
    EXPECT_TRUE(v.lbVersion->text().startsWith(QStringLiteral("versión ")));
}

TEST_F(Arranque, ConfigureClosesOpenBrowsersFirst)
{
    BaseDePrueba base;
    Global::HomeDir = base.dir();
    LeerConfiguracionKV740();
    AbrirBaseDatos();
    MainMDI v;
    v.show();
    auto* hijo = new QWidget;
    hijo->setObjectName(QStringLiteral("BrowAlb"));
    QMdiSubWindow* sub = v.area()->addSubWindow(hijo);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    int abiertasAlMostrar = -1;
    CuandoAparezcaModal([&](QWidget* w) {
        abiertasAlMostrar = static_cast<int>(v.area()->subWindowList().size());
        if (auto* c = qobject_cast<Configurar*>(w))
            c->Cancelo->click();
    });
    v.TBar_ButtonClick(QStringLiteral("cfg"));
    EXPECT_EQ(abiertasAlMostrar, 0);
}

TEST_F(Arranque, DocumentButtonsOpenTodaysBrowsersAndConfigureClosesThem)
{
    BaseDePrueba base;
    Global::HomeDir = base.dir();
    LeerConfiguracionKV740();
    AbrirBaseDatos();
    Global::BD->CrearTablasNuevas();
    MainMDI v;
    v.show();
    QStringList claves;
    for (QAction* a : v.TBar->actions())
        if (QWidget* w = v.TBar->widgetForAction(a))
            claves << w->objectName();
    EXPECT_LT(claves.indexOf(QStringLiteral("fac")), claves.indexOf(QStringLiteral("alb")));
    EXPECT_LT(claves.indexOf(QStringLiteral("alb")), claves.indexOf(QStringLiteral("cfg")));
    EXPECT_GT(claves.indexOf(QStringLiteral("alb")), claves.indexOf(QStringLiteral("sep1")));

    v.TBar_ButtonClick(QStringLiteral("alb"));
    auto* alb = dynamic_cast<BrowAlb*>(Navegadores::albaranes);
    ASSERT_NE(alb, nullptr);
    EXPECT_EQ(alb->filtro().desde, QDate::currentDate());
    EXPECT_EQ(alb->filtro().hasta, QDate::currentDate());
    EXPECT_FALSE(alb->filtro().cliente.has_value());
    v.TBar_ButtonClick(QStringLiteral("alb"));
    EXPECT_EQ(v.area()->subWindowList().size(), 1);

    // The customer browser's opener shows one customer's notes.
    alb->parentWidget()->close();
    QApplication::processEvents();
    ASSERT_TRUE(Navegadores::abrirAlbaranes);
    Navegadores::abrirAlbaranes(7, QDate(), QDate(2024, 1, 31));
    alb = dynamic_cast<BrowAlb*>(Navegadores::albaranes);
    ASSERT_NE(alb, nullptr);
    ASSERT_TRUE(alb->filtro().cliente.has_value());
    EXPECT_EQ(alb->filtro().cliente->codigo, 7);
    EXPECT_FALSE(alb->filtro().desde.has_value());

    v.TBar_ButtonClick(QStringLiteral("fac"));
    auto* fac = dynamic_cast<BrowFac*>(Navegadores::facturas);
    ASSERT_NE(fac, nullptr);
    EXPECT_EQ(fac->filtro().desde, QDate::currentDate());
    Navegadores::abrirFacturas(7, QDate(), QDate());  // loaded: it shows that customer's invoices
    ASSERT_TRUE(fac->filtro().cliente.has_value());
    EXPECT_EQ(fac->filtro().cliente->codigo, 7);
    EXPECT_FALSE(fac->filtro().desde.has_value());

    bool abierto = true;
    CuandoAparezcaModal([&](QWidget* w) {
        abierto = Navegadores::albaranes != nullptr || Navegadores::facturas != nullptr;
        if (auto* c = qobject_cast<Configurar*>(w))
            c->Cancelo->click();
    });
    v.TBar_ButtonClick(QStringLiteral("cfg"));
    EXPECT_FALSE(abierto);
}

}  // namespace
