// The document editors on long documents: opening a note of 2,000 lines against reading it
// through the store alone, and the cost of one keystroke in a cell (change handler, row
// repaint, totals or VAT summary, the paint that follows) on 2,000 lines against 20.
#include "albaran.h"
#include "editorcelda.h"
#include "factura.h"
#include "global.h"
#include "formato.h"
#include "kv740.h"
#include "navegador.h"
#include "rejilla.h"
#include "unafactura.h"
#include "unalbaran.h"

#include <QApplication>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTest>

#include "ventanas.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

struct Entorno {
    QTemporaryDir carpeta;
    std::unique_ptr<QMdiArea> area;
    std::map<int, qint32> albaranes;  // lines -> note number
    std::map<int, qint32> facturas;   // lines -> invoice number

    Entorno()
    {
        const QString ruta = kv740::CrearDemo(carpeta.path(), {});
        Global::DirectorioPrograma = carpeta.path();
        Global::BD = std::make_unique<BaseDatos>(ruta);
        Global::BD->CrearTablasNuevas();
        Global::BD->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
        for (size_t d = 1; d <= 10; ++d) {
            const float iva = Global::IVADepartamento[d];
            Global::RecargoEquivalencia[d] = iva == 21 ? 5.2f : iva == 10 ? 1.4f : iva == 4 ? 0.5f : 0.0f;
        }
        Global::BD->Motor()->ejecutar(QStringLiteral("insert into Cliente (Codigo, Nombre) values (1, 'BANCO')"));
        Global::BD->Motor()->ejecutar(QStringLiteral("insert into Cliente (Codigo, Nombre, UsaREq) values (2, 'ULTRAMARINOS', 1)"));
        // Articles with a price: every key in a quantity then changes the totals too.
        std::vector<qint32> codigos;
        motor::Recordset rs = Global::BD->Motor()->abrirRecordset(QStringLiteral("select CODPLU from PLUSES where SECCION=1 and PRECIO_01>0"));
        for (; !rs.eof(); rs.moveNext())
            codigos.push_back(static_cast<qint32>(rs.campo(0).aEntero()));
        for (int lineas : {20, 2000}) {
            Albaran a(*Global::BD);
            a.WhoAmI();
            a.SetCliente(1);
            for (int i = 0; i < lineas; ++i) {
                LineaAlbaran* l = a.NuevaLinea();
                l->SetCodigo(codigos[static_cast<size_t>(i) % codigos.size()]);
                l->FijarCantidad(1 + i % 7);
                if (i % 10 == 0)
                    l->FijarComentario(QStringLiteral("Comentario %1").arg(i));
            }
            a.Update();
            albaranes[lineas] = *a.Numero;

            // An invoice of a customer with surcharge and both discounts: article lines of
            // every department, a concept line every seventh, packaging now and then.
            Factura f(*Global::BD);
            f.WhoAmI();
            f.SetCliente(2);
            f.FijarDescuento(3);
            f.FijarDesctoPP(2);
            for (int i = 0; i < lineas; ++i) {
                LineaFactura* l = f.NuevaLinea();
                if (i % 7 == 3) {
                    l->FijarConcepto(QStringLiteral("Portes %1").arg(i));
                    l->FijarImporte(12.5 + i % 5);
                    l->FijarpIVA(21);
                    l->FijarpREQ(5.2f);
                } else {
                    l->FijarReferencia(codigos[static_cast<size_t>(i) % codigos.size()]);
                    l->FijarCantidad(1 + i % 7);
                }
                if (i % 13 == 0) {
                    l->FijarBultos(2);
                    l->FijarEnvase(0.3);
                }
                if (i % 10 == 0)
                    l->FijarComentario(QStringLiteral("Comentario %1").arg(i));
            }
            f.Fecha = QDate::currentDate();
            f.Update();
            facturas[lineas] = *f.Numero;
        }
        area = std::make_unique<QMdiArea>();
        area->resize(1000, 700);
        area->show();
        setAreaVentanas(area.get());
    }
};

Entorno& entorno()
{
    static Entorno e;
    return e;
}

void BM_LeerAlbaranEnElAlmacen(benchmark::State& state)
{
    const qint32 numero = entorno().albaranes[static_cast<int>(state.range(0))];
    for (auto _ : state) {
        Albaran a(*Global::BD);
        benchmark::DoNotOptimize(a.WhoAmI(numero));
    }
}
BENCHMARK(BM_LeerAlbaranEnElAlmacen)->Arg(20)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_AbrirUnAlbaran(benchmark::State& state)
{
    const qint32 numero = entorno().albaranes[static_cast<int>(state.range(0))];
    for (auto _ : state) {
        UnAlbaran* w = UnAlbaran::Editar(numero);
        QCoreApplication::processEvents();  // shown and painted
        state.PauseTiming();
        delete w->parentWidget();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AbrirUnAlbaran)->Arg(20)->Arg(2000)->Unit(benchmark::kMillisecond);

// "5" typed and taken back in turn in the open cell editor, each key with the paint it causes.
void Teclear(benchmark::State& state, EditorCelda* ed)
{
    bool escribir = true;
    for (auto _ : state) {
        QTest::keyClick(ed, escribir ? Qt::Key_5 : Qt::Key_Backspace);
        QCoreApplication::processEvents();
        escribir = !escribir;
    }
}

// One key in the quantity cell of a line in the middle of the note, typed and taken back in turn.
void BM_TeclaEnUnAlbaran(benchmark::State& state)
{
    const int lineas = static_cast<int>(state.range(0));
    UnAlbaran* w = UnAlbaran::Editar(entorno().albaranes[lineas]);
    auto* grd = w->findChild<Rejilla*>(QStringLiteral("Grd"));
    auto* ed = w->findChild<EditorCelda*>(QStringLiteral("txEd"));
    grd->setCelda(grd->Rows() / 2, 4);
    QCoreApplication::processEvents();
    ed->end(false);
    Teclear(state, ed);
    delete w->parentWidget();
}
BENCHMARK(BM_TeclaEnUnAlbaran)->Arg(20)->Arg(2000)->Unit(benchmark::kMicrosecond);

// The same on an invoice: in the emptied quantity cell of an article line in the middle, "5"
// typed and taken back in turn, so that every key changes the line's amount, its rate's sums
// and the VAT summary grid.
void BM_TeclaEnUnaFactura(benchmark::State& state)
{
    const int lineas = static_cast<int>(state.range(0));
    UnaFactura* w = UnaFactura::Editar(entorno().facturas[lineas]);
    auto* grd = w->findChild<Rejilla*>(QStringLiteral("Grd"));
    auto* ed = w->findChild<EditorCelda*>(QStringLiteral("txEd"));
    // Line k (from 0) starts at row 1 + k + the comments above it (every tenth line has one);
    // the middle line is an article line.
    const int k = lineas / 2 + 1;
    grd->setCelda(1 + k + (k + 9) / 10, 5);
    QCoreApplication::processEvents();
    const LineaFactura* linea = w->Documento().Linea(static_cast<qint16>(k + 1));
    const bool enCantidad = ed->isVisible() && linea->Referencia() && ed->text().startsWith(QString::number(*linea->Cantidad()));
    QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(ed, Qt::Key_Backspace);
    QCoreApplication::processEvents();
    if (!enCantidad || linea->Importe() != std::optional<double>(0))
        state.SkipWithError("the cell editor is not on the quantity of an article line");
    Teclear(state, ed);
    delete w->parentWidget();
}
BENCHMARK(BM_TeclaEnUnaFactura)->Arg(20)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return EjecutarBenchmarks(argc, argv, [] { entorno().area.reset(); }); }
