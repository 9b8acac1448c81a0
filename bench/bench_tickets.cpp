// The ticket browser over years of tickets never purged (500,000 closed tickets, 2,500,000
// rows in Transacs), all of them on screen: the first screen, the whole list read behind it
// against the store's own closed-ticket list on the same file, and the 1.5 s refresh when
// nothing changed and when one ticket came in.

#include "brwonlin.h"
#include "comun.h"
#include "ventanas.h"
#include "global.h"
#include "listafilas.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDateEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>

namespace {

using Reloj = std::chrono::steady_clock;

double Ms(Reloj::time_point desde) { return std::chrono::duration<double, std::milli>(Reloj::now() - desde).count(); }

const QDate kHasta(2026, 12, 1);
// Before the first ticket: the whole list is shown.
const QDate kDesde = kHasta.addDays(-1100);

QString Base()
{
    kv740::Volumen v;
    v.clientes = 100;
    v.articulos = 2000;
    v.albaranes = 1000;
    v.lineasPorAlbaran = 5;
    v.facturas = 0;
    v.tickets = 2500000;  // five rows a ticket: 500,000 tickets
    v.dias = 1095;
    v.hasta = kHasta;
    return BaseGenerada(QStringLiteral("tickets500000"), v);
}

// The window showing every ticket, its own timer stopped: the benchmark drives it.
BrwOnLin* Ventana()
{
    if (!Global::BD)
        Global::BD = std::make_unique<BaseDatos>(Base());
    BrwOnLin* v = BrwOnLin::Abrir();
    v->pkDesde->setDate(kDesde);
    v->Tim->stop();
    while (v->LeyendoMas())
        QApplication::processEvents();
    return v;
}

void ListaSola(benchmark::State& estado)
{
    BaseDatos bd(Base());
    size_t filas = 0;
    for (auto _ : estado)
        filas = bd.ListaTicketsCerrados(kDesde).size();
    estado.counters["tickets"] = static_cast<double>(filas);
}
BENCHMARK(ListaSola)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// From the refresh until the first screen is there, and until the last page has come.
void PrimeraPantallaYListaEntera(benchmark::State& estado)
{
    BrwOnLin* v = Ventana();
    double primera = 0, entera = 0;
    for (auto _ : estado) {
        const auto inicio = Reloj::now();
        v->Refresco();
        v->Tim->stop();
        primera = Ms(inicio);
        while (v->LeyendoMas())
            QApplication::processEvents();
        entera = Ms(inicio);
    }
    estado.counters["primera_ms"] = primera;
    estado.counters["entera_ms"] = entera;
    estado.counters["tickets"] = v->Grd->Rows() - 1;
}
BENCHMARK(PrimeraPantallaYListaEntera)->Iterations(3)->Unit(benchmark::kMillisecond);

void TickSinCambios(benchmark::State& estado)
{
    BrwOnLin* v = Ventana();
    for (auto _ : estado)
        v->Tim_Timer();
    estado.counters["tickets"] = v->Grd->Rows() - 1;
}
BENCHMARK(TickSinCambios)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// A ticket from the scale line, then the tick that shows it.
void TickConTicketNuevo(benchmark::State& estado)
{
    BrwOnLin* v = Ventana();
    motor::BaseDeDatos& m = *Global::BD->Motor();
    for (auto _ : estado) {
        estado.PauseTiming();
        kv740::Ticket t;
        t.docID = static_cast<qint32>(m.valorUnico(QStringLiteral("select max(docID) from Transacs")).aEntero()) + 1;
        t.numTK = t.docID;
        t.fecha = QDateTime(kHasta, QTime(13, 0));
        kv740::EscribirTicket(m, t, 1, static_cast<quint32>(t.docID));
        estado.ResumeTiming();
        v->Tim_Timer();
    }
    estado.counters["tickets"] = v->Grd->Rows() - 1;
    // The benchmark's tickets go: the next run finds the file as generated.
    m.ejecutar(QStringLiteral("delete from Transacs where docID > 500000"));
}
BENCHMARK(TickConTicketNuevo)->Iterations(20)->Unit(benchmark::kMillisecond);

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
