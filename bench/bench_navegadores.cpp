// The delivery-note and invoice browsers on the large database (100,000 notes, 30,000
// invoices; the note list on ten times that too): from Abrir until the list is painted, against the store's list call alone on the
// same file, measured in turns within one run; the heap the open browser holds against the
// heap of the rows alone; a key that moves to the last row; one customer's day.

#include "browalb.h"
#include "browcli.h"
#include "browfac.h"
#include "comun.h"
#include "ventanas.h"
#include "global.h"
#include "listafilas.h"
#include "navegador.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>

namespace {

using Reloj = std::chrono::steady_clock;

double Ms(Reloj::time_point desde) { return std::chrono::duration<double, std::milli>(Reloj::now() - desde).count(); }
double HeapMB() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

// 100,000 notes (a busy shop's year) or 1,000,000 (ten years), with their invoices.
QString Ruta(int64_t notas = 100000)
{
    kv740::Volumen v;
    v.albaranes = static_cast<int>(notas);
    v.lineasPorAlbaran = 10;
    v.facturas = static_cast<int>(notas * 3 / 10);
    return BaseGenerada(notas == 100000 ? QStringLiteral("grande") : QStringLiteral("notas%1").arg(notas), v);
}

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

struct Programa {
    QMdiArea area;
    explicit Programa(int64_t notas = 100000)
    {
        Global::Reiniciar();
        Global::RutaBaseDatos = Ruta(notas);
        Global::BD = std::make_unique<BaseDatos>(Global::RutaBaseDatos);
        Global::DirectorioPrograma = QStringLiteral("/tmp/quenza-bench/grande");
        area.resize(1000, 700);
        setAreaVentanas(&area);
        area.show();
        QApplication::processEvents();
    }
    ~Programa()
    {
        setAreaVentanas(nullptr);
        Global::Reiniciar();
    }
};

void Cerrar(QWidget* b)
{
    delete b->parentWidget();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Every note ("all dates, all customers"): the browser's first screen, and the whole list
// read behind it, against ListaAlbaranes alone; the longest turn of the event loop while the
// rest is read is how long a key or a scroll waits.
void AlbaranesTodos(benchmark::State& estado)
{
    Programa p(estado.range(0));
    double lista = 0, primera = 0, ventana = 0, turnoMax = 0, tecla = 0, memLista = 0, memVentana = 0;
    int filas = 0;
    for (auto _ : estado) {
        double antes = HeapMB();
        auto t = Reloj::now();
        {
            const auto solo = Global::BD->ListaAlbaranes();
            lista += Ms(t);
            memLista = HeapMB() - antes;
        }
        antes = HeapMB();
        t = Reloj::now();
        BrowAlb* b = BrowAlb::Abrir();
        EsperarPintado(b->Grd->viewport());
        const double ms = Ms(t);
        primera += ms;
        estado.SetIterationTime(ms / 1000);
        while (b->Leyendo()) {
            const auto turno = Reloj::now();
            QApplication::processEvents();
            turnoMax = std::max(turnoMax, Ms(turno));
        }
        ventana += Ms(t);
        memVentana = HeapMB() - antes;
        filas = b->Grd->Rows() - 1;
        // Ctrl+End to the last note, until it is painted there.
        t = Reloj::now();
        QKeyEvent fin(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(b->Grd, &fin);
        EsperarPintado(b->Grd->viewport());
        tecla += Ms(t);
        if (b->Grd->Row() != filas)
            estado.SkipWithError("Ctrl+End did not reach the last note");
        Cerrar(b);
    }
    const double n = static_cast<double>(estado.iterations());
    estado.counters["filas"] = filas;
    estado.counters["ListaAlbaranes_ms"] = lista / n;
    estado.counters["primera_pantalla_ms"] = primera / n;
    estado.counters["turno_max_ms"] = turnoMax;
    estado.counters["navegador_ms"] = ventana / n;
    estado.counters["proporcion"] = ventana / lista;
    estado.counters["tecla_fin_ms"] = tecla / n;
    estado.counters["filas_MB"] = memLista;
    estado.counters["navegador_MB"] = memVentana;
    estado.counters["proporcion_memoria"] = memVentana / memLista;
}
BENCHMARK(AlbaranesTodos)->Arg(100000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(AlbaranesTodos)->Arg(1000000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// One customer, one day.
void AlbaranesUnClienteUnDia(benchmark::State& estado)
{
    Programa p;
    const auto una = Global::BD->ListaAlbaranes({}, qint32(500));
    if (una.empty()) {
        estado.SkipWithError("customer 500 has no notes");
        return;
    }
    const QDate dia = una.front().Fecha.aFecha();
    int filas = 0;
    for (auto _ : estado) {
        const auto t = Reloj::now();
        BrowAlb* b = BrowAlb::Abrir(ClienteFiltro{500, QStringLiteral("X")}, dia, dia);
        EsperarPintado(b->Grd->viewport());
        estado.SetIterationTime(Ms(t) / 1000);
        filas = b->Grd->Rows() - 1;
        Cerrar(b);
    }
    estado.counters["filas"] = filas;
}
BENCHMARK(AlbaranesUnClienteUnDia)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// Every invoice of the series: the browser's first screen from a new series until painted, and
// the whole list read behind it, against ListaFacturas alone.
void FacturasTodas(benchmark::State& estado)
{
    Programa p(estado.range(0));
    BrowFac* b = BrowFac::Abrir();
    EsperarPintado(b->Grd->viewport());
    double lista = 0, primera = 0, ventana = 0, turnoMax = 0, memLista = 0, memVentana = 0;
    int filas = 0;
    for (auto _ : estado) {
        double antes = HeapMB();
        auto t = Reloj::now();
        {
            const auto solo = Global::BD->ListaFacturas(qint16(1));
            lista += Ms(t);
            memLista = HeapMB() - antes;
        }
        b->FijarSerie(0);
        antes = HeapMB();
        t = Reloj::now();
        b->FijarSerie(1);
        EsperarPintado(b->Grd->viewport());
        const double ms = Ms(t);
        primera += ms;
        estado.SetIterationTime(ms / 1000);
        while (b->Leyendo()) {
            const auto turno = Reloj::now();
            QApplication::processEvents();
            turnoMax = std::max(turnoMax, Ms(turno));
        }
        ventana += Ms(t);
        memVentana = HeapMB() - antes;
        filas = b->Grd->Rows() - 1;
    }
    Cerrar(b);
    const double n = static_cast<double>(estado.iterations());
    estado.counters["filas"] = filas;
    estado.counters["ListaFacturas_ms"] = lista / n;
    estado.counters["primera_pantalla_ms"] = primera / n;
    estado.counters["turno_max_ms"] = turnoMax;
    estado.counters["navegador_ms"] = ventana / n;
    estado.counters["proporcion"] = ventana / lista;
    estado.counters["filas_MB"] = memLista;
    estado.counters["navegador_MB"] = memVentana;
    estado.counters["proporcion_memoria"] = memVentana / memLista;
}
BENCHMARK(FacturasTodas)->Arg(100000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(FacturasTodas)->Arg(1000000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The customer browser on the same files (20,000 customers): its first screen and the whole
// list against ListaClientes; then a sort by name (a double click on its title) and a
// customer found by code (Refresco) and by typing, each until painted.
void Clientes(benchmark::State& estado)
{
    Programa p(estado.range(0));
    double lista = 0, primera = 0, ventana = 0, turnoMax = 0, orden = 0, codigo = 0, tecleo = 0, memLista = 0, memVentana = 0;
    int filas = 0;
    for (auto _ : estado) {
        double antes = HeapMB();
        auto t = Reloj::now();
        qint64 ultimo = 0;
        {
            const auto solo = Global::BD->ListaClientes(QStringLiteral("Codigo"));
            lista += Ms(t);
            memLista = HeapMB() - antes;
            ultimo = solo.back().Codigo.aEntero();
        }
        antes = HeapMB();
        t = Reloj::now();
        BrowCli* b = BrowCli::Abrir();
        EsperarPintado(b->Grd->viewport());
        const double ms = Ms(t);
        primera += ms;
        estado.SetIterationTime(ms / 1000);
        while (b->Leyendo()) {
            const auto turno = Reloj::now();
            QApplication::processEvents();
            turnoMax = std::max(turnoMax, Ms(turno));
        }
        ventana += Ms(t);
        memVentana = HeapMB() - antes;
        filas = b->Grd->Rows() - 1;

        t = Reloj::now();
        emit b->Grd->dobleClicTitulo(1);
        EsperarPintado(b->Grd->viewport());
        orden += Ms(t);
        t = Reloj::now();
        b->Refresco(ultimo);
        EsperarPintado(b->Grd->viewport());
        codigo += Ms(t);
        if (b->Grd->TextMatrix(b->Grd->Row(), 0).toLongLong() != ultimo)
            estado.SkipWithError("Refresco did not find the last code");
        // A name near the end of the alphabet, typed on the list sorted by name.
        t = Reloj::now();
        for (const QChar c : QStringLiteral("zz")) {
            QKeyEvent tecla(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(b->Grd, &tecla);
        }
        EsperarPintado(b->Grd->viewport());
        tecleo += Ms(t);
        emit b->Grd->dobleClicTitulo(0);
        Cerrar(b);
    }
    const double n = static_cast<double>(estado.iterations());
    estado.counters["filas"] = filas;
    estado.counters["ListaClientes_ms"] = lista / n;
    estado.counters["primera_pantalla_ms"] = primera / n;
    estado.counters["turno_max_ms"] = turnoMax;
    estado.counters["navegador_ms"] = ventana / n;
    estado.counters["proporcion"] = ventana / lista;
    estado.counters["ordenar_ms"] = orden / n;
    estado.counters["por_codigo_ms"] = codigo / n;
    estado.counters["tecleo_ms"] = tecleo / n;
    estado.counters["filas_MB"] = memLista;
    estado.counters["navegador_MB"] = memVentana;
}
BENCHMARK(Clientes)->Arg(100000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Clientes)->Arg(1000000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return EjecutarBenchmarks(argc, argv); }
