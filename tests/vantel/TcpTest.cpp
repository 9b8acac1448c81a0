// The TCP gateway path: step by step over a fake socket, then against a real
// gateway on the loopback interface.

#include "Falsos.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

using Vantel::CommSocket;

namespace {

const QString Conectado = QStringLiteral("Conexion(sckCONECTADO,sckOK)");
const QString SinCanal = QStringLiteral("Conexion(sckCERRADO,sckCANALNODISPONIBLE)");

struct BancoTcp : Banco {
    BancoTcp()
    {
        socket->setHost(QStringLiteral("pasarela"));
        socket->setPort(4001);
        socket->setTmOutMdm(300);
    }
    void conectar()
    {
        socket->Conectar();
        tcp->aceptar();
        tcp->recibir("OK\r\n");
        agotar();
    }
};

TEST(Pasarela, HandshakeNamesThePortAndItsSettingsAndADropLeavesNoTrace)
{
    BancoTcp b;
    b.socket->setCanal(3);
    b.socket->setSettings(QStringLiteral("4800,E,7,2"));
    b.socket->Conectar();
    EXPECT_EQ(b.tcp->ultimoPuerto, 4001);
    EXPECT_FALSE(b.reloj->activo); // the socket, not a timer, ends this wait
    b.tcp->aceptar();
    EXPECT_EQ(b.tcp->escrito, QByteArray("3,4800,E,7,2\r\n"));
    EXPECT_EQ(b.reloj->intervalo, 300);
    b.tcp->recibir("OK\r\n");
    b.agotar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCONECTANDO,1)",
                                                "CambioEstado(sckCONECTADO,1)", Conectado}));
    EXPECT_EQ(b.reloj->ahora, 500); // settling

    // A dropped connection raises only CambioEstado and leaves no trace.
    b.tcp->recibir("resto sin leer");
    b.registro->eventos.clear();
    b.tcp->cortar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckCAIDO,1)"}));
    EXPECT_EQ(b.socket->Error(), CommSocket::sckError::sckCAIDAPORTADORA);

    // What the old connection left unread must not spoil the next handshake.
    b.conectar();
    EXPECT_EQ(b.registro->ultimo(), Conectado);
}

TEST(Pasarela, EveryWayOfNotConnectingEndsTheAttempt)
{
    // 0 refused at once, 1 lost before accepting, 2 lost before the
    // acknowledgement, 3 lost while settling, 4 silence, 5 Desconectar.
    for (int caso = 0; caso < 6; ++caso) {
        BancoTcp b;
        b.tcp->conectarOk = caso != 0;
        b.socket->Conectar();
        if (caso >= 2)
            b.tcp->aceptar();
        if (caso == 3)
            b.tcp->recibir("OK\r\n");
        if (caso == 4)
            b.tcp->recibir("OK"); // too short to judge
        if (caso == 5)
            b.socket->Desconectar();
        if (caso >= 1 && caso <= 3)
            b.tcp->cortar();
        b.agotar();
        EXPECT_EQ(b.registro->ultimo(), caso == 5 ? "Conexion(sckCERRADO,sckABORTADO)" : SinCanal) << caso;
        EXPECT_FALSE(b.registro->eventos.contains(Conectado)) << caso;
        EXPECT_FALSE(b.tcp->conectado());
    }
}

// --- A real gateway on the loopback interface ------------------------------

enum class Respuesta { Ok, Err, Silencio, CerrarAntes };

class PasarelaReal : public QObject
{
public:
    explicit PasarelaReal(Respuesta respuesta)
    {
        m_servidor.listen(QHostAddress::LocalHost);
        connect(&m_servidor, &QTcpServer::newConnection, this, [this, respuesta] {
            cliente = m_servidor.nextPendingConnection();
            if (respuesta == Respuesta::CerrarAntes)
                return cliente->close();
            connect(cliente, &QTcpSocket::disconnected, this, [this] { cerrada = true; });
            connect(cliente, &QTcpSocket::readyRead, this, [this, respuesta] {
                const bool saludado = saludo.endsWith("\r\n");
                (saludado ? recibido : saludo) += cliente->readAll();
                if (saludado || !saludo.endsWith("\r\n") || respuesta == Respuesta::Silencio)
                    return;
                cliente->write(respuesta == Respuesta::Ok ? "OK\r\n" : "ERR\r\n");
            });
        });
    }
    quint16 puerto() const { return m_servidor.serverPort(); }

    QByteArray saludo, recibido;
    QPointer<QTcpSocket> cliente;
    bool cerrada = false;

private:
    QTcpServer m_servidor;
};

struct Real {
    Real(const QString &host, quint16 puerto)
    {
        socket.setHost(host);
        socket.setPort(puerto);
        socket.setTmOutMdm(200);
        socket.Conectar();
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
    ASSERT_TRUE(r.esperar(Conectado));
    EXPECT_EQ(r.registro.eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCONECTANDO,1)",
                                               "CambioEstado(sckCONECTADO,1)", Conectado}));
    EXPECT_EQ(pasarela.saludo, QByteArray("1,9600,N,8,1\r\n"));

    r.socket.Enviar(QStringLiteral("PESO?\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasarela.recibido == "PESO?\r"; }, 5000));
    pasarela.cliente->write("001.250 kg\r");
    EXPECT_TRUE(r.esperar(QStringLiteral("Recepcion(001.250 kg\r)")));

    pasarela.cliente->close();
    ASSERT_TRUE(r.esperar(QStringLiteral("CambioEstado(sckCAIDO,1)")));
    EXPECT_FALSE(r.registro.todo().contains(QLatin1String("Desconexion")));
}

TEST(PasarelaLoopback, DesconectarSendsWhatWasQueuedThenCloses)
{
    PasarelaReal pasarela(Respuesta::Ok);
    Real r(QStringLiteral("127.0.0.1"), pasarela.puerto());
    ASSERT_TRUE(r.esperar(Conectado));
    r.socket.Enviar(QStringLiteral("ADIOS"));
    r.socket.Desconectar();
    ASSERT_TRUE(r.esperar(QStringLiteral("Desconexion(sckCERRADO,sckOK)")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasarela.cerrada; }, 5000));
    EXPECT_EQ(pasarela.recibido, QByteArray("ADIOS"));
}

TEST(PasarelaLoopback, RefusingSilentOrUnreachableGatewaysEndTheAttempt)
{
    for (const Respuesta respuesta : {Respuesta::Err, Respuesta::Silencio, Respuesta::CerrarAntes}) {
        PasarelaReal pasarela(respuesta);
        Real r(QStringLiteral("127.0.0.1"), pasarela.puerto());
        EXPECT_TRUE(r.esperar(SinCanal)) << static_cast<int>(respuesta) << r.registro.todo().toStdString();
    }
    quint16 libre = 0;
    {
        QTcpServer nadie;
        nadie.listen(QHostAddress::LocalHost);
        libre = nadie.serverPort();
    }
    for (const QString &host : {QStringLiteral("127.0.0.1"), QStringLiteral("no-existe.invalid")}) {
        Real r(host, libre);
        EXPECT_TRUE(r.esperar(SinCanal, 10000)) << host.toStdString();
    }
}

TEST(PasarelaLoopback, TheHostMayDeleteTheControlFromItsConexionHandler)
{
    PasarelaReal pasarela(Respuesta::Err);
    auto *socket = new CommSocket;
    QPointer<CommSocket> vivo(socket);
    QObject::connect(socket, &CommSocket::Conexion, socket, [socket] { delete socket; });
    socket->setHost(QStringLiteral("127.0.0.1"));
    socket->setPort(pasarela.puerto());
    socket->setTmOutMdm(2000);
    socket->Conectar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return vivo.isNull(); }, 5000));
    // The socket that was delivering the answer goes afterwards, not under its own feet.
    QTest::qWait(50);
}

} // namespace
