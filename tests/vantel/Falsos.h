#pragma once

// Scriptable ports, a hand-driven clock and an event log, so that a test
// walks the control through its dialogue one event at a time.

#include <vantel/CommSocket.h>
#include <vantel/Puertos.h>

#include <QList>
#include <QStringList>

#include <functional>
#include <memory>
#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString &texto, std::ostream *salida)
{
    *salida << '"' << texto.toStdString() << '"';
}

class RelojFalso : public Vantel::Reloj
{
    Q_OBJECT
public:
    void armar(int ms) override { intervalo = ms, activo = true; }
    void parar() override { activo = false; }
    bool disparar()
    {
        if (!activo)
            return false;
        activo = false;
        ahora += intervalo;
        emit vencido();
        return true;
    }
    bool activo = false;
    int intervalo = 0;
    qint64 ahora = 0; // virtual milliseconds over the ticks fired
};

class SerieFalsa : public Vantel::PuertoSerie
{
    Q_OBJECT
public:
    bool abrir(const QString &, const QString &valores) override
    {
        ++aperturas;
        if (m_abierto || !abrirOk) // like a real port: no second open
            return false;
        settings << valores;
        return m_abierto = true;
    }
    void cerrar() override
    {
        if (m_abierto && alCerrarAbierta)
            alCerrarAbierta();
        m_abierto = vigilando = false;
        m_entrada.clear(), m_linea.clear(), pendientes.clear();
    }
    bool abierto() const override { return m_abierto; }
    bool aplicarSettings(const QString &valores) override { return m_abierto && (settings << valores, true); }
    bool cts() const override { return ctsAlto; }
    bool dsr() const override { return dsrAlto; }
    void escribir(const QByteArray &datos) override;
    QByteArray leerTodo() override { return std::exchange(m_entrada, {}); }
    void vaciarEntrada() override { m_entrada.clear(); }
    void vigilarPortadora(bool vigilar) override { vigilando = vigilar; }

    // What the device sends arrives later, through entregar(), never inside
    // the control's own write.
    void encolar(const QByteArray &datos) { pendientes << datos; }
    bool entregar()
    {
        if (pendientes.isEmpty())
            return false;
        const QByteArray datos = pendientes.takeFirst();
        if (m_abierto)
            recibir(datos);
        return true;
    }
    void recibir(const QByteArray &datos) { m_entrada += datos, emit datosRecibidos(); }
    void portadora(bool alta) { emit portadoraCambiada(alta); }

    // The modem at the other end: its answer to each command (CR stripped,
    // "+++" on its own); empty is silence.
    std::function<QByteArray(const QByteArray &)> modem;
    std::function<void()> alCerrarAbierta;
    bool abrirOk = true, ctsAlto = true, dsrAlto = true, vigilando = false;
    int aperturas = 0;
    QStringList settings; // every setting the line was given, in order
    QByteArray escrito;
    QList<QByteArray> comandos, pendientes;

private:
    bool m_abierto = false;
    QByteArray m_entrada, m_linea;
};

class TcpFalso : public Vantel::PuertoTcp
{
    Q_OBJECT
public:
    bool conectar(const QString &, quint16 puerto) override
    {
        m_conectado = false;
        m_intentando = conectarOk;
        return ultimoPuerto = puerto, conectarOk;
    }
    void cerrar() override { m_conectado = m_intentando = false; }
    bool conectado() const override { return m_conectado; }
    void escribir(const QByteArray &datos) override { escrito += datos; }
    QByteArray leerTodo() override { return std::exchange(m_entrada, {}); }

    // The gateway's side.
    void aceptar()
    {
        if (std::exchange(m_intentando, false))
            m_conectado = true, emit conectadoAlHost();
    }
    void recibir(const QByteArray &datos) { m_entrada += datos, emit datosRecibidos(); }
    void cortar()
    {
        if (m_conectado || m_intentando)
            m_conectado = m_intentando = false, emit cerrado();
    }
    bool conectarOk = true;
    quint16 ultimoPuerto = 0;
    QByteArray escrito;

private:
    bool m_conectado = false, m_intentando = false;
    QByteArray m_entrada;
};

// Every event of one control as text, e.g. "CambioEstado(sckABRIENDO,1)".
struct Registro {
    explicit Registro(Vantel::CommSocket &socket);
    QString ultimo() const { return eventos.value(eventos.size() - 1); }
    QString todo() const { return eventos.join(QLatin1Char(' ')); }
    QStringList eventos;
    // What the host does with the buffer it is handed; by default it keeps it.
    std::function<void(QString &)> alRecibir;
};

// One control over fake ports, and the means to run it.
struct Banco {
    Banco();
    // Delivers the device's pending answers, else fires the pending tick,
    // until hasta() holds or nothing is left to do.
    bool correr(const std::function<bool()> &hasta = {}, int limite = 100000);
    void agotar() { correr(); }
    // Conectar, run to the end.
    void conectar() { socket->Conectar(), agotar(); }
    // Dials 555 through a modem that answers as `respuestas` says (OK to
    // everything, CONNECT to the dial, by default).
    void conModem(std::function<QByteArray(const QByteArray &)> respuestas = {});
    Vantel::CommSocket::sckEstado estado() const { return socket->Estado(); }

    SerieFalsa *serie;
    TcpFalso *tcp;
    RelojFalso *reloj;
    std::unique_ptr<Vantel::CommSocket> socket;
    std::unique_ptr<Registro> registro;
};

// OK to every command, the given answer to the dial.
std::function<QByteArray(const QByteArray &)> modemQueResponde(const QByteArray &alMarcar);
