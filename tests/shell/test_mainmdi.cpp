#include "comun_shell.h"

#include "acercade.h"
#include "browalb.h"
#include "browcli.h"
#include "browfac.h"
#include "brwonlin.h"
#include "configurar.h"
#include "declaracion.h"
#include "envioautomatico.h"
#include "listafilas.h"
#include "mainmdi.h"
#include "navegador.h"
#include "verifactu.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using Principal = ConPrograma;

int bordeDerecho(QWidget* boton, QWidget* ventana) { return boton->mapTo(ventana, QPoint(boton->width(), 0)).x(); }

TEST_F(Principal, NarrowingStaysNarrowTheButtonsFollowTheRightEdgeAndTheToolbarStaysWithItsIcons)
{
    MainMDI v;
    v.resize(1024, 700);
    v.show();
    QApplication::processEvents();
    QWidget* fin = v.Boton(QStringLiteral("fin"));
    ASSERT_NE(fin, nullptr);
    for (int ancho : {900, 700, 1100, 640, 1024}) {
        v.resize(ancho, 700);
        QApplication::processEvents();
        QApplication::processEvents();
        EXPECT_EQ(v.width(), ancho);
        // The placeholder only takes what is free: the window may always be made narrow again.
        EXPECT_LT(v.minimumSizeHint().width(), 600);
        EXPECT_LT(v.minimumWidth(), 600);
        EXPECT_GT(bordeDerecho(fin, &v), ancho - 40) << ancho;
    }
    EXPECT_TRUE(v.lbVersion->text().startsWith(QStringLiteral("versión ")));

    // The toolbar cannot be hidden or moved.
    EXPECT_EQ(v.createPopupMenu(), nullptr);
    EXPECT_FALSE(v.TBar->isMovable());
    EXPECT_FALSE(v.TBar->isFloatable());
    EXPECT_FALSE(v.TBar->toggleViewAction()->isEnabled());
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), v.TBar->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(v.TBar, &menu);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(v.TBar->isVisible());

    // The program's icon, and buttons' icons that fit: none generic, no two alike.
    EXPECT_EQ(v.windowIcon().pixmap(32).toImage(), IconoPrograma().pixmap(32).toImage());
    const QImage generico = v.style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32).toImage();
    std::vector<QImage> vistas;
    for (QToolButton* b : v.TBar->findChildren<QToolButton*>()) {
        if (b->objectName().isEmpty())
            continue;  // the toolbar's own extension button
        ASSERT_FALSE(b->icon().isNull()) << qPrintable(b->objectName());
        const QImage imagen = b->icon().pixmap(32).toImage();
        EXPECT_NE(imagen, generico) << qPrintable(b->objectName());
        for (const QImage& otra : vistas)
            EXPECT_NE(imagen, otra) << qPrintable(b->objectName());
        vistas.push_back(imagen);
    }
    EXPECT_GE(vistas.size(), 2u);
}

TEST_F(Principal, RemembersItsSizeAndPlaceAndKeepsChildWindowsInsideTheArea)
{
    Global::TwipsPorPixelX = Global::TwipsPorPixelY = 15;
    {
        MainMDI v;
        v.show();
        v.setGeometry(60, 50, 900, 640);
        QApplication::processEvents();
        v.close();
    }
    const auto guardada = LeerPosicionVentana(QStringLiteral("MainMDI"));
    ASSERT_TRUE(guardada.has_value());
    EXPECT_EQ((*guardada)[2], 900 * 15);
    EXPECT_EQ((*guardada)[3], 640 * 15);
    MainMDI otra;
    EXPECT_EQ(otra.size(), QSize(900, 640));

    // A child window left where a bigger screen had it shows inside the area.
    otra.show();
    QApplication::processEvents();
    auto* hijo = new QWidget;
    hijo->setMinimumSize(300, 200);
    QMdiSubWindow* sub = otra.area()->addSubWindow(hijo);
    sub->setGeometry(750, 550, 400, 300);
    sub->show();
    QTest::qWait(50);
    EXPECT_TRUE(otra.area()->viewport()->rect().contains(sub->geometry())) << sub->x() << ',' << sub->y();
    EXPECT_GE(sub->width(), 300);
}

// The toolbar in its order; each browser button opens its one window, today's for the documents,
// and brings it forward when pressed again; "Configurar" closes them all before it shows.
TEST_F(Principal, BrowserButtonsOpenOneWindowEachAndConfigureClosesThemFirst)
{
    BaseDePrueba base;
    TrabajarSobre(base);
    MainMDI v;
    v.show();
    QStringList claves;
    for (QAction* a : v.TBar->actions())
        if (QWidget* w = v.TBar->widgetForAction(a); w && !w->objectName().isEmpty())
            claves << w->objectName();
    EXPECT_EQ(claves, QStringList({"sep1", "cli", "fac", "alb", "onl", "reg", "cfg", "fin"}));
    EXPECT_EQ(qobject_cast<QToolButton*>(v.Boton(QStringLiteral("cli")))->text().trimmed(), QStringLiteral("Clientes"));
    EXPECT_EQ(qobject_cast<QToolButton*>(v.Boton(QStringLiteral("onl")))->text().trimmed(), QStringLiteral("Balanzas"));

    v.TBar_ButtonClick(QStringLiteral("cli"));
    BrowCli* clientes = BrowCli::Instancia();
    ASSERT_TRUE(clientes);
    EXPECT_EQ(clientes->Grd->Rows(), 1);  // no customers yet
    v.TBar_ButtonClick(QStringLiteral("alb"));
    auto* alb = dynamic_cast<BrowAlb*>(Navegadores::albaranes);
    ASSERT_NE(alb, nullptr);
    EXPECT_EQ(alb->filtro().desde, QDate::currentDate());
    EXPECT_EQ(alb->filtro().hasta, QDate::currentDate());
    EXPECT_FALSE(alb->filtro().cliente.has_value());
    v.TBar_ButtonClick(QStringLiteral("onl"));
    BrwOnLin* tickets = BrwOnLin::Instancia();
    ASSERT_TRUE(tickets);
    // Pressed again with another window in front: the same window comes forward.
    for (const auto& [clave, ventana] : {std::pair<const char*, QWidget*>{"cli", clientes}, {"alb", alb}, {"onl", tickets}}) {
        qobject_cast<QToolButton*>(v.Boton(QString::fromLatin1(clave)))->click();
        EXPECT_EQ(v.area()->activeSubWindow()->widget(), ventana) << clave;
    }
    EXPECT_EQ(v.area()->subWindowList().size(), 3);
    EXPECT_EQ(BrowCli::Instancia(), clientes);
    EXPECT_EQ(BrwOnLin::Instancia(), tickets);

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

    qsizetype abiertas = -1;
    CuandoAparezcaModal([&](QWidget* w) {
        abiertas = v.area()->subWindowList().size();
        if (auto* c = qobject_cast<Configurar*>(w))
            c->Cancelo->click();
        else
            w->close();
    });
    v.TBar_ButtonClick(QStringLiteral("cfg"));
    EXPECT_EQ(abiertas, 0);
    EXPECT_EQ(BrowCli::Instancia(), nullptr);
    EXPECT_EQ(Navegadores::albaranes, nullptr);
    EXPECT_EQ(Navegadores::facturas, nullptr);
}

// "Terminar" closes the windows one by one as the user would: a note being typed is not lost
// without the question, and the answer "Cancelar" keeps the program (and the note) open.
TEST_F(Principal, EndingAsksAboutUnsavedChangesAndKeepsThemWhenTold)
{
    BaseDePrueba base;
    TrabajarSobre(base);
    MainMDI v;
    v.show();
    v.TBar_ButtonClick(QStringLiteral("alb"));
    auto* alb = dynamic_cast<BrowAlb*>(Navegadores::albaranes);
    ASSERT_NE(alb, nullptr);
    QTest::mouseClick(alb->Nuevo, Qt::LeftButton);
    QPointer<QWidget> editor = alb->Hijo(0);
    ASSERT_TRUE(editor);
    auto* fecha = editor->findChild<QDateEdit*>(QStringLiteral("pkFecha"));
    ASSERT_NE(fecha, nullptr);
    fecha->setFocus();
    QTest::keyClick(fecha, Qt::Key_Down);  // the note's day goes back one
    const QDate escrita = fecha->date();
    ASSERT_NE(escrita, QDate::currentDate());

    // Answers the question with `boton`; a configuration dialog showing up right after is noted.
    QStringList preguntas;
    bool configuro = false;
    auto contestar = [&](QMessageBox::StandardButton boton) {
        CuandoAparezcaModal([&, boton](QWidget* w) {
            auto* caja = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(caja, nullptr) << qPrintable(w->objectName());
            preguntas << caja->text();
            caja->button(boton)->click();
            // Only a configuration dialog is this watcher's: on a loaded machine it may still be
            // looking when the next question shows, which is the next answer's to give.
            CuandoAparezcaModal(
                [&](QWidget* d) {
                    if (qobject_cast<Configurar*>(d)) {
                        configuro = true;
                        d->close();
                    }
                },
                10);
        });
    };
    contestar(QMessageBox::Cancel);
    v.TBar_ButtonClick(QStringLiteral("fin"));
    QTest::qWait(150);
    EXPECT_EQ(preguntas, QStringList({QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?")}));
    EXPECT_TRUE(v.isVisible());
    EXPECT_TRUE(editor && editor->isVisible());
    EXPECT_EQ(fecha->date(), escrita);

    // The configuration works on what the open windows show: it waits for them too.
    contestar(QMessageBox::Cancel);
    v.TBar_ButtonClick(QStringLiteral("cfg"));
    QTest::qWait(150);
    EXPECT_EQ(preguntas.size(), 2);
    EXPECT_FALSE(configuro);
    EXPECT_TRUE(editor && editor->isVisible());

    contestar(QMessageBox::Ok);
    v.TBar_ButtonClick(QStringLiteral("fin"));
    // The windows close one after another through the event loop: a loaded machine takes longer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !v.isVisible(); }, 5000));
    EXPECT_TRUE(v.area()->subWindowList().isEmpty() || !editor || !editor->isVisible());
    // Each window was closed, so each kept its place for the next start.
    EXPECT_TRUE(LeerPosicionVentana(QStringLiteral("BrowAlb")).has_value());
    EXPECT_TRUE(LeerPosicionVentana(QStringLiteral("MainMDI")).has_value());
}

// In VERI*FACTU mode the window says, small, what the agency has not yet accepted and why;
// the password it lacks is asked only when the shop clicks, never at start.
TEST_F(Principal, SaysWhatRecordsAreWaitingForTheAgency)
{
    BaseDePrueba base, otra;
    TrabajarSobre(base);
    {
        MainMDI v;
        EXPECT_EQ(v.Envio(), nullptr);
        EXPECT_FALSE(v.lbEnvios->isVisibleTo(&v));
        EXPECT_FALSE(v.Boton(QStringLiteral("reg"))->isVisibleTo(&v));  // the toolbar as it always was
    }
    Global::BD->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), QStringLiteral("1"),
                                  QStringLiteral("/tienda/certificado.p12"), true});
    for (qint32 n : {1, 2}) {
        verifactu::Registro r;
        r.numero = n;
        r.IDEmisorFactura = QStringLiteral("B12345674");
        r.NombreRazonEmisor = QStringLiteral("CARNES QUENZA SL");
        r.NumSerieFactura = verifactu::NumSerie(0, n);
        r.FechaExpedicionFactura = QStringLiteral("04-01-2027");
        r.TipoFactura = QStringLiteral("F2");
        r.desglose = {{true, 1000, 1000, 100, 0, 0}};
        r.cuotaTotal = 100;
        r.importeTotal = 1100;
        verifactu::Encadenar(*Global::BD, r, QDateTime::currentDateTime());
    }
    qunsetenv("QUENZA_AEAT_CLAVE");
    MainMDI v;
    v.show();
    ASSERT_NE(v.Envio(), nullptr);
    EXPECT_TRUE(v.Boton(QStringLiteral("reg"))->isVisibleTo(&v));
    EXPECT_TRUE(v.lbEnvios->isVisible());
    EXPECT_TRUE(v.lbEnvios->text().startsWith(QStringLiteral("Registros VERI*FACTU sin enviar: 2. Falta la contraseña"))) << v.lbEnvios->text().toStdString();
    EXPECT_TRUE(v.lbEnvios->text().contains(QStringLiteral("href"))) << v.lbEnvios->text().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The reason another station's sending left in the database shows here too.
    Global::BD->AnotarFalloEnvio(QStringLiteral("No hay conexión con la Agencia Tributaria."));
    v.ActualizarAvisoEnvios();
    EXPECT_TRUE(v.lbEnvios->text().contains(QStringLiteral("No hay conexión con la Agencia Tributaria."))) << v.lbEnvios->text().toStdString();
    // The password, asked on click, goes to the sender.
    CuandoAparezcaModal([](QWidget* modal) {
        auto* campo = modal->findChild<QLineEdit*>();
        ASSERT_NE(campo, nullptr);
        EXPECT_EQ(campo->echoMode(), QLineEdit::Password);
        campo->setText(QStringLiteral("secreta"));
        static_cast<QDialog*>(modal)->accept();
    });
    emit v.lbEnvios->linkActivated(QStringLiteral("clave"));
    EXPECT_TRUE(v.Envio()->TieneClave());

    // Configurar changes the database: sending leaves the old one, and the new one, outside the
    // mode, has neither sender nor button.
    TrabajarSobre(otra);
    v.EmpezarEnvio();
    QApplication::processEvents();
    EXPECT_EQ(v.Envio(), nullptr);
    EXPECT_FALSE(v.Boton(QStringLiteral("reg"))->isVisibleTo(&v));
    EXPECT_FALSE(v.lbEnvios->isVisible());
    // Turned on there: the sender starts on it, with the password typed for the same certificate.
    Global::BD->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), QStringLiteral("1"),
                                  QStringLiteral("/tienda/certificado.p12"), true});
    v.EmpezarEnvio();
    QApplication::processEvents();
    ASSERT_NE(v.Envio(), nullptr);
    EXPECT_TRUE(v.Envio()->TieneClave());
    EXPECT_TRUE(v.Boton(QStringLiteral("reg"))->isVisibleTo(&v));
}

// The version opens the producer's declaration; what the installed file leaves empty says
// "pendiente", never a made-up NIF.
TEST_F(Principal, TheVersionOpensTheProducersDeclaration)
{
    MainMDI v;
    v.show();
    QString texto;
    CuandoAparezcaModal([&texto](QWidget* modal) {
        auto* acerca = qobject_cast<AcercaDe*>(modal);
        ASSERT_NE(acerca, nullptr);
        texto = acerca->txDeclaracion->toPlainText();
        acerca->accept();
    });
    QTest::mouseClick(v.lbVersion, Qt::LeftButton);
    EXPECT_TRUE(texto.contains(QStringLiteral("Declaración responsable"))) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("Solo VERI*FACTU"))) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("NIF del productor\tpendiente")) || texto.contains(QStringLiteral("NIF del productor\npendiente")))
        << texto.toStdString();

    const QString ini = programa.filePath(QStringLiteral("declaracion.ini"));
    EscribirArchivo(ini, "[Productor]\nNombre=QUENZA SOFTWARE SL\nNIF=B00000000\nDireccion=Calle Mayor 1, 46001 Valencia\n"
                         "[Declaracion]\nFecha=\nLugar=Valencia\n");
    const verifactu::DatosProductor d = verifactu::LeerDatosProductor(ini);
    const auto declaracion = verifactu::DeclaracionResponsable(d, verifactu::Quenza(QStringLiteral("7")));
    auto valor = [&declaracion](const char* titulo) {
        for (const auto& [t, contenido] : declaracion)
            if (t == QString::fromUtf8(titulo))
                return contenido;
        return QStringLiteral("(falta)");
    };
    EXPECT_EQ(valor("NIF del productor"), QStringLiteral("B00000000"));
    EXPECT_EQ(valor("Dirección postal de contacto"), QStringLiteral("Calle Mayor 1, 46001 Valencia"));
    EXPECT_EQ(valor("Fecha"), QStringLiteral("pendiente"));
    EXPECT_EQ(valor("Lugar"), QStringLiteral("Valencia"));
    EXPECT_EQ(valor("Código identificador del sistema"), verifactu::Quenza({}).IdSistemaInformatico);
    EXPECT_EQ(valor("Versión"), verifactu::Quenza({}).Version);
}

}  // namespace
