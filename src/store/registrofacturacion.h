#pragma once

// The records of issue and annulment the Spanish tax agency asks invoicing software to keep for
// every invoice (VERI*FACTU): their fields as the agency's record layout names them, the
// chained fingerprint and the XML.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace verifactu {

enum class TipoRegistro { Alta, Anulacion };

// One detail of the breakdown. Amounts are cents, rates hundredths of a percent (10 % is 1000).
struct DetalleDesglose {
    // False for an amount outside the taxable base (returnable packaging): no rate, no tax.
    bool sujeta = true;
    qint32 tipo = 0;
    qint64 base = 0;
    qint64 cuota = 0;
    // Equivalence surcharge; a rate of 0 leaves both fields out.
    qint32 tipoRecargo = 0;
    qint64 cuotaRecargo = 0;

    bool operator==(const DetalleDesglose&) const = default;
};

// An invoice as the records name it.
struct IDFactura {
    QString IDEmisorFactura;
    QString NumSerieFactura;
    QString FechaExpedicionFactura;

    bool operator==(const IDFactura&) const = default;
};

// The record the chain goes on from.
struct Encadenamiento {
    QString IDEmisorFactura;
    QString NumSerieFactura;
    QString FechaExpedicionFactura;
    QString Huella;

    bool operator==(const Encadenamiento&) const = default;
};

struct Registro {
    qint64 orden = 0;  // position in the chain, from 1
    TipoRegistro tipo = TipoRegistro::Alta;
    // The invoice it belongs to.
    qint16 serie = 0;
    qint32 numero = 0;

    QString IDEmisorFactura;  // of the annulled invoice for an annulment
    QString NombreRazonEmisor;
    QString NumSerieFactura;
    QString FechaExpedicionFactura;  // dd-mm-yyyy
    // Alta only.
    QString TipoFactura;  // F1 (the customer's NIF is known) or F2; R1 or R5 rectifying them
    // Rectifying invoices: "I" by differences or "S" by substitution, the invoice rectified and,
    // by substitution, the figures it had (cents).
    QString TipoRectificativa;
    std::optional<IDFactura> rectificada;
    qint64 baseRectificada = 0;
    qint64 cuotaRectificada = 0;
    qint64 recargoRectificado = 0;
    QString NIFDestinatario;
    QString NombreDestinatario;
    // A customer with no Spanish NIF (IDOtro): the country (absent for an EU VAT number, which
    // carries its own), the kind of identifier (02 EU VAT number, 04 one of the country of
    // residence) and the identifier.
    QString PaisDestinatario;
    QString IDTypeDestinatario;
    QString IDOtroDestinatario;
    std::vector<DetalleDesglose> desglose;
    qint64 cuotaTotal = 0;    // cents: VAT plus surcharge
    qint64 importeTotal = 0;  // cents: what the customer owes

    // A record that corrects one the agency answered (it goes in the XML only): Subsanacion "S",
    // and RechazoPrevio "X" (an alta the agency never registered), "S" (a correction or an
    // annulment it rejected) or empty.
    QString Subsanacion;
    QString RechazoPrevio;

    std::optional<Encadenamiento> anterior;  // none for the first record
    QString FechaHoraHusoGenRegistro;
    QString Huella;
    QByteArray xml;
    QString estadoEnvio;

    bool operator==(const Registro&) const = default;
};

// Who made the software, as the records describe it.
struct SistemaInformatico {
    QString NombreRazon;
    QString NIF;
    QString NombreSistemaInformatico;
    QString IdSistemaInformatico;
    QString Version;
    QString NumeroInstalacion;
};
// Quenza itself, with the installation number given.
SistemaInformatico Quenza(const QString& numeroInstalacion);

// The one way amounts are written in the records and their fingerprint: a point and two
// decimals, a minus sign when negative ("123.45", "-0.50").
QString Importe(qint64 centimos);
// A rate in hundredths of a percent, written as the XML wants it ("21.00", "5.20").
QString Tipo(qint32 centesimas);
// Local time with its offset, to the second ("2027-01-04T10:15:00+01:00").
QString FechaHoraHuso(const QDateTime& momento);

// The text the fingerprint is taken of: the agency's fields for the record's kind, Name=value
// joined by '&', with the previous record's fingerprint (empty for the first).
QString CadenaHuella(const Registro& r);
// SHA-256 of CadenaHuella in UTF-8: 64 uppercase hex characters.
QString CalcularHuella(const Registro& r);

// The record alone in a submission document (RegFactuSistemaFacturacion with its header), as
// it is stored beside the record.
QByteArray DocumentoRegistro(const Registro& r, const SistemaInformatico& sistema);
// Several stored records, in the order given, in one document for the issuer; `incidencia` says
// in its header that they go late because the network or the agency failed. Empty when a stored
// XML cannot be read.
QByteArray DocumentoRegistros(const QString& nif, const QString& nombre, const std::vector<QByteArray>& xmls,
                              bool incidencia = false);

}  // namespace verifactu
