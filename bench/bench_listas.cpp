// The store's lists and the name completion on a large database, each against the SQLite
// library running the same translated SQL on the same file, and against a database ten times
// smaller to show that cost follows the rows asked for, not the size of the tables.

#include "comun.h"
#include "consultas.h"
#include "global.h"
#include "traductor.h"
#include "utilidades.h"

#include <QFileInfo>

#include <benchmark/benchmark.h>

namespace {

kv740::Volumen Grande()
{
    kv740::Volumen v;
    v.albaranes = 100000;
    v.lineasPorAlbaran = 10;
    return v;
}

kv740::Volumen Pequena()
{
    kv740::Volumen v;
    v.clientes = 2000;
    v.articulos = 5000;
    v.albaranes = 10000;
    v.facturas = 3000;
    return v;
}

// The small database with 200,000 invoice records (one in ten an annulment) beside its
// invoices: years of records, which a list call must not pay for.
QString ConRegistros()
{
    const QString carpeta = QStringLiteral("/tmp/quenza-bench/registros200000");
    const QString ruta = carpeta + QStringLiteral("/kv740.db");
    if (QFile::exists(carpeta + QStringLiteral("/lista")))
        return ruta;
    const QString origen = BaseGenerada(QStringLiteral("pequena"), Pequena());
    QDir(carpeta).removeRecursively();
    QDir().mkpath(carpeta);
    QFile::copy(origen, ruta);
    QFile::copy(QFileInfo(origen).dir().filePath(QStringLiteral("KV740.INI")), carpeta + QStringLiteral("/KV740.INI"));
    SqliteCrudo db(ruta);
    db.ejecutar("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
                "INSERT INTO RegistroFacturacion (Orden, Tipo, Serie, Numero, EstadoEnvio) "
                "SELECT i, CASE WHEN i % 10 = 0 THEN 'N' ELSE 'A' END, 9, i, 'Correcto' FROM n");
    QFile marca(carpeta + QStringLiteral("/lista"));
    marca.open(QIODevice::WriteOnly);
    return ruta;
}

// 0: 100,000 notes; 1: 10,000 notes; 2: the latter with 200,000 invoice records.
QString Ruta(int tamano)
{
    return tamano == 0   ? BaseGenerada(QStringLiteral("grande"), Grande())
        : tamano == 1 ? BaseGenerada(QStringLiteral("pequena"), Pequena())
                      : ConRegistros();
}

// A customer and a day that have notes: those of note 1000.
struct Objetivo {
    qint32 cliente;
    QDate dia;
};

Objetivo Buscar(const QString& ruta)
{
    motor::BaseDeDatos m(ruta);
    motor::Recordset rs = m.abrirRecordset(QStringLiteral("select Cliente, Fecha from AlbaranVentaCabecera where Numero=1000"));
    return {static_cast<qint32>(rs[QStringLiteral("Cliente")].aEntero()), rs[QStringLiteral("Fecha")].aFecha()};
}

QString SqlAlbaranes(const Objetivo& o)
{
    return TraducirSQL(BaseDatos::NombresLargos(
        consultas::ListaAlbaranesSelectCentimos + QStringLiteral(" where (TbCabzAlb.Cliente=%1) and (TbCabzAlb.Fecha>=%2) and (TbCabzAlb.Fecha<=%2)")
                                              .arg(o.cliente)
                                              .arg(FechaASQL(o.dia))
        + consultas::ListaAlbaranesGroup + QStringLiteral(" order by Numero ")));
}

void ListaAlbaranesUnClienteUnDia(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const Objetivo o = Buscar(ruta);
    BaseDatos bd(ruta);
    size_t filas = 0;
    for (auto _ : estado)
        filas = bd.ListaAlbaranes({}, o.cliente, o.dia, o.dia).size();
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(ListaAlbaranesUnClienteUnDia)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void SqliteAlbaranesUnClienteUnDia(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const QString sql = SqlAlbaranes(Buscar(ruta));
    SqliteCrudo db(ruta);
    long filas = 0;
    for (auto _ : estado)
        filas = db.recorrer(sql);
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(SqliteAlbaranesUnClienteUnDia)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

QString SqlFacturas(const QDate& desde, const QDate& hasta)
{
    QString bases = consultas::ListaBasesImponiblesSelect
        + QStringLiteral(" where (TbCabzFac.Serie=1) and (TbCabzFac.Fecha>=%1) and (TbCabzFac.Fecha<=%2)").arg(FechaASQL(desde), FechaASQL(hasta))
        + consultas::ListaBasesImponiblesGroup;
    QString sql = consultas::ListaFacturas;
    Reemplazar(QStringLiteral("QryBImpon"), QLatin1Char('(') + bases + QStringLiteral(") as QryBImpon"), sql);
    return TraducirSQL(BaseDatos::NombresLargos(QStringLiteral("select * from (") + sql + QStringLiteral(") as ListaFacturas order by Serie, Numero")));
}

void ListaFacturasUnaSerieUnMes(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const QDate hasta = QDate::currentDate();
    BaseDatos bd(ruta);
    size_t filas = 0;
    for (auto _ : estado)
        filas = bd.ListaFacturas(qint16(1), {}, hasta.addDays(-30), hasta).size();
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(ListaFacturasUnaSerieUnMes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void SqliteFacturasUnaSerieUnMes(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const QDate hasta = QDate::currentDate();
    const QString sql = SqlFacturas(hasta.addDays(-30), hasta);
    SqliteCrudo db(ruta);
    long filas = 0;
    for (auto _ : estado)
        filas = db.recorrer(sql);
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(SqliteFacturasUnaSerieUnMes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The SQL the store runs for that list (in cents, through the connection's money functions),
// prepared once and stepped again on every call: the least a call can cost.
QString SqlFacturasTienda(const QDate& desde, const QDate& hasta)
{
    QString bases = consultas::ListaBasesImponiblesSelectCentimos
        + QStringLiteral(" where (TbCabzFac.Serie=1) and (TbCabzFac.Fecha>=%1) and (TbCabzFac.Fecha<=%2)").arg(FechaASQL(desde), FechaASQL(hasta))
        + consultas::ListaBasesImponiblesGroup;
    QString sql = consultas::ListaFacturasCentimos;
    Reemplazar(QStringLiteral("QryBImpon"), QLatin1Char('(') + bases + QStringLiteral(") as QryBImpon"), sql);
    return TraducirSQL(BaseDatos::NombresLargos(
        QStringLiteral("select *, exists (select 1 from RegistroFacturacion r where r.Serie=ListaFacturas.Serie and "
                       "r.Numero=ListaFacturas.Numero and r.Tipo='N') as Anulada from (")
        + sql + QStringLiteral(") as ListaFacturas order by Serie, Numero")));
}

void SqlitePreparadaFacturasUnaSerieUnMes(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const QDate hasta = QDate::currentDate();
    SqliteCrudo db(ruta);
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = SqlFacturasTienda(hasta.addDays(-30), hasta).toUtf8();
    sqlite3_prepare_v3(db.db(), sql.constData(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    long filas = 0;
    for (auto _ : estado) {
        filas = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_TEXT)
                    benchmark::DoNotOptimize(sqlite3_column_text(st, i));
                else
                    benchmark::DoNotOptimize(sqlite3_column_double(st, i));
            }
            ++filas;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(SqlitePreparadaFacturasUnaSerieUnMes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The same prepared statement through the engine's values (dates read as dates): what the
// store's list pays on top of stepping the rows.
void MotorPreparadaFacturasUnaSerieUnMes(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const QDate hasta = QDate::currentDate();
    BaseDatos bd(ruta);
    const QString sql = SqlFacturasTienda(hasta.addDays(-30), hasta);
    long filas = 0;
    for (auto _ : estado) {
        filas = 0;
        motor::BaseDeDatos::Sentencia& s = bd.Motor()->preparar(sql);
        while (s.paso()) {
            for (int i = 0; i < s.columnas(); ++i)
                benchmark::DoNotOptimize(s.columna(i));
            ++filas;
        }
        s.reiniciar();
    }
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(MotorPreparadaFacturasUnaSerieUnMes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

struct Caja : CajaAutoescritura {
    QString t;
    QString texto() const override { return t; }
    void fijarTexto(const QString& s) override { t = s; }
    void seleccionar(int, int) override {}
};

// One keystroke of the article name completion: 50,000 articles against 500.
void AutoescrituraArticulos(benchmark::State& estado)
{
    kv740::Volumen v = Pequena();
    v.articulos = static_cast<int>(estado.range(0));
    const QString ruta = BaseGenerada(QStringLiteral("articulos%1").arg(estado.range(0)), v);
    BaseDatos bd(ruta);
    Global::Seccion = 1;
    bd.IniciarServicioAutoescritura(1);
    Caja caja;
    qint16 largo = 0;
    int i = 0;
    for (auto _ : estado) {
        caja.t = QStringLiteral("ARTICULO %1").arg(++i % 400, 3, 10, QLatin1Char('0'));
        largo = 0;
        bd.Autoescritura(1, largo, nullptr, &caja);
    }
    bd.TerminarServicioAutoescritura(1);
}
BENCHMARK(AutoescrituraArticulos)->Arg(50000)->Arg(500)->Unit(benchmark::kMicrosecond);

void PlanDeLaBusqueda(benchmark::State& estado)
{
    const QString ruta = BaseGenerada(QStringLiteral("articulos50000"), [] {
        kv740::Volumen v = Pequena();
        v.articulos = 50000;
        return v;
    }());
    SqliteCrudo db(ruta);
    sqlite3_stmt* st = nullptr;
    // The statement the table recordset runs for a seek ">=" on the index NOMBRE.
    sqlite3_prepare_v2(db.db(),
                       "EXPLAIN QUERY PLAN SELECT rowid, * FROM \"PLUSES\" WHERE (\"SECCION\", \"NOMPLU\") >= (?, ?) "
                       "ORDER BY \"SECCION\", \"NOMPLU\", rowid LIMIT 1",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        std::fprintf(stderr, "# plan de la búsqueda: %s\n", sqlite3_column_text(st, 3));
    sqlite3_finalize(st);
    for (auto _ : estado) {
    }
}
BENCHMARK(PlanDeLaBusqueda)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
