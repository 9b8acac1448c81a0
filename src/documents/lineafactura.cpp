#include "lineafactura.h"

#include "basedatos.h"
#include "dinero.h"
#include "global.h"
#include "motor.h"
#include "utilidades.h"

#include <cmath>
#include <limits>

namespace {

std::optional<double> Opcional(const Valor& v)
{
    return v.esNulo() ? std::nullopt : std::optional<double>(v.aNumero());
}

}  // namespace

// Lives for one change of the line: takes the line's part out of the invoice's sums and puts
// it back as the change left it.
class LineaFactura::Cambio {
public:
    explicit Cambio(LineaFactura& linea) : m_linea(linea)
    {
        if (m_linea.m_sumas)
            m_linea.m_sumas->Quitar(m_linea.Aportacion());
    }
    ~Cambio()
    {
        if (m_linea.m_sumas)
            m_linea.m_sumas->Anadir(m_linea.Aportacion());
    }
    Cambio(const Cambio&) = delete;
    Cambio& operator=(const Cambio&) = delete;

private:
    LineaFactura& m_linea;
};

LineaFactura::LineaFactura(BaseDatos& bd) : m_bd(&bd) {}

SumasIVA::Aportacion LineaFactura::Aportacion() const
{
    return {m_importe ? std::optional<qint64>(Centimos(*m_importe)) : std::nullopt, m_pIVA, m_pREQ,
            static_cast<qint64>(m_envase) * m_bultos};
}

void LineaFactura::WhoAmI()
{
    Cambio cambio(*this);
    m_ordinal = 0;
    m_concepto.reset();
    m_pIVA = 0;
    m_pREQ = 0;
    m_referencia.reset();
    m_descripcion.reset();
    m_comentario.clear();
    m_unidad.reset();
    m_cantidad.reset();
    m_precio.reset();
    m_importe.reset();
    m_descuento = 0;
    m_bultos = 0;
    m_envase = 0;
}

void LineaFactura::WhoAmI(const motor::Recordset& rs)
{
    WhoAmI();
    Cambio cambio(*this);
    m_ordinal = CampoAEntero(rs[QStringLiteral("Linea")]);
    const Valor referencia = rs[QStringLiteral("Referencia")];
    if (referencia.esNulo()) {
        const Valor concepto = rs[QStringLiteral("Concepto")];
        if (!concepto.esNulo())
            m_concepto = concepto.aTexto();
    } else {
        m_referencia = CampoALargo(referencia);
        const Valor descripcion = rs[QStringLiteral("Descripcion")];
        if (!descripcion.esNulo())
            m_descripcion = descripcion.aTexto();
        const Valor unidad = rs[QStringLiteral("Unidad")];
        if (!unidad.esNulo())
            m_unidad = CampoAEntero(unidad);
    }
    m_pIVA = static_cast<float>(CampoANumero(rs[QStringLiteral("pIVA")]));
    m_pREQ = static_cast<float>(CampoANumero(rs[QStringLiteral("pREq")]));
    m_precio = Opcional(rs[QStringLiteral("Precio")]);
    m_cantidad = Opcional(rs[QStringLiteral("Cantidad")]);
    m_descuento = static_cast<float>(CampoANumero(rs[QStringLiteral("Descuento")]));
    m_importe = Opcional(rs[QStringLiteral("Importe")]);
    m_bultos = CampoALargo(rs[QStringLiteral("Bultos")]);
    m_envase = CampoALargo(rs[QStringLiteral("Envase")]);
    m_comentario = CampoATexto(rs[QStringLiteral("Comentario")]);
}

std::optional<QString> LineaFactura::Titulo() const
{
    if (m_referencia || m_importe)
        return std::nullopt;
    return m_concepto;
}

void LineaFactura::FijarTitulo(const std::optional<QString>& titulo)
{
    WhoAmI();
    m_concepto = titulo;
}

bool LineaFactura::FijarpIVA(float porcentaje)
{
    if (!std::isfinite(porcentaje))
        return false;
    Cambio cambio(*this);
    m_pIVA = porcentaje;
    return true;
}

bool LineaFactura::FijarpREQ(float porcentaje)
{
    if (!std::isfinite(porcentaje))
        return false;
    Cambio cambio(*this);
    m_pREQ = porcentaje;
    return true;
}

void LineaFactura::FijarBultos(qint32 bultos)
{
    Cambio cambio(*this);
    m_bultos = bultos;
}

std::optional<QString> LineaFactura::Concepto() const
{
    if (m_referencia || !m_importe)
        return std::nullopt;
    return m_concepto;
}

void LineaFactura::FijarConcepto(const std::optional<QString>& concepto)
{
    m_concepto = concepto;
    m_referencia.reset();
    m_descripcion.reset();
    m_unidad.reset();
}

bool LineaFactura::FijarReferencia(qint32 articulo)
{
    QString nombre;
    qint16 depto = 0;
    qint16 cada = 0;
    qint32 precio = 0;
    m_bd->DatosArticulo(articulo, nombre, depto, cada, precio);
    const bool encontrado = !nombre.isEmpty();
    Cambio cambio(*this);
    if (encontrado) {
        m_concepto.reset();
        m_referencia = articulo;
        m_descripcion = nombre;
        m_unidad = cada;
        if (depto >= 1 && depto <= 10) {
            m_pIVA = Global::IVADepartamento[static_cast<size_t>(depto)];
            m_pREQ = Global::RecargoEquivalencia[static_cast<size_t>(depto)];
        }
        m_precio = precio / 100.0;
    } else {
        m_referencia.reset();
        m_descripcion.reset();
        m_unidad.reset();
        m_precio.reset();
        m_cantidad.reset();
    }
    Recalcular();
    return encontrado;
}

bool LineaFactura::FijarPrecio(double euros)
{
    if (!std::isfinite(euros))
        return false;
    Cambio cambio(*this);
    m_precio = euros;
    Recalcular();
    return true;
}

bool LineaFactura::FijarCantidad(double cantidad)
{
    if (!std::isfinite(cantidad))
        return false;
    Cambio cambio(*this);
    m_cantidad = cantidad;
    Recalcular();
    return true;
}

bool LineaFactura::FijarImporte(const std::optional<double>& importe)
{
    // A NaN is stored as an empty amount, which reads back as a title line.
    if (importe && !std::isfinite(*importe))
        return false;
    Cambio cambio(*this);
    m_importe = importe;
    m_referencia.reset();
    m_descripcion.reset();
    m_unidad.reset();
    if (!importe)
        m_pIVA = 0;
    return true;
}

bool LineaFactura::FijarDescuento(float porcentaje)
{
    if (!std::isfinite(porcentaje))
        return false;
    Cambio cambio(*this);
    m_descuento = porcentaje;
    Recalcular();
    return true;
}

bool LineaFactura::FijarEnvase(double euros)
{
    const std::optional<qint64> centimos = EurosACentimos(euros);
    if (!centimos || *centimos < std::numeric_limits<qint32>::min() || *centimos > std::numeric_limits<qint32>::max())
        return false;
    Cambio cambio(*this);
    m_envase = static_cast<qint32>(*centimos);
    return true;
}

void LineaFactura::Recalcular()
{
    if (!m_precio || !m_cantidad) {
        m_importe.reset();
        return;
    }
    // Price per 100 g with the quantity in kilograms.
    const int factor = m_unidad && *m_unidad == 1 ? 10 : 1;
    const std::optional<qint64> bruto = ProductoCentimos(*m_cantidad, *m_precio, factor);
    if (!bruto) {
        m_importe.reset();
        return;
    }
    m_importe = AEuros(*bruto - PorcentajeDe(*bruto, m_descuento));
}
