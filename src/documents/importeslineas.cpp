#include "importeslineas.h"

void ImportesLineas::Todas(int lineas)
{
    m_importes.clear();
    m_suma = 0;
    m_importes.reserve(static_cast<size_t>(lineas > 0 ? lineas : 0));
    for (int i = 1; i <= lineas; ++i) {
        m_importes.push_back(m_calculo(i));
        m_suma += m_importes.back();
    }
}

void ImportesLineas::Linea(int indice)
{
    if (indice < 1 || indice > static_cast<int>(m_importes.size()))
        return;
    qint64& importe = m_importes[static_cast<size_t>(indice - 1)];
    m_suma -= importe;
    importe = m_calculo(indice);
    m_suma += importe;
}

void ImportesLineas::Anadida()
{
    m_importes.push_back(m_calculo(static_cast<int>(m_importes.size()) + 1));
    m_suma += m_importes.back();
}

void ImportesLineas::Eliminada(int indice)
{
    if (indice < 1 || indice > static_cast<int>(m_importes.size()))
        return;
    m_suma -= m_importes[static_cast<size_t>(indice - 1)];
    m_importes.erase(m_importes.begin() + (indice - 1));
}
