#include "almacen_prueba.h"

#include <cmath>
#include <optional>

namespace {

class Albaranes : public AlmacenDePrueba {
protected:
    void SetUp() override
    {
        AlmacenDePrueba::SetUp();
        cliente(1, QStringLiteral("GARCIA LOPEZ"), false, 10);
        cliente(2, QStringLiteral("O'HARA"));
        // Note 1: customer 1 (10 % discount), 5 % prompt payment, not invoiced.
        albaran(1, 1, QDate(2024, 3, 1), Valor(), 5);
        lineaAlbaran(1, 1, 1, 1000, 0, 1500);        // 10.00/kg, 1500 g: 1500 cents
        lineaAlbaran(1, 2, 25, 110, 2, 3, 50, 3);    // 1.10 each, 3 units, 50 %: 165 cents, in stock
        // Note 2: customer 2, invoiced as 7; note 3: customer 2, invoice 0; note 4: no lines.
        albaran(2, 2, QDate(2024, 3, 5), Valor(qint64(7)), 0, 12.5, 1);
        lineaAlbaran(2, 1, 9, 1290, 0, 1000);
        albaran(3, 2, QDate(2024, 3, 10), Valor(qint64(0)));
        albaran(4, 1, QDate(2024, 3, 31));
    }

    static std::vector<qint32> numeros(const std::vector<FilaAlbaran>& filas)
    {
        std::vector<qint32> r;
        for (const auto& f : filas)
            r.push_back(f.Numero);
        return r;
    }
};

TEST_F(Albaranes, RowsCarryTheNetAfterBothDiscounts)
{
    const auto filas = bd->ListaAlbaranes();
    ASSERT_EQ(filas.size(), 4u);
    const FilaAlbaran& f = filas[0];
    EXPECT_EQ(f.Numero, 1);
    EXPECT_EQ(f.Fecha.aFecha(), QDate(2024, 3, 1));
    EXPECT_EQ(f.Cliente.aEntero(), 1);
    EXPECT_EQ(f.nombre.aTexto(), QStringLiteral("GARCIA LOPEZ"));
    EXPECT_EQ(f.nLin, 2);
    EXPECT_DOUBLE_EQ(f.Importe, 1665 - 167 - 83);  // 10 % and 5 % both on the gross, each to the cent as the note takes them
    EXPECT_TRUE(f.Factura.esNulo());
    EXPECT_EQ(f.Stock, 1);  // one line not yet discounted from stock
    EXPECT_DOUBLE_EQ(f.Pagado.aNumero(), 0);
    EXPECT_DOUBLE_EQ(filas[1].Importe, 1290);
    EXPECT_DOUBLE_EQ(filas[1].Pagado.aNumero(), 12.5);
    // A note without lines: 0 lines, net 0, no stock to discount.
    EXPECT_EQ(filas[3].Numero, 4);
    EXPECT_EQ(filas[3].nLin, 0);
    EXPECT_DOUBLE_EQ(filas[3].Importe, 0);
    EXPECT_EQ(filas[3].Stock, 0);
}

// The customer's discount changes after a note was invoiced: the note lists as its invoice
// was made; a pending note follows the customer.
TEST_F(Albaranes, AnInvoicedNoteListsWithItsInvoicesDiscounts)
{
    factura(1, 7, 2, QDate(2024, 3, 5), 0.0, 10, 5);
    sql(QStringLiteral("update Cliente set Descuento=20"));
    albaran(5, 2, QDate(2024, 3, 6));
    lineaAlbaran(5, 1, 9, 1290, 0, 1000);
    const auto filas = bd->ListaAlbaranes();
    ASSERT_EQ(filas.size(), 5u);
    EXPECT_DOUBLE_EQ(filas[1].Importe, 1290 - 129 - 65);  // invoice 1-7: 10 % and 5 %
    EXPECT_DOUBLE_EQ(filas[4].Importe, 1290 - 258);       // pending: the customer's 20 %
    EXPECT_DOUBLE_EQ(filas[2].Importe, 0);
}

TEST_F(Albaranes, EachFilterAloneAndTogether)
{
    EXPECT_EQ(numeros(bd->ListaAlbaranes(qint32(2))), (std::vector<qint32>{2}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes(qint16(3))), (std::vector<qint32>{3}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, qint32(2))), (std::vector<qint32>{2, 3}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, qint16(2))).size(), 4u);  // a 16-bit customer is no filter
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, QStringLiteral("garcia lopez"))), (std::vector<qint32>{1, 4}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, QStringLiteral("O'HARA"))), (std::vector<qint32>{2, 3}));
    EXPECT_TRUE(bd->ListaAlbaranes({}, QStringLiteral("NADIE")).empty());
    EXPECT_TRUE(bd->ListaAlbaranes({}, QStringLiteral("x' or '1'='1")).empty());
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, {}, QDate(2024, 3, 5))), (std::vector<qint32>{2, 3, 4}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, {}, {}, QDate(2024, 3, 5))), (std::vector<qint32>{1, 2}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, {}, QDate(2024, 3, 5), QDate(2024, 3, 10))), (std::vector<qint32>{2, 3}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, {}, {}, {}, true)), (std::vector<qint32>{2}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, {}, {}, {}, false)), (std::vector<qint32>{1, 3, 4}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, {}, {}, {}, qint32(7))), (std::vector<qint32>{2}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, qint32(2), QDate(2024, 3, 1), QDate(2024, 3, 31), false)),
              (std::vector<qint32>{3}));
    EXPECT_EQ(numeros(bd->ListaAlbaranes(QStringLiteral("1"))).size(), 4u);  // a text number is no filter
    EXPECT_EQ(numeros(bd->ListaAlbaranes({}, {}, QDate(), QDate())).size(), 4u);  // an empty date is no filter
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera")), 4);
}

// Read a page at a time (as the note browser does), the list is the same row for row, whatever
// the page size and the filter; and the count the browser makes room by is the list's.
TEST_F(Albaranes, PagesAddUpToTheWholeList)
{
    struct Caso {
        Filtro cliente, desde, hasta;
    };
    const std::vector<Caso> filtros = {
        {Filtro(), Filtro(), Filtro()},
        {Filtro(qint32(2)), Filtro(), Filtro()},
        {Filtro(QStringLiteral("garcia lopez")), Filtro(), Filtro()},
        {Filtro(), Filtro(QDate(2024, 3, 5)), Filtro()},
        {Filtro(), Filtro(), Filtro(QDate(2024, 3, 5))},
        {Filtro(QStringLiteral("NADIE")), Filtro(), Filtro()},
    };
    for (const auto& [cliente, desde, hasta] : filtros) {
        const std::vector<FilaAlbaran> entera = bd->ListaAlbaranes({}, cliente, desde, hasta);
        EXPECT_EQ(bd->CuentaAlbaranes(cliente, desde, hasta), static_cast<qint64>(entera.size()));
        for (const int tamano : {1, 2, 3, 10}) {
            std::vector<FilaAlbaran> leidas;
            std::optional<qint32> despues;
            for (int vuelta = 0; vuelta < 10; ++vuelta) {
                const std::vector<FilaAlbaran> pagina = bd->PaginaAlbaranes(cliente, desde, hasta, despues, tamano);
                ASSERT_LE(pagina.size(), static_cast<size_t>(tamano));
                leidas.insert(leidas.end(), pagina.begin(), pagina.end());
                if (pagina.size() < static_cast<size_t>(tamano))
                    break;
                despues = pagina.back().Numero;
            }
            ASSERT_EQ(numeros(leidas), numeros(entera)) << "page of " << tamano;
            for (size_t i = 0; i < entera.size(); ++i) {
                EXPECT_EQ(leidas[i].Importe, entera[i].Importe);
                EXPECT_EQ(leidas[i].nLin, entera[i].nLin);
                EXPECT_EQ(leidas[i].Stock, entera[i].Stock);
                EXPECT_EQ(leidas[i].nombre.aTexto(), entera[i].nombre.aTexto());
                EXPECT_EQ(leidas[i].Factura.esNulo(), entera[i].Factura.esNulo());
            }
        }
    }
}

TEST_F(Albaranes, ListAgreesWithTheSavedQuery)
{
    const auto filas = bd->ListaAlbaranes({}, qint32(1));
    motor::Recordset rs = m().abrirRecordset(QStringLiteral("select * from ListaAlbaranes where Cliente=1 order by Numero"));
    for (const FilaAlbaran& f : filas) {
        ASSERT_FALSE(rs.eof());
        EXPECT_EQ(f.Numero, rs[QStringLiteral("Numero")].aEntero());
        EXPECT_DOUBLE_EQ(f.nLin, rs[QStringLiteral("nlin")].aNumero());
        const double importe = rs[QStringLiteral("Importe")].aNumero();
        // The saved query keeps the discounts unrounded; the list rounds each to the cent.
        EXPECT_DOUBLE_EQ(f.Importe, importe - std::floor(importe * 10 / 100 + 0.5)
                                        - std::floor(importe * rs[QStringLiteral("DesctoPP")].aNumero() / 100 + 0.5));
        rs.moveNext();
    }
    EXPECT_TRUE(rs.eof());
}

TEST_F(Albaranes, NumbersDeletesAndInvoiceMoves)
{
    EXPECT_EQ(bd->NuevoNumeroAlbaran(), 5);
    EXPECT_TRUE(bd->EliminarAlbaran(4));
    EXPECT_EQ(bd->NuevoNumeroAlbaran(), 4);
    EXPECT_FALSE(bd->EliminarAlbaran(2));  // invoiced
    EXPECT_FALSE(bd->EliminarAlbaran(3));  // invoice 0 still counts as set
    EXPECT_TRUE(bd->EliminarAlbaran(1));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=1")), 0);

    bd->CambioFacturaEnAlbaran(1, 7, 70);
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=2")), 70);
    bd->CambioFacturaEnAlbaran(2, 70, 71);  // another series: untouched
    EXPECT_EQ(uno(QStringLiteral("select Factura from AlbaranVentaCabecera where Numero=2")), 70);
}

// Many notes are linked to an invoice a few hundred a statement; a note no longer pending
// (billed, paid, deleted) is named, and the caller's transaction leaves them all as they were.
TEST_F(Albaranes, LinkingManyNotesNamesTheFirstNoLongerPending)
{
    albaran(5, 1, QDate(2024, 3, 2), Valor(), 0, 3.5);  // paid
    for (qint32 n = 100; n < 1300; ++n)
        albaran(n, 2, QDate(2024, 4, 1));
    struct Caso {
        std::vector<qint32> notas;
        std::optional<qint32> fuera;
    };
    std::vector<qint32> muchas{1, 4};
    for (qint32 n = 100; n < 1300; ++n)
        muchas.push_back(n);
    std::vector<qint32> muchasYUnaFacturada = muchas;
    muchasYUnaFacturada.insert(muchasYUnaFacturada.begin() + 700, 2);
    const std::vector<Caso> casos{{{1, 4}, std::nullopt},  {{1, 3, 4}, 3},          {{4, 5}, 5},
                                  {{1, 99}, 99},            {muchasYUnaFacturada, 2}, {muchas, std::nullopt}};
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.notas.size());
        {
            motor::BaseDeDatos::Transaccion t(m());
            EXPECT_EQ(bd->EnlazarAlbaranesPendientes(c.notas, 3, 40), c.fuera);
            if (!c.fuera) {
                EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where sFac=3 and Factura=40")),
                          static_cast<qint64>(c.notas.size()));
            }
        }
        EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Factura=40")), 0);
    }
}

// A batch's remembered articles answer as the catalogue does, for the price level and tariff
// in force, articles out of it included.
TEST_F(Albaranes, RememberedArticlesAnswerAsTheCatalogue)
{
    struct Respuesta {
        QString nombre;
        qint16 depto, cada;
        qint32 precio;
        bool operator==(const Respuesta&) const = default;
    };
    auto datos = [&](qint32 codigo) {
        Respuesta r{{}, 7, 9, 9};
        bd->DatosArticulo(codigo, r.nombre, r.depto, r.cada, r.precio);
        return r;
    };
    const std::vector<qint32> codigos{1, 25, 9, 0, 99999, 1, 99999};
    for (const auto& [precio, tarifa] : std::vector<std::pair<qint16, qint16>>{{0, 1}, {2, 3}}) {
        Global::Precio = precio;
        Global::Tarifa = tarifa;
        std::vector<Respuesta> catalogo;
        for (const qint32 c : codigos)
            catalogo.push_back(datos(c));
        bd->RecordarParaLote({1, 2, 3, 4});
        for (size_t i = 0; i < codigos.size(); ++i)
            EXPECT_TRUE(datos(codigos[i]) == catalogo[i]) << codigos[i];
        // Another level asked meanwhile is read from the catalogue, not from what was kept.
        Global::Precio = 1;
        Global::Tarifa = 1;
        const Respuesta otra = datos(1);
        bd->OlvidarLote();
        EXPECT_TRUE(datos(1) == otra);
    }
    // A read that fails is not kept as "not in the catalogue": the next one reads again.
    if (!bd->Motor()->esPostgreSQL()) {
        const Respuesta leida = datos(25);
        bd->RecordarParaLote({});
        bd->Motor()->ejecutarNativo(QStringLiteral("ALTER TABLE PLUSES RENAME TO PLUSES_fuera"));
        EXPECT_THROW(datos(25), motor::Error);
        bd->Motor()->ejecutarNativo(QStringLiteral("ALTER TABLE PLUSES_fuera RENAME TO PLUSES"));
        EXPECT_TRUE(datos(25) == leida);
        bd->OlvidarLote();
    }
}

// A batch takes each customer's surcharge and discount once and keeps them to its end.
TEST_F(Albaranes, ABatchKeepsEachCustomersSurchargeAndDiscountToItsEnd)
{
    bool req = true;
    double dto = -1;
    ASSERT_TRUE(bd->RecargoYDescuentoCliente(1, req, dto));
    const bool reqLeido = req;
    const double dtoLeido = dto;
    for (bool lote : {false, true}) {
        if (lote)
            bd->RecordarParaLote({});
        EXPECT_FALSE(bd->RecargoYDescuentoCliente(999999, req, dto));
        EXPECT_FALSE(req);
        EXPECT_EQ(dto, 0);
        ASSERT_TRUE(bd->RecargoYDescuentoCliente(1, req, dto));
        EXPECT_EQ(req, reqLeido);
        EXPECT_DOUBLE_EQ(dto, dtoLeido);
    }
    bd->Motor()->ejecutarNativo(QStringLiteral("UPDATE Cliente SET Descuento = Descuento + 8 WHERE Codigo = 1"));
    ASSERT_TRUE(bd->RecargoYDescuentoCliente(1, req, dto));
    EXPECT_DOUBLE_EQ(dto, dtoLeido);  // what the batch read when it began
    bd->OlvidarLote();
    ASSERT_TRUE(bd->RecargoYDescuentoCliente(1, req, dto));
    EXPECT_NEAR(dto, dtoLeido + 8, 1e-4);
}

TEST_F(Albaranes, RecordsetsWriteThroughToTheTables)
{
    motor::Recordset cab;
    ASSERT_TRUE(bd->ConsultaCabzAlbaran(9, cab));
    EXPECT_TRUE(cab.eof());
    cab.addNew();
    cab.fijar(QStringLiteral("Numero"), 9);
    cab.fijar(QStringLiteral("Cliente"), 1);
    cab.fijar(QStringLiteral("Fecha"), QDate(2024, 4, 1));
    cab.update();
    motor::Recordset det;
    ASSERT_TRUE(bd->ConsultaDetaAlbaran(1, det));
    ASSERT_EQ(det.recordCount(), 2);
    EXPECT_EQ(det[QStringLiteral("Linea")].aEntero(), 1);
    det.edit();
    det.fijar(QStringLiteral("CanStock"), 1500);
    det.update();
    EXPECT_EQ(uno(QStringLiteral("select CanStock from AlbaranVentaDetalle where Numero=1 and Linea=1")), 1500);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Numero=9 and Fecha='2024-04-01'")), 1);
}

TEST_F(Albaranes, ReorderSortsByArticleNameWithMissingArticlesFirst)
{
    albaran(10, 1, QDate(2024, 4, 1));
    lineaAlbaran(10, 1, 1, 100, 2, 1);       // TERNERA FILETES
    lineaAlbaran(10, 2, 21, 100, 2, 2);      // QUESO MANCHEGO CURADO
    lineaAlbaran(10, 5, 99999, 100, 2, 3);   // no longer in the catalogue
    lineaAlbaran(10, 7, 21, 100, 2, 4);      // same name as line 2: keeps its place after it
    bd->ReordenarAlbaran(10);
    motor::Recordset rs = m().abrirRecordset(QStringLiteral("select Linea, Articulo, Cantidad from AlbaranVentaDetalle where Numero=10 order by Linea"));
    std::vector<std::pair<qint64, qint64>> r;
    for (; !rs.eof(); rs.moveNext())
        r.emplace_back(rs[QStringLiteral("Linea")].aEntero(), rs[QStringLiteral("Cantidad")].aEntero());
    EXPECT_EQ(r, (std::vector<std::pair<qint64, qint64>>{{1, 3}, {2, 2}, {3, 4}, {4, 1}}));
    const QString antes = m().abrirRecordset(QStringLiteral("select count(*) from AlbaranVentaDetalle")).campo(0).aTexto();
    bd->ReordenarAlbaran(4);  // no lines: nothing changes
    bd->ReordenarAlbaran(12345);
    EXPECT_EQ(m().abrirRecordset(QStringLiteral("select count(*) from AlbaranVentaDetalle")).campo(0).aTexto(), antes);
}

}  // namespace
