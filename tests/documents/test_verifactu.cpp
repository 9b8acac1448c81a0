// Invoices in VERI*FACTU mode: the record each one gets, its XML against the agency's schemas,
// the chain check and the export.

#include "documentos_prueba.h"
#include "factura.h"
#include "printxt.h"
#include "verifactu.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

using verifactu::Registro;

// Where the agency's schemas are; tests that need them are skipped, saying why, without them.
QString Esquema()
{
    return QStringLiteral(QUENZA_ESQUEMAS_VERIFACTU) + QStringLiteral("/SuministroLR.xsd");
}

// xmllint's verdict on the document: empty when valid.
QString Invalido(const QByteArray& xml)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("registro.xml"));
    QFile f(ruta);
    f.open(QIODevice::WriteOnly);
    f.write(xml);
    f.close();
    QProcess p;
    p.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--schema"), Esquema(), ruta});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError());
}

bool HayEsquemas()
{
    return QFile::exists(Esquema()) && !QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty();
}

#define NECESITA_ESQUEMAS()                                                                                          \
    if (!HayEsquemas())                                                                                              \
    GTEST_SKIP() << "the agency's schemas (QUENZA_ESQUEMAS_VERIFACTU) or xmllint are not here: " << Esquema().toStdString()

// What an invoice printed to PDF shows on each page: the QR symbol zbarimg decodes and the
// page's text.
struct PaginaImpresa {
    QString codigo;
    QString texto;
};

#define NECESITA_LECTOR_QR()                                                                                         \
    for (const char* programa : {"pdftoppm", "zbarimg", "pdftotext"})                                                \
        if (QStandardPaths::findExecutable(QString::fromLatin1(programa)).isEmpty())                                 \
    GTEST_SKIP() << programa << " is not installed (poppler-utils, zbar-tools)"

std::vector<PaginaImpresa> ImprimirYLeer(Factura& f, const QString& carpetaMascaras)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("factura.pdf"));
    PrinTxt p;
    p.ImprimirEnArchivo(pdf);
    EXPECT_TRUE(f.Imprimir(p, carpetaMascaras));
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("200"), QStringLiteral("-png"), pdf,
                                              dir.filePath(QStringLiteral("pagina"))});
    render.waitForFinished(60000);
    QProcess texto;
    texto.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    texto.waitForFinished(60000);
    const QStringList textos = QString::fromUtf8(texto.readAllStandardOutput()).split(QLatin1Char('\f'));
    std::vector<PaginaImpresa> paginas;
    for (const QString& png : QDir(dir.path()).entryList({QStringLiteral("pagina*.png")}, QDir::Files, QDir::Name)) {
        PaginaImpresa pagina;
        QProcess zbar;
        zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--xml"), QStringLiteral("-q"), dir.filePath(png)});
        zbar.waitForFinished(60000);
        const QString xml = QString::fromUtf8(zbar.readAllStandardOutput());
        static const QRegularExpression dato(QStringLiteral("<data><!\\[CDATA\\[(.*?)\\]\\]></data>"),
                                             QRegularExpression::DotMatchesEverythingOption);
        if (const QRegularExpressionMatch m = dato.match(xml); m.hasMatch())
            pagina.codigo = m.captured(1).trimmed();
        pagina.texto = static_cast<qsizetype>(paginas.size()) < textos.size() ? textos[static_cast<qsizetype>(paginas.size())] : QString();
        paginas.push_back(pagina);
    }
    return paginas;
}

class Verifactu : public DocumentosDePrueba {
protected:
    void SetUp() override
    {
        DocumentosDePrueba::SetUp();
        cliente(1, QStringLiteral("BAR CENTRAL"));            // NIF B46000006
        cliente(2, QStringLiteral("HOTEL PLAYA"), true);      // pays the surcharge
        m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF, UsaREq, Descuento) VALUES (3, 'PARTICULAR', '', 0, 0)"));
        bd->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), QStringLiteral("1"), {}, true});
    }
    // A new invoice of `cli` with a line of `importe` at each VAT given, stored.
    std::unique_ptr<Factura> factura(qint32 cli, std::initializer_list<std::pair<double, float>> lineas, double envase = 0)
    {
        auto f = std::make_unique<Factura>(*bd);
        EXPECT_TRUE(f->WhoAmI());
        f->Fecha = QDate(2027, 1, 4);
        EXPECT_TRUE(f->SetCliente(cli));
        for (const auto& [importe, iva] : lineas)
            linea(*f, importe, iva)->FijarpREQ(Factura::RecargoDeIVA(iva));
        if (envase != 0) {
            LineaFactura* l = f->NuevaLinea();
            l->FijarConcepto(QStringLiteral("Cajas"));
            l->FijarBultos(24);
            EXPECT_TRUE(l->FijarEnvase(envase));
        }
        EXPECT_TRUE(f->Update()) << f->UltimoError().toStdString();
        return f;
    }
    // A line of `importe` at `iva` on `f`.
    static LineaFactura* linea(Factura& f, double importe, float iva, const QString& concepto = QStringLiteral("Género"))
    {
        LineaFactura* l = f.NuevaLinea();
        l->FijarConcepto(concepto);
        l->FijarImporte(importe);
        l->FijarpIVA(iva);
        return l;
    }
    qint64 registros() { return uno(QStringLiteral("select count(*) from RegistroFacturacion")); }
    void cadenaIntegra()
    {
        const QStringList faltas = verifactu::VerificarRegistros(*bd);
        EXPECT_TRUE(faltas.isEmpty()) << faltas.join(QLatin1Char('\n')).toStdString();
    }
};

// Where the schemas are here, the record or export validates against them.
void Valido(const QByteArray& xml)
{
    if (HayEsquemas()) {
        EXPECT_EQ(Invalido(xml), QString()) << xml.constData();
    }
}

TEST_F(Verifactu, EveryNewInvoiceGetsOneChainedRecordWithItsPrintedFigures)
{
    auto a = factura(1, {{100.00, 10}, {20.01, 4}});
    auto b = factura(2, {{60.00, 21}, {40.00, 21}, {9.99, 10}}, 0.10);
    auto c = factura(3, {{12.40, 10}});
    ASSERT_EQ(registros(), 3);
    const std::vector<Registro> r = bd->Registros();

    EXPECT_EQ(r[0].NumSerieFactura, QStringLiteral("A-000001"));
    EXPECT_EQ(r[0].FechaExpedicionFactura, QStringLiteral("04-01-2027"));
    EXPECT_EQ(r[0].IDEmisorFactura, QStringLiteral("B12345674"));
    EXPECT_EQ(r[0].TipoFactura, QStringLiteral("F1"));
    EXPECT_EQ(r[0].NIFDestinatario, QStringLiteral("B46000006"));
    EXPECT_FALSE(r[0].anterior);
    EXPECT_EQ(r[2].TipoFactura, QStringLiteral("F2"));  // a customer without a NIF
    for (size_t i = 1; i < r.size(); ++i) {
        ASSERT_TRUE(r[i].anterior);
        EXPECT_EQ(r[i].anterior->Huella, r[i - 1].Huella);
        EXPECT_EQ(r[i].anterior->NumSerieFactura, r[i - 1].NumSerieFactura);
    }
    // The figures of the printed breakdown, to the cent; packaging as an amount outside VAT.
    const qint64 envases = std::llround(b->ImporteEnvases() * 100);
    EXPECT_NE(envases, 0);
    const std::vector<verifactu::DetalleDesglose> esperado{
        {true, 1000, 999, 100, 140, 14}, {true, 2100, 10000, 2100, 520, 520}, {false, 0, envases, 0, 0, 0}};
    EXPECT_EQ(r[1].desglose, esperado);
    EXPECT_EQ(r[1].cuotaTotal, 100 + 14 + 2100 + 520);
    EXPECT_EQ(r[1].importeTotal, std::llround(b->ImporteALiquidar() * 100));
    for (const auto* f : {a.get(), b.get(), c.get()})
        EXPECT_EQ(bd->RegistroDeFactura(*f->Serie, *f->Numero)->importeTotal, std::llround(f->ImporteALiquidar() * 100));
    cadenaIntegra();
}

// Without the mode nothing is recorded, an invoice changes and goes as ever, and the shipped
// mask prints no tax QR code.
TEST_F(Verifactu, WithTheModeOffNothingIsRecordedNorPrinted)
{
    m().ejecutarNativo(QStringLiteral("UPDATE Verifactu SET Activo=0"));
    auto a = factura(1, {{100.00, 10}});
    a->Observaciones = QStringLiteral("cambiada");
    a->NuevaLinea()->FijarTitulo(QStringLiteral("otra"));
    EXPECT_TRUE(a->Update());
    auto sin = factura(3, {{12.40, 10}});
    EXPECT_EQ(registros(), 0);
    EXPECT_TRUE(a->Delete()) << a->UltimoError().toStdString();

    NECESITA_LECTOR_QR();
    AplicacionDePrueba();
    const std::vector<PaginaImpresa> paginas = ImprimirYLeer(*sin, QStringLiteral(QUENZA_DATOS));
    ASSERT_EQ(paginas.size(), 1u);
    EXPECT_EQ(paginas[0].codigo, QString());
    EXPECT_FALSE(paginas[0].texto.contains(QStringLiteral("QR tributario:")));
    EXPECT_FALSE(paginas[0].texto.contains(QStringLiteral("VERI*FACTU")));
    EXPECT_TRUE(paginas[0].texto.contains(QStringLiteral("PARTICULAR")));
}

TEST_F(Verifactu, AnIssuedInvoiceKeepsItsFiguresButTakesPayments)
{
    auto f = factura(1, {{100.00, 10}});
    const qint16 serie = *f->Serie;
    const qint32 numero = *f->Numero;
    f->Pagado = 110;
    f->Observaciones = QStringLiteral("pagada en efectivo");
    EXPECT_TRUE(f->Update()) << f->UltimoError().toStdString();

    const QString porque = QStringLiteral("ya tiene su registro de facturación");
    f->Linea(1)->FijarImporte(90.0);
    EXPECT_FALSE(f->Update());
    EXPECT_TRUE(f->UltimoError().contains(porque)) << f->UltimoError().toStdString();
    ASSERT_TRUE(f->WhoAmI(serie, numero));
    f->Fecha = QDate(2027, 1, 5);
    EXPECT_FALSE(f->Update());
    ASSERT_TRUE(f->WhoAmI(serie, numero));
    f->Numero = 50;
    EXPECT_FALSE(f->Update());
    ASSERT_TRUE(f->WhoAmI(serie, numero));
    EXPECT_FALSE(f->Delete());
    EXPECT_TRUE(f->UltimoError().contains(QStringLiteral("hay que anularla"))) << f->UltimoError().toStdString();
    EXPECT_DOUBLE_EQ(f->Pagado, 110);
    EXPECT_EQ(registros(), 1);
    cadenaIntegra();
}

TEST_F(Verifactu, AnInvoiceWithoutAmountsOrWithTooManyRatesIsRefusedWhole)
{
    Factura vacia(*bd);
    ASSERT_TRUE(vacia.WhoAmI());
    ASSERT_TRUE(vacia.SetCliente(1));
    vacia.NuevaLinea()->FijarTitulo(QStringLiteral("solo un título"));
    EXPECT_FALSE(vacia.Update());
    EXPECT_TRUE(vacia.UltimoError().contains(QStringLiteral("no tiene ningún importe")));

    Factura muchas(*bd);
    ASSERT_TRUE(muchas.WhoAmI());
    ASSERT_TRUE(muchas.SetCliente(1));
    for (int i = 1; i <= 13; ++i)
        linea(muchas, 10.0, static_cast<float>(i), QStringLiteral("tipo %1").arg(i));
    EXPECT_FALSE(muchas.Update());
    EXPECT_TRUE(muchas.UltimoError().contains(QStringLiteral("más de 12"))) << muchas.UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 0);
    EXPECT_EQ(registros(), 0);
}

// Without a valid Spanish NIF the invoice is simplified, and a simplified invoice goes up to
// 3,000.00 euros of bases and VAT (the surcharge aside).
TEST_F(Verifactu, ASimplifiedInvoiceAboveTheAgencysLimitIsRefused)
{
    m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF, UsaREq, Descuento) VALUES (4, 'CAFÉ DO PORTO', 'PT1234567', 0, 0)"));
    auto extranjero = factura(4, {{10.00, 10}});
    // A foreign customer is identified (IDOtro): a full invoice, without the limit.
    const Registro r = *bd->RegistroDeFactura(*extranjero->Serie, *extranjero->Numero);
    EXPECT_EQ(r.TipoFactura, QStringLiteral("F1"));
    EXPECT_EQ(r.IDOtroDestinatario, QStringLiteral("PT1234567"));

    factura(3, {{2727.27, 10}});  // 2,727.27 + 272.73 = 3,000.00: the limit itself
    const struct {
        qint32 cliente;
        double importe;
        bool admitida;
    } casos[] = {{3, 2727.28, false}, {4, 2727.28, true}, {1, 2727.28, true}};
    for (const auto& c : casos) {
        Factura f(*bd);
        ASSERT_TRUE(f.WhoAmI());
        f.Fecha = QDate(2027, 1, 4);
        ASSERT_TRUE(f.SetCliente(c.cliente));
        linea(f, c.importe, 10);
        EXPECT_EQ(f.Update(), c.admitida) << c.cliente;
        if (!c.admitida) {
            EXPECT_TRUE(f.UltimoError().contains(QStringLiteral("no puede pasar de 3.000,00 € y esta suma 3.000,01 €")))
                << f.UltimoError().toStdString();
        }
    }
    EXPECT_EQ(registros(), 4);
}

TEST_F(Verifactu, AnnullingChainsItsRecordReleasesTheNotesAndKeepsTheInvoice)
{
    auto f = factura(1, {{100.00, 10}});
    m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP, onLine) "
                                      "VALUES (70, '2027-01-03', 1, 0, ?, 0, 0, 0)"),
                       {*f->Numero});
    ASSERT_TRUE(f->Anular()) << f->UltimoError().toStdString();
    EXPECT_FALSE(f->Anular());
    EXPECT_TRUE(f->UltimoError().contains(QStringLiteral("ya está anulada")));
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Numero=70 and Factura is null")), 1);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 1);

    const std::vector<Registro> r = bd->Registros();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].tipo, verifactu::TipoRegistro::Anulacion);
    EXPECT_EQ(r[1].NumSerieFactura, r[0].NumSerieFactura);
    EXPECT_EQ(r[1].anterior->Huella, r[0].Huella);
    EXPECT_EQ(bd->RegistroDeFactura(*f->Serie, *f->Numero)->orden, 2);
    Valido(r[1].xml);

    // Stays as it was annulled; the next invoice chains after the annulment.
    f->Pagado = 1;
    EXPECT_FALSE(f->Update());
    EXPECT_TRUE(f->UltimoError().contains(QStringLiteral("está anulada")));
    EXPECT_FALSE(f->Delete());
    factura(1, {{5.00, 21}});
    EXPECT_EQ(bd->UltimoRegistro()->anterior->Huella, r[1].Huella);
    cadenaIntegra();

    Factura sinRegistro(*bd);
    EXPECT_FALSE(sinRegistro.Anular());
}

TEST_F(Verifactu, WithinASeriesNumbersRunWithoutGapsAndDatesNeverGoBack)
{
    factura(1, {{100.00, 10}});
    auto nueva = [&](qint32 numero, const QDate& fecha) {
        auto f = std::make_unique<Factura>(*bd);
        EXPECT_TRUE(f->WhoAmI());
        f->Numero = numero;
        f->Fecha = fecha;
        EXPECT_TRUE(f->SetCliente(1));
        linea(*f, 10.0, 10);
        return f;
    };
    auto salto = nueva(5, QDate(2027, 1, 4));
    EXPECT_FALSE(salto->Update());
    EXPECT_TRUE(salto->UltimoError().contains(QStringLiteral("la siguiente de esta serie es la 2"))) << salto->UltimoError().toStdString();
    auto atras = nueva(2, QDate(2027, 1, 3));
    EXPECT_FALSE(atras->Update());
    EXPECT_TRUE(atras->UltimoError().contains(QStringLiteral("es anterior a la de la factura 1 de la misma serie (04/01/2027)")))
        << atras->UltimoError().toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), 1);
    EXPECT_EQ(registros(), 1);
    auto bien = nueva(2, QDate(2027, 1, 4));
    EXPECT_TRUE(bien->Update()) << bien->UltimoError().toStdString();

    // Without the mode, as ever: any free number, any date.
    m().eliminarDisparador(QStringLiteral("Verifactu_SiempreActivo"), QStringLiteral("Verifactu"));
    m().ejecutarNativo(QStringLiteral("UPDATE Verifactu SET Activo=0"));
    EXPECT_TRUE(nueva(9, QDate(2026, 1, 1))->Update());
}

TEST_F(Verifactu, ARectifyingInvoiceHasItsOwnSeriesNamesTheOriginalAndGetsItsOwnRecord)
{
    auto original = factura(1, {{100.00, 10}, {50.00, 21}});
    auto simplificada = factura(3, {{10.00, 4}});

    // By the differences: only what changes, here a return.
    Factura diferencias(*bd);
    ASSERT_TRUE(diferencias.Rectificar(*original->Serie, *original->Numero, false)) << diferencias.UltimoError().toStdString();
    EXPECT_EQ(diferencias.Serie, 10);
    EXPECT_EQ(diferencias.Numero, 1);
    EXPECT_EQ(diferencias.NumeroLineas(), 0);
    linea(diferencias, -20.0, 10, QStringLiteral("Devolución"));
    diferencias.Fecha = QDate(2027, 1, 3);
    EXPECT_FALSE(diferencias.Update());
    EXPECT_TRUE(diferencias.UltimoError().contains(QStringLiteral("anterior a la de la factura que rectifica (04/01/2027)")))
        << diferencias.UltimoError().toStdString();
    diferencias.Fecha = QDate(2027, 1, 5);
    ASSERT_TRUE(diferencias.Update()) << diferencias.UltimoError().toStdString();

    // By substitution: the whole invoice as it should have been.
    Factura sustitucion(*bd);
    ASSERT_TRUE(sustitucion.Rectificar(*simplificada->Serie, *simplificada->Numero, true));
    ASSERT_EQ(sustitucion.NumeroLineas(), 1);
    sustitucion.Linea(1)->FijarImporte(8.0);
    sustitucion.Fecha = QDate(2027, 1, 5);
    ASSERT_TRUE(sustitucion.Update()) << sustitucion.UltimoError().toStdString();
    EXPECT_EQ(sustitucion.Numero, 2);

    const Registro i = *bd->RegistroDeFactura(10, 1);
    EXPECT_EQ(i.NumSerieFactura, QStringLiteral("RA-000001"));
    EXPECT_EQ(i.TipoFactura, QStringLiteral("R1"));
    EXPECT_EQ(i.TipoRectificativa, QStringLiteral("I"));
    EXPECT_EQ(i.rectificada, (verifactu::IDFactura{QStringLiteral("B12345674"), QStringLiteral("A-000001"), QStringLiteral("04-01-2027")}));
    EXPECT_EQ(i.importeTotal, -2200);
    EXPECT_EQ(i.NIFDestinatario, QStringLiteral("B46000006"));
    const Registro s = *bd->RegistroDeFactura(10, 2);
    EXPECT_EQ(s.TipoFactura, QStringLiteral("R5"));
    EXPECT_EQ(s.TipoRectificativa, QStringLiteral("S"));
    EXPECT_EQ(s.baseRectificada, 1000);
    EXPECT_EQ(s.cuotaRectificada, 40);
    Valido(i.xml);
    Valido(s.xml);

    // Read back, it still names its original; the chain check holds.
    Factura leida(*bd);
    ASSERT_TRUE(leida.WhoAmI(qint16(10), 1));
    EXPECT_EQ(leida.Rectifica, (Factura::Rectificacion{0, *original->Numero, false}));
    cadenaIntegra();

    // An annulled invoice is not rectified.
    ASSERT_TRUE(original->Anular());
    Factura tarde(*bd);
    EXPECT_FALSE(tarde.Rectificar(*original->Serie, *original->Numero, false));
    EXPECT_TRUE(tarde.UltimoError().contains(QStringLiteral("está anulada"))) << tarde.UltimoError().toStdString();
}

TEST_F(Verifactu, TheCheckFindsEveryKindOfBreak)
{
    auto a = factura(1, {{100.00, 10}});
    auto b = factura(1, {{50.00, 21}});
    auto c = factura(3, {{10.00, 4}});
    // Outside the program: an invoice's amount changed, one stored without a record, a record
    // whose fingerprint no longer matches (its trigger dropped first, as a forger would).
    m().ejecutarNativo(QStringLiteral("UPDATE FacturaVentaDetalle SET Importe=99 WHERE Numero=%1").arg(*a->Numero));
    m().ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente) VALUES (0, 9, '2027-01-04', 1)"));
    m().eliminarDisparador(QStringLiteral("RegistroFacturacion_NoCambiar"), QStringLiteral("RegistroFacturacion"));
    m().ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET ImporteTotal=1 WHERE Orden=3"));
    const QStringList faltas = verifactu::VerificarRegistros(*bd);
    const QString todo = faltas.join(QLatin1Char('\n'));
    EXPECT_EQ(faltas.size(), 4) << todo.toStdString();
    EXPECT_TRUE(todo.contains(QStringLiteral("Registro 1 (factura A-000001): las cifras de la factura ya no son las del registro."))) << todo.toStdString();
    EXPECT_TRUE(todo.contains(QStringLiteral("La factura A-000009 no tiene registro de facturación."))) << todo.toStdString();
    EXPECT_TRUE(todo.contains(QStringLiteral("Registro 3 (factura A-000003): su huella no corresponde a sus datos."))) << todo.toStdString();

    m().eliminarDisparador(QStringLiteral("RegistroFacturacion_NoBorrar"), QStringLiteral("RegistroFacturacion"));
    m().ejecutarNativo(QStringLiteral("DELETE FROM RegistroFacturacion WHERE Orden=2"));
    const QString sinDos = verifactu::VerificarRegistros(*bd).join(QLatin1Char('\n'));
    EXPECT_TRUE(sinDos.contains(QStringLiteral("Faltan los registros 2 a 2 de la cadena."))) << sinDos.toStdString();
    EXPECT_TRUE(sinDos.contains(QStringLiteral("Registro 3 (factura A-000003): no se encadena con el registro anterior."))) << sinDos.toStdString();
}

TEST_F(Verifactu, EachRecordAndTheExportValidateAgainstTheAgencysSchemas)
{
    NECESITA_ESQUEMAS();
    factura(1, {{100.00, 10}, {20.01, 4}});
    factura(2, {{60.00, 21}, {9.99, 10}}, 0.10);
    factura(3, {{12.40, 10}});
    for (const Registro& r : bd->Registros())
        Valido(r.xml);

    QTemporaryDir dir;
    const QString archivo = dir.filePath(QStringLiteral("registros.xml"));
    QString motivo;
    ASSERT_TRUE(verifactu::ExportarRegistros(*bd, QDate(2000, 1, 1), QDate(2100, 1, 1), archivo, motivo)) << motivo.toStdString();
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray exportado = f.readAll();
    EXPECT_EQ(Invalido(exportado), QString()) << exportado.constData();
    EXPECT_EQ(exportado.count("<sf:RegistroAlta>"), 3);
    EXPECT_LT(exportado.indexOf("A-000001"), exportado.indexOf("A-000002"));
    EXPECT_FALSE(verifactu::ExportarRegistros(*bd, QDate(2000, 1, 1), QDate(2000, 1, 2), archivo, motivo));
    EXPECT_TRUE(motivo.startsWith(QStringLiteral("No hay registros de facturación del 01/01/2000 al 02/01/2000"))) << motivo.toStdString();
}

// A customer with a foreign identifier gets a full invoice naming it as the agency's IDOtro; a
// Spanish NIF stays a NIF and no identifier stays a simplified invoice.
TEST_F(Verifactu, AForeignCustomerIsNamedByItsForeignIdentifier)
{
    const struct {
        const char* nif;
        const char* tipo;
        const char* xml;  // what names the customer
    } casos[] = {
        {"de 123456789", "F1", "<sf:IDOtro><sf:IDType>02</sf:IDType><sf:ID>DE123456789</sf:ID></sf:IDOtro>"},
        {"EL123456789", "F1", "<sf:IDOtro><sf:IDType>02</sf:IDType><sf:ID>EL123456789</sf:ID></sf:IDOtro>"},
        {"CHE123456789", "F1", "<sf:IDOtro><sf:CodigoPais>CH</sf:CodigoPais><sf:IDType>04</sf:IDType><sf:ID>CHE123456789</sf:ID></sf:IDOtro>"},
        {"ES B46000006", "F1", "<sf:NIF>B46000006</sf:NIF>"},
        {"", "F2", nullptr},
    };
    qint32 codigo = 10;
    for (const auto& c : casos) {
        m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF, UsaREq, Descuento) VALUES (?, 'CLIENTE', ?, 0, 0)"),
                           {codigo, QString::fromLatin1(c.nif)});
        auto f = factura(codigo++, {{50.00, 21}});
        const Registro r = *bd->RegistroDeFactura(*f->Serie, *f->Numero);
        EXPECT_EQ(r.TipoFactura, QLatin1String(c.tipo)) << c.nif;
        if (c.xml) {
            const QString xml = QString::fromUtf8(r.xml).replace(QRegularExpression(QStringLiteral(">\\s+<")), QStringLiteral("><"));
            EXPECT_TRUE(xml.contains(QLatin1String(c.xml))) << c.nif << "\n" << r.xml.constData();
        } else {
            EXPECT_FALSE(r.xml.contains("<sf:Destinatarios>")) << c.nif;
        }
        Valido(r.xml);
    }
    // Its rectification names the same customer in the same way.
    Factura rectificativa(*bd);
    ASSERT_TRUE(rectificativa.Rectificar(0, 1, false));
    rectificativa.Fecha = QDate(2027, 1, 5);
    linea(rectificativa, -5.0, 21, QStringLiteral("Devolución"));
    ASSERT_TRUE(rectificativa.Update()) << rectificativa.UltimoError().toStdString();
    const Registro r = *bd->RegistroDeFactura(*rectificativa.Serie, *rectificativa.Numero);
    EXPECT_EQ(r.TipoFactura, QStringLiteral("R1"));
    EXPECT_EQ(r.IDOtroDestinatario, QStringLiteral("DE123456789"));
    EXPECT_EQ(r.IDTypeDestinatario, QStringLiteral("02"));
    Valido(r.xml);
    cadenaIntegra();
}

// The producer the records name is the one the installed declaration states; the build's own
// values stand in only for what the file leaves empty.
TEST_F(Verifactu, TheRecordsNameTheProducerOfTheInstalledDeclaration)
{
    QTemporaryDir programa;
    Global::DirectorioPrograma = programa.path();
    const verifactu::SistemaInformatico compilado = verifactu::Quenza({});
    const struct {
        const char* ini;
        QString nombre, nif;
    } casos[] = {
        {"[Productor]\nNombre=\nNIF=\n", compilado.NombreRazon, compilado.NIF},
        {"[Productor]\nNombre=QUENZA SOFTWARE SL\nNIF=b46000006\n", QStringLiteral("QUENZA SOFTWARE SL"), QStringLiteral("B46000006")},
        {"[Productor]\nNombre=OTRO PRODUCTOR SA\nNIF=\n", QStringLiteral("OTRO PRODUCTOR SA"), compilado.NIF},
    };
    for (const auto& c : casos) {
        QFile ini(programa.filePath(QStringLiteral("declaracion.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate) && ini.write(c.ini) > 0);
        ini.close();
        factura(1, {{10.00, 10}});
        const QByteArray xml = bd->UltimoRegistro()->xml;
        const qsizetype sistema = xml.indexOf("SistemaInformatico>");
        ASSERT_GT(sistema, 0);
        const QByteArray parte = xml.mid(sistema, xml.indexOf("NombreSistemaInformatico") - sistema);
        EXPECT_TRUE(parte.contains(">" + c.nombre.toUtf8() + "<")) << c.ini << parte.constData();
        EXPECT_TRUE(parte.contains(">" + c.nif.toUtf8() + "<")) << c.ini << parte.constData();
        Valido(xml);
    }
}

// The shipped mask: the code once, at the top of the first page, 30 to 40 mm with its titles,
// only on an invoice with a record; without the mode the invoice prints as ever.
TEST_F(Verifactu, TheShippedInvoiceMaskPlacesTheTaxQrCodeAtTheTopOfTheFirstPage)
{
    NECESITA_LECTOR_QR();
    AplicacionDePrueba();
    auto f = factura(1, {{100.00, 10}, {20.01, 4}});
    for (int i = 0; i < 80; ++i)
        f->NuevaLinea()->FijarTitulo(QStringLiteral("Línea %1").arg(i));
    std::vector<PaginaImpresa> paginas = ImprimirYLeer(*f, QStringLiteral(QUENZA_DATOS));
    ASSERT_GE(paginas.size(), 2u);
    const Registro r = *bd->RegistroDeFactura(*f->Serie, *f->Numero);
    EXPECT_EQ(paginas[0].codigo, verifactu::UrlCotejo(r, true));
    EXPECT_TRUE(paginas[0].texto.contains(QStringLiteral("QR tributario:"))) << paginas[0].texto.toStdString();
    EXPECT_TRUE(paginas[0].texto.contains(QStringLiteral("VERI*FACTU")));
    EXPECT_LT(paginas[0].texto.indexOf(QStringLiteral("QR tributario:")), paginas[0].texto.indexOf(QStringLiteral("Cliente")));
    for (const char* dato : {"BAR CENTRAL", "B46000006", "FACTURA"})
        EXPECT_TRUE(paginas[0].texto.contains(QLatin1String(dato))) << dato;
    EXPECT_EQ(paginas[1].codigo, QString());
    EXPECT_FALSE(paginas[1].texto.contains(QStringLiteral("QR tributario:")));
}

// An annulled invoice prints as such and is owed by nobody: the pending filter leaves it out.
TEST_F(Verifactu, AnAnnulledInvoicePrintsAnnulledAndIsNotPending)
{
    auto anulada = factura(1, {{100.00, 10}});
    auto debida = factura(1, {{50.00, 10}});
    ASSERT_TRUE(anulada->Anular()) << anulada->UltimoError().toStdString();
    auto numeros = [&](const Filtro& pendiente) {
        std::vector<qint32> n;
        for (const FilaFactura& f : bd->ListaFacturas(Filtro(static_cast<qint16>(0)), {}, {}, {}, pendiente))
            n.push_back(f.Numero);
        return n;
    };
    EXPECT_EQ(numeros(Filtro(true)), std::vector<qint32>{*debida->Numero});
    EXPECT_EQ(numeros(Filtro()), (std::vector<qint32>{*anulada->Numero, *debida->Numero}));

    NECESITA_LECTOR_QR();
    AplicacionDePrueba();
    Factura leida(*bd);
    ASSERT_TRUE(leida.WhoAmI(*anulada->Serie, *anulada->Numero));
    std::vector<PaginaImpresa> paginas = ImprimirYLeer(leida, QStringLiteral(QUENZA_DATOS));
    ASSERT_EQ(paginas.size(), 1u);
    EXPECT_TRUE(paginas[0].texto.contains(QStringLiteral("ANULADA"))) << paginas[0].texto.toStdString();
    paginas = ImprimirYLeer(*debida, QStringLiteral(QUENZA_DATOS));
    ASSERT_EQ(paginas.size(), 1u);
    EXPECT_FALSE(paginas[0].texto.contains(QStringLiteral("ANULADA")));
}

TEST_F(Verifactu, APeriodOfMoreThanAThousandRecordsGoesOnInANumberedSecondDocument)
{
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (int n = 1; n <= 1001; ++n) {
            Registro r;
            r.serie = 0;
            r.numero = n;
            r.IDEmisorFactura = QStringLiteral("B12345674");
            r.NombreRazonEmisor = QStringLiteral("CARNES QUENZA SL");
            r.NumSerieFactura = verifactu::NumSerie(0, n);
            r.FechaExpedicionFactura = QStringLiteral("04-01-2027");
            r.TipoFactura = QStringLiteral("F2");
            r.desglose = {{true, 1000, 100, 10, 0, 0}};
            r.cuotaTotal = 10;
            r.importeTotal = 110;
            verifactu::Encadenar(*bd, r, QDateTime(QDate(2027, 1, 4), QTime(10, 0)));
        }
        t.commit();
    }
    QTemporaryDir dir;
    QString motivo;
    ASSERT_TRUE(verifactu::ExportarRegistros(*bd, QDate(2027, 1, 4), QDate(2027, 1, 4), dir.filePath(QStringLiteral("enero.xml")), motivo))
        << motivo.toStdString();
    QFile primero(dir.filePath(QStringLiteral("enero.xml"))), segundo(dir.filePath(QStringLiteral("enero-2.xml")));
    ASSERT_TRUE(primero.open(QIODevice::ReadOnly));
    ASSERT_TRUE(segundo.open(QIODevice::ReadOnly));
    const QByteArray a = primero.readAll(), b = segundo.readAll();
    EXPECT_EQ(a.count("<sf:RegistroAlta>"), 1000);
    EXPECT_EQ(b.count("<sf:RegistroAlta>"), 1);
    EXPECT_TRUE(b.contains("A-001001"));
    Valido(b);
}

TEST(NumSerie, TheCheckingAddressEncodesTheNumberAndNamesTheSite)
{
    Registro r;
    r.IDEmisorFactura = QStringLiteral("89890001K");
    r.NumSerieFactura = QStringLiteral("12345678&G33");
    r.FechaExpedicionFactura = QStringLiteral("01-01-2024");
    r.importeTotal = 24140;
    EXPECT_EQ(verifactu::UrlCotejo(r, true),
              QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR?nif=89890001K&numserie=12345678%26G33&fecha=01-01-2024"
                             "&importe=241.40"));
    r.NumSerieFactura = QStringLiteral("Ñ 1/2");
    EXPECT_TRUE(verifactu::UrlCotejo(r, false).startsWith(
        QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?nif=89890001K&numserie=%C3%91%201%2F2&")));
}

TEST(NumSerie, OneFormAndNIFsAsTheRecordsTakeThem)
{
    EXPECT_EQ(verifactu::NumSerie(0, 15), QStringLiteral("A-000015"));
    EXPECT_EQ(verifactu::NumSerie(9, 1234567), QStringLiteral("J-1234567"));
    const std::pair<const char*, const char*> nifs[] = {{"b46000006", "B46000006"}, {"B-46.000.006", "B46000006"},
                                                         {"ES B46000006", "B46000006"}, {"12345678", ""},
                                                         {"", ""}, {"X1234567L ", "X1234567L"}, {"B4600000Ñ", ""},
                                                         {"B46000000", ""}, {"PT1234567", ""}};
    for (const auto& [escrito, registro] : nifs)
        EXPECT_EQ(verifactu::NIFRegistro(QString::fromUtf8(escrito)), QString::fromUtf8(registro)) << escrito;

    // Foreign identifiers: EU VAT numbers of the right form, other countries' identifiers, and
    // what names nobody.
    using Otro = verifactu::IdentificacionExtranjera;
    const std::pair<const char*, std::optional<Otro>> otros[] = {
        {"de123456789", Otro{{}, QStringLiteral("02"), QStringLiteral("DE123456789")}},
        {"DE12345678", Otro{QStringLiteral("DE"), QStringLiteral("04"), QStringLiteral("DE12345678")}},  // not a German VAT number
        {"NL123456789B01", Otro{{}, QStringLiteral("02"), QStringLiteral("NL123456789B01")}},
        {"RO1234", Otro{{}, QStringLiteral("02"), QStringLiteral("RO1234")}},
        {"RO01234", Otro{QStringLiteral("RO"), QStringLiteral("04"), QStringLiteral("RO01234")}},
        {"XI123456789", Otro{{}, QStringLiteral("02"), QStringLiteral("XI123456789")}},
        {"GB123456789", Otro{QStringLiteral("GB"), QStringLiteral("04"), QStringLiteral("GB123456789")}},
        {"EL12345", Otro{QStringLiteral("GR"), QStringLiteral("04"), QStringLiteral("EL12345")}},
        {"US 98-7654321", Otro{QStringLiteral("US"), QStringLiteral("04"), QStringLiteral("US987654321")}},
        {"B46000006", std::nullopt},  {"ESB46000006", std::nullopt}, {"ES12345678", std::nullopt},
        {"ZZ123456", std::nullopt},   {"", std::nullopt},            {"FR1234567890123456789", std::nullopt},
        {"FR12/345", std::nullopt},
    };
    for (const auto& [escrito, esperado] : otros)
        EXPECT_EQ(verifactu::IdentificacionOtro(QString::fromUtf8(escrito)), esperado) << escrito;
}

}  // namespace
