#include "browalb.h"
#include "browfac.h"
#include "factura.h"
#include "impresion.h"
#include "impresoraactual.h"
#include "listado.h"
#include "listafilas.h"
#include "rejilla.h"
#include "mnuimp.h"
#include "pantallas_prueba.h"
#include "unafactura.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QDate kDia(2024, 3, 15);

class NavegadorFacturas : public PantallasDePrueba {
protected:
    void SetUp() override
    {
        PantallasDePrueba::SetUp();
        cliente(1, QStringLiteral("GARCIA LOPEZ"));
        cliente(2, QStringLiteral("BAR EL PUERTO"), true);
    }
    void TearDown() override
    {
        for (QWidget* b : {static_cast<QWidget*>(BrowFac::Actual()), static_cast<QWidget*>(BrowAlb::Actual())})
            if (b)
                (b->parentWidget() ? b->parentWidget() : b)->close();
        PantallasDePrueba::TearDown();
    }

    void factura(qint16 serie, qint32 numero, qint32 cli, const QDate& fecha, const Valor& pagado = {})
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente, Pagado, DesctoPP, Descuento, "
                                          "Observaciones) VALUES (?, ?, ?, ?, ?, 0, 0, '')"),
                           {serie, numero, fecha.toString(Qt::ISODate), cli, pagado});
    }
    void lineaFactura(qint16 serie, qint32 numero, qint16 linea, double importe, double iva, double req, qint32 bultos = 0,
                      qint32 envase = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaDetalle (Serie, Numero, Linea, Concepto, Referencia, Descripcion, "
                                          "Cantidad, Precio, Unidad, Importe, Descuento, pIVA, pREq, Bultos, Envase) "
                                          "VALUES (?, ?, ?, '', 0, 'GENERO', 1, ?, 2, ?, 0, ?, ?, ?, ?)"),
                           {serie, numero, linea, importe, importe, iva, req, bultos, envase});
    }
    // Invoices 1 and 2 of series 1 (the second with surcharge and crates), 1 of series 2.
    void Facturas()
    {
        factura(1, 1, 1, kDia);
        lineaFactura(1, 1, 1, 100, 21, 5.2);
        factura(1, 2, 2, kDia);
        lineaFactura(1, 2, 1, 100, 21, 5.2, 2, 150);  // 21,00 VAT, 5,20 surcharge, 3,00 crates
        lineaFactura(1, 2, 2, 50, 10, 1.4);           // 5,00 VAT, 0,70 surcharge
        factura(2, 1, 1, kDia.addDays(1), 5.0);
        lineaFactura(2, 1, 1, 10, 4, 0.5);
    }
    BrowFac* Abrir(std::optional<ClienteFiltro> cli = std::nullopt, std::optional<QDate> desde = std::nullopt,
                   std::optional<QDate> hasta = std::nullopt)
    {
        BrowFac* b = BrowFac::Abrir(cli, desde, hasta);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(b));
        return b;
    }
    // Sets the series through the filter dialog.
    void SerieConFiltro(BrowFac* b, const QString& serie)
    {
        contestador->Hacer([serie](QWidget* d) {
            QWidget* marco = d->findChild<QWidget*>(QStringLiteral("frSerie"));
            EXPECT_TRUE(marco && marco->isVisible());
            auto* texto = Hijo<QLineEdit>(d, "txSerie");
            texto->setText(serie);
            Hijo<QAbstractButton>(d, "Acepta")->click();
        });
        QTest::mouseClick(b->Filtrar, Qt::LeftButton);
        EXPECT_TRUE(Esperar([&] { return !contestador->Pendiente() && !QApplication::activeModalWidget(); }));
    }
    QStringList Numeros(BrowFac* b)
    {
        QStringList n;
        for (int f = 1; f < b->Grd->Rows(); ++f)
            n << b->Grd->TextMatrix(f, 0);
        return n;
    }
};

TEST_F(NavegadorFacturas, ListsOneSeriesWithWhatTheCustomerOwesAndSettlingListsItAsSettled)
{
    Facturas();
    BrowFac* b = Abrir();
    EXPECT_EQ(b->windowTitle(), QStringLiteral("Lista de Facturas"));
    EXPECT_EQ(Navegadores::facturas, b);
    EXPECT_EQ(b->Serie(), 0);
    EXPECT_EQ(b->Grd->Rows(), 1);  // series 0 has none

    SerieConFiltro(b, QStringLiteral("1"));
    EXPECT_EQ(b->Serie(), 1);
    ASSERT_EQ(Numeros(b), QStringList({"1", "2"}));
    const QStringList titulos = {"Número", "Fecha", "Cód.", "Cliente", "Importe", "IVA", "TOTAL", "Pagado"};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(b->Grd->TextMatrix(0, c), titulos[c]);
    // Customer 2 pays surcharge and crates: the total is what the invoice asks for.
    const QStringList segunda = {"2", "15/03/2024", "000002", "BAR EL PUERTO", "150,00", "26,00", "184,90", ""};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(b->Grd->TextMatrix(2, c), segunda[c]) << c;
    EXPECT_EQ(b->Grd->TextMatrix(1, 6), QStringLiteral("121,00"));

    SerieConFiltro(b, QStringLiteral("2"));
    EXPECT_EQ(Numeros(b), QStringList({"1"}));
    EXPECT_EQ(b->Grd->TextMatrix(1, 7), QStringLiteral("5,00"));

    // Settling with surcharge and crates lists the invoice as settled.
    SerieConFiltro(b, QStringLiteral("1"));
    const auto estados = [&](bool pendientes, bool liquidadas) {
        if (b->chkPendi->isChecked() != pendientes)
            QTest::mouseClick(b->chkPendi, Qt::LeftButton, {}, QPoint(6, b->chkPendi->height() / 2));
        if (b->chkLiqui->isChecked() != liquidadas)
            QTest::mouseClick(b->chkLiqui, Qt::LeftButton, {}, QPoint(6, b->chkLiqui->height() / 2));
        return Numeros(b);
    };
    EXPECT_EQ(estados(true, true), QStringList({"1", "2"}));
    EXPECT_EQ(estados(false, false), QStringList({"1", "2"}));
    EXPECT_EQ(estados(true, false), QStringList({"1", "2"}));
    EXPECT_EQ(b->EstadoFiltro(), std::optional<bool>(true));

    b->Grd->setRow(2);
    b->MnLiquidar->trigger();
    EXPECT_TRUE(contestador->textos.isEmpty());  // no question asked
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select Pagado from FacturaVentaCabecera where Serie=1 and Numero=2")), 184.9);
    EXPECT_EQ(Numeros(b), QStringList({"1"}));
    EXPECT_EQ(estados(false, true), QStringList({"2"}));
    EXPECT_EQ(b->Grd->TextMatrix(1, 7), QStringLiteral("184,90"));
}

// A long series shows its first page at once and reads the rest behind it; the payment state
// still holds on the pages read behind, and an invoice asked for beyond them is found.
TEST_F(NavegadorFacturas, ALongSeriesShowsItsFirstRowsAndReadsTheRestBehind)
{
    const int total = 700;
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (int n = 1; n <= total; ++n) {
            factura(1, n, 1 + n % 2, kDia, n % 5 == 0 ? Valor(121.0) : Valor());
            lineaFactura(1, n, 1, 100, 21, 0);
        }
        t.commit();
    }
    BrowFac* b = Abrir();
    b->FijarSerie(1);
    ASSERT_TRUE(b->Leyendo());
    EXPECT_LT(b->Grd->Rows(), total + 1);
    b->Refresco(650);
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("650"));
    ASSERT_TRUE(Esperar([&] { return !b->Leyendo(); }, 10000));
    ASSERT_EQ(b->Grd->Rows(), total + 1);
    for (const int fila : {1, 200, 201, 451, total})
        EXPECT_EQ(b->Grd->TextMatrix(fila, 0), QString::number(fila)) << fila;

    // Pending only: every fifth invoice is paid and left out, on every page.
    b->chkPendi->click();
    ASSERT_TRUE(Esperar([&] { return !b->Leyendo(); }, 10000));
    ASSERT_EQ(b->Grd->Rows(), total - total / 5 + 1);
    for (int f = 1; f < b->Grd->Rows(); ++f)
        ASSERT_NE(b->Grd->TextMatrix(f, 0).toInt() % 5, 0) << f;
}

TEST_F(NavegadorFacturas, DeletingAnInvoiceReleasesItsNotes)
{
    Facturas();
    albaran(1, 1, kDia, 0, Valor(1));
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac=1 WHERE Numero=1"));
    BrowFac* b = Abrir();
    SerieConFiltro(b, QStringLiteral("1"));
    b->Grd->setRow(1);
    contestador->Cancelar();
    QTest::mouseClick(b->Borrar, Qt::LeftButton);
    EXPECT_EQ(Numeros(b), QStringList({"1", "2"}));
    contestador->Ok();
    b->MnEliminar->trigger();
    EXPECT_EQ(contestador->textos, QStringList({"Eliminar una factura completa: ¿SEGURO?", "Eliminar una factura completa: ¿SEGURO?"}));
    EXPECT_EQ(Numeros(b), QStringList({"2"}));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=1 and Numero=1")), 0);

    BrowAlb* alb = BrowAlb::Abrir();
    ASSERT_EQ(alb->Grd->Rows(), 2);
    EXPECT_FALSE(alb->Facturado(1));

    // The store refuses: the message, and the row stays.
    OtroPuestoSeAdelanta(m(), QStringLiteral("FacturaVentaCabecera"), QStringLiteral("DELETE"), QString());
    contestador->Ok();
    contestador->Ok();
    b->Grd->setRow(1);
    b->MnEliminar->trigger();
    EXPECT_EQ(contestador->textos.last(), QStringLiteral("Error al eliminar la factura."));
    EXPECT_EQ(contestador->iconos.back(), QMessageBox::Critical);
    EXPECT_EQ(Numeros(b), QStringList({"2"}));
}

TEST_F(NavegadorFacturas, PrintingOneInvoiceAndTheListings)
{
    Facturas();
    ImpresionDePrueba impresion(3);
    const int& runs = impresion.cargas;
    const std::vector<Listado>& listados = impresion.listados;

    BrowFac* b = Abrir(ClienteFiltro{1, QStringLiteral("GARCIA LOPEZ")}, QDate(2024, 3, 1), QDate(2024, 3, 31));
    SerieConFiltro(b, QStringLiteral("1"));
    b->Grd->setRow(1);
    b->mnImprimir->trigger();
    EXPECT_EQ(runs, 3);

    QTest::mouseClick(b->chkLiqui, Qt::LeftButton, {}, QPoint(6, b->chkLiqui->height() / 2));
    contestador->Hacer([](QWidget* d) {
        Hijo<QAbstractButton>(d, "opLis")->click();
        Hijo<QAbstractButton>(d, "opMes")->click();
        Hijo<QAbstractButton>(d, "Aceptar")->click();
    });
    QTest::mouseClick(b->chkLiqui, Qt::LeftButton, {}, QPoint(6, b->chkLiqui->height() / 2));
    QTest::mouseClick(b->chkPendi, Qt::LeftButton, {}, QPoint(6, b->chkPendi->height() / 2));
    QTest::mouseClick(b->Imprim, Qt::LeftButton);
    ASSERT_EQ(listados.size(), 1u);
    EXPECT_EQ(listados[0].NombreArchivo, QStringLiteral("LstFactFch.rpt"));
    EXPECT_EQ(listados[0].Formulas.mid(1),
              QStringList({"fchDesde=Date(2024,3,1)", "fchHasta=Date(2024,3,31)", "UnCli=1", "SelPend=1"}));
    contestador->Hacer([](QWidget* d) {
        Hijo<QAbstractButton>(d, "opLis")->click();
        Hijo<QAbstractButton>(d, "opCli")->click();
        Hijo<QAbstractButton>(d, "Aceptar")->click();
    });
    QTest::mouseClick(b->Imprim, Qt::LeftButton);
    ASSERT_EQ(listados.size(), 2u);
    EXPECT_EQ(listados[1].NombreArchivo, QStringLiteral("LstFactCli.rpt"));
}

// The invoice of the current row opens once; a second Enter or double click brings it forward.
// Every series numbers from 1: invoice 1 of series 2 is not series 1's invoice 1. One editor
// opens for a new invoice, and the browser closes the editors it opened.
TEST_F(NavegadorFacturas, OneEditorPerInvoiceKeptBySeriesAndNumberAndOneForANewInvoice)
{
    Facturas();
    BrowFac* b = Abrir();
    b->FijarSerie(1);
    b->Grd->setCelda(1, 0);
    QTest::keyClick(b->Grd, Qt::Key_Return);
    QPointer<QWidget> primera = b->Hijo(1);
    ASSERT_TRUE(primera);

    b->FijarSerie(2);
    EXPECT_EQ(b->Hijo(1), nullptr);
    b->Grd->setRow(1);
    b->MnLiquidar->trigger();
    EXPECT_TRUE(contestador->textos.empty());
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select Pagado from FacturaVentaCabecera where Serie=2 and Numero=1")), 10.4);
    QTest::keyClick(b->Grd, Qt::Key_Return);
    QPointer<QWidget> segunda = b->Hijo(1);
    ASSERT_TRUE(segunda);
    ASSERT_NE(segunda.data(), primera.data());
    EXPECT_EQ(qobject_cast<UnaFactura*>(segunda.data())->Documento().Serie, std::optional<qint16>(2));

    // Series 1's editor closing leaves series 2's registered.
    primera->parentWidget()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(primera);
    EXPECT_EQ(b->Hijo(1), segunda.data());
    b->FijarSerie(1);
    EXPECT_EQ(b->Hijo(1), nullptr);

    // One editor per invoice, and one for a new invoice.
    b->Grd->setCelda(2, 0);
    QTest::keyClick(b->Grd, Qt::Key_Return);
    QPointer<QWidget> abierta = b->Hijo(2);
    ASSERT_TRUE(abierta);
    auto* editor = qobject_cast<UnaFactura*>(abierta.data());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Documento().Numero, 2);
    const auto ventanas = area->subWindowList().size();
    QTest::mouseDClick(b->Grd->viewport(), Qt::LeftButton, {}, b->Grd->rectCelda(2, 3).center());
    QTest::keyClick(b->Grd, Qt::Key_Return);
    EXPECT_EQ(b->Hijo(2), abierta.data());
    EXPECT_EQ(area->subWindowList().size(), ventanas);

    QTest::mouseClick(b->Nuevo, Qt::LeftButton);
    QPointer<QWidget> nueva = b->Hijo(0);
    ASSERT_TRUE(nueva);
    b->MnNuevo->trigger();
    EXPECT_EQ(b->Hijo(0), nueva.data());
    EXPECT_EQ(area->subWindowList().size(), ventanas + 1);

    // An invoice being edited is neither deleted nor settled from here.
    contestador->Ok();
    b->Grd->setCelda(2, 0);
    b->MnEliminar->trigger();
    EXPECT_EQ(contestador->textos, QStringList({"La factura se está editando: No se puede eliminar ahora"}));
    EXPECT_EQ(Numeros(b), QStringList({"1", "2"}));

    // Closing the browser closes the editors it opened.
    b->parentWidget()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(abierta);
    EXPECT_FALSE(nueva);
    EXPECT_FALSE(segunda);
}

// A custom button of the next message box, by its text.
std::function<void(QWidget*)> Boton(const QString& texto)
{
    return [texto](QWidget* w) {
        auto* caja = qobject_cast<QMessageBox*>(w);
        ASSERT_TRUE(caja);
        for (QAbstractButton* b : caja->buttons())
            if (b->text().remove(QLatin1Char('&')) == texto) {
                b->click();
                return;
            }
        ADD_FAILURE() << "no button " << texto.toStdString();
        caja->reject();
    };
}

TEST_F(NavegadorFacturas, AnIssuedInvoiceIsReadOnlyAndItsDeletionIsAnAnnulmentOrARectification)
{
    Global::BD->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), {}, {}, true});
    Factura f(*Global::BD);
    ASSERT_TRUE(f.WhoAmI(qint16(0)));
    ASSERT_TRUE(f.SetCliente(1));
    LineaFactura* l = f.NuevaLinea();
    l->FijarConcepto(QStringLiteral("Género"));
    l->FijarImporte(100.0);
    l->FijarpIVA(10);
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    albaran(1, 1, kDia, 0, Valor(*f.Numero));
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac=0 WHERE Numero=1"));

    BrowFac* b = Abrir();
    b->Grd->setRow(1);
    b->MnModificar->trigger();
    UnaFactura* editor = nullptr;
    for (QWidget* x : QApplication::allWidgets())
        if (auto* u = qobject_cast<UnaFactura*>(x))
            editor = u;
    ASSERT_TRUE(editor);
    auto* explicacion = editor->findChild<QLabel*>(QStringLiteral("lbEmitida"));
    ASSERT_TRUE(explicacion);
    EXPECT_TRUE(explicacion->isVisible());
    EXPECT_TRUE(explicacion->text().contains(QStringLiteral("no se pueden cambiar")));
    for (const char* campo : {"txNumero", "txCliente", "txCodCli", "txDescuento", "txDesctoPP"})
        EXPECT_TRUE(editor->findChild<QLineEdit*>(QString::fromLatin1(campo))->isReadOnly()) << campo;
    EXPECT_FALSE(editor->findChild<QLineEdit*>(QStringLiteral("txPagado"))->isReadOnly());
    (editor->parentWidget() ? editor->parentWidget() : editor)->close();
    QTest::qWait(20);

    // Borrar in the list: cancelled, nothing happens; "Anular" keeps the invoice, marked.
    contestador->Olvidar();
    contestador->Cancelar();
    b->Grd->setRow(1);
    QTest::mouseClick(b->Borrar, Qt::LeftButton);
    ASSERT_TRUE(contestador->Esperar());
    EXPECT_TRUE(contestador->textos.value(0).contains(QStringLiteral("no se puede borrar")));
    EXPECT_FALSE(b->Grd->TextMatrix(1, 3).startsWith(QStringLiteral("ANULADA")));
    contestador->Hacer(Boton(QStringLiteral("Anular")));
    contestador->Responder(QMessageBox::Yes);
    b->Grd->setRow(1);
    QTest::mouseClick(b->Borrar, Qt::LeftButton);
    ASSERT_TRUE(contestador->Esperar());
    EXPECT_EQ(b->Grd->Rows(), 2);
    EXPECT_EQ(b->Grd->TextMatrix(1, 3), QStringLiteral("ANULADA - GARCIA LOPEZ"));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion where Tipo='N'")), 1);
    EXPECT_EQ(uno(QStringLiteral("select Factura is null from AlbaranVentaCabecera where Numero=1")), 1);
}

// Borrar -> Rectificar on an issued invoice, by differences and by substitution: the rectifying
// invoice opens in its own series naming the original, is typed and saved with its own record.
class RectificarDesdeLaLista : public NavegadorFacturas, public ::testing::WithParamInterface<bool> {};

TEST_P(RectificarDesdeLaLista, OpensARectifyingInvoiceThatIsSavedWithItsRecord)
{
    const bool sustitucion = GetParam();
    Global::BD->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), {}, {}, true});
    Factura f(*Global::BD);
    ASSERT_TRUE(f.WhoAmI(qint16(0)));
    ASSERT_TRUE(f.SetCliente(1));
    LineaFactura* l = f.NuevaLinea();
    l->FijarConcepto(QStringLiteral("Género"));
    l->FijarImporte(100.0);
    l->FijarpIVA(10);
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();

    BrowFac* b = Abrir();
    contestador->Hacer(Boton(QStringLiteral("Rectificar")));
    contestador->Hacer(Boton(sustitucion ? QStringLiteral("Por sustitución") : QStringLiteral("Por diferencias")));
    b->Grd->setRow(1);
    QTest::mouseClick(b->Borrar, Qt::LeftButton);
    ASSERT_TRUE(contestador->Esperar());
    ASSERT_TRUE(contestador->textos.value(1).contains(QStringLiteral("¿Cómo corrige"))) << contestador->textos.join(u'|').toStdString();

    UnaFactura* editor = nullptr;
    for (QWidget* x : QApplication::allWidgets())
        if (auto* u = qobject_cast<UnaFactura*>(x); u && u->Documento().Rectifica)
            editor = u;
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->Documento().Rectifica, (Factura::Rectificacion{0, 1, sustitucion}));
    EXPECT_EQ(*editor->Documento().Serie, 10);
    EXPECT_EQ(editor->Documento().NumeroLineas(), sustitucion ? 1 : 0);
    EXPECT_FALSE(editor->findChild<QLabel*>(QStringLiteral("lbEmitida"))->isVisible());

    // Typed in its grid: by differences a returned amount, by substitution the right amount.
    area->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(area.get()));
    auto* grd = editor->findChild<Rejilla*>(QStringLiteral("Grd"));
    ASSERT_TRUE(grd);
    const auto foco = [grd] { return QApplication::focusWidget() ? QApplication::focusWidget() : grd; };
    const auto tecla = [foco](Qt::Key k, Qt::KeyboardModifiers mod = Qt::NoModifier) { QTest::keyClick(foco(), k, mod); };
    // Opens the cell, replaces what it holds with `texto` and leaves it.
    const auto escribir = [&](int col, const QString& texto) {
        const bool abierta = grd->Row() == 1 && grd->Col() == col && foco()->objectName() == QLatin1String("txEd");
        if (!abierta) {
            grd->setFocus();
            grd->setRow(1);
            grd->setCol(col);
        }
        ASSERT_EQ(foco()->objectName(), QStringLiteral("txEd"));
        tecla(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(foco(), texto);
        tecla(Qt::Key_Return);
    };
    if (!sustitucion) {
        // Enter on the customer goes to the lines: the first one opens.
        editor->findChild<QLineEdit*>(QStringLiteral("txCliente"))->setFocus();
        tecla(Qt::Key_Return);
        escribir(3, QStringLiteral("DEVOLUCION"));
        escribir(4, QStringLiteral("10"));
    }
    escribir(9, sustitucion ? QStringLiteral("90") : QStringLiteral("-10"));
    ASSERT_GE(editor->Documento().NumeroLineas(), 1);
    EXPECT_EQ(editor->Documento().Linea(1)->Importe(), std::optional<double>(sustitucion ? 90 : -10));
    contestador->Olvidar();
    tecla(Qt::Key_Return, Qt::ControlModifier);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(contestador->textos.isEmpty()) << contestador->textos.join(u'|').toStdString();

    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera where Serie=10 and RectificaSerie=0 and RectificaNumero=1 "
                                 "and TipoRectificativa='%1'").arg(sustitucion ? 'S' : 'I')),
              1);
    const std::optional<verifactu::Registro> r = Global::BD->RegistroDeFactura(10, 1);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->TipoFactura, QStringLiteral("R1"));
    EXPECT_EQ(r->TipoRectificativa, sustitucion ? QStringLiteral("S") : QStringLiteral("I"));
    ASSERT_TRUE(r->rectificada);
    EXPECT_EQ(r->rectificada->NumSerieFactura, QStringLiteral("A-000001"));
    EXPECT_EQ(r->importeTotal, sustitucion ? 9900 : -1100);
    EXPECT_EQ(r->baseRectificada, sustitucion ? 10000 : 0);
    // The original stays as it was issued.
    EXPECT_EQ(Global::BD->RegistroDeFactura(0, 1)->importeTotal, 11000);
}

INSTANTIATE_TEST_SUITE_P(Formas, RectificarDesdeLaLista, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "PorSustitucion" : "PorDiferencias"; });

}  // namespace
