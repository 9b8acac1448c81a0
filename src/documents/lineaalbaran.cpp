#include "lineaalbaran.h"

#include "basedatos.h"
#include "dinero.h"
#include "motor.h"
#include "utilidades.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {

// Euros to whole cents the way the prices are kept: rounded to the cent first. No value when
// the cents would not fit in 32 bits.
std::optional<qint32> ACentimos(double euros)
{
    const std::optional<qint64> centimos = EurosACentimos(euros);
    if (!centimos || *centimos < std::numeric_limits<qint32>::min() || *centimos > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(*centimos);
}

}  // namespace

LineaAlbaran::LineaAlbaran(BaseDatos& bd) : m_bd(&bd) {}

void LineaAlbaran::WhoAmI()
{
    Bultos = 0;
    m_precio = 0;
    m_cantidad = 0;
    m_codigo = 0;
    m_departamento = 0;
    m_cada = 0;
    m_ordinal = 0;
    m_canStock = 0;
    m_envase = 0;
    m_descuento = 0;
    m_comentario.clear();
}

void LineaAlbaran::WhoAmI(const motor::Recordset& rs)
{
    const qint32 articulo = CampoALargo(rs[QStringLiteral("Articulo")]);
    if (!SetCodigo(articulo)) {
        // The article left the catalogue: the line stays as it was stored.
        WhoAmI();
        m_codigo = articulo;
        m_departamento = CampoAEntero(rs[QStringLiteral("Departamento")]);
        m_cada = CampoAEntero(rs[QStringLiteral("Cada")]);
    }
    m_precio = CampoALargo(rs[QStringLiteral("Precio")]);
    m_descuento = static_cast<float>(CampoANumero(rs[QStringLiteral("Descuento")]));
    m_cantidad = CampoALargo(rs[QStringLiteral("Cantidad")]);
    m_ordinal = CampoAEntero(rs[QStringLiteral("Linea")]);
    m_canStock = CampoALargo(rs[QStringLiteral("CanStock")]);
    Bultos = CampoALargo(rs[QStringLiteral("Bultos")]);
    m_envase = CampoALargo(rs[QStringLiteral("Envase")]);
    m_comentario = CampoATexto(rs[QStringLiteral("Comentario")]);
}

bool LineaAlbaran::SetCodigo(qint32 codigo)
{
    if (codigo == 0) {
        WhoAmI();
        return false;
    }
    QString nombre;
    qint16 depto = m_departamento;
    qint16 cada = 0;
    qint32 precio = 0;
    m_bd->DatosArticulo(codigo, nombre, depto, cada, precio);
    if (nombre.isEmpty())
        return false;
    if (codigo != m_codigo) {
        m_codigo = codigo;
        m_cantidad = 0;
    }
    m_departamento = depto;
    m_cada = cada;
    m_precio = precio;
    return true;
}

QString LineaAlbaran::Descripcion() const
{
    QString nombre;
    qint16 depto = 0;
    qint16 cada = 0;
    qint32 precio = 0;
    m_bd->DatosArticulo(m_codigo, nombre, depto, cada, precio);
    return nombre;
}

bool LineaAlbaran::FijarPrecio(double euros)
{
    const std::optional<qint32> c = ACentimos(euros);
    if (!c)
        return false;
    m_precio = *c;
    return true;
}

bool LineaAlbaran::FijarDescuento(float porcentaje)
{
    if (!(porcentaje >= 0 && porcentaje <= 100))
        return false;
    m_descuento = porcentaje;
    return true;
}

bool LineaAlbaran::FijarEnvase(double euros)
{
    const std::optional<qint32> c = ACentimos(euros);
    if (!c)
        return false;
    m_envase = *c;
    return true;
}

double LineaAlbaran::Cantidad() const
{
    return m_cada == 2 ? m_cantidad : m_cantidad / 1000.0;
}

bool LineaAlbaran::FijarCantidad(double cantidad)
{
    const double q = std::nearbyint(cantidad * (m_cada == 2 ? 1 : 1000));
    if (!std::isfinite(q) || q < -2147483648.0 || q > 2147483647.0)
        return false;
    m_cantidad = static_cast<qint32>(q);
    return true;
}

double LineaAlbaran::ImporteEnvase() const
{
    return ImporteLinea(m_envase, Bultos, 2);
}

double LineaAlbaran::Importe() const
{
    return ImporteLinea(m_precio, m_cantidad, m_cada);
}

double LineaAlbaran::ImporteDescuento() const
{
    return AEuros(PorcentajeDe(ImporteLineaCentimos(m_precio, m_cantidad, m_cada), m_descuento));
}

double LineaAlbaran::ImporteDescontado() const
{
    return AEuros(CentimosDescontados());
}

qint64 LineaAlbaran::CentimosDescontados() const
{
    const qint64 importe = ImporteLineaCentimos(m_precio, m_cantidad, m_cada);
    return importe - PorcentajeDe(importe, m_descuento);
}
