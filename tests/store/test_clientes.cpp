#include "almacen_prueba.h"

namespace {

using Clientes = AlmacenDePrueba;

Coleccion Campos(std::initializer_list<std::pair<const char*, Valor>> pares)
{
    Coleccion c;
    for (const auto& [k, v] : pares)
        c.fijar(QString::fromLatin1(k), v);
    return c;
}

TEST_F(Clientes, NextCodeNeverReusesTheHighest)
{
    EXPECT_EQ(bd->NuevoCodCli(), 1);
    EXPECT_TRUE(bd->ListaClientes().empty());
    for (int c : {1, 2, 7})
        cliente(c, QStringLiteral("C%1").arg(c));
    EXPECT_EQ(bd->NuevoCodCli(), 8);
    EXPECT_TRUE(bd->EliminarCliente(7));
    EXPECT_EQ(bd->NuevoCodCli(), 3);  // only the maximum counts: 7 is gone, 2 is the highest
}

TEST_F(Clientes, AddReadChangeAndDeleteKeepTextsAsTyped)
{
    const QString nombre = QStringLiteral("O'BRIEN; DROP TABLE Cliente; -- ÑANDÚ €");
    Coleccion nuevo = Campos({{"Codigo", 5}, {"Nombre", nombre}, {"NIF", QStringLiteral("12345678Z")},
                              {"UsaREq", true}, {"DiaPago", 15}, {"Descuento", 2.5},
                              {"Observaciones", QStringLiteral("línea 1\nlínea 2 \\ TbCliente CadenaValores")},
                              {"NoEsColumna", QStringLiteral("se ignora")}, {"Email", Valor()}});
    ASSERT_TRUE(bd->NuevoCliente(5, nuevo));
    Coleccion leido;
    ASSERT_TRUE(bd->ConsultaCliente(5, leido));
    EXPECT_FALSE(leido.contiene(QStringLiteral("Codigo")));
    EXPECT_EQ(leido.valor(QStringLiteral("nombre")).aTexto(), nombre);
    EXPECT_EQ(leido.valor(QStringLiteral("Observaciones")).aTexto(), QStringLiteral("línea 1\nlínea 2 \\ TbCliente CadenaValores"));
    EXPECT_TRUE(leido.valor(QStringLiteral("UsaREq")).aBooleano());
    EXPECT_DOUBLE_EQ(leido.valor(QStringLiteral("Descuento")).aNumero(), 2.5);
    EXPECT_TRUE(leido.valor(QStringLiteral("Email")).esNulo());
    EXPECT_EQ(leido.elementos().front().first, QStringLiteral("NIF"));  // column order

    // A read collection written back changes nothing.
    ASSERT_TRUE(bd->ActualizarCliente(5, leido));
    Coleccion otraVez;
    bd->ConsultaCliente(5, otraVez);
    EXPECT_EQ(otraVez.valor(QStringLiteral("Nombre")).aTexto(), nombre);
    EXPECT_TRUE(otraVez.valor(QStringLiteral("UsaREq")).aBooleano());

    EXPECT_TRUE(bd->ActualizarCliente(5, Campos({{"Poblacion", QStringLiteral("L'ALCÚDIA")}})));
    EXPECT_FALSE(bd->ActualizarCliente(99, Campos({{"Poblacion", QStringLiteral("X")}})));
    Coleccion sinCambiar = leido;
    EXPECT_FALSE(bd->ConsultaCliente(99, sinCambiar));
    EXPECT_EQ(sinCambiar.tamano(), leido.tamano());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Cliente")), 1);
    EXPECT_TRUE(bd->EliminarCliente(5));
    EXPECT_FALSE(bd->EliminarCliente(5));
}

TEST_F(Clientes, DuplicateCodeAndProtectedCustomerReachTheCaller)
{
    ASSERT_TRUE(bd->NuevoCliente(1, Campos({{"Codigo", 1}, {"Nombre", QStringLiteral("UNO")}})));
    try {
        bd->NuevoCliente(1, Campos({{"Codigo", 1}, {"Nombre", QStringLiteral("OTRO")}}));
        FAIL();
    } catch (const motor::Error& e) {
        EXPECT_EQ(e.codigo(), motor::ErrDuplicado);
    }
    albaran(1, 1, QDate(2024, 3, 1));
    try {
        bd->EliminarCliente(1);
        FAIL();
    } catch (const motor::Error& e) {
        EXPECT_EQ(e.codigo(), motor::ErrRegistrosRelacionados);
    }
}

TEST_F(Clientes, ListIsOrderedOnlyByKnownColumns)
{
    cliente(1, QStringLiteral("ZAPATA"));
    cliente(2, QStringLiteral("ABAD"));
    auto porNombre = bd->ListaClientes(QStringLiteral("nombre"));
    ASSERT_EQ(porNombre.size(), 2u);
    EXPECT_EQ(porNombre[0].Codigo.aEntero(), 2);
    EXPECT_TRUE(porNombre[0].NIF.esNulo());
    EXPECT_EQ(bd->ListaClientes()[0].Codigo.aEntero(), 1);
    EXPECT_THROW(bd->ListaClientes(QStringLiteral("Codigo; delete from Cliente")), motor::Error);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Cliente")), 2);
}

// Pages of every size add up to the whole list, row for row, in each order: through nulls,
// names equal but for case and accents, and a customer without a code.
TEST_F(Clientes, PagesAddUpToTheWholeListInEveryOrder)
{
    cliente(5, QStringLiteral("MUÑOZ"));
    cliente(3, QStringLiteral("munoz"));
    cliente(7, QStringLiteral("ÁLVAREZ"));
    cliente(1, QStringLiteral("alvarez"));
    cliente(9, QStringLiteral("ZAPATA"));
    m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF) VALUES (NULL, 'SIN CODIGO', 'B1')"));
    m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF) VALUES (11, NULL, NULL)"));
    m().ejecutarNativo(QStringLiteral("UPDATE Cliente SET NIF='B1' WHERE Codigo IN (3, 9)"));
    m().ejecutarNativo(QStringLiteral("UPDATE Cliente SET NIF='a2' WHERE Codigo=7"));
    const auto texto = [](const std::vector<FilaCliente>& filas) {
        QStringList r;
        for (const FilaCliente& f : filas)
            r << f.Codigo.aTexto() + QLatin1Char('/') + f.nombre.aTexto() + QLatin1Char('/') + f.NIF.aTexto();
        return r;
    };
    for (const QString& orden : {QStringLiteral("Codigo"), QStringLiteral("Nombre"), QStringLiteral("NIF")}) {
        const std::vector<FilaCliente> entera = bd->ListaClientes(orden);
        ASSERT_EQ(entera.size(), 7u);
        for (const int tamano : {1, 2, 3, 7, 50}) {
            std::vector<FilaCliente> leidas;
            std::optional<std::vector<Valor>> despues;
            for (int vuelta = 0; vuelta < 20; ++vuelta) {
                auto pagina = bd->PaginaClientes(orden, despues, tamano);
                ASSERT_LE(pagina.filas.size(), static_cast<size_t>(tamano));
                leidas.insert(leidas.end(), pagina.filas.begin(), pagina.filas.end());
                if (!pagina.siguiente)
                    break;
                despues = pagina.siguiente;
            }
            EXPECT_EQ(texto(leidas), texto(entera)) << qPrintable(orden) << " page of " << tamano;
        }
    }
    EXPECT_THROW(bd->PaginaClientes(QStringLiteral("Codigo; delete from Cliente"), std::nullopt, 5), motor::Error);
}

TEST_F(Clientes, ArticlePriceFollowsLevelAndTariff)
{
    QString nombre;
    qint16 depto = 7, cada = 9;
    qint32 precio = 9;
    bd->DatosArticulo(1, nombre, depto, cada, precio);
    EXPECT_EQ(nombre, QStringLiteral("TERNERA FILETES"));
    EXPECT_EQ(depto, 1);
    EXPECT_EQ(cada, 0);
    EXPECT_EQ(precio, 1495);  // PRECIO_01
    Global::Precio = 2;
    Global::Tarifa = 3;
    bd->DatosArticulo(1, nombre, depto, cada, precio);
    EXPECT_EQ(precio, 1495 * 90 / 100 + 20);  // PRECIO_23
    bd->DatosArticulo(0, nombre, depto, cada, precio);
    EXPECT_TRUE(nombre.isEmpty());
    EXPECT_EQ(precio, 0);
    bd->DatosArticulo(99999, nombre, depto, cada, precio);
    EXPECT_TRUE(nombre.isEmpty());
}

TEST_F(Clientes, StockWithWarehousesInsertsTheFirstMovement)
{
    EXPECT_TRUE(bd->Stock(123, 1500));  // first movement: a new row
    EXPECT_EQ(uno(QStringLiteral("select Venta from MovsAlm where CODALM=1 and Seccion=1 and Codigo=123")), 1500);
    EXPECT_TRUE(bd->Stock(123, -1500));
    EXPECT_TRUE(bd->Stock(123, -250));
    EXPECT_EQ(uno(QStringLiteral("select Venta from MovsAlm where Codigo=123")), -250);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from MovsAlm")), 1);
}

TEST_F(Clientes, ANullCounterStillTakesTheMovement)
{
    m().ejecutar(QStringLiteral("insert into MovsAlm (CODALM, Seccion, Codigo, Venta) values (1, 1, 5, null)"));
    EXPECT_TRUE(bd->Stock(5, 250));
    EXPECT_EQ(uno(QStringLiteral("select Venta from MovsAlm where Codigo=5")), 250);
}

class StockSinAlmacenes : public AlmacenDePrueba {
protected:
    StockSinAlmacenes() : AlmacenDePrueba(false) {}
};

TEST_F(StockSinAlmacenes, UpdatesTheArticlesSoldQuantity)
{
    EXPECT_EQ(Global::Almacen, 0);
    EXPECT_TRUE(bd->Stock(1, 750));
    EXPECT_TRUE(bd->Stock(1, -250));
    EXPECT_EQ(uno(QStringLiteral("select SALIDA from PLUSES where SECCION=1 and CODPLU=1")), 500);
    EXPECT_FALSE(bd->Stock(99999, 5));  // no such article: nothing to change
    EXPECT_EQ(uno(QStringLiteral("select count(*) from MovsAlm")), 0);
}

TEST(AlmacenCerrado, EveryMethodAnswersEmpty)
{
    BaseDatos bd{QString()};
    Coleccion c;
    motor::Recordset rs;
    qint16 largo = 0;
    EXPECT_EQ(bd.NuevoCodCli(), 0);
    EXPECT_TRUE(bd.ListaClientes().empty());
    EXPECT_FALSE(bd.ConsultaCliente(1, c));
    EXPECT_FALSE(bd.NuevoCliente(1, c));
    EXPECT_FALSE(bd.EliminarCliente(1));
    EXPECT_TRUE(bd.NombreCliente(1).isEmpty());
    EXPECT_FALSE(bd.Stock(1, 1));
    EXPECT_EQ(bd.NuevoNumeroAlbaran(), 0);
    EXPECT_TRUE(bd.ListaAlbaranes().empty());
    EXPECT_FALSE(bd.ConsultaCabzAlbaran(1, rs));
    EXPECT_FALSE(bd.EliminarAlbaran(1));
    EXPECT_EQ(bd.NuevoNumeroFactura(1), 0);
    EXPECT_TRUE(bd.ListaFacturas().empty());
    EXPECT_FALSE(bd.ConsultaDetaFactura(0, 1, rs));
    EXPECT_FALSE(bd.EliminarFactura(0, 1));
    EXPECT_FALSE(bd.IniciarServicioAutoescritura(0));
    EXPECT_NO_THROW(bd.Autoescritura(0, largo, nullptr, nullptr));
    EXPECT_NO_THROW(bd.ReordenarAlbaran(1));
}

}  // namespace

namespace {

// The shop's data lives in the database: every station reads what one wrote, and it is one row.
TEST_F(Clientes, ShopDataIsOneRowThatEveryStationReads)
{
    EXPECT_EQ(bd->LeerComercio(), DatosComercio{});
    DatosComercio d{QStringLiteral("ULTRAMARINOS PEPA, S.L."), QStringLiteral("B12345674"), QStringLiteral("Calle Real, 3"),
                    QStringLiteral("46001"), QStringLiteral("VALENCIA"), QStringLiteral("VALENCIA"), QStringLiteral("963 000 000")};
    bd->GuardarComercio(d);
    d.Telefono = QStringLiteral("963 111 111");
    bd->GuardarComercio(d);
    BaseDatos otra(base->ruta);
    EXPECT_EQ(otra.LeerComercio(), d);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Comercio")), 1);
}

}  // namespace
