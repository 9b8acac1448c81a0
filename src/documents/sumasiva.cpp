#include "sumasiva.h"

#include <cmath>

namespace {

constexpr int kBitsFraccion = 64;

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

bool SumasIVA::EnUnidades(double importe, Entero& unidades)
{
    // A whole number of units below 2^104: every amount from 0.001 to 10^12 euros, whatever
    // its binary digits, and room left for millions of lines.
    const double fijo = std::ldexp(importe, kBitsFraccion);
    if (!(std::fabs(fijo) < 0x1p104) || fijo != std::trunc(fijo))
        return false;
    unidades = static_cast<Entero>(fijo);
    return true;
}

double SumasIVA::Suma::Valor() const
{
    // One rounding for everything that fits, then the rest in its fixed order.
    double valor = std::ldexp(static_cast<double>(exacta), -kBitsFraccion);
    for (double importe : aparte)
        valor += importe;
    return valor;
}

void SumasIVA::Anadir(const Aportacion& a)
{
    (a.envases < 0 ? m_devueltos : m_entregados) += a.envases;
    if (!a.importe)
        return;
    Suma& suma = m_tasas[Tasa{Tipo(a.pIVA), Tipo(a.pREQ)}];
    ++suma.lineas;
    if (Entero unidades; EnUnidades(*a.importe, unidades))
        suma.exacta += unidades;
    else
        suma.aparte.insert(*a.importe);
}

void SumasIVA::Quitar(const Aportacion& a)
{
    (a.envases < 0 ? m_devueltos : m_entregados) -= a.envases;
    if (!a.importe)
        return;
    const auto tasa = m_tasas.find(Tasa{Tipo(a.pIVA), Tipo(a.pREQ)});
    if (tasa == m_tasas.end())
        return;
    Suma& suma = tasa->second;
    if (Entero unidades; EnUnidades(*a.importe, unidades)) {
        suma.exacta -= unidades;
    } else {
        const auto aparte = suma.aparte.find(*a.importe);
        if (aparte != suma.aparte.end())
            suma.aparte.erase(aparte);
    }
    if (--suma.lineas <= 0)
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
        f.importe = suma.Valor();
        filas.push_back(f);
    }
    return filas;
}

double SumasIVA::Envases(int signo) const
{
    const qint64 centimos = signo < 0 ? m_devueltos : signo > 0 ? m_entregados : m_entregados + m_devueltos;
    return centimos / 100.0;
}
