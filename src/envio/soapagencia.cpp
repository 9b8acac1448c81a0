#include "soapagencia.h"

#include "registrofacturacion.h"

#include <QXmlStreamReader>

namespace verifactu {

namespace {

const QByteArray kSoap = "http://schemas.xmlsoap.org/soap/envelope/";

bool EstadoRegistroValido(const QString& e)
{
    return e == QLatin1String("Correcto") || e == QLatin1String("AceptadoConErrores") || e == QLatin1String("Incorrecto");
}

}  // namespace

QByteArray SobreEnvio(const QString& nif, const QString& nombre, const std::vector<QByteArray>& xmls, bool incidencia)
{
    QByteArray documento = DocumentoRegistros(nif, nombre, xmls, incidencia);
    if (documento.isEmpty())
        return {};
    // The document declares its own namespaces: it goes into the body as it is, without its
    // XML declaration.
    if (documento.startsWith("<?xml")) {
        const qsizetype fin = documento.indexOf("?>");
        documento.remove(0, fin + 2);
    }
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<soapenv:Envelope xmlns:soapenv=\"") + kSoap +
           QByteArray("\">\n<soapenv:Header/>\n<soapenv:Body>") + documento.trimmed() +
           QByteArray("\n</soapenv:Body>\n</soapenv:Envelope>\n");
}

bool LeerRespuesta(const QByteArray& cuerpo, RespuestaAgencia& r, QString& motivo)
{
    r = RespuestaAgencia{};
    QXmlStreamReader x(cuerpo);
    bool sobre = false, respuesta = false, falta = false;
    QString codigoFalta;
    LineaRespuesta* linea = nullptr;
    bool enDuplicado = false;
    // Elements are told apart by their local names: the agency's prefixes are its own business.
    while (!x.atEnd()) {
        x.readNext();
        if (x.isEndElement()) {
            if (x.name() == QLatin1String("RespuestaLinea"))
                linea = nullptr;
            else if (x.name() == QLatin1String("RegistroDuplicado"))
                enDuplicado = false;
            continue;
        }
        if (!x.isStartElement())
            continue;
        const QStringView n = x.name();
        if (n == QLatin1String("Envelope") && x.namespaceUri() == QLatin1String(kSoap)) {
            sobre = true;
        } else if (n == QLatin1String("Fault")) {
            falta = true;
        } else if (falta && n == QLatin1String("faultcode")) {
            codigoFalta = x.readElementText().trimmed();
        } else if (falta && n == QLatin1String("faultstring")) {
            r.falta = x.readElementText().simplified();
        } else if (n == QLatin1String("RespuestaRegFactuSistemaFacturacion")) {
            respuesta = true;
        } else if (!respuesta) {
            continue;
        } else if (n == QLatin1String("RespuestaLinea")) {
            r.lineas.emplace_back();
            linea = &r.lineas.back();
        } else if (n == QLatin1String("RegistroDuplicado")) {
            enDuplicado = true;
        } else if (linea) {
            if (n == QLatin1String("IDFactura") || n == QLatin1String("Operacion"))
                continue;  // groups: their fields come next
            const QString texto = x.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            // An annulment's identifiers may come with their "Anulada" names.
            QString nombre = n.toString();
            if (nombre.endsWith(QLatin1String("Anulada")))
                nombre.chop(7);
            if (nombre == QLatin1String("IDEmisorFactura"))
                linea->IDEmisorFactura = texto;
            else if (nombre == QLatin1String("NumSerieFactura"))
                linea->NumSerieFactura = texto;
            else if (nombre == QLatin1String("FechaExpedicionFactura"))
                linea->FechaExpedicionFactura = texto;
            else if (nombre == QLatin1String("TipoOperacion"))
                linea->TipoOperacion = texto;
            else if (nombre == QLatin1String("EstadoRegistroDuplicado"))
                linea->EstadoRegistroDuplicado = texto;
            else if (enDuplicado)
                continue;  // the duplicate's own code and text are not this record's
            else if (nombre == QLatin1String("EstadoRegistro"))
                linea->EstadoRegistro = texto;
            else if (nombre == QLatin1String("CodigoErrorRegistro"))
                linea->CodigoErrorRegistro = texto;
            else if (nombre == QLatin1String("DescripcionErrorRegistro"))
                linea->DescripcionErrorRegistro = texto.simplified();
        } else if (n == QLatin1String("CSV")) {
            r.CSV = x.readElementText().trimmed();
        } else if (n == QLatin1String("TimestampPresentacion")) {
            r.TimestampPresentacion = x.readElementText().trimmed();
        } else if (n == QLatin1String("TiempoEsperaEnvio")) {
            bool ok = false;
            const int t = x.readElementText().trimmed().toInt(&ok);
            r.TiempoEsperaEnvio = ok && t >= 0 ? t : -1;
        } else if (n == QLatin1String("EstadoEnvio")) {
            r.EstadoEnvio = x.readElementText().trimmed();
        }
    }
    if (x.hasError() || !sobre) {
        motivo = QStringLiteral("La Agencia Tributaria ha contestado algo que no es una respuesta del servicio. Se volverá a intentar.");
        return false;
    }
    if (falta) {
        // A fault of the server asks to send again; one of the client says the message is wrong.
        r.tipo = codigoFalta.endsWith(QLatin1String("Client")) ? RespuestaAgencia::Tipo::FaltaCliente
                                                               : RespuestaAgencia::Tipo::FaltaServidor;
        return true;
    }
    const bool estadoValido = r.EstadoEnvio == QLatin1String("Correcto") || r.EstadoEnvio == QLatin1String("ParcialmenteCorrecto") ||
                              r.EstadoEnvio == QLatin1String("Incorrecto");
    bool lineasValidas = !r.lineas.empty();
    for (const LineaRespuesta& l : r.lineas)
        lineasValidas = lineasValidas && EstadoRegistroValido(l.EstadoRegistro) && !l.NumSerieFactura.isEmpty();
    if (!respuesta || !estadoValido || !lineasValidas) {
        motivo = QStringLiteral("La respuesta de la Agencia Tributaria está incompleta. Se volverá a intentar.");
        return false;
    }
    return true;
}

}  // namespace verifactu
