#include "PuertosQt.h"

#include "Protocolo.h"

#include <QAbstractSocket>

namespace Vantel {

PuertoSerie::~PuertoSerie() = default;
PuertoTcp::~PuertoTcp() = default;
Reloj::~Reloj() = default;

namespace {

bool configurar(QSerialPort &puerto, const ParametrosLinea &p)
{
    QSerialPort::Parity paridad = QSerialPort::NoParity;
    switch (p.paridad) {
    case Paridad::Ninguna: paridad = QSerialPort::NoParity; break;
    case Paridad::Par: paridad = QSerialPort::EvenParity; break;
    case Paridad::Impar: paridad = QSerialPort::OddParity; break;
    case Paridad::Marca: paridad = QSerialPort::MarkParity; break;
    case Paridad::Espacio: paridad = QSerialPort::SpaceParity; break;
    }
    QSerialPort::StopBits parada = QSerialPort::OneStop;
    switch (p.bitsParada) {
    case BitsParada::Uno: parada = QSerialPort::OneStop; break;
    case BitsParada::UnoYMedio: parada = QSerialPort::OneAndHalfStop; break;
    case BitsParada::Dos: parada = QSerialPort::TwoStop; break;
    }
    // Every setter is tried; a line that refuses one still gets the others.
    bool ok = puerto.setBaudRate(p.velocidad);
    ok = puerto.setParity(paridad) && ok;
    ok = puerto.setDataBits(static_cast<QSerialPort::DataBits>(p.bitsDatos)) && ok;
    ok = puerto.setStopBits(parada) && ok;
    ok = puerto.setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

} // namespace

SerieQt::SerieQt(QObject *parent)
    : PuertoSerie(parent)
{
    m_sondeo.setInterval(SondeoPortadoraMs);
    connect(&m_puerto, &QSerialPort::readyRead, this, &PuertoSerie::datosRecibidos);
    connect(&m_puerto, &QSerialPort::errorOccurred, this, &SerieQt::alError);
    connect(&m_sondeo, &QTimer::timeout, this, &SerieQt::sondearPortadora);
}

SerieQt::~SerieQt()
{
    cerrar();
}

bool SerieQt::abrir(const QString &dispositivo, const QString &settings)
{
    cerrar();
    const auto parametros = LeerSettings(settings);
    if (!parametros || dispositivo.isEmpty())
        return false;
    m_puerto.setPortName(dispositivo);
    if (!m_puerto.open(QIODevice::ReadWrite))
        return false;
    if (!configurar(m_puerto, *parametros)) {
        cerrar();
        return false;
    }
    // Lines without modem signals (a pseudo-terminal) refuse these; they are
    // wanted, not required.
    m_puerto.setDataTerminalReady(true);
    m_puerto.setRequestToSend(true);
    m_puerto.clearError();
    return true;
}

void SerieQt::cerrar()
{
    m_sondeo.stop();
    if (!m_puerto.isOpen())
        return;
    m_puerto.setDataTerminalReady(false);
    m_puerto.setRequestToSend(false);
    m_puerto.close();
    m_puerto.clearError();
}

bool SerieQt::abierto() const
{
    return m_puerto.isOpen();
}

bool SerieQt::aplicarSettings(const QString &settings)
{
    const auto parametros = LeerSettings(settings);
    return parametros && m_puerto.isOpen() && configurar(m_puerto, *parametros);
}

bool SerieQt::linea(QSerialPort::PinoutSignal senal) const
{
    if (!m_puerto.isOpen())
        return false;
    // pinoutSignals() is not const only because it may record an error.
    return const_cast<QSerialPort &>(m_puerto).pinoutSignals().testFlag(senal);
}

bool SerieQt::cts() const
{
    return linea(QSerialPort::ClearToSendSignal);
}

bool SerieQt::dsr() const
{
    return linea(QSerialPort::DataSetReadySignal);
}

void SerieQt::escribir(const QByteArray &datos)
{
    if (m_puerto.isOpen())
        m_puerto.write(datos);
}

QByteArray SerieQt::leerTodo()
{
    return m_puerto.isOpen() ? m_puerto.readAll() : QByteArray();
}

void SerieQt::vaciarEntrada()
{
    if (!m_puerto.isOpen())
        return;
    m_puerto.clear(QSerialPort::Input);
    m_puerto.readAll();
}

void SerieQt::vigilarPortadora(bool vigilar)
{
    if (!vigilar || !m_puerto.isOpen()) {
        m_sondeo.stop();
        return;
    }
    m_puerto.clearError();
    m_portadora = m_puerto.pinoutSignals().testFlag(QSerialPort::DataCarrierDetectSignal);
    // A line that cannot report its signals is not polled in vain.
    if (m_puerto.error() == QSerialPort::NoError)
        m_sondeo.start();
    m_puerto.clearError();
}

void SerieQt::sondearPortadora()
{
    if (!m_puerto.isOpen()) {
        m_sondeo.stop();
        return;
    }
    const bool alta = m_puerto.pinoutSignals().testFlag(QSerialPort::DataCarrierDetectSignal);
    if (alta != m_portadora) {
        m_portadora = alta;
        emit portadoraCambiada(alta);
    }
}

void SerieQt::alError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::ResourceError && m_puerto.isOpen()) {
        cerrar();
        emit perdido();
    }
}

TcpQt::TcpQt(QObject *parent)
    : PuertoTcp(parent)
{
    connect(&m_socket, &QTcpSocket::connected, this, &PuertoTcp::conectadoAlHost);
    connect(&m_socket, &QTcpSocket::readyRead, this, &PuertoTcp::datosRecibidos);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpQt::avisarCierre);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpQt::avisarCierre);
}

TcpQt::~TcpQt()
{
    cerrar();
}

bool TcpQt::conectar(const QString &host, quint16 puerto)
{
    cerrar();
    if (host.isEmpty() || puerto == 0)
        return false;
    m_avisado = false;
    m_socket.connectToHost(host, puerto);
    return true;
}

void TcpQt::cerrar()
{
    m_cerrando = true;
    // abort() alone would lose what Enviar queued just before closing.
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        m_socket.flush();
    m_socket.abort();
    m_cerrando = false;
}

bool TcpQt::conectado() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

void TcpQt::escribir(const QByteArray &datos)
{
    if (conectado())
        m_socket.write(datos);
}

QByteArray TcpQt::leerTodo()
{
    return m_socket.readAll();
}

void TcpQt::avisarCierre()
{
    // An error and the disconnection that follows it are one loss.
    if (m_cerrando || m_avisado)
        return;
    m_avisado = true;
    emit cerrado();
}

RelojQt::RelojQt(QObject *parent)
    : Reloj(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Reloj::vencido);
}

void RelojQt::armar(int ms)
{
    m_timer.start(qMax(0, ms));
}

void RelojQt::parar()
{
    m_timer.stop();
}

} // namespace Vantel
