#include <vantel/CommSocket.h>

#include "Protocolo.h"
#include "PuertosQt.h"
#include "Tools.h"

#include <vantel/AlmacenPropiedades.h>
#include <vantel/Puertos.h>

#include <QPainter>
#include <QPointer>
#include <QResizeEvent>

#include <algorithm>
#include <functional>

namespace Vantel {

namespace {

// The properties are 16-bit values, as the stores that keep them expect.
int a16(int valor)
{
    return std::clamp(valor, -32768, 32767);
}

constexpr int TickLineasMs = 5;
constexpr int TickMarcadoMs = 1000;
constexpr int AsentamientoMs = 500;
constexpr int GuardaEscapeMs = 1100;
constexpr int EsperaEscapeMs = 2000;
constexpr int TickCortoMs = 5;

const QString AcuseGateway = QStringLiteral("OK\r\n");

CommSocket::sckError errorDeMarcado(ClaseRespuesta clase)
{
    switch (clase) {
    case ClaseRespuesta::NoCarrier: return CommSocket::sckError::sckABORTADO;
    case ClaseRespuesta::NoTono: return CommSocket::sckError::sckNOHAYTONO;
    case ClaseRespuesta::Ocupado: return CommSocket::sckError::sckOCUPADO;
    case ClaseRespuesta::NoRespuesta: return CommSocket::sckError::sckNORESPUESTA;
    // An OK or a RING does not answer a dial command either.
    default: return CommSocket::sckError::sckCOMANDONOPREVISTO;
    }
}

} // namespace

CommSocket::CommSocket(QWidget *parent)
    : CommSocket(nullptr, nullptr, nullptr, parent)
{
}

CommSocket::CommSocket(std::unique_ptr<PuertoSerie> serie, std::unique_ptr<PuertoTcp> tcp,
                       std::unique_ptr<Reloj> reloj, QWidget *parent)
    : QWidget(parent)
    , m_serie(serie ? std::move(serie) : std::make_unique<SerieQt>())
    , m_tcp(tcp ? std::move(tcp) : std::make_unique<TcpQt>())
    , m_reloj(reloj ? std::move(reloj) : std::make_unique<RelojQt>())
{
    setFixedSize(Lado, Lado);
    // Nothing to see in use; Qt Designer shows it explicitly.
    setVisible(false);
    const ListaInicializacion lista = LeerInicializacion(QString::fromLatin1(InicializacionPorDefecto));
    m_comandos = lista.comandos;
    m_respuestas = lista.respuestas;
    conectarPuertos();
}

CommSocket::~CommSocket()
{
    // A control on its way out raises nothing.
    m_reloj->disconnect(this);
    m_serie->disconnect(this);
    m_tcp->disconnect(this);
    m_reloj->parar();
    m_tcp->cerrar();
    m_serie->cerrar();
    // A host may delete the control from a handler that the socket or port is still inside
    // (its data signal is on the stack): they go once that call has returned.
    m_reloj.release()->deleteLater();
    m_tcp.release()->deleteLater();
    m_serie.release()->deleteLater();
}

void CommSocket::conectarPuertos()
{
    connect(m_reloj.get(), &Reloj::vencido, this, &CommSocket::alVencer);
    connect(m_serie.get(), &PuertoSerie::datosRecibidos, this, &CommSocket::alRecibirSerie);
    connect(m_serie.get(), &PuertoSerie::portadoraCambiada, this, &CommSocket::alCambiarPortadora);
    connect(m_serie.get(), &PuertoSerie::perdido, this, &CommSocket::alPerderSerie);
    connect(m_tcp.get(), &PuertoTcp::conectadoAlHost, this, &CommSocket::alConectarTcp);
    connect(m_tcp.get(), &PuertoTcp::datosRecibidos, this, &CommSocket::alRecibirTcp);
    connect(m_tcp.get(), &PuertoTcp::cerrado, this, &CommSocket::alCerrarTcp);
}

// --- Properties -------------------------------------------------------------

void CommSocket::setCanal(int canal)
{
    canal = a16(canal);
    if (canal == m_canal)
        return;
    m_canal = canal;
    emit CanalChanged();
}

void CommSocket::setSettings(const QString &settings)
{
    if (settings == m_settings)
        return;
    m_settings = settings;
    // A line already carrying data follows at once, as the host expects; while
    // the modem is being talked to, the settings wait for the dialogue to end.
    if (m_tipo != TipoCanal::Tcp && m_serie->abierto() && m_estado == sckEstado::sckCONECTADO
        && (m_paso == Paso::Conectado || m_paso == Paso::EventoForzado)) {
        m_serie->aplicarSettings(m_settings);
    }
    emit SettingsChanged();
}

QString CommSocket::Inicializacion() const
{
    return EscribirInicializacion({m_comandos, m_respuestas});
}

void CommSocket::setInicializacion(const QString &texto)
{
    const ListaInicializacion lista = LeerInicializacion(texto);
    if (lista.comandos == m_comandos && lista.respuestas == m_respuestas)
        return;
    m_comandos = lista.comandos;
    m_respuestas = lista.respuestas;
    emit InicializacionChanged();
}

void CommSocket::setDial(const QString &dial)
{
    if (dial == m_dial)
        return;
    m_dial = dial;
    emit DialChanged();
}

void CommSocket::setNumTelefono(const QString &numero)
{
    if (numero == m_numTelefono)
        return;
    m_numTelefono = numero;
    emit NumTelefonoChanged();
}

void CommSocket::setIntentos(int intentos)
{
    intentos = a16(intentos);
    if (intentos == m_intentos)
        return;
    m_intentos = intentos;
    emit IntentosChanged();
}

void CommSocket::setTmOutMdm(int ms)
{
    ms = a16(ms);
    if (ms == m_tmOutMdm)
        return;
    m_tmOutMdm = ms;
    emit TmOutMdmChanged();
}

void CommSocket::setTmOutCnx(int segundos)
{
    segundos = a16(segundos);
    if (segundos == m_tmOutCnx)
        return;
    m_tmOutCnx = segundos;
    emit TmOutCnxChanged();
}

void CommSocket::setTmOutHang(int segundos)
{
    segundos = a16(segundos);
    if (segundos == m_tmOutHang)
        return;
    m_tmOutHang = segundos;
    emit TmOutHangChanged();
}

void CommSocket::setMskDTRRTS(int mascara)
{
    mascara = a16(mascara);
    if (mascara == m_mskDtrRts)
        return;
    m_mskDtrRts = mascara;
    emit MskDTRRTSChanged();
}

void CommSocket::setHost(const QString &host)
{
    if (host == m_host)
        return;
    m_host = host;
    emit HostChanged();
}

void CommSocket::setPort(int port)
{
    port = std::clamp(port, 0, 65535);
    if (port == m_port)
        return;
    m_port = port;
    emit PortChanged();
}

void CommSocket::setDispositivo(const QString &dispositivo)
{
    if (dispositivo == m_dispositivo)
        return;
    m_dispositivo = dispositivo;
    emit DispositivoChanged();
}

QString CommSocket::nombreDispositivo() const
{
    if (!m_dispositivo.isEmpty())
        return m_dispositivo;
    // Channel n is the n-th serial port of the machine, counted from 1.
    if (m_canal < 1)
        return {};
    return QStringLiteral("/dev/ttyS") + Tools::NumATexto(m_canal - 1);
}

namespace {

void leerEntero(const AlmacenPropiedades &almacen, const QString &nombre, int porDefecto,
                const std::function<void(int)> &poner)
{
    bool ok = false;
    const int valor = almacen.leer(nombre, porDefecto).toInt(&ok);
    if (ok)
        poner(valor);
}

void leerTexto(const AlmacenPropiedades &almacen, const QString &nombre, const QString &porDefecto,
               const std::function<void(const QString &)> &poner)
{
    const QVariant valor = almacen.leer(nombre, porDefecto);
    // An INI file hands back an unquoted "9600,N,8,1" as a list.
    if (valor.metaType().id() == QMetaType::QStringList)
        poner(valor.toStringList().join(QLatin1Char(',')));
    else if (valor.canConvert<QString>())
        poner(valor.toString());
}

} // namespace

void CommSocket::LeerPropiedades(const AlmacenPropiedades &almacen)
{
    leerEntero(almacen, QStringLiteral("Canal"), 1, [this](int v) { setCanal(v); });
    leerTexto(almacen, QStringLiteral("Settings"), QStringLiteral("9600,N,8,1"),
              [this](const QString &v) { setSettings(v); });
    leerTexto(almacen, QStringLiteral("Inicializacion"), QString::fromLatin1(InicializacionPorDefecto),
              [this](const QString &v) { setInicializacion(v); });
    leerTexto(almacen, QStringLiteral("Dial"), QStringLiteral("ATDT"),
              [this](const QString &v) { setDial(v); });
    leerTexto(almacen, QStringLiteral("NumTelefono"), QString(),
              [this](const QString &v) { setNumTelefono(v); });
    leerEntero(almacen, QStringLiteral("Intentos"), 4, [this](int v) { setIntentos(v); });
    leerEntero(almacen, QStringLiteral("TmOutMdm"), 1000, [this](int v) { setTmOutMdm(v); });
    leerEntero(almacen, QStringLiteral("TmOutCnx"), 40, [this](int v) { setTmOutCnx(v); });
    leerEntero(almacen, QStringLiteral("TmOutHang"), 10, [this](int v) { setTmOutHang(v); });
    leerEntero(almacen, QStringLiteral("MskDTRRTS"), 1, [this](int v) { setMskDTRRTS(v); });
    leerTexto(almacen, QStringLiteral("Host"), QString(), [this](const QString &v) { setHost(v); });
    leerEntero(almacen, QStringLiteral("Port"), 0, [this](int v) { setPort(v); });
    leerTexto(almacen, QStringLiteral("Dispositivo"), QString(),
              [this](const QString &v) { setDispositivo(v); });
}

void CommSocket::GuardarPropiedades(AlmacenPropiedades &almacen) const
{
    almacen.escribir(QStringLiteral("Canal"), m_canal, 1);
    almacen.escribir(QStringLiteral("Settings"), m_settings, QStringLiteral("9600,N,8,1"));
    almacen.escribir(QStringLiteral("Inicializacion"), Inicializacion(),
                     QString::fromLatin1(InicializacionPorDefecto));
    almacen.escribir(QStringLiteral("Dial"), m_dial, QStringLiteral("ATDT"));
    almacen.escribir(QStringLiteral("NumTelefono"), m_numTelefono, QString());
    almacen.escribir(QStringLiteral("Intentos"), m_intentos, 4);
    almacen.escribir(QStringLiteral("TmOutMdm"), m_tmOutMdm, 1000);
    almacen.escribir(QStringLiteral("TmOutCnx"), m_tmOutCnx, 40);
    almacen.escribir(QStringLiteral("TmOutHang"), m_tmOutHang, 10);
    almacen.escribir(QStringLiteral("MskDTRRTS"), m_mskDtrRts, 1);
    almacen.escribir(QStringLiteral("Host"), m_host, QString());
    almacen.escribir(QStringLiteral("Port"), m_port, 0);
    almacen.escribir(QStringLiteral("Dispositivo"), m_dispositivo, QString());
}

// --- Methods ----------------------------------------------------------------

CommSocket::TipoCanal CommSocket::tipoSegunPropiedades() const
{
    if (!m_host.isEmpty() && m_port > 0)
        return TipoCanal::Tcp;
    if (!m_numTelefono.isEmpty())
        return TipoCanal::Modem;
    return TipoCanal::Directo;
}

void CommSocket::Conectar()
{
    if (m_estado != sckEstado::sckCERRADO && m_estado != sckEstado::sckCAIDO)
        return;
    // The kind of channel is fixed for the whole connection, whatever the host
    // changes meanwhile.
    m_tipo = tipoSegunPropiedades();
    // A dropped channel may still hold its port, and what it left unread
    // belongs to the old connection.
    cerrarTodo();
    m_buffer.clear();
    m_estado = sckEstado::sckABRIENDO;
    m_error = sckError::sckOK;
    m_paso = Paso::FalloApertura;
    m_intento = 1;
    m_vigilarPortadora = false;
    m_conmutaPortadora = false;

    QPointer<CommSocket> vivo(this);
    avisarCambio();
    if (!vivo || m_paso != Paso::FalloApertura)
        return; // the host disconnected or connected again from the event

    if (m_tipo == TipoCanal::Tcp) {
        if (!m_tcp->conectar(m_host, static_cast<quint16>(m_port))) {
            armar(TickCortoMs);
            return;
        }
        m_estado = sckEstado::sckCONECTANDO;
        m_paso = Paso::ConectandoTcp;
        avisarCambio();
        return;
    }

    m_cuenta = 10;
    if (m_serie->abrir(nombreDispositivo(), m_settings)) {
        m_lineasBien = true;
        m_paso = Paso::EsperaLineas;
        if (m_tipo == TipoCanal::Modem)
            m_serie->vigilarPortadora(true);
    }
    armar(TickLineasMs);
}

void CommSocket::Desconectar()
{
    switch (m_paso) {
    case Paso::Marcando:
        // The CR cancels the dial; the running tick then ends the attempt.
        m_paso = Paso::Abortando;
        escribirSerie("\r");
        break;
    case Paso::Asentando:
    case Paso::Conectado:
    case Paso::EventoForzado:
        parar();
        m_intento = 1;
        m_estado = sckEstado::sckDESCONECTANDO;
        m_error = sckError::sckOK;
        if (m_tipo == TipoCanal::Modem) {
            m_paso = Paso::GuardaEscape;
            armar(GuardaEscapeMs);
        } else {
            m_paso = Paso::Cerrando;
            armar(TickCortoMs);
        }
        avisarCambio();
        break;
    case Paso::Caido:
        m_paso = Paso::Cerrando;
        armar(TickCortoMs);
        break;
    case Paso::FalloApertura:
    case Paso::EsperaLineas:
    case Paso::IniciandoModem:
    case Paso::ConectandoTcp:
    case Paso::EsperaAcuse:
    case Paso::AntesDeRemarcar:
        parar();
        m_paso = Paso::Abortando;
        armar(TickCortoMs);
        break;
    case Paso::Reposo:
    case Paso::Abortando:
    case Paso::GuardaEscape:
    case Paso::EsperaEscape:
    case Paso::EsperaColgar:
    case Paso::Cerrando:
        break;
    }
}

void CommSocket::Enviar(const QString &tx)
{
    Enviar(tx.toLatin1());
}

void CommSocket::Enviar(const QByteArray &tx)
{
    if (m_tcp->conectado())
        m_tcp->escribir(tx);
    else if (m_serie->abierto())
        m_serie->escribir(tx);
}

void CommSocket::Flush()
{
    m_buffer.clear();
    if (m_tcp->conectado())
        m_tcp->leerTodo();
    if (m_serie->abierto())
        m_serie->vaciarEntrada();
}

void CommSocket::ForzarEvento()
{
    if (m_paso != Paso::Conectado)
        return;
    m_paso = Paso::EventoForzado;
    armar(TickCortoMs);
}

// --- Steps ------------------------------------------------------------------

void CommSocket::armar(int ms)
{
    m_reloj->armar(std::max(0, ms));
}

void CommSocket::parar()
{
    m_reloj->parar();
}

void CommSocket::escribirSerie(const QByteArray &datos)
{
    m_serie->escribir(datos);
}

bool CommSocket::lineasArriba() const
{
    const bool cts = (m_mskDtrRts & 1) == 0 || m_serie->cts();
    const bool dsr = (m_mskDtrRts & 2) == 0 || m_serie->dsr();
    return cts && dsr;
}

QString CommSocket::settingsModem() const
{
    return VelocidadDe(m_settings) + QStringLiteral(",N,8,1");
}

QString CommSocket::respuestaEsperada() const
{
    return m_respuestasEnCurso.value(m_indiceComando);
}

void CommSocket::alVencer()
{
    parar();
    switch (m_paso) {
    case Paso::FalloApertura:
        fallar(sckError::sckCANALNODISPONIBLE);
        break;
    case Paso::EsperaLineas:
        m_lineasBien = m_lineasBien && lineasArriba();
        if (--m_cuenta > 0) {
            armar(TickLineasMs);
        } else if (m_lineasBien) {
            if (m_tipo == TipoCanal::Modem) {
                m_serie->aplicarSettings(settingsModem());
                // Every retried step gets its own Intentos attempts.
                m_intento = 1;
                iniciarModem();
            } else {
                quedarConectado();
            }
        } else if (m_intento >= m_intentos) {
            fallar(sckError::sckNOHAYLINEA);
        } else {
            ++m_intento;
            m_cuenta = 100;
            m_lineasBien = true;
            armar(TickLineasMs);
            avisarCambio();
        }
        break;
    case Paso::IniciandoModem:
        if (!respuestaEsperada().isEmpty())
            fallar(sckError::sckINIMODEM);
        else
            siguienteComando();
        break;
    case Paso::Marcando:
        if (--m_cuenta > 0) {
            armar(TickMarcadoMs);
        } else if (m_intento >= m_intentos) {
            fallar(sckError::sckTMOUTDIAL);
        } else {
            ++m_intento;
            escribirSerie("\r");
            m_paso = Paso::AntesDeRemarcar;
            armar(TickMarcadoMs);
            avisarCambio();
        }
        break;
    case Paso::EsperaAcuse:
        fallar(sckError::sckCANALNODISPONIBLE);
        break;
    case Paso::AntesDeRemarcar:
        iniciarModem();
        break;
    case Paso::Asentando:
        if (m_tipo != TipoCanal::Tcp)
            m_serie->aplicarSettings(m_settings);
        quedarConectado();
        break;
    case Paso::Abortando:
        fallar(sckError::sckABORTADO);
        break;
    case Paso::EventoForzado:
        m_paso = Paso::Conectado;
        emitirRecepcion();
        break;
    case Paso::GuardaEscape:
        m_serie->aplicarSettings(settingsModem());
        Flush();
        escribirSerie("+++");
        m_paso = Paso::EsperaEscape;
        armar(EsperaEscapeMs);
        break;
    case Paso::EsperaEscape:
        reintentarEscape();
        break;
    case Paso::EsperaColgar:
        if (--m_cuenta > 0)
            armar(TickMarcadoMs);
        else
            caidoAlColgar();
        break;
    case Paso::Cerrando:
        cerrarCanal();
        break;
    case Paso::Reposo:
    case Paso::ConectandoTcp:
    case Paso::Conectado:
    case Paso::Caido:
        break;
    }
}

void CommSocket::alRecibirSerie()
{
    if (!m_serie->abierto())
        return;
    m_buffer += QString::fromLatin1(m_serie->leerTodo());
    if (!m_buffer.isEmpty())
        actuarSobreDatos();
}

void CommSocket::alRecibirTcp()
{
    m_buffer += QString::fromLatin1(m_tcp->leerTodo());
    if (m_paso == Paso::EsperaAcuse || m_paso == Paso::Conectado || m_paso == Paso::EventoForzado)
        actuarSobreDatos();
}

void CommSocket::actuarSobreDatos()
{
    switch (m_paso) {
    case Paso::IniciandoModem: {
        const QString esperada = respuestaEsperada();
        if (esperada.isEmpty() || m_buffer.size() < esperada.size())
            break;
        parar();
        if (m_buffer.startsWith(esperada))
            siguienteComando();
        else
            fallar(sckError::sckINIMODEM);
        break;
    }
    case Paso::Marcando:
        alAcabarMarcado();
        break;
    case Paso::EsperaAcuse:
        if (m_buffer.size() < AcuseGateway.size())
            break;
        parar();
        if (m_buffer.startsWith(AcuseGateway)) {
            m_paso = Paso::Asentando;
            armar(AsentamientoMs);
        } else {
            fallar(sckError::sckCANALNODISPONIBLE);
        }
        break;
    case Paso::AntesDeRemarcar:
    case Paso::Asentando:
    case Paso::GuardaEscape:
    case Paso::Cerrando:
        Flush();
        break;
    case Paso::Abortando:
        fallar(sckError::sckABORTADO);
        break;
    case Paso::Conectado:
        emitirRecepcion();
        break;
    case Paso::EventoForzado:
        parar();
        m_paso = Paso::Conectado;
        emitirRecepcion();
        break;
    case Paso::EsperaEscape:
        alResponderEscape();
        break;
    case Paso::EsperaColgar:
        alResponderColgar();
        break;
    case Paso::Reposo:
    case Paso::FalloApertura:
    case Paso::EsperaLineas:
    case Paso::ConectandoTcp:
    case Paso::Caido:
        break;
    }
}

bool CommSocket::tomarRespuesta(QString &respuesta)
{
    const qsizetype cr = m_buffer.indexOf(QLatin1Char('\r'));
    if (cr < 0)
        return false;
    // The answer is taken out, so that the next one is judged on its own.
    respuesta = m_buffer.left(cr + 1);
    m_buffer.remove(0, cr + 1);
    return true;
}

void CommSocket::alAcabarMarcado()
{
    QString respuesta;
    if (!tomarRespuesta(respuesta))
        return;
    parar();
    const ClaseRespuesta clase = ClasificarRespuesta(respuesta);
    if (clase == ClaseRespuesta::Connect) {
        m_paso = Paso::Asentando;
        armar(AsentamientoMs);
    } else if (m_intento < m_intentos) {
        ++m_intento;
        m_paso = Paso::AntesDeRemarcar;
        armar(TickMarcadoMs);
        avisarCambio();
    } else {
        fallar(errorDeMarcado(clase));
    }
}

void CommSocket::alResponderEscape()
{
    QString respuesta;
    if (!tomarRespuesta(respuesta))
        return;
    parar();
    if (ClasificarRespuesta(respuesta) == ClaseRespuesta::Ok) {
        m_cuenta = m_tmOutHang;
        m_paso = Paso::EsperaColgar;
        armar(TickMarcadoMs);
        // Like every command, ATH starts from an empty buffer: only its own
        // answer may decide the hang-up.
        Flush();
        escribirSerie("ATH\r");
    } else {
        reintentarEscape();
    }
}

void CommSocket::alResponderColgar()
{
    QString respuesta;
    if (!tomarRespuesta(respuesta))
        return;
    parar();
    if (ClasificarRespuesta(respuesta) == ClaseRespuesta::Ok) {
        m_paso = Paso::Cerrando;
        armar(TickCortoMs);
    } else {
        caidoAlColgar();
    }
}

void CommSocket::reintentarEscape()
{
    if (m_intento >= m_intentos) {
        colgadoFallido();
        return;
    }
    ++m_intento;
    m_paso = Paso::GuardaEscape;
    armar(EsperaEscapeMs);
    avisarCambio();
}

void CommSocket::iniciarModem()
{
    // The list in use is fixed for the whole dialogue.
    if (m_comandos.isEmpty()) {
        m_comandosEnCurso = {QStringLiteral("ATE0V0")};
        m_respuestasEnCurso = {QStringLiteral("0\r")};
    } else {
        m_comandosEnCurso = m_comandos;
        m_respuestasEnCurso = m_respuestas;
    }
    m_estado = sckEstado::sckINICIANDO;
    m_paso = Paso::IniciandoModem;
    m_indiceComando = 0;
    enviarComando();
    avisarCambio();
}

void CommSocket::enviarComando()
{
    Flush();
    escribirSerie(m_comandosEnCurso.value(m_indiceComando).toLatin1() + '\r');
    armar(m_tmOutMdm);
}

void CommSocket::siguienteComando()
{
    if (m_indiceComando < m_comandosEnCurso.size() - 1) {
        ++m_indiceComando;
        enviarComando();
        return;
    }
    m_estado = sckEstado::sckCONECTANDO;
    m_paso = Paso::Marcando;
    marcar();
    avisarCambio();
}

void CommSocket::marcar()
{
    Flush();
    escribirSerie((m_dial + m_numTelefono).toLatin1() + '\r');
    m_cuenta = m_tmOutCnx;
    armar(TickMarcadoMs);
}

void CommSocket::alConectarTcp()
{
    if (m_paso != Paso::ConectandoTcp)
        return;
    const QString saludo =
        Tools::NumATexto(m_canal) + QLatin1Char(',') + m_settings + QStringLiteral("\r\n");
    m_paso = Paso::EsperaAcuse;
    armar(m_tmOutMdm);
    m_tcp->escribir(saludo.toLatin1());
}

void CommSocket::alCerrarTcp()
{
    if (m_cerrando || m_tipo != TipoCanal::Tcp)
        return;
    switch (m_paso) {
    // Until Conexion has been raised the loss ends the attempt, so that the
    // host always hears how its Conectar ended.
    case Paso::FalloApertura:
    case Paso::ConectandoTcp:
    case Paso::EsperaAcuse:
    case Paso::Asentando:
        fallar(sckError::sckCANALNODISPONIBLE);
        break;
    case Paso::Abortando:
        fallar(sckError::sckABORTADO);
        break;
    case Paso::Conectado:
    case Paso::EventoForzado:
        caer();
        break;
    default:
        break;
    }
}

void CommSocket::alCambiarPortadora(bool alta)
{
    if (m_tipo != TipoCanal::Modem || !m_serie->abierto())
        return;
    if (alta) {
        // The carrier line is polled, so its rise can trail the CONNECT answer
        // into the settling step; it still belongs to the dialling.
        if (m_paso == Paso::Marcando || m_paso == Paso::Asentando)
            m_vigilarPortadora = !m_conmutaPortadora;
        else
            m_conmutaPortadora = !m_conmutaPortadora;
        return;
    }
    if ((m_paso == Paso::Conectado || m_paso == Paso::EventoForzado) && m_vigilarPortadora)
        caer();
}

void CommSocket::alPerderSerie()
{
    if (m_cerrando || m_tipo == TipoCanal::Tcp)
        return;
    switch (m_paso) {
    case Paso::FalloApertura:
    case Paso::EsperaLineas:
    case Paso::IniciandoModem:
    case Paso::Marcando:
    case Paso::AntesDeRemarcar:
    case Paso::Asentando:
        fallar(sckError::sckCANALNODISPONIBLE);
        break;
    case Paso::Abortando:
        fallar(sckError::sckABORTADO);
        break;
    case Paso::Conectado:
    case Paso::EventoForzado:
        caer();
        break;
    case Paso::GuardaEscape:
    case Paso::EsperaEscape:
    case Paso::EsperaColgar:
        // With the device gone there is nothing left to hang up.
        parar();
        m_paso = Paso::Cerrando;
        armar(TickCortoMs);
        break;
    default:
        break;
    }
}

void CommSocket::quedarConectado()
{
    m_paso = Paso::Conectado;
    m_error = sckError::sckOK;
    m_estado = sckEstado::sckCONECTADO;
    Flush();
    avisarFin(true);
}

void CommSocket::fallar(sckError error)
{
    cerrarTodo();
    m_paso = Paso::Reposo;
    m_error = error;
    m_estado = sckEstado::sckCERRADO;
    avisarFin(true);
}

void CommSocket::caer()
{
    parar();
    if (m_tipo == TipoCanal::Tcp)
        m_tcp->cerrar();
    m_estado = sckEstado::sckCAIDO;
    m_error = sckError::sckCAIDAPORTADORA;
    m_paso = Paso::Caido;
    avisarCambio();
}

void CommSocket::colgadoFallido()
{
    // Still in data mode: the line goes back to what the data needs.
    m_serie->aplicarSettings(m_settings);
    m_estado = sckEstado::sckCONECTADO;
    m_error = sckError::sckALCOLGAR;
    m_paso = Paso::Conectado;
    avisarFin(false);
}

void CommSocket::caidoAlColgar()
{
    // The port stays open: give it back the host's settings, not the modem's.
    m_serie->aplicarSettings(m_settings);
    m_estado = sckEstado::sckCAIDO;
    m_error = sckError::sckALCOLGAR;
    m_paso = Paso::Conectado;
    avisarFin(false);
}

void CommSocket::cerrarCanal()
{
    cerrarTodo();
    m_estado = sckEstado::sckCERRADO;
    m_error = sckError::sckOK;
    m_paso = Paso::Reposo;
    avisarFin(false);
}

void CommSocket::cerrarTodo()
{
    m_cerrando = true;
    parar();
    m_tcp->cerrar();
    m_serie->cerrar();
    m_cerrando = false;
}

void CommSocket::avisarCambio()
{
    emit CambioEstado(m_estado, m_intento);
}

void CommSocket::avisarFin(bool deConexion)
{
    const sckEstado estado = m_estado;
    const sckError error = m_error;
    // The host may release the control from its handler.
    QPointer<CommSocket> vivo(this);
    emit CambioEstado(estado, m_intento);
    if (!vivo)
        return;
    if (deConexion)
        emit Conexion(estado, error);
    else
        emit Desconexion(estado, error);
}

void CommSocket::emitirRecepcion()
{
    if (!m_buffer.isEmpty())
        emit Recepcion(m_buffer);
}

// --- Widget -----------------------------------------------------------------

void CommSocket::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (event->size() != QSize(Lado, Lado))
        setFixedSize(Lado, Lado);
}

void CommSocket::paintEvent(QPaintEvent *)
{
    QPainter pintor(this);
    const QRect caja = rect().adjusted(0, 0, -1, -1);
    pintor.fillRect(caja, palette().base());
    pintor.setPen(palette().text().color());
    pintor.drawRect(caja);
    // A plug: two pins over a body, enough to tell the control apart on a form.
    pintor.drawRect(10, 12, 12, 10);
    pintor.drawLine(13, 6, 13, 12);
    pintor.drawLine(19, 6, 19, 12);
    pintor.drawLine(16, 22, 16, 27);
}

} // namespace Vantel
