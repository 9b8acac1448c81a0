#pragma once

#include "valor.h"

#include <QString>

#include <utility>
#include <vector>

// Values keyed by column name, in the order they were added; keys compare without case.
class Coleccion {
public:
    bool contiene(const QString& clave) const { return buscar(clave) != nullptr; }
    // The value under `clave`, or null when there is none.
    Valor valor(const QString& clave) const
    {
        const Valor* v = buscar(clave);
        return v ? *v : Valor();
    }
    // Replaces the value under `clave`, or adds it at the end.
    void fijar(const QString& clave, const Valor& v)
    {
        if (Valor* actual = const_cast<Valor*>(buscar(clave)))
            *actual = v;
        else
            m_elementos.emplace_back(clave, v);
    }
    void quitar(const QString& clave)
    {
        for (auto it = m_elementos.begin(); it != m_elementos.end(); ++it)
            if (it->first.compare(clave, Qt::CaseInsensitive) == 0) {
                m_elementos.erase(it);
                return;
            }
    }
    void limpiar() { m_elementos.clear(); }
    size_t tamano() const { return m_elementos.size(); }
    bool vacia() const { return m_elementos.empty(); }
    const std::vector<std::pair<QString, Valor>>& elementos() const { return m_elementos; }

private:
    const Valor* buscar(const QString& clave) const
    {
        for (const auto& [k, v] : m_elementos)
            if (k.compare(clave, Qt::CaseInsensitive) == 0)
                return &v;
        return nullptr;
    }
    std::vector<std::pair<QString, Valor>> m_elementos;
};
