#include "basedatos.h"
#include "entorno.h"
#include "formato.h"
#include "global.h"
#include "impresoraactual.h"
#include "kv740.h"
#include "listado.h"
#include "mnuimp.h"
#include "plantillasprueba.h"
#include "printxt.h"
#include "utilidades.h"
#include "vistaprevia.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <utility>

namespace {

using Tipo = LineaListado::Tipo;
constexpr qint32 kClienteProbado = 7;

// One generated database for the whole suite, with payments, discounts and packaging varied
// so that every filter value selects some rows and leaves others.
class Listados : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_base = new BaseDePrueba;
        s_ruta = s_base->ruta;
        BaseDatos bd(s_ruta);
        bd.CrearTablasNuevas();
        kv740::Volumen v;
        v.clientes = 30;
        v.articulos = 120;
        v.albaranes = 400;
        v.lineasPorAlbaran = 3;
        v.facturas = 150;  // notes up to 300 invoiced, the rest not
        v.dias = 120;
        v.hasta = QDate(2024, 4, 30);
        kv740::GenerarVolumen(*bd.Motor(), v);
        motor::BaseDeDatos& m = *bd.Motor();
        // Invoices: some settled exactly, some never paid, some with discounts; a second series.
        m.ejecutarNativo(QStringLiteral("UPDATE FacturaVentaCabecera SET Descuento = 3, DesctoPP = 1.5 WHERE Numero % 4 = 1"));
        m.ejecutarNativo(QStringLiteral("UPDATE FacturaVentaCabecera SET Pagado = NULL WHERE Numero % 7 = 2"));
        m.ejecutarNativo(QStringLiteral("UPDATE FacturaVentaCabecera SET Pagado = (SELECT Neto + IVA + REq FROM ListaFacturas l "
                                        "WHERE l.Serie = FacturaVentaCabecera.Serie AND l.Numero = FacturaVentaCabecera.Numero) "
                                        "WHERE Numero % 5 = 0"));
        // Some with packaging, settled with it as the program settles them.
        m.ejecutarNativo(QStringLiteral("UPDATE FacturaVentaDetalle SET Bultos = 3, Envase = 45 WHERE Numero % 5 = 3 AND Linea = 1"));
        m.ejecutarNativo(QStringLiteral("UPDATE FacturaVentaCabecera SET Pagado = (SELECT Neto + IVA + REq + sEnvases FROM ListaFacturas l "
                                        "WHERE l.Serie = FacturaVentaCabecera.Serie AND l.Numero = FacturaVentaCabecera.Numero) "
                                        "WHERE Numero % 5 = 3"));
        // Annulled invoices, unpaid, paid in part and settled: they stay listed but owe nothing.
        m.ejecutarNativo(QStringLiteral("INSERT INTO RegistroFacturacion (Orden, Tipo, Serie, Numero) SELECT Numero, 'N', Serie, Numero "
                                        "FROM FacturaVentaCabecera WHERE Serie = 1 AND Numero % 11 = 4"));
        m.ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente, Pagado, Descuento, DesctoPP) "
                                        "SELECT 2, Numero, Fecha, Cliente, Pagado, Descuento, DesctoPP FROM FacturaVentaCabecera "
                                        "WHERE Serie = 1 AND Numero <= 30"));
        m.ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaDetalle (Serie, Numero, Linea, Concepto, Referencia, Descripcion, "
                                        "Cantidad, Precio, Unidad, Importe, Descuento, pIVA, pREq, Bultos, Envase) SELECT 2, Numero, "
                                        "Linea, Concepto, Referencia, Descripcion, Cantidad, Precio, Unidad, Importe * 1.37, Descuento, "
                                        "4, 0.5, 0, 0 FROM FacturaVentaDetalle WHERE Serie = 1 AND Numero <= 30"));
        // Notes: prompt-payment discounts, packaging, and payments in full, in part or none.
        m.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET DesctoPP = 2 WHERE Numero % 6 = 1"));
        m.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaDetalle SET Bultos = 2, Envase = 35 WHERE Numero % 5 = 3 AND Linea = 1"));
        m.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET Pagado = 1 WHERE Factura IS NULL AND Numero % 4 = 1"));
        m.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET Pagado = 100000 WHERE Factura IS NULL AND Numero % 4 = 2"));
        m.ejecutarNativo(QStringLiteral("DELETE FROM AlbaranVentaDetalle WHERE Numero = 399"));
        // Paid to the cent, and one cent short, of the total the note itself shows.
        for (const FilaAlbaran& f : bd.ListaAlbaranes({}, {}, {}, {}, false)) {
            const double envases = m.valorUnico(QStringLiteral("SELECT coalesce(sum(Bultos * Envase), 0) FROM AlbaranVentaDetalle "
                                                               "WHERE Numero = %1").arg(f.Numero)).aNumero();
            const double total = (f.Importe + envases) / 100;
            if (f.Numero % 4 == 3 && f.Numero % 8 == 3)
                m.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET Pagado = ? WHERE Numero = ?"), {total, f.Numero});
            else if (f.Numero % 4 == 3)
                m.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET Pagado = ? WHERE Numero = ?"), {total - 0.01, f.Numero});
        }
    }
    static void TearDownTestSuite()
    {
        delete s_base;
        s_base = nullptr;
    }
    void SetUp() override
    {
        Global::Reiniciar();
        Global::DirectorioPrograma = QStringLiteral(QUENZA_DATA_DIR);
        Global::RutaBaseDatos = s_ruta;
        Global::NombreEmpresa = QStringLiteral("Carnicería \"La Nueva\"");
        bd = std::make_unique<BaseDatos>(s_ruta);
    }
    void TearDown() override
    {
        bd.reset();
        Global::Reiniciar();
    }

    // Runs a listing to its end without a window.
    static std::unique_ptr<EjecucionListado> Ejecutar(const Listado& l)
    {
        QString error;
        auto ej = l.Preparar(error);
        EXPECT_TRUE(ej) << error.toStdString();
        if (!ej)
            return nullptr;
        EXPECT_TRUE(ej->LeerTodo(error)) << error.toStdString();
        return ej;
    }
    static QString ErrorDe(const Listado& l)
    {
        QString error;
        EXPECT_FALSE(l.Preparar(error));
        return error;
    }
    static std::vector<const LineaListado*> De(const ComposicionListado& c, Tipo tipo)
    {
        std::vector<const LineaListado*> r;
        for (const LineaListado& l : c.Lineas())
            if (l.tipo == tipo)
                r.push_back(&l);
        return r;
    }
    static double Cent(double v) { return Redondear2(v); }

    // Opens a listing's preview as the browsers do and waits until its rows are all read.
    static VistaPreviaListado* Vista(Listado l)
    {
        if (!l.Accion(1))
            return nullptr;
        VistaPreviaListado* vista = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<VistaPreviaListado*>(w); v && v->isVisible())
                vista = v;
        QElapsedTimer reloj;
        reloj.start();
        while (vista && !vista->Ejecucion().Acabada() && reloj.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        return vista;
    }

    // Every foot adds up the figures printed in its group, the total every figure printed above
    // it, to the last printed decimal; and no group key comes twice.
    static void SumasCuadran(const ComposicionListado& c)
    {
        const auto& cols = c.Definicion().columnas;
        auto impreso = [](const QString& texto) { return std::llround(LeerNumero(texto).value_or(0) * 100); };
        std::vector<qint64> grupo(cols.size(), 0), total(cols.size(), 0);
        QStringList cabeceras;
        for (const LineaListado& l : c.Lineas()) {
            const QStringList celdas = c.Celdas(l);
            if (l.tipo == Tipo::CabeceraGrupo) {
                EXPECT_FALSE(cabeceras.contains(l.texto)) << l.texto.toStdString();
                cabeceras << l.texto;
                std::fill(grupo.begin(), grupo.end(), 0);
            } else if (l.tipo == Tipo::Detalle) {
                for (size_t i = 0; i < cols.size(); ++i) {
                    if (cols[i].suma) {
                        grupo[i] += impreso(celdas[static_cast<qsizetype>(i)]);
                        total[i] += impreso(celdas[static_cast<qsizetype>(i)]);
                    }
                }
            } else if (l.tipo == Tipo::PieGrupo || l.tipo == Tipo::Total) {
                const auto& suma = l.tipo == Tipo::PieGrupo ? grupo : total;
                for (size_t i = 0; i < cols.size(); ++i) {
                    if (cols[i].suma) {
                        EXPECT_EQ(impreso(celdas[static_cast<qsizetype>(i)]), suma[i]) << cols[i].titulo.toStdString();
                    }
                }
            }
        }
    }

    // How SQLite runs a listing's statement: each step as "parent|detail", the top level with
    // parent 0. (The server plans from its own statistics: its plans are not checked.)
    QStringList Plan(const EjecucionListado& ej) const
    {
        QStringList plan;
        motor::BaseDeDatos::Sentencia& st = bd->Motor()->preparar(QStringLiteral("EXPLAIN QUERY PLAN ") + ej.Sql());
        st.vincular({});
        while (st.paso())
            plan << st.columna(1).aTexto() + QLatin1Char('|') + st.columna(3).aTexto();
        st.reiniciar();
        return plan;
    }

    static int Columna(const ComposicionListado& c, const QString& campo)
    {
        const auto& cols = c.Definicion().columnas;
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i].campo.compare(campo, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        ADD_FAILURE() << "no column " << campo.toStdString();
        return 0;
    }

    static inline BaseDePrueba* s_base = nullptr;
    static inline QString s_ruta;
    std::unique_ptr<BaseDatos> bd;
};

TEST_F(Listados, FormulasOfTheBrowsersListings)
{
    const Listado marzo = ListadoFacturas(true, std::nullopt, QDate(2024, 3, 1), QDate(2024, 3, 31), 0);
    EXPECT_EQ(marzo.NombreArchivo, QStringLiteral("LstFactCli.rpt"));
    EXPECT_EQ(marzo.ArchivosDatos.value(0), s_ruta);
    EXPECT_EQ(marzo.Formulas, (QStringList{QStringLiteral("NombreEmpresa=\"Carnicería \"\"La Nueva\"\"\""),
                                           QStringLiteral("fchDesde=Date(2024,3,1)"), QStringLiteral("fchHasta=Date(2024,3,31)"),
                                           QStringLiteral("UnCli=0"), QStringLiteral("SelPend=0")}));
    EXPECT_TRUE(marzo.CamposOrden.isEmpty());
    EXPECT_TRUE(marzo.TituloVentana.isEmpty());

    const Listado albaranes = ListadoAlbaranes(kClienteProbado, std::nullopt, QDate(2024, 4, 2), 2);
    EXPECT_EQ(albaranes.NombreArchivo, QStringLiteral("LstAlb.rpt"));
    EXPECT_EQ(albaranes.Formulas.mid(1), (QStringList{QStringLiteral("fchDesde=Date(0,0,0)"), QStringLiteral("fchHasta=Date(2024,4,2)"),
                                                      QStringLiteral("UnCli=7"), QStringLiteral("filtro=2")}));
    EXPECT_EQ(ListadoFacturas(false, {}, {}, {}, 1).NombreArchivo, QStringLiteral("LstFactFch.rpt"));

    const Listado clientes = ListadoClientes(QStringLiteral("NIF"));
    EXPECT_EQ(clientes.NombreArchivo, QStringLiteral("LstClien.rpt"));
    EXPECT_EQ(clientes.CamposOrden, QStringList{QStringLiteral("+{Cliente.NIF}")});
    EXPECT_EQ(clientes.TituloVentana, QStringLiteral("Listado general de clientes"));

    // What the runner reads back from them.
    QString nombre;
    Valor v;
    ASSERT_TRUE(LeerFormula(marzo.Formulas[0], nombre, v));
    EXPECT_EQ(nombre, QStringLiteral("NombreEmpresa"));
    EXPECT_EQ(v, Valor(QStringLiteral("Carnicería \"La Nueva\"")));
    ASSERT_TRUE(LeerFormula(marzo.Formulas[1], nombre, v));
    EXPECT_EQ(v, Valor(QDate(2024, 3, 1)));
    ASSERT_TRUE(LeerFormula(albaranes.Formulas[1], nombre, v));
    EXPECT_TRUE(v.esNulo());
    EXPECT_FALSE(LeerFormula(QStringLiteral("fchDesde=Date(2024,2,30)"), nombre, v));
    EXPECT_FALSE(LeerFormula(QStringLiteral("=3"), nombre, v));
    EXPECT_FALSE(LeerFormula(QStringLiteral("UnCli=3; drop table Cliente"), nombre, v));

    // A listing header left empty in Configurar is the shop's name.
    Global::BD = std::make_unique<BaseDatos>(s_ruta);
    DatosComercio comercio;
    comercio.Nombre = QStringLiteral("ULTRAMARINOS PEPA, S.L.");
    Global::BD->GuardarComercio(comercio);
    Global::NombreEmpresa.clear();
    const QStringList sinCabecera = ListadoClientes(QStringLiteral("Codigo")).Formulas;
    Global::NombreEmpresa = QStringLiteral("PEPA");
    const QStringList conCabecera = ListadoClientes(QStringLiteral("Codigo")).Formulas;
    Global::BD->Motor()->ejecutarNativo(QStringLiteral("DELETE FROM Comercio"));
    EXPECT_EQ(sinCabecera.value(0), QStringLiteral("NombreEmpresa=\"ULTRAMARINOS PEPA, S.L.\""));
    EXPECT_EQ(conCabecera.value(0), QStringLiteral("NombreEmpresa=\"PEPA\""));
}

struct CasoFacturas {
    bool porClientes;
    std::optional<qint32> cliente;
    std::optional<QDate> desde, hasta;
    int selPend;
};

class ListadosFacturas : public Listados, public ::testing::WithParamInterface<CasoFacturas> {};

TEST_P(ListadosFacturas, AgreeWithTheStoresListToTheCent)
{
    const CasoFacturas k = GetParam();
    auto ej = Ejecutar(ListadoFacturas(k.porClientes, k.cliente, k.desde, k.hasta, k.selPend));
    ASSERT_TRUE(ej);
    const ComposicionListado& c = ej->Composicion();

    const Filtro pendiente = k.selPend == 0 ? Filtro{} : Filtro{k.selPend == 1};
    const auto filas = bd->ListaFacturas({}, k.cliente ? Filtro{*k.cliente} : Filtro{}, k.desde ? Filtro{*k.desde} : Filtro{},
                                         k.hasta ? Filtro{*k.hasta} : Filtro{}, pendiente);
    ASSERT_FALSE(filas.empty()) << "the case selects nothing";
    using Fila = std::tuple<qint32, QDate, qint64, double, double, double, double>;
    std::vector<Fila> esperadas, listadas;
    // Both series use the same numbers; their amounts tell them apart.
    std::map<std::pair<qint32, double>, double> envases;
    size_t anuladas = 0;
    for (const FilaFactura& f : filas) {
        // An annulled invoice lists without figures of its own, and is neither pending nor settled.
        if (f.Anulada) {
            ++anuladas;
            if (k.selPend != 2)
                esperadas.emplace_back(f.Numero, f.Fecha.aFecha(), f.Cliente.aEntero(), 0, 0, 0, Cent(f.Pagado.aNumero()));
            continue;
        }
        esperadas.emplace_back(f.Numero, f.Fecha.aFecha(), f.Cliente.aEntero(), Cent(f.Neto), Cent(f.iva), Cent(f.Total),
                               Cent(f.Pagado.aNumero()));
        envases[{f.Numero, Cent(f.Neto)}] = f.Envases;
    }
    if (k.selPend == 0 && !k.cliente) {
        EXPECT_GT(anuladas, 0u) << "the case lists no annulled invoice";
    }
    const int num = Columna(c, QStringLiteral("Numero")), fch = Columna(c, QStringLiteral("Fecha")),
              cli = Columna(c, QStringLiteral("Cliente")), neto = Columna(c, QStringLiteral("Neto")),
              iva = Columna(c, QStringLiteral("IVA")), req = Columna(c, QStringLiteral("REq")),
              tot = Columna(c, QStringLiteral("Total")), pag = Columna(c, QStringLiteral("Pagado")),
              pte = Columna(c, QStringLiteral("Pendiente")), nom = Columna(c, QStringLiteral("NombreListado"));
    for (const LineaListado* l : De(c, Tipo::Detalle)) {
        const auto& v = l->valores;
        const qint32 numero = static_cast<qint32>(v[num].aEntero());
        if (v[nom].aTexto().startsWith(QStringLiteral("ANULADA - "))) {
            for (const int i : {neto, iva, req, tot, pte})
                EXPECT_TRUE(v[i].esNulo()) << numero;
            listadas.emplace_back(numero, v[fch].aFecha(), v[cli].aEntero(), 0, 0, 0, Cent(v[pag].aNumero()));
            continue;
        }
        // The listing's total is what the customer owes (surcharge and packaging); the store's
        // list leaves both out.
        const double sinEnvases = v[tot].aNumero() - envases[{numero, Cent(v[neto].aNumero())}];
        listadas.emplace_back(numero, v[fch].aFecha(), v[cli].aEntero(), Cent(v[neto].aNumero()), Cent(v[iva].aNumero()),
                              Cent(sinEnvases - v[req].aNumero()), Cent(v[pag].aNumero()));
        // Nothing is owed on an invoice paid by its total before packaging was counted.
        const bool pagadaSinEnvases = Cent(v[pag].aNumero()) == Cent(sinEnvases);
        EXPECT_DOUBLE_EQ(Cent(v[pte].aNumero()), pagadaSinEnvases ? 0 : Cent(v[tot].aNumero() - v[pag].aNumero())) << numero;
        if (k.selPend == 2) {
            EXPECT_EQ(Cent(v[pte].aNumero()), 0);
        }
    }
    std::sort(esperadas.begin(), esperadas.end());
    std::sort(listadas.begin(), listadas.end());
    EXPECT_EQ(listadas, esperadas);

    // Groups: one per customer or month, in order, with feet that add up.
    SumasCuadran(c);
    const auto cabeceras = De(c, Tipo::CabeceraGrupo);
    EXPECT_EQ(cabeceras.size(), De(c, Tipo::PieGrupo).size());
    ASSERT_EQ(De(c, Tipo::Total).size(), 1u);
    EXPECT_EQ(De(c, Tipo::Total)[0]->cuenta, static_cast<int>(esperadas.size()));
    std::map<QString, int> grupos;
    for (const LineaListado* l : De(c, Tipo::Detalle))
        ++grupos[k.porClientes ? l->valores[cli].aTexto() : l->valores[fch].aFecha().toString(QStringLiteral("yyyyMM"))];
    EXPECT_EQ(cabeceras.size(), grupos.size());
    if (!k.porClientes && !cabeceras.empty()) {
        EXPECT_TRUE(cabeceras[0]->texto.contains(QStringLiteral(" de 20"))) << cabeceras[0]->texto.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Filtros, ListadosFacturas,
    ::testing::Values(CasoFacturas{true, {}, {}, {}, 0}, CasoFacturas{true, {}, {}, {}, 1}, CasoFacturas{true, {}, {}, {}, 2},
                      CasoFacturas{false, {}, {}, {}, 0}, CasoFacturas{false, {}, QDate(2024, 3, 1), QDate(2024, 3, 31), 0},
                      CasoFacturas{false, {}, QDate(2024, 3, 1), QDate(2024, 3, 31), 1},
                      CasoFacturas{false, {}, QDate(2024, 3, 1), QDate(2024, 3, 31), 2},
                      CasoFacturas{true, kClienteProbado, {}, {}, 0}, CasoFacturas{true, kClienteProbado, QDate(2024, 2, 1), {}, 1},
                      CasoFacturas{false, {}, {}, QDate(2024, 2, 15), 0}),
    [](const ::testing::TestParamInfo<CasoFacturas>& i) {
        const CasoFacturas& k = i.param;
        std::string n = k.porClientes ? "PorClientes" : "PorMeses";
        n += k.cliente ? "_UnCliente" : "_Todos";
        n += k.desde || k.hasta ? "_Fechas" : "";
        return n + "_SelPend" + std::to_string(k.selPend) + "_" + std::to_string(i.index);
    });

// The listing of the notes, every one, the pending ones or the settled ones, agrees with the
// store's list. Without a filter of customer or dates it reads the notes in number order through
// an index: no sort of every note before the first page.
TEST_F(Listados, DeliveryNotesAgreeWithTheStoreAndSplitIntoPendingAndSettled)
{
    struct Caso {
        std::optional<qint32> cliente;
        std::optional<QDate> desde, hasta;
    };
    for (const Caso& caso : {Caso{}, Caso{{}, QDate(2024, 2, 1), QDate(2024, 3, 31)}, Caso{kClienteProbado, {}, {}}}) {
        const auto [cliente, desde, hasta] = caso;
        std::map<int, std::map<qint32, const LineaListado*>> porFiltro;
        std::vector<std::unique_ptr<EjecucionListado>> ejecuciones;
        for (int filtro = 0; filtro <= 2; ++filtro) {
            ejecuciones.push_back(Ejecutar(ListadoAlbaranes(cliente, desde, hasta, filtro)));
            ASSERT_TRUE(ejecuciones.back());
            const ComposicionListado& c = ejecuciones.back()->Composicion();
            SumasCuadran(c);
            qint64 anterior = 0;
            for (const LineaListado* l : De(c, Tipo::Detalle)) {
                const qint64 numero = l->valores[Columna(c, QStringLiteral("Numero"))].aEntero();
                porFiltro[filtro][static_cast<qint32>(numero)] = l;
                if (!cliente && !desde) {
                    EXPECT_GT(numero, anterior);
                }
                anterior = numero;
            }
            if (!cliente && !desde && !bd->Motor()->esPostgreSQL()) {
                const QString plan = Plan(*ejecuciones.back()).join(QLatin1Char('\n'));
                EXPECT_FALSE(plan.contains(QStringLiteral("TEMP B-TREE"))) << plan.toStdString();
                EXPECT_GT(anterior, 0);
            }
        }
        const ComposicionListado& c = ejecuciones[0]->Composicion();
        const int neto = Columna(c, QStringLiteral("Neto")), fac = Columna(c, QStringLiteral("Factura")),
                  pag = Columna(c, QStringLiteral("Pagado")), env = Columna(c, QStringLiteral("Envases"));

        const auto filas = bd->ListaAlbaranes({}, cliente ? Filtro{*cliente} : Filtro{}, desde ? Filtro{*desde} : Filtro{},
                                               hasta ? Filtro{*hasta} : Filtro{});
        ASSERT_FALSE(filas.empty());
        ASSERT_EQ(porFiltro[0].size(), filas.size());
        for (const FilaAlbaran& f : filas) {
            ASSERT_TRUE(porFiltro[0].count(f.Numero)) << f.Numero;
            const auto& v = porFiltro[0][f.Numero]->valores;
            EXPECT_EQ(std::llround(v[neto].aNumero() * 100), std::llround(f.Importe)) << f.Numero;
            EXPECT_DOUBLE_EQ(v[pag].aNumero(), f.Pagado.aNumero()) << f.Numero;
            EXPECT_EQ(v[fac].aEntero(), f.Factura.aEntero()) << f.Numero;
            // Every note is either pending or settled, never both.
            const bool pendiente = porFiltro[1].count(f.Numero) > 0, liquidado = porFiltro[2].count(f.Numero) > 0;
            EXPECT_NE(pendiente, liquidado) << f.Numero;
            const double total = v[neto].aNumero() + v[env].aNumero();
            if (f.Factura.aEntero() > 0) {
                EXPECT_TRUE(liquidado) << "invoiced note " << f.Numero;
            } else if (f.Pagado.aNumero() == 1 && total > 1.5) {
                EXPECT_TRUE(pendiente) << "paid in part " << f.Numero;
            } else if (f.Pagado.aNumero() >= total) {
                EXPECT_TRUE(liquidado) << "paid in full " << f.Numero;
            } else if (f.Numero % 4 == 3 && total > 0.01) {
                EXPECT_TRUE(pendiente) << "one cent short " << f.Numero;
            }
        }
        EXPECT_FALSE(porFiltro[1].empty());
        EXPECT_FALSE(porFiltro[2].empty());
    }
}

// Figures that are not whole cents (a query's own arithmetic): every foot and the total add up
// what is printed above them, not the unprinted decimals.
TEST(ComposicionListadoSumas, TotalsAddTheFiguresAsPrinted)
{
    FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
    QString error;
    const auto def = LeerDefinicionListadoTexto(QStringLiteral("titulo: Prueba\nconsulta: select G, Importe from T\ngrupo: G\n"
                                                               "columna: Importe | Importe | ##,##0.00;-##,##0.00;# | 20 | derecha | suma\n"),
                                                QStringLiteral("Prueba.lst"), error);
    ASSERT_TRUE(def) << error.toStdString();
    ComposicionListado c;
    ASSERT_TRUE(c.Iniciar(*def, {QStringLiteral("G"), QStringLiteral("Importe")}, {}, error)) << error.toStdString();
    for (double importe : {10.574, 10.574, 10.574})
        c.AnadirFila({Valor(qint64{1}), Valor(importe)});
    for (double importe : {1.115, 1.115, -2.005})  // written 1,11, 1,11 and -2,00
        c.AnadirFila({Valor(qint64{2}), Valor(importe)});
    c.Terminar();
    QStringList pies;
    for (const LineaListado& l : c.Lineas())
        if (l.tipo == LineaListado::Tipo::PieGrupo || l.tipo == LineaListado::Tipo::Total)
            pies << c.Celdas(l).value(0);
    EXPECT_EQ(pies, (QStringList{QStringLiteral("31,71"), QStringLiteral("0,22"), QStringLiteral("31,93")}))
        << pies.join(QLatin1Char('|')).toStdString();
}

// Both invoice listings read the invoices through the index of their order (customer and date,
// or date) and work out each invoice's figures from its own lines as it comes: no grouping or
// sort of every invoice before the first page. Only the invoices of one customer and day (or one
// day) are put in series and number order among themselves.
TEST_F(Listados, InvoiceListingsComeInTheirOrderWithoutASortOfEveryInvoice)
{
    // Every invoice, and those of a few months: a long date range by customer must not sort
    // all the invoices of its dates either.
    const std::optional<QDate> desde[] = {std::nullopt, QDate(2024, 2, 1)}, hasta[] = {std::nullopt, QDate(2024, 4, 30)};
    for (bool porClientes : {true, false}) {
        for (int selPend : {0, 1, 2}) {
            const int fechas = selPend == 1 ? 1 : 0;
            SCOPED_TRACE(std::string(porClientes ? "por clientes" : "por meses") + ", SelPend " + std::to_string(selPend)
                         + (fechas ? ", febrero a abril" : ""));
            QString error;
            auto ej = ListadoFacturas(porClientes, std::nullopt, desde[fechas], hasta[fechas], selPend).Preparar(error);
            ASSERT_TRUE(ej) << error.toStdString();
            if (!bd->Motor()->esPostgreSQL()) {
                const QStringList plan = Plan(*ej);
                const QString texto = plan.join(QLatin1Char('\n'));
                const QString indice = porClientes ? QStringLiteral("FacturaVentaCabecera USING INDEX FacturaVentaCabecera_ClienteFecha")
                                                   : QStringLiteral("FacturaVentaCabecera USING INDEX FacturaVentaCabecera_Fecha");
                const bool porIndice = plan.contains(QStringLiteral("0|SCAN ") + indice)
                                       || plan.contains(QStringLiteral("0|SEARCH ") + indice + QStringLiteral(" (Fecha>? AND Fecha<?)"));
                EXPECT_TRUE(porIndice) << texto.toStdString();
                for (const QString& paso : plan) {
                    if (paso.startsWith(QStringLiteral("0|")) && paso.contains(QStringLiteral("TEMP B-TREE"))) {
                        EXPECT_EQ(paso, QStringLiteral("0|USE TEMP B-TREE FOR RIGHT PART OF ORDER BY")) << texto.toStdString();
                    }
                    EXPECT_FALSE(paso.contains(QStringLiteral("CO-ROUTINE")) && paso.startsWith(QStringLiteral("0|"))) << texto.toStdString();
                }
            }

            ASSERT_TRUE(ej->LeerTodo(error)) << error.toStdString();
            const ComposicionListado& c = ej->Composicion();
            const int cli = Columna(c, QStringLiteral("Cliente")), fch = Columna(c, QStringLiteral("Fecha")),
                      ser = Columna(c, QStringLiteral("LetraSerie")), num = Columna(c, QStringLiteral("Numero"));
            using Clave = std::tuple<qint64, QDate, QString, qint64>;
            std::vector<Clave> claves;
            for (const LineaListado* l : De(c, Tipo::Detalle)) {
                const auto& v = l->valores;
                claves.emplace_back(porClientes ? v[cli].aEntero() : 0, v[fch].aFecha(), v[ser].aTexto(), v[num].aEntero());
            }
            EXPECT_FALSE(claves.empty());
            EXPECT_TRUE(std::is_sorted(claves.begin(), claves.end()));
        }
    }
}

TEST_F(Listados, CustomerListingFollowsTheBrowsersSortColumn)
{
    for (const QString& orden : {QStringLiteral("Codigo"), QStringLiteral("Nombre"), QStringLiteral("NIF")}) {
        auto ej = Ejecutar(ListadoClientes(orden));
        ASSERT_TRUE(ej);
        const ComposicionListado& c = ej->Composicion();
        EXPECT_EQ(ej->TituloVentana(), QStringLiteral("Listado general de clientes"));
        std::vector<qint64> listados, esperados;
        for (const LineaListado* l : De(c, Tipo::Detalle))
            listados.push_back(l->valores[Columna(c, QStringLiteral("Codigo"))].aEntero());
        for (const FilaCliente& f : bd->ListaClientes(orden))
            esperados.push_back(f.Codigo.aEntero());
        EXPECT_EQ(listados, esperados) << orden.toStdString();
    }
    Listado descendente = ListadoClientes(QStringLiteral("Codigo"));
    descendente.FijarCampoOrden(0, QStringLiteral("-{Cliente.Codigo}"));
    auto ej = Ejecutar(descendente);
    ASSERT_TRUE(ej);
    EXPECT_EQ(De(ej->Composicion(), Tipo::Detalle).front()->valores[0].aEntero(), 30);
}

// One page, said in the singular in the preview.
TEST_F(Listados, AFilterThatMatchesNothingPrintsThePageHeadAndSaysSo)
{
    VistaPreviaListado* vista = Vista(ListadoFacturas(true, std::nullopt, QDate(2030, 1, 1), QDate(2030, 1, 31), 0));
    ASSERT_TRUE(vista);
    QApplication::processEvents();
    const ComposicionListado& c = vista->Ejecucion().Composicion();
    ASSERT_EQ(c.Paginas(), 1);
    ASSERT_EQ(c.Lineas().size(), 1u);
    EXPECT_EQ(c.Lineas()[0].tipo, Tipo::Vacio);
    QStringList textos;
    for (const ElementoPagina& e : c.Elementos(1))
        textos << e.texto;
    EXPECT_TRUE(textos.contains(QStringLiteral("Carnicería \"La Nueva\"")));
    EXPECT_TRUE(textos.contains(QStringLiteral("Facturación por clientes")));
    EXPECT_TRUE(textos.contains(QStringLiteral("No hay facturas que listar con este filtro.")));
    EXPECT_TRUE(textos.contains(QStringLiteral("Página 1 de 1")));
    const QString filtro = textos.filter(QStringLiteral("Fechas:")).value(0);
    EXPECT_TRUE(filtro.contains(QStringLiteral("desde 01/01/2030 hasta 31/01/2030"))) << filtro.toStdString();
    EXPECT_TRUE(filtro.contains(QStringLiteral("Cliente: (todos)")));
    QStringList etiquetas;
    for (QLabel* l : vista->findChildren<QLabel*>())
        etiquetas << l->text();
    EXPECT_TRUE(etiquetas.filter(QStringLiteral("1 página")).size() == 1) << etiquetas.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(etiquetas.filter(QStringLiteral("páginas")).isEmpty()) << etiquetas.join(QLatin1Char('|')).toStdString();
    vista->close();
    QApplication::processEvents();
}

TEST_F(Listados, TheBusinessNameIsNeverCutInTheHead)
{
    const QString nombres[] = {QStringLiteral("ULTRAMARINOS LA DEMOSTRACIÓN DE LA PLAZA MAYOR"),
                               QStringLiteral("CARNICERÍA"), QStringLiteral("SUPERMERCADOSYULTRAMARINOSDELAVEGAALTAYBAJA")};
    for (const QString& nombre : nombres) {
        Global::NombreEmpresa = nombre;
        for (const Listado& l : {ListadoAlbaranes(std::nullopt, QDate(2024, 3, 1), QDate(2024, 3, 2), 0),
                                 ListadoFacturas(false, std::nullopt, QDate(2024, 3, 1), QDate(2024, 3, 2), 0)}) {
            auto ej = Ejecutar(l);
            ASSERT_TRUE(ej);
            const ComposicionListado& c = ej->Composicion();
            QString escrito;
            std::vector<QRectF> otras;
            std::vector<ElementoPagina> piezas;
            for (const ElementoPagina& e : c.Elementos(1)) {
                if (e.tipo != ElementoPagina::Tipo::Texto)
                    continue;
                if (e.caja.top() < 10 + 6.5 && e.caja.left() < 15 && nombre.contains(e.texto)) {
                    piezas.push_back(e);
                    escrito += (escrito.isEmpty() ? QString() : QStringLiteral(" ")) + e.texto;
                } else if (e.caja.top() < 10 + 6.5) {
                    otras.push_back(e.caja);
                }
            }
            EXPECT_EQ(escrito, nombre);  // all of it, in order
            for (const ElementoPagina& e : piezas) {
                // Measured as a printer would, the text fits its box and stays clear of the title.
                QImage papel(1, 1, QImage::Format_RGB32);
                papel.setDotsPerMeterX(11811);  // 300 dpi
                papel.setDotsPerMeterY(11811);
                QFont fuente(QStringLiteral("Arial"));
                fuente.setPointSizeF(e.puntos);
                fuente.setBold(e.negrita);
                const double mm = QFontMetricsF(fuente, &papel).horizontalAdvance(e.texto) * 25.4 / 300;
                EXPECT_LE(mm, e.caja.width()) << e.texto.toStdString();
                EXPECT_GE(e.puntos, 5.0);
                for (const QRectF& otra : otras)
                    EXPECT_FALSE(e.caja.intersects(otra)) << e.texto.toStdString();
            }
        }
    }
}

TEST_F(Listados, PagesCarryTheirHeadAndNeverEndOnAGroupHead)
{
    auto ej = Ejecutar(ListadoFacturas(true, std::nullopt, std::nullopt, std::nullopt, 0));
    ASSERT_TRUE(ej);
    const ComposicionListado& c = ej->Composicion();
    ASSERT_GT(c.Paginas(), 3);
    for (int p = 1; p <= c.Paginas(); ++p) {
        QStringList textos;
        for (const ElementoPagina& e : c.Elementos(p)) {
            textos << e.texto;
            EXPECT_LE(e.caja.bottom(), c.Papel().height() - 9.9) << "page " << p;
            EXPECT_LE(e.caja.right(), c.Papel().width() - 9.9) << "page " << p;
        }
        EXPECT_TRUE(textos.contains(QStringLiteral("Carnicería \"La Nueva\""))) << p;
        EXPECT_TRUE(textos.contains(QStringLiteral("Página %1 de %2").arg(p).arg(c.Paginas()))) << p;
        EXPECT_TRUE(textos.contains(QStringLiteral("Neto"))) << p;
        const auto [desde, hasta] = c.LineasDePagina(p);
        ASSERT_LT(desde, hasta);
        EXPECT_NE(c.Lineas()[static_cast<size_t>(hasta - 1)].tipo, Tipo::CabeceraGrupo) << p;
    }
    // Client 7 in the customer's group head, with its name.
    const auto cabeceras = De(c, Tipo::CabeceraGrupo);
    EXPECT_TRUE(std::any_of(cabeceras.begin(), cabeceras.end(),
                            [](const LineaListado* l) { return l->texto.startsWith(QStringLiteral("Cliente 000007  CLIENTE ")); }));
}

TEST_F(Listados, BadInputGivesOneClearSpanishMessage)
{
    Listado falta = ListadoClientes(QStringLiteral("Codigo"));
    falta.NombreArchivo = QStringLiteral("LstNoExiste.rpt");
    EXPECT_TRUE(ErrorDe(falta).contains(QStringLiteral("LstNoExiste.lst")));

    Listado sinBase = ListadoClientes(QStringLiteral("Codigo"));
    sinBase.FijarArchivoDatos(0, QStringLiteral("/no/existe/kv740.db"));
    const QString e1 = ErrorDe(sinBase);
    EXPECT_TRUE(e1.contains(QStringLiteral("/no/existe/kv740.db"))) << e1.toStdString();
    EXPECT_TRUE(e1.contains(QStringLiteral("LstClien.lst")));

    QTemporaryDir dir;
    const QString noEsBase = dir.filePath(QStringLiteral("texto.db"));
    ASSERT_TRUE(EscribirArchivo(noEsBase, QByteArray(4096, 'x')));
    sinBase.FijarArchivoDatos(0, noEsBase);
    EXPECT_TRUE(ErrorDe(sinBase).contains(noEsBase));

    // A sort field is a column of the listing, never SQL.
    Listado orden = ListadoClientes(QStringLiteral("Nombre; delete from Cliente"));
    EXPECT_TRUE(ErrorDe(orden).contains(QStringLiteral("no se puede ordenar")));
    Listado formula = ListadoClientes(QStringLiteral("Codigo"));
    formula.FijarFormula(1, QStringLiteral("sin igual"));
    EXPECT_TRUE(ErrorDe(formula).contains(QStringLiteral("«sin igual»")));
    EXPECT_EQ(bd->ListaClientes().size(), 30u);

    // A customer's name with quotes is data, not SQL.
    Global::NombreEmpresa = QStringLiteral("O'Brien \"Hnos\"');drop table Cliente;--");
    auto ej = Ejecutar(ListadoFacturas(true, 3, std::nullopt, std::nullopt, 0));
    ASSERT_TRUE(ej);
    EXPECT_EQ(bd->ListaClientes().size(), 30u);

    // Nothing shows a window: the message goes to the user through the print engine's notice.
    Avisos avisos;
    EXPECT_FALSE(falta.Accion(1));
    ASSERT_EQ(avisos.textos.size(), 1);
    EXPECT_TRUE(avisos.textos[0].contains(QStringLiteral("LstNoExiste.lst")));

    // Definitions that do not fit the database are reported with their line.
    auto escribir = [&dir](const QString& texto) { EXPECT_TRUE(EscribirArchivo(dir.filePath(QStringLiteral("LstPrueba.lst")), texto.toUtf8())); };
    Listado l;
    l.NombreArchivo = dir.filePath(QStringLiteral("LstPrueba.lst"));
    l.FijarArchivoDatos(0, s_ruta);
    escribir(QStringLiteral("titulo: T\nconsulta: select Codigo from TbCliente\ncolumna: A | Codigo | | 10 | centro\n"
                            "columna: B | NoHay | | 10 | centro\n"));
    EXPECT_TRUE(ErrorDe(l).contains(QStringLiteral("línea 4: la consulta no da el campo «NoHay»")));
    escribir(QStringLiteral("titulo: T\nconsulta: select Codigo from TablaQueNoHay\ncolumna: A | Codigo | | 10 | centro\n"));
    EXPECT_TRUE(ErrorDe(l).contains(QStringLiteral("línea 2: la base de datos no acepta la consulta")));
    escribir(QStringLiteral("titulo: T\nconsulta: select Codigo from TbCliente\ncolumna: A | Codigo | | 10 | centro\n"
                            "pie-total: @Cuenta de @NoDado\n"));
    EXPECT_TRUE(ErrorDe(l).contains(QStringLiteral("«@NoDado»")));
    escribir(QStringLiteral("titulo: T\nconsulta: select Codigo from TbCliente @DONDE\ndonde UnCli: (Codigo=@UnCli and @Otra)\n"
                            "columna: A | Codigo | | 10 | centro\n"));
    l.FijarFormula(0, QStringLiteral("UnCli=3"));
    EXPECT_TRUE(ErrorDe(l).contains(QStringLiteral("línea 3: la condición usa «@Otra»")));
}

// A listing runs its server query on a server and its own query on a file. On a server the next
// listing of the same database goes on the same connection, and on a new one if the server
// ended that one in between.
TEST_F(Listados, AServerRunsItsOwnQueryOnTheConnectionTheLastListingLeft)
{
    QTemporaryDir dir;
    ASSERT_TRUE(EscribirArchivo(dir.filePath(QStringLiteral("LstPrueba.lst")),
                                "titulo: T\nconsulta: select 'archivo' as Donde, 0 as Sesion\n"
                                "consulta-servidor: select 'servidor' as Donde, pg_backend_pid() as Sesion\n"
                                "columna: A | Donde | | 30 | centro\ncolumna: B | Sesion | | 20 | centro\n"));
    Listado l;
    l.NombreArchivo = dir.filePath(QStringLiteral("LstPrueba.lst"));
    l.FijarArchivoDatos(0, s_ruta);
    auto fila = [&] {
        auto ej = Ejecutar(l);
        const auto detalle = ej ? De(ej->Composicion(), Tipo::Detalle) : std::vector<const LineaListado*>{};
        return detalle.size() == 1 ? std::pair{detalle[0]->valores[0].aTexto(), detalle[0]->valores[1].aEntero()}
                                   : std::pair{QString(), qint64{-1}};
    };
    const auto [donde, sesion] = fila();
    if (!bd->Motor()->esPostgreSQL()) {
        EXPECT_EQ(donde, QStringLiteral("archivo"));
        return;
    }
    EXPECT_EQ(donde, QStringLiteral("servidor"));
    EXPECT_EQ(fila().second, sesion);
    // Ended as a server restart ends it: gone before the next listing begins.
    bd->Motor()->ejecutarNativo(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(sesion));
    const auto [otraVez, otra] = fila();
    EXPECT_EQ(otraVez, QStringLiteral("servidor"));
    EXPECT_NE(otra, sesion);
    EXPECT_GT(otra, 0);
}

struct CasoDefinicion {
    const char* texto;
    const char* mensaje;
};

class DefinicionesMalas : public ::testing::TestWithParam<CasoDefinicion> {};

TEST_P(DefinicionesMalas, NameTheFileTheLineAndTheProblem)
{
    QString error;
    const auto d = LeerDefinicionListadoTexto(QString::fromUtf8(GetParam().texto), QStringLiteral("/datos/LstMal.lst"), error);
    EXPECT_FALSE(d);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Listado «LstMal.lst»"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().mensaje))) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Casos, DefinicionesMalas,
    ::testing::Values(
        CasoDefinicion{"titulo: T\nconsulta select 1\n", "línea 2: falta «:»"},
        CasoDefinicion{"titulo: T\nconsulta: select 1 as a\ncolor: rojo\n", "línea 3: no se conoce la clave «color»"},
        CasoDefinicion{"titulo: T\nconsulta: select 1 as a\ncolumna: A | a | | ancho | derecha\n", "línea 3: el ancho"},
        CasoDefinicion{"titulo: T\nconsulta: select 1 as a\ncolumna: A | a | | 10 | arriba\n", "la alineación"},
        CasoDefinicion{"titulo: T\nconsulta: select 1 as a\ncolumna: A | a | | 10\n", "título | campo"},
        CasoDefinicion{"titulo: T\ncolumna: A | a | | 10 | centro\n", "falta la «consulta»"},
        CasoDefinicion{"titulo: T\nconsulta: select 1 as a\n", "no tiene ninguna «columna»"},
        CasoDefinicion{"titulo: T\ntitulo: U\n", "línea 2: «titulo» ya se ha dado"},
        CasoDefinicion{"  select 1\n", "línea 1: una línea que empieza en blanco"},
        CasoDefinicion{"titulo: T\nconsulta: select 1 as a\ncolumna: A | a | | 150 | centro\ncolumna: B | a | | 50 | centro\n",
                       "las columnas suman 200 mm"}),
    [](const ::testing::TestParamInfo<CasoDefinicion>& i) { return "Caso" + std::to_string(i.index); });

TEST_F(Listados, RowsArriveInBatchesWhileTheWindowKeepsWorking)
{
    QString error;
    auto ej = ListadoFacturas(true, std::nullopt, std::nullopt, std::nullopt, 0).Preparar(error);
    ASSERT_TRUE(ej) << error.toStdString();
    std::vector<int> filas;
    QObject::connect(ej.get(), &EjecucionListado::Avance, [&] { filas.push_back(ej->Composicion().Filas()); });
    QSignalSpy terminado(ej.get(), &EjecucionListado::Terminado);
    ej->Empezar();
    ASSERT_TRUE(terminado.wait(20000));
    EXPECT_EQ(terminado.at(0).at(0).toString(), QString());
    ASSERT_GE(filas.size(), 2u);
    EXPECT_LT(filas.front(), filas.back());
    EXPECT_EQ(filas.back(), 180);
    EXPECT_TRUE(ej->Composicion().Terminada());
}

TEST_F(Listados, PreviewShowsPagesAndSavesAPdf)
{
    Global::NombreEmpresa = QStringLiteral("ULTRAMARINOS Y COMESTIBLES LA DEMOSTRACIÓN DE LA PLAZA MAYOR");
    VistaPreviaListado* vista = Vista(ListadoAlbaranes(std::nullopt, std::nullopt, std::nullopt, 0));
    ASSERT_TRUE(vista);
    const QPointer<QWidget> ventana = vista;
    ASSERT_TRUE(vista->Ejecucion().Acabada());
    const int paginas = vista->Ejecucion().Composicion().Paginas();
    ASSERT_GT(paginas, 2);
    vista->IrAPagina(paginas + 5);
    EXPECT_EQ(vista->PaginaActual(), paginas);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("albaranes.pdf"));
    ASSERT_TRUE(vista->GuardarPdf(pdf));
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5).startsWith("%PDF"));
    f.close();
    if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        const QString texto = TextoPdf(pdf);
        EXPECT_TRUE(texto.contains(QStringLiteral("Listado de albaranes")));
        // The business name whole, on every page.
        for (const char* palabra : {"ULTRAMARINOS", "COMESTIBLES", "DEMOSTRACIÓN", "PLAZA", "MAYOR"})
            EXPECT_EQ(texto.count(QString::fromUtf8(palabra)), paginas) << palabra;
        EXPECT_TRUE(texto.contains(QStringLiteral("Página %1 de %1").arg(paginas)));
        EXPECT_EQ(texto.count(QLatin1Char('\f')), paginas);
    }

    // A printer that is gone and a folder that is not there are told, not taken for done.
    Avisos avisos;
    FijarImpresoraActual(QStringLiteral("Retirada"));
    EXPECT_FALSE(vista->Imprimir());
    FijarImpresoraActual(QString());
    EXPECT_FALSE(vista->GuardarPdf(QStringLiteral("/no/existe/albaranes.pdf")));
    ASSERT_EQ(avisos.textos.size(), 2);
    EXPECT_TRUE(avisos.textos[0].contains(QStringLiteral("«Retirada»")));
    EXPECT_TRUE(avisos.textos[1].contains(QStringLiteral("/no/existe/albaranes.pdf")));

    // Printers installed but none the default: the system's dialog offers them.
    const FuenteImpresoras fuente = FijarFuenteImpresoras([] { return ImpresorasSistema{{QStringLiteral("PDF")}, {}}; });
    int ofrecido = 0;
    VistaPreviaListado::dialogoImpresion = [&ofrecido](QPrinter&, QWidget*) {
        ++ofrecido;
        return false;  // the user cancels
    };
    avisos.textos.clear();
    EXPECT_FALSE(vista->Imprimir());
    EXPECT_EQ(ofrecido, 1);
    EXPECT_TRUE(avisos.textos.isEmpty()) << avisos.textos.join(QLatin1Char('|')).toStdString();
    FijarFuenteImpresoras([] { return ImpresorasSistema{}; });
    EXPECT_FALSE(vista->Imprimir());
    ASSERT_EQ(avisos.textos.size(), 1);
    EXPECT_TRUE(avisos.textos[0].contains(QStringLiteral("no hay ninguna impresora instalada")));
    FijarFuenteImpresoras(fuente);
    VistaPreviaListado::dialogoImpresion = nullptr;

    vista->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(ventana);
}

}  // namespace
