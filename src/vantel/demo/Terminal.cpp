#include "Terminal.h"

#include <vantel/AlmacenPropiedades.h>

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QTime>
#include <QVBoxLayout>

using Vantel::CommSocket;

namespace {

template <typename E>
QString nombre(E valor)
{
    return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(static_cast<int>(valor)));
}

// Control characters shown as the old terminals did, so that a CR or a NUL
// from the device is visible.
QString visible(const QString &texto)
{
    QString salida;
    for (QChar c : texto) {
        if (c == QLatin1Char('\n'))
            salida += QStringLiteral("<LF>\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            salida += QStringLiteral("<%1>").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            salida += c;
    }
    return salida;
}

} // namespace

Terminal::Terminal(QSettings &settings, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("Vantel - terminal"));
    auto *central = new QWidget(this);
    auto *columna = new QVBoxLayout(central);

    auto *canal = new QGroupBox(QStringLiteral("Canal"), central);
    auto *form = new QFormLayout(canal);
    m_host = new QLineEdit(canal);
    m_host->setPlaceholderText(QStringLiteral("vacío: puerto serie o módem"));
    m_port = new QSpinBox(canal);
    m_port->setRange(0, 65535);
    m_canal = new QSpinBox(canal);
    m_canal->setRange(0, 255);
    m_dispositivo = new QLineEdit(canal);
    m_dispositivo->setPlaceholderText(QStringLiteral("vacío: el que numera Canal"));
    m_lineaSettings = new QLineEdit(canal);
    m_telefono = new QLineEdit(canal);
    m_telefono->setPlaceholderText(QStringLiteral("vacío: línea directa"));
    m_mascara = new QSpinBox(canal);
    m_mascara->setRange(0, 3);
    form->addRow(QStringLiteral("Host"), m_host);
    form->addRow(QStringLiteral("Port"), m_port);
    form->addRow(QStringLiteral("Canal"), m_canal);
    form->addRow(QStringLiteral("Dispositivo"), m_dispositivo);
    form->addRow(QStringLiteral("Settings"), m_lineaSettings);
    form->addRow(QStringLiteral("NumTelefono"), m_telefono);
    form->addRow(QStringLiteral("MskDTRRTS"), m_mascara);
    columna->addWidget(canal);

    auto *botones = new QHBoxLayout;
    m_conectar = new QPushButton(QStringLiteral("Conectar"), central);
    m_desconectar = new QPushButton(QStringLiteral("Desconectar"), central);
    auto *forzar = new QPushButton(QStringLiteral("ForzarEvento"), central);
    botones->addWidget(m_conectar);
    botones->addWidget(m_desconectar);
    botones->addWidget(forzar);
    botones->addStretch();
    columna->addLayout(botones);

    auto *envio = new QHBoxLayout;
    m_envio = new QLineEdit(central);
    m_crlf = new QCheckBox(QStringLiteral("CR LF"), central);
    m_crlf->setChecked(true);
    auto *enviar = new QPushButton(QStringLiteral("Enviar"), central);
    envio->addWidget(m_envio);
    envio->addWidget(m_crlf);
    envio->addWidget(enviar);
    columna->addLayout(envio);

    auto *partes = new QSplitter(Qt::Vertical, central);
    m_recibido = new QPlainTextEdit(partes);
    m_recibido->setReadOnly(true);
    m_recibido->setPlaceholderText(QStringLiteral("Recepción"));
    m_eventos = new QPlainTextEdit(partes);
    m_eventos->setReadOnly(true);
    m_eventos->setPlaceholderText(QStringLiteral("Eventos"));
    columna->addWidget(partes, 1);
    setCentralWidget(central);

    m_socket = new CommSocket(central);
    Vantel::AlmacenQSettings almacen(m_settings, QStringLiteral("CommSocket"));
    m_socket->LeerPropiedades(almacen);
    deControl();

    connect(m_socket, &CommSocket::CambioEstado, this, &Terminal::alCambiarEstado);
    connect(m_socket, &CommSocket::Conexion, this, &Terminal::alConectar);
    connect(m_socket, &CommSocket::Desconexion, this, &Terminal::alDesconectar);
    connect(m_socket, &CommSocket::Recepcion, this, &Terminal::alRecibir);
    connect(m_conectar, &QPushButton::clicked, this, &Terminal::conectar);
    connect(m_desconectar, &QPushButton::clicked, m_socket, &CommSocket::Desconectar);
    connect(forzar, &QPushButton::clicked, m_socket, &CommSocket::ForzarEvento);
    connect(enviar, &QPushButton::clicked, this, &Terminal::enviar);
    connect(m_envio, &QLineEdit::returnPressed, this, &Terminal::enviar);
    resize(640, 560);
}

Terminal::~Terminal()
{
    aControl();
    Vantel::AlmacenQSettings almacen(m_settings, QStringLiteral("CommSocket"));
    m_socket->GuardarPropiedades(almacen);
}

void Terminal::deControl()
{
    m_host->setText(m_socket->Host());
    m_port->setValue(m_socket->Port());
    m_canal->setValue(m_socket->Canal());
    m_dispositivo->setText(m_socket->Dispositivo());
    m_lineaSettings->setText(m_socket->Settings());
    m_telefono->setText(m_socket->NumTelefono());
    m_mascara->setValue(m_socket->MskDTRRTS());
}

void Terminal::aControl()
{
    m_socket->setHost(m_host->text().trimmed());
    m_socket->setPort(m_port->value());
    m_socket->setCanal(m_canal->value());
    m_socket->setDispositivo(m_dispositivo->text().trimmed());
    m_socket->setSettings(m_lineaSettings->text().trimmed());
    m_socket->setNumTelefono(m_telefono->text().trimmed());
    m_socket->setMskDTRRTS(m_mascara->value());
}

void Terminal::conectar()
{
    aControl();
    m_socket->Conectar();
}

void Terminal::enviar()
{
    QString linea = m_envio->text();
    if (m_crlf->isChecked())
        linea += QStringLiteral("\r\n");
    m_socket->Enviar(linea);
    m_envio->clear();
}

void Terminal::alCambiarEstado(CommSocket::sckEstado est, int intento)
{
    anotar(QStringLiteral("CambioEstado %1, intento %2").arg(nombre(est)).arg(intento));
    const bool libre = est == CommSocket::sckEstado::sckCERRADO || est == CommSocket::sckEstado::sckCAIDO;
    m_conectar->setEnabled(libre);
}

void Terminal::alConectar(CommSocket::sckEstado est, CommSocket::sckError err)
{
    anotar(QStringLiteral("Conexion %1, %2").arg(nombre(est), nombre(err)));
}

void Terminal::alDesconectar(CommSocket::sckEstado est, CommSocket::sckError err)
{
    anotar(QStringLiteral("Desconexion %1, %2").arg(nombre(est), nombre(err)));
}

void Terminal::alRecibir(QString &rx)
{
    m_recibido->moveCursor(QTextCursor::End);
    m_recibido->insertPlainText(visible(rx));
    m_recibido->moveCursor(QTextCursor::End);
    rx.clear();
}

void Terminal::anotar(const QString &linea)
{
    m_eventos->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz  ")) + linea);
}
