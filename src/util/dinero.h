#pragma once

#include <QtGlobal>

#include <optional>

// Exact money. Amounts are whole cents; a percentage is the single-precision value stored for it,
// taken as exactly the number it holds (5,2 % is 5.19999980926513671875); every rounding to the
// cent is half up (towards +infinity at exactly half a cent, for negative amounts too) on the
// exact value. Documents, lists and listings all round through these functions, so the printed
// document, the editor and the lists agree to the cent.

// Cents of an amount written in euros: the decimal the double stands for (read to the millionth
// of a euro, so 22,425 is 22,425 and not the 22,42499... the double holds), rounded half up.
// No value when the amount is not finite or beyond what cents can be counted in exactly.
std::optional<qint64> EurosACentimos(double euros);

// The same, for amounts known to be in range: 0 when there is no value.
qint64 Centimos(double euros);

// `porcentaje` percent of `centimos`, rounded half up.
qint64 PorcentajeDe(qint64 centimos, float porcentaje);

// What is left of `centimos` after discounts of `a` and `b` percent taken together,
// centimos x (100 - a - b) / 100, rounded once.
qint64 TrasDescuentos(qint64 centimos, float a, float b);

// The part of `centimos` that is not VAT when it includes `iva` percent of it:
// centimos x 100 / (100 + iva), rounded half up. A rate of -100 % or below gives `centimos`.
qint64 SinIVACentimos(qint64 centimos, float iva);

// Amount of a note line: price in cents per kilogram (cada 0, quantity in grams), per 100 g
// (cada 1, grams) or per unit (cada 2, units), rounded half up. Any other unit gives 0.
qint64 ImporteLineaCentimos(qint64 precio, qint64 cantidad, qint16 cada);

// factor x cantidad x precio for a quantity and a price in euros as written (to the millionth),
// rounded half up. No value when either is not finite or the product cannot be counted.
std::optional<qint64> ProductoCentimos(double cantidad, double precio, int factor);

// Euros of a count of cents: the double nearest to the exact amount.
inline double AEuros(qint64 centimos) { return static_cast<double>(centimos) / 100.0; }
