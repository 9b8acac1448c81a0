#include "albaran.h"
#include "albaranes.h"
#include "documentos_prueba.h"
#include "factura.h"
#include "printxt.h"
#include "utilidades.h"

#include <QProcess>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <random>

namespace {

class Impresion : public DocumentosDePrueba {
protected:
    void SetUp() override
    {
        DocumentosDePrueba::SetUp();
        cliente(7, QStringLiteral("BAR EL PUERTO"), false, 10);
    }

    // Note 1 of customer 7: ham with a comment, and returned bottles.
    void nota(Albaran& a, int lineasDeRelleno = 0)
    {
        a.WhoAmI();
        ASSERT_TRUE(a.SetCliente(7));
        a.Fecha = QDate(2024, 3, 5);
        LineaAlbaran* jamon = a.NuevaLinea();
        ASSERT_TRUE(jamon->SetCodigo(15));  // JAMON SERRANO LONCHAS, 2.89 per 100 g
        jamon->FijarCantidadGramos(250);
        jamon->FijarDescuento(10);
        jamon->FijarComentario(QStringLiteral("muy fino\r\n[PAGINA,]"));
        LineaAlbaran* sifon = a.NuevaLinea();
        ASSERT_TRUE(sifon->SetCodigo(35));  // SIFON, 0.80 each
        sifon->FijarCantidadGramos(2);
        sifon->Bultos = -2;
        sifon->FijarEnvase(0.30);
        for (int i = 0; i < lineasDeRelleno; ++i) {
            LineaAlbaran* pan = a.NuevaLinea();
            pan->SetCodigo(25);
            pan->FijarCantidadGramos(1);
        }
    }

    static QString pdfATexto(const QString& pdf)
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    // The document's title, the name a PDF printer gives its file.
    static QString tituloPdf(const QString& pdf)
    {
        QProcess p;
        p.start(QStringLiteral("pdfinfo"), {pdf});
        p.waitForFinished(30000);
        for (const QString& linea : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
            if (linea.startsWith(QLatin1String("Title:")))
                return linea.mid(6).trimmed();
        return {};
    }
};

// Checks the texts a call gave its placeholders ("" where one prints empty).
void Impreso(const std::map<QString, QString>& valores, std::initializer_list<std::pair<const char*, const char*>> esperados)
{
    for (const auto& [marca, texto] : esperados) {
        const auto it = valores.find(QString::fromUtf8(marca));
        ASSERT_NE(it, valores.end()) << marca;
        EXPECT_EQ(it->second, QString::fromUtf8(texto)) << marca;
    }
}

TEST_F(Impresion, DeliveryNoteSendsEverySectionWithItsFormattedValues)
{
    bd->GuardarComercio({QStringLiteral("ULTRAMARINOS PEPA, S.L."), QStringLiteral("B12345674"), QStringLiteral("Calle Real, 3"),
                         QStringLiteral("46001"), QStringLiteral("VALENCIA"), QStringLiteral("VALENCIA"), QStringLiteral("963 000 000")});
    Albaran a(*bd);
    nota(a);
    GrabadoraMascaras g;
    ASSERT_TRUE(a.Imprimir(g, QStringLiteral("/mascaras")));
    EXPECT_EQ(g.archivo, QStringLiteral("/mascaras/mskAlba.txt"));
    EXPECT_EQ(g.secciones(), (std::vector<qint16>{0, 1, 1, 1, 2}));
    EXPECT_EQ(g.cierres, 1);

    EXPECT_EQ(g.llamadas[0].marcas.front(), QStringLiteral("@PAG"));
    // The shop's own data heads every document.
    Impreso(g.llamadas[0].valores, {{"@PAG", "1"}, {"@NUMERO", "1"}, {"@FECHA", "05/03/2024"}, {"@CODCLI", "7"},
                                    {"@NOMBRE", "BAR EL PUERTO"}, {"@NIF", "B46000006"},
                                    {"@EMPRESA_NOMBRE", "ULTRAMARINOS PEPA, S.L."}, {"@EMPRESA_NIF", "B12345674"},
                                    {"@EMPRESA_DIRECCION", "Calle Real, 3"}, {"@EMPRESA_CODPOSTAL", "46001"},
                                    {"@EMPRESA_TELEFONO", "963 000 000"}});
    // A zero count of packages prints empty.
    Impreso(g.llamadas[1].valores, {{"@CODIGO", "0000015"}, {"@DESCRIPCION", "JAMON SERRANO LONCHAS"}, {"@UNIDAD", "/g"},
                                    {"@CANTIDAD", "0,250"}, {"@IMPORTE", "7,23"}, {"@PCTDESCUENTO", "10,0"},
                                    {"@IMPDESCONTADO", "6,51"}, {"@BULTOS", ""}, {"@IMPNETO", "6,51"}});
    // The comment: one line of its own, every other placeholder empty.
    Impreso(g.llamadas[2].valores, {{"@DESCRIPCION", "muy fino [PAGINA,]"}, {"@CODIGO", ""}});
    EXPECT_EQ(g.llamadas[2].marcas, g.llamadas[1].marcas);
    // Net: 1.60 of goods and 0.60 of returned bottles.
    Impreso(g.llamadas[3].valores,
            {{"@UNIDAD", "/u"}, {"@CANTIDAD", "2"}, {"@BULTOS", "-2"}, {"@IMPENVASE", "-0,60"}, {"@IMPNETO", "2,20"}});
    Impreso(g.llamadas[4].valores,
            {{"@IMPORTE", "8,11"}, {"@DESCUENTOS", "0,81"}, {"@ENV_DEV", "-0,60"}, {"@ENV_ENT", ""}, {"@TOTAL", "6,70"}});
}

TEST_F(Impresion, PageHeadIsPrintedAgainOnEveryNewPage)
{
    Albaran a(*bd);
    nota(a, 3);
    GrabadoraMascaras g;
    // The comment under the first line (call 3) fills page 1; the totals (call 9) fill page 2.
    g.saltoEn = {3, 9};
    ASSERT_TRUE(a.Imprimir(g, QString()));
    EXPECT_EQ(g.secciones(), (std::vector<qint16>{0, 1, 1, 0, 1, 1, 1, 1, 2, 0}));
    Impreso(g.llamadas[3].valores, {{"@PAG", "2"}, {"@NOMBRE", "BAR EL PUERTO"}});
    EXPECT_EQ(g.llamadas[4].pagina, 2);
    EXPECT_EQ(g.llamadas[9].valores.at(QStringLiteral("@PAG")), QStringLiteral("3"));
    EXPECT_EQ(g.reinicios, (std::vector<int>{1, 4, 10}));  // the line counter restarts after each head

    GrabadoraMascaras sinMascara;
    sinMascara.cargar = false;
    EXPECT_FALSE(a.Imprimir(sinMascara, QString()));
    EXPECT_TRUE(sinMascara.llamadas.empty());
}

TEST_F(Impresion, InvoiceSendsLinesRatesAndTotals)
{
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(1)));
    f.Fecha = QDate(2024, 4, 1);
    ASSERT_TRUE(f.SetCliente(7));
    f.FijarDescuento(10);
    f.NuevaLinea()->FijarTitulo(QStringLiteral("Albarán Nº1 de fecha 05/03/2024"));
    LineaFactura* jamon = f.NuevaLinea();
    ASSERT_TRUE(jamon->FijarReferencia(15));
    jamon->FijarCantidad(0.25);
    jamon->FijarComentario(QStringLiteral("muy fino"));
    LineaFactura* portes = f.NuevaLinea();
    portes->FijarConcepto(QStringLiteral("Portes"));
    portes->FijarImporte(5.0);
    portes->FijarpIVA(21);

    GrabadoraMascaras g;
    ASSERT_TRUE(f.Imprimir(g, QStringLiteral("/m")));
    EXPECT_EQ(g.archivo, QStringLiteral("/m/mskFact.txt"));
    EXPECT_EQ(g.secciones(), (std::vector<qint16>{0, 1, 2, 2, 1, 3, 4, 4, 5}));
    Impreso(g.llamadas[0].valores, {{"@ABC", "B"}});
    Impreso(g.llamadas[1].valores, {{"@TITULO", "Albarán Nº1 de fecha 05/03/2024"}});
    // 10 x 0.25 x 2.89 (per 100 g).
    Impreso(g.llamadas[2].valores, {{"@REFERENCIA", "0000015"}, {"@CANTIDAD", "0,250"}, {"@IMPORTE", "7,23"}});
    Impreso(g.llamadas[3].valores, {{"@DESCRIPCION", "muy fino"}, {"@REFERENCIA", ""}});
    Impreso(g.llamadas[4].valores, {{"@CONCEPTO", "Portes"}});
    Impreso(g.llamadas[5].valores, {{"@NUMERO", "1"}});
    Impreso(g.llamadas[6].valores, {{"@DESCUENTO", "0,72"}, {"@BASEIMPONIBLE", "6,51"}, {"@IVA", "0,65"}});
    // 6.51 + 0.65 + 4.50 + 0.95
    Impreso(g.llamadas[8].valores, {{"@NETO", "12,23"}, {"@DESCUENTO", "1,22"}, {"@IMPORTE", "12,61"}, {"@X", "N"}});
    EXPECT_EQ(g.cierres, 1);

    jamon->FijarBultos(1);
    jamon->FijarEnvase(0.25);
    GrabadoraMascaras conEnvases;
    ASSERT_TRUE(f.Imprimir(conEnvases, QString()));
    Impreso(conEnvases.llamadas.back().valores, {{"@X", ""}, {"@TOTALENVASES", "12,86"}});
}

// Cents of a printed amount ("1.234,56"; empty is zero).
qint64 CentimosImpresos(const QString& impreso)
{
    QString t = impreso;
    t.remove(QLatin1Char('.')).replace(QLatin1Char(','), QLatin1Char('.'));
    return std::llround(t.toDouble() * 100);
}

// A number held exactly: num / den, den > 0.
struct Fraccion {
    __extension__ typedef __int128 Entero;
    Entero num = 0;
    Entero den = 1;

    static Fraccion De(float f)  // the single-precision value exactly
    {
        int e = 0;
        const double m = std::frexp(static_cast<double>(f), &e);
        return {static_cast<Entero>(std::ldexp(m, 30)), Entero(1) << (30 - e)};
    }
    Fraccion operator*(const Fraccion& o) const { return {num * o.num, den * o.den}; }
    Fraccion operator-(const Fraccion& o) const { return {num * o.den - o.num * den, den * o.den}; }
    qint64 RedondeadoArriba() const  // floor(x + 1/2)
    {
        const Entero a = 2 * num + den, b = 2 * den, q = a / b;
        return static_cast<qint64>((a % b != 0 && a < 0) ? q - 1 : q);
    }
};

// Thousands of generated invoices: what each prints as its total, what the invoice list says it
// comes to, and a reference worked out with fractions from the lines as typed agree to the cent;
// paid what it prints, an invoice lists as settled. With one of the two discounts at 0 its column
// prints empty on every rate row, the rounding cent goes to the other, net - discounts = base as
// printed, and the printed bases add up to the list's. Then the three cases a shop saw go wrong.
TEST_F(Impresion, PrintedTotalsEqualTheListAndExactFractions)
{
    cliente(8, QStringLiteral("ULTRAMARINOS SOL"), true);
    articulo(901, QStringLiteral("QUESO AL KILO"), 0, 1, 1495);
    articulo(902, QStringLiteral("JAMON 100 G"), 1, 7, 289);
    articulo(903, QStringLiteral("BOTELLA"), 2, 5, 80);
    std::mt19937 azar(2024);
    const auto entre = [&azar](int a, int b) { return std::uniform_int_distribution<int>(a, b)(azar); };
    const float tipos[][2] = {{21, 5.2f}, {10, 1.4f}, {4, 0.5f}, {0, 0}, {7.5f, 1}};
    struct Esperado {
        qint64 total;
        bool pagada;
        std::optional<qint64> bases;  // the printed bases, when one discount is 0
    };
    std::map<qint32, Esperado> esperados;
    const int facturas = 2000;
    for (int n = 1; n <= facturas; ++n) {
        Factura f(*bd);
        ASSERT_TRUE(f.WhoAmI(qint16(3)));
        f.Fecha = QDate(2025, 1, 1 + n % 28);
        const bool req = n % 3 == 0;
        ASSERT_TRUE(f.SetCliente(req ? 8 : 7));
        const float dto = entre(0, 3) == 0 ? 0.0f : static_cast<float>(entre(1, 300)) / 10;
        const float pp = entre(0, 2) == 0 ? 0.0f : static_cast<float>(entre(1, 100)) / 10;
        f.FijarDescuento(dto);
        f.FijarDesctoPP(pp);
        std::map<std::pair<float, float>, qint64> grupos;  // reference: cents of each rate
        qint64 envases = 0;
        for (int i = entre(1, 8); i > 0; --i) {
            LineaFactura* l = f.NuevaLinea();
            const auto& tipo = tipos[entre(0, 4)];
            qint64 importe;
            if (entre(0, 4) == 0) {
                importe = entre(-5000, 99999);
                l->FijarConcepto(QStringLiteral("Portes"));
                l->FijarImporte(importe / 100.0);
            } else {
                const int articulo = 901 + entre(0, 2);
                ASSERT_TRUE(l->FijarReferencia(articulo));
                const int precio = entre(1, 99999);  // cents
                const int cantidad = articulo == 903 ? entre(1, 60) : entre(1, 25000);  // units or grams
                const float descuento = entre(0, 1) ? 0.0f : static_cast<float>(entre(1, 500)) / 10;
                l->FijarPrecio(precio / 100.0);
                l->FijarCantidad(articulo == 903 ? cantidad : cantidad / 1000.0);
                l->FijarDescuento(descuento);
                // cents = factor x kg x euros x 100: per kilogram g x c / 1000, per 100 g g x c / 100
                const Fraccion bruto{Fraccion::Entero(precio) * cantidad, articulo == 901 ? 1000 : articulo == 902 ? 100 : 1};
                const qint64 b = bruto.RedondeadoArriba();
                importe = b - (Fraccion{b, 100} * Fraccion::De(descuento)).RedondeadoArriba();
            }
            l->FijarpIVA(tipo[0]);
            l->FijarpREQ(tipo[1]);
            grupos[{tipo[0], req ? tipo[1] : 0.0f}] += importe;
            if (entre(0, 3) == 0) {
                const int bultos = entre(-3, 3), deposito = entre(1, 500);
                l->FijarBultos(bultos);
                l->FijarEnvase(deposito / 100.0);
                envases += qint64(bultos) * deposito;
            }
        }
        qint64 total = envases;
        for (const auto& [tipo, neto] : grupos) {
            const Fraccion cien{100, 1};
            const qint64 b = (Fraccion{neto, 100} * (cien - Fraccion::De(dto) - Fraccion::De(pp))).RedondeadoArriba();
            total += b + (Fraccion{b, 100} * Fraccion::De(tipo.first)).RedondeadoArriba()
                + (Fraccion{b, 100} * Fraccion::De(tipo.second)).RedondeadoArriba();
        }
        GrabadoraMascaras g;
        ASSERT_TRUE(f.Imprimir(g, QString()));
        ASSERT_EQ(CentimosImpresos(g.llamadas.back().valores.at(QStringLiteral("@TOTALENVASES"))), total) << "invoice " << n;
        std::optional<qint64> bases;
        if (dto == 0 || pp == 0) {
            bases = 0;
            for (const auto& llamada : g.llamadas) {
                if (llamada.seccion != 4)
                    continue;
                const auto& v = llamada.valores;
                ASSERT_EQ(v.at(QString::fromLatin1(dto == 0 ? "@DESCUENTO" : "@DESCTOPP")), QString()) << "invoice " << n;
                const qint64 impresa = CentimosImpresos(v.at(QStringLiteral("@BASEIMPONIBLE")));
                ASSERT_EQ(CentimosImpresos(v.at(QStringLiteral("@NETO"))) - CentimosImpresos(v.at(QStringLiteral("@DESCUENTO")))
                              - CentimosImpresos(v.at(QStringLiteral("@DESCTOPP"))),
                          impresa)
                    << "invoice " << n;
                *bases += impresa;
            }
        }
        const bool pagada = n % 2 == 0;
        f.Pagado = pagada ? f.ImporteALiquidar() : 0;
        ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
        esperados[*f.Numero] = {total, pagada, bases};
    }
    const std::vector<FilaFactura> todas = bd->ListaFacturas(qint16(3), {}, {}, {}, {});
    ASSERT_EQ(todas.size(), static_cast<size_t>(facturas));
    for (const FilaFactura& fila : todas) {
        const Esperado& e = esperados.at(fila.Numero);
        ASSERT_EQ(std::llround(TotalAPagar(fila) * 100), e.total) << "invoice " << fila.Numero;
        if (e.bases) {
            ASSERT_EQ(std::llround(fila.Neto * 100), *e.bases) << "invoice " << fila.Numero;
        }
    }
    size_t pagadas = 0;
    for (const FilaFactura& fila : bd->ListaFacturas(qint16(3), {}, {}, {}, false)) {
        ASSERT_TRUE(esperados.at(fila.Numero).pagada) << "invoice " << fila.Numero;
        ++pagadas;
    }
    EXPECT_EQ(pagadas, static_cast<size_t>(facturas / 2));
    EXPECT_EQ(bd->ListaFacturas(qint16(3), {}, {}, {}, true).size(), static_cast<size_t>(facturas / 2));

    // 1,500 kg at 14,95 €/kg is 22,425: 22,43 on the line, the note and the invoice.
    LineaFactura queso(*bd);
    ASSERT_TRUE(queso.FijarReferencia(901));
    queso.FijarCantidad(1.5);
    EXPECT_EQ(queso.Importe(), 22.43);
    Albaran a(*bd);
    a.WhoAmI();
    LineaAlbaran* l = a.NuevaLinea();
    ASSERT_TRUE(l->SetCodigo(901));
    l->FijarCantidadGramos(1500);
    EXPECT_EQ(a.ImporteBase(), 22.43);
    // 30,81 with 4 % VAT in it is 29,625 net: 29,63.
    EXPECT_EQ(SinIVA(30.81, 4), 29.63);
    // 614,05 at 21 % with 10 % off is a base of 552,645: 552,65 and VAT 116,06, printed as listed.
    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI(qint16(4)));
    f.Fecha = QDate(2025, 2, 1);
    ASSERT_TRUE(f.SetCliente(7));
    f.FijarDescuento(10);
    LineaFactura* portes = f.NuevaLinea();
    portes->FijarConcepto(QStringLiteral("Género"));
    portes->FijarImporte(614.05);
    portes->FijarpIVA(21);
    GrabadoraMascaras g;
    ASSERT_TRUE(f.Imprimir(g, QString()));
    Impreso(g.llamadas.back().valores, {{"@BASEIMPONIBLE", "552,65"}, {"@IVA", "116,06"}});
    f.Pagado = 668.71;
    ASSERT_TRUE(f.Update());
    const std::vector<FilaFactura> lista = bd->ListaFacturas(qint16(4), {}, {}, {}, false);
    ASSERT_EQ(lista.size(), 1u);
    EXPECT_EQ(lista[0].Neto, 552.65);
    EXPECT_EQ(lista[0].iva, 116.06);
}

// The most lines a note holds: every one is printed, and the printing ends. (An invoice of the
// most lines is printed whole by the batch tests.)
TEST_F(Impresion, ANoteOfTheMostLinesPrintsEveryLine)
{
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI());
    while (a.NuevaLinea()) {}
    ASSERT_EQ(a.NumeroLineas(), 32767);
    GrabadoraMascaras g;
    ASSERT_TRUE(a.Imprimir(g, QStringLiteral("/mascaras")));
    const std::vector<qint16> s = g.secciones();
    EXPECT_EQ(std::count(s.begin(), s.end(), qint16(1)), 32767);
    EXPECT_EQ(g.cierres, 1);
}

// Real PDFs: the head again on every page, every placeholder filled, and a long comment wrapped
// under its line, on the note and on the invoice, instead of being cut.
TEST_F(Impresion, RealPdfsRepeatTheHeadWrapLongCommentsAndFillEveryPlaceholder)
{
    AplicacionDePrueba();
    const QString comentario = QStringLiteral("Cortar en filetes finos sin piel ni espinas, envasar al vacío por raciones "
                                              "de doscientos gramos y entregar antes de las nueve FINCOMENTARIO");
    auto faltan = [&](QString texto) {  // the comment's words a printed text lacks
        texto.replace(QLatin1Char('\n'), QLatin1Char(' '));
        QStringList palabras;
        for (const QString& palabra : comentario.split(QLatin1Char(' ')))
            if (!texto.contains(palabra))
                palabras << palabra;
        return palabras;
    };
    Albaran a(*bd);
    nota(a, 60);
    a.Linea(2)->FijarComentario(comentario);
    const QString pdf = base->dir() + QStringLiteral("/albaran.pdf");
    PrinTxt p;
    p.ImprimirEnArchivo(pdf);
    ASSERT_TRUE(a.Imprimir(p, QStringLiteral(QUENZA_DATOS)));
    const QString texto = pdfATexto(pdf);
    const QStringList paginas = texto.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(paginas.size(), 2);
    for (const QString& pagina : paginas) {
        EXPECT_TRUE(pagina.contains(QStringLiteral("ALBARÁN")));
        EXPECT_TRUE(pagina.contains(QStringLiteral("BAR EL PUERTO")));
    }
    EXPECT_TRUE(paginas[0].contains(QStringLiteral("JAMON SERRANO LONCHAS")));
    EXPECT_TRUE(paginas[0].contains(QStringLiteral("muy fino")));
    EXPECT_TRUE(paginas[0].contains(QStringLiteral("05/03/2024")));
    EXPECT_EQ(faltan(texto), QStringList());
    EXPECT_TRUE(paginas.back().contains(QStringLiteral("TOTAL")));
    EXPECT_FALSE(texto.contains(QLatin1Char('@')));  // no placeholder left unfilled
    EXPECT_EQ(tituloPdf(pdf), QStringLiteral("Albarán %1").arg(NumeroConCeros(*a.Numero, 6)));

    Factura f(*bd);
    ASSERT_TRUE(f.WhoAmI());
    ASSERT_TRUE(f.SetCliente(7));
    f.NuevaLinea()->FijarTitulo(QStringLiteral("Albarán Nº1"));
    LineaFactura* jamon = f.NuevaLinea();
    ASSERT_TRUE(jamon->FijarReferencia(15));
    jamon->FijarCantidad(1);
    jamon->FijarComentario(comentario + QStringLiteral(" ") + comentario);
    LineaFactura* portes = f.NuevaLinea();
    portes->FijarConcepto(QStringLiteral("Portes"));
    portes->FijarImporte(5.0);
    PrinTxt pf;
    pf.ImprimirEnArchivo(base->dir() + QStringLiteral("/factura.pdf"));
    ASSERT_TRUE(f.Imprimir(pf, QStringLiteral(QUENZA_DATOS)));
    const QString factura = pdfATexto(base->dir() + QStringLiteral("/factura.pdf"));
    EXPECT_TRUE(factura.contains(QStringLiteral("TOTAL FACTURA")));
    EXPECT_TRUE(factura.contains(QStringLiteral("Portes")));
    EXPECT_EQ(faltan(factura), QStringList());
    EXPECT_FALSE(factura.contains(QStringLiteral("Total con envases")));  // @X hides the packages
    EXPECT_EQ(tituloPdf(base->dir() + QStringLiteral("/factura.pdf")), QStringLiteral("Factura A-000001"));
    EXPECT_FALSE(factura.contains(QLatin1Char('@')));
}

}  // namespace
