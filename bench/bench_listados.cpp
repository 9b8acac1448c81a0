// The largest listings in their print preview: every invoice of a 30,000-invoice database
// grouped by customer or by month, and every one of 100,000 delivery notes. Reports the time
// until the first page is on screen (the rest keeps loading behind it), the time until the
// listing is complete, the pages, and the peak memory of the process.

#include "comun.h"
#include "ventanas.h"
#include "global.h"
#include "listado.h"
#include "printxt.h"
#include "vistaprevia.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

QString Ruta()
{
    kv740::Volumen v;  // 20,000 customers, 100,000 notes of 10 lines, 30,000 invoices
    return BaseGenerada(QStringLiteral("grande"), v);
}

double PicoMB()
{
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return static_cast<double>(uso.ru_maxrss) / 1024.0;
}

void Vista(benchmark::State& estado, const std::function<Listado()>& crear)
{
    Global::RutaBaseDatos = Ruta();
    Global::DirectorioPrograma = QStringLiteral(QUENZA_DATA_DIR);  // the shipped definitions
    Global::NombreEmpresa = QStringLiteral("Pescados Ruiz");
    double primera = 0, completa = 0;
    int paginas = 0;
    for (auto _ : estado) {
        QElapsedTimer reloj;
        reloj.start();
        Listado l = crear();
        // A message would wait for a click that never comes: it ends the run instead.
        QString aviso;
        const AvisoImpresion anterior = FijarAvisoImpresion([&aviso](const QString& t) { aviso = t; });
        const bool hecho = l.Accion(1);
        FijarAvisoImpresion(anterior);
        if (!hecho) {
            estado.SkipWithError(qPrintable(QStringLiteral("the listing did not run: ") + aviso));
            return;
        }
        VistaPreviaListado* vista = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<VistaPreviaListado*>(w); v && v->isVisible())
                vista = v;
        // A 10 ms heartbeat shows how long the event loop was ever kept from turning.
        double t1 = 0;
        QObject::connect(vista, &VistaPreviaListado::PrimeraPagina, [&] { t1 = reloj.nsecsElapsed() / 1e6; });
        QEventLoop bucle;
        QObject::connect(&vista->Ejecucion(), &EjecucionListado::Terminado, &bucle, &QEventLoop::quit);
        QTimer latido;
        QElapsedTimer desdeLatido;
        qint64 lento = 0;
        QObject::connect(&latido, &QTimer::timeout, [&] {
            lento = std::max(lento, desdeLatido.restart());
        });
        desdeLatido.start();
        latido.start(10);
        if (!vista->Ejecucion().Acabada())
            bucle.exec();
        latido.stop();
        const double t2 = reloj.nsecsElapsed() / 1e6;
        estado.SetIterationTime(t1 / 1000);
        primera += t1;
        completa += t2;
        paginas = vista->Ejecucion().Composicion().Paginas();
        estado.counters["latido_max_ms"] = static_cast<double>(lento);
        vista->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    estado.counters["primera_pagina_ms"] = primera / static_cast<double>(estado.iterations());
    estado.counters["completo_ms"] = completa / static_cast<double>(estado.iterations());
    estado.counters["paginas"] = paginas;
    estado.counters["pico_MB"] = PicoMB();
}

void FacturasPorCliente(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoFacturas(true, std::nullopt, std::nullopt, std::nullopt, 0); });
}
BENCHMARK(FacturasPorCliente)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The same run without a window: query and layout only, on this thread.
void FacturasPorClienteSinVentana(benchmark::State& estado)
{
    Global::RutaBaseDatos = Ruta();
    Global::DirectorioPrograma = QStringLiteral(QUENZA_DATA_DIR);
    int paginas = 0;
    for (auto _ : estado) {
        QString error;
        auto ej = ListadoFacturas(true, std::nullopt, std::nullopt, std::nullopt, 0).Preparar(error);
        if (!ej || !ej->LeerTodo(error)) {
            estado.SkipWithError(qPrintable(error));
            return;
        }
        paginas = ej->Composicion().Paginas();
    }
    estado.counters["paginas"] = paginas;
    estado.counters["pico_MB"] = PicoMB();
}
BENCHMARK(FacturasPorClienteSinVentana)->Iterations(3)->Unit(benchmark::kMillisecond);

// Every invoice by month; the pending ones by customer, a condition on the computed rows.
void FacturasPorMeses(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoFacturas(false, std::nullopt, std::nullopt, std::nullopt, 0); });
}
BENCHMARK(FacturasPorMeses)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void FacturasPendientesPorCliente(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoFacturas(true, std::nullopt, std::nullopt, std::nullopt, 1); });
}
BENCHMARK(FacturasPendientesPorCliente)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A year's invoices by customer: a date range still reads the invoices by customer.
void FacturasPorClienteUnAno(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoFacturas(true, std::nullopt, QDate(2026, 1, 1), QDate(2026, 12, 31), 0); });
}
BENCHMARK(FacturasPorClienteUnAno)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void FacturasDeUnMes(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoFacturas(false, std::nullopt, QDate(2026, 3, 1), QDate(2026, 3, 31), 0); });
}
BENCHMARK(FacturasDeUnMes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void TodosLosAlbaranes(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoAlbaranes(std::nullopt, std::nullopt, std::nullopt, 0); });
}
BENCHMARK(TodosLosAlbaranes)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

// Pending notes: a condition on the computed rows, still read in number order.
void AlbaranesPendientes(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoAlbaranes(std::nullopt, std::nullopt, std::nullopt, 1); });
}
BENCHMARK(AlbaranesPendientes)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void AlbaranesDeUnClienteUnMes(benchmark::State& estado)
{
    Vista(estado, [] { return ListadoAlbaranes(1000, QDate(2026, 3, 1), QDate(2026, 3, 31), 0); });
}
BENCHMARK(AlbaranesDeUnClienteUnMes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return EjecutarBenchmarks(argc, argv); }
