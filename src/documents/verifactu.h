#pragma once

// What an invoice's records hold, the chaining of a new record, and the check of the chain.

#include "registrofacturacion.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

class BaseDatos;
class Factura;

namespace verifactu {

// The series as the invoice prints it: series 0 is "A", 1 "B"...; the rectifying series of
// each (10 and on) are "RA", "RB"...
QString LetraSerie(qint16 serie);
// The one form of series and number the records give an invoice: the series' letters, a dash
// and the number with at least six digits ("A-000015", "RA-000002").
QString NumSerie(qint16 serie, qint32 numero);
// A NIF as the records take it: nine letters and digits, upper case, spaces, dots and dashes
// left out (and a leading "ES" country code); empty when it is not one.
QString NIFRegistro(const QString& nif);
// How the records identify a customer who has no Spanish NIF but a foreign identifier with its
// two-letter country code in front: an EU VAT number of the right form as IDType "02" (the
// number with its prefix, no country: the number carries it), anything else with a country
// code the agency knows as IDType "04" (the identifier of the country of residence, with that
// country). Empty (a simplified invoice) for a Spanish NIF, no identifier or anything else.
struct IdentificacionExtranjera {
    QString CodigoPais;
    QString IDType;
    QString ID;
    bool operator==(const IdentificacionExtranjera&) const = default;
};
std::optional<IdentificacionExtranjera> IdentificacionOtro(const QString& nif);

// The fields of the record of issue of the invoice as it stands (the chain not yet filled in);
// no value, with the reason in `motivo`, when it cannot have one: no amount at all, more
// details than the record holds, or a rectified invoice without its record of issue.
// A rectifying invoice is R1 (R5 for a simplified original): the corrections a shop makes
// after the sale are returns, discounts and wrong amounts, which the VAT law's article 80
// covers; its customer is the original's, as recorded.
std::optional<Registro> AltaDeFactura(BaseDatos& bd, const Factura& factura, QString& motivo);
// True when the record speaks of the invoice as it stands: number, date, what it rectifies and
// every figure of the breakdown.
bool MismasCifras(const Registro& registro, const Registro& factura);

// The address the invoice's QR code holds, where the customer checks it at the agency (its test
// site with `pruebas`): NIF, series and number (percent-encoded in UTF-8), date and total.
QString UrlCotejo(const Registro& registro, bool pruebas);

// Puts `registro` after the last record, dated `momento`, with its fingerprint and XML, and
// stores it. Run it inside the write transaction that stores the invoice: the previous record
// is read under the same lock. Throws motor::Error.
void Encadenar(BaseDatos& bd, Registro& registro, const QDateTime& momento);

// Corrects a record the agency accepted with errors or rejected, as its rules say: a new record
// at the end of the chain, of the invoice as it stands now (after the shop has mended what the
// agency pointed at: the customer's NIF, the shop's data), with Subsanacion "S" and, for one the
// agency never registered, RechazoPrevio "X" ("S" for a rejected correction or annulment). The
// original stays as it was. False with the reason when the record has nothing to correct, is
// not the invoice's last, or the invoice cannot give a record now.
bool Subsanar(BaseDatos& bd, qint64 orden, const QDateTime& momento, QString& motivo);

// Walks the whole chain: every break found, in Spanish, one per line; empty when everything
// holds.
QStringList VerificarRegistros(BaseDatos& bd);

// The records generated between the two days, in chain order, as one document; false with the
// reason when they cannot be written.
bool ExportarRegistros(BaseDatos& bd, const QDate& desde, const QDate& hasta, const QString& archivo, QString& motivo);

}  // namespace verifactu
