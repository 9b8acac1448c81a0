// Random input against the answer classifier and the receive path, with fixed
// seeds so that a failure replays.

#include "Falsos.h"
#include "Protocolo.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <random>

using Vantel::CommSocket;
using Estado = CommSocket::sckEstado;

namespace {

// Bytes modems and gateways really send, and some they should not.
QByteArray ruido(std::mt19937 &azar, int maximo)
{
    static const QByteArray alfabeto("0123456789LCOKR\r\n \0\x01\x7f\x80\xff+ATZ", 29);
    QByteArray texto;
    for (int i = std::uniform_int_distribution<int>(0, maximo)(azar); i > 0; --i)
        texto += alfabeto.at(std::uniform_int_distribution<int>(0, alfabeto.size() - 1)(azar));
    return texto;
}

// datos as the pieces several reads would bring.
QList<QByteArray> trocear(std::mt19937 &azar, const QByteArray &datos)
{
    QList<QByteArray> trozos;
    for (qsizetype i = 0, n = 0; i < datos.size(); i += n)
        trozos << datos.mid(i, n = std::uniform_int_distribution<int>(1, 4)(azar));
    return trozos;
}

TEST(Fuzz, ClassifierAcceptsExactlyTheNumericShape)
{
    std::mt19937 azar(1234);
    const QRegularExpression forma(QRegularExpression::anchoredPattern(QStringLiteral("([0-9]{1,2})(LC)?\r")));
    for (int i = 0; i < 50000; ++i) {
        const QString texto = QString::fromLatin1(ruido(azar, 6));
        const QRegularExpressionMatch m = forma.match(texto);
        // Outside the shape nothing is recognised; inside it, "LC" and a
        // leading zero never change the class.
        const Vantel::ClaseRespuesta esperada =
            m.hasMatch() ? Vantel::ClasificarRespuesta(QString::number(m.captured(1).toInt()) + QLatin1Char('\r'))
                         : Vantel::ClaseRespuesta::Desconocida;
        ASSERT_EQ(Vantel::ClasificarRespuesta(texto), esperada) << texto.toLatin1().toHex().toStdString();
    }
}

// Whatever the modem says, in whatever pieces, every wait ends: connected, or
// closed with a cause; and a connected line hangs up or says why not.
TEST(Fuzz, ModemDialogueNeverGetsStuck)
{
    std::mt19937 azar(5678);
    const QList<QByteArray> buenas = {"0\r", "1\r", "12LC\r", "7\r", "3\r"};
    for (int ronda = 0; ronda < 400; ++ronda) {
        Banco b;
        b.socket->setIntentos(1 + ronda % 3);
        b.socket->setTmOutCnx(2);
        b.socket->setTmOutHang(2);
        b.conModem([&](const QByteArray &) {
            const QByteArray respuesta = std::bernoulli_distribution(0.7)(azar)
                                             ? buenas.at(std::uniform_int_distribution<int>(0, 4)(azar))
                                             : ruido(azar, 40);
            for (const QByteArray &trozo : trocear(azar, respuesta))
                b.serie->encolar(trozo);
            return QByteArray();
        });
        b.socket->Conectar();
        ASSERT_TRUE(b.correr());
        ASSERT_TRUE(b.estado() == Estado::sckCERRADO || b.estado() == Estado::sckCONECTADO) << ronda;
        ASSERT_EQ(b.estado() == Estado::sckCERRADO, b.socket->Error() != CommSocket::sckError::sckOK);
        if (b.estado() != Estado::sckCONECTADO)
            continue;
        const qsizetype antes = b.registro->eventos.size();
        b.socket->Desconectar();
        ASSERT_TRUE(b.correr());
        // Late modem output may still arrive as data after a failed hang-up.
        ASSERT_EQ(b.registro->eventos.mid(antes).filter(QStringLiteral("Desconexion(")).size(), 1)
            << ronda << b.registro->todo().toStdString();
    }
}

TEST(Fuzz, GatewayAcknowledgementIsJudgedOnItsFirstFourBytes)
{
    std::mt19937 azar(91011);
    for (int ronda = 0; ronda < 2000; ++ronda) {
        Banco b;
        b.socket->setHost(QStringLiteral("pasarela"));
        b.socket->setPort(4001);
        b.socket->Conectar();
        b.tcp->aceptar();
        const QByteArray acuse = (ronda % 4 == 0 ? QByteArray("OK\r\n") : QByteArray()) + ruido(azar, 12);
        for (const QByteArray &trozo : trocear(azar, acuse))
            b.tcp->recibir(trozo);
        ASSERT_TRUE(b.correr());
        ASSERT_EQ(b.estado() == Estado::sckCONECTADO, acuse.startsWith("OK\r\n")) << acuse.toHex().toStdString();
    }
}

// Nothing received is lost or repeated, however the host consumes it.
TEST(Fuzz, ReceivedBytesReachTheHostExactlyOnce)
{
    std::mt19937 azar(121314);
    Banco b;
    b.conectar();
    QByteArray enviado, consumido;
    b.registro->alRecibir = [&](QString &rx) {
        const qsizetype n = std::uniform_int_distribution<qsizetype>(0, rx.size())(azar);
        consumido += rx.left(n).toLatin1();
        rx.remove(0, n);
    };
    for (int i = 0; i < 3000; ++i) {
        const QByteArray trozo = ruido(azar, 64);
        enviado += trozo;
        if (!trozo.isEmpty())
            b.serie->recibir(trozo);
        if (i % 7 == 0) {
            b.socket->ForzarEvento();
            b.agotar();
        }
    }
    b.registro->alRecibir = [&](QString &rx) { consumido += std::exchange(rx, {}).toLatin1(); };
    b.socket->ForzarEvento();
    b.agotar();
    EXPECT_EQ(consumido, enviado);
}

TEST(Fuzz, EndlessAnswerWithoutCrEndsAtTheTimeLimit)
{
    Banco b;
    b.socket->setIntentos(1);
    b.socket->setTmOutCnx(2);
    b.conModem([&](const QByteArray &c) -> QByteArray {
        for (int i = 0; c.startsWith("ATD") && i < 64; ++i)
            b.serie->encolar(QByteArray(16 * 1024, 'x'));
        return c.startsWith("ATD") ? QByteArray() : "0\r";
    });
    b.conectar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckTMOUTDIAL)"));
}

} // namespace
