#pragma once

// CommSocket: one communications channel to a remote device over a TCP
// gateway, a dial-up modem or a plain serial line, behind one interface.
// It never blocks and never throws; every outcome arrives through Estado,
// Error and the signals.

#include <vantel/vantel_export.h>

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace Vantel {

class AlmacenPropiedades;
class PuertoSerie;
class PuertoTcp;
class Reloj;

class VANTEL_EXPORT CommSocket : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Canal READ Canal WRITE setCanal NOTIFY CanalChanged)
    Q_PROPERTY(QString Settings READ Settings WRITE setSettings NOTIFY SettingsChanged)
    Q_PROPERTY(QString Inicializacion READ Inicializacion WRITE setInicializacion
                   NOTIFY InicializacionChanged)
    Q_PROPERTY(QString Dial READ Dial WRITE setDial NOTIFY DialChanged)
    Q_PROPERTY(QString NumTelefono READ NumTelefono WRITE setNumTelefono NOTIFY NumTelefonoChanged)
    Q_PROPERTY(int Intentos READ Intentos WRITE setIntentos NOTIFY IntentosChanged)
    Q_PROPERTY(int TmOutMdm READ TmOutMdm WRITE setTmOutMdm NOTIFY TmOutMdmChanged)
    Q_PROPERTY(int TmOutCnx READ TmOutCnx WRITE setTmOutCnx NOTIFY TmOutCnxChanged)
    Q_PROPERTY(int TmOutHang READ TmOutHang WRITE setTmOutHang NOTIFY TmOutHangChanged)
    Q_PROPERTY(int MskDTRRTS READ MskDTRRTS WRITE setMskDTRRTS NOTIFY MskDTRRTSChanged)
    Q_PROPERTY(QString Host READ Host WRITE setHost NOTIFY HostChanged)
    Q_PROPERTY(int Port READ Port WRITE setPort NOTIFY PortChanged)
    Q_PROPERTY(QString Dispositivo READ Dispositivo WRITE setDispositivo NOTIFY DispositivoChanged)
    Q_PROPERTY(Vantel::CommSocket::sckEstado Estado READ Estado)
    Q_PROPERTY(Vantel::CommSocket::sckError Error READ Error)

public:
    enum class sckEstado {
        sckFETO,
        sckCERRADO,
        sckABRIENDO,
        sckINICIANDO,
        sckCONECTANDO,
        sckCONECTADO,
        sckCAIDO,
        sckDESCONECTANDO,
    };
    Q_ENUM(sckEstado)

    enum class sckError {
        sckOK,
        sckCANALNODISPONIBLE,
        sckNOHAYLINEA,
        sckINIMODEM,
        sckTMOUTDIAL,
        sckOCUPADO,
        sckNOHAYTONO,
        sckNORESPUESTA,
        sckABORTADO,
        sckALCOLGAR,
        sckCOMANDONOPREVISTO,
        sckCAIDAPORTADORA,
    };
    Q_ENUM(sckError)

    static constexpr int Lado = 32;
    static constexpr const char *InicializacionPorDefecto =
        "AT&FE0V0Q0L3||AT&FE0V0Q0L3|0[Cr]|AT&C1||AT&D2||AT&A0|";

    // Over the system's serial port, TCP socket and timer.
    explicit CommSocket(QWidget *parent = nullptr);
    // Over ports the caller provides (another transport, or a test's fakes).
    CommSocket(std::unique_ptr<PuertoSerie> serie, std::unique_ptr<PuertoTcp> tcp,
               std::unique_ptr<Reloj> reloj, QWidget *parent = nullptr);
    ~CommSocket() override;

    int Canal() const { return m_canal; }
    void setCanal(int canal);
    QString Settings() const { return m_settings; }
    void setSettings(const QString &settings);
    QString Inicializacion() const;
    void setInicializacion(const QString &texto);
    QString Dial() const { return m_dial; }
    void setDial(const QString &dial);
    QString NumTelefono() const { return m_numTelefono; }
    void setNumTelefono(const QString &numero);
    int Intentos() const { return m_intentos; }
    void setIntentos(int intentos);
    int TmOutMdm() const { return m_tmOutMdm; }
    void setTmOutMdm(int ms);
    int TmOutCnx() const { return m_tmOutCnx; }
    void setTmOutCnx(int segundos);
    int TmOutHang() const { return m_tmOutHang; }
    void setTmOutHang(int segundos);
    int MskDTRRTS() const { return m_mskDtrRts; }
    void setMskDTRRTS(int mascara);
    QString Host() const { return m_host; }
    void setHost(const QString &host);
    int Port() const { return m_port; }
    void setPort(int port);
    // Serial device by name or path; empty means the one that Canal numbers.
    QString Dispositivo() const { return m_dispositivo; }
    void setDispositivo(const QString &dispositivo);
    sckEstado Estado() const { return m_estado; }
    sckError Error() const { return m_error; }

    // The device Conectar opens on a serial or modem channel.
    QString nombreDispositivo() const;

    // Stored values replace the current ones; values of the wrong type are
    // skipped. Persisted in a fixed order, Dispositivo last.
    void LeerPropiedades(const AlmacenPropiedades &almacen);
    void GuardarPropiedades(AlmacenPropiedades &almacen) const;

public slots:
    // Ignored unless Estado is sckCERRADO or sckCAIDO.
    void Conectar();
    void Desconectar();
    // Each character goes out as one byte (Latin-1); nothing when no channel is open.
    void Enviar(const QString &tx);
    void Enviar(const QByteArray &tx);
    void Flush();
    void ForzarEvento();

signals:
    void Conexion(Vantel::CommSocket::sckEstado est, Vantel::CommSocket::sckError err);
    void Desconexion(Vantel::CommSocket::sckEstado est, Vantel::CommSocket::sckError err);
    void CambioEstado(Vantel::CommSocket::sckEstado est, int intento);
    // rx is the whole receive buffer, one character per byte received. Leave
    // in it what has not been consumed yet (usually nothing). Connect directly.
    void Recepcion(QString &rx);

    void CanalChanged();
    void SettingsChanged();
    void InicializacionChanged();
    void DialChanged();
    void NumTelefonoChanged();
    void IntentosChanged();
    void TmOutMdmChanged();
    void TmOutCnxChanged();
    void TmOutHangChanged();
    void MskDTRRTSChanged();
    void HostChanged();
    void PortChanged();
    void DispositivoChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    enum class Paso {
        Reposo = 0,
        FalloApertura = 1,
        EsperaLineas = 2,
        IniciandoModem = 3,
        Marcando = 4,
        ConectandoTcp = 5,
        EsperaAcuse = 6,
        AntesDeRemarcar = 7,
        Asentando = 8,
        Abortando = 9,
        Conectado = 10,
        EventoForzado = 11,
        Caido = 12,
        GuardaEscape = 13,
        EsperaEscape = 14,
        EsperaColgar = 15,
        Cerrando = 16,
    };
    enum class TipoCanal { Tcp, Modem, Directo };

    void conectarPuertos();
    TipoCanal tipoSegunPropiedades() const;
    bool lineasArriba() const;
    QString settingsModem() const;
    QString respuestaEsperada() const;

    void alVencer();
    void alRecibirSerie();
    void alRecibirTcp();
    void alConectarTcp();
    void alCerrarTcp();
    void alCambiarPortadora(bool alta);
    void alPerderSerie();
    void actuarSobreDatos();

    void armar(int ms);
    void parar();
    void escribirSerie(const QByteArray &datos);
    void iniciarModem();
    void enviarComando();
    void siguienteComando();
    void marcar();
    void alAcabarMarcado();
    void alResponderEscape();
    void alResponderColgar();
    void reintentarEscape();
    bool tomarRespuesta(QString &respuesta);
    void quedarConectado();
    void fallar(sckError error);
    void caer();
    void colgadoFallido();
    void caidoAlColgar();
    void cerrarCanal();
    void cerrarTodo();
    void avisarCambio();
    void avisarFin(bool deConexion);
    void emitirRecepcion();

    std::unique_ptr<PuertoSerie> m_serie;
    std::unique_ptr<PuertoTcp> m_tcp;
    std::unique_ptr<Reloj> m_reloj;

    int m_canal = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    QStringList m_comandos;
    QStringList m_respuestas;
    QStringList m_comandosEnCurso;
    QStringList m_respuestasEnCurso;
    QString m_dial = QStringLiteral("ATDT");
    QString m_numTelefono;
    int m_intentos = 4;
    int m_tmOutMdm = 1000;
    int m_tmOutCnx = 40;
    int m_tmOutHang = 10;
    int m_mskDtrRts = 1;
    QString m_host;
    int m_port = 0;
    QString m_dispositivo;

    sckEstado m_estado = sckEstado::sckCERRADO;
    sckError m_error = sckError::sckOK;
    Paso m_paso = Paso::Reposo;
    TipoCanal m_tipo = TipoCanal::Directo;
    int m_intento = 1;
    int m_cuenta = 0;
    bool m_lineasBien = false;
    int m_indiceComando = 0;
    bool m_vigilarPortadora = false;
    bool m_conmutaPortadora = false;
    QString m_buffer;
    bool m_cerrando = false;
};

} // namespace Vantel
