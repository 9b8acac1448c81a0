// The TCP gateway path: first step by step over a fake socket, then against
// a real gateway listening on the loopback interface.

#include "Falsos.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

using Vantel::CommSocket;
using Estado = CommSocket::sckEstado;
using Error = CommSocket::sckError;

namespace {

class Pasarela : public ::testing::Test
{
protected:
    Pasarela()
    {
        b.socket->setHost(QStringLiteral("pasarela"));
        b.socket->setPort(4001);
        b.socket->setTmOutMdm(300);
    }
    // Up to the gateway's acknowledgement.
    void hastaAcuse()
    {
        b.socket->Conectar();
        b.tcp->aceptar();
    }
    void conectar()
    {
        hastaAcuse();
        b.tcp->recibir("OK\r\n");
        b.agotar();
        ASSERT_EQ(b.socket->Estado(), Estado::sckCONECTADO);
    }
    Banco b;
};

TEST_F(Pasarela, HandshakeNamesThePortAndItsSettings)
{
    b.socket->setCanal(3);
    b.socket->setSettings(QStringLiteral("4800,E,7,2"));
    b.socket->Conectar();
    EXPECT_EQ(b.tcp->host, QStringLiteral("pasarela"));
    EXPECT_EQ(b.tcp->puerto, 4001);
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCONECTANDO,1)"}));
    EXPECT_FALSE(b.reloj->activo());

    b.tcp->aceptar();
    EXPECT_EQ(b.tcp->escrito, QByteArray("3,4800,E,7,2\r\n"));
    EXPECT_EQ(b.reloj->intervalo(), 300);
    b.tcp->recibir("OK\r\n");
    EXPECT_EQ(b.reloj->intervalo(), 500);
    b.agotar();
    EXPECT_EQ(b.registro->eventos,
              QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCONECTANDO,1)",
                           "CambioEstado(sckCONECTADO,1)", "Conexion(sckCONECTADO,sckOK)"}));
    EXPECT_FALSE(b.serie->abierto());
}

TEST_F(Pasarela, AcknowledgementMayArriveInPieces)
{
    hastaAcuse();
    for (const char *trozo : {"O", "K", "\r", "\n"})
        b.tcp->recibir(trozo);
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCONECTADO,sckOK)"));
}

TEST_F(Pasarela, AnythingButOkEndsTheAttempt)
{
    for (const QByteArray &acuse : {QByteArray("ERR\r\n"), QByteArray("OK\n\r"), QByteArray("ok\r\n"),
                                    QByteArray("\0\0\0\0", 4)}) {
        Banco banco;
        banco.socket->setHost(QStringLiteral("pasarela"));
        banco.socket->setPort(4001);
        banco.socket->Conectar();
        banco.tcp->aceptar();
        banco.tcp->recibir(acuse);
        banco.agotar();
        EXPECT_EQ(banco.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckCANALNODISPONIBLE)"))
            << acuse.toHex().toStdString();
        EXPECT_FALSE(banco.tcp->conectado());
    }
}

TEST_F(Pasarela, SilentGatewayTimesOutAfterTmOutMdm)
{
    hastaAcuse();
    b.tcp->recibir("OK"); // too short to judge
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckCANALNODISPONIBLE)"));
    EXPECT_EQ(b.reloj->ahora(), 300);
}

TEST_F(Pasarela, LossBeforeConnectedEndsTheAttempt)
{
    // Refused, closed before the acknowledgement, or closed while settling.
    for (int cuando = 0; cuando < 3; ++cuando) {
        Banco banco;
        banco.socket->setHost(QStringLiteral("pasarela"));
        banco.socket->setPort(4001);
        banco.socket->Conectar();
        if (cuando >= 1)
            banco.tcp->aceptar();
        if (cuando >= 2)
            banco.tcp->recibir("OK\r\n");
        banco.tcp->cortar();
        banco.agotar();
        EXPECT_EQ(banco.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckCANALNODISPONIBLE)"))
            << cuando;
        EXPECT_EQ(banco.registro->eventos.count(QStringLiteral("Conexion(sckCONECTADO,sckOK)")), 0);
    }
}

TEST_F(Pasarela, ConnectThatCannotStartFailsOnTheNextTick)
{
    b.tcp->conectarOk = false;
    b.socket->Conectar();
    EXPECT_EQ(b.reloj->intervalo(), 5);
    b.agotar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCERRADO,1)",
                                                "Conexion(sckCERRADO,sckCANALNODISPONIBLE)"}));
}

TEST_F(Pasarela, DesconectarBeforeTheAcknowledgementAborts)
{
    for (const bool aceptado : {false, true}) {
        Banco banco;
        banco.socket->setHost(QStringLiteral("pasarela"));
        banco.socket->setPort(4001);
        banco.socket->Conectar();
        if (aceptado)
            banco.tcp->aceptar();
        banco.socket->Desconectar();
        banco.tcp->aceptar(); // a late connect changes nothing
        banco.tcp->recibir("OK\r\n");
        banco.agotar();
        EXPECT_EQ(banco.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckABORTADO)"));
        EXPECT_FALSE(banco.tcp->conectado());
    }
}

TEST_F(Pasarela, DroppedConnectionRaisesOnlyCambioEstado)
{
    conectar();
    b.registro->eventos.clear();
    b.tcp->cortar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckCAIDO,1)"}));
    EXPECT_EQ(b.socket->Error(), Error::sckCAIDAPORTADORA);
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
}

TEST_F(Pasarela, UnreadDataOfADroppedConnectionDoesNotSpoilTheNextHandshake)
{
    conectar();
    b.tcp->recibir("resto sin leer");
    b.tcp->cortar();
    b.socket->Conectar();
    b.tcp->aceptar();
    b.tcp->recibir("OK\r\n");
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCONECTADO,sckOK)"));
}

TEST_F(Pasarela, DataFlowsBothWaysOnceConnected)
{
    conectar();
    b.registro->eventos.clear();
    b.tcp->escrito.clear();
    b.socket->Enviar(QStringLiteral("PING"));
    EXPECT_EQ(b.tcp->escrito, QByteArray("PING"));
    b.tcp->recibir("PONG");
    EXPECT_EQ(b.registro->eventos, QStringList({"Recepcion(PONG)"}));
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
    EXPECT_FALSE(b.tcp->conectado());
}

// --- A real gateway on the loopback interface ------------------------------

enum class Respuesta { Ok, Err, Silencio, CerrarAntes };

class PasarelaReal : public QObject
{
public:
    explicit PasarelaReal(Respuesta respuesta)
        : m_respuesta(respuesta)
    {
        m_servidor.listen(QHostAddress::LocalHost);
        QObject::connect(&m_servidor, &QTcpServer::newConnection, this, &PasarelaReal::aceptar);
    }
    quint16 puerto() const { return m_servidor.serverPort(); }

    QByteArray saludo;
    QByteArray recibido;
    QPointer<QTcpSocket> cliente;
    bool cerradoPorElControl = false;

private:
    void aceptar()
    {
        cliente = m_servidor.nextPendingConnection();
        if (m_respuesta == Respuesta::CerrarAntes) {
            cliente->close();
            return;
        }
        QObject::connect(cliente, &QTcpSocket::disconnected, this, [this] { cerradoPorElControl = true; });
        QObject::connect(cliente, &QTcpSocket::readyRead, this, [this] {
            const QByteArray llegado = cliente->readAll();
            if (!saludo.endsWith("\r\n")) {
                saludo += llegado;
                if (saludo.endsWith("\r\n"))
                    contestar();
            } else {
                recibido += llegado;
            }
        });
    }
    void contestar()
    {
        if (m_respuesta == Respuesta::Ok)
            cliente->write("OK\r\n");
        else if (m_respuesta == Respuesta::Err)
            cliente->write("ERR\r\n");
    }

    Respuesta m_respuesta;
    QTcpServer m_servidor;
};

struct Real {
    explicit Real(const QString &host, quint16 puerto)
    {
        socket.setHost(host);
        socket.setPort(puerto);
        socket.setTmOutMdm(200);
    }
    bool esperar(const QString &evento, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return registro.eventos.contains(evento); }, ms);
    }
    CommSocket socket;
    Registro registro{socket};
};

TEST(PasarelaLoopback, ConnectsExchangesDataAndNoticesTheDrop)
{
    PasarelaReal pasarela(Respuesta::Ok);
    Real r(QStringLiteral("127.0.0.1"), pasarela.puerto());
    r.socket.Conectar();
    ASSERT_TRUE(r.esperar(QStringLiteral("Conexion(sckCONECTADO,sckOK)")));
    EXPECT_EQ(r.registro.eventos,
              QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCONECTANDO,1)",
                           "CambioEstado(sckCONECTADO,1)", "Conexion(sckCONECTADO,sckOK)"}));
    EXPECT_EQ(pasarela.saludo, QByteArray("1,9600,N,8,1\r\n"));

    r.socket.Enviar(QStringLiteral("PESO?\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasarela.recibido == "PESO?\r"; }, 5000));
    pasarela.cliente->write("001.250 kg\r");
    EXPECT_TRUE(r.esperar(QStringLiteral("Recepcion(001.250 kg\r)")));

    pasarela.cliente->close();
    ASSERT_TRUE(r.esperar(QStringLiteral("CambioEstado(sckCAIDO,1)")));
    EXPECT_EQ(r.socket.Error(), Error::sckCAIDAPORTADORA);
    EXPECT_FALSE(r.registro.eventos.join(QLatin1Char(' ')).contains(QLatin1String("Desconexion")));
}

TEST(PasarelaLoopback, DesconectarClosesTheGatewaysConnection)
{
    PasarelaReal pasarela(Respuesta::Ok);
    Real r(QStringLiteral("127.0.0.1"), pasarela.puerto());
    r.socket.Conectar();
    ASSERT_TRUE(r.esperar(QStringLiteral("Conexion(sckCONECTADO,sckOK)")));
    r.socket.Enviar(QStringLiteral("ADIOS"));
    r.socket.Desconectar();
    ASSERT_TRUE(r.esperar(QStringLiteral("Desconexion(sckCERRADO,sckOK)")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasarela.cerradoPorElControl; }, 5000));
    EXPECT_EQ(pasarela.recibido, QByteArray("ADIOS")); // sent before the close, not lost
}

TEST(PasarelaLoopback, GatewayThatRefusesIsSilentOrHangsUpEndsTheAttempt)
{
    for (const Respuesta respuesta : {Respuesta::Err, Respuesta::Silencio, Respuesta::CerrarAntes}) {
        PasarelaReal pasarela(respuesta);
        Real r(QStringLiteral("127.0.0.1"), pasarela.puerto());
        r.socket.Conectar();
        EXPECT_TRUE(r.esperar(QStringLiteral("Conexion(sckCERRADO,sckCANALNODISPONIBLE)")))
            << static_cast<int>(respuesta) << r.registro.eventos.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(r.socket.Estado(), Estado::sckCERRADO);
    }
}

TEST(PasarelaLoopback, UnreachableGatewayIsReportedNotThrown)
{
    quint16 libre = 0;
    {
        QTcpServer cerrado;
        cerrado.listen(QHostAddress::LocalHost);
        libre = cerrado.serverPort();
    }
    for (const QString &host : {QStringLiteral("127.0.0.1"), QStringLiteral("no-existe.invalid")}) {
        Real r(host, libre);
        r.socket.Conectar();
        EXPECT_TRUE(r.esperar(QStringLiteral("Conexion(sckCERRADO,sckCANALNODISPONIBLE)"), 10000))
            << host.toStdString();
    }
}

} // namespace
