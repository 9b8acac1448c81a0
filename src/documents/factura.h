#pragma once

#include "lineafactura.h"
#include "sumasiva.h"
#include "utilidades.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class BaseDatos;
class MotorMascaras;
namespace motor {
class Recordset;
}

// What one VAT rate of an invoice is worth: net of line discounts, the invoice's general and
// prompt-payment discounts, the taxable base, VAT, surcharge and the amount. Each figure is
// rounded to the cent on its own, as the invoice list computes them.
struct DesgloseIVA {
    double pIVA = 0;
    double pREQ = 0;
    double Neto = 0;
    double Descuento = 0;
    double DesctoPP = 0;
    double BaseImponible = 0;
    double IVA = 0;
    double REq = 0;
    double Importe = 0;
};

// Whether `nif` can name a customer on an invoice: empty (the invoice is then a simplified one),
// a Spanish NIF whose control character is right (also with "ES" before it, as in the EU's VAT
// numbers), or another country's VAT number (two letters first), whose checks are not ours.
bool NifAdmisible(const QString& nif);

// A sales invoice: series and number, customer, date, its own discounts, the amount paid and an
// ordered list of lines (1 to n). It breaks its amounts down by VAT rate, stores itself and
// prints itself on the invoice mask. Failures are false or empty results; nothing is shown, and
// UltimoError() keeps the reason for the screen.
class Factura {
public:
    // Works on `bd`; the program passes its one data store (Global::BD).
    explicit Factura(BaseDatos& bd);
    Factura(const Factura&) = delete;
    Factura& operator=(const Factura&) = delete;
    ~Factura();

    // Series 0 prints as "A", 1 as "B" and so on.
    std::optional<qint16> Serie;
    std::optional<qint32> Numero;
    std::optional<QDate> Fecha;
    QString Observaciones;
    double Pagado = 0;

    // A rectifying invoice names the invoice it corrects and how: by the differences (its lines
    // are what changes) or by substitution (its lines are the whole invoice as it should be).
    struct Rectificacion {
        qint16 serie = 0;
        qint32 numero = 0;
        bool sustitucion = false;

        bool operator==(const Rectificacion&) const = default;
    };
    std::optional<Rectificacion> Rectifica;
    // The series that holds the rectifying invoices of `serie`, with their own numbering.
    static qint16 SerieRectificativa(qint16 serie);

    // Without a number: a new invoice with the next number of `serie` (0 when not given), dated
    // today; false when no number can be had. With one: loads that invoice; false when it is
    // not stored.
    bool WhoAmI(std::optional<qint16> serie = std::nullopt, std::optional<qint32> numero = std::nullopt);

    // Stores header and lines, all or nothing: a line that cannot be written rolls the whole
    // invoice back, header and the lines before it included, and the stored invoice stays as it
    // was. A changed number carries the delivery notes of the invoice along. False when series,
    // number, date or customer is missing, the series and number belong to another invoice, a
    // loaded invoice was deleted or changed by another station since it was loaded (nothing is
    // overwritten: load it again), a line cannot be written, or the database fails. A new
    // invoice whose proposed number another station stored first takes the next free one of its
    // series, so read Numero afterwards. Once stored, the object stands for the stored invoice
    // and can be stored again.
    bool Update();
    // A new invoice's lines made ready to be stored (converted for their fields, and as the
    // server takes them) before the caller takes the write lock, so that the next Update only
    // sends them. They are worked out again if the invoice's series or number changed by then;
    // nothing else about the invoice may change in between.
    void PrepararLineas();
    // Deletes the stored invoice and releases its delivery notes. False for an invoice with a
    // record of issue (VERI*FACTU): such an invoice is annulled, not deleted.
    bool Delete();
    // Annuls an invoice issued by mistake: writes its annulment record after the last record
    // and makes its delivery notes pending again, all in one transaction; the invoice stays
    // stored as it was. False when it has no record of issue or is already annulled.
    bool Anular();
    // Makes this a new rectifying invoice of the stored invoice `serie`/`numero`: the next number
    // of its rectifying series, dated today, the original's customer and discounts and, by
    // substitution, a copy of its lines to correct. Stored with Update. False (nothing changed)
    // when the original is not stored, has no record of issue or is annulled.
    bool Rectificar(qint16 serie, qint32 numero, bool sustitucion);
    // Why the last WhoAmI, Update, Delete or Anular failed, in Spanish, saying what to do; empty after
    // a success.
    const QString& UltimoError() const { return m_ultimoError; }

    // False (nothing changed) for an unknown customer. The discounts stay as they are.
    bool SetCliente(qint32 codigo);
    std::optional<qint32> Cliente() const { return m_cliente; }
    bool UsaREq() const { return m_usaREq; }

    // Percent, kept between 0 and 100.
    float Descuento() const { return m_descuento; }
    void FijarDescuento(float porcentaje);
    float DesctoPP() const { return m_desctoPP; }
    void FijarDesctoPP(float porcentaje);

    LineaFactura* NuevaLinea();
    // The line at `indice` (1 to NumeroLineas()), or null.
    LineaFactura* Linea(qint16 indice) const;
    qint16 NumeroLineas() const { return static_cast<qint16>(m_lineas.size()); }
    bool EliminarLinea(qint16 indice);

    // [VAT %, surcharge % (0 when the customer pays none), amount] of every line with an amount,
    // one row per VAT and surcharge of the lines, by VAT and then surcharge ascending: lines
    // that share a VAT but not a surcharge are rated apart, as in the invoice list. Kept as the
    // lines change, so it costs the number of rates, not of lines.
    std::vector<FilaBase> Totales() const;
    // The same worked out again from every line, without the kept sums.
    std::vector<FilaBase> TotalesDeLasLineas() const;
    // Totales worked out with the invoice's discounts, one row per VAT rate.
    std::vector<DesgloseIVA> Desglose() const;
    // The sums of Desglose (the rates are left at 0).
    DesgloseIVA Total() const;

    // Desglose and Total in cents, the figures the others are made from.
    struct DesgloseCentimos {
        float pIVA = 0;
        float pREQ = 0;
        qint64 Neto = 0;
        qint64 Descuento = 0;
        qint64 DesctoPP = 0;
        qint64 BaseImponible = 0;
        qint64 IVA = 0;
        qint64 REq = 0;
        qint64 Importe = 0;
    };
    std::vector<DesgloseCentimos> DesgloseEnCentimos() const;
    DesgloseCentimos TotalEnCentimos() const;

    double ImporteEnvases() const;
    // What the customer owes, as the invoice prints it: the total with VAT and surcharge plus
    // the packaging. Paying this settles the invoice in the invoice list.
    double ImporteALiquidar() const;
    qint64 CentimosALiquidar() const;
    // The surcharge that goes with a VAT rate: that of the first department (1 to 10) with
    // this VAT, 0 when none has it.
    static float RecargoDeIVA(float iva);
    double ImporteEnvasesDevueltos() const;
    double ImporteEnvasesEntregados() const;

    // While printing: the line being printed is the last one.
    bool prn_SaltoPagina() const;
    // Prints the invoice on "mskFact.txt" of `carpetaMascaras` through `motor` and closes it;
    // false when the mask cannot be read (nothing printed).
    bool Imprimir(MotorMascaras& motor, const QString& carpetaMascaras);

private:
    void EscribirLinea(const LineaFactura& linea, motor::Recordset& rs);
    bool Guardar();
    // False with the reason when the customer's NIF is there but wrong: the invoice would name nobody.
    bool ClienteIdentificable();
    bool Fallo(const QString& motivo);
    LineaFactura* Anadir(std::unique_ptr<LineaFactura> linea);

    QString m_ultimoError;
    // What the stored invoice looked like when loaded or last stored by this object.
    QByteArray m_huella;
    // Or what it is worked out from, when it was stored inside a caller's transaction: a batch's
    // invoice of thousands of lines is thrown away once stored, and its digest would only keep
    // the other stations waiting. Worked out by Huella() when first needed.
    struct LineasPreparadas;
    std::shared_ptr<LineasPreparadas> m_preparadas;
    struct HuellaPendiente;
    std::shared_ptr<HuellaPendiente> m_huellaPendiente;
    const QByteArray& Huella();
    std::optional<qint32> m_numeroPropuesto;

    BaseDatos& m_bd;
    std::optional<qint16> m_serieCargada;
    std::optional<qint32> m_numeroCargado;
    std::optional<qint32> m_cliente;
    bool m_usaREq = false;
    float m_descuento = 0;
    float m_desctoPP = 0;
    // What the lines add up to; every line of m_lineas keeps it up to date.
    SumasIVA m_sumas;
    std::vector<std::unique_ptr<LineaFactura>> m_lineas;
    qint16 m_posicionImpresion = 0;
};
