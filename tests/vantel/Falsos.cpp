#include "Falsos.h"

#include <QMetaEnum>

using Vantel::CommSocket;

void RelojFalso::armar(int ms)
{
    m_intervalo = ms;
    m_activo = true;
}

void RelojFalso::parar()
{
    m_activo = false;
}

bool RelojFalso::disparar()
{
    if (!m_activo)
        return false;
    m_activo = false;
    m_ahora += m_intervalo;
    emit vencido();
    return true;
}

bool SerieFalsa::abrir(const QString &nombre, const QString &valores)
{
    ++aperturas;
    // Like a real port: one that is already open cannot be opened again.
    if (m_abierto || !abrirOk)
        return false;
    m_abierto = true;
    dispositivo = nombre;
    settings.append(valores);
    return true;
}

void SerieFalsa::cerrar()
{
    if (m_abierto && alCerrarAbierta)
        alCerrarAbierta();
    m_abierto = false;
    vigilando = false;
    m_entrada.clear();
    m_linea.clear();
    pendientes.clear();
}

bool SerieFalsa::aplicarSettings(const QString &valores)
{
    if (!m_abierto)
        return false;
    settings.append(valores);
    return true;
}

void SerieFalsa::escribir(const QByteArray &datos)
{
    if (!m_abierto)
        return;
    escrito += datos;
    for (char c : datos) {
        m_linea += c;
        QByteArray comando;
        if (c == '\r')
            comando = m_linea.chopped(1);
        else if (m_linea.endsWith("+++"))
            comando = "+++";
        else
            continue;
        m_linea.clear();
        comandos.append(comando);
        if (modem) {
            const QByteArray respuesta = modem(comando);
            if (!respuesta.isEmpty())
                encolar(respuesta);
        }
    }
}

QByteArray SerieFalsa::leerTodo()
{
    QByteArray todo = m_entrada;
    m_entrada.clear();
    return todo;
}

bool SerieFalsa::entregar()
{
    if (pendientes.isEmpty())
        return false;
    const QByteArray datos = pendientes.takeFirst();
    if (m_abierto)
        recibir(datos);
    return true;
}

void SerieFalsa::recibir(const QByteArray &datos)
{
    m_entrada += datos;
    emit datosRecibidos();
}

bool TcpFalso::conectar(const QString &h, quint16 p)
{
    host = h;
    puerto = p;
    m_conectado = false;
    m_intentando = conectarOk;
    return conectarOk;
}

QByteArray TcpFalso::leerTodo()
{
    QByteArray todo = m_entrada;
    m_entrada.clear();
    return todo;
}

void TcpFalso::aceptar()
{
    if (!m_intentando)
        return;
    m_intentando = false;
    m_conectado = true;
    emit conectadoAlHost();
}

void TcpFalso::recibir(const QByteArray &datos)
{
    m_entrada += datos;
    emit datosRecibidos();
}

void TcpFalso::cortar()
{
    if (!m_conectado && !m_intentando)
        return;
    m_conectado = false;
    m_intentando = false;
    emit cerrado();
}

QString nombre(CommSocket::sckEstado estado)
{
    return QString::fromLatin1(
        QMetaEnum::fromType<CommSocket::sckEstado>().valueToKey(static_cast<int>(estado)));
}

QString nombre(CommSocket::sckError error)
{
    return QString::fromLatin1(
        QMetaEnum::fromType<CommSocket::sckError>().valueToKey(static_cast<int>(error)));
}

Registro::Registro(CommSocket &socket)
{
    QObject::connect(&socket, &CommSocket::CambioEstado, &socket,
                     [this](CommSocket::sckEstado est, int intento) {
                         eventos << QStringLiteral("CambioEstado(%1,%2)").arg(nombre(est)).arg(intento);
                     });
    QObject::connect(&socket, &CommSocket::Conexion, &socket,
                     [this](CommSocket::sckEstado est, CommSocket::sckError err) {
                         eventos << QStringLiteral("Conexion(%1,%2)").arg(nombre(est), nombre(err));
                     });
    QObject::connect(&socket, &CommSocket::Desconexion, &socket,
                     [this](CommSocket::sckEstado est, CommSocket::sckError err) {
                         eventos << QStringLiteral("Desconexion(%1,%2)").arg(nombre(est), nombre(err));
                     });
    QObject::connect(&socket, &CommSocket::Recepcion, &socket, [this](QString &rx) {
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
    serie = s.get();
    tcp = t.get();
    reloj = r.get();
    socket = std::make_unique<CommSocket>(std::move(s), std::move(t), std::move(r));
    registro = std::make_unique<Registro>(*socket);
}

Banco::~Banco() = default;

bool Banco::correr(const std::function<bool()> &hasta, int limite)
{
    for (int i = 0; i < limite; ++i) {
        if (hasta && hasta())
            return true;
        if (serie->entregar())
            continue;
        if (reloj->disparar())
            continue;
        break;
    }
    return hasta ? hasta() : true;
}

QString Banco::nombreEstado() const
{
    return nombre(socket->Estado());
}

QString Banco::nombreError() const
{
    return nombre(socket->Error());
}

std::function<QByteArray(const QByteArray &)> modemQueResponde(const QByteArray &alMarcar)
{
    return [alMarcar](const QByteArray &comando) -> QByteArray {
        if (comando.startsWith("ATD"))
            return alMarcar;
        return QByteArrayLiteral("0\r");
    };
}
