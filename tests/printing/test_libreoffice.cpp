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

} // namespace
