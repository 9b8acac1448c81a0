// Batches over many delivery notes (notes per second, and how 10,000 notes compare with 1,000:
// a step that grows with the tables would show as a ratio well above 10), and the scale-ticket
// refresh over a large Transacs.

#include "albaranes.h"
#include "comun.h"
#include "global.h"

#include <benchmark/benchmark.h>

namespace {

kv740::Volumen Notas(int n)
{
    kv740::Volumen v;
    v.clientes = std::max(10, n / 10);
    v.articulos = 2000;
    v.albaranes = n;
    v.lineasPorAlbaran = 5;
    v.facturas = 0;
    return v;
}

void Lote(benchmark::State& estado, bool facturar, int clientes = 0, bool verifactu = false)
{
    const int n = static_cast<int>(estado.range(0));
    kv740::Volumen volumen = Notas(n);
    if (clientes > 0)
        volumen.clientes = clientes;
    const QString origen = BaseGenerada(QStringLiteral("notas%1c%2").arg(n).arg(volumen.clientes), volumen);
    double segundos = 0, hueco = 0, espera = 0;
    for (auto _ : estado) {
        estado.PauseTiming();
        Copia copia(origen);
        BaseDatos bd(copia.ruta);
        bd.DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        if (verifactu)
            bd.GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), QStringLiteral("1"), {}, true});
        Albaranes lote(bd);
        QObject::connect(&lote, &Albaranes::AntesDeFacturar,
                         [](qint16&, qint16& serie, QDate&, qint16& detalle, bool&, bool&, bool&) {
                             serie = 1;
                             detalle = 1;
                         });
        // The events come between transactions: the longest gap between two bounds the
        // longest time the batch keeps other stations from writing.
        auto ultimo = std::chrono::steady_clock::now();
        auto marcar = [&] {
            const auto ahora = std::chrono::steady_clock::now();
            hueco = std::max(hueco, std::chrono::duration<double>(ahora - ultimo).count());
            ultimo = ahora;
        };
        QObject::connect(&lote, &Albaranes::UnoFacturado, [&](bool, bool&) { marcar(); });
        QObject::connect(&lote, &Albaranes::DespuesDeFacturar, [&](qint16&, qint16&, qint16&) { marcar(); });
        lote.WhoAmI();
        estado.ResumeTiming();
        const auto inicio = std::chrono::steady_clock::now();
        ultimo = inicio;
        {
            OtroPuesto otro(copia.ruta);
            if (facturar)
                lote.Facturar();
            else
                lote.Descontar();
            espera = std::max(espera, otro.EsperaMaxima());
        }
        segundos += std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        // Both modes must have made the same invoices for the figures to compare.
        estado.counters["facturas"] = bd.Motor()->valorUnico(QStringLiteral("SELECT count(*) FROM FacturaVentaCabecera")).aNumero();
        estado.counters["registros"] = bd.Motor()->valorUnico(QStringLiteral("SELECT count(*) FROM RegistroFacturacion")).aNumero();
    }
    estado.counters["espera_otro_puesto_max_ms"] = espera;
    estado.counters["notas_s"] = n * static_cast<double>(estado.iterations()) / segundos;
    if (facturar)
        estado.counters["hueco_max_ms"] = hueco * 1000;
}

void Facturar(benchmark::State& estado) { Lote(estado, true); }
void Descontar(benchmark::State& estado) { Lote(estado, false); }
// One customer's notes: the invoices are as big as they get, and so is each write.
void FacturarUnCliente(benchmark::State& estado) { Lote(estado, true, 1); }
BENCHMARK(Facturar)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
// The same batches with the invoice records mode on: each invoice also writes its chained
// record and its XML in the same transaction (target: within 1.2 times the mode off).
void FacturarVerifactu(benchmark::State& estado) { Lote(estado, true, 0, true); }
BENCHMARK(FacturarVerifactu)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FacturarUnCliente)->Arg(8000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Descontar)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The scale-ticket list from today, read every 1.5 s by the ticket screen.
void RefrescoTickets(benchmark::State& estado)
{
    kv740::Volumen v = Notas(1000);
    v.tickets = static_cast<int>(estado.range(0));
    v.hasta = QDate::currentDate();
    const QString ruta = BaseGenerada(QStringLiteral("tickets%1").arg(v.tickets), v);
    BaseDatos bd(ruta);
    size_t filas = 0;
    for (auto _ : estado)
        filas = bd.ListaTicketsCerrados(QDate::currentDate()).size();
    estado.counters["tickets"] = static_cast<double>(filas);
}
BENCHMARK(RefrescoTickets)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
