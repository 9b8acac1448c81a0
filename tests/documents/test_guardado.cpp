#include "albaran.h"
#include "albaranes.h"
#include "documentos_prueba.h"
#include "factura.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

using Guardado = DocumentosDePrueba;

TEST_F(Guardado, ACommentTooLongRefusesTheSaveAndNamesItsLine)
{
    cliente(1, QStringLiteral("UNO"));
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI());
    ASSERT_TRUE(a.SetCliente(1));
    LineaAlbaran* buena = a.NuevaLinea();
    buena->SetCodigo(1);
    ASSERT_TRUE(buena->FijarCantidad(1.5));
    LineaAlbaran* mala = a.NuevaLinea();
    mala->SetCodigo(25);
    ASSERT_TRUE(mala->FijarCantidad(2));
    mala->FijarComentario(QString(300, QLatin1Char('x')));  // the column holds 255
    EXPECT_FALSE(a.Update());
    EXPECT_TRUE(a.UltimoError().contains(QStringLiteral("línea 2"))) << a.UltimoError().toStdString();
    const qint32 numero = *a.Numero;
    // Nothing is stored rather than a note without that line.
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Numero=%1").arg(numero)), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=%1").arg(numero)), 0);

    mala->FijarComentario(QString(255, QLatin1Char('x')));
    ASSERT_TRUE(a.Update()) << a.UltimoError().toStdString();
    Albaran cargado(*bd);
    ASSERT_TRUE(cargado.WhoAmI(numero));
    EXPECT_TRUE(cargado.Stock());
    EXPECT_EQ(vendido(1), 1500);
    EXPECT_EQ(vendido(25), 2);
    EXPECT_EQ(uno(QStringLiteral("select sum(CanStock) from AlbaranVentaDetalle where Numero=%1").arg(numero)), 1502);
}

// Values no screen types but the documents take: each is refused on saving, with the reason,
// and nothing is stored.
struct ValorInvalido {
    const char* nombre;
    std::function<void(Albaran&)> albaran;
    std::function<void(Factura&)> factura;
    const char* motivo;
};

class ValoresInvalidos : public DocumentosDePrueba, public ::testing::WithParamInterface<ValorInvalido> {};

TEST_P(ValoresInvalidos, AreRefusedOnSavingWithTheReason)
{
    cliente(1, QStringLiteral("UNO"));
    const ValorInvalido& v = GetParam();
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI());
    ASSERT_TRUE(a.SetCliente(1));
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    ASSERT_TRUE(f.SetCliente(1));
    if (v.albaran) {
        v.albaran(a);
        EXPECT_FALSE(a.Update());
        EXPECT_TRUE(a.UltimoError().contains(QString::fromUtf8(v.motivo))) << a.UltimoError().toStdString();
    }
    if (v.factura) {
        v.factura(f);
        EXPECT_FALSE(f.Update());
        EXPECT_TRUE(f.UltimoError().contains(QString::fromUtf8(v.motivo))) << f.UltimoError().toStdString();
    }
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 0);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Guardado, ValoresInvalidos,
    ::testing::Values(
        ValorInvalido{"NumeroCero", [](Albaran& a) { a.Numero = 0; }, [](Factura& f) { f.Numero = 0; }, "mayor que 0"},
        ValorInvalido{"NumeroNegativo", [](Albaran& a) { a.Numero = -7; }, [](Factura& f) { f.Numero = -7; }, "mayor que 0"},
        ValorInvalido{"AnoDeDosCifras", [](Albaran& a) { a.Fecha = QDate(99, 12, 31); }, [](Factura& f) { f.Fecha = QDate(99, 12, 31); },
                      "no es válida"},
        ValorInvalido{"PagadoNaN", [](Albaran& a) { a.Pagado = kNaN; }, [](Factura& f) { f.Pagado = kNaN; }, "no es un número"},
        ValorInvalido{"PagadoInfinito", [](Albaran& a) { a.Pagado = kInf; }, [](Factura& f) { f.Pagado = -kInf; }, "no es un número"},
        ValorInvalido{"DesctoPPNaN", [](Albaran& a) { a.DesctoPP = static_cast<float>(kNaN); }, nullptr, "no es un número"}),
    [](const ::testing::TestParamInfo<ValorInvalido>& i) { return std::string(i.param.nombre); });

// A line never takes a NaN or infinite number: an amount line stays an amount line.
TEST_F(Guardado, InvoiceLinesRefuseNumbersThatAreNotFinite)
{
    cliente(1, QStringLiteral("UNO"));
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    ASSERT_TRUE(f.SetCliente(1));
    LineaFactura* portes = f.NuevaLinea();
    portes->FijarConcepto(QStringLiteral("Portes"));
    ASSERT_TRUE(portes->FijarImporte(5.0));
    LineaFactura* jamon = f.NuevaLinea();
    ASSERT_TRUE(jamon->FijarReferencia(15));
    ASSERT_TRUE(jamon->FijarCantidad(1));
    for (const double malo : {kNaN, kInf, -kInf}) {
        EXPECT_FALSE(portes->FijarImporte(malo));
        EXPECT_FALSE(portes->FijarpIVA(static_cast<float>(malo)));
        EXPECT_FALSE(portes->FijarpREQ(static_cast<float>(malo)));
        EXPECT_FALSE(jamon->FijarPrecio(malo));
        EXPECT_FALSE(jamon->FijarCantidad(malo));
        EXPECT_FALSE(jamon->FijarDescuento(static_cast<float>(malo)));
    }
    EXPECT_EQ(portes->Importe(), std::optional<double>(5.0));
    EXPECT_EQ(jamon->Cantidad(), std::optional<double>(1));
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    Factura leida(*bd);
    ASSERT_TRUE(leida.WhoAmI(qint16(1), *f.Numero));
    EXPECT_EQ(leida.Linea(1)->Concepto(), std::optional<QString>(QStringLiteral("Portes")));
    EXPECT_EQ(leida.Linea(1)->Importe(), std::optional<double>(5.0));
    EXPECT_TRUE(std::isfinite(*leida.Linea(2)->Importe()));
}

TEST_F(Guardado, CustomerCodesBelowOneAreRefused)
{
    for (const qint64 codigo : {0, -3}) {
        Coleccion campos;
        campos.fijar(QStringLiteral("Codigo"), Valor(codigo));
        campos.fijar(QStringLiteral("Nombre"), Valor(QStringLiteral("CERO")));
        EXPECT_THROW(bd->NuevoCliente(static_cast<qint32>(codigo), campos), motor::Error);
    }
    cliente(4, QStringLiteral("CUATRO"));
    Coleccion campos;
    campos.fijar(QStringLiteral("Codigo"), Valor(static_cast<qint64>(0)));
    EXPECT_THROW(bd->ActualizarCliente(4, campos), motor::Error);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Cliente where Codigo<1")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Cliente where Codigo=4")), 1);
}

TEST_F(Guardado, ChangingAnInvoicesSeriesTakesItsNotesAlong)
{
    cliente(1, QStringLiteral("UNO"));
    m().ejecutar(QStringLiteral("insert into AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP) "
                                "values (1, '2024-03-01', 1, 0, null, 0, 0)"));
    m().ejecutar(QStringLiteral("insert into AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, Cada, "
                                "Cantidad, CanStock, Bultos, Envase) values (1, 1, 1, 1, 1000, 0, 2, 1, 0, 0, 0)"));
    Albaranes lote(*bd);
    QObject::connect(&lote, &Albaranes::AntesDeFacturar, [](qint16&, qint16& serie, QDate&, qint16&, bool&, bool&, bool&) { serie = 1; });
    lote.WhoAmI();
    lote.Facturar();
    ASSERT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=1")), 1);
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1), qint32(1)));
    f.Serie = 2;
    f.Numero = 7;
    ASSERT_TRUE(f.Update());
    EXPECT_EQ(uno(QStringLiteral("select sFac from AlbaranVentaCabecera where Numero=1")), 2);
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=1")), 7);
    EXPECT_TRUE(bd->EliminarFactura(2, 7));
    EXPECT_TRUE(m().valorUnico(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=1")).esNulo());
}

TEST_F(Guardado, BatchInvoicingBillsAnArticleGoneFromTheCatalogueWithItsVat)
{
    Global::IVADesglosado = true;
    cliente(1, QStringLiteral("UNO"));
    m().ejecutar(QStringLiteral("insert into AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP) "
                                "values (1, '2024-03-01', 1, 0, null, 0, 0)"));
    m().ejecutar(QStringLiteral("insert into AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, Cada, "
                                "Cantidad, CanStock, Bultos, Envase) values (1, 1, 88888, 7, 289, 0, 1, 150, 0, 0, 0)"));
    Albaranes lote(*bd);
    QObject::connect(&lote, &Albaranes::AntesDeFacturar, [](qint16&, qint16& serie, QDate&, qint16& detalle, bool&, bool&, bool&) {
        serie = 1;
        detalle = 1;
    });
    lote.WhoAmI();
    lote.Facturar();
    motor::Recordset rs = m().abrirRecordset(QStringLiteral("select Concepto, Importe, pIVA from FacturaVentaDetalle"));
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs[QStringLiteral("Concepto")].aTexto(), QStringLiteral("Artículo 88888"));
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("Importe")].aNumero(), 4.34);  // 2.89 per 100 g, 150 g
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("pIVA")].aNumero(), 21);
}

}  // namespace
