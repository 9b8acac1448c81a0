#include "envioautomatico.h"

#include "basedatos.h"
#include "remitente.h"

#include <QDateTime>

namespace verifactu {

QString AvisoEnvios(const EstadoEnvios& e, bool sinCertificado, bool sinClave)
{
    QStringList partes;
    if (e.pendientes > 0)
        partes << QStringLiteral("Registros VERI*FACTU sin enviar: %1.").arg(e.pendientes);
    if (e.rechazados > 0)
        partes << QStringLiteral("Rechazados por la Agencia Tributaria: %1.").arg(e.rechazados);
    if (e.conErrores > 0)
        partes << QStringLiteral("Aceptados con errores: %1.").arg(e.conErrores);
    if (partes.isEmpty())
        return {};
    if (e.pendientes > 0) {
        if (sinCertificado)
            partes << QStringLiteral("Falta el certificado del comercio: elíjalo en Configurar, VERI*FACTU.");
        else if (!e.motivo.isEmpty())
            partes << e.motivo;
        else if (sinClave)
            partes << QStringLiteral("Falta la contraseña del certificado para enviarlos.");
    }
    return partes.join(QLatin1Char(' '));
}

EnvioAutomatico::EnvioAutomatico(QString rutaBaseDatos, ConfiguracionEnvio configuracion, QObject* padre)
    : QObject(padre), m_ruta(std::move(rutaBaseDatos)), m_conf(std::move(configuracion))
{
}

EnvioAutomatico::~EnvioAutomatico()
{
    if (!m_hilo)
        return;
    {
        QMutexLocker l(&m_mutex);
        m_parar = true;
        m_cancelar = true;
        m_aviso.wakeAll();
    }
    m_hilo->wait();
    delete m_hilo;
}

void EnvioAutomatico::Empezar()
{
    if (m_hilo)
        return;
    m_hilo = QThread::create([this] { Trabajar(); });
    m_hilo->setObjectName(QStringLiteral("EnvioRegistros"));
    m_hilo->start(QThread::LowPriority);
}

void EnvioAutomatico::FijarClave(const QString& clave)
{
    QMutexLocker l(&m_mutex);
    m_conf.clave = clave;
    m_despierto = true;
    m_aviso.wakeAll();
}

bool EnvioAutomatico::TieneClave() const
{
    QMutexLocker l(&m_mutex);
    return !m_conf.clave.isEmpty();
}

void EnvioAutomatico::Despertar()
{
    QMutexLocker l(&m_mutex);
    m_despierto = true;
    m_aviso.wakeAll();
}

void EnvioAutomatico::Trabajar()
{
    // A connection of its own: the windows' one belongs to their thread.
    BaseDatos bd(m_ruta);
    if (!bd.Abierta())
        return;
    std::optional<Remitente> remitente;
    std::unique_ptr<TransporteHttps> transporte;
    QString clave;
    for (;;) {
        int esperaMs = 30000;
        {
            QMutexLocker l(&m_mutex);
            if (m_parar)
                break;
            // Without the password nothing is tried: a failure would only mark the records late.
            if (!m_conf.clave.isEmpty() && m_conf.clave != clave) {
                clave = m_conf.clave;
                remitente.reset();
                transporte = std::make_unique<TransporteHttps>(m_conf);
                transporte->CancelarCon(&m_cancelar);
                remitente.emplace(bd, *transporte, Remitente::PuestoActual());
            }
        }
        if (remitente) {
            const Remitente::Paso p = remitente->Enviar();
            emit Intentado();
            // Wake at the agency's time, and at least every half minute to keep the claim and see
            // new records.
            const qint64 hasta = QDateTime::currentDateTime().msecsTo(p.proximo);
            if (p.resultado == Remitente::Resultado::Esperando || p.resultado == Remitente::Resultado::Fallo ||
                p.resultado == Remitente::Resultado::Enviado)
                esperaMs = static_cast<int>(std::clamp<qint64>(hasta, 200, 30000));
        }
        QMutexLocker l(&m_mutex);
        if (!m_parar && !m_despierto)
            m_aviso.wait(&m_mutex, static_cast<unsigned long>(esperaMs));
        m_despierto = false;
    }
    if (remitente)
        remitente->Soltar();
}

}  // namespace verifactu
