#pragma once

// A small terminal over one CommSocket: the channel's settings, connect and
// disconnect, a line to send, and everything that arrives or happens.

#include <vantel/CommSocket.h>

#include <QMainWindow>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QSpinBox;

class Terminal : public QMainWindow
{
    Q_OBJECT
public:
    explicit Terminal(QSettings &settings, QWidget *parent = nullptr);
    ~Terminal() override;

private:
    void aControl();
    void deControl();
    void conectar();
    void enviar();
    void alCambiarEstado(Vantel::CommSocket::sckEstado est, int intento);
    void alConectar(Vantel::CommSocket::sckEstado est, Vantel::CommSocket::sckError err);
    void alDesconectar(Vantel::CommSocket::sckEstado est, Vantel::CommSocket::sckError err);
    void alRecibir(QString &rx);
    void anotar(const QString &linea);

    QSettings &m_settings;
    Vantel::CommSocket *m_socket = nullptr;
    QLineEdit *m_host = nullptr;
    QSpinBox *m_port = nullptr;
    QSpinBox *m_canal = nullptr;
    QLineEdit *m_dispositivo = nullptr;
    QLineEdit *m_lineaSettings = nullptr;
    QLineEdit *m_telefono = nullptr;
    QSpinBox *m_mascara = nullptr;
    QPushButton *m_conectar = nullptr;
    QPushButton *m_desconectar = nullptr;
    QLineEdit *m_envio = nullptr;
    QCheckBox *m_crlf = nullptr;
    QPlainTextEdit *m_recibido = nullptr;
    QPlainTextEdit *m_eventos = nullptr;
};
