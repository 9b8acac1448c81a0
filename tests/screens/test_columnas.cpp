// What lists and grids show at their default size: whole, or cut with the whole text as a tooltip.

#include "anchocolumna.h"
#include "browalb.h"
#include "browfac.h"
#include "editores_prueba.h"
#include "factura.h"
#include "listafilas.h"
#include "rejilla.h"
#include "unafactura.h"

#include <QHelpEvent>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QToolTip>

namespace {

class Columnas : public EditorDePrueba {
protected:
    void TearDown() override
    {
        for (QWidget* b : {static_cast<QWidget*>(BrowFac::Actual()), static_cast<QWidget*>(BrowAlb::Actual())})
            if (b)
                (b->parentWidget() ? b->parentWidget() : b)->close();
        EditorDePrueba::TearDown();
    }
    // The tooltip a cell shows when the pointer rests on it.
    static QString ayuda(QTableView& vista, int fila, int col)
    {
        QToolTip::hideText();
        const QRect r = vista.visualRect(vista.model()->index(fila, col));
        QHelpEvent e(QEvent::ToolTip, r.center(), vista.viewport()->mapToGlobal(r.center()));
        QApplication::sendEvent(vista.viewport(), &e);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    // Every cell fits its column, or says its whole text in a tooltip.
    static void sinCortesMudos(QTableView& vista, const char* nombre)
    {
        for (int f = 0; f < vista.model()->rowCount(); ++f)
            for (int c = 0; c < vista.model()->columnCount(); ++c) {
                const QModelIndex i = vista.model()->index(f, c);
                const QString texto = i.data().toString();
                if (TextoCortado(vista, i).isEmpty())
                    continue;
                EXPECT_EQ(ayuda(vista, f, c), texto) << nombre << " " << f << "," << c << " " << texto.toStdString();
            }
    }
};

TEST_F(Columnas, ListsShowCodesDatesAmountsAndUsualNamesWholeAndLongerNamesInATooltip)
{
    const QString usual = QStringLiteral("FRUTERÍA ÁLVAREZ HERMANOS, S.L.");
    const QString larga = QStringLiteral("COMERCIAL HORTOFRUTÍCOLA DEL MEDITERRÁNEO Y ANEXOS");
    cliente(123456, usual, false, 0);
    cliente(123457, larga, false, 0);
    m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, Pagado, DesctoPP, Observaciones, onLine) "
                                      "VALUES (1, '2026-12-07', 123456, 115687.23, 0, '', 0), (2, '2026-12-07', 123457, 0, 0, '', 0)"));
    m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Cada, Cantidad, "
                                      "CanStock, Bultos, Envase) VALUES (1, 1, 990002, 7, 11568723, 2, 1, 0, 0, 0)"));
    for (qint32 numero : {1, 2}) {
        Factura f(*Global::BD);
        ASSERT_TRUE(f.WhoAmI());
        ASSERT_TRUE(f.SetCliente(numero == 1 ? 123456 : 123457));
        f.Fecha = QDate(2026, 12, 7);
        LineaFactura* l = f.NuevaLinea();
        l->FijarConcepto(QStringLiteral("Portes"));
        l->FijarImporte(115687.23);
        l->FijarpIVA(21);
        ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    }

    BrowAlb* notas = BrowAlb::Abrir();
    BrowFac* facturas = BrowFac::Abrir();
    QApplication::processEvents();
    for (ListaFilas* lista : {notas->Grd, facturas->Grd}) {
        ASSERT_EQ(lista->Rows(), 3);
        for (int c = 0; c < lista->Cols(); ++c)
            EXPECT_TRUE(TextoCortado(*lista, lista->model()->index(0, c)).isEmpty())
                << c << " " << lista->TextMatrix(1, c).toStdString();
        sinCortesMudos(*lista, "list");
        const int colCliente = 3;
        EXPECT_EQ(lista->TextMatrix(2, colCliente), larga);
        EXPECT_EQ(ayuda(*lista, 1, colCliente), larga);
        EXPECT_TRUE(TextoCortado(*lista, lista->model()->index(0, colCliente)).isEmpty());
        // The list's window shows every column at its default size.
        EXPECT_LE(lista->horizontalHeader()->length(), lista->viewport()->width());
    }
}

// With four rates, the sums and packaging, the amount to pay is in view.
TEST_F(Columnas, TheInvoiceSummaryShowsEveryRowUpToTheAmountToPay)
{
    Factura f(*Global::BD);
    ASSERT_TRUE(f.WhoAmI());
    ASSERT_TRUE(f.SetCliente(9012));
    for (float iva : {21.0f, 10.0f, 4.0f, 0.0f}) {
        LineaFactura* l = f.NuevaLinea();
        l->FijarConcepto(QStringLiteral("Concepto"));
        l->FijarImporte(10);
        l->FijarpIVA(iva);
    }
    LineaFactura* cajas = f.NuevaLinea();
    ASSERT_TRUE(cajas->FijarReferencia(990002));
    cajas->FijarCantidad(1);
    cajas->FijarBultos(2);
    cajas->FijarEnvase(1.5);
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();

    QPointer<UnaFactura> w = UnaFactura::Editar(*f.Numero);
    ASSERT_TRUE(w);
    QApplication::processEvents();
    Rejilla* resu = hijo<Rejilla>(w, "grdResu");
    ASSERT_GE(resu->Rows(), 7);  // titles, four rates or more, the sums, packaging
    const int ultima = resu->Rows() - 2;  // the table's own rows, without the title row
    const QRect r = resu->visualRect(resu->model()->index(ultima, 7));
    EXPECT_TRUE(resu->viewport()->rect().contains(r)) << r.bottom() << " > " << resu->viewport()->height();
    EXPECT_FALSE(resu->verticalScrollBar()->isVisible());
    sinCortesMudos(*resu, "summary");
    // The lines grid keeps whole rows between the header and the summary.
    Rejilla* grd = hijo<Rejilla>(w, "Grd");
    EXPECT_LE(grd->geometry().bottom(), resu->mapTo(w, QPoint(0, 0)).y());
}

// A list left maximised in a big main window opens, in a smaller one, inside it: no scroll bars.
TEST_F(Columnas, AWindowStoredMaximisedOpensInsideASmallerMainWindow)
{
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    BrowAlb* b = BrowAlb::Abrir();
    auto* marco = qobject_cast<QMdiSubWindow*>(b->parentWidget());
    ASSERT_TRUE(marco);
    const QRect normal = marco->geometry();
    marco->showMaximized();
    QApplication::processEvents();
    marco->close();
    QApplication::processEvents();
    asentar();

    area->resize(820, 560);
    QApplication::processEvents();
    b = BrowAlb::Abrir();
    QApplication::processEvents();
    marco = qobject_cast<QMdiSubWindow*>(b->parentWidget());
    ASSERT_TRUE(marco);
    EXPECT_TRUE(area->viewport()->rect().contains(marco->geometry()))
        << marco->geometry().width() << "x" << marco->geometry().height();
    EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(area->verticalScrollBar()->isVisible());
    // It comes back as it was before it was maximised, where that fits.
    EXPECT_EQ(marco->size(), normal.size().boundedTo(area->viewport()->size()));
}

}  // namespace
