#include "basedatos.h"
#include "entorno.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// Everything in the file: schema objects and every row of every table, as text.
QString Volcado(motor::BaseDeDatos& bd)
{
    QString r;
    motor::Recordset esquema = bd.abrirRecordset(
        bd.esPostgreSQL()
            ? QStringLiteral("select c.relkind::text as type, c.relname::text as name, coalesce(pg_get_viewdef(c.oid), '') || "
                             "coalesce(pg_get_indexdef(c.oid), '') || coalesce((select string_agg(a.attname || ' ' || "
                             "format_type(a.atttypid, a.atttypmod), ',' order by a.attnum) from pg_attribute a where a.attrelid = "
                             "c.oid and a.attnum > 0 and not a.attisdropped and c.relkind = 'r'), '') || coalesce((select "
                             "string_agg(pg_get_constraintdef(k.oid), ',' order by k.conname) from pg_constraint k where "
                             "k.conrelid = c.oid), '') || coalesce((select string_agg(t.tgname || pg_get_triggerdef(t.oid), ',' "
                             "order by t.tgname) from pg_trigger t where t.tgrelid = c.oid and not t.tgisinternal), '') as sql "
                             "from pg_class c where c.relnamespace = current_schema()::regnamespace order by 1, 2")
            : QStringLiteral("select type, name, sql from sqlite_master order by type, name"));
    for (; !esquema.eof(); esquema.moveNext()) {
        r += esquema[QStringLiteral("type")].aTexto() + QLatin1Char(' ') + esquema[QStringLiteral("name")].aTexto() + QLatin1Char(' ')
            + esquema[QStringLiteral("sql")].aTexto() + QLatin1Char('\n');
    }
    for (const QString& tabla : bd.tablas()) {
        motor::Recordset filas = bd.abrirRecordset(QStringLiteral("select * from [%1] order by rowid").arg(tabla));
        for (; !filas.eof(); filas.moveNext()) {
            r += tabla + QLatin1Char(':');
            for (int i = 0; i < filas.numCampos(); ++i)
                r += filas.campo(i).aTexto() + QLatin1Char('|');
            r += QLatin1Char('\n');
        }
    }
    return r;
}

QStringList Campos(motor::BaseDeDatos& bd, const QString& tabla)
{
    QStringList r;
    for (const motor::DefCampo& c : bd.campos(tabla))
        r << c.nombre;
    return r;
}

const QStringList kTablas{QStringLiteral("Cliente"), QStringLiteral("AlbaranVentaCabecera"), QStringLiteral("AlbaranVentaDetalle"),
                          QStringLiteral("FacturaVentaCabecera"), QStringLiteral("FacturaVentaDetalle"), QStringLiteral("Comercio"),
                          QStringLiteral("Verifactu"), QStringLiteral("RegistroFacturacion"),
                          QStringLiteral("RegistroFacturacionDesglose"), QStringLiteral("EnvioRegistros")};
const QStringList kRelaciones{QStringLiteral("relAlbaran"), QStringLiteral("relFactura"), QStringLiteral("relCliAlb"),
                              QStringLiteral("relCliFac")};
const QStringList kConsultas{QStringLiteral("ListaFacturas"), QStringLiteral("ListaBasesImponibles"), QStringLiteral("ListaAlbaranes")};

TEST(Esquema, FreshDatabaseGetsEverything)
{
    BaseDePrueba base;
    BaseDatos bd(base.ruta);
    ASSERT_TRUE(bd.Abierta());
    EXPECT_TRUE(bd.VersionAlmacenes());
    bd.CrearTablasNuevas();
    motor::BaseDeDatos& m = *bd.Motor();
    for (const QString& t : kTablas)
        EXPECT_TRUE(m.existeTabla(t)) << qPrintable(t);
    for (const QString& r : kRelaciones)
        EXPECT_TRUE(m.existeRelacion(r)) << qPrintable(r);
    for (const QString& q : kConsultas)
        EXPECT_TRUE(m.existeConsulta(q)) << qPrintable(q);
    EXPECT_EQ(Campos(m, QStringLiteral("AlbaranVentaDetalle")).join(QLatin1Char(',')),
              QStringLiteral("Numero,Linea,Articulo,Departamento,Precio,Descuento,Cada,Cantidad,CanStock,Bultos,Envase,Comentario"));
    EXPECT_EQ(Campos(m, QStringLiteral("FacturaVentaCabecera")).join(QLatin1Char(',')),
              QStringLiteral("Serie,Numero,Fecha,Cliente,Albaran,Pagado,ImporteEnvases,DesctoPP,Descuento,Observaciones,"
                             "RectificaSerie,RectificaNumero,TipoRectificativa"));
    EXPECT_EQ(m.indice(QStringLiteral("FacturaVentaDetalle"), QStringLiteral("Numero"))->campos.join(QLatin1Char(',')),
              QStringLiteral("Serie,Numero,Linea"));
}

TEST(Esquema, AnySqliteClientReadsTheSavedQueries)
{
    BaseDePrueba base({true, false, true, kv740::FormaPrograma::Primera, {}});
    {
        BaseDatos bd(base.ruta);
        bd.CrearTablasNuevas();
    }
    const ClienteExterno p(base.ruta, QStringLiteral("select Serie, Numero, Neto, IVA, REq from ListaFacturas; "
                                                     "select Numero, Importe, nlin from ListaAlbaranes order by Numero;"));
    if (p.programa.isEmpty())
        GTEST_SKIP() << "the database's command-line client is not installed";
    EXPECT_EQ(p.codigo, 0) << qPrintable(p.error);
    // Invoice 1: 22.43 at 10 % and 3.30 at 4 %.
    EXPECT_EQ(p.salida, QStringLiteral("0|1|25.73|2.37|0\n1|2572.5|2\n2|967.5|1\n"));
}

class Actualizacion : public ::testing::TestWithParam<kv740::FormaPrograma> {};

TEST_P(Actualizacion, OlderShapesComeUpToDate)
{
    BaseDePrueba base({true, false, true, GetParam(), {}});
    BaseDatos bd(base.ruta);
    bd.CrearTablasNuevas();
    motor::BaseDeDatos& m = *bd.Motor();
    for (const char* c : {"UsaREq", "Descuento"})
        EXPECT_TRUE(m.existeCampo(QStringLiteral("Cliente"), QString::fromLatin1(c))) << c;
    for (const char* c : {"sFac", "Pagado", "DesctoPP", "onLine"})
        EXPECT_TRUE(m.existeCampo(QStringLiteral("AlbaranVentaCabecera"), QString::fromLatin1(c))) << c;
    for (const char* c : {"Bultos", "Envase", "Descuento", "Comentario"}) {
        EXPECT_TRUE(m.existeCampo(QStringLiteral("AlbaranVentaDetalle"), QString::fromLatin1(c))) << c;
        EXPECT_TRUE(m.existeCampo(QStringLiteral("FacturaVentaDetalle"), QString::fromLatin1(c))) << c;
    }
    for (const char* c : {"Serie", "Descuento", "ImporteEnvases", "DesctoPP"})
        EXPECT_TRUE(m.existeCampo(QStringLiteral("FacturaVentaCabecera"), QString::fromLatin1(c))) << c;
    EXPECT_TRUE(m.existeCampo(QStringLiteral("FacturaVentaDetalle"), QStringLiteral("pREq")));

    // Existing invoices and lines are in series 0 and keyed by series.
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from FacturaVentaCabecera where Serie=0")).aEntero(), 1);
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=0")).aEntero(), 2);
    EXPECT_EQ(m.indice(QStringLiteral("FacturaVentaCabecera"), QStringLiteral("Numero"))->campos.join(QLatin1Char(',')),
              QStringLiteral("Serie,Numero"));
    EXPECT_TRUE(m.indice(QStringLiteral("FacturaVentaCabecera"), QStringLiteral("Numero"))->unico);
    EXPECT_EQ(m.indice(QStringLiteral("FacturaVentaDetalle"), QStringLiteral("Numero"))->campos.join(QLatin1Char(',')),
              QStringLiteral("Serie,Numero,Linea"));

    // Nulls left by the old releases are filled where the upgrade says so.
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from AlbaranVentaDetalle where Bultos is null or Envase is null")).aEntero(), 0);
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from AlbaranVentaCabecera where Pagado is null")).aEntero(), 0);
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from FacturaVentaCabecera where Descuento is null")).aEntero(), 0);
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from Cliente where UsaREq is null")).aEntero(), 0);
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from Cliente where Descuento is null")).aEntero(),
              GetParam() == kv740::FormaPrograma::Primera ? 0 : 0);
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from AlbaranVentaDetalle where Descuento is null")).aEntero(), 0);

    // The saved queries are today's and give today's figures.
    motor::Recordset f = m.abrirRecordset(QStringLiteral("select * from ListaFacturas"));
    ASSERT_FALSE(f.eof());
    EXPECT_DOUBLE_EQ(f[QStringLiteral("Neto")].aNumero(), 25.73);
    EXPECT_DOUBLE_EQ(f[QStringLiteral("IVA")].aNumero(), 2.37);
    motor::Recordset a = m.abrirRecordset(QStringLiteral("select * from ListaAlbaranes order by Numero"));
    ASSERT_FALSE(a.eof());
    EXPECT_EQ(a[QStringLiteral("nlin")].aEntero(), 2);
    EXPECT_EQ(a[QStringLiteral("stock")].aEntero(), 0);
    for (const QString& r : kRelaciones)
        EXPECT_TRUE(m.existeRelacion(r)) << qPrintable(r);
    EXPECT_THROW(m.ejecutar(QStringLiteral("insert into FacturaVentaCabecera (Serie, Numero) values (0, 1)")), motor::Error);
    EXPECT_EQ(m.ejecutar(QStringLiteral("insert into FacturaVentaCabecera (Serie, Numero, Cliente) values (1, 1, 1)")), 1);
    // relFactura now keys on series and number.
    EXPECT_EQ(m.ejecutar(QStringLiteral("delete from FacturaVentaCabecera where Serie=0 and Numero=1")), 1);
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from FacturaVentaDetalle")).aEntero(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formas, Actualizacion,
                         ::testing::Values(kv740::FormaPrograma::Primera, kv740::FormaPrograma::ConSeries));

class SegundoArranque : public ::testing::TestWithParam<kv740::FormaPrograma> {};

TEST_P(SegundoArranque, ChangesNothingAndNeedsNoWriteLock)
{
    BaseDePrueba base({true, false, true, GetParam(), {}});
    {
        BaseDatos bd(base.ruta);
        bd.CrearTablasNuevas();
    }
    // Another station (or the scale line) is writing while this one starts.
    motor::BaseDeDatos otra(base.ruta);
    otra.ejecutarNativo(QStringLiteral("BEGIN IMMEDIATE"));
    BaseDatos bd(base.ruta);
    bd.Motor()->fijarEspera(50);
    const QString antes = Volcado(*bd.Motor());
    EXPECT_NO_THROW(bd.CrearTablasNuevas());
    EXPECT_EQ(Volcado(*bd.Motor()), antes);
    for (const QString& q : kConsultas)
        EXPECT_TRUE(bd.Motor()->existeConsulta(q));
    EXPECT_TRUE(bd.Motor()->existeRelacion(QStringLiteral("relFactura")));
    otra.ejecutarNativo(QStringLiteral("ROLLBACK"));
    // Nothing is left half-done on the connection: it writes as usual afterwards.
    EXPECT_NO_THROW(bd.Motor()->ejecutarNativo(QStringLiteral("UPDATE Cliente SET Nombre = Nombre")));
    EXPECT_FALSE(bd.Motor()->enTransaccion());
}

INSTANTIATE_TEST_SUITE_P(Formas, SegundoArranque,
                         ::testing::Values(kv740::FormaPrograma::Ninguna, kv740::FormaPrograma::Primera,
                                           kv740::FormaPrograma::ConSeries));

class FalloEnActualizacion : public ::testing::TestWithParam<int> {};

TEST_P(FalloEnActualizacion, LeavesTheFileAsItWas)
{
    const int paso = GetParam();
    BaseDePrueba base({true, false, true, kv740::FormaPrograma::Primera, {}});
    QString antes;
    {
        motor::BaseDeDatos m(base.ruta);
        antes = Volcado(m);
    }
    {
        BaseDatos bd(base.ruta);
        bd.antesDePaso = [paso](int n) {
            if (n == paso)
                throw motor::Error(motor::ErrGeneral, 0, QStringLiteral("fallo de prueba"));
        };
        try {
            bd.CrearTablasNuevas();
            FAIL() << "the upgrade should have failed";
        } catch (const ErrorActualizacion& e) {
            EXPECT_EQ(e.paso(), paso);
            EXPECT_EQ(e.mensaje(), QStringLiteral("fallo de prueba"));
        }
    }
    motor::BaseDeDatos m(base.ruta);
    EXPECT_EQ(Volcado(m), antes);
}

INSTANTIATE_TEST_SUITE_P(Pasos, FalloEnActualizacion, ::testing::Values(2, 6, 9, 10, 11, 13, 15, 16, 17, 18, 19));

TEST(Esquema, ClosedDatabaseDoesNothing)
{
    BaseDatos bd{QString()};
    EXPECT_FALSE(bd.Abierta());
    EXPECT_FALSE(bd.ErrorApertura().isEmpty());
    EXPECT_NO_THROW(bd.CrearTablasNuevas());
    EXPECT_TRUE(bd.ListaGrupos().empty());
}

TEST(Esquema, RelationsProtectDocumentsAndCustomers)
{
    BaseDePrueba base;
    BaseDatos bd(base.ruta);
    bd.CrearTablasNuevas();
    motor::BaseDeDatos& m = *bd.Motor();
    m.ejecutar(QStringLiteral("insert into Cliente (Codigo, Nombre) values (1, 'UNO')"));
    m.ejecutar(QStringLiteral("insert into AlbaranVentaCabecera (Numero, Cliente) values (5, 1)"));
    m.ejecutar(QStringLiteral("insert into AlbaranVentaDetalle (Numero, Linea) values (5, 1)"));
    m.ejecutar(QStringLiteral("insert into AlbaranVentaDetalle (Numero, Linea) values (5, 2)"));
    try {
        m.ejecutar(QStringLiteral("delete from Cliente where Codigo=1"));
        FAIL();
    } catch (const motor::Error& e) {
        EXPECT_EQ(e.codigo(), motor::ErrRegistrosRelacionados);
    }
    // A new customer code travels to the notes.
    m.ejecutar(QStringLiteral("update Cliente set Codigo=2 where Codigo=1"));
    EXPECT_EQ(m.valorUnico(QStringLiteral("select Cliente from AlbaranVentaCabecera where Numero=5")).aEntero(), 2);
    m.ejecutar(QStringLiteral("delete from AlbaranVentaCabecera where Numero=5"));
    EXPECT_EQ(m.valorUnico(QStringLiteral("select count(*) from AlbaranVentaDetalle")).aEntero(), 0);
    EXPECT_EQ(m.ejecutar(QStringLiteral("delete from Cliente where Codigo=2")), 1);
}

}  // namespace

namespace {

// The benchmarks' generator makes exactly the rows asked on either engine, none for a count of
// 0, so that both engines' batches start from the same data.
class Volumen : public ::testing::TestWithParam<kv740::Volumen> {};

TEST_P(Volumen, GeneratesExactlyTheRowsAsked)
{
    const kv740::Volumen v = GetParam();
    BaseDePrueba base;
    BaseDatos bd(base.ruta);
    bd.CrearTablasNuevas();
    motor::BaseDeDatos& m = *bd.Motor();
    auto filas = [&](const QString& tabla) { return m.valorUnico(QStringLiteral("SELECT count(*) FROM ") + tabla).aEntero(); };
    // The generator replaces the articles of section 1 and adds to everything else.
    const QString articulos = QStringLiteral("PLUSES WHERE SECCION = 1");
    auto antes = [&](const QString& tabla) { return tabla == articulos ? 0 : filas(tabla); };
    const QStringList tablas{articulos, QStringLiteral("Cliente"), QStringLiteral("AlbaranVentaCabecera"),
                             QStringLiteral("AlbaranVentaDetalle"), QStringLiteral("FacturaVentaCabecera"),
                             QStringLiteral("FacturaVentaDetalle"), QStringLiteral("Transacs")};
    std::vector<qint64> habia;
    for (const QString& t : tablas)
        habia.push_back(antes(t));
    kv740::GenerarVolumen(m, v);
    const std::vector<qint64> esperadas{v.articulos,
                                        v.clientes,
                                        v.albaranes,
                                        static_cast<qint64>(v.albaranes) * v.lineasPorAlbaran,
                                        v.facturas,
                                        4LL * v.facturas,
                                        v.tickets};
    for (qsizetype i = 0; i < tablas.size(); ++i)
        EXPECT_EQ(filas(tablas[i]) - habia[static_cast<size_t>(i)], esperadas[static_cast<size_t>(i)]) << qPrintable(tablas[i]);
}

kv740::Volumen Pedido(int clientes, int articulos, int albaranes, int lineas, int facturas, int tickets)
{
    kv740::Volumen v;
    v.clientes = clientes;
    v.articulos = articulos;
    v.albaranes = albaranes;
    v.lineasPorAlbaran = lineas;
    v.facturas = facturas;
    v.tickets = tickets;
    v.dias = 30;
    return v;
}

INSTANTIATE_TEST_SUITE_P(Generador, Volumen,
                         ::testing::Values(Pedido(10, 50, 40, 3, 5, 20), Pedido(10, 50, 40, 3, 0, 0), Pedido(10, 50, 0, 0, 0, 0),
                                           Pedido(10, 50, 40, 0, 0, 0)),
                         [](const ::testing::TestParamInfo<kv740::Volumen>& i) {
                             const kv740::Volumen& v = i.param;
                             return "notas" + std::to_string(v.albaranes) + "_lineas" + std::to_string(v.lineasPorAlbaran) + "_facturas"
                                    + std::to_string(v.facturas) + "_tickets" + std::to_string(v.tickets);
                         });

// A shop's SQLite database copied to the server: the same rows and the same totals, the file
// untouched, and a second copy onto what is no longer empty refused.
TEST(CopiaAServidor, CopiesEveryRowAndTheSameTotalsAndLeavesTheFileAlone)
{
    if (!PruebasEnPostgreSQL())
        GTEST_SKIP() << "sin servidor PostgreSQL de pruebas (QUENZA_PRUEBAS_POSTGRESQL=1 dentro de pg_virtualenv)";
    QTemporaryDir carpeta;
    const QString archivo = kv740::CrearDemo(carpeta.path(), {});
    {
        BaseDatos bd(archivo);
        bd.CrearTablasNuevas();
        kv740::CargarDocumentosDemo(*bd.Motor(), QDate(2026, 3, 2));
    }
    auto huella = [&] {
        QFile f(archivo);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
    };
    const QByteArray antes = huella();
    BasePostgreSQLDePrueba servidor;
    const QStringList informe = kv740::CopiarBase(archivo, servidor.conexion);
    EXPECT_TRUE(informe.contains(QStringLiteral("Cliente: 6"))) << qPrintable(informe.join(QLatin1Char('\n')));
    EXPECT_TRUE(informe.contains(QStringLiteral("AlbaranVentaDetalle: 36"))) << qPrintable(informe.join(QLatin1Char('\n')));
    EXPECT_EQ(huella(), antes);
    {
        BaseDatos copia(servidor.conexion);
        ASSERT_TRUE(copia.Abierta());
        EXPECT_TRUE(copia.Motor()->existeRelacion(QStringLiteral("relAlbaran")));
        EXPECT_TRUE(copia.Motor()->existeConsulta(QStringLiteral("ListaFacturas")));
    }
    EXPECT_THROW(kv740::CopiarBase(archivo, servidor.conexion), motor::Error);
}

}  // namespace
