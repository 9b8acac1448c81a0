#include "impresoraactual.h"
#include "oficina.h"
#include "plantillasprueba.h"
#include "printxt.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString TextoPdf(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Filled templates printed for real by the office suite into a PDF that is read back.
class LibreOffice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LibreOfficeHeadless().Disponible()) << "LibreOffice is installed by scripts/install-deps.sh --tests";
        m_anterior = FijarAvisoImpresion([this](const QString& t) { m_avisos << t; });
    }
    void TearDown() override { FijarAvisoImpresion(m_anterior); }

    QString Imprimir(const QString& mascara, const std::vector<ValoresMascara>& llamadas)
    {
        const QString ruta = m_dir.filePath(QStringLiteral("mascara.txt"));
        QFile f(ruta);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(mascara.toUtf8());
        f.close();
        const QString pdf = m_dir.filePath(QStringLiteral("salida.pdf"));
        PrinTxt prn;
        prn.FijarImpresorOficina(std::make_unique<LibreOfficeHeadless>(QString(), 60));
        prn.ImprimirEnArchivo(pdf);
        EXPECT_TRUE(prn.CargaMascaras(ruta));
        EXPECT_NE(prn.ModoSalida(), PrinTxt::Modo::Impresora);
        int pagina = 1;
        for (const auto& v : llamadas)
            prn.Imprimir(0, pagina, v);
        prn.Cerrar();
        EXPECT_TRUE(m_avisos.isEmpty()) << m_avisos.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(QFileInfo::exists(pdf));
        return TextoPdf(pdf);
    }

    QTemporaryDir m_dir;
    QStringList m_avisos;
    AvisoImpresion m_anterior;
};

class LibreOfficeHoja : public LibreOffice, public ::testing::WithParamInterface<const char*> {};

TEST_P(LibreOfficeHoja, PrintsAFilledSheetAndOnlyThatSheet)
{
    const QString libro = QStringLiteral("libro.") + QLatin1String(GetParam());
    const QStringList hojas{QStringLiteral("Portada"), QStringLiteral("Lineas")};
    if (QLatin1String(GetParam()) == QLatin1String("ods"))
        CrearOds(m_dir.filePath(libro), hojas);
    else
        CrearXlsx(m_dir.filePath(libro), hojas);
    const QString texto = Imprimir(QStringLiteral("[PLANTILLA,%1:Lineas]\r\nB3=@N\r\nC4=Queso curado\r\nB5:9=@L\r\n").arg(libro),
                                   {{{"Bar Pepe", "@N"}, {"linea uno", "@L"}}, {{"Bar Pepe", "@N"}, {"linea dos", "@L"}}});
    EXPECT_TRUE(texto.contains(QStringLiteral("Bar Pepe"))) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("Queso curado")));
    EXPECT_TRUE(texto.contains(QStringLiteral("linea uno")));
    EXPECT_TRUE(texto.contains(QStringLiteral("linea dos")));
    EXPECT_FALSE(texto.contains(QStringLiteral("Portada")));
}

INSTANTIATE_TEST_SUITE_P(Formatos, LibreOfficeHoja, ::testing::Values("xlsx", "ods"));

class LibreOfficeTexto : public LibreOffice, public ::testing::WithParamInterface<const char*> {};

TEST_P(LibreOfficeTexto, PrintsAFilledDocument)
{
    const QString carta = QStringLiteral("carta.") + QLatin1String(GetParam());
    if (QLatin1String(GetParam()) == QLatin1String("odt"))
        CrearOdt(m_dir.filePath(carta), 3, 2);
    else
        CrearDocx(m_dir.filePath(carta), 3, 2);
    const QString texto = Imprimir(QStringLiteral("[PLANTILLA,%1]\r\nT1F2C2=@D\r\ncliente=@C\r\n").arg(carta),
                                   {{{"Jamón ibérico", "@D"}, {"Bar Pepe", "@C"}}});
    EXPECT_TRUE(texto.contains(QStringLiteral("Jamón ibérico"))) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("Cliente: Bar Pepe")));
    EXPECT_TRUE(texto.contains(QStringLiteral("3,1")));
}

INSTANTIATE_TEST_SUITE_P(Formatos, LibreOfficeTexto, ::testing::Values("odt", "docx"));

// The QR picture a template line places prints where the customer can scan it: the first page
// of the PDF, rendered, decodes to the address.
class LibreOfficeQR : public LibreOffice, public ::testing::WithParamInterface<const char*> {};

TEST_P(LibreOfficeQR, TheTaxQrCodePrintsAndScans)
{
    for (const char* programa : {"pdftoppm", "zbarimg"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(programa)).isEmpty())
            GTEST_SKIP() << programa << " is installed by scripts/install-deps.sh --tests";
    const QString formato = QLatin1String(GetParam());
    const QString archivo = QStringLiteral("factura.") + formato;
    const bool hoja = formato == QLatin1String("ods") || formato == QLatin1String("xlsx");
    if (formato == QLatin1String("ods"))
        CrearOds(m_dir.filePath(archivo), {QStringLiteral("Factura")});
    else if (formato == QLatin1String("xlsx"))
        CrearXlsx(m_dir.filePath(archivo), {QStringLiteral("Factura")});
    else if (formato == QLatin1String("odt"))
        CrearOdt(m_dir.filePath(archivo), 3, 2);
    else
        CrearDocx(m_dir.filePath(archivo), 3, 2);
    const QString url = QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?nif=B12345674&numserie=A-000007"
                                       "&fecha=04-01-2027&importe=121.00");
    const QString texto = Imprimir(hoja ? QStringLiteral("[PLANTILLA,%1:Factura]\r\nA1=[QR,36]@Q\r\nE3=@N\r\n").arg(archivo)
                                        : QStringLiteral("[PLANTILLA,%1]\r\nT1F1C1=[QR,36]@Q\r\nT1F2C2=@N\r\n").arg(archivo),
                                   {{{url, "@Q"}, {"Bar Pepe", "@N"}}});
    EXPECT_TRUE(texto.contains(QStringLiteral("Bar Pepe"))) << texto.toStdString();
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("200"), QStringLiteral("-f"), QStringLiteral("1"),
                                              QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"),
                                              m_dir.filePath(QStringLiteral("salida.pdf")), m_dir.filePath(QStringLiteral("pagina"))});
    ASSERT_TRUE(render.waitForFinished(60000));
    const QStringList paginas = QDir(m_dir.path()).entryList({QStringLiteral("pagina*.png")});
    ASSERT_EQ(paginas.size(), 1);
    QProcess lector;
    lector.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), m_dir.filePath(paginas[0])});
    ASSERT_TRUE(lector.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(lector.readAllStandardOutput()).trimmed(), url);
}

INSTANTIATE_TEST_SUITE_P(Formatos, LibreOfficeQR, ::testing::Values("ods", "xlsx", "odt", "docx"));

} // namespace
