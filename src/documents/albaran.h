#pragma once

#include "lineaalbaran.h"
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

// A delivery note: header, customer and an ordered list of lines (1 to n). It computes its
// amounts, keeps KV740 stock in step with what its lines discounted, stores itself and prints
// itself on the delivery-note mask. Once linked to an invoice it is frozen: only its header
// and its stock can change. Failures are false or null results; nothing is shown, and
// UltimoError() keeps the reason for the screen.
class Albaran {
public:
    // Works on `bd`; the program passes its one data store (Global::BD).
    explicit Albaran(BaseDatos& bd);
    Albaran(const Albaran&) = delete;
    Albaran& operator=(const Albaran&) = delete;
    ~Albaran();

    std::optional<qint32> Numero;
    std::optional<QDate> Fecha;
    double Pagado = 0;
    float DesctoPP = 0;
    QString Observaciones;

    // A new note with the next free number, today's date and no customer or lines; false when
    // no number can be had (the database is busy, or the numbers are used up).
    bool WhoAmI();
    // Loads note `numero`: false when it is not stored, or when its lines cannot be read (the
    // header stays loaded then).
    bool WhoAmI(qint32 numero);

    // Stores header and lines and turns every change of a line's stock quantity into one
    // stock movement. False when nothing could be written: a missing number, date or customer,
    // a comment longer than its field, a new note whose typed number exists, a loaded note
    // deleted or changed by another station since it was loaded (nothing is overwritten: load
    // it again), a note made from a ticket another station has used meanwhile, or a database
    // error. A new note keeps the number it was given unless another station stored that
    // number first; it then takes the next free one, so read Numero afterwards. A line the
    // engine still refuses is left out alone, and the answer is false with the line named.
    // Afterwards the stored lines are sorted by article name and numbered again, so the note is
    // loaded again before it is stored a second time (a second Update is refused until then).
    bool Update();
    // Deletes the stored note when it is not invoiced; the stock is not given back.
    bool Delete();
    // Why the last WhoAmI, Update, Delete or Stock failed, in Spanish, saying what to do;
    // empty after a success.
    const QString& UltimoError() const { return m_ultimoError; }

    // The stored note is still what was loaded: not deleted, billed, paid or edited elsewhere.
    // False with UltimoError() set otherwise. Call it inside the transaction that relies on it.
    bool SinCambiosAjenos();
    // The same against the stored note's digest read with others at once (HuellaDocumento);
    // nothing when the note is no longer stored.
    bool SinCambiosAjenos(const std::optional<QByteArray>& guardada);

    // The scale ticket this new note is made from and its mark when the note was proposed:
    // Update marks the ticket in the same transaction that stores the note, and refuses when
    // another station used the ticket meanwhile. AlbaranOnLine sets it.
    void FijarTicket(qint32 docID, qint32 marcaVista);
    std::optional<qint32> Ticket() const { return m_ticket; }
    // How many notes the ticket had given when this one was proposed (0: never used).
    qint32 MarcaTicket() const { return m_marcaTicket; }

    // False (nothing changed) for an unknown customer or an invoiced note.
    bool SetCliente(qint32 codigo);
    std::optional<qint32> Cliente() const { return m_cliente; }
    // The customer's general discount, percent.
    float Descuento() const { return m_descuento; }
    bool UsaREq() const { return m_usaREq; }

    // Links the note to invoice `numero` of `serie` (stored by the next Update). False for a
    // number below 1 or an invoiced note.
    bool SetFactura(qint16 serie, qint32 numero);
    std::optional<qint32> Factura() const { return m_factura; }
    std::optional<qint16> SerieFactura() const { return m_serieFactura; }
    // Loaded or stored with an invoice number: the lines can no longer change.
    bool Facturado() const { return m_facturado; }

    // Made from a scale ticket.
    bool OnLine() const { return m_onLine; }
    void FijarOnLine(bool onLine) { m_onLine = onLine; }

    // Appends an empty line; null on an invoiced note or when the note is full.
    LineaAlbaran* NuevaLinea();
    // The line at `indice` (1 to NumeroLineas()), or null.
    LineaAlbaran* Linea(qint16 indice) const;
    qint16 NumeroLineas() const { return static_cast<qint16>(m_lineas.size()); }
    // False outside 1 to NumeroLineas() or on an invoiced note.
    bool EliminarLinea(qint16 indice);

    // Discounts every line's quantity from stock, or with `devolver` gives all of it back, and
    // stores the note (Update's result; on failure the lines keep their stock quantities).
    bool Stock(bool devolver = false);
    // Every line fully discounted (true without lines).
    bool EstadoStock() const;

    // [VAT %, surcharge % (0 when the customer pays none), amount after line discounts], one
    // row per VAT and surcharge, by VAT and then surcharge ascending; empty without lines.
    std::vector<FilaBase> Totales() const;
    // Sum of the line amounts after their discounts.
    double ImporteBase() const;
    // The customer's and the prompt-payment discounts, each on the base and rounded apart.
    double ImporteDescuentos() const;
    // The same on a base already summed (ImporteBase).
    double ImporteDescuentos(double base) const;
    // The same figures in cents.
    qint64 CentimosBase() const;
    qint64 CentimosDescuentos(qint64 base) const;
    qint64 CentimosEnvases() const;
    double ImporteEnvases() const;
    double ImporteEnvasesDevueltos() const;
    double ImporteEnvasesEntregados() const;

    // While printing: the line being printed is the last one.
    bool prn_SaltoPagina() const;
    // Prints the note on "mskAlba.txt" of `carpetaMascaras` through `motor` and closes it;
    // false when the mask cannot be read (nothing printed).
    bool Imprimir(MotorMascaras& motor, const QString& carpetaMascaras);

private:
    void EscribirCabecera(motor::Recordset& rs);
    void EscribirLinea(const LineaAlbaran& linea, motor::Recordset& rs);
    bool Guardar();
    bool Fallo(const QString& motivo);
    QByteArray HuellaGuardada(qint32 numero);

    BaseDatos& m_bd;
    std::optional<qint32> m_numeroCargado;
    std::optional<qint32> m_cliente;
    bool m_usaREq = false;
    float m_descuento = 0;
    std::optional<qint16> m_serieFactura;
    std::optional<qint32> m_factura;
    bool m_facturado = false;
    bool m_onLine = false;
    std::vector<std::unique_ptr<LineaAlbaran>> m_lineas;
    qint16 m_posicionImpresion = 0;
    QString m_ultimoError;
    // What the stored note looked like when loaded (or last stored by this object).
    QByteArray m_huella;
    // The number WhoAmI() proposed: the one a save may replace when another station took it.
    std::optional<qint32> m_numeroPropuesto;
    bool m_guardado = false;
    std::optional<qint32> m_ticket;
    qint32 m_marcaTicket = 0;
};
