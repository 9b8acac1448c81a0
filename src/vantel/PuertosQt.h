#pragma once

// The ports over Qt's serial port, TCP socket and timer.

#include <vantel/Puertos.h>

#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

namespace Vantel {

class SerieQt final : public PuertoSerie
{
    Q_OBJECT
public:
    explicit SerieQt(QObject *parent = nullptr);
    ~SerieQt() override;

    bool abrir(const QString &dispositivo, const QString &settings) override;
    void cerrar() override;
    bool abierto() const override;
    bool aplicarSettings(const QString &settings) override;
    bool cts() const override;
    bool dsr() const override;
    void escribir(const QByteArray &datos) override;
    QByteArray leerTodo() override;
    void vaciarEntrada() override;
    void vigilarPortadora(bool vigilar) override;

private:
    void alError(QSerialPort::SerialPortError error);
    void sondearPortadora();
    bool linea(QSerialPort::PinoutSignal senal) const;

    // Qt reports no carrier-detect changes, so the line is polled.
    static constexpr int SondeoPortadoraMs = 50;

    QSerialPort m_puerto;
    QTimer m_sondeo;
    bool m_portadora = false;
};

class TcpQt final : public PuertoTcp
{
    Q_OBJECT
public:
    explicit TcpQt(QObject *parent = nullptr);
    ~TcpQt() override;

    bool conectar(const QString &host, quint16 puerto) override;
    void cerrar() override;
    bool conectado() const override;
    void escribir(const QByteArray &datos) override;
    QByteArray leerTodo() override;

private:
    void avisarCierre();

    QTcpSocket m_socket;
    bool m_cerrando = false;
    bool m_avisado = false;
};

class RelojQt final : public Reloj
{
    Q_OBJECT
public:
    explicit RelojQt(QObject *parent = nullptr);
    void armar(int ms) override;
    void parar() override;

private:
    QTimer m_timer;
};

} // namespace Vantel
