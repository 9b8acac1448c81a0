#pragma once

// Scriptable ports, a hand-driven clock and an event log, so that a test
// walks the control through its dialogue one event at a time.

#include <vantel/CommSocket.h>
#include <vantel/Puertos.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class RelojFalso : public Vantel::Reloj
{
    Q_OBJECT
public:
    void armar(int ms) override;
    void parar() override;
    bool activo() const { return m_activo; }
    int intervalo() const { return m_intervalo; }
    // Virtual milliseconds elapsed over the ticks fired so far.
    qint64 ahora() const { return m_ahora; }
    bool disparar();

private:
    bool m_activo = false;
    int m_intervalo = 0;
    qint64 m_ahora = 0;
};

class SerieFalsa : public Vantel::PuertoSerie
{
    Q_OBJECT
public:
    bool abrir(const QString &dispositivo, const QString &settings) override;
    void cerrar() override;
    bool abierto() const override { return m_abierto; }
    bool aplicarSettings(const QString &settings) override;
    bool cts() const override { return ctsAlto; }
    bool dsr() const override { return dsrAlto; }
    void escribir(const QByteArray &datos) override;
    QByteArray leerTodo() override;
    void vaciarEntrada() override { m_entrada.clear(); }
    void vigilarPortadora(bool vigilar) override { vigilando = vigilar; }

    // What the device sends: delivered later by entregar(), as a real line
    // would, never inside the control's own write.
    void encolar(const QByteArray &datos) { pendientes.append(datos); }
    bool entregar();
    // Received at once, from the test's side of the line.
    void recibir(const QByteArray &datos);
    void portadora(bool alta) { emit portadoraCambiada(alta); }

    // The modem on the other end: answer to each command (CR stripped, "+++"
    // on its own); an empty answer is silence.
    std::function<QByteArray(const QByteArray &)> modem;

    std::function<void()> alCerrarAbierta;

    bool abrirOk = true;
    bool ctsAlto = true;
    bool dsrAlto = true;
    bool vigilando = false;
    int aperturas = 0;
    QString dispositivo;
    QStringList settings; // every setting the line was given, in order
    QByteArray escrito;
    QList<QByteArray> comandos;
    QList<QByteArray> pendientes;

private:
    bool m_abierto = false;
    QByteArray m_entrada;
    QByteArray m_linea;
};

class TcpFalso : public Vantel::PuertoTcp
{
    Q_OBJECT
public:
    bool conectar(const QString &host, quint16 puerto) override;
    void cerrar() override { m_conectado = false; m_intentando = false; }
    bool conectado() const override { return m_conectado; }
    void escribir(const QByteArray &datos) override { escrito += datos; }
    QByteArray leerTodo() override;

    // The gateway's side.
    void aceptar();
    void recibir(const QByteArray &datos);
    void cortar();

    bool conectarOk = true;
    QString host;
    quint16 puerto = 0;
    QByteArray escrito;

private:
    bool m_conectado = false;
    bool m_intentando = false;
    QByteArray m_entrada;
};

// Every event of one control as a line of text, e.g. "CambioEstado(sckABRIENDO,1)".
class Registro
{
public:
    explicit Registro(Vantel::CommSocket &socket);
    QStringList eventos;
    // What the host does with the buffer it is handed; by default it keeps it.
    std::function<void(QString &)> alRecibir;
    QString ultimo() const { return eventos.isEmpty() ? QString() : eventos.last(); }
};

// One control over fake ports, and the means to run it.
struct Banco
{
    Banco();
    ~Banco();

    // Delivers the device's pending answers, else fires the pending tick,
    // until hasta() holds or nothing is left to do. False on the step limit.
    bool correr(const std::function<bool()> &hasta = {}, int limite = 20000);
    // Runs until the control waits for nothing more.
    void agotar() { correr(); }

    QString nombreEstado() const;
    QString nombreError() const;

    SerieFalsa *serie = nullptr;
    TcpFalso *tcp = nullptr;
    RelojFalso *reloj = nullptr;
    std::unique_ptr<Vantel::CommSocket> socket;
    std::unique_ptr<Registro> registro;
};

// The modem everyone expects: OK to every command, the given answer to the dial.
std::function<QByteArray(const QByteArray &)> modemQueResponde(const QByteArray &alMarcar);

QString nombre(Vantel::CommSocket::sckEstado estado);
QString nombre(Vantel::CommSocket::sckError error);
