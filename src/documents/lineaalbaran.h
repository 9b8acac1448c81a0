#pragma once

#include <QString>

class BaseDatos;
namespace motor {
class Recordset;
}

// One line of a delivery note: an article of the working section's catalogue with its price
// in cents, its quantity in the sale unit's encoding, a line discount, returnable packages and
// a comment. The stock quantity says how much of the quantity is already out of KV740 stock.
class LineaAlbaran {
public:
    explicit LineaAlbaran(BaseDatos& bd);

    // Returnable packages: positive when delivered, negative when returned.
    qint32 Bultos = 0;

    // Clears the line (every field 0 or empty).
    void WhoAmI();
    // Loads a stored line from the current row of `rs`. A line whose article left the catalogue
    // keeps what was stored, so storing the note again changes neither the line nor the stock.
    void WhoAmI(const motor::Recordset& rs);

    qint16 Ordinal() const { return m_ordinal; }

    // Takes the article's department, sale unit and price from the catalogue (a new code also
    // sets the quantity to 0). Code 0 clears the line; an unknown code leaves it as it was; false
    // in both cases.
    bool SetCodigo(qint32 codigo);
    qint32 Codigo() const { return m_codigo; }
    // The article's name, asked of the catalogue on every call; empty when not found.
    QString Descripcion() const;

    const QString& Comentario() const { return m_comentario; }
    void FijarComentario(const QString& comentario) { m_comentario = comentario; }

    qint16 Departamento() const { return m_departamento; }
    qint16 Cada() const { return m_cada; }

    // Euros per sale unit; the line keeps whole cents. False (and nothing changed) when the
    // cents do not fit in 32 bits.
    double Precio() const { return m_precio / 100.0; }
    bool FijarPrecio(double euros);
    qint32 PrecioCentimos() const { return m_precio; }

    // Percent; only 0 to 100 (both included) is taken, false otherwise.
    float Descuento() const { return m_descuento; }
    bool FijarDescuento(float porcentaje);

    // Deposit per package in euros, kept in cents; false when it does not fit.
    double Envase() const { return m_envase / 100.0; }
    bool FijarEnvase(double euros);
    qint32 EnvaseCentimos() const { return m_envase; }

    // Kilograms (sale units 0 and 1) or units (sale unit 2). The setter rounds halves to even
    // and refuses (false) a quantity that does not fit in 32 bits.
    double Cantidad() const;
    bool FijarCantidad(double cantidad);
    // The stored quantity: grams, or units for sale unit 2.
    qint32 CantidadGramos() const { return m_cantidad; }
    void FijarCantidadGramos(qint32 cantidad) { m_cantidad = cantidad; }

    // How much of the quantity is already discounted from stock.
    qint32 CanStock() const { return m_canStock; }
    // Nothing discounted: the next store gives the stock back.
    void DeshacerCanStock() { m_canStock = 0; }
    // All discounted: the next store takes the whole quantity out of stock.
    void IgualarCanStock() { m_canStock = m_cantidad; }

    double ImporteEnvase() const;
    double Importe() const;
    double ImporteDescuento() const;
    double ImporteDescontado() const;
    // The line's amount after its discount, in cents: what the note adds up.
    qint64 CentimosDescontados() const;

private:
    friend class Albaran;

    BaseDatos* m_bd;
    qint32 m_precio = 0;
    qint32 m_cantidad = 0;
    qint32 m_codigo = 0;
    qint16 m_departamento = 0;
    qint16 m_cada = 0;
    qint16 m_ordinal = 0;
    qint32 m_canStock = 0;
    qint32 m_envase = 0;
    float m_descuento = 0;
    QString m_comentario;
};
