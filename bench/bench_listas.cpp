// The store's lists and the name completion on a large database, each against the engine's
// library alone (SQLite, or libpq with a prepared statement) running the same translated SQL on
// the same database, and against a database ten times
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
    return BaseCacheada(QStringLiteral("registros200000"), [](const QString&, const QString& destino) {
        const QString origen = BaseGenerada(QStringLiteral("pequena"), Pequena());
        CopiarBase(origen, destino);
        motor::BaseDeDatos db(destino);
        db.ejecutarNativo(QStringLiteral(
            "INSERT INTO RegistroFacturacion (Orden, Tipo, Serie, Numero, EstadoEnvio) "
            "SELECT i, CASE WHEN i % 10 = 0 THEN 'N' ELSE 'A' END, 9, i, 'Correcto' FROM (WITH RECURSIVE n(i) AS "
            "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) SELECT i FROM n) AS s"));
    });
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

// The SQL the store runs for that list (in cents; PostgreSQL groups every column it shows).
QString SqlAlbaranes(const Objetivo& o)
{
    return TraducirSQL(BaseDatos::NombresLargos(
                           consultas::ListaAlbaranesSelectTienda
                           + QStringLiteral(" where (TbCabzAlb.Cliente=%1) and (TbCabzAlb.Fecha>=%2) and (TbCabzAlb.Fecha<=%2)")
                                 .arg(o.cliente)
                                 .arg(FechaASQL(o.dia))
                           + consultas::ListaAlbaranesGroupTienda
                           + (EnServidor() ? QStringLiteral(", Fecha, Cliente, Nombre, Factura, Pagado, TbCliente.Descuento, DesctoPP, TbCabzAlb.sFac ")
                                           : QString())
                           + QStringLiteral(" order by Numero ")),
                       EnServidor());
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

void CrudoAlbaranesUnClienteUnDia(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    Crudo db(ruta);
    db.preparar(SqlAlbaranes(Buscar(ruta)));
    long filas = 0;
    for (auto _ : estado)
        filas = db.pasar();
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(CrudoAlbaranesUnClienteUnDia)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

QString SqlFacturas(const QDate& desde, const QDate& hasta)
{
    QString bases = consultas::ListaBasesImponiblesSelect
        + QStringLiteral(" where (TbCabzFac.Serie=1) and (TbCabzFac.Fecha>=%1) and (TbCabzFac.Fecha<=%2)").arg(FechaASQL(desde), FechaASQL(hasta))
        + consultas::ListaBasesImponiblesGroup;
    QString sql = consultas::ListaFacturas;
    Reemplazar(QStringLiteral("QryBImpon"), QLatin1Char('(') + bases + QStringLiteral(") as QryBImpon"), sql);
    return TraducirSQL(BaseDatos::NombresLargos(QStringLiteral("select * from (") + sql + QStringLiteral(") as ListaFacturas order by Serie, Numero")), EnServidor());
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

void CrudoFacturasUnaSerieUnMes(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const QDate hasta = QDate::currentDate();
    const QString sql = SqlFacturas(hasta.addDays(-30), hasta);
    Crudo db(ruta);
    long filas = 0;
    for (auto _ : estado)
        filas = db.recorrer(sql);
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(CrudoFacturasUnaSerieUnMes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The SQL the store runs for that list (in cents, through the connection's money functions),
// prepared once and stepped again on every call: the least a call can cost.
QString SqlFacturasTienda(const QString& condiciones)
{
    QString bases = consultas::ListaBasesImponiblesSelectCentimos + QStringLiteral(" where ") + condiciones
        + consultas::ListaBasesImponiblesGroup;
    QString sql = consultas::ListaFacturasCentimos;
    Reemplazar(QStringLiteral("QryBImpon"), QLatin1Char('(') + bases + QStringLiteral(") as QryBImpon"), sql);
    return TraducirSQL(BaseDatos::NombresLargos(
        QStringLiteral("select *, exists (select 1 from RegistroFacturacion r where r.Serie=ListaFacturas.Serie and "
                       "r.Numero=ListaFacturas.Numero and r.Tipo='N') as Anulada from (")
        + sql + QStringLiteral(") as ListaFacturas order by Serie, Numero")), EnServidor());
}
QString SqlFacturasTienda(const QDate& desde, const QDate& hasta)
{
    return SqlFacturasTienda(QStringLiteral("(TbCabzFac.Serie=1) and (TbCabzFac.Fecha>=%1) and (TbCabzFac.Fecha<=%2)")
                                 .arg(FechaASQL(desde), FechaASQL(hasta)));
}

// A small list: the invoices of one customer on one day (those of invoice 1000).
struct FacturaObjetivo {
    qint16 serie;
    qint32 cliente;
    QDate dia;
};
FacturaObjetivo BuscarFactura(const QString& ruta)
{
    motor::BaseDeDatos m(ruta);
    motor::Recordset rs = m.abrirRecordset(QStringLiteral("select Serie, Cliente, Fecha from FacturaVentaCabecera where Numero=1000"));
    return {static_cast<qint16>(rs[QStringLiteral("Serie")].aEntero()), static_cast<qint32>(rs[QStringLiteral("Cliente")].aEntero()),
            rs[QStringLiteral("Fecha")].aFecha()};
}

void ListaFacturasUnClienteUnDia(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const FacturaObjetivo o = BuscarFactura(ruta);
    BaseDatos bd(ruta);
    size_t filas = 0;
    for (auto _ : estado)
        filas = bd.ListaFacturas(o.serie, o.cliente, o.dia, o.dia).size();
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(ListaFacturasUnClienteUnDia)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void CrudoPreparadaFacturasUnClienteUnDia(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const FacturaObjetivo o = BuscarFactura(ruta);
    Crudo db(ruta);
    db.preparar(SqlFacturasTienda(QStringLiteral("(TbCabzFac.Serie=%1) and (TbCabzFac.Cliente=%2) and (TbCabzFac.Fecha>=%3) and (TbCabzFac.Fecha<=%3)")
                                      .arg(o.serie)
                                      .arg(o.cliente)
                                      .arg(FechaASQL(o.dia))));
    long filas = 0;
    for (auto _ : estado)
        filas = db.pasar();
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(CrudoPreparadaFacturasUnClienteUnDia)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void CrudoPreparadaFacturasUnaSerieUnMes(benchmark::State& estado)
{
    const QString ruta = Ruta(static_cast<int>(estado.range(0)));
    const QDate hasta = QDate::currentDate();
    Crudo db(ruta);
    db.preparar(SqlFacturasTienda(hasta.addDays(-30), hasta));
    long filas = 0;
    for (auto _ : estado)
        filas = db.pasar();
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(CrudoPreparadaFacturasUnaSerieUnMes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

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
    if (EnServidor()) {
        estado.SkipWithError("the plan shown is SQLite's");
        return;
    }
    const QString ruta = BaseGenerada(QStringLiteral("articulos50000"), [] {
        kv740::Volumen v = Pequena();
        v.articulos = 50000;
        return v;
    }());
    Crudo db(ruta);
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
