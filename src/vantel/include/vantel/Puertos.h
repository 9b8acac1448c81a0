#pragma once

// The three platform pieces the control drives: a serial line, a TCP socket
// and a one-shot timer. The control owns one of each; the ready-made ones sit
// over QSerialPort, QTcpSocket and QTimer, and a test or a host with its own
// transport may hand in others.
//
// Contract for every implementation: signals are emitted from the event loop,
// never from inside a call the control makes (a reply to escribir() must not
// arrive before escribir() returns), and closing raises no loss signal.

#include <vantel/vantel_export.h>

#include <QByteArray>
#include <QObject>
#include <QString>

namespace Vantel {

class VANTEL_EXPORT PuertoSerie : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~PuertoSerie() override;

    // Opens the device with "speed,parity,data,stop" settings and raises DTR
    // and RTS. False when the device cannot be opened or the settings are not
    // valid; the port is then closed.
    virtual bool abrir(const QString &dispositivo, const QString &settings) = 0;
    // Drops DTR and RTS and closes; harmless when already closed.
    virtual void cerrar() = 0;
    virtual bool abierto() const = 0;
    // False when the settings are not valid or the line refuses them.
    virtual bool aplicarSettings(const QString &settings) = 0;
    virtual bool cts() const = 0;
    virtual bool dsr() const = 0;
    virtual void escribir(const QByteArray &datos) = 0;
    virtual QByteArray leerTodo() = 0;
    // Discards whatever the line has received and not yet been read.
    virtual void vaciarEntrada() = 0;
    // Asks for portadoraCambiada() while open; lines without a carrier
    // detect simply never report.
    virtual void vigilarPortadora(bool vigilar) = 0;

signals:
    void datosRecibidos();
    void portadoraCambiada(bool alta);
    // The device went away under an open port (unplugged adapter).
    void perdido();
};

class VANTEL_EXPORT PuertoTcp : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~PuertoTcp() override;

    // Starts connecting, from any local port. False when the attempt cannot
    // even start; otherwise conectadoAlHost() or cerrado() follows.
    virtual bool conectar(const QString &host, quint16 puerto) = 0;
    // Sends what it can without waiting and drops the connection.
    virtual void cerrar() = 0;
    virtual bool conectado() const = 0;
    virtual void escribir(const QByteArray &datos) = 0;
    virtual QByteArray leerTodo() = 0;

signals:
    void conectadoAlHost();
    void datosRecibidos();
    // Refused, unreachable, reset or closed by the peer: at most once per
    // connection attempt.
    void cerrado();
};

class VANTEL_EXPORT Reloj : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Reloj() override;

    // One shot after ms milliseconds; arming again restarts it.
    virtual void armar(int ms) = 0;
    virtual void parar() = 0;

signals:
    void vencido();
};

} // namespace Vantel
