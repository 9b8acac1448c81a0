// Random input against the answer classifier and the receive path, with fixed
// seeds so that a failure can be replayed.

#include "Falsos.h"
#include "Protocolo.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <random>

using Vantel::CommSocket;
using Estado = CommSocket::sckEstado;
using namespace Vantel;

namespace {

// Bytes that modems and gateways really send, plus the ones they should not.
QByteArray ruido(std::mt19937 &azar, int maximo)
{
    static const QByteArray alfabeto("0123456789LCOKR\r\n \0\x01\x7f\x80\xff+ATZ", 29);
    std::uniform_int_distribution<int> largo(0, maximo);
    std::uniform_int_distribution<int> letra(0, alfabeto.size() - 1);
    QByteArray texto;
    for (int i = largo(azar); i > 0; --i)
        texto += alfabeto.at(letra(azar));
    return texto;
}

// Splits datos into the pieces several reads would bring.
QList<QByteArray> trocear(std::mt19937 &azar, const QByteArray &datos)
{
    QList<QByteArray> trozos;
    std::uniform_int_distribution<int> corte(1, 4);
    for (qsizetype i = 0; i < datos.size();) {
        const int n = corte(azar);
        trozos.append(datos.mid(i, n));
        i += n;
    }
    return trozos;
}

TEST(Fuzz, ClassifierAcceptsExactlyTheNumericShape)
{
    std::mt19937 azar(1234);
    const QRegularExpression forma(QRegularExpression::anchoredPattern(QStringLiteral("([0-9]{1,2})(LC)?\r")));
    for (int i = 0; i < 50000; ++i) {
        const QString texto = QString::fromLatin1(ruido(azar, 6));
        const ClaseRespuesta clase = ClasificarRespuesta(texto);
        const QRegularExpressionMatch m = forma.match(texto);
        if (!m.hasMatch()) {
            ASSERT_EQ(clase, ClaseRespuesta::Desconocida) << texto.toLatin1().toHex().toStdString();
            continue;
        }
        // The LC suffix and a leading zero never change the class.
        const QString numero = QString::number(m.captured(1).toInt());
        ASSERT_EQ(clase, ClasificarRespuesta(numero + QLatin1Char('\r'))) << texto.toLatin1().toHex().toStdString();
    }
}

// Whatever the modem says, in whatever pieces, the control ends every wait:
// connected, or closed with a cause; and a connected one hangs up or says why not.
TEST(Fuzz, ModemDialogueNeverGetsStuck)
{
    std::mt19937 azar(5678);
    std::bernoulli_distribution bueno(0.7);
    const QList<QByteArray> buenas = {"0\r", "1\r", "12LC\r", "7\r", "3\r"};
    std::uniform_int_distribution<int> cual(0, buenas.size() - 1);
    for (int ronda = 0; ronda < 400; ++ronda) {
        Banco b;
        b.socket->setNumTelefono(QStringLiteral("555"));
        b.socket->setIntentos(1 + ronda % 3);
        b.socket->setTmOutCnx(2);
        b.socket->setTmOutHang(2);
        b.serie->modem = [&](const QByteArray &) {
            const QByteArray respuesta = bueno(azar) ? buenas.at(cual(azar)) : ruido(azar, 40);
            for (const QByteArray &trozo : trocear(azar, respuesta))
                b.serie->encolar(trozo);
            return QByteArray();
        };
        b.socket->Conectar();
        ASSERT_TRUE(b.correr({}, 100000));
        ASSERT_FALSE(b.reloj->activo());
        const Estado final = b.socket->Estado();
        ASSERT_TRUE(final == Estado::sckCERRADO || final == Estado::sckCONECTADO) << ronda;
        ASSERT_EQ(final == Estado::sckCERRADO, b.socket->Error() != CommSocket::sckError::sckOK);
        if (final != Estado::sckCONECTADO)
            continue;
        const qsizetype antes = b.registro->eventos.size();
        b.socket->Desconectar();
        ASSERT_TRUE(b.correr({}, 100000));
        ASSERT_FALSE(b.reloj->activo());
        // Late modem output may still arrive as data after a failed hang-up.
        const QStringList despues = b.registro->eventos.mid(antes).filter(QStringLiteral("Desconexion("));
        ASSERT_EQ(despues.size(), 1) << ronda << b.registro->eventos.join(QLatin1Char(' ')).toStdString();
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
        b.agotar();
        const bool esperado = acuse.startsWith("OK\r\n");
        ASSERT_EQ(b.socket->Estado() == Estado::sckCONECTADO, esperado) << acuse.toHex().toStdString();
        ASSERT_FALSE(b.reloj->activo());
    }
}

// Nothing received is lost or repeated, however the host consumes it.
TEST(Fuzz, ReceivedBytesReachTheHostExactlyOnce)
{
    std::mt19937 azar(121314);
    Banco b;
    b.socket->Conectar();
    b.agotar();
    ASSERT_EQ(b.socket->Estado(), Estado::sckCONECTADO);
    QByteArray enviado;
    QByteArray consumido;
    b.registro->alRecibir = [&](QString &rx) {
        std::uniform_int_distribution<qsizetype> toma(0, rx.size());
        const qsizetype n = toma(azar);
        consumido += rx.left(n).toLatin1();
        rx.remove(0, n);
    };
    std::uniform_int_distribution<int> forzar(0, 9);
    for (int i = 0; i < 3000; ++i) {
        const QByteArray trozo = ruido(azar, 64);
        enviado += trozo;
        if (!trozo.isEmpty())
            b.serie->recibir(trozo);
        if (forzar(azar) == 0) {
            b.socket->ForzarEvento();
            b.agotar();
        }
    }
    b.registro->alRecibir = [&](QString &rx) {
        consumido += rx.toLatin1();
        rx.clear();
    };
    b.socket->ForzarEvento();
    b.agotar();
    EXPECT_EQ(consumido, enviado);
}

TEST(Fuzz, EndlessAnswerWithoutCrEndsAtTheTimeLimit)
{
    Banco b;
    b.socket->setNumTelefono(QStringLiteral("555"));
    b.socket->setIntentos(1);
    b.socket->setTmOutCnx(2);
    b.serie->modem = [&](const QByteArray &c) -> QByteArray {
        if (!c.startsWith("ATD"))
            return "0\r";
        for (int i = 0; i < 64; ++i)
            b.serie->encolar(QByteArray(16 * 1024, 'x'));
        return {};
    };
    b.socket->Conectar();
    b.agotar();
    EXPECT_EQ(b.registro->ultimo(), QStringLiteral("Conexion(sckCERRADO,sckTMOUTDIAL)"));
}

} // namespace
