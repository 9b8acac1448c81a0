#include "Falsos.h"

#include <QMetaEnum>

using Vantel::CommSocket;

void SerieFalsa::escribir(const QByteArray &datos)
{
    if (!m_abierto)
        return;
    escrito += datos;
    for (char c : datos) {
        m_linea += c;
        if (c != '\r' && !m_linea.endsWith("+++"))
            continue;
        const QByteArray comando = c == '\r' ? m_linea.chopped(1) : QByteArray("+++");
        m_linea.clear();
        comandos << comando;
        if (const QByteArray respuesta = modem ? modem(comando) : QByteArray(); !respuesta.isEmpty())
            encolar(respuesta);
    }
}

namespace {

template <typename E>
QString nombre(E valor)
{
    return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(static_cast<int>(valor)));
}

} // namespace

Registro::Registro(CommSocket &s)
{
    QObject::connect(&s, &CommSocket::CambioEstado, &s, [this](CommSocket::sckEstado e, int intento) {
        eventos << QStringLiteral("CambioEstado(%1,%2)").arg(nombre(e)).arg(intento);
    });
    QObject::connect(&s, &CommSocket::Conexion, &s, [this](CommSocket::sckEstado e, CommSocket::sckError err) {
        eventos << QStringLiteral("Conexion(%1,%2)").arg(nombre(e), nombre(err));
    });
    QObject::connect(&s, &CommSocket::Desconexion, &s, [this](CommSocket::sckEstado e, CommSocket::sckError err) {
        eventos << QStringLiteral("Desconexion(%1,%2)").arg(nombre(e), nombre(err));
    });
    QObject::connect(&s, &CommSocket::Recepcion, &s, [this](QString &rx) {
        eventos << QStringLiteral("Recepcion(%1)").arg(rx);
        if (alRecibir)
            alRecibir(rx);
    });
}

Banco::Banco()
{
    auto s = std::make_unique<SerieFalsa>();
    auto t = std::make_unique<TcpFalso>();
    auto r = std::make_unique<RelojFalso>();
    serie = s.get(), tcp = t.get(), reloj = r.get();
    socket = std::make_unique<CommSocket>(std::move(s), std::move(t), std::move(r));
    registro = std::make_unique<Registro>(*socket);
}

void Banco::conModem(std::function<QByteArray(const QByteArray &)> respuestas)
{
    socket->setNumTelefono(QStringLiteral("555"));
    serie->modem = respuestas ? std::move(respuestas) : modemQueResponde("1\r");
}

bool Banco::correr(const std::function<bool()> &hasta, int limite)
{
    for (int i = 0; i < limite && !(hasta && hasta()); ++i) {
        if (!serie->entregar() && !reloj->disparar())
            break;
    }
    return hasta ? hasta() : !reloj->activo;
}

std::function<QByteArray(const QByteArray &)> modemQueResponde(const QByteArray &alMarcar)
{
    return [alMarcar](const QByteArray &comando) {
        return comando.startsWith("ATD") ? alMarcar : QByteArray("0\r");
    };
}
