#include "sumasiva.h"

#include "dinero.h"

#include <compare>

namespace {

// -0 and 0 are one rate.
float Tipo(float porcentaje)
{
    return porcentaje == 0 ? 0.0f : porcentaje;
}

}  // namespace

bool SumasIVA::Tasa::operator<(const Tasa& otra) const
{
    if (const auto c = std::strong_order(iva, otra.iva); c != 0)
        return c < 0;
    return std::strong_order(recargo, otra.recargo) < 0;
}

void SumasIVA::Anadir(const Aportacion& a)
{
    (a.envases < 0 ? m_devueltos : m_entregados) += a.envases;
    if (!a.centimos)
        return;
    Suma& suma = m_tasas[Tasa{Tipo(a.pIVA), Tipo(a.pREQ)}];
    ++suma.lineas;
    suma.centimos += *a.centimos;
}

void SumasIVA::Quitar(const Aportacion& a)
{
    (a.envases < 0 ? m_devueltos : m_entregados) -= a.envases;
    if (!a.centimos)
        return;
    const auto tasa = m_tasas.find(Tasa{Tipo(a.pIVA), Tipo(a.pREQ)});
    if (tasa == m_tasas.end())
        return;
    tasa->second.centimos -= *a.centimos;
    if (--tasa->second.lineas <= 0)
        m_tasas.erase(tasa);
}

void SumasIVA::Vaciar()
{
    m_tasas.clear();
    m_entregados = 0;
    m_devueltos = 0;
}

std::vector<FilaBase> SumasIVA::Filas(bool usaREq) const
{
    std::vector<FilaBase> filas;
    filas.reserve(m_tasas.size());
    for (const auto& [tasa, suma] : m_tasas) {
        FilaBase f;
        f.clave = static_cast<double>(tasa.iva);
        f.recargo = usaREq ? static_cast<double>(tasa.recargo) : 0.0;
        f.importe = AEuros(suma.centimos);
        filas.push_back(f);
    }
    return filas;
}

qint64 SumasIVA::Envases(int signo) const
{
    return signo < 0 ? m_devueltos : signo > 0 ? m_entregados : m_entregados + m_devueltos;
}
