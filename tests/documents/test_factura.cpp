#include "documentos_prueba.h"
#include "factura.h"
#include "motor.h"

namespace {

class FacturaDePrueba : public DocumentosDePrueba {
protected:
    void SetUp() override
    {
        DocumentosDePrueba::SetUp();
        cliente(1, QStringLiteral("BAR EL PUERTO"));
        cliente(2, QStringLiteral("ULTRAMARINOS"), true);
    }
    void nota(qint32 numero, qint16 serie, const Valor& factura)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado) "
                                          "VALUES (?, '2024-03-01', 1, ?, ?, 0)"),
                           {numero, serie, factura});
    }
};

TEST_F(FacturaDePrueba, LineAmountAndLineKinds)
{
    LineaFactura l(*bd);
    ASSERT_TRUE(l.FijarReferencia(15));  // JAMON SERRANO LONCHAS, per 100 g, department 3
    EXPECT_EQ(l.Descripcion(), QStringLiteral("JAMON SERRANO LONCHAS"));
    EXPECT_EQ(l.Unidad(), 1);
    EXPECT_FLOAT_EQ(l.pIVA(), 10);
    EXPECT_DOUBLE_EQ(*l.Precio(), 2.89);
    EXPECT_FALSE(l.Importe());  // no quantity yet
    l.FijarPrecio(1.20);
    l.FijarCantidad(2.5);
    l.FijarDescuento(5);
    EXPECT_DOUBLE_EQ(*l.Importe(), 28.50);  // 30.00 less 1.50
    EXPECT_FALSE(l.Titulo());
    EXPECT_FALSE(l.Concepto());

    l.FijarImporte(12.0);  // an amount by hand: a concept line
    EXPECT_FALSE(l.Referencia());
    EXPECT_FALSE(l.Unidad());
    l.FijarConcepto(QStringLiteral("Portes"));
    EXPECT_EQ(l.Concepto(), QStringLiteral("Portes"));
    EXPECT_FALSE(l.Titulo());
    EXPECT_FLOAT_EQ(l.pIVA(), 10);
    l.FijarImporte(std::nullopt);  // no amount: a title line without VAT
    EXPECT_EQ(l.Titulo(), QStringLiteral("Portes"));
    EXPECT_FLOAT_EQ(l.pIVA(), 0);

    l.FijarTitulo(QStringLiteral("Albarán Nº7"));
    EXPECT_EQ(l.Titulo(), QStringLiteral("Albarán Nº7"));
    EXPECT_FALSE(l.Precio());
    EXPECT_FALSE(l.FijarReferencia(4711));
    EXPECT_FALSE(l.Referencia());
    EXPECT_FALSE(l.Precio());
    EXPECT_FALSE(l.Importe());

    LineaFactura unidades(*bd);
    ASSERT_TRUE(unidades.FijarReferencia(25));  // bread, per unit
    unidades.FijarCantidad(3);
    EXPECT_DOUBLE_EQ(*unidades.Importe(), 3.30);
    EXPECT_FALSE(unidades.FijarEnvase(1e8));
}

TEST_F(FacturaDePrueba, DiscountsAreClampedAndTheBreakdownRoundsPerRate)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI());
    f.FijarDescuento(120);
    EXPECT_FLOAT_EQ(f.Descuento(), 100);
    f.FijarDescuento(-5);
    EXPECT_FLOAT_EQ(f.Descuento(), 0);

    ASSERT_TRUE(f.SetCliente(2));  // pays surcharge
    f.FijarDescuento(10);
    f.FijarDesctoPP(2);
    LineaFactura* a = f.NuevaLinea();
    a->FijarConcepto(QStringLiteral("Bebidas"));
    a->FijarImporte(60.0);
    a->FijarpIVA(21);
    a->FijarpREQ(5.2f);
    LineaFactura* b = f.NuevaLinea();
    b->FijarConcepto(QStringLiteral("Más bebidas"));
    b->FijarImporte(40.0);
    b->FijarpIVA(21);
    b->FijarpREQ(5.2f);
    f.NuevaLinea()->FijarTitulo(QStringLiteral("Sin importe"));  // left out of the totals
    LineaFactura* c = f.NuevaLinea();
    c->FijarConcepto(QStringLiteral("Pan"));
    c->FijarImporte(20.01);
    c->FijarpIVA(4);
    c->FijarpREQ(0.5f);

    const std::vector<DesgloseIVA> d = f.Desglose();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_DOUBLE_EQ(d[0].pIVA, 4);
    EXPECT_DOUBLE_EQ(d[1].Neto, 100.00);
    EXPECT_DOUBLE_EQ(d[1].Descuento, 10.00);
    EXPECT_DOUBLE_EQ(d[1].DesctoPP, 2.00);
    EXPECT_DOUBLE_EQ(d[1].BaseImponible, 88.00);
    EXPECT_DOUBLE_EQ(d[1].IVA, 18.48);
    EXPECT_DOUBLE_EQ(d[1].REq, 4.58);
    EXPECT_DOUBLE_EQ(d[1].Importe, 111.06);
    // 20.01: discounts 2.00 and 0.40, base 17.61, VAT 0.70, surcharge 0.09.
    EXPECT_NEAR(d[0].BaseImponible, 17.61, 1e-9);
    EXPECT_DOUBLE_EQ(d[0].IVA, 0.70);
    EXPECT_DOUBLE_EQ(d[0].REq, 0.09);
    EXPECT_NEAR(f.Total().Importe, 111.06 + 17.61 + 0.70 + 0.09, 1e-9);

    ASSERT_TRUE(f.SetCliente(1));  // no surcharge: the lines keep theirs, the totals drop it
    for (const FilaBase& t : f.Totales())
        EXPECT_DOUBLE_EQ(t.recargo, 0);
    EXPECT_FLOAT_EQ(f.Linea(1)->pREQ(), 5.2f);
    EXPECT_FALSE(f.SetCliente(99));
    EXPECT_EQ(f.Cliente(), 1);
}

TEST_F(FacturaDePrueba, StoredInvoiceComesBackAndMergesItsLines)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    EXPECT_EQ(f.Serie, 1);
    EXPECT_EQ(f.Numero, 1);
    ASSERT_TRUE(f.SetCliente(2));
    f.FijarDescuento(5);
    f.Pagado = 12.5;
    f.NuevaLinea()->FijarTitulo(QStringLiteral("Albarán Nº3"));
    LineaFactura* art = f.NuevaLinea();
    ASSERT_TRUE(art->FijarReferencia(32));  // CERVEZA BOTELLIN, 0.95, 21 %
    art->FijarCantidad(24);
    art->FijarBultos(24);
    art->FijarEnvase(0.10);
    art->FijarComentario(QStringLiteral("caja retornable"));
    LineaFactura* con = f.NuevaLinea();
    con->FijarConcepto(QStringLiteral("Portes"));
    con->FijarImporte(6.0);
    con->FijarpIVA(21);
    ASSERT_TRUE(f.Update());

    Factura g(*bd);
    ASSERT_TRUE(g.WhoAmI(qint16(1), 1));
    EXPECT_TRUE(g.UsaREq());
    EXPECT_FLOAT_EQ(g.Descuento(), 5);
    EXPECT_DOUBLE_EQ(g.Pagado, 12.5);
    ASSERT_EQ(g.NumeroLineas(), 3);
    EXPECT_EQ(g.Linea(1)->Titulo(), QStringLiteral("Albarán Nº3"));
    EXPECT_EQ(g.Linea(2)->Referencia(), 32);
    EXPECT_EQ(g.Linea(2)->Unidad(), 2);
    EXPECT_DOUBLE_EQ(*g.Linea(2)->Importe(), 22.80);
    EXPECT_EQ(g.Linea(2)->Comentario(), QStringLiteral("caja retornable"));
    EXPECT_EQ(g.Linea(3)->Concepto(), QStringLiteral("Portes"));
    EXPECT_DOUBLE_EQ(g.ImporteEnvases(), 2.40);
    EXPECT_EQ(uno(QStringLiteral("select Envase from FacturaVentaDetalle where Linea=2")), 10);

    // Merge: the title goes, the beer changes, a new line comes after the last stored one.
    ASSERT_TRUE(g.EliminarLinea(1));
    g.Linea(1)->FijarCantidad(12);
    LineaFactura* nueva = g.NuevaLinea();
    nueva->FijarConcepto(QStringLiteral("Descuento especial"));
    nueva->FijarImporte(-1.5);
    ASSERT_TRUE(g.Update());
    motor::Recordset rs = m().abrirRecordset(QStringLiteral("select Linea, Importe from FacturaVentaDetalle order by Linea"));
    std::vector<std::pair<qint64, double>> filas;
    for (; !rs.eof(); rs.moveNext())
        filas.emplace_back(rs[QStringLiteral("Linea")].aEntero(), rs[QStringLiteral("Importe")].aNumero());
    EXPECT_EQ(filas, (std::vector<std::pair<qint64, double>>{{2, 11.40}, {3, 6.0}, {4, -1.5}}));
}

TEST_F(FacturaDePrueba, RenumberingMovesItsNotesAndNeverOverwritesAnotherInvoice)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    f.Numero = 15;
    ASSERT_TRUE(f.SetCliente(1));
    f.NuevaLinea()->FijarImporte(10.0);
    ASSERT_TRUE(f.Update());
    nota(1, 1, qint64(15));
    nota(2, 0, qint64(15));  // another series: stays
    nota(3, 1, qint64(14));

    Factura g(*bd);
    ASSERT_TRUE(g.WhoAmI(qint16(1), 15));
    g.Numero = 16;
    ASSERT_TRUE(g.Update());
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=1")), 16);
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=2")), 15);
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=3")), 14);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=1 and Numero=16")), 1);

    // A new invoice under a stored series and number is refused; the stored one stays as it was.
    Factura h(*bd);
    ASSERT_TRUE(h.WhoAmI(qint16(1)));
    EXPECT_EQ(h.Numero, 17);
    h.Numero = 16;
    ASSERT_TRUE(h.SetCliente(2));
    h.NuevaLinea()->FijarImporte(99.0);
    EXPECT_FALSE(h.Update());
    EXPECT_EQ(uno(QStringLiteral("select Cliente from FacturaVentaCabecera where Serie=1 and Numero=16")), 1);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle")), 1);
    EXPECT_FALSE(Factura(*bd).Update());  // nothing loaded or set: no series, number or customer

    // Deleting releases the notes.
    Factura k(*bd);
    ASSERT_TRUE(k.WhoAmI(qint16(1), 16));
    ASSERT_TRUE(k.Delete());
    EXPECT_TRUE(m().valorUnico(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=1")).esNulo());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle")), 0);
    EXPECT_FALSE(k.WhoAmI(qint16(1), 16));
}

TEST_F(FacturaDePrueba, AFailingLineLeavesNoInvoiceBehind)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI());
    ASSERT_TRUE(f.SetCliente(1));
    f.NuevaLinea()->FijarImporte(10.0);
    f.NuevaLinea()->FijarImporte(20.0);
    m().ejecutarNativo(QStringLiteral("CREATE TRIGGER una_linea BEFORE INSERT ON FacturaVentaDetalle WHEN NEW.Linea > 1 "
                                      "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END"));
    EXPECT_FALSE(f.Update());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle")), 0);
}

}  // namespace
