#include "plantillasprueba.h"
#include "printxt.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// QUENZA_PDF_PRUEBAS names a folder where the PDFs are kept for a look.
QString Salida(const QTemporaryDir& dir, const char* nombre)
{
    const QString carpeta = qEnvironmentVariable("QUENZA_PDF_PRUEBAS");
    return QDir(carpeta.isEmpty() ? dir.path() : carpeta).filePath(QLatin1String(nombre));
}

QString Mascara(const char* nombre) { return QDir(QStringLiteral(QUENZA_DATA_DIR)).filePath(QLatin1String(nombre)); }

// Text of each page of a PDF, as pdftotext lays it out.
QStringList PaginasPdf(const QString& pdf)
{
    EXPECT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) << "pdftotext (poppler-utils) is needed";
    QStringList paginas = TextoPdf(pdf).split(QLatin1Char('\f'));
    if (!paginas.isEmpty() && paginas.last().trimmed().isEmpty())
        paginas.removeLast();
    return paginas;
}

ValoresMascara Cabecera(int pagina)
{
    return {{QString::number(pagina), "@PAG"},       {"A", "@ABC"},
            {"4711", "@NUMERO"},                     {"07/03/2024", "@FECHA"},
            {"305", "@CODCLI"},                      {"Bar Pepe, S.L.", "@NOMBRE"},
            {"Calle del Pez, 12", "@DIRECCION1"},    {"Local 3", "@DIRECCION2"},
            {"Polígono Sur", "@DIRECCION3"},         {"B12345678", "@NIF"},
            {"28013", "@CODPOSTAL"},                 {"Madrid", "@POBLACION"},
            {"MADRID", "@PROVINCIA"},                {"910 111 222", "@TELEFONO1"},
            {"600 333 444", "@TELEFONO2"},           {"ULTRAMARINOS PEPA, S.L.", "@EMPRESA_NOMBRE"},
            {"B12345674", "@EMPRESA_NIF"},           {"Calle Real, 3", "@EMPRESA_DIRECCION"},
            {"46001", "@EMPRESA_CODPOSTAL"},         {"Valencia", "@EMPRESA_POBLACION"},
            {"", "@EMPRESA_PROVINCIA"},              {"963 000 000", "@EMPRESA_TELEFONO"},
            {"", "@NUMSERIE"},                       {"", "@RECTIFICA"},
            {"", "@CODIGOQR"},                       {"", "@TITULOQR"},
            {"", "@LEYENDAQR"},                      {"", "@ANULADA"}};
}

// The documents pass every tag of a section, the unused ones empty.
ValoresMascara Completa(ValoresMascara v, const QStringList& marcas)
{
    for (const QString& m : marcas) {
        const bool esta = std::any_of(v.begin(), v.end(), [&](const ValorMascara& e) { return e.marca == m; });
        if (!esta)
            v.push_back({Valor(QString()), m});
    }
    return v;
}

const QStringList kLineaAlbaran{"@BULTOS", "@ENVASE", "@CODIGO", "@DESCRIPCION", "@PRECIO", "@UNIDAD", "@CANTIDAD",
                                "@IMPORTE", "@PCTDESCUENTO", "@IMPDESCUENTO", "@IMPDESCONTADO", "@IMPENVASE", "@IMPNETO"};
const QStringList kLineaFactura{"@TITULO", "@REFERENCIA", "@DESCRIPCION", "@CONCEPTO", "@PORCIENTO", "@CANTIDAD",
                                "@PRECIO", "@DESCUENTO", "@IMPORTE", "@BULTOS", "@ENVASE"};

// Prints as the documents do: the head first and again whenever a call starts a page.
template <typename Cuerpo>
void ImprimirDocumento(PrinTxt& prn, Cuerpo cuerpo)
{
    int pagina = 1;
    auto cabecera = [&] {
        prn.Imprimir(0, pagina, Cabecera(pagina));
        prn.ResetContador();
    };
    auto imprimir = [&](qint16 seccion, const ValoresMascara& v) {
        const int antes = pagina;
        prn.Imprimir(seccion, pagina, v);
        if (pagina > antes)
            cabecera();
    };
    cabecera();
    cuerpo(imprimir);
    prn.Cerrar();
}

TEST(MascarasEntregadas, DeliveryNotePrintsEveryPartAndRepeatsTheHead)
{
    QTemporaryDir dir;
    const QString pdf = Salida(dir, "albaran.pdf");
    {
        PrinTxt prn;
        prn.ImprimirEnArchivo(pdf);
        ASSERT_TRUE(prn.CargaMascaras(Mascara("mskAlba.txt")));
        ASSERT_EQ(prn.Secciones().size(), 3);
        ImprimirDocumento(prn, [](auto imprimir) {
            for (int i = 1; i <= 60; ++i) {
                imprimir(1, {{"2", "@BULTOS"},      {"0,30", "@ENVASE"},       {QStringLiteral("%1").arg(i, 7, 10, QLatin1Char('0')), "@CODIGO"},
                             {QStringLiteral("Artículo número %1").arg(i), "@DESCRIPCION"},
                             {"8,99", "@PRECIO"},   {"/k", "@UNIDAD"},         {"1,250", "@CANTIDAD"},
                             {"11,24", "@IMPORTE"}, {"10,0", "@PCTDESCUENTO"}, {"1,12", "@IMPDESCUENTO"},
                             {"10,12", "@IMPDESCONTADO"}, {"0,60", "@IMPENVASE"}, {"9,52", "@IMPNETO"}});
                if (i == 3)
                    imprimir(1, Completa({{"Cortado fino", "@DESCRIPCION"}}, kLineaAlbaran));
            }
            imprimir(2, {{"607,20", "@IMPORTE"}, {"12,14", "@DESCUENTOS"}, {"36,00", "@ENVASES"},
                         {"-1,20", "@ENV_DEV"}, {"37,20", "@ENV_ENT"}, {"631,06", "@TOTAL"}});
        });
    }
    const QStringList paginas = PaginasPdf(pdf);
    ASSERT_EQ(paginas.size(), 2);
    // The head on both pages, with the shop's own data, never a placeholder shop.
    const char* cabeza[] = {"ALBARÁN", "Bar Pepe, S.L.", "4711", "Descripción", "ULTRAMARINOS PEPA, S.L.", "NIF: B12345674", "46001 Valencia"};
    const std::vector<const char*> primera{"28013 Madrid", "Artículo número 1 ", "Cortado fino", "0000001", "10,12"};
    const std::vector<const char*> segunda{"Artículo número 60", "TOTAL", "631,06", "-1,20"};
    for (int i = 0; i < 2; ++i) {
        for (const char* texto : cabeza)
            EXPECT_TRUE(paginas[i].contains(QString::fromUtf8(texto))) << i << ": " << texto;
        for (const char* texto : i == 0 ? primera : segunda)
            EXPECT_TRUE(paginas[i].contains(QString::fromUtf8(texto))) << i << ": " << texto;
        EXPECT_FALSE(paginas[i].contains(QStringLiteral("SU COMERCIO")));
    }
    EXPECT_FALSE(paginas[0].contains(QStringLiteral("TOTAL")));
    EXPECT_FALSE(paginas.join(QString()).contains(QLatin1Char('@')));
    // The "Neto" column is the amount the totals add (10,12; the packaging goes in its own
    // column): never the net less the packaging, which the total then adds back.
    EXPECT_FALSE(paginas.join(QString()).contains(QStringLiteral("9,52")));
}

TEST(MascarasEntregadas, InvoicePrintsLinesVatRowsAndTotals)
{
    QTemporaryDir dir;
    const QString pdf = Salida(dir, "factura.pdf");
    {
        PrinTxt prn;
        prn.ImprimirEnArchivo(pdf);
        ASSERT_TRUE(prn.CargaMascaras(Mascara("mskFact.txt")));
        ASSERT_EQ(prn.Secciones().size(), 6);
        ImprimirDocumento(prn, [](auto imprimir) {
            imprimir(1, Completa({{"Albarán 4711 del 07/03/2024", "@TITULO"}}, kLineaFactura));
            imprimir(2, {{"", "@TITULO"}, {"0000123", "@REFERENCIA"}, {"Queso manchego curado", "@DESCRIPCION"},
                         {"", "@CONCEPTO"}, {"10,0", "@PORCIENTO"}, {"2,500", "@CANTIDAD"}, {"12,00", "@PRECIO"},
                         {"5,00", "@DESCUENTO"}, {"28,50", "@IMPORTE"}, {"", "@BULTOS"}, {"", "@ENVASE"}});
            imprimir(1, Completa({{"Portes", "@CONCEPTO"}, {"21,0", "@PORCIENTO"}, {"15,00", "@IMPORTE"}}, kLineaFactura));
            imprimir(3, Cabecera(1));
            imprimir(4, {{"10,0", "@PCIVA"}, {"", "@PCREQ"}, {"28,50", "@NETO"}, {"", "@DESCUENTO"}, {"", "@DESCTOPP"},
                         {"28,50", "@BASEIMPONIBLE"}, {"2,85", "@IVA"}, {"", "@REQ"}, {"31,35", "@IMPORTE"}});
            imprimir(4, {{"21,0", "@PCIVA"}, {"", "@PCREQ"}, {"15,00", "@NETO"}, {"", "@DESCUENTO"}, {"", "@DESCTOPP"},
                         {"15,00", "@BASEIMPONIBLE"}, {"3,15", "@IVA"}, {"", "@REQ"}, {"18,15", "@IMPORTE"}});
            imprimir(5, {{"43,50", "@NETO"}, {"", "@DESCUENTO"}, {"43,50", "@BASEIMPONIBLE"}, {"6,00", "@IVA"},
                         {"", "@REQ"}, {"49,50", "@IMPORTE"}, {"", "@ENVASES"}, {"", "@ENV_DEV"}, {"", "@ENV_ENT"},
                         {"49,50", "@TOTALENVASES"}, {"N", "@X"}});
        });
    }
    const QStringList paginas = PaginasPdf(pdf);
    ASSERT_EQ(paginas.size(), 1);
    const QString& p = paginas[0];
    for (const char* esperado : {"FACTURA", "Bar Pepe, S.L.", "ULTRAMARINOS PEPA, S.L.", "NIF: B12345674", "963 000 000", "Albarán 4711 del 07/03/2024", "Queso manchego curado",
                                 "0000123", "Portes", "Base imponible", "28,50", "3,15", "TOTAL FACTURA", "49,50"})
        EXPECT_TRUE(p.contains(QString::fromUtf8(esperado))) << esperado;
    // Without packages the packaging lines stay out.
    EXPECT_FALSE(p.contains(QStringLiteral("Total con envases")));
    EXPECT_FALSE(p.contains(QStringLiteral("Envases entregados")));
    EXPECT_FALSE(p.contains(QLatin1Char('@')));
}

} // namespace
