// The customer browser over 20,000 customers: from opening until its list is painted, against
// the store's ListaClientes alone on the same file, measured in turns within one run. A grid
// with one item per cell, filled with the same rows, shows what the table model saves.

#include "browcli.h"
#include "comun.h"
#include "ventanas.h"
#include "global.h"
#include "listafilas.h"
#include "navegador.h"
#include "rejilla.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

namespace {

using Reloj = std::chrono::steady_clock;

double Ms(Reloj::time_point desde) { return std::chrono::duration<double, std::milli>(Reloj::now() - desde).count(); }

// Processor time of the process: on a busy machine it says more than the wall clock.
double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

QString Ruta()
{
    kv740::Volumen v;
    v.clientes = 20000;
    v.articulos = 1000;
    v.albaranes = 2000;
    v.lineasPorAlbaran = 2;
    v.facturas = 200;
    return BaseGenerada(QStringLiteral("clientes20000"), v);
}

// Notes when the list's viewport has been painted.
class Pintado : public QObject {
public:
    bool visto = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            visto = true;
        return false;
    }
};

void EsperarPintado(QWidget* vista)
{
    Pintado p;
    vista->installEventFilter(&p);
    while (!p.visto)
        QApplication::processEvents();
    vista->removeEventFilter(&p);
}

void ListaClientesSola(benchmark::State& estado)
{
    BaseDatos bd(Ruta());
    size_t filas = 0;
    for (auto _ : estado)
        filas = bd.ListaClientes(QStringLiteral("Codigo")).size();
    estado.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK(ListaClientesSola)->Unit(benchmark::kMillisecond);

// Each iteration times the store call, then the browser from Abrir until painted and closed.
void NavegadorEnPantalla(benchmark::State& estado)
{
    Global::Reiniciar();
    Global::RutaBaseDatos = Ruta();
    Global::BD = std::make_unique<BaseDatos>(Global::RutaBaseDatos);
    Global::DirectorioPrograma = QStringLiteral("/tmp/quenza-bench/clientes20000");
    QMdiArea area;
    area.resize(1000, 700);
    setAreaVentanas(&area);
    area.show();
    QApplication::processEvents();
    double lista = 0, ventana = 0, listaCpu = 0, ventanaCpu = 0;
    int filas = 0;
    for (auto _ : estado) {
        auto t = Reloj::now();
        double c = CpuMs();
        {
            const auto solo = Global::BD->ListaClientes(QStringLiteral("Codigo"));
            benchmark::DoNotOptimize(solo.data());
            lista += Ms(t);
            listaCpu += CpuMs() - c;
        }

        t = Reloj::now();
        c = CpuMs();
        BrowCli* b = BrowCli::Abrir();
        EsperarPintado(b->Grd->viewport());
        const double ms = Ms(t);
        ventanaCpu += CpuMs() - c;
        ventana += ms;
        estado.SetIterationTime(ms / 1000);
        filas = b->Grd->Rows() - 1;
        delete b->parentWidget();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    setAreaVentanas(nullptr);
    Global::Reiniciar();
    const double n = static_cast<double>(estado.iterations());
    estado.counters["filas"] = filas;
    estado.counters["ListaClientes_ms"] = lista / n;
    estado.counters["navegador_ms"] = ventana / n;
    estado.counters["proporcion"] = ventana / lista;
    estado.counters["proporcion_cpu"] = ventanaCpu / listaCpu;
}
BENCHMARK(NavegadorEnPantalla)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The same rows in a grid with one item per cell, until painted.
void RejillaUnItemPorCelda(benchmark::State& estado)
{
    BaseDatos bd(Ruta());
    for (auto _ : estado) {
        const auto t = Reloj::now();
        const auto filas = bd.ListaClientes(QStringLiteral("Codigo"));
        Rejilla g;
        g.resize(600, 400);
        g.setCols(3);
        g.setRows(1);
        g.setRows(static_cast<int>(filas.size()) + 1);
        for (size_t i = 0; i < filas.size(); ++i) {
            const int r = static_cast<int>(i) + 1;
            g.setTextMatrix(r, 0, filas[i].Codigo.aTexto());
            g.setTextMatrix(r, 1, filas[i].nombre.aTexto());
            g.setTextMatrix(r, 2, filas[i].NIF.aTexto());
        }
        g.show();
        EsperarPintado(g.viewport());
        estado.SetIterationTime(Ms(t) / 1000);
    }
}
BENCHMARK(RejillaUnItemPorCelda)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return EjecutarBenchmarks(argc, argv); }
