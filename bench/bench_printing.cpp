// A long delivery note printed through the shipped mask into a PDF file: pages per second
// and the peak memory of the process (which must not grow with the number of pages).
#include "printxt.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "ventanas.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

ValoresMascara Cabecera(int pagina)
{
    return {{QString::number(pagina), "@PAG"}, {"4711", "@NUMERO"},       {"07/03/2024", "@FECHA"},
            {"305", "@CODCLI"},                {"Bar Pepe, S.L.", "@NOMBRE"}, {"Calle del Pez, 12", "@DIRECCION1"},
            {"", "@DIRECCION2"},               {"", "@DIRECCION3"},       {"B12345678", "@NIF"},
            {"28013", "@CODPOSTAL"},           {"Madrid", "@POBLACION"},  {"MADRID", "@PROVINCIA"},
            {"910 111 222", "@TELEFONO1"},     {"", "@TELEFONO2"}};
}

ValoresMascara Linea(int i, bool comentario)
{
    if (comentario)
        return {{"", "@BULTOS"}, {"", "@ENVASE"}, {"", "@CODIGO"}, {"Comentario de la línea", "@DESCRIPCION"},
                {"", "@PRECIO"}, {"", "@UNIDAD"}, {"", "@CANTIDAD"}, {"", "@IMPORTE"}, {"", "@PCTDESCUENTO"},
                {"", "@IMPDESCUENTO"}, {"", "@IMPDESCONTADO"}, {"", "@IMPENVASE"}, {"", "@IMPNETO"}};
    return {{"2", "@BULTOS"},      {"0,30", "@ENVASE"},       {QStringLiteral("%1").arg(i, 7, 10, QLatin1Char('0')), "@CODIGO"},
            {QStringLiteral("Artículo de prueba número %1").arg(i), "@DESCRIPCION"},
            {"8,99", "@PRECIO"},   {"/k", "@UNIDAD"},         {"1,250", "@CANTIDAD"},
            {"11,24", "@IMPORTE"}, {"10,0", "@PCTDESCUENTO"}, {"1,12", "@IMPDESCUENTO"},
            {"10,12", "@IMPDESCONTADO"}, {"0,60", "@IMPENVASE"}, {"9,52", "@IMPNETO"}};
}

// Prints a note of `lineas` lines (a comment under every tenth) as the document does;
// returns the number of pages.
int ImprimirAlbaran(const QString& pdf, int lineas)
{
    PrinTxt prn;
    prn.ImprimirEnArchivo(pdf);
    prn.CargaMascaras(QDir(QStringLiteral(QUENZA_DATA_DIR)).filePath(QStringLiteral("mskAlba.txt")));
    int pagina = 1;
    auto imprimir = [&](qint16 seccion, const ValoresMascara& v) {
        const int antes = pagina;
        prn.Imprimir(seccion, pagina, v);
        if (pagina > antes) {
            prn.Imprimir(0, pagina, Cabecera(pagina));
            prn.ResetContador();
        }
    };
    prn.Imprimir(0, pagina, Cabecera(pagina));
    for (int i = 1; i <= lineas; ++i) {
        imprimir(1, Linea(i, false));
        if (i % 10 == 0)
            imprimir(1, Linea(i, true));
    }
    imprimir(2, {{"1,00", "@IMPORTE"}, {"", "@DESCUENTOS"}, {"", "@ENVASES"}, {"", "@ENV_DEV"}, {"", "@ENV_ENT"},
                 {"1,00", "@TOTAL"}});
    prn.Cerrar();
    return pagina;
}

void BM_AlbaranEnPdf(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("albaran.pdf"));
    int paginas = 0;
    for (auto _ : state)
        paginas += ImprimirAlbaran(pdf, static_cast<int>(state.range(0)));
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    state.counters["paginas"] = static_cast<double>(paginas) / static_cast<double>(state.iterations());
    state.counters["paginas/s"] = benchmark::Counter(paginas, benchmark::Counter::kIsRate);
    state.counters["pico_MB"] = static_cast<double>(uso.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_AlbaranEnPdf)->Arg(2000)->Arg(200)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return EjecutarBenchmarks(argc, argv); }
