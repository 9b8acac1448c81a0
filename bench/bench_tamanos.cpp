// What must not wait on the size of the files, on 100,000 notes and on 1,000,000 side by side:
// the start (the database prepared, the working group read, what the main window reads), the
// ticket screen's refresh, the note editor opened on a stored note and on a new one, and a
// week's batch invoicing beside another station that writes. Each against the same step on the other size; the raw baseline is the engine's own
// open and one indexed read.

#include "albaran.h"
#include "albaranes.h"
#include "brwonlin.h"
#include "comun.h"
#include "ventanas.h"
#include "global.h"
#include "navegador.h"
#include "unalbaran.h"

#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <benchmark/benchmark.h>

namespace {

QString Ruta(int64_t notas)
{
    kv740::Volumen v;
    v.albaranes = static_cast<int>(notas);
    v.lineasPorAlbaran = 10;
    v.facturas = static_cast<int>(notas * 3 / 10);
    return BaseGenerada(notas == 100000 ? QStringLiteral("grande") : QStringLiteral("notas%1").arg(notas), v);
}

// Opening the file as the program does at every start, and reading the working group.
void Arranque(benchmark::State& estado)
{
    const QString ruta = Ruta(estado.range(0));
    for (auto _ : estado) {
        QString motivo;
        std::unique_ptr<BaseDatos> bd = PrepararBaseDatos(ruta, motivo);
        if (!bd) {
            estado.SkipWithError(qPrintable(motivo));
            return;
        }
        bd->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        // What the main window reads as it opens: the records mode and the sending state.
        benchmark::DoNotOptimize(bd->LeerVerifactu().Activo);
        benchmark::DoNotOptimize(bd->LeerEstadoEnvios());
    }
}
BENCHMARK(Arranque)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The engine alone: open, one read on the notes' key, close.
void SqliteAbrir(benchmark::State& estado)
{
    const QString ruta = Ruta(estado.range(0));
    for (auto _ : estado) {
        Crudo db(ruta);
        benchmark::DoNotOptimize(db.recorrer(QStringLiteral("select max(Numero) from AlbaranVentaCabecera")));
    }
}
BENCHMARK(SqliteAbrir)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

struct Programa {
    QMdiArea area;
    explicit Programa(int64_t notas)
    {
        Global::Reiniciar();
        Global::RutaBaseDatos = Ruta(notas);
        Global::BD = std::make_unique<BaseDatos>(Global::RutaBaseDatos);
        Global::DirectorioPrograma = QFileInfo(Global::RutaBaseDatos).path();
        Global::BD->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        area.resize(1000, 700);
        setAreaVentanas(&area);
        area.show();
        QApplication::processEvents();
    }
    ~Programa()
    {
        for (QMdiSubWindow* w : area.subWindowList())
            delete w;
        setAreaVentanas(nullptr);
        Global::Reiniciar();
    }
};

// One tick of the ticket screen's refresh.
void RefrescoTickets(benchmark::State& estado)
{
    Programa p(estado.range(0));
    BrwOnLin* b = BrwOnLin::Abrir();
    QApplication::processEvents();
    for (auto _ : estado)
        b->Tim_Timer();
}
BENCHMARK(RefrescoTickets)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The note editor on a note in the middle of the file, and on a new note, until painted.
void AbrirAlbaran(benchmark::State& estado, bool nuevo)
{
    Programa p(estado.range(0));
    const qint32 numero = static_cast<qint32>(estado.range(0) / 2);
    for (auto _ : estado) {
        UnAlbaran* w = UnAlbaran::Editar(nuevo ? std::nullopt : std::optional<long>(numero));
        QApplication::processEvents();
        estado.PauseTiming();
        delete w->parentWidget();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        estado.ResumeTiming();
    }
}
void AbrirAlbaranGuardado(benchmark::State& estado) { AbrirAlbaran(estado, false); }
void AbrirAlbaranNuevo(benchmark::State& estado) { AbrirAlbaran(estado, true); }
BENCHMARK(AbrirAlbaranGuardado)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(AbrirAlbaranNuevo)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The notes of a week in the middle of the year, billed with one invoice per customer while
// another station takes the write lock every 2 ms: its longest wait is the batch's longest
// write transaction, which must not grow with the file. Beside it, what the batch reads before
// billing (the selection, and each note as the batch reads it), timed per note.
void FacturarSemana(benchmark::State& estado)
{
    const QString origen = Ruta(estado.range(0));
    const QDate desde(2026, 6, 1), hasta = desde.addDays(6);
    double segundos = 0, espera = 0, seleccion = 0, lectura = 0;
    size_t notas = 0;
    qint16 hechas = 0;
    for (auto _ : estado) {
        estado.PauseTiming();
        Copia copia(origen);
        BaseDatos bd(copia.ruta);
        bd.DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        auto antes = std::chrono::steady_clock::now();
        const std::vector<FilaAlbaran> filas = bd.ListaAlbaranes({}, {}, desde, hasta);
        seleccion = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - antes).count();
        notas = filas.size();
        antes = std::chrono::steady_clock::now();
        for (const FilaAlbaran& f : filas)
            benchmark::DoNotOptimize(Albaran(bd).WhoAmI(f.Numero));
        lectura = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - antes).count() / std::max<size_t>(notas, 1);
        Albaranes lote(bd);
        QObject::connect(&lote, &Albaranes::AntesDeFacturar,
                         [](qint16&, qint16& serie, QDate&, qint16& detalle, bool&, bool&, bool&) {
                             serie = 1;
                             detalle = 3;
                         });
        QObject::connect(&lote, &Albaranes::DespuesDeFacturar, [&](qint16&, qint16& facturados, qint16&) { hechas = facturados; });
        lote.WhoAmI(std::nullopt, std::nullopt, desde, hasta);
        estado.ResumeTiming();
        const auto inicio = std::chrono::steady_clock::now();
        {
            OtroPuesto otro(copia.ruta);
            lote.Facturar();
            espera = std::max(espera, otro.EsperaMaxima());
        }
        segundos += std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    }
    estado.counters["notas"] = static_cast<double>(notas);
    estado.counters["facturadas"] = hechas;
    estado.counters["notas_s"] = hechas * static_cast<double>(estado.iterations()) / segundos;
    estado.counters["espera_otro_puesto_max_ms"] = espera;
    estado.counters["seleccion_ms"] = seleccion;
    estado.counters["lectura_por_nota_us"] = lectura;
}
BENCHMARK(FacturarSemana)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return EjecutarBenchmarks(argc, argv); }
