#include "registrofacturacion.h"

#include <QCryptographicHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cstdlib>

namespace verifactu {

namespace {

const QString kSuministroLR = QStringLiteral(
    "https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/SuministroLR.xsd");
const QString kSuministroInformacion = QStringLiteral(
    "https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/"
    "SuministroInformacion.xsd");

QString Decimal(qint64 centesimas)
{
    const qint64 absoluto = std::llabs(centesimas);
    return QStringLiteral("%1%2.%3")
        .arg(centesimas < 0 ? QStringLiteral("-") : QString())
        .arg(absoluto / 100)
        .arg(absoluto % 100, 2, 10, QLatin1Char('0'));
}

// Writes elements of the agency's two namespaces.
class Escritor {
public:
    explicit Escritor(QByteArray& destino) : m_x(&destino) { m_x.setAutoFormatting(true); }

    QXmlStreamWriter& x() { return m_x; }
    void abrir(const char* nombre) { m_x.writeStartElement(kSuministroInformacion, QLatin1String(nombre)); }
    void cerrar() { m_x.writeEndElement(); }
    void campo(const char* nombre, const QString& valor) { m_x.writeTextElement(kSuministroInformacion, QLatin1String(nombre), valor); }

    void empezarDocumento(const QString& nif, const QString& nombre, bool incidencia = false)
    {
        m_x.writeStartDocument();
        m_x.writeNamespace(kSuministroLR, QStringLiteral("sfLR"));
        m_x.writeNamespace(kSuministroInformacion, QStringLiteral("sf"));
        m_x.writeStartElement(kSuministroLR, QStringLiteral("RegFactuSistemaFacturacion"));
        m_x.writeStartElement(kSuministroLR, QStringLiteral("Cabecera"));
        abrir("ObligadoEmision");
        campo("NombreRazon", nombre);
        campo("NIF", nif);
        cerrar();
        if (incidencia) {
            abrir("RemisionVoluntaria");
            campo("Incidencia", QStringLiteral("S"));
            cerrar();
        }
        m_x.writeEndElement();
    }
    void terminarDocumento()
    {
        m_x.writeEndElement();
        m_x.writeEndDocument();
    }

private:
    QXmlStreamWriter m_x;
};

void EscribirEncadenamiento(Escritor& e, const Registro& r)
{
    e.abrir("Encadenamiento");
    if (r.anterior) {
        e.abrir("RegistroAnterior");
        e.campo("IDEmisorFactura", r.anterior->IDEmisorFactura);
        e.campo("NumSerieFactura", r.anterior->NumSerieFactura);
        e.campo("FechaExpedicionFactura", r.anterior->FechaExpedicionFactura);
        e.campo("Huella", r.anterior->Huella);
        e.cerrar();
    } else {
        e.campo("PrimerRegistro", QStringLiteral("S"));
    }
    e.cerrar();
}

void EscribirSistema(Escritor& e, const SistemaInformatico& s)
{
    e.abrir("SistemaInformatico");
    e.campo("NombreRazon", s.NombreRazon);
    e.campo("NIF", s.NIF);
    e.campo("NombreSistemaInformatico", s.NombreSistemaInformatico);
    e.campo("IdSistemaInformatico", s.IdSistemaInformatico);
    e.campo("Version", s.Version);
    e.campo("NumeroInstalacion", s.NumeroInstalacion);
    // Quenza only ever keeps records for sending, for one taxpayer per database.
    e.campo("TipoUsoPosibleSoloVerifactu", QStringLiteral("S"));
    e.campo("TipoUsoPosibleMultiOT", QStringLiteral("N"));
    e.campo("IndicadorMultiplesOT", QStringLiteral("N"));
    e.cerrar();
}

void EscribirDetalle(Escritor& e, const DetalleDesglose& d)
{
    e.abrir("DetalleDesglose");
    e.campo("Impuesto", QStringLiteral("01"));
    e.campo("ClaveRegimen", QStringLiteral("01"));
    if (d.sujeta) {
        e.campo("CalificacionOperacion", QStringLiteral("S1"));
        e.campo("TipoImpositivo", Tipo(d.tipo));
        e.campo("BaseImponibleOimporteNoSujeto", Importe(d.base));
        e.campo("CuotaRepercutida", Importe(d.cuota));
        if (d.tipoRecargo != 0) {
            e.campo("TipoRecargoEquivalencia", Tipo(d.tipoRecargo));
            e.campo("CuotaRecargoEquivalencia", Importe(d.cuotaRecargo));
        }
    } else {
        // Not subject: only the amount may be given.
        e.campo("CalificacionOperacion", QStringLiteral("N1"));
        e.campo("BaseImponibleOimporteNoSujeto", Importe(d.base));
    }
    e.cerrar();
}

void EscribirRegistro(Escritor& e, const Registro& r, const SistemaInformatico& s)
{
    e.x().writeStartElement(kSuministroLR, QStringLiteral("RegistroFactura"));
    if (r.tipo == TipoRegistro::Alta) {
        e.abrir("RegistroAlta");
        e.campo("IDVersion", QStringLiteral("1.0"));
        e.abrir("IDFactura");
        e.campo("IDEmisorFactura", r.IDEmisorFactura);
        e.campo("NumSerieFactura", r.NumSerieFactura);
        e.campo("FechaExpedicionFactura", r.FechaExpedicionFactura);
        e.cerrar();
        e.campo("NombreRazonEmisor", r.NombreRazonEmisor);
        if (!r.Subsanacion.isEmpty())
            e.campo("Subsanacion", r.Subsanacion);
        if (!r.RechazoPrevio.isEmpty())
            e.campo("RechazoPrevio", r.RechazoPrevio);
        e.campo("TipoFactura", r.TipoFactura);
        if (!r.TipoRectificativa.isEmpty()) {
            e.campo("TipoRectificativa", r.TipoRectificativa);
            if (r.rectificada) {
                e.abrir("FacturasRectificadas");
                e.abrir("IDFacturaRectificada");
                e.campo("IDEmisorFactura", r.rectificada->IDEmisorFactura);
                e.campo("NumSerieFactura", r.rectificada->NumSerieFactura);
                e.campo("FechaExpedicionFactura", r.rectificada->FechaExpedicionFactura);
                e.cerrar();
                e.cerrar();
            }
            if (r.TipoRectificativa == QLatin1String("S")) {
                e.abrir("ImporteRectificacion");
                e.campo("BaseRectificada", Importe(r.baseRectificada));
                e.campo("CuotaRectificada", Importe(r.cuotaRectificada));
                if (r.recargoRectificado != 0)
                    e.campo("CuotaRecargoRectificado", Importe(r.recargoRectificado));
                e.cerrar();
            }
        }
        e.campo("DescripcionOperacion", r.TipoRectificativa.isEmpty() ? QStringLiteral("Venta de mercaderías")
                                                                        : QStringLiteral("Rectificación de factura"));
        // Full invoices and their rectifications name the customer; simplified ones do not.
        if (r.TipoFactura == QLatin1String("F1") || r.TipoFactura == QLatin1String("R1")) {
            e.abrir("Destinatarios");
            e.abrir("IDDestinatario");
            e.campo("NombreRazon", r.NombreDestinatario);
            if (r.IDOtroDestinatario.isEmpty()) {
                e.campo("NIF", r.NIFDestinatario);
            } else {
                e.abrir("IDOtro");
                if (!r.PaisDestinatario.isEmpty())
                    e.campo("CodigoPais", r.PaisDestinatario);
                e.campo("IDType", r.IDTypeDestinatario);
                e.campo("ID", r.IDOtroDestinatario);
                e.cerrar();
            }
            e.cerrar();
            e.cerrar();
        }
        e.abrir("Desglose");
        for (const DetalleDesglose& d : r.desglose)
            EscribirDetalle(e, d);
        e.cerrar();
        e.campo("CuotaTotal", Importe(r.cuotaTotal));
        e.campo("ImporteTotal", Importe(r.importeTotal));
        EscribirEncadenamiento(e, r);
    } else {
        e.abrir("RegistroAnulacion");
        e.campo("IDVersion", QStringLiteral("1.0"));
        e.abrir("IDFactura");
        e.campo("IDEmisorFacturaAnulada", r.IDEmisorFactura);
        e.campo("NumSerieFacturaAnulada", r.NumSerieFactura);
        e.campo("FechaExpedicionFacturaAnulada", r.FechaExpedicionFactura);
        e.cerrar();
        if (!r.RechazoPrevio.isEmpty())
            e.campo("RechazoPrevio", r.RechazoPrevio);
        EscribirEncadenamiento(e, r);
    }
    EscribirSistema(e, s);
    e.campo("FechaHoraHusoGenRegistro", r.FechaHoraHusoGenRegistro);
    e.campo("TipoHuella", QStringLiteral("01"));
    e.campo("Huella", r.Huella);
    e.cerrar();
    e.x().writeEndElement();
}

}  // namespace

SistemaInformatico Quenza(const QString& numeroInstalacion)
{
    return SistemaInformatico{QStringLiteral(QUENZA_PRODUCTOR_NOMBRE), QStringLiteral(QUENZA_PRODUCTOR_NIF),
                              QStringLiteral("Quenza"), QStringLiteral("QZ"), QStringLiteral(QUENZA_VERSION_REGISTROS),
                              numeroInstalacion.isEmpty() ? QStringLiteral("1") : numeroInstalacion};
}

QString Importe(qint64 centimos)
{
    return Decimal(centimos);
}

QString Tipo(qint32 centesimas)
{
    return Decimal(centesimas);
}

QString FechaHoraHuso(const QDateTime& momento)
{
    const int desfase = momento.offsetFromUtc();
    const int minutos = std::abs(desfase) / 60;
    return momento.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(desfase < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutos / 60, 2, 10, QLatin1Char('0'))
               .arg(minutos % 60, 2, 10, QLatin1Char('0'));
}

QString CadenaHuella(const Registro& r)
{
    const QString anterior = r.anterior ? r.anterior->Huella : QString();
    // Values as the XML holds them, without leading or trailing spaces.
    auto v = [](const QString& s) { return s.trimmed(); };
    if (r.tipo == TipoRegistro::Anulacion)
        return QStringLiteral("IDEmisorFacturaAnulada=%1&NumSerieFacturaAnulada=%2&FechaExpedicionFacturaAnulada=%3"
                              "&Huella=%4&FechaHoraHusoGenRegistro=%5")
            .arg(v(r.IDEmisorFactura), v(r.NumSerieFactura), v(r.FechaExpedicionFactura), v(anterior),
                 v(r.FechaHoraHusoGenRegistro));
    return QStringLiteral("IDEmisorFactura=%1&NumSerieFactura=%2&FechaExpedicionFactura=%3&TipoFactura=%4&CuotaTotal=%5"
                          "&ImporteTotal=%6&Huella=%7&FechaHoraHusoGenRegistro=%8")
        .arg(v(r.IDEmisorFactura), v(r.NumSerieFactura), v(r.FechaExpedicionFactura), v(r.TipoFactura),
             Importe(r.cuotaTotal), Importe(r.importeTotal), v(anterior), v(r.FechaHoraHusoGenRegistro));
}

QString CalcularHuella(const Registro& r)
{
    return QString::fromLatin1(QCryptographicHash::hash(CadenaHuella(r).toUtf8(), QCryptographicHash::Sha256).toHex().toUpper());
}

QByteArray DocumentoRegistro(const Registro& r, const SistemaInformatico& sistema)
{
    QByteArray xml;
    Escritor e(xml);
    e.empezarDocumento(r.IDEmisorFactura, r.NombreRazonEmisor);
    EscribirRegistro(e, r, sistema);
    e.terminarDocumento();
    return xml;
}

QByteArray DocumentoRegistros(const QString& nif, const QString& nombre, const std::vector<QByteArray>& xmls, bool incidencia)
{
    QByteArray xml;
    Escritor e(xml);
    e.empezarDocumento(nif, nombre, incidencia);
    // Each record goes as it was stored, element by element.
    for (const QByteArray& guardado : xmls) {
        QXmlStreamReader lector(guardado);
        int dentro = 0;
        while (!lector.atEnd()) {
            lector.readNext();
            const bool inicio = lector.isStartElement() && lector.name() == QLatin1String("RegistroFactura");
            if ((inicio || dentro > 0) && !lector.isWhitespace()) {
                if (lector.isStartElement())
                    ++dentro;
                if (lector.isEndElement())
                    --dentro;
                e.x().writeCurrentToken(lector);
            }
        }
        if (lector.hasError())
            return {};
    }
    e.terminarDocumento();
    return xml;
}

}  // namespace verifactu
