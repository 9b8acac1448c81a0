// Start-up cost of the schema check: CrearTablasNuevas on an empty database and on one with
// 100,000 delivery notes and 1,000,000 lines, against raw SQLite running the statements that
// every start runs.

#include "comun.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

kv740::Volumen Grande()
{
    kv740::Volumen v;
    v.albaranes = 100000;
    v.lineasPorAlbaran = 10;
    return v;
}

void PrimerArranqueVacio(benchmark::State& estado)
{
    for (auto _ : estado) {
        estado.PauseTiming();
        QTemporaryDir dir;
        const QString ruta = kv740::CrearDemo(dir.path(), {});
        BaseDatos bd(ruta);
        estado.ResumeTiming();
        bd.CrearTablasNuevas();
    }
}
BENCHMARK(PrimerArranqueVacio)->Unit(benchmark::kMillisecond);

void ArranqueVacio(benchmark::State& estado)
{
    QTemporaryDir dir;
    const QString ruta = kv740::CrearDemo(dir.path(), {});
    BaseDatos(ruta).CrearTablasNuevas();
    BaseDatos bd(ruta);
    for (auto _ : estado)
        bd.CrearTablasNuevas();
}
BENCHMARK(ArranqueVacio)->Unit(benchmark::kMillisecond);

void ArranqueGrande(benchmark::State& estado)
{
    const QString ruta = BaseGenerada(QStringLiteral("grande"), Grande());
    BaseDatos bd(ruta);
    for (auto _ : estado)
        bd.CrearTablasNuevas();
    estado.counters["lineas"] = 1e6;
}
BENCHMARK(ArranqueGrande)->Unit(benchmark::kMillisecond);

// What every start runs on existing tables, written by hand for SQLite.
void SqliteCrudoGrande(benchmark::State& estado)
{
    if (EnServidor()) {
        estado.SkipWithError("SQLite's own statements");
        return;
    }
    const QString ruta = BaseGenerada(QStringLiteral("grande"), Grande());
    Crudo db(ruta);
    for (auto _ : estado) {
        db.ejecutar("BEGIN IMMEDIATE");
        db.ejecutar("UPDATE AlbaranVentaDetalle SET Bultos=0 WHERE Bultos IS NULL");
        db.ejecutar("UPDATE AlbaranVentaDetalle SET Envase=0 WHERE Envase IS NULL");
        db.ejecutar("UPDATE FacturaVentaDetalle SET Bultos=0 WHERE Bultos IS NULL");
        db.ejecutar("UPDATE FacturaVentaDetalle SET Envase=0 WHERE Envase IS NULL");
        db.ejecutar("UPDATE AlbaranVentaCabecera SET Pagado=0 WHERE Pagado IS NULL");
        // relFactura is dropped and made again on every start: its four triggers.
        for (const char* t : {"relFactura_borrado", "relFactura_cambio", "relFactura_alta", "relFactura_hijo"})
            db.ejecutar(QByteArray("DROP TRIGGER IF EXISTS ").append(t).constData());
        db.ejecutar("CREATE TRIGGER relFactura_borrado AFTER DELETE ON FacturaVentaCabecera BEGIN DELETE FROM "
                    "FacturaVentaDetalle WHERE Serie = OLD.Serie AND Numero = OLD.Numero; END");
        db.ejecutar("CREATE TRIGGER relFactura_cambio AFTER UPDATE OF Serie, Numero ON FacturaVentaCabecera BEGIN UPDATE "
                    "FacturaVentaDetalle SET Serie = NEW.Serie, Numero = NEW.Numero WHERE Serie = OLD.Serie AND Numero = OLD.Numero; END");
        db.ejecutar("CREATE TRIGGER relFactura_alta BEFORE INSERT ON FacturaVentaDetalle WHEN NOT EXISTS (SELECT 1 FROM "
                    "FacturaVentaCabecera WHERE Serie = NEW.Serie AND Numero = NEW.Numero) BEGIN SELECT RAISE(ABORT, 'x'); END");
        db.ejecutar("CREATE TRIGGER relFactura_hijo BEFORE UPDATE OF Serie, Numero ON FacturaVentaDetalle WHEN NOT EXISTS (SELECT 1 FROM "
                    "FacturaVentaCabecera WHERE Serie = NEW.Serie AND Numero = NEW.Numero) BEGIN SELECT RAISE(ABORT, 'x'); END");
        db.ejecutar("COMMIT");
    }
}
BENCHMARK(SqliteCrudoGrande)->Unit(benchmark::kMillisecond);

// The same null fills without the partial indexes: what a full scan per start would cost.
void SqliteCrudoSinIndices(benchmark::State& estado)
{
    if (EnServidor()) {
        estado.SkipWithError("SQLite's own statements");
        return;
    }
    const QString ruta = BaseGenerada(QStringLiteral("grande"), Grande());
    Crudo db(ruta);
    for (auto _ : estado) {
        db.ejecutar("BEGIN IMMEDIATE");
        db.ejecutar("UPDATE AlbaranVentaDetalle NOT INDEXED SET Bultos=0 WHERE Bultos IS NULL");
        db.ejecutar("UPDATE AlbaranVentaDetalle NOT INDEXED SET Envase=0 WHERE Envase IS NULL");
        db.ejecutar("UPDATE AlbaranVentaCabecera NOT INDEXED SET Pagado=0 WHERE Pagado IS NULL");
        db.ejecutar("COMMIT");
    }
}
BENCHMARK(SqliteCrudoSinIndices)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
