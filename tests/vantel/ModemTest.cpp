// The modem and direct-line paths over fake ports and a hand-driven clock.

#include "Falsos.h"

#include <gtest/gtest.h>

using Vantel::CommSocket;
using Estado = CommSocket::sckEstado;

namespace {

const QList<QByteArray> Inicio = {"AT&FE0V0Q0L3", "AT&FE0V0Q0L3", "AT&C1", "AT&D2", "AT&A0"};
const QString Conectado = QStringLiteral("Conexion(sckCONECTADO,sckOK)");

// A modem that stays silent after the dial command: the test answers.
QByteArray callaAlMarcar(const QByteArray &c)
{
    return c.startsWith("ATD") ? QByteArray() : QByteArray("0\r");
}

class Modem : public ::testing::Test
{
protected:
    Modem()
    {
        b.conModem();
    }
    // Answers the dial with primera, then with "1" CR.
    void marcadosResponden(const QByteArray &primera)
    {
        b.serie->modem = [this, primera](const QByteArray &c) -> QByteArray {
            if (!c.startsWith("ATD"))
                return "0\r";
            return b.serie->comandos.count(c) == 1 ? primera : "1\r";
        };
    }
    void conectar()
    {
        b.conectar();
        ASSERT_EQ(b.registro->ultimo(), Conectado) << b.registro->todo().toStdString();
    }
    void hastaMarcar()
    {
        b.socket->Conectar();
        ASSERT_TRUE(b.correr([&] { return b.serie->comandos.contains("ATDT555"); }));
    }
    Banco b;
};

TEST_F(Modem, DialsAndHangsUpTalkingToTheModemAtEightBitsNoParity)
{
    b.socket->setSettings(QStringLiteral("19200,E,7,1"));
    conectar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckINICIANDO,1)",
                                                "CambioEstado(sckCONECTANDO,1)", "CambioEstado(sckCONECTADO,1)",
                                                Conectado}));
    EXPECT_EQ(b.serie->comandos, Inicio + QList<QByteArray>{"ATDT555"});
    EXPECT_EQ(b.serie->settings, QStringList({"19200,E,7,1", "19200,N,8,1", "19200,E,7,1"}));
    EXPECT_TRUE(b.serie->vigilando);

    b.registro->eventos.clear();
    b.socket->Desconectar();
    EXPECT_EQ(b.reloj->intervalo, 1100); // guard time before "+++"
    b.agotar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckDESCONECTANDO,1)", "CambioEstado(sckCERRADO,1)",
                                                "Desconexion(sckCERRADO,sckOK)"}));
    EXPECT_EQ(b.serie->comandos.mid(6), QList<QByteArray>({"+++", "ATH"}));
    EXPECT_EQ(b.serie->settings.last(), QStringLiteral("19200,N,8,1"));
    EXPECT_FALSE(b.serie->abierto());
}

TEST_F(Modem, DialAnswerDecidesTheOutcome)
{
    const QList<std::pair<QByteArray, QString>> casos = {
        {"1LC\r", Conectado},
        {"12\r", Conectado},
        {"7\r", "Conexion(sckCERRADO,sckOCUPADO)"},
        {"6\r", "Conexion(sckCERRADO,sckNOHAYTONO)"},
        {"8\r", "Conexion(sckCERRADO,sckNORESPUESTA)"},
        {"3\r", "Conexion(sckCERRADO,sckABORTADO)"},
        {"2\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"},
        // An OK is no answer to a dial; the failure must not read as sckOK.
        {"0\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"},
        {"CONNECT 9600\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"},
    };
    for (const auto &[respuesta, fin] : casos) {
        Banco banco;
        banco.conModem(modemQueResponde(respuesta));
        banco.socket->setIntentos(1);
        banco.conectar();
        EXPECT_EQ(banco.registro->ultimo(), fin) << respuesta.toStdString();
        EXPECT_EQ(banco.serie->abierto(), fin == Conectado);
    }
}

TEST_F(Modem, BusyRedialsAfterReinitialisingWhileAttemptsRemain)
{
    b.socket->setIntentos(2);
    marcadosResponden("7\r");
    conectar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckINICIANDO,1)",
                                                "CambioEstado(sckCONECTANDO,1)", "CambioEstado(sckCONECTANDO,2)",
                                                "CambioEstado(sckINICIANDO,2)", "CambioEstado(sckCONECTANDO,2)",
                                                "CambioEstado(sckCONECTADO,2)", Conectado}));
    EXPECT_EQ(b.serie->comandos, Inicio + QList<QByteArray>{"ATDT555"} + Inicio + QList<QByteArray>{"ATDT555"});
}

TEST_F(Modem, SilenceAfterDiallingEndsAfterTmOutCnxOrCancelsAndRedials)
{
    b.socket->setIntentos(1);
    b.socket->setTmOutCnx(3);
    b.serie->modem = callaAlMarcar;
    hastaMarcar();
    const qint64 marcado = b.reloj->ahora;
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckTMOUTDIAL)"));
    EXPECT_EQ(b.reloj->ahora - marcado, 3000);

    Banco otro;
    otro.conModem([&](const QByteArray &c) -> QByteArray {
        return c.startsWith("ATD") && otro.serie->comandos.count(c) == 2 ? "1\r" : callaAlMarcar(c);
    });
    otro.socket->setIntentos(2);
    otro.conectar();
    EXPECT_EQ(otro.registro->ultimo(), Conectado);
    EXPECT_EQ(otro.serie->comandos.value(6), QByteArray()); // a lone CR cancels the first dial
}

TEST_F(Modem, InitialisationAnsweredWronglyOrNotAtAllFails)
{
    for (const QByteArray &respuesta : {QByteArray("4\r"), QByteArray()}) {
        Banco banco;
        banco.conModem([&](const QByteArray &) { return banco.serie->comandos.size() == 2 ? respuesta : QByteArray("0\r"); });
        banco.socket->setTmOutMdm(250);
        banco.conectar();
        EXPECT_EQ(banco.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckINIMODEM)"));
        EXPECT_EQ(banco.serie->comandos.size(), 2);
    }
}

TEST_F(Modem, InitialisationListIsSentInOrderAndAnEmptyOneStillTurnsEchoOff)
{
    b.socket->setInicializacion(QStringLiteral("ATZ|0[Cr]|ATS0=0||AT&K3|0[CrLf]"));
    b.serie->modem = [](const QByteArray &c) -> QByteArray {
        return c == "AT&K3" ? "0\r\n" : modemQueResponde("1\r")(c);
    };
    conectar();
    EXPECT_EQ(b.serie->comandos, QList<QByteArray>({"ATZ", "ATS0=0", "AT&K3", "ATDT555"}));

    Banco vacio;
    vacio.conModem();
    vacio.socket->setInicializacion(QString());
    vacio.conectar();
    EXPECT_EQ(vacio.serie->comandos, QList<QByteArray>({"ATE0V0", "ATDT555"}));
}

TEST_F(Modem, ControlLinesInTheMaskMustComeUp)
{
    b.socket->setMskDTRRTS(2);
    b.socket->setIntentos(3);
    b.serie->dsrAlto = false;
    b.conectar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckABRIENDO,2)",
                                                "CambioEstado(sckABRIENDO,3)", "CambioEstado(sckCERRADO,3)",
                                                "Conexion(sckCERRADO,sckNOHAYLINEA)"}));
    EXPECT_EQ(b.reloj->ahora, 10 * 5 + 2 * 100 * 5);

    Banco soloCts; // DSR is down but not asked for
    soloCts.socket->setMskDTRRTS(1);
    soloCts.serie->dsrAlto = false;
    soloCts.conectar();
    EXPECT_EQ(soloCts.registro->ultimo(), Conectado);
}

TEST_F(Modem, AttemptsSpentOnTheLinesDoNotShortenTheDialling)
{
    b.socket->setIntentos(2);
    b.serie->ctsAlto = false;
    QObject::connect(b.socket.get(), &CommSocket::CambioEstado, b.socket.get(),
                     [&](Estado, int intento) { b.serie->ctsAlto = intento == 2 || b.serie->ctsAlto; });
    marcadosResponden("7\r");
    conectar();
    EXPECT_EQ(b.serie->comandos.count("ATDT555"), 2);
}

TEST_F(Modem, RepeatedConectarIsIgnoredDesconectarWhileDiallingAbortsAndAnUnopenablePortIsSaid)
{
    b.serie->modem = callaAlMarcar;
    hastaMarcar();
    const QStringList antes = b.registro->eventos;
    b.socket->Conectar(); // under way: ignored
    EXPECT_EQ(b.registro->eventos, antes);
    EXPECT_EQ(b.serie->aperturas, 1);
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckABORTADO)"));
    EXPECT_EQ(b.serie->comandos.last(), QByteArray());
    EXPECT_FALSE(b.serie->abierto());

    Banco cerrado;
    cerrado.serie->abrirOk = false;
    cerrado.conectar();
    EXPECT_EQ(cerrado.registro->eventos, QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCERRADO,1)",
                                                      "Conexion(sckCERRADO,sckCANALNODISPONIBLE)"}));
}

TEST_F(Modem, LostCarrierDropsTheLineWhichThenConnectsAgain)
{
    for (const bool subeAntesDeConnect : {true, false}) {
        Banco c;
        c.conModem(callaAlMarcar);
        c.socket->Conectar();
        c.correr([&] { return c.serie->comandos.contains("ATDT555"); });
        if (subeAntesDeConnect)
            c.serie->portadora(true);
        c.serie->recibir("1\r");
        if (!subeAntesDeConnect) // the polled line may trail the answer
            c.serie->portadora(true);
        c.agotar();
        c.registro->eventos.clear();
        c.serie->portadora(false);
        EXPECT_EQ(c.registro->eventos, QStringList({"CambioEstado(sckCAIDO,1)"}));
        EXPECT_EQ(c.socket->Error(), CommSocket::sckError::sckCAIDAPORTADORA);

        // The dropped line still holds its port; connecting must not trip on it.
        c.serie->modem = modemQueResponde("1\r");
        c.conectar();
        EXPECT_EQ(c.registro->ultimo(), Conectado);
    }
}

class Colgar : public Modem
{
protected:
    void SetUp() override
    {
        b.socket->setSettings(QStringLiteral("2400,E,7,1"));
        b.socket->setIntentos(2);
        b.socket->setTmOutHang(3);
        conectar();
        b.registro->eventos.clear();
    }
    void desconectar(std::function<QByteArray(const QByteArray &)> modem)
    {
        b.serie->modem = std::move(modem);
        b.socket->Desconectar();
        b.agotar();
    }
};

TEST_F(Colgar, EscapeNeverAnsweredStaysConnectedAndHangUpUnansweredOrRefusedEndsDropped)
{
    desconectar([](const QByteArray &) { return QByteArray(); });
    EXPECT_EQ(b.registro->eventos,
              QStringList({"CambioEstado(sckDESCONECTANDO,1)", "CambioEstado(sckDESCONECTANDO,2)",
                           "CambioEstado(sckCONECTADO,2)", "Desconexion(sckCONECTADO,sckALCOLGAR)"}));
    EXPECT_EQ(b.serie->settings.last(), QStringLiteral("2400,E,7,1"));
    EXPECT_TRUE(b.serie->abierto());

    // Hang-up unanswered, or refused, ends dropped.
    b.registro->eventos.clear();
    qint64 colgado = -1;
    desconectar([&](const QByteArray &c) {
        return c == "ATH" ? (colgado = b.reloj->ahora, QByteArray()) : QByteArray("0\r");
    });
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCAIDO,sckALCOLGAR)"));
    EXPECT_EQ(b.reloj->ahora - colgado, 3000);

    // The escape's OK must not pass for the answer to ATH.
    b.registro->eventos.clear();
    desconectar([](const QByteArray &c) { return c == "ATH" ? QByteArray("4\r") : QByteArray("0\r"); });
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCAIDO,sckALCOLGAR)"));
}

// Wherever Desconectar lands, the channel ends closed, the port released and
// nothing waiting; the host hears how it ended.
TEST(DesconectarEnCadaPaso, AlwaysEndsClosedAndReported)
{
    for (const bool conModem : {true, false}) {
        for (int pasos = 0; pasos < 500; ++pasos) {
            Banco b;
            if (conModem)
                b.conModem();
            b.socket->Conectar();
            int hechos = 0;
            while (hechos < pasos && (b.serie->entregar() || b.reloj->disparar()))
                ++hechos;
            const bool yaConectado = b.estado() == Estado::sckCONECTADO;
            b.socket->Desconectar();
            b.agotar();
            SCOPED_TRACE(b.registro->todo().toStdString());
            EXPECT_EQ(b.estado(), Estado::sckCERRADO);
            EXPECT_FALSE(b.serie->abierto());
            EXPECT_FALSE(b.reloj->activo);
            const QString fin = b.registro->ultimo();
            if (yaConectado)
                EXPECT_EQ(fin, QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
            else // settling after CONNECT counts as connected and is hung up
                EXPECT_TRUE(fin == "Conexion(sckCERRADO,sckABORTADO)" || fin == "Desconexion(sckCERRADO,sckOK)");
            if (hechos < pasos)
                break; // the connection was complete before Desconectar
        }
    }
}

class LineaDirecta : public ::testing::Test
{
protected:
    LineaDirecta()
    {
        b.conectar();
        b.registro->eventos.clear();
    }
    Banco b;
};

TEST_F(LineaDirecta, ConnectsWithoutAModemDialogueAndClosesAtOnce)
{
    EXPECT_TRUE(b.serie->escrito.isEmpty());
    EXPECT_EQ(b.estado(), Estado::sckCONECTADO);
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
    EXPECT_EQ(b.reloj->ahora, 10 * 5 + 5);
}

TEST_F(LineaDirecta, ReceivedDataAccumulatesUntilTheHostTakesItOrFlushes)
{
    b.serie->recibir("AB");
    b.serie->recibir("C\r");
    EXPECT_EQ(b.registro->eventos, QStringList({"Recepcion(AB)", "Recepcion(ABC\r)"}));

    // A host that takes whole lines and leaves the partial one.
    b.registro->eventos.clear();
    b.registro->alRecibir = [](QString &rx) { rx.remove(0, rx.lastIndexOf(QLatin1Char('\r')) + 1); };
    b.serie->recibir("L1\rL2");
    b.serie->recibir("\r");
    EXPECT_EQ(b.registro->eventos, QStringList({"Recepcion(ABC\rL1\rL2)", "Recepcion(L2\r)"}));

    // ForzarEvento repeats the buffer only when something is left.
    b.registro->eventos.clear();
    b.registro->alRecibir = nullptr;
    b.socket->Flush();
    b.serie->recibir("AB");
    b.socket->ForzarEvento();
    b.agotar();
    b.socket->Flush();
    b.socket->ForzarEvento();
    b.agotar();
    EXPECT_EQ(b.registro->eventos, QStringList({"Recepcion(AB)", "Recepcion(AB)"}));
}

TEST_F(LineaDirecta, BinaryDataPassesUnchangedBothWays)
{
    const QByteArray binario("\x00\x01\xff\r\n\x80z", 7);
    b.socket->Enviar(binario);
    b.socket->Enviar(QString::fromLatin1(binario));
    EXPECT_EQ(b.serie->escrito, binario + binario);
    QByteArray recibido;
    b.registro->alRecibir = [&](QString &rx) { recibido += std::exchange(rx, {}).toLatin1(); };
    b.serie->recibir(binario);
    EXPECT_EQ(recibido, binario);
}

} // namespace
