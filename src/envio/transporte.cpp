#include "transporte.h"

#include "basedatos.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTimer>

namespace verifactu {

QString UrlAgencia(bool pruebas)
{
    return pruebas ? QStringLiteral("https://prewww1.aeat.es/wlpl/TIKE-CONT/ws/SistemaFacturacion/VerifactuSOAP")
                   : QStringLiteral("https://www1.agenciatributaria.gob.es/wlpl/TIKE-CONT/ws/SistemaFacturacion/VerifactuSOAP");
}

ConfiguracionEnvio ConfiguracionDe(const AjustesVerifactu& a)
{
    ConfiguracionEnvio c;
    auto entorno = [](const char* nombre, const QString& porDefecto) {
        const QString v = qEnvironmentVariable(nombre);
        return v.isEmpty() ? porDefecto : v;
    };
    c.url = entorno("QUENZA_AEAT_URL", UrlAgencia(a.Pruebas));
    c.autoridad = entorno("QUENZA_AEAT_CA", QString());
    c.certificado = entorno("QUENZA_AEAT_CERT", a.Certificado);
    return c;
}

TransporteHttps::TransporteHttps(ConfiguracionEnvio configuracion) : m_conf(std::move(configuracion)) {}

RespuestaHttp TransporteHttps::Enviar(const QByteArray& sobre)
{
    RespuestaHttp r;
    if (m_conf.certificado.isEmpty()) {
        r.motivo = QStringLiteral("Falta el certificado del comercio: elíjalo en Configurar, VERI*FACTU.");
        return r;
    }
    QFile p12(m_conf.certificado);
    if (!p12.open(QIODevice::ReadOnly)) {
        r.motivo = QStringLiteral("No se puede abrir el certificado %1: compruebe que el archivo existe. Elíjalo en Configurar, VERI*FACTU.")
                       .arg(m_conf.certificado);
        return r;
    }
    QSslKey clave;
    QSslCertificate certificado;
    QList<QSslCertificate> cadena;
    if (!QSslCertificate::importPkcs12(&p12, &clave, &certificado, &cadena, m_conf.clave.toUtf8()) || clave.isNull() ||
        certificado.isNull()) {
        r.motivo = QStringLiteral("No se puede usar el certificado %1: la contraseña no es la suya o el archivo no es un "
                                  "certificado PKCS#12 (.p12, .pfx).")
                       .arg(QFileInfo(m_conf.certificado).fileName());
        return r;
    }
    const QDateTime ahora = QDateTime::currentDateTimeUtc();
    if (certificado.expiryDate() < ahora) {
        r.motivo = QStringLiteral("El certificado del comercio caducó el %1: renuévelo y elíjalo en Configurar, VERI*FACTU.")
                       .arg(certificado.expiryDate().toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
        return r;
    }

    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setLocalCertificateChain(QList<QSslCertificate>{certificado} + cadena);
    ssl.setPrivateKey(clave);
    ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_conf.autoridad.isEmpty()) {
        const QList<QSslCertificate> autoridades = QSslCertificate::fromPath(m_conf.autoridad, QSsl::Pem);
        if (autoridades.isEmpty()) {
            r.motivo = QStringLiteral("No se puede leer la autoridad de certificación %1.").arg(m_conf.autoridad);
            return r;
        }
        ssl.setCaCertificates(autoridades);
    }

    const QUrl url(m_conf.url);
    QNetworkRequest peticion(url);
    peticion.setSslConfiguration(ssl);
    peticion.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/xml; charset=utf-8"));
    peticion.setRawHeader("SOAPAction", "\"\"");
    peticion.setTransferTimeout(m_conf.esperaMs);
    // No connection is kept between submissions, a minute or more apart.
    peticion.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);

    QNetworkAccessManager red;
    QEventLoop bucle;
    QNetworkReply* respuesta = red.post(peticion, sobre);
    QObject::connect(respuesta, &QNetworkReply::finished, &bucle, &QEventLoop::quit);
    // The transfer timeout counts silence; this bounds the whole exchange.
    QTimer limite;
    limite.setSingleShot(true);
    QObject::connect(&limite, &QTimer::timeout, respuesta, &QNetworkReply::abort);
    limite.start(m_conf.esperaMs + 5000);
    // The program closing does not wait for the agency.
    QTimer vigia;
    bool cancelada = false;
    if (m_cancelar) {
        QObject::connect(&vigia, &QTimer::timeout, respuesta, [this, respuesta, &cancelada] {
            if (m_cancelar->load()) {
                cancelada = true;
                respuesta->abort();
            }
        });
        vigia.start(100);
    }
    if (!respuesta->isFinished())
        bucle.exec();

    const QVariant estado = respuesta->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (respuesta->isOpen())
        r.cuerpo = respuesta->readAll();
    const QNetworkReply::NetworkError error = respuesta->error();
    if (estado.isValid()) {
        r.llegada = true;
        r.estado = estado.toInt();
    }
    const QString donde = url.host();
    if (cancelada) {
        r.llegada = false;
        r.motivo = QStringLiteral("Envío interrumpido al cerrar el programa: se repetirá.");
        respuesta->deleteLater();
        return r;
    }
    switch (error) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::HostNotFoundError:
        r.motivo = QStringLiteral("No se encuentra el servicio de la Agencia Tributaria (%1): compruebe la conexión a Internet.").arg(donde);
        break;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
        r.motivo = QStringLiteral("No hay conexión con la Agencia Tributaria (%1): compruebe la conexión a Internet.").arg(donde);
        break;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        r.motivo = QStringLiteral("La Agencia Tributaria no ha contestado en %1 segundos.").arg(m_conf.esperaMs / 1000);
        break;
    case QNetworkReply::SslHandshakeFailedError:
        r.motivo = QStringLiteral("No se ha podido abrir la conexión segura con la Agencia Tributaria: su certificado no es de "
                                  "confianza o no acepta el del comercio. Compruebe el certificado en Configurar, VERI*FACTU.");
        break;
    default:
        if (!r.llegada)
            r.motivo = QStringLiteral("No se ha podido enviar a la Agencia Tributaria (%1).").arg(respuesta->errorString());
        break;
    }
    if (!r.motivo.isEmpty())
        r.llegada = r.llegada && error == QNetworkReply::NoError;
    respuesta->deleteLater();
    return r;
}

}  // namespace verifactu
