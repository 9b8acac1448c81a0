#include "comun_shell.h"

#include "arranque.h"
#include "browalb.h"
#include "configurar.h"
#include "mainmdi.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
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

class BaseIncorrecta : public Arranque, public ::testing::WithParamInterface<const char*> {};

TEST_P(BaseIncorrecta, CancellingTheDialogEndsWithoutAWindow)
{
    QTemporaryDir home;
    const QByteArray caso = GetParam();
    if (caso == "texto") {
        QFile f(home.filePath(QStringLiteral("falsa.db")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Esto no es una base de datos, aunque lo parezca.\n");
        f.close();
        QFile ini(home.filePath(QStringLiteral("KV740.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("BaseDatos=" + f.fileName().toUtf8() + "\n");
    } else if (caso == "falta") {
        QFile ini(home.filePath(QStringLiteral("KV740.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[KV740]\nBaseDatos=" + home.filePath(QStringLiteral("no-existe.db")).toUtf8() + "\n");
    } else if (caso == "vacio") {
        QFile ini(home.filePath(QStringLiteral("KV740.INI")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    }  // "sin-ini": no KV740.INI at all
    apuntarA(home.path());
    cancelarConfiguracion();
    std::unique_ptr<MainMDI> ventana = Arrancar();
    EXPECT_EQ(ventana, nullptr);
    EXPECT_EQ(titulo, QStringLiteral("CONFIGURACIÓN INCORRECTA"));
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<MainMDI*>(w) && w->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Casos, BaseIncorrecta, ::testing::Values("sin-ini", "vacio", "falta", "texto"));

TEST_F(Arranque, FailedUpgradeSaysSoAndTouchesNothing)
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
        if (auto* caja = qobject_cast<QMessageBox*>(w))
            mensaje = caja->text();
        w->close();
    });
    EXPECT_EQ(Arrancar(), nullptr);
    EXPECT_TRUE(mensaje.startsWith(QStringLiteral("No se pudo actualizar la base de datos (paso 4)"))) << qPrintable(mensaje);
    motor::BaseDeDatos m(base.ruta);
    EXPECT_FALSE(m.existeTabla(QStringLiteral("Cliente")));  // the steps before it were undone too
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

TEST(VentanaPrincipal, PlaceholderTakesTheFreeWidth)
{
    EXPECT_EQ(AnchoHueco(1000, {100, 80}, 1, 4), 816);
    EXPECT_EQ(AnchoHueco(1000, {100, 80}, 2, 4), 408);
    EXPECT_EQ(AnchoHueco(100, {100, 80}, 1, 4), 0);
    EXPECT_EQ(AnchoHueco(1000, {100}, 0, 4), 0);
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

TEST_F(Arranque, NotesButtonOpensTodaysNotesAndConfigureClosesThem)
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

    bool abierto = true;
    CuandoAparezcaModal([&](QWidget* w) {
        abierto = Navegadores::albaranes != nullptr;
        if (auto* c = qobject_cast<Configurar*>(w))
            c->Cancelo->click();
    });
    v.TBar_ButtonClick(QStringLiteral("cfg"));
    EXPECT_FALSE(abierto);
}

}  // namespace
