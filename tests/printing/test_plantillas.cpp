#include "oficina.h"
#include "plantilla.h"
#include "plantillasprueba.h"
#include "printxt.h"
#include "superficiegrabada.h"
#include "xml.h"
#include "zip.h"

#include "formato.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The office suite stood in for: remembers every printed copy.
class OficinaFalsa : public ImpresorOficina {
public:
    explicit OficinaFalsa(bool disponible = true) : m_disponible(disponible) {}
    bool Disponible() const override { return m_disponible; }
    QString Convertir(const QString& archivo, const QString& formato, const QString& carpeta, QString*) override
    {
        convertidos << archivo;
        const QString destino = carpeta + QStringLiteral("/convertido.") + formato;
        CrearPlantilla(destino, {QStringLiteral("Hoja1")}, 3, 3);
        return destino;
    }
    bool Imprimir(const QString& archivo, const QString&, const QString&, QString*) override
    {
        const QString copia = m_dir.filePath(QStringLiteral("impreso%1.%2").arg(impresos.size()).arg(QFileInfo(archivo).suffix()));
        QFile::copy(archivo, copia);
        impresos << copia;
        return true;
    }

    QStringList convertidos;
    QStringList impresos;

private:
    bool m_disponible;
    QTemporaryDir m_dir;
};

// ---------------------------------------------------------------------------------------

TEST(ArchivoZip, WritesWhatItReadsAndRefusesDamagedInput)
{
    ArchivoZip z;
    z.Poner(QStringLiteral("mimetype"), "application/x-prueba", false);
    z.Poner(QStringLiteral("vacío.txt"), QByteArray());
    z.Poner(QStringLiteral("datos/grande.bin"), QByteArray(100000, 'q'));
    ArchivoZip leido;
    QString error;
    ASSERT_TRUE(leido.Leer(z.Escribir(), &error)) << error.toStdString();
    ASSERT_EQ(leido.Entradas().size(), 3u);
    EXPECT_EQ(leido.Entradas()[0].nombre, QStringLiteral("mimetype"));
    EXPECT_FALSE(leido.Entradas()[0].comprimida);
    EXPECT_TRUE(leido.Datos(QStringLiteral("vacío.txt"))->isEmpty());
    EXPECT_EQ(*leido.Datos(QStringLiteral("datos/grande.bin")), QByteArray(100000, 'q'));

    ArchivoZip corto;
    corto.Poner(QStringLiteral("a.txt"), QByteArray("hola hola hola hola"), false);
    const QByteArray bueno = corto.Escribir();
    QByteArray cambiado = bueno;
    cambiado[40] = 'X';  // inside the stored data: checksum no longer matches
    EXPECT_FALSE(leido.Leer(cambiado, &error));
    EXPECT_FALSE(leido.Leer(bueno.left(bueno.size() - 5), &error));
    EXPECT_FALSE(leido.Leer(QByteArray("PK\x05\x06 basura"), &error));
    EXPECT_FALSE(leido.Leer(QByteArray(), &error));
    EXPECT_TRUE(leido.Entradas().empty());
}

TEST(HojaPlantilla, ALinkClimbingOutOfThePackageIsAMissingSheet)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("mala.xlsx"));
    CrearXlsx(ruta, {QStringLiteral("Factura")});
    ArchivoZip z;
    ASSERT_TRUE(z.LeerArchivo(ruta, nullptr));
    ASSERT_NE(z.Datos(QStringLiteral("xl/_rels/workbook.xml.rels")), nullptr);
    QByteArray rels = *z.Datos(QStringLiteral("xl/_rels/workbook.xml.rels"));
    rels.replace("Target=\"worksheets/", "Target=\"../../../../worksheets/");
    z.Poner(QStringLiteral("xl/_rels/workbook.xml.rels"), rels);
    ASSERT_TRUE(z.GuardarArchivo(ruta));
    QString error;
    std::unique_ptr<HojaPlantilla> hoja = HojaPlantilla::Abrir(ruta, &error);
    if (hoja) {
        EXPECT_FALSE(hoja->SeleccionarHoja(QStringLiteral("Factura")));
    }
}

TEST(DocumentoXml, KeepsNamespacesSpacesAndComments)
{
    const QByteArray fuente =
        R"(<w:document xmlns:w="urn:w" xmlns="urn:d"><!-- nota --><w:t xml:space="preserve"> a  &amp; b </w:t><w:t> </w:t><x a="1&quot;2"/></w:document>)";
    DocumentoXml xml;
    QString error;
    ASSERT_TRUE(xml.Leer(fuente, &error));
    const QByteArray escrito = xml.Escribir();
    EXPECT_TRUE(escrito.endsWith(fuente)) << escrito.toStdString();
    EXPECT_FALSE(xml.Leer("<a><b></a>", &error));
}

// ---------------------------------------------------------------------------------------

// A template of the format named by the parameter, made and saved in a folder of its own.
class ConFormato : public ::testing::TestWithParam<const char*> {
protected:
    QString Ruta(const char* nombre) const { return m_dir.filePath(QLatin1String(nombre) + QLatin1Char('.') + QLatin1String(GetParam())); }
    QString Crear(const QStringList& hojas = {})
    {
        const QString ruta = Ruta("plantilla");
        CrearPlantilla(ruta, hojas, 4, 3);
        return ruta;
    }
    QTemporaryDir m_dir;
};
class HojaFormatos : public ConFormato {};
class DocumentoFormatos : public ConFormato {};

TEST_P(HojaFormatos, WritesNumbersDatesTextsAndNamesIntoTheChosenSheet)
{
    QString error;
    auto hoja = HojaPlantilla::Abrir(Crear({QStringLiteral("Datos"), QStringLiteral("Hoja2")}), &error);
    ASSERT_TRUE(hoja) << error.toStdString();
    EXPECT_FALSE(hoja->SeleccionarHoja(QStringLiteral("Nada")));
    ASSERT_TRUE(hoja->SeleccionarHoja(QStringLiteral("DATOS")));
    EXPECT_TRUE(hoja->Escribir(QStringLiteral("B12"), 12.5));
    EXPECT_TRUE(hoja->Escribir(QStringLiteral("$C$5"), QDate(2024, 2, 29)));
    EXPECT_TRUE(hoja->Escribir(QStringLiteral("D7"), QStringLiteral("  dos  espacios")));
    EXPECT_TRUE(hoja->Escribir(QStringLiteral("Total"), QStringLiteral("en D20")));
    EXPECT_TRUE(hoja->Escribir(QStringLiteral("AA500"), 7));
    EXPECT_TRUE(hoja->Escribir(QStringLiteral("A1"), QString()));
    EXPECT_FALSE(hoja->Escribir(QStringLiteral("NoDefinido"), 1));
    EXPECT_FALSE(hoja->Escribir(QStringLiteral("B0"), 1));

    const QString copia = Ruta("copia");
    ASSERT_TRUE(hoja->Guardar(copia));
    auto leida = HojaPlantilla::Abrir(copia, &error);
    ASSERT_TRUE(leida) << error.toStdString();
    ASSERT_TRUE(leida->SeleccionarHoja(QStringLiteral("datos")));
    EXPECT_EQ(leida->Leer(QStringLiteral("B12")), QStringLiteral("12.5"));
    EXPECT_EQ(leida->Leer(QStringLiteral("C5")), QStringLiteral("2024-02-29"));
    EXPECT_EQ(leida->Leer(QStringLiteral("D7")), QStringLiteral("  dos  espacios"));
    EXPECT_EQ(leida->Leer(QStringLiteral("D20")), QStringLiteral("en D20"));
    EXPECT_EQ(leida->Leer(QStringLiteral("AA500")), QStringLiteral("7"));
    EXPECT_EQ(leida->Leer(QStringLiteral("A1")).value_or(QString()), QString());
    // Neighbours of a written cell inside a run of repeated empty cells stay empty.
    EXPECT_EQ(leida->Leer(QStringLiteral("B11")).value_or(QString()), QString());
    EXPECT_EQ(leida->Leer(QStringLiteral("A12")).value_or(QString()), QString());
    EXPECT_EQ(leida->Leer(QStringLiteral("C12")).value_or(QString()), QString());
    ASSERT_TRUE(leida->SeleccionarHoja(QStringLiteral("Hoja2")));
    EXPECT_EQ(leida->Leer(QStringLiteral("A1")), QStringLiteral("Hoja2"));
    EXPECT_EQ(leida->Leer(QStringLiteral("B12")).value_or(QString()), QString());
}

INSTANTIATE_TEST_SUITE_P(Formatos, HojaFormatos, ::testing::Values("ods", "xlsx"));

TEST_P(DocumentoFormatos, WritesTableCellsAndVariables)
{
    QString error;
    auto doc = DocumentoPlantilla::Abrir(Crear(), &error);
    ASSERT_TRUE(doc) << error.toStdString();
    EXPECT_EQ(doc->Tablas(), 2);
    EXPECT_EQ(doc->Filas(1), 4);
    EXPECT_EQ(doc->Columnas(1), 3);
    EXPECT_EQ(doc->Filas(3), 0);
    EXPECT_EQ(doc->LeerCelda(1, 2, 3), QStringLiteral("2,3"));
    EXPECT_TRUE(doc->EscribirCelda(1, 2, 3, QStringLiteral("nuevo")));
    EXPECT_TRUE(doc->EscribirCelda(2, 2, 2, QStringLiteral("pie")));
    EXPECT_FALSE(doc->EscribirCelda(1, 5, 1, QStringLiteral("x")));
    EXPECT_FALSE(doc->EscribirCelda(1, 1, 4, QStringLiteral("x")));
    EXPECT_TRUE(doc->FijarVariable(QStringLiteral("CLIENTE"), QStringLiteral("Bar Pepe")));
    EXPECT_FALSE(doc->FijarVariable(QStringLiteral("Otra"), QStringLiteral("x")));

    const QString copia = Ruta("copia");
    ASSERT_TRUE(doc->Guardar(copia));
    auto leido = DocumentoPlantilla::Abrir(copia, &error);
    ASSERT_TRUE(leido) << error.toStdString();
    EXPECT_EQ(leido->LeerCelda(1, 2, 3), QStringLiteral("nuevo"));
    EXPECT_EQ(leido->LeerCelda(1, 2, 2), QStringLiteral("2,2"));
    EXPECT_EQ(leido->LeerCelda(2, 2, 2), QStringLiteral("pie"));
    EXPECT_EQ(leido->LeerVariable(QStringLiteral("cliente")), QStringLiteral("Bar Pepe"));

    // The cell keeps its format and the field shows the new value without an update.
    ArchivoZip zip;
    ASSERT_TRUE(zip.LeerArchivo(copia, &error));
    const bool odt = QLatin1String(GetParam()) == QLatin1String("odt");
    const QByteArray cuerpo = *zip.Datos(odt ? QStringLiteral("content.xml") : QStringLiteral("word/document.xml"));
    EXPECT_TRUE(cuerpo.contains(odt ? "<text:p text:style-name=\"Celda\">nuevo</text:p>"
                                    : "<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">nuevo</w:t></w:r>"));
    EXPECT_TRUE(cuerpo.contains(odt ? ">Bar Pepe</text:user-field-get>" : ">Bar Pepe</w:t>"));
}

INSTANTIATE_TEST_SUITE_P(Formatos, DocumentoFormatos, ::testing::Values("odt", "docx"));

// ---------------------------------------------------------------------------------------

class Plantillas : public ::testing::Test {
protected:
    void SetUp() override { FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain)); }

    // Loads a mask beside its template; the engine draws on a recording in printer mode.
    void Cargar(const QString& mascara, bool disponible = true)
    {
        auto oficina = std::make_unique<OficinaFalsa>(disponible);
        m_oficina = oficina.get();
        auto sup = std::make_unique<SuperficieGrabada>();
        m_sup = sup.get();
        m_prn = std::make_unique<PrinTxt>(std::move(sup));
        m_prn->FijarImpresorOficina(std::move(oficina));
        QObject::connect(m_prn.get(), &PrinTxt::SaltoPagina, [this](bool& cancelar) {
            ++m_saltos;
            cancelar = m_cancelar;
        });
        const QString ruta = m_dir.filePath(QStringLiteral("mascara.txt"));
        ASSERT_TRUE(EscribirArchivo(ruta, mascara.toUtf8()));
        ASSERT_TRUE(m_prn->CargaMascaras(ruta));
    }

    void Imprimir(const ValoresMascara& v) { m_prn->Imprimir(0, m_pagina, v); }

    std::unique_ptr<HojaPlantilla> Impresa(int i, const QString& hoja = QStringLiteral("Lineas"))
    {
        QString error;
        auto h = HojaPlantilla::Abrir(m_oficina->impresos.value(i), &error);
        EXPECT_TRUE(h && h->SeleccionarHoja(hoja)) << error.toStdString();
        return h;
    }

    QTemporaryDir m_dir;
    Avisos m_avisos;
    OficinaFalsa* m_oficina = nullptr;
    SuperficieGrabada* m_sup = nullptr;
    std::unique_ptr<PrinTxt> m_prn;
    int m_pagina = 1;
    int m_saltos = 0;
    bool m_cancelar = false;
};

TEST_F(Plantillas, RowLimitFillsRowsThenPrintsThePageUnlessCancelledAndDropsWhatIsBeyond)
{
    CrearOds(m_dir.filePath(QStringLiteral("albaran.ods")), {QStringLiteral("Portada"), QStringLiteral("Lineas")});
    Cargar(QStringLiteral("[PLANTILLA,albaran.ods:lineas]\r\nb12:13=@V\r\n"));
    ASSERT_EQ(m_prn->ModoSalida(), PrinTxt::Modo::HojaCalculo);
    m_prn->ResetContador();
    Imprimir({{Valor("uno"), "@V"}});
    EXPECT_EQ(m_saltos, 0);
    Imprimir({{Valor("dos"), "@V"}});
    EXPECT_EQ(m_saltos, 1);
    EXPECT_EQ(m_pagina, 2);
    ASSERT_EQ(m_oficina->impresos.size(), 1);
    auto pagina1 = Impresa(0);
    EXPECT_EQ(pagina1->Leer(QStringLiteral("B12")), QStringLiteral("uno"));
    EXPECT_EQ(pagina1->Leer(QStringLiteral("B13")), QStringLiteral("dos"));
    // The next page starts from the clean template; row 14 is beyond the limit.
    EXPECT_EQ(m_prn->Hoja()->Leer(QStringLiteral("B12")).value_or(QString()), QString());
    Imprimir({{Valor("tres"), "@V"}});
    EXPECT_EQ(m_prn->Hoja()->Leer(QStringLiteral("B14")).value_or(QString()), QString());
    m_prn->Cerrar();
    EXPECT_EQ(m_oficina->impresos.size(), 2);
    EXPECT_TRUE(m_avisos.textos.isEmpty()) << m_avisos.textos.join(QLatin1Char('|')).toStdString();

    // A cancelled break keeps filling the same page.
    Cargar(QStringLiteral("[PLANTILLA,albaran.ods:Lineas]\r\nB1:1=@V\r\n"));
    m_cancelar = true;
    m_pagina = 1;
    Imprimir({{Valor("x"), "@V"}});
    EXPECT_EQ(m_saltos, 2);
    EXPECT_EQ(m_pagina, 1);
    EXPECT_TRUE(m_oficina->impresos.isEmpty());
    EXPECT_EQ(m_prn->Hoja()->Leer(QStringLiteral("B1")), QStringLiteral("x"));
}

TEST_F(Plantillas, SpreadsheetLinesTypeTheirValuesAndOldFormatsAreConvertedFirst)
{
    CrearXlsx(m_dir.filePath(QStringLiteral("factura.xlsx")), {QStringLiteral("Lineas")});
    Cargar(QStringLiteral("[PLANTILLA,factura.xlsx:Lineas]\r\n"
                          "'A2=comentario\r\n"
                          "A2=1.234,5\r\n"
                          "A3=07/03/2024\r\n"
                          "A4=Bar Pepe\r\n"
                          "total=@T\r\n"
                          "ABC5:9=no\r\n"
                          "B5:X=no\r\n"
                          "sin igual\r\n"));
    Imprimir({{Valor("99"), "@T"}});
    HojaPlantilla* h = m_prn->Hoja();
    ASSERT_TRUE(h);
    EXPECT_EQ(h->Leer(QStringLiteral("A2")), QStringLiteral("1234.5"));
    EXPECT_EQ(h->Leer(QStringLiteral("A3")), QStringLiteral("2024-03-07"));
    EXPECT_EQ(h->Leer(QStringLiteral("A4")), QStringLiteral("Bar Pepe"));
    EXPECT_EQ(h->Leer(QStringLiteral("D20")), QStringLiteral("99"));
    EXPECT_EQ(h->Leer(QStringLiteral("B5")).value_or(QString()), QString());

    // Old formats are converted first.
    ASSERT_TRUE(EscribirArchivo(m_dir.filePath(QStringLiteral("viejo.xls")), "BIFF"));
    Cargar(QStringLiteral("[PLANTILLA,viejo.xls:Hoja1]\r\nB2=x\r\n"));
    ASSERT_EQ(m_oficina->convertidos.size(), 1);
    EXPECT_TRUE(m_oficina->convertidos[0].endsWith(QStringLiteral("viejo.xls")));
    EXPECT_EQ(m_prn->ModoSalida(), PrinTxt::Modo::HojaCalculo);
    Imprimir({});
    EXPECT_EQ(m_prn->Hoja()->Leer(QStringLiteral("B2")), QStringLiteral("x"));
}

TEST_F(Plantillas, WordCellsByEitherAddressFormAndVariablesByName)
{
    CrearOdt(m_dir.filePath(QStringLiteral("carta.odt")), 4, 3);
    Cargar(QStringLiteral("[PLANTILLA,carta.odt]\r\n"
                          "T1F1C2=@A\r\n"
                          "t1c3f2=@B\r\n"
                          "T1C1F2:4=@L\r\n"
                          "T2F1:2C1=@L\r\n"
                          "CLIENTE=@C\r\n"
                          "T3F1C1=no\r\nT1F5C1=no\r\nT1F1C4=no\r\nT1F1:9C1=no\r\nOtra=no\r\n"));
    ASSERT_EQ(m_prn->ModoSalida(), PrinTxt::Modo::Procesador);
    m_prn->ResetContador();
    const ValoresMascara v{{Valor("a"), "@A"}, {Valor("b"), "@B"}, {Valor("Bar Pepe"), "@C"}, {Valor("l1"), "@L"}};
    Imprimir(v);
    DocumentoPlantilla* d = m_prn->Documento();
    EXPECT_EQ(d->LeerCelda(1, 1, 2), QStringLiteral("a"));
    EXPECT_EQ(d->LeerCelda(1, 2, 3), QStringLiteral("b"));
    EXPECT_EQ(d->LeerCelda(1, 2, 1), QStringLiteral("l1"));
    EXPECT_EQ(d->LeerCelda(2, 1, 1), QStringLiteral("l1"));
    EXPECT_EQ(d->LeerVariable(QStringLiteral("Cliente")), QStringLiteral("Bar Pepe"));
    EXPECT_EQ(d->LeerCelda(1, 1, 1), QStringLiteral("1,1"));
    // Second call: the second table reaches its limit of 2 rows and the page is printed.
    Imprimir({{Valor("l2"), "@L"}});
    EXPECT_EQ(m_saltos, 1);
    EXPECT_EQ(m_pagina, 2);
    ASSERT_EQ(m_oficina->impresos.size(), 1);
    QString error;
    auto impreso = DocumentoPlantilla::Abrir(m_oficina->impresos[0], &error);
    ASSERT_TRUE(impreso);
    EXPECT_EQ(impreso->LeerCelda(1, 3, 1), QStringLiteral("l2"));
    EXPECT_EQ(impreso->LeerCelda(2, 2, 1), QStringLiteral("l2"));
}

// A template that cannot be used says why once and the mask prints on paper instead.
TEST_F(Plantillas, AnUnusableTemplateFallsBackToThePrinterWithOneMessage)
{
    CrearOds(m_dir.filePath(QStringLiteral("albaran.ods")), {QStringLiteral("Lineas")});
    ASSERT_TRUE(EscribirArchivo(m_dir.filePath(QStringLiteral("roto.docx")), "esto no es un documento"));
    const struct {
        const char* plantilla;
        bool oficina;
        const char* aviso;
    } casos[] = {
        {"albaran.ods:NoHay", true, "Hoja 'NoHay' no encontrada."},
        {"roto.docx", true, ""},
        {"noexiste.xlsx:Hoja1", true, ""},
        {"albaran.ods:Lineas", false, "LibreOffice"},  // without the office suite
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.plantilla);
        m_avisos.textos.clear();
        Cargar(QStringLiteral("[PLANTILLA,%1]\r\n[,10,10,,,,0,]en papel\r\n").arg(QLatin1String(c.plantilla)), c.oficina);
        ASSERT_EQ(m_avisos.textos.size(), 1);
        EXPECT_TRUE(m_avisos.textos[0].contains(QString::fromUtf8(c.aviso))) << m_avisos.textos[0].toStdString();
        EXPECT_EQ(m_prn->ModoSalida(), PrinTxt::Modo::Impresora);
        Imprimir({});
        EXPECT_EQ(m_sup->De(Trazo::Tipo::Texto).size(), 1u);
    }
}

// What zbarimg reads in a PNG: the decoded text, empty when it finds no symbol.
QString LeerSimbolo(const QByteArray& png)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("codigo.png"));
    if (!EscribirArchivo(ruta, png))
        return {};
    QProcess p;
    p.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), ruta});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// "[QR,side]text" in a template line places the text's QR symbol as a picture at that cell;
// with no text (the records mode off) nothing is placed.
class PlantillasQR : public Plantillas, public ::testing::WithParamInterface<const char*> {};

TEST_P(PlantillasQR, APictureOfTheSymbolGoesInTheCellAndNothingWithoutText)
{
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        GTEST_SKIP() << "zbarimg (zbar-tools) is installed by scripts/install-deps.sh --tests";
    const QString formato = QLatin1String(GetParam());
    const QString archivo = QStringLiteral("factura.") + formato;
    const bool hoja = EsHojaDeCalculo(archivo);
    CrearPlantilla(m_dir.filePath(archivo), {QStringLiteral("Factura")});
    const QString url = QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR?nif=B12345674&numserie=A-000001&fecha=04-01-2027"
                                       "&importe=121.00");
    const QString celda = hoja ? QStringLiteral("B2") : QStringLiteral("T1F1C1");
    const QString mascara = QStringLiteral("[PLANTILLA,%1]\r\n%2=[QR,36]@CODIGOQR\r\n%3=@N\r\n")
                                .arg(hoja ? archivo + QStringLiteral(":Factura") : archivo, celda,
                                     hoja ? QStringLiteral("C3") : QStringLiteral("T1F2C2"));
    for (int i = 0; i < 2; ++i) {
        Cargar(mascara);
        Imprimir({{Valor(i == 0 ? url : QString()), "@CODIGOQR"}, {Valor("Bar Pepe"), "@N"}});
        m_prn->Cerrar();
        ASSERT_EQ(m_oficina->impresos.size(), 1);
        EXPECT_TRUE(m_avisos.textos.isEmpty()) << m_avisos.textos.join(QLatin1Char('|')).toStdString();
        ArchivoZip zip;
        QString error;
        ASSERT_TRUE(zip.LeerArchivo(m_oficina->impresos[0], &error)) << error.toStdString();
        QStringList imagenes;
        QString partes;
        for (const auto& e : zip.Entradas()) {
            if (e.nombre.endsWith(QLatin1String(".png")))
                imagenes << e.nombre;
            else if (e.nombre.endsWith(QLatin1String(".xml")) || e.nombre.endsWith(QLatin1String(".rels")))
                partes += QString::fromUtf8(e.datos);
        }
        if (i == 1) {
            EXPECT_TRUE(imagenes.isEmpty()) << imagenes.join(u' ').toStdString();
            continue;
        }
        ASSERT_EQ(imagenes.size(), 1);
        EXPECT_EQ(LeerSimbolo(*zip.Datos(imagenes[0])), url);
        // Linked from the document by its name, 36 mm square, the text of the cell beside it kept.
        const QString nombre = imagenes[0].mid(imagenes[0].lastIndexOf(u'/') + 1);
        EXPECT_TRUE(partes.contains(nombre)) << partes.toStdString();
        EXPECT_TRUE(partes.contains(QStringLiteral("36.00mm")) || partes.contains(QStringLiteral("\"1296000\""))) << partes.toStdString();
        EXPECT_TRUE(partes.contains(QStringLiteral("Bar Pepe")));
        if (formato == QLatin1String("xlsx") || formato == QLatin1String("docx")) {
            EXPECT_TRUE(partes.contains(QStringLiteral("Extension=\"png\"")));
        }
        if (formato == QLatin1String("ods") || formato == QLatin1String("odt")) {
            EXPECT_TRUE(partes.contains(QStringLiteral("manifest:full-path=\"%1\"").arg(imagenes[0])));
        }
        // Every part still reads as XML.
        for (const auto& e : zip.Entradas())
            if (e.nombre.endsWith(QLatin1String(".xml")) || e.nombre.endsWith(QLatin1String(".rels"))) {
                DocumentoXml xml;
                EXPECT_TRUE(xml.Leer(e.datos, &error)) << e.nombre.toStdString() << ": " << error.toStdString();
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Formatos, PlantillasQR, ::testing::Values("ods", "xlsx", "odt", "docx"));

}  // namespace
