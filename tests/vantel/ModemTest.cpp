// The modem and direct-line paths, driven one event at a time over fake
// ports and a hand-driven clock.

#include "Falsos.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

using Vantel::CommSocket;
using Estado = CommSocket::sckEstado;
using Error = CommSocket::sckError;

namespace {

const QList<QByteArray> InicioPorDefecto = {"AT&FE0V0Q0L3", "AT&FE0V0Q0L3", "AT&C1", "AT&D2", "AT&A0"};

class Modem : public ::testing::Test
{
protected:
    Modem()
    {
        b.socket->setNumTelefono(QStringLiteral("555"));
        b.socket->setDispositivo(QStringLiteral("/dev/falso"));
        b.serie->modem = modemQueResponde("1\r");
    }

    QStringList eventos() const { return b.registro->eventos; }
    bool conectado() const { return b.socket->Estado() == Estado::sckCONECTADO; }
    void conectar()
    {
        b.socket->Conectar();
        b.agotar();
        ASSERT_TRUE(conectado()) << eventos().join(QLatin1Char(' ')).toStdString();
    }
    // Runs until the modem has been handed the command.
    void hastaComando(const QByteArray &comando)
    {
        ASSERT_TRUE(b.correr([&] { return b.serie->comandos.contains(comando); }));
    }

    Banco b;
};

TEST_F(Modem, DialsHangsUpAndTalksToTheModemAtEightBitsNoParity)
{
    b.socket->setSettings(QStringLiteral("19200,E,7,1"));
    conectar();
    EXPECT_EQ(eventos(), QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckINICIANDO,1)",
                                      "CambioEstado(sckCONECTANDO,1)", "CambioEstado(sckCONECTADO,1)",
                                      "Conexion(sckCONECTADO,sckOK)"}));
    EXPECT_EQ(b.serie->comandos, InicioPorDefecto + QList<QByteArray>{"ATDT555"});
    EXPECT_EQ(b.serie->settings, QStringList({"19200,E,7,1", "19200,N,8,1", "19200,E,7,1"}));
    EXPECT_EQ(b.serie->dispositivo, QStringLiteral("/dev/falso"));
    EXPECT_TRUE(b.serie->vigilando);

    b.registro->eventos.clear();
    b.socket->Desconectar();
    EXPECT_EQ(b.reloj->intervalo(), 1100); // escape guard time before "+++"
    b.agotar();
    EXPECT_EQ(eventos(), QStringList({"CambioEstado(sckDESCONECTANDO,1)", "CambioEstado(sckCERRADO,1)",
                                      "Desconexion(sckCERRADO,sckOK)"}));
    EXPECT_EQ(b.serie->comandos.mid(6), QList<QByteArray>({"+++", "ATH"}));
    EXPECT_EQ(b.serie->settings.last(), QStringLiteral("19200,N,8,1"));
    EXPECT_FALSE(b.serie->abierto());
}

struct RespuestaAlMarcar {
    const char *respuesta;
    const char *conexion;
};

void PrintTo(const RespuestaAlMarcar &dato, std::ostream *salida)
{
    *salida << QByteArray(dato.respuesta).toPercentEncoding().toStdString();
}

class AlMarcar : public Modem, public ::testing::WithParamInterface<RespuestaAlMarcar>
{
};

TEST_P(AlMarcar, EndsTheAttemptAsTheAnswerSays)
{
    b.socket->setIntentos(1);
    b.serie->modem = modemQueResponde(GetParam().respuesta);
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QString::fromLatin1(GetParam().conexion));
    EXPECT_EQ(b.serie->abierto(), conectado());
    EXPECT_FALSE(b.reloj->activo());
}

INSTANTIATE_TEST_SUITE_P(
    Respuestas, AlMarcar,
    ::testing::Values(RespuestaAlMarcar{"1\r", "Conexion(sckCONECTADO,sckOK)"},
                      RespuestaAlMarcar{"1LC\r", "Conexion(sckCONECTADO,sckOK)"},
                      RespuestaAlMarcar{"12\r", "Conexion(sckCONECTADO,sckOK)"},
                      RespuestaAlMarcar{"56LC\r", "Conexion(sckCONECTADO,sckOK)"},
                      RespuestaAlMarcar{"7\r", "Conexion(sckCERRADO,sckOCUPADO)"},
                      RespuestaAlMarcar{"6\r", "Conexion(sckCERRADO,sckNOHAYTONO)"},
                      RespuestaAlMarcar{"8\r", "Conexion(sckCERRADO,sckNORESPUESTA)"},
                      RespuestaAlMarcar{"3\r", "Conexion(sckCERRADO,sckABORTADO)"},
                      RespuestaAlMarcar{"4\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"},
                      RespuestaAlMarcar{"2\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"},
                      // An OK is no answer to a dial; it must not end as sckOK.
                      RespuestaAlMarcar{"0\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"},
                      RespuestaAlMarcar{"CONNECT 9600\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"},
                      RespuestaAlMarcar{"57\r", "Conexion(sckCERRADO,sckCOMANDONOPREVISTO)"}),
    [](const ::testing::TestParamInfo<RespuestaAlMarcar> &dato) {
        std::string nombre = std::to_string(dato.index) + "_";
        for (const char *c = dato.param.respuesta; *c; ++c)
            nombre += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return nombre;
    });

TEST_F(Modem, BusyRedialsAfterReinitialisingWhileAttemptsRemain)
{
    b.socket->setIntentos(2);
    int marcados = 0;
    b.serie->modem = [&](const QByteArray &c) -> QByteArray {
        if (c.startsWith("ATD"))
            return ++marcados == 1 ? "7\r" : "1\r";
        return "0\r";
    };
    conectar();
    EXPECT_EQ(eventos(), QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckINICIANDO,1)",
                                      "CambioEstado(sckCONECTANDO,1)", "CambioEstado(sckCONECTANDO,2)",
                                      "CambioEstado(sckINICIANDO,2)", "CambioEstado(sckCONECTANDO,2)",
                                      "CambioEstado(sckCONECTADO,2)", "Conexion(sckCONECTADO,sckOK)"}));
    EXPECT_EQ(b.serie->comandos, InicioPorDefecto + QList<QByteArray>{"ATDT555"} + InicioPorDefecto
                                     + QList<QByteArray>{"ATDT555"});
}

TEST_F(Modem, BusyOnEveryAttemptFailsAfterTheLast)
{
    b.socket->setIntentos(2);
    b.serie->modem = modemQueResponde("7\r");
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckOCUPADO)"));
    EXPECT_EQ(b.serie->comandos.count("ATDT555"), 2);
}

TEST_F(Modem, SilenceAfterDiallingEndsAfterTmOutCnxSeconds)
{
    b.socket->setIntentos(1);
    b.socket->setTmOutCnx(3);
    qint64 marcado = -1;
    b.serie->modem = [&](const QByteArray &c) -> QByteArray {
        if (!c.startsWith("ATD"))
            return "0\r";
        marcado = b.reloj->ahora();
        return {};
    };
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckTMOUTDIAL)"));
    EXPECT_EQ(b.reloj->ahora() - marcado, 3000);
}

TEST_F(Modem, SilenceAfterDiallingCancelsWithCrAndRedials)
{
    b.socket->setIntentos(2);
    b.socket->setTmOutCnx(2);
    int marcados = 0;
    b.serie->modem = [&](const QByteArray &c) -> QByteArray {
        if (c.startsWith("ATD"))
            return ++marcados == 1 ? QByteArray() : "1\r";
        return c.isEmpty() ? QByteArray() : "0\r";
    };
    conectar();
    const qsizetype primero = b.serie->comandos.indexOf("ATDT555");
    EXPECT_EQ(b.serie->comandos.value(primero + 1), QByteArray()); // the lone CR
    EXPECT_EQ(b.serie->comandos.count("ATDT555"), 2);
}

TEST_F(Modem, DesconectarWhileDiallingAborts)
{
    b.serie->modem = [](const QByteArray &c) -> QByteArray { return c.startsWith("ATD") ? "" : "0\r"; };
    b.socket->Conectar();
    hastaComando("ATDT555");
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckABORTADO)"));
    EXPECT_EQ(b.serie->comandos.last(), QByteArray()); // CR cancels the dial
    EXPECT_FALSE(b.serie->abierto());
}

TEST_F(Modem, InitialisationAnsweredWronglyOrNotAtAllFails)
{
    for (const QByteArray &respuesta : {QByteArray("4\r"), QByteArray()}) {
        Banco banco;
        banco.socket->setNumTelefono(QStringLiteral("555"));
        banco.socket->setTmOutMdm(250);
        qint64 enviado = -1;
        banco.serie->modem = [&](const QByteArray &) -> QByteArray {
            if (banco.serie->comandos.size() != 2)
                return "0\r";
            enviado = banco.reloj->ahora();
            return respuesta;
        };
        banco.socket->Conectar();
        banco.agotar();
        EXPECT_EQ(banco.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckINIMODEM)"));
        if (respuesta.isEmpty()) {
            EXPECT_EQ(banco.reloj->ahora() - enviado, 250);
        }
        EXPECT_FALSE(banco.serie->comandos.contains("ATDT555"));
    }
}

TEST_F(Modem, OwnInitialisationListIsSentAndCheckedInOrder)
{
    b.socket->setInicializacion(QStringLiteral("ATZ|0[Cr]|ATS0=0||AT&K3|0[CrLf]"));
    b.serie->modem = [](const QByteArray &c) -> QByteArray {
        if (c == "AT&K3")
            return "0\r\n";
        return c.startsWith("ATD") ? "1\r" : "0\r";
    };
    conectar();
    EXPECT_EQ(b.serie->comandos, QList<QByteArray>({"ATZ", "ATS0=0", "AT&K3", "ATDT555"}));
}

TEST_F(Modem, EmptyInitialisationListStillTurnsEchoOff)
{
    b.socket->setInicializacion(QString());
    conectar();
    EXPECT_EQ(b.serie->comandos, QList<QByteArray>({"ATE0V0", "ATDT555"}));
    EXPECT_EQ(b.socket->Inicializacion(), QString());
}

TEST_F(Modem, ControlLinesThatStayDownFailAfterTheAttempts)
{
    b.socket->setMskDTRRTS(2);
    b.socket->setIntentos(3);
    b.serie->dsrAlto = false;
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(eventos(), QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckABRIENDO,2)",
                                      "CambioEstado(sckABRIENDO,3)", "CambioEstado(sckCERRADO,3)",
                                      "Conexion(sckCERRADO,sckNOHAYLINEA)"}));
    EXPECT_EQ(b.reloj->ahora(), 10 * 5 + 2 * 100 * 5);
    EXPECT_FALSE(b.serie->abierto());
}

TEST_F(Modem, OnlyTheLinesInTheMaskAreRequired)
{
    b.socket->setMskDTRRTS(1);
    b.serie->dsrAlto = false;
    conectar();
}

TEST_F(Modem, AttemptsSpentOnTheLinesDoNotShortenTheDialling)
{
    b.socket->setMskDTRRTS(1);
    b.socket->setIntentos(2);
    b.serie->ctsAlto = false;
    QObject::connect(b.socket.get(), &CommSocket::CambioEstado, b.socket.get(),
                     [&](Estado est, int intento) {
                         if (est == Estado::sckABRIENDO && intento == 2)
                             b.serie->ctsAlto = true;
                     });
    int marcados = 0;
    b.serie->modem = [&](const QByteArray &c) -> QByteArray {
        if (c.startsWith("ATD"))
            return ++marcados == 1 ? "7\r" : "1\r";
        return "0\r";
    };
    conectar();
    EXPECT_EQ(marcados, 2);
}

TEST_F(Modem, PortThatWillNotOpenIsReportedThroughTheEvents)
{
    b.serie->abrirOk = false;
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(eventos(), QStringList({"CambioEstado(sckABRIENDO,1)", "CambioEstado(sckCERRADO,1)",
                                      "Conexion(sckCERRADO,sckCANALNODISPONIBLE)"}));
}

TEST_F(Modem, ConectarIsIgnoredWhileAConnectionIsUnderWay)
{
    b.serie->modem = [](const QByteArray &c) -> QByteArray { return c.startsWith("ATD") ? "" : "0\r"; };
    b.socket->Conectar();
    hastaComando("ATDT555");
    const QStringList antes = eventos();
    b.socket->Conectar();
    EXPECT_EQ(eventos(), antes);
    EXPECT_EQ(b.serie->aperturas, 1);
}

class Portadora : public Modem
{
protected:
    // Dials; the carrier rises before the CONNECT answer or after it.
    void conectarConPortadora(bool subeAntes)
    {
        b.serie->modem = [](const QByteArray &c) -> QByteArray { return c.startsWith("ATD") ? "" : "0\r"; };
        b.socket->Conectar();
        hastaComando("ATDT555");
        if (subeAntes)
            b.serie->portadora(true);
        b.serie->recibir("1\r");
        if (!subeAntes)
            b.serie->portadora(true);
        b.agotar();
        ASSERT_TRUE(conectado());
        b.registro->eventos.clear();
    }
};

TEST_F(Portadora, LostCarrierRaisesOnlyCambioEstado)
{
    conectarConPortadora(true);
    b.serie->portadora(false);
    EXPECT_EQ(eventos(), QStringList({"CambioEstado(sckCAIDO,1)"}));
    EXPECT_EQ(b.socket->Error(), Error::sckCAIDAPORTADORA);

    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
    EXPECT_FALSE(b.serie->abierto());
}

TEST_F(Portadora, CarrierRisingJustAfterConnectIsWatchedToo)
{
    conectarConPortadora(false);
    b.serie->portadora(false);
    EXPECT_EQ(b.socket->Estado(), Estado::sckCAIDO);
}

TEST_F(Portadora, ADroppedChannelConnectsAgainAtOnce)
{
    conectarConPortadora(true);
    b.serie->portadora(false);
    b.serie->modem = modemQueResponde("1\r");
    // The dropped line still holds its port; connecting must not trip on it.
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCONECTADO,sckOK)"));
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
};

TEST_F(Colgar, EscapeNeverAnsweredLeavesTheLineConnectedWithItsSettings)
{
    b.serie->modem = [](const QByteArray &) { return QByteArray(); };
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(eventos(), QStringList({"CambioEstado(sckDESCONECTANDO,1)", "CambioEstado(sckDESCONECTANDO,2)",
                                      "CambioEstado(sckCONECTADO,2)", "Desconexion(sckCONECTADO,sckALCOLGAR)"}));
    EXPECT_EQ(b.serie->comandos.count("+++"), 2);
    EXPECT_EQ(b.serie->settings.last(), QStringLiteral("2400,E,7,1"));
    EXPECT_TRUE(b.serie->abierto());
}

TEST_F(Colgar, HangUpNeverAnsweredEndsDroppedAfterTmOutHang)
{
    qint64 colgado = -1;
    b.serie->modem = [&](const QByteArray &c) -> QByteArray {
        if (c == "ATH") {
            colgado = b.reloj->ahora();
            return {};
        }
        return "0\r";
    };
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCAIDO,sckALCOLGAR)"));
    EXPECT_EQ(b.reloj->ahora() - colgado, 3000);

    b.serie->modem = modemQueResponde("1\r");
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCONECTADO,sckOK)"));
}

TEST_F(Colgar, HangUpRefusedIsNotMistakenForTheEscapeAnswer)
{
    b.serie->modem = [](const QByteArray &c) -> QByteArray { return c == "ATH" ? "4\r" : "0\r"; };
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCAIDO,sckALCOLGAR)"));
}

TEST_F(Colgar, WrongEscapeAnswerIsRetried)
{
    int escapes = 0;
    b.serie->modem = [&](const QByteArray &c) -> QByteArray {
        if (c == "+++")
            return ++escapes == 1 ? "xx\r" : "0\r";
        return "0\r";
    };
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(escapes, 2);
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
}

// Whatever point of the dialogue Desconectar lands on, the channel ends
// closed, the port is released, nothing waits any more, and the host hears
// how the attempt or the connection ended exactly once.
TEST(DesconectarEnCadaPaso, AlwaysEndsClosedAndReported)
{
    for (const bool conModem : {true, false}) {
        for (int pasos = 0;; ++pasos) {
            Banco b;
            if (conModem) {
                b.socket->setNumTelefono(QStringLiteral("555"));
                b.serie->modem = modemQueResponde("1\r");
            }
            b.socket->Conectar();
            int hechos = 0;
            while (hechos < pasos && (b.serie->entregar() || b.reloj->disparar()))
                ++hechos;
            const bool yaConectado = b.socket->Estado() == Estado::sckCONECTADO;
            b.socket->Desconectar();
            b.agotar();
            const QStringList &ev = b.registro->eventos;
            SCOPED_TRACE(ev.join(QLatin1Char(' ')).toStdString());
            EXPECT_EQ(b.socket->Estado(), Estado::sckCERRADO);
            EXPECT_FALSE(b.serie->abierto());
            EXPECT_FALSE(b.reloj->activo());
            EXPECT_LE(ev.count(QStringLiteral("Conexion(sckCONECTADO,sckOK)")), 1);
            if (yaConectado) {
                EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
            } else {
                // While settling after CONNECT the line counts as connected
                // and is hung up rather than aborted.
                EXPECT_TRUE(b.registro->ultimo() == QStringLiteral("Conexion(sckCERRADO,sckABORTADO)")
                            || b.registro->ultimo() == QStringLiteral("Desconexion(sckCERRADO,sckOK)"));
            }
            if (hechos < pasos || pasos > 500)
                break; // Desconectar came after the connection was complete
        }
    }
}

class LineaDirecta : public ::testing::Test
{
protected:
    LineaDirecta()
    {
        b.socket->setDispositivo(QStringLiteral("/dev/falso"));
        b.socket->Conectar();
        b.agotar();
        EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCONECTADO,sckOK)"));
        b.registro->eventos.clear();
    }
    Banco b;
};

TEST_F(LineaDirecta, ConnectsWithoutTalkingToAModemAndClosesAtOnce)
{
    EXPECT_TRUE(b.serie->escrito.isEmpty());
    EXPECT_FALSE(b.serie->vigilando);
    b.socket->Desconectar();
    b.agotar();
    EXPECT_EQ(b.registro->eventos, QStringList({"CambioEstado(sckDESCONECTANDO,1)", "CambioEstado(sckCERRADO,1)",
                                                "Desconexion(sckCERRADO,sckOK)"}));
    EXPECT_EQ(b.reloj->ahora(), 10 * 5 + 5);
}

TEST_F(LineaDirecta, ReceivedDataAccumulatesUntilTheHostTakesIt)
{
    b.serie->recibir("AB");
    b.serie->recibir("C\r");
    EXPECT_EQ(b.registro->eventos, QStringList({"Recepcion(AB)", "Recepcion(ABC\r)"}));

    // A host that takes whole lines and leaves the partial one.
    b.registro->eventos.clear();
    b.registro->alRecibir = [](QString &rx) { rx = rx.mid(rx.lastIndexOf(QLatin1Char('\r')) + 1); };
    b.serie->recibir("L1\rL2");
    b.serie->recibir("\r");
    EXPECT_EQ(b.registro->eventos, QStringList({"Recepcion(ABC\rL1\rL2)", "Recepcion(L2\r)"}));
}

TEST_F(LineaDirecta, ForzarEventoRepeatsTheBufferOnlyWhenSomethingIsLeft)
{
    b.serie->recibir("AB");
    b.socket->ForzarEvento();
    EXPECT_EQ(b.reloj->intervalo(), 5);
    b.agotar();
    EXPECT_EQ(b.registro->eventos, QStringList({"Recepcion(AB)", "Recepcion(AB)"}));

    b.socket->Flush();
    b.socket->ForzarEvento();
    b.agotar();
    EXPECT_EQ(b.registro->eventos.size(), 2);

    // Data arriving while the forced event is pending raises it at once.
    b.socket->ForzarEvento();
    b.serie->recibir("Z");
    EXPECT_FALSE(b.reloj->activo());
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Recepcion(Z)"));
}

TEST_F(LineaDirecta, BinaryDataPassesUnchangedBothWays)
{
    const QByteArray binario("\x00\x01\xff\r\n\x80z", 7);
    b.socket->Enviar(binario);
    b.socket->Enviar(QString::fromLatin1(binario));
    EXPECT_EQ(b.serie->escrito, binario + binario);

    QString recibido;
    b.registro->alRecibir = [&](QString &rx) { recibido += rx; rx.clear(); };
    b.serie->recibir(binario);
    EXPECT_EQ(recibido.toLatin1(), binario);
}

TEST_F(LineaDirecta, SettingsChangedWhileConnectedReachTheLine)
{
    b.socket->setSettings(QStringLiteral("115200,N,8,2"));
    EXPECT_EQ(b.serie->settings.last(), QStringLiteral("115200,N,8,2"));
}

} // namespace
