#pragma once

#include <QtGlobal>

#include <functional>
#include <vector>

// The amounts of a document's lines kept between edits, in cents: after a change to one line
// only that line's amount is worked out again, and the sum is kept as the lines change. An
// editor keeps one beside its document.
class ImportesLineas {
public:
    // The amount of line `indice` (1 to n) in cents, as the document computes it.
    using Calculo = std::function<qint64(int indice)>;
    explicit ImportesLineas(Calculo calculo) : m_calculo(std::move(calculo)) {}

    // Every line again, for a document of `lineas` lines.
    void Todas(int lineas);
    // Line `indice` changed.
    void Linea(int indice);
    // A line was appended at the end, or line `indice` removed.
    void Anadida();
    void Eliminada(int indice);
    // The lines' cents added.
    qint64 Suma() const { return m_suma; }

private:
    Calculo m_calculo;
    std::vector<qint64> m_importes;
    qint64 m_suma = 0;
};
