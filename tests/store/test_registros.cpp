// The invoice records: the agency's fingerprint, and the store keeping them append-only.

#include "basedatos.h"
#include "entorno.h"
#include "registrofacturacion.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

using verifactu::Registro;
using verifactu::TipoRegistro;

Registro Alta(const QString& numSerie, const QString& hora, const QString& anterior)
{
    Registro r;
    r.IDEmisorFactura = QStringLiteral("89890001K");
    r.NumSerieFactura = numSerie;
    r.FechaExpedicionFactura = QStringLiteral("01-01-2024");
    r.TipoFactura = QStringLiteral("F1");
    r.cuotaTotal = 1235;
    r.importeTotal = 12345;
    if (!anterior.isEmpty())
        r.anterior = verifactu::Encadenamiento{QStringLiteral("89890001K"), QStringLiteral("12345678/G33"),
                                               QStringLiteral("01-01-2024"), anterior};
    r.FechaHoraHusoGenRegistro = QStringLiteral("2024-01-01T") + hora + QStringLiteral("+01:00");
    return r;
}

// The agency's three published examples.
TEST(Huella, PublishedExamplesGiveTheirPublishedFingerprints)
{
    const Registro primero = Alta(QStringLiteral("12345678/G33"), QStringLiteral("19:20:30"), QString());
    EXPECT_EQ(verifactu::CadenaHuella(primero),
              QStringLiteral("IDEmisorFactura=89890001K&NumSerieFactura=12345678/G33&FechaExpedicionFactura=01-01-2024&TipoFactura=F1"
                             "&CuotaTotal=12.35&ImporteTotal=123.45&Huella=&FechaHoraHusoGenRegistro=2024-01-01T19:20:30+01:00"));
    EXPECT_EQ(verifactu::CalcularHuella(primero), QStringLiteral("3C464DAF61ACB827C65FDA19F352A4E3BDC2C640E9E9FC4CC058073F38F12F60"));

    const Registro segundo = Alta(QStringLiteral("12345679/G34"), QStringLiteral("19:20:35"), verifactu::CalcularHuella(primero));
    EXPECT_EQ(verifactu::CalcularHuella(segundo), QStringLiteral("F7B94CFD8924EDFF273501B01EE5153E4CE8F259766F88CF6ACB8935802A2B97"));

    Registro anulacion;
    anulacion.tipo = TipoRegistro::Anulacion;
    anulacion.IDEmisorFactura = QStringLiteral("89890001K");
    anulacion.NumSerieFactura = QStringLiteral("12345679/G34");
    anulacion.FechaExpedicionFactura = QStringLiteral("01-01-2024");
    anulacion.anterior = verifactu::Encadenamiento{QStringLiteral("89890001K"), QStringLiteral("12345679/G34"),
                                                   QStringLiteral("01-01-2024"), verifactu::CalcularHuella(segundo)};
    anulacion.FechaHoraHusoGenRegistro = QStringLiteral("2024-01-01T19:20:40+01:00");
    EXPECT_EQ(verifactu::CalcularHuella(anulacion), QStringLiteral("177547C0D57AC74748561D054A9CEC14B4C4EA23D1BEFD6F2E69E3A388F90C68"));
}

TEST(Huella, AmountsRatesAndTimesHaveOneForm)
{
    const std::pair<qint64, const char*> importes[] = {{0, "0.00"}, {5, "0.05"}, {-50, "-0.50"}, {12345, "123.45"},
                                                       {-123456789, "-1234567.89"}, {100, "1.00"}};
    for (const auto& [centimos, texto] : importes)
        EXPECT_EQ(verifactu::Importe(centimos), QLatin1String(texto));
    EXPECT_EQ(verifactu::Tipo(2100), QStringLiteral("21.00"));
    EXPECT_EQ(verifactu::Tipo(520), QStringLiteral("5.20"));
    EXPECT_EQ(verifactu::Tipo(50), QStringLiteral("0.50"));

    const QDate dia(2027, 1, 4);
    EXPECT_EQ(verifactu::FechaHoraHuso(QDateTime(dia, QTime(10, 15), QTimeZone(3600))), QStringLiteral("2027-01-04T10:15:00+01:00"));
    EXPECT_EQ(verifactu::FechaHoraHuso(QDateTime(QDate(2027, 7, 1), QTime(9, 0, 5), QTimeZone(7200))),
              QStringLiteral("2027-07-01T09:00:05+02:00"));
    EXPECT_EQ(verifactu::FechaHoraHuso(QDateTime(dia, QTime(8, 0), QTimeZone(-5400))), QStringLiteral("2027-01-04T08:00:00-01:30"));
}

class Registros : public ::testing::Test {
protected:
    void SetUp() override
    {
        bd = std::make_unique<BaseDatos>(base.ruta);
        ASSERT_TRUE(bd->Abierta());
        bd->CrearTablasNuevas();
    }
    Registro registro(qint64 orden, qint32 numero)
    {
        Registro r = Alta(QStringLiteral("A-%1").arg(numero), QStringLiteral("10:00:00"), QString());
        r.orden = orden;
        r.numero = numero;
        r.NombreRazonEmisor = QStringLiteral("EMPRESA PRUEBA");
        r.desglose = {{true, 1000, 11227, 1123, 140, 157}, {false, 0, 200, 0, 0, 0}};
        r.Huella = verifactu::CalcularHuella(r);
        r.xml = "<x/>";
        r.estadoEnvio = QStringLiteral("Pendiente");
        return r;
    }
    void fallaSql(const QString& sql)
    {
        EXPECT_THROW(bd->Motor()->ejecutarNativo(sql), motor::Error) << sql.toStdString();
    }
    BaseDePrueba base;
    std::unique_ptr<BaseDatos> bd;
};

TEST_F(Registros, AreReadBackAsWrittenAndOnlyEverAppended)
{
    const Registro uno = registro(1, 7);
    bd->AnadirRegistro(uno);
    Registro dos = registro(2, 8);
    dos.anterior = verifactu::Encadenamiento{uno.IDEmisorFactura, uno.NumSerieFactura, uno.FechaExpedicionFactura, uno.Huella};
    dos.Huella = verifactu::CalcularHuella(dos);
    bd->AnadirRegistro(dos);
    EXPECT_THROW(bd->AnadirRegistro(registro(2, 9)), motor::Error);  // a fork of the chain
    EXPECT_THROW(bd->AnadirRegistro(registro(4, 9)), motor::Error);  // a gap

    const std::vector<Registro> todos = bd->Registros();
    ASSERT_EQ(todos.size(), 2u);
    EXPECT_EQ(todos[0], uno);
    EXPECT_EQ(todos[1], dos);
    EXPECT_EQ(bd->UltimoRegistro(), dos);
    EXPECT_EQ(bd->RegistroDeFactura(0, 8), dos);
    EXPECT_FALSE(bd->RegistroDeFactura(0, 9));
    EXPECT_EQ(bd->Registros(QDate(2024, 1, 2)).size(), 0u);
    EXPECT_EQ(bd->Registros(QDate(2024, 1, 1), QDate(2024, 1, 1)).size(), 2u);

    // Whatever program writes the file: no record is deleted or rewritten; the sending state moves.
    fallaSql(QStringLiteral("DELETE FROM RegistroFacturacion WHERE Orden=2"));
    fallaSql(QStringLiteral("UPDATE RegistroFacturacion SET ImporteTotal=1 WHERE Orden=1"));
    fallaSql(QStringLiteral("UPDATE RegistroFacturacion SET Huella='X' WHERE Orden=1"));
    fallaSql(QStringLiteral("UPDATE RegistroFacturacionDesglose SET Base=1"));
    fallaSql(QStringLiteral("DELETE FROM RegistroFacturacionDesglose"));
    EXPECT_NO_THROW(bd->Motor()->ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET EstadoEnvio='Correcto' WHERE Orden=1")));
}

// A records table made before the foreign customer's identification gets its fields, and the
// guard against rewriting a record covers them, at the next start.
TEST_F(Registros, AnOlderRecordsTableGetsTheForeignCustomersFieldsUnderItsGuard)
{
    motor::BaseDeDatos& m = *bd->Motor();
    const QString guarda = QStringLiteral("RegistroFacturacion_NoCambiar"), tabla = QStringLiteral("RegistroFacturacion");
    const std::optional<QString> antes = m.definicionDisparador(guarda);
    ASSERT_TRUE(antes);
    m.eliminarDisparador(guarda, tabla);
    for (const char* campo : {"PaisDestinatario", "IDTypeDestinatario", "IDOtroDestinatario"})
        m.ejecutarNativo(QStringLiteral("ALTER TABLE RegistroFacturacion DROP COLUMN %1").arg(QLatin1String(campo)));
    // The guard as it was then, over the fields the table had.
    m.crearDisparadorRechazo(guarda, tabla, QStringLiteral("UPDATE OF \"Huella\""), {}, QStringLiteral("no"));
    bd = std::make_unique<BaseDatos>(base.ruta);
    bd->CrearTablasNuevas();
    Registro r = registro(1, 7);
    r.TipoFactura = QStringLiteral("F1");
    r.NombreDestinatario = QStringLiteral("CAFÉ DO PORTO");
    r.IDTypeDestinatario = QStringLiteral("02");
    r.IDOtroDestinatario = QStringLiteral("PT123456789");
    bd->AnadirRegistro(r);
    EXPECT_EQ(bd->UltimoRegistro(), r);
    fallaSql(QStringLiteral("UPDATE RegistroFacturacion SET IDOtroDestinatario='PT999999990'"));
    EXPECT_EQ(bd->Motor()->definicionDisparador(guarda), antes);
}

// The agency's answer is stored once: a record answered keeps its answer, and only the records
// still pending take a failure's Incidencia.
TEST_F(Registros, SendingStateMovesOnlyFromPending)
{
    for (int i = 1; i <= 3; ++i) {
        Registro r = registro(i, 6 + i);
        if (i > 1) {
            const Registro previo = *bd->UltimoRegistro();
            r.anterior = verifactu::Encadenamiento{previo.IDEmisorFactura, previo.NumSerieFactura, previo.FechaExpedicionFactura, previo.Huella};
        }
        bd->AnadirRegistro(r);
    }
    ASSERT_EQ(bd->RegistrosPendientes(2).size(), 2u);
    EXPECT_EQ(bd->RegistrosPendientes(2).front().orden, 1);
    bd->AnotarRespuestas({{1, QStringLiteral("Correcto"), {}, {}, QStringLiteral("CSV1"), {}},
                          {2, QStringLiteral("Incorrecto"), QStringLiteral("1100"), QStringLiteral("Mal"), QStringLiteral("CSV1"), {}}},
                         30);
    bd->AnotarRespuestas({{1, QStringLiteral("Incorrecto"), QStringLiteral("3000"), {}, QStringLiteral("CSV2"), {}}}, 60);
    bd->AnotarFalloEnvio(QStringLiteral("Sin conexión"));
    const std::vector<verifactu::Pendiente> pendientes = bd->RegistrosPendientes(1000);
    ASSERT_EQ(pendientes.size(), 1u);
    EXPECT_EQ(pendientes[0].orden, 3);
    EXPECT_TRUE(pendientes[0].incidencia);
    motor::BaseDeDatos& m = *bd->Motor();
    EXPECT_EQ(m.valorUnico(QStringLiteral("SELECT EstadoEnvio || CSV FROM RegistroFacturacion WHERE Orden=1")).aTexto(), QStringLiteral("CorrectoCSV1"));
    EXPECT_EQ(m.valorUnico(QStringLiteral("SELECT count(*) FROM RegistroFacturacion WHERE Incidencia = 1")).aEntero(), 1);
    verifactu::EstadoEnvios e = bd->LeerEstadoEnvios();
    EXPECT_EQ((std::array{e.pendientes, e.conErrores, e.rechazados}), (std::array<qint64, 3>{1, 0, 1}));
    EXPECT_EQ(e.tiempoEspera, 60);
    EXPECT_EQ(e.motivo, QStringLiteral("Sin conexión"));
    bd->MarcarSubsanado(2);
    EXPECT_EQ(bd->LeerEstadoEnvios().rechazados, 0);
}

TEST_F(Registros, AnInvoiceWithARecordIsNeitherDeletedNorRenumbered)
{
    bd->Motor()->ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre) VALUES (1, 'UNO'), (2, 'DOS')"));
    for (int n : {7, 9})
        bd->Motor()->ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente) VALUES (0, ?, "
                                                   "'2024-01-01', 1)"),
                                    {n});
    bd->AnadirRegistro(registro(1, 7));
    for (const char* sql : {"DELETE FROM FacturaVentaCabecera WHERE Numero=7", "UPDATE FacturaVentaCabecera SET Numero=8 WHERE Numero=7",
                            "UPDATE FacturaVentaCabecera SET Fecha='2024-01-02' WHERE Numero=7",
                            "UPDATE FacturaVentaCabecera SET Cliente=2 WHERE Numero=7"})
        fallaSql(QString::fromLatin1(sql));
    // Its payment moves; an invoice without a record is as free as ever.
    EXPECT_NO_THROW(bd->Motor()->ejecutarNativo(QStringLiteral("UPDATE FacturaVentaCabecera SET Pagado=10, Serie=0, Numero=7 WHERE Numero=7")));
    EXPECT_NO_THROW(bd->Motor()->ejecutarNativo(QStringLiteral("UPDATE FacturaVentaCabecera SET Numero=10 WHERE Numero=9")));
    EXPECT_EQ(bd->EliminarFactura(0, 10), true);
}

TEST_F(Registros, TheModeIsStoredAndStaysOnOnceTheChainHasBegun)
{
    EXPECT_EQ(bd->LeerVerifactu(), AjustesVerifactu{});
    EXPECT_THROW(bd->GuardarVerifactu({true, QStringLiteral("B123"), QStringLiteral("X"), {}, {}, true}), motor::Error);
    const AjustesVerifactu activo{true, QStringLiteral("b12345674"), QStringLiteral(" EMPRESA PRUEBA "), QStringLiteral("2"), {}, true};
    bd->GuardarVerifactu(activo);
    EXPECT_EQ(bd->LeerVerifactu(), (AjustesVerifactu{true, QStringLiteral("B12345674"), QStringLiteral("EMPRESA PRUEBA"),
                                                     QStringLiteral("2"), {}, true}));
    EXPECT_EQ(bd->EmisorFacturas(), std::make_pair(QStringLiteral("B12345674"), QStringLiteral("EMPRESA PRUEBA")));
    {
        // Another station sees the same mode.
        BaseDatos otra(base.ruta);
        EXPECT_TRUE(otra.LeerVerifactu().Activo);
    }
    AjustesVerifactu apagado = bd->LeerVerifactu();
    apagado.Activo = false;
    EXPECT_NO_THROW(bd->GuardarVerifactu(apagado));  // nothing recorded yet
    bd->GuardarVerifactu(activo);
    bd->AnadirRegistro(registro(1, 7));
    EXPECT_THROW(bd->GuardarVerifactu(apagado), motor::Error);
    fallaSql(QStringLiteral("UPDATE Verifactu SET Activo=0"));
    fallaSql(QStringLiteral("DELETE FROM Verifactu"));
    EXPECT_TRUE(bd->LeerVerifactu().Activo);
    // The issuer is the shop: its data is one, and its NIF stays once the chain has begun.
    DatosComercio comercio = bd->LeerComercio();
    EXPECT_EQ(comercio.NIF, QStringLiteral("B12345674"));
    EXPECT_EQ(comercio.Nombre, QStringLiteral("EMPRESA PRUEBA"));
    comercio.Telefono = QStringLiteral("910 000 001");
    EXPECT_NO_THROW(bd->GuardarComercio(comercio));
    comercio.NIF = QStringLiteral("A58818501");
    EXPECT_THROW(bd->GuardarComercio(comercio), motor::Error);
    EXPECT_EQ(bd->EmisorFacturas().first, QStringLiteral("B12345674"));
}

}  // namespace
