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

// Filled templates printed for real by the office suite into a PDF that is read back.
class LibreOffice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LibreOfficeHeadless().Disponible()) << "LibreOffice is installed by scripts/install-deps.sh --tests";
    }

    QString Imprimir(const QString& mascara, const std::vector<ValoresMascara>& llamadas)
    {
        const QString ruta = m_dir.filePath(QStringLiteral("mascara.txt"));
        EXPECT_TRUE(EscribirArchivo(ruta, mascara.toUtf8()));
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
        EXPECT_TRUE(m_avisos.textos.isEmpty()) << m_avisos.textos.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(QFileInfo::exists(pdf));
        return TextoPdf(pdf);
    }

    QTemporaryDir m_dir;
    Avisos m_avisos;
};

// A sheet prints alone, without the workbook's other sheets; a text with its table and field.
class LibreOfficeRelleno : public LibreOffice, public ::testing::WithParamInterface<const char*> {};

TEST_P(LibreOfficeRelleno, PrintsTheFilledTemplate)
{
    const QString archivo = QStringLiteral("plantilla.") + QLatin1String(GetParam());
    CrearPlantilla(m_dir.filePath(archivo), {QStringLiteral("Portada"), QStringLiteral("Lineas")});
    if (EsHojaDeCalculo(archivo)) {
        const QString texto = Imprimir(QStringLiteral("[PLANTILLA,%1:Lineas]\r\nB3=@N\r\nC4=Queso curado\r\nB5:9=@L\r\n").arg(archivo),
                                       {{{"Bar Pepe", "@N"}, {"linea uno", "@L"}}, {{"Bar Pepe", "@N"}, {"linea dos", "@L"}}});
        for (const char* esperado : {"Bar Pepe", "Queso curado", "linea uno", "linea dos"})
            EXPECT_TRUE(texto.contains(QLatin1String(esperado))) << esperado << "\n" << texto.toStdString();
        EXPECT_FALSE(texto.contains(QStringLiteral("Portada")));
    } else {
        const QString texto = Imprimir(QStringLiteral("[PLANTILLA,%1]\r\nT1F2C2=@D\r\ncliente=@C\r\n").arg(archivo),
                                       {{{"Jamón ibérico", "@D"}, {"Bar Pepe", "@C"}}});
        for (const char* esperado : {"Jamón ibérico", "Cliente: Bar Pepe", "3,1"})
            EXPECT_TRUE(texto.contains(QString::fromUtf8(esperado))) << esperado << "\n" << texto.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Formatos, LibreOfficeRelleno, ::testing::Values("xlsx", "ods", "odt", "docx"));

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
    const bool hoja = EsHojaDeCalculo(archivo);
    CrearPlantilla(m_dir.filePath(archivo), {QStringLiteral("Factura")});
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
