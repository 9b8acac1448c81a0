#pragma once

#include "sumasiva.h"

#include <QString>

#include <optional>

class BaseDatos;
namespace motor {
class Recordset;
}

// One invoice line. A reference makes an article line; without one, a line with an amount is a
// concept line and a line without an amount a title line. Quantity, price and amount are euros
// (kilograms or units for the quantity); the amount is the one after the line discount.
// A line of an invoice tells the invoice's sums of every change to its amount, rates or
// packages, so it is not copied.
class LineaFactura {
public:
    explicit LineaFactura(BaseDatos& bd);
    LineaFactura(const LineaFactura&) = delete;
    LineaFactura& operator=(const LineaFactura&) = delete;

    // Clears every field.
    void WhoAmI();
    // Loads the current row of `rs`; the stored amount is kept as it is, not computed again.
    void WhoAmI(const motor::Recordset& rs);

    qint16 Ordinal() const { return m_ordinal; }

    // The text of a title line; empty on other lines.
    std::optional<QString> Titulo() const;
    // Clears the whole line and makes it a title line with `titulo`.
    void FijarTitulo(const std::optional<QString>& titulo);
    // The text of a concept line; empty on other lines.
    std::optional<QString> Concepto() const;
    // Sets the text and drops the article (reference, description, unit).
    void FijarConcepto(const std::optional<QString>& concepto);

    // The setters of numbers refuse a value that is not a finite number (NaN or infinite):
    // false, and the line stays as it was.
    float pIVA() const { return m_pIVA; }
    bool FijarpIVA(float porcentaje);
    float pREQ() const { return m_pREQ; }
    bool FijarpREQ(float porcentaje);

    std::optional<qint32> Referencia() const { return m_referencia; }
    // Makes an article line of `articulo`: name, unit, catalogue price and the VAT and surcharge
    // of its department. An unknown article leaves reference, description, unit, price and
    // quantity empty; false then.
    bool FijarReferencia(qint32 articulo);
    std::optional<QString> Descripcion() const { return m_descripcion; }

    const QString& Comentario() const { return m_comentario; }
    void FijarComentario(const QString& comentario) { m_comentario = comentario; }

    std::optional<qint16> Unidad() const { return m_referencia ? m_unidad : std::nullopt; }

    std::optional<double> Precio() const { return m_precio; }
    bool FijarPrecio(double euros);
    std::optional<double> Cantidad() const { return m_cantidad; }
    bool FijarCantidad(double cantidad);

    std::optional<double> Importe() const { return m_importe; }
    // Makes a concept line with that amount; without an amount, VAT goes to 0 as well.
    bool FijarImporte(const std::optional<double>& importe);

    float Descuento() const { return m_descuento; }
    bool FijarDescuento(float porcentaje);

    qint32 Bultos() const { return m_bultos; }
    void FijarBultos(qint32 bultos);
    // Deposit per package in euros, kept in cents; false (nothing changed) when it does not fit.
    double Envase() const { return m_envase / 100.0; }
    bool FijarEnvase(double euros);
    qint32 EnvaseCentimos() const { return m_envase; }

private:
    friend class Factura;
    class Cambio;
    void Recalcular();
    // What the line brings to its invoice's sums.
    SumasIVA::Aportacion Aportacion() const;

    BaseDatos* m_bd;
    // The sums of the invoice that holds the line; null for a line on its own.
    SumasIVA* m_sumas = nullptr;
    qint16 m_ordinal = 0;
    std::optional<QString> m_concepto;
    float m_pIVA = 0;
    float m_pREQ = 0;
    std::optional<qint32> m_referencia;
    std::optional<QString> m_descripcion;
    QString m_comentario;
    std::optional<qint16> m_unidad;
    std::optional<double> m_cantidad;
    std::optional<double> m_precio;
    std::optional<double> m_importe;
    float m_descuento = 0;
    qint32 m_bultos = 0;
    qint32 m_envase = 0;
};
