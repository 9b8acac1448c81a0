#include "albaranes.h"
#include "browalb.h"
#include "editorcelda.h"
#include "impresion.h"
#include "impresoraactual.h"
#include "listado.h"
#include "mnuimp.h"
#include "pantallas_prueba.h"
#include "listafilas.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QDate kDia(2024, 3, 15);

class NavegadorAlbaranes : public PantallasDePrueba {
protected:
    void SetUp() override
    {
        PantallasDePrueba::SetUp();
        cliente(1, QStringLiteral("GARCIA LOPEZ"));
        cliente(2, QStringLiteral("PANADERIA SOL"), true);
        articulo(9001, QStringLiteral("CHULETA"), 0, 1, 1200);  // 12,00 €/kg
        articulo(9002, QStringLiteral("PAN"), 2, 5, 100);        // 1,00 € each
    }
    void TearDown() override
    {
        if (BrowAlb* b = BrowAlb::Actual())
            (b->parentWidget() ? b->parentWidget() : b)->close();
        PantallasDePrueba::TearDown();
    }

    // Three notes of customer 1 on kDia and one of customer 2 the day after.
    void Notas()
    {
        albaran(1, 1, kDia);
        linea(1, 1, 9001, 1, 1200, 0, 1500);  // 18,00
        linea(1, 2, 9002, 5, 100, 2, 3);      // 3,00
        albaran(2, 1, kDia);
        linea(2, 1, 9002, 5, 100, 2, 10);     // 10,00
        albaran(3, 1, kDia);
        linea(3, 1, 9001, 1, 1200, 0, 500);   // 6,00
        albaran(4, 2, kDia.addDays(1));
        linea(4, 1, 9002, 5, 100, 2, 5, 5);   // stock already discounted
    }

    BrowAlb* Abrir(std::optional<ClienteFiltro> cli = std::nullopt, std::optional<QDate> desde = std::nullopt,
                   std::optional<QDate> hasta = std::nullopt)
    {
        BrowAlb* b = BrowAlb::Abrir(cli, desde, hasta);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(b));
        return b;
    }
    void Tecla(BrowAlb* b, int fila, Qt::Key tecla)
    {
        b->Grd->setCelda(fila, 0);
        QTest::keyClick(b->Grd, tecla);
    }
    // The context menu as a right click on the row shows it.
    QMenu* Menu(BrowAlb* b, int fila)
    {
        const QRect r = b->Grd->rectCelda(fila, 3);
        QTest::mouseClick(b->Grd->viewport(), Qt::RightButton, {}, r.center());
        EXPECT_TRUE(Esperar([&] { return b->MnAcciones->isVisible(); }));
        return b->MnAcciones;
    }
    qint64 sumaVentas(qint32 articulo) { return uno(QStringLiteral("select coalesce(sum(Venta),0) from MovsAlm where Codigo=%1").arg(articulo)); }
    qint64 canStock(qint32 nota) { return uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle where Numero=%1").arg(nota)); }
    qint64 notas() { return uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")); }
};

TEST_F(NavegadorAlbaranes, ListsTheNotesOfTheFilterWithTheirFormats)
{
    Notas();
    albaran(5, 2, kDia.addDays(2), 4.5, Valor(7));
    BrowAlb* b = Abrir();
    EXPECT_EQ(Navegadores::albaranes, b);
    EXPECT_EQ(b->lbFch->text(), QStringLiteral("(todas)"));
    EXPECT_EQ(b->lbCli->text(), QStringLiteral("(todos)"));
    EXPECT_EQ(TextoFiltroFechas(kDia, std::nullopt), QStringLiteral("desde 15/03/2024"));
    EXPECT_EQ(TextoFiltroFechas(std::nullopt, kDia), QStringLiteral("hasta 15/03/2024"));
    EXPECT_EQ(TextoFiltroFechas(kDia, kDia.addDays(1)), QStringLiteral("desde 15/03/2024 hasta 16/03/2024"));
    EXPECT_EQ(TextoFiltroCliente(ClienteFiltro{12, QStringLiteral("ANA")}), QStringLiteral("000012  ANA"));
    ASSERT_EQ(b->Grd->Rows(), 6);
    const QStringList primera = {"1", "15/03/2024", "1", "GARCIA LOPEZ", "2", "21,00", "", "Sí", ""};
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(b->Grd->TextMatrix(1, c), primera[c]) << c;
    EXPECT_EQ(b->Grd->TextMatrix(4, 7), QStringLiteral("No"));
    EXPECT_EQ(b->Grd->TextMatrix(5, 6), QStringLiteral("000007"));
    EXPECT_EQ(b->Grd->TextMatrix(5, 8), QStringLiteral("4,50"));
    EXPECT_TRUE(b->Facturado(5));
    EXPECT_FALSE(b->Facturado(1));
    EXPECT_TRUE(b->StockPendiente(1));
    EXPECT_FALSE(b->StockPendiente(4));

    // A second Abrir without a customer (the toolbar's) only brings the loaded browser forward,
    // with its own filter.
    EXPECT_EQ(BrowAlb::Abrir(std::nullopt, kDia, kDia), b);
    EXPECT_EQ(b->Grd->Rows(), 6);

    // Refresco keeps the row, or selects the given note.
    b->Grd->setRow(3);
    b->Refresco(std::nullopt);
    EXPECT_EQ(b->Grd->Row(), 3);
    b->Refresco(4);
    EXPECT_EQ(b->Grd->Row(), 4);
    EXPECT_EQ(b->Grd->Col(), 0);

    // Closing stores the position and leaves the registry.
    b->parentWidget()->close();
    EXPECT_EQ(Navegadores::albaranes, nullptr);
    EXPECT_TRUE(LeerPosicionVentana(QStringLiteral("BrowAlb")).has_value());
}

// A long list shows its first page at once and reads the rest behind it: rows, a note asked
// for beyond what has come, and Ctrl+End pressed while reading all end where they would on a
// list read whole.
TEST_F(NavegadorAlbaranes, ALongListShowsItsFirstRowsAndReadsTheRestBehind)
{
    const int total = 1205;  // the first page, a full one and a few more
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (int n = 1; n <= total; ++n)
            albaran(n * 2, 1 + n % 2, kDia.addDays(n % 30));
        t.commit();
    }
    BrowAlb* b = BrowAlb::Abrir();
    ASSERT_TRUE(b->Leyendo());
    EXPECT_GT(b->Grd->Rows(), 1);
    EXPECT_LT(b->Grd->Rows(), total + 1);
    EXPECT_EQ(b->Grd->TextMatrix(1, 0), QStringLiteral("2"));

    // Asked for a note that has not come yet: the pages up to it are read and it is selected.
    b->Refresco(2 * 700);
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("1400"));
    EXPECT_TRUE(b->Leyendo());

    QTest::keyClick(b->Grd, Qt::Key_End, Qt::ControlModifier);
    ASSERT_TRUE(Esperar([&] { return !b->Leyendo(); }, 10000));
    ASSERT_EQ(b->Grd->Rows(), total + 1);
    EXPECT_EQ(b->Grd->Row(), total);
    for (const int fila : {1, 200, 201, 1200, 1201, total}) {
        EXPECT_EQ(b->Grd->TextMatrix(fila, 0), QString::number(fila * 2)) << fila;
        EXPECT_EQ(b->Grd->TextMatrix(fila, 1), kDia.addDays(fila % 30).toString(QStringLiteral("dd/MM/yyyy"))) << fila;
    }

    // A new reading (another filter) drops what was still due for the first.
    b->Grd->setRow(1);
    b->Refresco(std::nullopt);
    EXPECT_TRUE(b->Leyendo());
    b->Abrir(ClienteFiltro{2, QStringLiteral("PANADERIA SOL")});
    ASSERT_TRUE(Esperar([&] { return !b->Leyendo(); }, 10000));
    EXPECT_EQ(b->Grd->Rows(), (total + 1) / 2 + 1);
    for (int f = 1; f < b->Grd->Rows(); ++f)
        ASSERT_EQ(b->Grd->TextMatrix(f, 2), QStringLiteral("2")) << f;
}

// Each option of the dialog, accepted, gives the browser that filter.
TEST_F(NavegadorAlbaranes, FilterDialogRoundTrip)
{
    Notas();
    BrowAlb* b = Abrir(std::nullopt, kDia, kDia);
    auto filtrar = [&](std::function<void(QWidget*)> accion) {
        contestador->Hacer(std::move(accion));
        QTest::mouseClick(b->Filtrar, Qt::LeftButton);
        EXPECT_TRUE(b->Filtrar->isDown());
        EXPECT_TRUE(Esperar([&] { return !contestador->Pendiente() && !QApplication::activeModalWidget(); }));
        EXPECT_FALSE(b->Filtrar->isDown());
    };
    auto pulsar = [](QWidget* d, const char* nombre) { Hijo<QAbstractButton>(d, nombre)->click(); };

    // The dialog shows the browser's filter: one day, all customers; no series frame.
    filtrar([&](QWidget* d) {
        EXPECT_TRUE(Hijo<QRadioButton>(d, "opUndia")->isChecked());
        EXPECT_EQ(Hijo<QDateEdit>(d, "fchUndia")->date(), kDia);
        EXPECT_TRUE(Hijo<QRadioButton>(d, "opTodos")->isChecked());
        EXPECT_FALSE(d->findChild<QWidget*>(QStringLiteral("frSerie"))->isVisible());
        EXPECT_FALSE(Hijo<QDateEdit>(d, "fchDes")->isVisible());
        pulsar(d, "opIntervalo");
        EXPECT_FALSE(Hijo<QDateEdit>(d, "fchUndia")->isVisible());
        EXPECT_TRUE(Hijo<QDateEdit>(d, "fchHas")->isVisible());
        pulsar(d, "chHas");
        EXPECT_TRUE(Hijo<QDateEdit>(d, "fchDes")->isVisible());
        EXPECT_FALSE(Hijo<QDateEdit>(d, "fchHas")->isVisible());
        Hijo<QDateEdit>(d, "fchDes")->setDate(kDia.addDays(1));
        pulsar(d, "Acepta");
    });
    EXPECT_EQ(b->lbFch->text(), QStringLiteral("desde 16/03/2024"));
    EXPECT_EQ(b->Grd->Rows(), 2);
    EXPECT_EQ(b->focusWidget(), b->Grd);

    // "Un cliente" needs a customer the completion found; cancelling changes nothing.
    filtrar([&](QWidget* d) {
        EXPECT_TRUE(Hijo<QRadioButton>(d, "opIntervalo")->isChecked());
        EXPECT_TRUE(Hijo<QCheckBox>(d, "chDes")->isChecked());
        EXPECT_FALSE(Hijo<QCheckBox>(d, "chHas")->isChecked());
        pulsar(d, "opUnCli");
        Hijo<QLineEdit>(d, "txNom")->setText(QStringLiteral("NADIE"));
        pulsar(d, "Acepta");
        EXPECT_TRUE(d->isVisible());
        pulsar(d, "Cancela");
    });
    EXPECT_EQ(b->lbCli->text(), QStringLiteral("(todos)"));

    filtrar([&](QWidget* d) {
        pulsar(d, "opUnCli");
        auto* nombre = Hijo<QLineEdit>(d, "txNom");
        nombre->setFocus();
        QTest::keyClicks(nombre, QStringLiteral("gar"));
        EXPECT_EQ(Hijo<QLabel>(d, "lbcod")->text(), QStringLiteral("000001"));
        pulsar(d, "opTodas");
        pulsar(d, "Acepta");
    });
    EXPECT_EQ(b->lbCli->text(), QStringLiteral("000001  GARCIA LOPEZ"));
    EXPECT_EQ(b->lbFch->text(), QStringLiteral("(todas)"));
    EXPECT_EQ(b->Grd->Rows(), 4);

    filtrar([&](QWidget* d) {
        EXPECT_TRUE(Hijo<QRadioButton>(d, "opUnCli")->isChecked());
        EXPECT_EQ(Hijo<QLineEdit>(d, "txNom")->text(), QStringLiteral("GARCIA LOPEZ"));
        EXPECT_TRUE(Hijo<QRadioButton>(d, "opTodas")->isChecked());
        pulsar(d, "opTodos");
        pulsar(d, "opUndia");
        Hijo<QDateEdit>(d, "fchUndia")->setDate(kDia.addDays(1));
        pulsar(d, "Acepta");
    });
    EXPECT_EQ(b->lbFch->text(), QStringLiteral("16/03/2024"));
    EXPECT_EQ(b->Grd->Rows(), 2);
    EXPECT_EQ(b->Grd->TextMatrix(1, 0), QStringLiteral("4"));
}

// The context menu follows the note; deleting one note asks, and an invoiced one says why it stays.
TEST_F(NavegadorAlbaranes, ContextMenuFollowsTheNoteAndDeletingOneNote)
{
    Notas();
    albaran(5, 2, kDia, 0, Valor(3));
    linea(5, 1, 9002, 5, 100, 2, 1, 1);
    BrowAlb* b = Abrir();
    QMenu* menu = Menu(b, 1);  // pending, stock not discounted
    EXPECT_EQ(b->Grd->Row(), 1);
    EXPECT_TRUE(b->MnEliminar->isEnabled());
    EXPECT_TRUE(b->MnFacturar->isEnabled());
    EXPECT_TRUE(b->MnLiquidar->isEnabled());
    EXPECT_TRUE(b->MnDescontar->isVisible());
    EXPECT_FALSE(b->MnDeshacer->isVisible());
    menu->close();
    Menu(b, 5);  // invoiced, nothing to discount
    EXPECT_EQ(b->Grd->Row(), 5);
    EXPECT_FALSE(b->MnEliminar->isEnabled());
    EXPECT_FALSE(b->MnFacturar->isEnabled());
    EXPECT_FALSE(b->MnLiquidar->isEnabled());
    EXPECT_FALSE(b->MnDescontar->isVisible());
    EXPECT_TRUE(b->MnDeshacer->isVisible());
    EXPECT_TRUE(b->mnImprUno->isEnabled());
    menu->close();

    // Cancel keeps it; OK deletes it; an invoiced note says why it stays. With Ctrl or Alt the
    // letters are no commands.
    contestador->Cancelar();
    Tecla(b, 2, Qt::Key_E);
    EXPECT_EQ(notas(), 5);
    contestador->Ok();
    Tecla(b, 2, Qt::Key_Delete);
    EXPECT_EQ(contestador->textos, QStringList({"Eliminar un albarán completo: ¿SEGURO?", "Eliminar un albarán completo: ¿SEGURO?"}));
    EXPECT_EQ(notas(), 4);
    EXPECT_EQ(b->Grd->Rows(), 5);
    EXPECT_EQ(b->Grd->TextMatrix(2, 0), QStringLiteral("3"));
    contestador->Ok();
    Tecla(b, 4, Qt::Key_E);
    EXPECT_EQ(notas(), 4);
    ASSERT_EQ(contestador->textos.size(), 3);
    EXPECT_EQ(contestador->textos[2],
              QStringLiteral("El albarán está facturado: no se puede eliminar.\nPara eliminarlo, elimine antes su factura."));
    const qint64 stock = canStock(1);
    for (Qt::Key tecla : {Qt::Key_E, Qt::Key_D, Qt::Key_Delete, Qt::Key_F}) {
        b->Grd->setCelda(1, 0);
        QTest::keyClick(b->Grd, tecla, Qt::ControlModifier);
        QTest::keyClick(b->Grd, tecla, Qt::AltModifier);
    }
    EXPECT_EQ(contestador->textos.size(), 3);
    EXPECT_EQ(canStock(1), stock);
    EXPECT_EQ(notas(), 4);

    // A note invoiced on the other PC after the list was read.
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET Factura=9 WHERE Numero=3"));
    contestador->Ok();
    contestador->Ok();
    Tecla(b, 2, Qt::Key_E);
    ASSERT_EQ(contestador->textos.size(), 5);
    EXPECT_EQ(contestador->textos[4], QStringLiteral("Error al eliminar el albarán.\nPosiblemente figure en alguna factura.\n"
                                                      "Deberá eliminar primero dicho documento."));
    EXPECT_EQ(contestador->iconos[4], QMessageBox::Critical);
    EXPECT_EQ(notas(), 4);
}

// With another station holding the write lock, each one-note action says why it failed in
// Spanish, not a guess, and changes nothing.
TEST_F(NavegadorAlbaranes, OneNoteActionsUnderALockSayWhy)
{
    Notas();
    BrowAlb* b = Abrir();
    m().fijarEspera(30);
    motor::BaseDeDatos cerrojo(Global::RutaBaseDatos);
    cerrojo.ejecutarNativo(QStringLiteral("BEGIN IMMEDIATE"));
    contestador->Ok();
    Tecla(b, 1, Qt::Key_D);
    contestador->Ok();
    contestador->Ok();
    Tecla(b, 2, Qt::Key_E);
    contestador->Ok();
    Tecla(b, 3, Qt::Key_L);
    QTest::keyClicks(b->txEd, QStringLiteral("1"));
    QTest::keyClick(b->txEd, Qt::Key_Return);
    cerrojo.ejecutarNativo(QStringLiteral("ROLLBACK"));
    const QStringList esperado = {"Error al guardar los datos.\nEl stock del albarán no ha cambiado.\n",
                                  "Eliminar un albarán completo: ¿SEGURO?", "Error al eliminar el albarán.\n",
                                  "Error al guardar los datos.\nEl pago no se ha guardado.\n"};
    ASSERT_EQ(contestador->textos.size(), esperado.size());
    for (int i : {0, 2, 3}) {
        EXPECT_TRUE(contestador->textos[i].startsWith(esperado[i])) << contestador->textos[i].toStdString();
        EXPECT_TRUE(contestador->textos[i].contains(QStringLiteral("ocupada por otro puesto"))) << contestador->textos[i].toStdString();
    }
    EXPECT_EQ(notas(), 4);
    EXPECT_EQ(canStock(1), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Pagado<>0")), 0);
}

TEST_F(NavegadorAlbaranes, BulkDeleteReportsWhatWasAndWasNotDeleted)
{
    BrowAlb* b = Abrir();
    contestador->Ok();
    QTest::mouseClick(b->Borrar, Qt::LeftButton);
    EXPECT_EQ(contestador->textos, QStringList({"En la lista no hay albaranes que se puedan eliminar."}));
    EXPECT_EQ(contestador->iconos[0], QMessageBox::Critical);

    Notas();
    albaran(5, 2, kDia, 0, Valor(3));
    b->Refresco(std::nullopt);
    // Note 2 cannot be deleted: another PC invoices it while the run goes on.
    OtroPuestoSeAdelanta(m(), QStringLiteral("AlbaranVentaCabecera"), QStringLiteral("DELETE"), QStringLiteral("old.Numero=2"));
    contestador->Olvidar();
    contestador->Cancelar();
    QTest::mouseClick(b->Borrar, Qt::LeftButton);
    EXPECT_EQ(notas(), 5);
    contestador->Ok();
    contestador->Ok();
    QTest::mouseClick(b->Borrar, Qt::LeftButton);
    EXPECT_EQ(contestador->textos, QStringList({"Se van a eliminar 4 albaranes completos: ¿SEGURO?",
                                                  "Se van a eliminar 4 albaranes completos: ¿SEGURO?",
                                                  "Se han eliminado 3 albaranes completos.\n(UN albarán no ha podido ser eliminado).\n"
                                                  "Albarán 2: El albarán 2 ya no estaba pendiente: otro puesto lo ha borrado o "
                                                  "facturado."}));
    EXPECT_EQ(contestador->iconos[2], QMessageBox::Warning);
    EXPECT_EQ(notas(), 2);
    EXPECT_EQ(b->Grd->Rows(), 3);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NavegadorAlbaranes, SettlingClampsToTheNoteTotal)
{
    Notas();
    linea(2, 2, 9002, 5, 0, 2, 0, 0, 2, 150);  // two crates at 1,50
    BrowAlb* b = Abrir();
    Tecla(b, 2, Qt::Key_L);
    ASSERT_TRUE(b->txEd->isVisible());
    EXPECT_EQ(b->txEd->fila(), 2);
    EXPECT_EQ(b->txEd->col(), 8);
    EXPECT_TRUE(b->txEd->hasFocus());
    QTest::keyClicks(b->txEd, QStringLiteral("9a9,5x1234567"));
    EXPECT_EQ(b->txEd->text(), QStringLiteral("99,512345"));
    QTest::keyClick(b->txEd, Qt::Key_Return);
    EXPECT_FALSE(b->txEd->isVisible());
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select Pagado from AlbaranVentaCabecera where Numero=2")), 13.0);
    EXPECT_EQ(b->Grd->TextMatrix(2, 8), QStringLiteral("13,00"));
    EXPECT_EQ(b->Grd->Row(), 2);

    // Within the total it is kept; Escape and leaving the box store nothing.
    Tecla(b, 1, Qt::Key_L);
    QTest::keyClicks(b->txEd, QStringLiteral("5,25"));
    QTest::keyClick(b->txEd, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select Pagado from AlbaranVentaCabecera where Numero=1")), 5.25);
    Tecla(b, 3, Qt::Key_L);
    QTest::keyClicks(b->txEd, QStringLiteral("1"));
    QTest::keyClick(b->txEd, Qt::Key_Escape);
    EXPECT_FALSE(b->txEd->isVisible());
    Tecla(b, 3, Qt::Key_L);
    QTest::keyClicks(b->txEd, QStringLiteral("2"));
    b->Filtrar->setFocus();
    EXPECT_FALSE(b->txEd->isVisible());
    EXPECT_DOUBLE_EQ(numero(QStringLiteral("select coalesce(Pagado,0) from AlbaranVentaCabecera where Numero=3")), 0);
}

TEST_F(NavegadorAlbaranes, DiscountThenRestoreLeavesTheStockAsItWas)
{
    Notas();
    const qint64 carne = sumaVentas(9001), pan = sumaVentas(9002);
    BrowAlb* b = Abrir();
    // One note by its key, then the rest of the list in bulk.
    Tecla(b, 1, Qt::Key_D);
    EXPECT_EQ(canStock(1), 1503);
    EXPECT_EQ(b->Grd->TextMatrix(1, 7), QStringLiteral("No"));
    EXPECT_EQ(sumaVentas(9001), carne + 1500);
    Tecla(b, 1, Qt::Key_D);  // nothing pending: no second discount
    EXPECT_EQ(sumaVentas(9001), carne + 1500);

    contestador->Ok();
    b->MnDescontarMasivo->trigger();
    EXPECT_EQ(contestador->textos, QStringList({"Se descontará el stock en 2 albaranes: ¿SEGURO?"}));
    EXPECT_EQ(sumaVentas(9001), carne + 2000);
    EXPECT_EQ(sumaVentas(9002), pan + 13);
    for (int f = 1; f <= 4; ++f)
        EXPECT_EQ(b->Grd->TextMatrix(f, 7), QStringLiteral("No")) << f;

    contestador->Ok();
    b->MnDescontarMasivo->trigger();
    EXPECT_EQ(contestador->textos.last(), QStringLiteral("En la lista no hay albaranes con stock por descontar"));

    contestador->Ok();
    b->MnRestaurarMasivo->trigger();
    EXPECT_EQ(contestador->textos.last(), QStringLiteral("Se restaurará el stock en 4 albaranes: ¿SEGURO?"));
    EXPECT_EQ(sumaVentas(9001), carne - 0);
    EXPECT_EQ(sumaVentas(9002), pan - 5);  // note 4 came discounted: its goods go back too
    Tecla(b, 1, Qt::Key_S);
    EXPECT_EQ(sumaVentas(9001), carne);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The browser's bulk invoicing of one customer's day gives what the batch alone gives.
TEST_F(NavegadorAlbaranes, BulkInvoicingMatchesTheBatch)
{
    auto volcado = [this] {
        QStringList filas;
        motor::Recordset rs = m().abrirRecordset(QStringLiteral(
            "select c.Serie, c.Numero, c.Fecha, c.Cliente, d.Linea, d.Referencia, d.Descripcion, d.Cantidad, d.Precio, d.Importe "
            "from FacturaVentaCabecera c left join FacturaVentaDetalle d on d.Serie=c.Serie and d.Numero=c.Numero "
            "order by c.Serie, c.Numero, d.Linea"));
        for (; !rs.eof(); rs.moveNext()) {
            QStringList campos;
            for (int i = 0; i < rs.numCampos(); ++i)
                campos << rs.campo(i).aTexto();
            filas << campos.join(QLatin1Char('|'));
        }
        motor::Recordset a = m().abrirRecordset(QStringLiteral("select Numero, sFac, Factura from AlbaranVentaCabecera order by Numero"));
        for (; !a.eof(); a.moveNext())
            filas << a.campo(0).aTexto() + QLatin1Char('>') + a.campo(1).aTexto() + QLatin1Char('/') + a.campo(2).aTexto();
        return filas;
    };
    const QDate emision(2024, 3, 31);

    Notas();
    {
        Albaranes lote(*Global::BD);
        lote.WhoAmI(std::nullopt, 1, kDia, kDia);
        QObject::connect(&lote, &Albaranes::AntesDeFacturar,
                         [&](qint16&, qint16& serie, QDate& fecha, qint16& detalle, bool& una, bool&, bool&) {
                             serie = 2;
                             fecha = emision;
                             detalle = 3;
                             una = false;
                         });
        lote.Facturar();
    }
    const QStringList esperado = volcado();
    ASSERT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 1);

    m().ejecutarNativo(QStringLiteral("DELETE FROM FacturaVentaDetalle"));
    m().ejecutarNativo(QStringLiteral("DELETE FROM FacturaVentaCabecera"));
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac=NULL, Factura=NULL"));

    BrowAlb* b = Abrir(ClienteFiltro{1, QStringLiteral("GARCIA LOPEZ")}, kDia, kDia);
    EXPECT_EQ(b->lbFch->text(), QStringLiteral("15/03/2024"));
    EXPECT_EQ(b->lbCli->text(), QStringLiteral("000001  GARCIA LOPEZ"));
    ASSERT_EQ(b->Grd->Rows(), 4);
    contestador->Hacer([&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Generación de nuevas facturas"));
        EXPECT_TRUE(Hijo<QLabel>(d, "lbNumN")->isVisible());
        Hijo<QLineEdit>(d, "txSerie")->setText(QStringLiteral("2"));
        Hijo<QDateEdit>(d, "pkFecha")->setDate(emision);
        Hijo<QAbstractButton>(d, "Acepto")->click();
    });
    QTest::mouseClick(b->Facturar, Qt::LeftButton);
    EXPECT_FALSE(contestador->Pendiente());
    EXPECT_EQ(volcado().join(QLatin1Char('\n')).toStdString(), esperado.join(QLatin1Char('\n')).toStdString());
    for (int f = 1; f <= 3; ++f)
        EXPECT_TRUE(b->Facturado(f)) << f;

    // Nothing left to invoice; a cancelled dialog invoices nothing.
    contestador->Ok();
    QTest::mouseClick(b->Facturar, Qt::LeftButton);
    EXPECT_EQ(contestador->textos, QStringList({"En la lista no hay albaranes pendientes de facturar"}));
    b->Refresco(std::nullopt);
    BrowAlb::Actual()->parentWidget()->close();
    b = Abrir();
    // Customer 2 pays the surcharge, and department 5 has VAT but no surcharge set: said first.
    contestador->Cancelar();
    Tecla(b, 4, Qt::Key_F);
    EXPECT_TRUE(contestador->textos.last().contains(QStringLiteral("el departamento 5 ("))) << qPrintable(contestador->textos.last());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 1);
    contestador->Ok();
    contestador->Hacer([](QWidget* d) { Hijo<QAbstractButton>(d, "Cancelo")->click(); });
    Tecla(b, 4, Qt::Key_F);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 1);
    // One note through "F": a one-note batch.
    contestador->Ok();
    contestador->Hacer([](QWidget* d) {
        EXPECT_TRUE(Hijo<QLabel>(d, "lbNum1")->isVisible());
        Hijo<QAbstractButton>(d, "Acepto")->click();
    });
    Tecla(b, 4, Qt::Key_F);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 2);
    EXPECT_TRUE(b->Facturado(4));
}

// When anything fails the run ends with a summary: what was done, what was not and why, the
// invoices stored but not printed included; a run where everything went well only refreshes.
TEST_F(NavegadorAlbaranes, BulkInvoicingTellsWhatWasNotInvoicedOrPrintedAndWhy)
{
    Notas();
    // Another PC bills note 2 while the run goes on; no print engine can be had.
    OtroPuestoSeAdelanta(m(), QStringLiteral("AlbaranVentaCabecera"), QStringLiteral("UPDATE"), QStringLiteral("old.Numero=2"));
    const FabricaMotor fabrica = FijarFabricaMotor([] { return std::unique_ptr<MotorMascaras>(); });
    BrowAlb* b = Abrir();
    contestador->Ok();  // customer 2 pays surcharge on a department without one
    contestador->Hacer([](QWidget* d) {
        Hijo<QAbstractButton>(d, "uno2uno")->click();
        Hijo<QCheckBox>(d, "chkImprimir")->setChecked(true);
        Hijo<QAbstractButton>(d, "Acepto")->click();
    });
    contestador->Ok();
    QTest::mouseClick(b->Facturar, Qt::LeftButton);
    FijarFabricaMotor(fabrica);
    ASSERT_EQ(contestador->textos.size(), 2) << qPrintable(contestador->textos.join(QLatin1Char('|')));
    const QString t = contestador->textos[1];
    EXPECT_EQ(contestador->iconos[1], QMessageBox::Warning);
    for (const char* parte : {"Se han generado 3 facturas con 3 albaranes.\n(UN albarán no ha podido ser facturado).\n"
                              "Albarán 2: El albarán 2 ya no está pendiente de facturar.",
                              "\n3 facturas guardadas no se han podido imprimir.\nFacturas 1, 2 y 3: ",
                              "imprima la factura desde la lista de facturas"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(parte))) << t.toStdString();
    EXPECT_FALSE(b->Facturado(2));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NavegadorAlbaranes, PrintingOneNoteAndTheListing)
{
    Notas();
    ImpresionDePrueba impresion(2);
    const int& runs = impresion.cargas;
    const std::vector<Listado>& listados = impresion.listados;

    BrowAlb* b = Abrir(ClienteFiltro{1, QStringLiteral("GARCIA LOPEZ")}, kDia, std::nullopt);
    b->Grd->setRow(2);
    b->mnImprUno->trigger();
    EXPECT_EQ(runs, 2);

    auto elegir = [&](const char* opcion) {
        contestador->Hacer([opcion](QWidget* d) {
            if (QString::fromLatin1(opcion) != QLatin1String("opUno"))
                Hijo<QAbstractButton>(d, "opLis")->click();
            Hijo<QAbstractButton>(d, opcion)->click();
            Hijo<QAbstractButton>(d, "Aceptar")->click();
        });
        QTest::mouseClick(b->Imprimir, Qt::LeftButton);
    };
    elegir("opUno");
    EXPECT_EQ(runs, 3);
    elegir("opPend");
    ASSERT_EQ(listados.size(), 1u);
    EXPECT_EQ(listados[0].NombreArchivo, QStringLiteral("LstAlb.rpt"));
    EXPECT_EQ(listados[0].Formulas.mid(1), QStringList({"fchDesde=Date(2024,3,15)", "fchHasta=Date(0,0,0)", "UnCli=1", "filtro=1"}));
    elegir("opLiqu");
    ASSERT_EQ(listados.size(), 2u);
    EXPECT_EQ(listados[1].Formulas.value(4), QStringLiteral("filtro=2"));

    // A note another station deleted meanwhile is said to be gone, not blamed on the mask.
    m().ejecutarNativo(QStringLiteral("delete from AlbaranVentaDetalle where Numero=2"));
    m().ejecutarNativo(QStringLiteral("delete from AlbaranVentaCabecera where Numero=2"));
    contestador->Ok();
    b->mnImprUno->trigger();
    EXPECT_EQ(contestador->textos, QStringList({"El albarán 2 no está guardado. Actualice la lista."}));
    EXPECT_EQ(runs, 3);
}

// Opening the same note twice brings its editor forward; one editor for a new note.
TEST_F(NavegadorAlbaranes, OneEditorPerNoteAndOneForANewNote)
{
    Notas();
    BrowAlb* b = Abrir();
    Tecla(b, 2, Qt::Key_V);
    QPointer<QWidget> primero = b->Hijo(2);
    ASSERT_TRUE(primero);
    const auto ventanas = area->subWindowList().size();
    EXPECT_EQ(ventanas, 2);
    QTest::mouseDClick(b->Grd->viewport(), Qt::LeftButton, {}, b->Grd->rectCelda(2, 3).center());
    Tecla(b, 2, Qt::Key_Return);
    EXPECT_EQ(b->Hijo(2), primero.data());
    EXPECT_EQ(area->subWindowList().size(), ventanas);

    // A note being edited is not deleted from here.
    contestador->Ok();
    Tecla(b, 2, Qt::Key_E);
    EXPECT_EQ(contestador->textos, QStringList({"El albarán se está editando: No se puede eliminar ahora"}));
    EXPECT_EQ(notas(), 4);

    QTest::mouseClick(b->Nuevo, Qt::LeftButton);
    QPointer<QWidget> nuevo = b->Hijo(0);
    ASSERT_TRUE(nuevo);
    Tecla(b, 1, Qt::Key_N);
    Tecla(b, 1, Qt::Key_Insert);
    EXPECT_EQ(b->Hijo(0), nuevo.data());
    EXPECT_EQ(area->subWindowList().size(), ventanas + 1);

    // A closed editor frees its note; closing the browser closes the editors left.
    primero->parentWidget()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(b->Hijo(2), nullptr);
    Tecla(b, 2, Qt::Key_V);
    EXPECT_NE(b->Hijo(2), nullptr);
    b->parentWidget()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area->subWindowList().isEmpty());
    EXPECT_FALSE(nuevo);
}

// A place stored on a bigger screen, or with another font, neither hides the window outside the
// main window nor cuts its buttons, dates and amounts.
TEST_F(NavegadorAlbaranes, OpensInsideTheAreaWithNothingCut)
{
    Notas();
    Global::TwipsPorPixelX = Global::TwipsPorPixelY = 15;
    GuardarPosicionVentana(QStringLiteral("BrowAlb"), {30000, 20000, 4500, 3000});  // 300 x 200 px at (2000, 1333)
    BrowAlb* b = Abrir(std::nullopt, kDia, kDia.addDays(1));
    const QRect marco = b->parentWidget()->geometry();
    EXPECT_TRUE(area->viewport()->rect().contains(marco)) << marco.x() << ',' << marco.y() << ' ' << marco.width();
    for (QPushButton* boton : b->findChildren<QPushButton*>())
        EXPECT_GE(boton->width(), boton->sizeHint().width()) << qPrintable(boton->text());
    const QFontMetrics letra = b->Grd->fontMetrics();
    for (const auto& [col, fila] : {std::pair{1, 1}, std::pair{5, 1}})
        EXPECT_GT(b->Grd->columnWidth(col), letra.horizontalAdvance(b->Grd->TextMatrix(fila, col)))
            << qPrintable(b->Grd->TextMatrix(fila, col));
}

}  // namespace
