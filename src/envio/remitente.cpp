#include "remitente.h"

#include "basedatos.h"
#include "soapagencia.h"

#include <QCoreApplication>
#include <QSet>
#include <QSysInfo>

#include <cerrno>
#include <map>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace verifactu {

namespace {

QString Clave(const QString& nif, const QString& numSerie, const QString& fecha, bool anulacion)
{
    return nif + QLatin1Char('|') + numSerie + QLatin1Char('|') + fecha + (anulacion ? QStringLiteral("|N") : QStringLiteral("|A"));
}

}  // namespace

Remitente::Remitente(BaseDatos& bd, Transporte& transporte, QString puesto)
    : m_bd(bd), m_transporte(transporte), m_puesto(std::move(puesto))
{
}

QString Remitente::PuestoActual()
{
    return QSysInfo::machineHostName() + QLatin1Char(':') + QString::number(QCoreApplication::applicationPid());
}

void Remitente::Soltar()
{
    try {
        m_bd.SoltarEnvio(m_puesto);
    } catch (const motor::Error&) {
        // The claim goes stale by itself.
    }
}

Remitente::Paso Remitente::Enviar()
{
    try {
        return EnviarLote();
    } catch (const motor::Error& e) {
        Paso p;
        p.resultado = Resultado::Fallo;
        p.motivo = QStringLiteral("No se puede leer o guardar el estado de los registros en la base de datos (%1). Se volverá a intentar.")
                       .arg(motor::TextoParaUsuario(e));
        p.proximo = reloj().addSecs(60);
        return p;
    }
}

QString Remitente::Caido(const QString& titular)
{
#ifdef Q_OS_UNIX
    // A process of this same computer that is no longer there (killed, crashed) holds nothing.
    const QString propio = QSysInfo::machineHostName() + QLatin1Char(':');
    bool ok = false;
    const qint64 pid = titular.startsWith(propio) ? titular.mid(propio.size()).toLongLong(&ok) : 0;
    if (ok && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return titular;
#else
    Q_UNUSED(titular);
#endif
    return {};
}

Remitente::Paso Remitente::EnviarLote()
{
    Paso p;
    const QDateTime ahora = reloj();
    const qint64 ahoraMs = ahora.toMSecsSinceEpoch();
    // Everything up to the post only reads: stations with nothing to send, or waiting, never
    // take the write lock the shop's invoicing and the scale line need.
    const EstadoEnvios estado = m_bd.LeerEstadoEnvios();
    if (estado.pendientes == 0)
        return p;
    const QString caido = Caido(estado.titular);
    if (!estado.titular.isEmpty() && estado.titular != m_puesto && estado.titular != caido &&
        ahoraMs / 1000 - estado.renovado < kCaducidadSegundos) {
        p.resultado = Resultado::OtroPuesto;
        p.proximo = ahora.addSecs(60);
        return p;
    }
    // The agency's pace: its wait since the last submission, unless a full submission is
    // waiting; after a failure, the wait always.
    const qint64 desde = estado.ultimoEnvio + qint64(estado.tiempoEspera) * 1000;
    const bool lleno = estado.pendientes >= kMaximoPorEnvio && estado.motivo.isEmpty();
    if (ahoraMs < desde && !lleno) {
        p.resultado = Resultado::Esperando;
        p.proximo = QDateTime::fromMSecsSinceEpoch(desde);
        return p;
    }
    const std::vector<Pendiente> pendientes = m_bd.RegistrosPendientes(kMaximoPorEnvio);
    if (pendientes.empty())
        return p;

    // A submission is one run of records with the same Incidencia (it goes in the header), and
    // holds each invoice's record of a kind once, so that each answer line names one record.
    std::vector<const Pendiente*> lote;
    QSet<QString> claves;
    for (const Pendiente& r : pendientes) {
        const QString clave = Clave(r.IDEmisorFactura, r.NumSerieFactura, r.FechaExpedicionFactura, r.tipo == TipoRegistro::Anulacion);
        if (r.incidencia != pendientes.front().incidencia || claves.contains(clave))
            break;
        claves.insert(clave);
        lote.push_back(&r);
    }
    std::vector<QByteArray> xmls;
    for (const Pendiente* r : lote)
        xmls.push_back(r->xml);
    const auto [nif, nombre] = m_bd.EmisorFacturas();
    const QByteArray sobre = SobreEnvio(nif, nombre, xmls, lote.front()->incidencia);
    auto fallo = [&](const QString& motivo) {
        m_bd.AnotarFalloEnvio(motivo);
        p.resultado = Resultado::Fallo;
        p.motivo = motivo;
        p.proximo = ahora.addSecs(estado.tiempoEspera);
        return p;
    };
    if (sobre.isEmpty())
        return fallo(QStringLiteral("Un registro guardado no se puede leer: compruebe la cadena con «quenza --verificar-registros»."));

    // The claim is taken (or renewed) and the moment noted under the write lock just before
    // posting: of two stations here at once, one goes on.
    if (!m_bd.TomarEnvio(m_puesto, ahoraMs / 1000, kCaducidadSegundos, ahoraMs, caido)) {
        p.resultado = Resultado::OtroPuesto;
        p.proximo = ahora.addSecs(60);
        return p;
    }
    const RespuestaHttp http = m_transporte.Enviar(sobre);
    if (!http.motivo.isEmpty())
        return fallo(http.motivo);
    RespuestaAgencia respuesta;
    QString motivo;
    if (!LeerRespuesta(http.cuerpo, respuesta, motivo)) {
        if (http.estado == 401 || http.estado == 403)
            return fallo(QStringLiteral("La Agencia Tributaria no acepta el certificado del comercio (HTTP %1): compruebe que está "
                                        "en vigor y es el del titular.")
                             .arg(http.estado));
        if (http.estado != 200)
            return fallo(QStringLiteral("La Agencia Tributaria no atiende ahora (HTTP %1). Se volverá a intentar.").arg(http.estado));
        return fallo(motivo);
    }
    if (respuesta.tipo == RespuestaAgencia::Tipo::FaltaServidor)
        return fallo(QStringLiteral("La Agencia Tributaria tiene un problema (%1). Se volverá a intentar.").arg(respuesta.falta));
    if (respuesta.tipo == RespuestaAgencia::Tipo::FaltaCliente)
        return fallo(QStringLiteral("La Agencia Tributaria rechaza el envío entero: %1").arg(respuesta.falta));

    std::map<QString, const Pendiente*> porClave;
    for (const Pendiente* r : lote)
        porClave[Clave(r->IDEmisorFactura, r->NumSerieFactura, r->FechaExpedicionFactura, r->tipo == TipoRegistro::Anulacion)] = r;
    std::vector<RespuestaRegistro> anotar;
    for (const LineaRespuesta& l : respuesta.lineas) {
        const bool anulacion = l.TipoOperacion == QLatin1String("Anulacion");
        const auto it = porClave.find(Clave(l.IDEmisorFactura, l.NumSerieFactura, l.FechaExpedicionFactura, anulacion));
        if (it == porClave.end())
            continue;  // not one of ours: it changes nothing
        RespuestaRegistro a{it->second->orden, l.EstadoRegistro, l.CodigoErrorRegistro, l.DescripcionErrorRegistro, respuesta.CSV,
                            respuesta.TimestampPresentacion};
        // Sent before without its answer (the program stopped, the answer was lost): the agency
        // has it already and says how it stands.
        if (l.EstadoRegistro == QLatin1String("Incorrecto") && !l.EstadoRegistroDuplicado.isEmpty() &&
            l.EstadoRegistroDuplicado != QLatin1String("Anulada")) {
            a.estado = l.EstadoRegistroDuplicado == QLatin1String("Correcta") ? QStringLiteral("Correcto")
                                                                               : QStringLiteral("AceptadoConErrores");
            a.descripcion = QStringLiteral("Ya registrado en un envío anterior. ") + a.descripcion;
        }
        porClave.erase(it);
        if (a.estado == QLatin1String("Correcto"))
            ++p.correctos;
        else if (a.estado == QLatin1String("AceptadoConErrores"))
            ++p.conErrores;
        else
            ++p.incorrectos;
        if (a.estado != QLatin1String("Correcto"))
            p.lineas << QStringLiteral("%1 %2: %3 %4 %5")
                            .arg(l.NumSerieFactura, anulacion ? QStringLiteral("(anulación)") : QString(), a.estado, a.codigo,
                                 a.descripcion)
                            .simplified();
        anotar.push_back(std::move(a));
    }
    const int espera = respuesta.TiempoEsperaEnvio >= 0 ? respuesta.TiempoEsperaEnvio : estado.tiempoEspera;
    m_bd.AnotarRespuestas(anotar, espera);
    p.resultado = Resultado::Enviado;
    p.enviados = static_cast<int>(anotar.size());
    p.motivo = respuesta.EstadoEnvio;
    p.proximo = ahora.addSecs(espera);
    if (!porClave.empty()) {
        // Records the answer did not mention stay pending and go again.
        const QString faltan = QStringLiteral("La respuesta de la Agencia Tributaria no menciona %1 registros: se enviarán de nuevo.")
                                   .arg(porClave.size());
        m_bd.AnotarFalloEnvio(faltan);
        p.motivo = faltan;
    }
    return p;
}

}  // namespace verifactu
