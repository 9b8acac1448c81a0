#pragma once

#include <functional>
#include <vector>

// The amounts of a document's lines kept between edits: after a change to one line only that
// line's amount is worked out again, and the sum adds the kept amounts in line order, so that
// it is the document's own sum to the last bit. An editor keeps one beside its document.
class ImportesLineas {
public:
    // The amount of line `indice` (1 to n) as the document computes it.
    using Calculo = std::function<double(int indice)>;
    explicit ImportesLineas(Calculo calculo) : m_calculo(std::move(calculo)) {}

    // Every line again, for a document of `lineas` lines.
    void Todas(int lineas);
    // Line `indice` changed.
    void Linea(int indice);
    // A line was appended at the end, or line `indice` removed.
    void Anadida();
    void Eliminada(int indice);
    // The amounts added in line order.
    double Suma() const;

private:
    Calculo m_calculo;
    std::vector<double> m_importes;
};
