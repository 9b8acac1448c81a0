#include "importeslineas.h"

void ImportesLineas::Todas(int lineas)
{
    m_importes.clear();
    m_importes.reserve(static_cast<size_t>(lineas > 0 ? lineas : 0));
    for (int i = 1; i <= lineas; ++i)
        m_importes.push_back(m_calculo(i));
}

void ImportesLineas::Linea(int indice)
{
    if (indice >= 1 && indice <= static_cast<int>(m_importes.size()))
        m_importes[static_cast<size_t>(indice - 1)] = m_calculo(indice);
}

void ImportesLineas::Anadida()
{
    m_importes.push_back(m_calculo(static_cast<int>(m_importes.size()) + 1));
}

void ImportesLineas::Eliminada(int indice)
{
    if (indice >= 1 && indice <= static_cast<int>(m_importes.size()))
        m_importes.erase(m_importes.begin() + (indice - 1));
}

double ImportesLineas::Suma() const
{
    double suma = 0;
    for (double importe : m_importes)
        suma += importe;
    return suma;
}
