// The scale-ticket window over a large Transacs (1,000,000 rows, a day of tickets on screen):
// one timer tick when nothing changed against the store's closed-ticket list alone, and the
// CPU the idle window takes per minute while its timer runs.

#include "brwonlin.h"
#include "comun.h"
#include "ventanas.h"
#include "global.h"
#include "listafilas.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateEdit>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>

namespace {

// A fixed day, so the generated database keeps its day of tickets whenever it is reused.
const QDate kDia(2026, 12, 1);

QString Base()
{
    kv740::Volumen v;
    v.clientes = 100;
    v.articulos = 2000;
    v.albaranes = 1000;
    v.lineasPorAlbaran = 5;
    v.facturas = 0;
    v.tickets = 1000000;
    v.hasta = kDia;
    return BaseGenerada(QStringLiteral("balanzas1000000"), v);
}

double SegundosCPU()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The window on the generated day, with its own timer stopped: the benchmark drives it.
BrwOnLin* Ventana()
{
    if (!Global::BD)
        Global::BD = std::make_unique<BaseDatos>(Base());
    BrwOnLin* v = BrwOnLin::Abrir();
    v->pkDesde->setDate(kDia);
    return v;
}

void ListaSola(benchmark::State& estado)
{
    BaseDatos bd(Base());
    size_t filas = 0;
    for (auto _ : estado)
        filas = bd.ListaTicketsCerrados(kDia).size();
    estado.counters["tickets"] = static_cast<double>(filas);
}
BENCHMARK(ListaSola)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

void TickSinCambios(benchmark::State& estado)
{
    BrwOnLin* v = Ventana();
    v->Tim->stop();
    int reconstrucciones = 0;
    auto c = QObject::connect(v->Grd->model(), &QAbstractItemModel::modelReset, [&] { ++reconstrucciones; });
    for (auto _ : estado)
        v->Tim_Timer();
    QObject::disconnect(c);
    estado.counters["tickets"] = v->Grd->Rows() - 1;
    estado.counters["reconstrucciones"] = reconstrucciones;
}
BENCHMARK(TickSinCambios)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// The window left alone with its timer running, as on the shop's counter.
void CPUPorMinuto(benchmark::State& estado)
{
    BrwOnLin* v = Ventana();
    const int segundos = 15;
    for (auto _ : estado) {
        v->Tim->start();
        const double antes = SegundosCPU();
        QEventLoop bucle;
        QTimer::singleShot(segundos * 1000, &bucle, &QEventLoop::quit);
        bucle.exec();
        const double cpu = SegundosCPU() - antes;
        estado.counters["cpu_ms_por_minuto"] = cpu * 1000.0 * 60.0 / segundos;
        estado.counters["porcentaje_cpu"] = cpu * 100.0 / segundos;
    }
}
BENCHMARK(CPUPorMinuto)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv)
{
    return EjecutarBenchmarks(
        argc, argv,
        [] {
            if (BrwOnLin* v = BrwOnLin::Instancia())
                v->close();
        },
        true);
}
