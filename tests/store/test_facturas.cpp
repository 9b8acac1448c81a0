#include "almacen_prueba.h"

namespace {

class Facturas : public AlmacenDePrueba {
protected:
    void SetUp() override
    {
        AlmacenDePrueba::SetUp();
        cliente(1, QStringLiteral("BAR EL PUERTO"));
        cliente(2, QStringLiteral("MARTINEZ PEREZ"), true);
        // 1/1: base 20.01 at 21 %, unpaid.
        factura(1, 1, 1, QDate(2024, 3, 1), 0.0);
        lineaFactura(1, 1, 1, 10.00, 21);
        lineaFactura(1, 1, 2, 10.01, 21);
        // 1/2: two rates rounded apart, with surcharge (customer 2), 10 % + 2 % discounts, settled.
        factura(1, 2, 2, QDate(2024, 3, 15), Valor(), 10, 2);
        lineaFactura(1, 2, 1, 33.33, 10, 1.4);
        lineaFactura(1, 2, 2, 12.35, 4, 0.5);
        // 2/1: another series, paid to within one cent.
        factura(2, 1, 1, QDate(2024, 4, 2), 12.10);
        lineaFactura(2, 1, 1, 10.00, 21);
    }
    static std::vector<qint32> numeros(const std::vector<FilaFactura>& filas)
    {
        std::vector<qint32> r;
        for (const auto& f : filas)
            r.push_back(f.Numero);
        return r;
    }
};

TEST_F(Facturas, NumbersArePerSeries)
{
    EXPECT_EQ(bd->NuevoNumeroFactura(1), 3);
    EXPECT_EQ(bd->NuevoNumeroFactura(2), 2);
    EXPECT_EQ(bd->NuevoNumeroFactura(3), 1);
    EXPECT_EQ(bd->NuevoNumeroFactura(), 1);
}

TEST_F(Facturas, RatesAreRoundedPerGroupBeforeAdding)
{
    const auto filas = bd->ListaFacturas(qint16(1));
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_DOUBLE_EQ(filas[0].Neto, 20.01);
    EXPECT_DOUBLE_EQ(filas[0].iva, 4.20);
    EXPECT_DOUBLE_EQ(filas[0].Total, 24.21);
    EXPECT_EQ(filas[0].nombre.aTexto(), QStringLiteral("BAR EL PUERTO"));
    // 33.33 less 12 % = 29.33 (29.3304); VAT 2.93. 12.35 less 12 % = 10.87 (10.868); VAT 0.43.
    EXPECT_DOUBLE_EQ(filas[1].Neto, 29.33 + 10.87);
    EXPECT_DOUBLE_EQ(filas[1].iva, 2.93 + 0.43);
    EXPECT_TRUE(filas[1].Pagado.esNulo());
    motor::Recordset rs = m().abrirRecordset(QStringLiteral("select REq from ListaFacturas where Serie=1 and Numero=2"));
    EXPECT_DOUBLE_EQ(rs[QStringLiteral("REq")].aNumero(), 0.41 + 0.05);  // 29.33 x 1.4 %, 10.87 x 0.5 %
}

TEST_F(Facturas, PendingUsesTheOneCentRule)
{
    EXPECT_EQ(numeros(bd->ListaFacturas({}, {}, {}, {}, true)), (std::vector<qint32>{1, 2}));  // 0 paid; null paid
    EXPECT_EQ(numeros(bd->ListaFacturas({}, {}, {}, {}, false)), (std::vector<qint32>{1}));    // 2/1 paid 12.10
    sql(QStringLiteral("update FacturaVentaCabecera set Pagado=24.205 where Serie=1 and Numero=1"));
    EXPECT_EQ(numeros(bd->ListaFacturas(qint16(1), {}, {}, {}, false)), (std::vector<qint32>{1}));
    sql(QStringLiteral("update FacturaVentaCabecera set Pagado=24.23 where Serie=1 and Numero=1"));
    EXPECT_TRUE(bd->ListaFacturas(qint16(1), {}, {}, {}, false).empty());
}

// The customer owes surcharge and crates too: paying that settles the invoice.
TEST_F(Facturas, WhatIsOwedIncludesSurchargeAndPackaging)
{
    sql(QStringLiteral("update FacturaVentaDetalle set Bultos=2, Envase=150 where Serie=1 and Numero=2 and Linea=1"));
    const auto filas = bd->ListaFacturas(qint16(1));
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_DOUBLE_EQ(filas[0].REq, 0);
    EXPECT_DOUBLE_EQ(TotalAPagar(filas[0]), 24.21);
    EXPECT_DOUBLE_EQ(filas[1].REq, 0.46);
    EXPECT_DOUBLE_EQ(filas[1].Envases, 3.0);
    const double debe = 29.33 + 10.87 + 2.93 + 0.43 + 0.46 + 3.0;
    EXPECT_DOUBLE_EQ(TotalAPagar(filas[1]), debe);
    sql(QStringLiteral("update FacturaVentaCabecera set Pagado=%1 where Serie=1 and Numero=2").arg(debe - 1.0));
    EXPECT_EQ(numeros(bd->ListaFacturas(qint16(1), {}, {}, {}, true)), (std::vector<qint32>{1, 2}));
    // Settled before packaging counted: net, VAT and surcharge paid still reads as settled.
    sql(QStringLiteral("update FacturaVentaCabecera set Pagado=%1 where Serie=1 and Numero=2").arg(debe - 3.0));
    EXPECT_EQ(numeros(bd->ListaFacturas(qint16(1), {}, {}, {}, false)), (std::vector<qint32>{2}));
    sql(QStringLiteral("update FacturaVentaCabecera set Pagado=%1 where Serie=1 and Numero=2").arg(debe));
    EXPECT_EQ(numeros(bd->ListaFacturas(qint16(1), {}, {}, {}, false)), (std::vector<qint32>{2}));
    EXPECT_EQ(numeros(bd->ListaFacturas(qint16(1), {}, {}, {}, true)), (std::vector<qint32>{1}));
}

TEST_F(Facturas, EachFilterAloneAndTogether)
{
    EXPECT_EQ(bd->ListaFacturas().size(), 3u);
    EXPECT_EQ(bd->ListaFacturas(qint32(1)).size(), 3u);  // a 32-bit series is no filter
    EXPECT_EQ(numeros(bd->ListaFacturas(qint16(2))), (std::vector<qint32>{1}));
    EXPECT_EQ(numeros(bd->ListaFacturas({}, qint32(2))), (std::vector<qint32>{2}));
    EXPECT_EQ(numeros(bd->ListaFacturas({}, QStringLiteral("bar el puerto"))), (std::vector<qint32>{1, 1}));
    EXPECT_TRUE(bd->ListaFacturas({}, QStringLiteral("' or 1=1 --")).empty());
    EXPECT_EQ(numeros(bd->ListaFacturas({}, {}, QDate(2024, 3, 2))), (std::vector<qint32>{2, 1}));
    EXPECT_EQ(numeros(bd->ListaFacturas({}, {}, {}, QDate(2024, 3, 15))), (std::vector<qint32>{1, 2}));
    EXPECT_EQ(numeros(bd->ListaFacturas(qint16(1), qint32(1), QDate(2024, 3, 1), QDate(2024, 3, 31), true)),
              (std::vector<qint32>{1}));
    EXPECT_TRUE(bd->ListaFacturas(qint16(2), {}, QDate(2024, 3, 1), QDate(2024, 3, 31)).empty());
}

// Pages of every size add up to the whole list of the series, filters and payment state
// included, even when the payment state leaves a page with no row at all; the count the
// browser makes room by is the list's before the payment state.
TEST_F(Facturas, PagesAddUpToTheWholeList)
{
    for (qint32 n = 3; n <= 12; ++n) {
        factura(1, n, n % 2 ? 1 : 2, QDate(2024, 3, n), n % 3 ? Valor() : Valor(12.10));
        lineaFactura(1, n, 1, 10.00, 21);
    }
    struct Caso {
        Filtro cliente, desde, hasta, pendiente;
    };
    const Caso casos[] = {{}, {{}, {}, {}, true}, {{}, {}, {}, false}, {qint32(2), {}, {}, {}},
                          {qint32(1), QDate(2024, 3, 4), QDate(2024, 3, 11), true}, {QStringLiteral("nadie"), {}, {}, {}}};
    for (const Caso& c : casos) {
        const std::vector<FilaFactura> entera = bd->ListaFacturas(qint16(1), c.cliente, c.desde, c.hasta, c.pendiente);
        EXPECT_EQ(bd->CuentaFacturas(1, c.cliente, c.desde, c.hasta),
                  static_cast<qint64>(bd->ListaFacturas(qint16(1), c.cliente, c.desde, c.hasta).size()));
        for (const int tamano : {1, 2, 3, 5, 100}) {
            std::vector<FilaFactura> leidas;
            std::optional<qint32> despues;
            for (int vuelta = 0; vuelta < 20; ++vuelta) {
                auto pagina = bd->PaginaFacturas(1, c.cliente, c.desde, c.hasta, c.pendiente, despues, tamano);
                ASSERT_LE(pagina.filas.size(), static_cast<size_t>(tamano));
                leidas.insert(leidas.end(), pagina.filas.begin(), pagina.filas.end());
                if (!pagina.siguiente)
                    break;
                despues = pagina.siguiente;
            }
            ASSERT_EQ(numeros(leidas), numeros(entera)) << "page of " << tamano;
            for (size_t i = 0; i < entera.size(); ++i) {
                EXPECT_DOUBLE_EQ(leidas[i].Neto, entera[i].Neto);
                EXPECT_DOUBLE_EQ(leidas[i].iva, entera[i].iva);
                EXPECT_EQ(leidas[i].nombre.aTexto(), entera[i].nombre.aTexto());
            }
        }
    }
}

TEST_F(Facturas, DeletingReleasesTheNotesEvenWithoutAHeader)
{
    albaran(1, 1, QDate(2024, 3, 1), Valor(qint64(1)), 0, 0, 1);
    albaran(2, 1, QDate(2024, 3, 1), Valor(qint64(5)), 0, 0, 1);  // invoice 1/5 does not exist
    albaran(3, 1, QDate(2024, 3, 1), Valor(qint64(1)), 0, 0, 2);  // series 2
    EXPECT_TRUE(bd->EliminarFactura(1, 1));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=1 and Numero=1")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Factura is null and sFac is null")), 1);
    EXPECT_FALSE(bd->EliminarFactura(1, 5));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Factura is null")), 2);
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=3")), 1);
}

TEST_F(Facturas, RecordsetsOfHeaderAndLines)
{
    motor::Recordset cab, det;
    ASSERT_TRUE(bd->ConsultaCabzFactura(1, 2, cab));
    EXPECT_EQ(cab[QStringLiteral("Cliente")].aEntero(), 2);
    ASSERT_TRUE(bd->ConsultaDetaFactura(1, 2, det));
    EXPECT_EQ(det.recordCount(), 2);
    det.moveNext();
    det.edit();
    det.fijar(QStringLiteral("Importe"), 12.36);
    det.update();
    EXPECT_DOUBLE_EQ(m().valorUnico(QStringLiteral("select Importe from FacturaVentaDetalle where Serie=1 and Numero=2 and Linea=2")).aNumero(),
                     12.36);
    ASSERT_TRUE(bd->ConsultaCabzFactura(3, 1, cab));
    EXPECT_TRUE(cab.eof());
}

}  // namespace
