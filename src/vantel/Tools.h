#pragma once

// Small string and counter routines the control is written with.

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <cstdint>

namespace Vantel::Tools {

// 16-bit counters that stop at their limits instead of wrapping.
std::int16_t Decrementar(std::int16_t &contador);
std::int16_t Incrementar(std::int16_t &contador);

// Replaces buscar by poner, starting again from the beginning until buscar no
// longer occurs, so that collapsing runs ("  " -> " ") works. When poner itself
// contains buscar that would never end, so it is then a single pass, and the
// rounds are bounded by the text's length in any case.
QString Reemplazar(QString texto, const QString &buscar, const QString &poner);

// The number as text without padding.
QString NumATexto(qint64 numero);

// Returns the text before the first separador and removes it, separador
// included, from fuente; the whole fuente when separador is absent.
QString SacarToken(QString &fuente, const QString &separador);

// Appends valor to lista, which an empty value turns into a new list.
void AnadirALista(QVariant &lista, const QVariant &valor);

} // namespace Vantel::Tools
