#include "albaran.h"
#include "documentos_prueba.h"
#include "motor.h"

#include <cmath>

namespace {

class NotaDeEntrega : public DocumentosDePrueba {
protected:
    void SetUp() override
    {
        DocumentosDePrueba::SetUp();
        articulo(900, QStringLiteral("JAMON AL CORTE"), 0, 3, 899);
        articulo(901, QStringLiteral("BOTELLA CRISTAL"), 2, 7, 150);
        articulo(902, QStringLiteral("CHOPED"), 1, 3, 120);
        articulo(903, QStringLiteral("RARO"), 3, 3, 500);
        cliente(1, QStringLiteral("BAR EL PUERTO"), false, 10);
        cliente(2, QStringLiteral("ULTRAMARINOS"), true);
    }

    // A stored note of customer 1 made through the document, its lines discounted from stock.
    qint32 notaGuardada(const std::vector<std::pair<qint32, double>>& lineas)
    {
        Albaran a(*bd);
        a.WhoAmI();
        EXPECT_TRUE(a.SetCliente(1));
        for (const auto& [codigo, cantidad] : lineas) {
            LineaAlbaran* l = a.NuevaLinea();
            EXPECT_TRUE(l->SetCodigo(codigo));
            EXPECT_TRUE(l->FijarCantidad(cantidad));
            l->IgualarCanStock();
        }
        EXPECT_TRUE(a.Update());
        return *a.Numero;
    }
};

class NotaConYSinAlmacenes : public NotaDeEntrega, public ::testing::WithParamInterface<bool> {
protected:
    NotaConYSinAlmacenes() { m_almacenes = GetParam(); }
};

TEST_F(NotaDeEntrega, LineAmountsFollowTheSaleUnit)
{
    struct Caso {
        qint32 codigo;
        qint32 cantidad;
        float descuento;
        double importe, descuentoImp, descontado;
    };
    const Caso casos[] = {
        {900, 1250, 10, 11.24, 1.12, 10.12},  // 1.250 kg at 8.99 per kg
        {901, 3, 0, 4.50, 0, 4.50},           // 3 units at 1.50
        {902, 250, 0, 3.00, 0, 3.00},         // 250 g at 1.20 per 100 g
        {903, 1000, 0, 0, 0, 0},              // an unknown sale unit is worth nothing
    };
    for (const Caso& c : casos) {
        LineaAlbaran l(*bd);
        ASSERT_TRUE(l.SetCodigo(c.codigo));
        l.FijarCantidadGramos(c.cantidad);
        ASSERT_TRUE(l.FijarDescuento(c.descuento));
        EXPECT_DOUBLE_EQ(l.Importe(), c.importe) << c.codigo;
        EXPECT_DOUBLE_EQ(l.ImporteDescuento(), c.descuentoImp) << c.codigo;
        EXPECT_DOUBLE_EQ(l.ImporteDescontado(), c.descontado) << c.codigo;
    }
    LineaAlbaran envases(*bd);
    envases.Bultos = -2;
    ASSERT_TRUE(envases.FijarEnvase(0.30));
    EXPECT_DOUBLE_EQ(envases.ImporteEnvase(), -0.60);
}

TEST_F(NotaDeEntrega, SettersRefuseWhatDoesNotFit)
{
    LineaAlbaran l(*bd);
    ASSERT_TRUE(l.SetCodigo(900));
    EXPECT_TRUE(l.FijarDescuento(100));
    EXPECT_TRUE(l.FijarDescuento(0));
    EXPECT_FALSE(l.FijarDescuento(100.5f));
    EXPECT_FALSE(l.FijarDescuento(-1));
    EXPECT_EQ(l.Descuento(), 0);

    EXPECT_TRUE(l.FijarCantidad(1.2345));  // grams, halves to even
    EXPECT_EQ(l.CantidadGramos(), 1234);
    EXPECT_FALSE(l.FijarCantidad(2147484.0));  // 2,147,484,000 g does not fit in 32 bits
    EXPECT_FALSE(l.FijarCantidad(-1e300));
    EXPECT_EQ(l.CantidadGramos(), 1234);
    EXPECT_DOUBLE_EQ(l.Cantidad(), 1.234);

    EXPECT_TRUE(l.FijarPrecio(12.345));  // rounded to the cent first
    EXPECT_EQ(l.PrecioCentimos(), 1235);
    EXPECT_FALSE(l.FijarPrecio(3e7));
    EXPECT_FALSE(l.FijarEnvase(-3e7));
    EXPECT_EQ(l.PrecioCentimos(), 1235);
}

TEST_F(NotaDeEntrega, SetCodigoTakesTheCatalogueAndKeepsOrClearsTheLine)
{
    LineaAlbaran l(*bd);
    ASSERT_TRUE(l.SetCodigo(900));
    l.FijarCantidadGramos(500);
    l.FijarComentario(QStringLiteral("loncheado"));

    EXPECT_TRUE(l.SetCodigo(900));  // same article: the quantity stays
    EXPECT_EQ(l.CantidadGramos(), 500);
    EXPECT_FALSE(l.SetCodigo(4711));  // unknown: nothing changes
    EXPECT_EQ(l.Codigo(), 900);
    EXPECT_EQ(l.CantidadGramos(), 500);
    EXPECT_TRUE(l.SetCodigo(901));  // another article: quantity 0, its unit and price
    EXPECT_EQ(l.CantidadGramos(), 0);
    EXPECT_EQ(l.PrecioCentimos(), 150);
    EXPECT_FALSE(l.SetCodigo(0));  // code 0 empties the line
    EXPECT_EQ(l.Codigo(), 0);
    EXPECT_EQ(l.PrecioCentimos(), 0);
    EXPECT_TRUE(l.Descripcion().isEmpty());
}

TEST_F(NotaDeEntrega, TotalsByVatRateDiscountsAndPackages)
{
    Albaran a(*bd);
    a.WhoAmI();
    EXPECT_TRUE(a.Totales().empty());
    ASSERT_TRUE(a.SetCliente(2));  // pays surcharge
    const struct {
        qint32 codigo;
        qint32 cantidad;
    } lineas[] = {{900, 1000}, {901, 2}, {902, 500}, {1, 1000}};  // 10 %, 21 %, 10 %, 10 %
    for (const auto& d : lineas) {
        LineaAlbaran* l = a.NuevaLinea();
        ASSERT_TRUE(l->SetCodigo(d.codigo));
        l->FijarCantidadGramos(d.cantidad);
    }
    a.Linea(2)->Bultos = 4;
    a.Linea(2)->FijarEnvase(0.10);
    a.Linea(3)->Bultos = -2;
    a.Linea(3)->FijarEnvase(0.30);

    const std::vector<FilaBase> t = a.Totales();
    // Departments 3 and 1 share 10 % VAT but not the surcharge (none and 1.4 %): two rates.
    ASSERT_EQ(t.size(), 3u);
    EXPECT_DOUBLE_EQ(*t[0].clave, 10);
    EXPECT_DOUBLE_EQ(t[0].recargo, 0);
    EXPECT_DOUBLE_EQ(t[0].importe, 8.99 + 6.00);
    EXPECT_DOUBLE_EQ(*t[1].clave, 10);
    EXPECT_NEAR(t[1].recargo, 1.4, 1e-6);
    EXPECT_DOUBLE_EQ(t[1].importe, 14.95);
    EXPECT_DOUBLE_EQ(*t[2].clave, 21);
    EXPECT_NEAR(t[2].recargo, 5.2, 1e-6);
    EXPECT_DOUBLE_EQ(t[2].importe, 3.00);

    EXPECT_DOUBLE_EQ(a.ImporteBase(), 32.94);
    EXPECT_DOUBLE_EQ(a.ImporteDescuentos(), 0);
    a.DesctoPP = 2.5f;  // 0.8235 -> 0.82
    EXPECT_DOUBLE_EQ(a.ImporteDescuentos(), 0.82);
    EXPECT_DOUBLE_EQ(a.ImporteEnvases(), -0.20);
    EXPECT_DOUBLE_EQ(a.ImporteEnvasesEntregados(), 0.40);
    EXPECT_DOUBLE_EQ(a.ImporteEnvasesDevueltos(), -0.60);

    ASSERT_TRUE(a.SetCliente(1));  // no surcharge, 10 % customer discount: one row per VAT again
    ASSERT_EQ(a.Totales().size(), 2u);
    EXPECT_DOUBLE_EQ(a.Totales()[0].importe, 8.99 + 6.00 + 14.95);
    EXPECT_DOUBLE_EQ(a.Totales()[1].recargo, 0);
    EXPECT_DOUBLE_EQ(a.ImporteDescuentos(), 3.29 + 0.82);
}

TEST_P(NotaConYSinAlmacenes, NewNoteIsStoredWithItsStockMovements)
{
    Albaran a(*bd);
    a.WhoAmI();
    EXPECT_EQ(a.Numero, 1);
    EXPECT_FALSE(a.Update());  // no customer yet
    ASSERT_TRUE(a.SetCliente(1));
    a.Observaciones = QStringLiteral("Entregar por la tarde");
    a.DesctoPP = 2;
    LineaAlbaran* l = a.NuevaLinea();
    ASSERT_TRUE(l->SetCodigo(900));
    ASSERT_TRUE(l->FijarCantidad(1.25));
    l->FijarComentario(QStringLiteral("en lonchas"));
    l->IgualarCanStock();
    LineaAlbaran* sinStock = a.NuevaLinea();
    ASSERT_TRUE(sinStock->SetCodigo(901));
    sinStock->FijarCantidadGramos(6);
    ASSERT_TRUE(a.Update());

    EXPECT_EQ(vendido(900), 1250);
    EXPECT_EQ(vendido(901), 0);
    Albaran b(*bd);
    ASSERT_TRUE(b.WhoAmI(1));
    EXPECT_EQ(b.Cliente(), 1);
    EXPECT_EQ(b.Observaciones, QStringLiteral("Entregar por la tarde"));
    EXPECT_FLOAT_EQ(b.DesctoPP, 2);
    ASSERT_EQ(b.NumeroLineas(), 2);
    // Stored lines come back sorted by article name.
    EXPECT_EQ(b.Linea(1)->Codigo(), 901);
    EXPECT_EQ(b.Linea(2)->Codigo(), 900);
    EXPECT_EQ(b.Linea(2)->CanStock(), 1250);
    EXPECT_EQ(b.Linea(2)->Comentario(), QStringLiteral("en lonchas"));
    EXPECT_FALSE(b.EstadoStock());

    ASSERT_TRUE(b.Stock());
    EXPECT_EQ(vendido(901), 6);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Cantidad<>CanStock")), 0);
    Albaran c(*bd);
    ASSERT_TRUE(c.WhoAmI(1));
    EXPECT_TRUE(c.EstadoStock());
    ASSERT_TRUE(c.Stock(true));
    EXPECT_EQ(vendido(900), 0);
    EXPECT_EQ(vendido(901), 0);
    EXPECT_EQ(uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle")), 0);

}

TEST_P(NotaConYSinAlmacenes, UpdateMergesStoredAndEditedLines)
{
    // Sorted by name: 901 BOTELLA (line 1), 902 CHOPED (2), 900 JAMON (3), 1 TERNERA (4).
    const qint32 n = notaGuardada({{900, 1.0}, {901, 5}, {902, 0.5}, {1, 2.0}});
    ASSERT_EQ(vendido(900), 1000);
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI(n));
    ASSERT_EQ(a.Linea(2)->Codigo(), 902);
    ASSERT_TRUE(a.EliminarLinea(2));                 // removed: CHOPED's 500 g go back
    ASSERT_TRUE(a.Linea(1)->SetCodigo(4));           // BOTELLA becomes PECHUGA: bottles back
    ASSERT_TRUE(a.Linea(1)->FijarCantidad(0.75));
    a.Linea(1)->IgualarCanStock();
    ASSERT_TRUE(a.Linea(2)->FijarCantidad(1.5));     // JAMON: 500 g more
    a.Linea(2)->IgualarCanStock();
    a.Linea(3)->DeshacerCanStock();                  // TERNERA: all back
    LineaAlbaran* nueva = a.NuevaLinea();
    ASSERT_TRUE(nueva->SetCodigo(902));
    ASSERT_TRUE(nueva->FijarCantidad(0.2));
    nueva->IgualarCanStock();
    ASSERT_TRUE(a.Update());

    EXPECT_EQ(vendido(901), 0);
    EXPECT_EQ(vendido(4), 750);
    EXPECT_EQ(vendido(900), 1500);
    EXPECT_EQ(vendido(1), 0);
    EXPECT_EQ(vendido(902), 200);
    // What the lines record is what left the stock.
    EXPECT_EQ(uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle")), 750 + 1500 + 200);
    motor::Recordset rs = m().abrirRecordset(QStringLiteral("select Linea, Articulo from AlbaranVentaDetalle order by Linea"));
    std::vector<std::pair<qint64, qint64>> filas;
    for (; !rs.eof(); rs.moveNext())
        filas.emplace_back(rs[QStringLiteral("Linea")].aEntero(), rs[QStringLiteral("Articulo")].aEntero());
    EXPECT_EQ(filas, (std::vector<std::pair<qint64, qint64>>{{1, 902}, {2, 900}, {3, 4}, {4, 1}}));
}

INSTANTIATE_TEST_SUITE_P(Almacenes, NotaConYSinAlmacenes, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "ConAlmacenes" : "SinAlmacenes"; });

TEST_F(NotaDeEntrega, InvoicedNoteKeepsItsLinesButNotItsStock)
{
    const qint32 n = notaGuardada({{900, 1.0}});
    {
        Albaran a(*bd);
        ASSERT_TRUE(a.WhoAmI(n));
        EXPECT_FALSE(a.SetFactura(0, 0));
        ASSERT_TRUE(a.SetFactura(1, 15));
        ASSERT_TRUE(a.Update());
        EXPECT_TRUE(a.Facturado());
    }
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI(n));
    EXPECT_EQ(a.Factura(), 15);
    EXPECT_EQ(a.SerieFactura(), 1);
    EXPECT_FALSE(a.SetCliente(2));
    EXPECT_FALSE(a.SetFactura(1, 16));
    EXPECT_EQ(a.NuevaLinea(), nullptr);
    EXPECT_FALSE(a.EliminarLinea(1));
    EXPECT_FALSE(a.Delete());
    a.Linea(1)->FijarCantidad(9);  // not written: the line is frozen
    a.Observaciones = QStringLiteral("facturado");
    ASSERT_TRUE(a.Stock(true));    // the stock still moves
    EXPECT_EQ(vendido(900), 0);
    EXPECT_EQ(uno(QStringLiteral("select Cantidad from AlbaranVentaDetalle")), 1000);
    EXPECT_EQ(uno(QStringLiteral("select CanStock from AlbaranVentaDetalle")), 0);
    EXPECT_EQ(m().valorUnico(QStringLiteral("select Observaciones from AlbaranVentaCabecera")).aTexto(), QStringLiteral("facturado"));
    EXPECT_FALSE(bd->EliminarAlbaran(n));
}

// A number typed by the user is never replaced by the next free one.
TEST_F(NotaDeEntrega, NewNoteWithATakenNumberWritesNothing)
{
    const qint32 n = notaGuardada({{900, 1.0}});
    Albaran a(*bd);
    a.WhoAmI();
    a.Numero = n;
    ASSERT_TRUE(a.SetCliente(2));
    LineaAlbaran* l = a.NuevaLinea();
    l->SetCodigo(901);
    l->FijarCantidadGramos(3);
    l->IgualarCanStock();
    EXPECT_FALSE(a.Update());
    EXPECT_TRUE(a.UltimoError().contains(QStringLiteral("Ya hay un albarán con el número"))) << a.UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select Cliente from AlbaranVentaCabecera")), 1);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle")), 1);
    EXPECT_EQ(vendido(901), 0);
}

// A note is stored whole or not at all: with lines refused nothing of the save is written, and
// the answer says in Spanish how many lines, which and why. A full disk stops it the same way.
TEST_F(NotaDeEntrega, ARefusedLineLeavesTheWholeNoteAsItWasAndEveryRefusedLineIsNamed)
{
    const qint32 n = notaGuardada({{900, 1.0}});
    const qint64 antes900 = vendido(900);
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI(n));
    a.Observaciones = QStringLiteral("cambiada");
    ASSERT_TRUE(a.Linea(1)->FijarCantidad(2));
    for (qint32 codigo : {901, 902, 901}) {
        LineaAlbaran* l = a.NuevaLinea();
        l->SetCodigo(codigo);
        l->FijarCantidadGramos(3);
    }
    // Article 901's sales counter is full: the engine's range rule refuses its movements.
    m().ejecutarNativo(QStringLiteral("INSERT INTO MovsAlm (CODALM, Seccion, Codigo, Venta) VALUES (1, 1, 901, 2147483647)"));
    EXPECT_FALSE(a.Stock());
    const QString t = a.UltimoError();
    for (const char* parte : {"no se ha guardado", "2 de sus 4 líneas", "Líneas 2 y 4: ", "«Venta»", "-2.147.483.648 a 2.147.483.647"})
        EXPECT_TRUE(t.contains(QString::fromUtf8(parte))) << parte << "\n" << t.toStdString();
    EXPECT_FALSE(t.contains(QLatin1String("constraint"), Qt::CaseInsensitive));
    EXPECT_EQ(m().valorUnico(QStringLiteral("select Observaciones from AlbaranVentaCabecera")).aTexto(), QString());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle")), 1);
    EXPECT_EQ(uno(QStringLiteral("select Cantidad from AlbaranVentaDetalle")), 1000);
    EXPECT_EQ(vendido(900), antes900);
    EXPECT_EQ(vendido(902), 0);

    // Once the counter has room the same note is stored whole.
    m().ejecutarNativo(QStringLiteral("UPDATE MovsAlm SET Venta=0 WHERE Codigo=901"));
    ASSERT_TRUE(a.Stock()) << a.UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle")), 4);
    EXPECT_EQ(vendido(901), 6);

    // No room left on the disk: the save stops, nothing is written, the user is told what to do.
    Albaran b(*bd);
    ASSERT_TRUE(b.WhoAmI(n));
    for (int i = 0; i < 3000; ++i) {
        LineaAlbaran* l = b.NuevaLinea();
        l->SetCodigo(902);
        l->FijarComentario(QString(200, QLatin1Char('x')));
    }
    if (m().esPostgreSQL())
        return;  // a full disk is SQLite's file here; the server's is told by its SQLSTATE (engine tests)
    m().ejecutarNativo(QStringLiteral("PRAGMA max_page_count = %1").arg(uno(QStringLiteral("PRAGMA page_count")) + 5));
    EXPECT_FALSE(b.Update());
    EXPECT_TRUE(b.UltimoError().contains(QStringLiteral("disco"))) << b.UltimoError().toStdString();
    EXPECT_TRUE(b.UltimoError().contains(QStringLiteral("Libere espacio")));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle")), 4);
}

TEST_P(NotaConYSinAlmacenes, LineWhoseArticleLeftTheCatalogueSurvivesASave)
{
    const qint32 n = notaGuardada({{902, 0.3}, {900, 1.0}});
    m().ejecutarNativo(QStringLiteral("DELETE FROM PLUSES WHERE CODPLU=902"));
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI(n));
    const LineaAlbaran* huerfana = a.Linea(1);
    EXPECT_EQ(huerfana->Codigo(), 902);
    EXPECT_TRUE(huerfana->Descripcion().isEmpty());
    EXPECT_DOUBLE_EQ(huerfana->Importe(), 3.60);
    a.Observaciones = QStringLiteral("sin cambios en las líneas");
    ASSERT_TRUE(a.Update());
    EXPECT_EQ(uno(QStringLiteral("select Cantidad from AlbaranVentaDetalle where Articulo=902")), 300);
    EXPECT_EQ(uno(QStringLiteral("select CanStock from AlbaranVentaDetalle where Articulo=902")), 300);
    EXPECT_EQ(uno(QStringLiteral("select Cada from AlbaranVentaDetalle where Articulo=902")), 1);
    EXPECT_EQ(uno(QStringLiteral("select Precio from AlbaranVentaDetalle where Articulo=902")), 120);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from MovsAlm where Codigo=0")), 0);
}

TEST_F(NotaDeEntrega, RenumberingCarriesTheLinesAndDeleteTakesTheLoadedNote)
{
    const qint32 n = notaGuardada({{900, 1.0}, {901, 2}});
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI(n));
    a.Numero = 40;
    ASSERT_TRUE(a.Update());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=40")), 2);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")), 1);

    const qint32 otra = notaGuardada({{902, 0.1}});
    Albaran b(*bd);
    ASSERT_TRUE(b.WhoAmI(40));
    b.Numero = otra;  // edited, never stored
    ASSERT_TRUE(b.Delete());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Numero=40")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Numero=%1").arg(otra)), 1);
    EXPECT_EQ(vendido(900), 1000);  // deleting gives no stock back
    EXPECT_FALSE(b.WhoAmI(40));
}

TEST_F(NotaDeEntrega, ScaleTicketNoteWithAnUnknownArticle)
{
    // What the scale-ticket store does with a ticket: a new note, lines from codes, grams, prices.
    Albaran a(*bd);
    a.WhoAmI();
    a.FijarOnLine(true);
    LineaAlbaran* conocida = a.NuevaLinea();
    ASSERT_TRUE(conocida->SetCodigo(900));
    conocida->FijarCantidadGramos(1500);
    ASSERT_TRUE(conocida->FijarPrecio(1250 / 100.0));
    LineaAlbaran* desconocida = a.NuevaLinea();
    EXPECT_FALSE(desconocida->SetCodigo(4711));
    desconocida->FijarCantidadGramos(700);
    desconocida->FijarPrecio(2.00);
    EXPECT_DOUBLE_EQ(conocida->Importe(), 18.75);
    EXPECT_DOUBLE_EQ(desconocida->Importe(), 1.40);
    ASSERT_TRUE(a.SetCliente(2));
    a.Linea(2)->IgualarCanStock();  // no article: nothing moves, nothing recorded
    ASSERT_TRUE(a.Update());
    Albaran b(*bd);
    ASSERT_TRUE(b.WhoAmI(*a.Numero));
    EXPECT_TRUE(b.OnLine());
    EXPECT_EQ(b.Linea(1)->PrecioCentimos(), 200);
    EXPECT_EQ(b.Linea(2)->PrecioCentimos(), 1250);
    EXPECT_EQ(uno(QStringLiteral("select CanStock from AlbaranVentaDetalle where Articulo=0")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from MovsAlm where Codigo=0")), 0);
}

}  // namespace

namespace {

class ListaDeNotas : public DocumentosDePrueba {};

// 10 % of 21,55 is 2,155: the note and the list both take 2,16 off, whatever bits the sum of
// the lines leaves; a line in a sale unit the note does not know counts nothing in both.
TEST_F(ListaDeNotas, AHalfCentOfDiscountRoundsUpInTheNoteAndInTheList)
{
    cliente(1, QStringLiteral("BAR EL PUERTO"), false, 10);
    articulo(910, QStringLiteral("QUESO"), 2, 3, 1754);
    articulo(911, QStringLiteral("PAN"), 2, 3, 184);
    articulo(912, QStringLiteral("LECHE"), 2, 3, 217);
    articulo(913, QStringLiteral("RARO"), 3, 3, 500);
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI());
    ASSERT_TRUE(a.SetCliente(1));
    for (qint32 codigo : {910, 911, 912, 913}) {
        LineaAlbaran* l = a.NuevaLinea();
        ASSERT_TRUE(l->SetCodigo(codigo));
        l->FijarCantidadGramos(1);
    }
    ASSERT_TRUE(a.Update());
    Albaran leido(*bd);
    ASSERT_TRUE(leido.WhoAmI(*a.Numero));
    EXPECT_DOUBLE_EQ(leido.ImporteBase(), 21.55);
    EXPECT_DOUBLE_EQ(leido.ImporteDescuentos(), 2.16);
    const std::vector<FilaAlbaran> filas = bd->ListaAlbaranes(Filtro{*a.Numero});
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_DOUBLE_EQ(filas[0].Importe, 1939);
    EXPECT_EQ(filas[0].nLin, 4);
}

// The list (browser and listing) shows each note's own total to the cent, as its editor does:
// every line rounded, then its discount, then the customer's and prompt-payment discounts.
TEST_F(ListaDeNotas, EachNoteShowsItsOwnTotalToTheCent)
{
    kv740::Volumen v;
    v.clientes = 12;
    v.articulos = 80;
    v.albaranes = 300;
    v.lineasPorAlbaran = 6;
    v.facturas = 0;
    kv740::GenerarVolumen(m(), v);
    // Lines as the editor stores them: the sale unit of their article.
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaDetalle SET Cada = (SELECT CADA FROM PLUSES WHERE SECCION = 1 AND "
                                      "CODPLU = Articulo) WHERE EXISTS (SELECT 1 FROM PLUSES WHERE SECCION = 1 AND CODPLU = Articulo)"));
    m().ejecutarNativo(QStringLiteral("UPDATE Cliente SET Descuento = (Codigo % 4) * 2.5"));
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET DesctoPP = 1.5 WHERE Numero % 3 = 0"));
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaDetalle SET Descuento = 7.5 WHERE Linea % 2 = 0"));
    m().ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaDetalle SET Descuento = 12, Cantidad = Cantidad + 7 WHERE Linea % 3 = 0"));
    const std::vector<FilaAlbaran> filas = bd->ListaAlbaranes();
    ASSERT_EQ(filas.size(), 300u);
    int distintas = 0;
    for (const FilaAlbaran& f : filas) {
        Albaran a(*bd);
        ASSERT_TRUE(a.WhoAmI(f.Numero));
        const double nota = a.ImporteBase() - a.ImporteDescuentos();
        EXPECT_EQ(std::llround(f.Importe), std::llround(nota * 100)) << "note " << f.Numero;
        // What the list used to show: the unrounded figure.
        double bruto = 0;
        for (qint16 i = 1; i <= a.NumeroLineas(); ++i)
            bruto += a.Linea(i)->Importe() * (1 - a.Linea(i)->Descuento() / 100);
        distintas += std::llround(f.Importe) != std::llround(bruto * 100 * (1 - a.Descuento() / 100 - a.DesctoPP / 100));
    }
    EXPECT_GT(distintas, 0);  // the case is exercised
}

}  // namespace
