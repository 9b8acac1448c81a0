#include "dinero.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

__extension__ typedef __int128 Entero;

// Millionths of a euro: the finest fraction an amount or a price is written with.
constexpr qint64 kMillonesPorEuro = 1'000'000;

// floor(a / b) for b > 0.
Entero DividirHaciaAbajo(Entero a, Entero b)
{
    Entero q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q;
}

// numerador / divisor rounded half up: floor((2 numerador + divisor) / (2 divisor)), divisor > 0.
Entero RedondearCociente(Entero numerador, Entero divisor)
{
    return DividirHaciaAbajo(2 * numerador + divisor, 2 * divisor);
}

// A single-precision value as the exact fraction numerador / 2^exponente.
struct Fraccion {
    Entero numerador = 0;
    int exponente = 0;
};

Fraccion Exacta(float valor)
{
    if (valor == 0 || !std::isfinite(valor))
        return {};
    // Beyond a billion percent nothing is a rate any more; keeping it bounded keeps the sums of
    // fractions below within 128 bits.
    valor = std::clamp(valor, -0x1p30f, 0x1p30f);
    int e = 0;
    const double mantisa = std::frexp(static_cast<double>(valor), &e);  // valor = mantisa x 2^e
    const auto n = static_cast<qint64>(std::ldexp(mantisa, 24));        // the 24 bits of a float, whole
    const int exponente = 24 - e;
    if (exponente > 64)
        return {};  // below 2^-40 %: nothing an amount in cents could show
    if (exponente < 0)
        return {Entero(n) << -exponente, 0};
    return {n, exponente};
}

// Multiplication that says when the exact product does not fit.
bool Multiplicar(Entero a, Entero b, Entero& producto)
{
    return !__builtin_mul_overflow(a, b, &producto);
}

std::optional<qint64> AEntero64(Entero valor)
{
    if (valor > std::numeric_limits<qint64>::max() || valor < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return static_cast<qint64>(valor);
}

qint64 Saturado(Entero valor)
{
    if (valor > std::numeric_limits<qint64>::max())
        return std::numeric_limits<qint64>::max();
    if (valor < std::numeric_limits<qint64>::min())
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(valor);
}

// An amount of euros as whole millionths, when it is within the range where the double keeps
// every millionth.
std::optional<qint64> Millonesimas(double euros)
{
    const double m = euros * kMillonesPorEuro;
    if (!std::isfinite(m) || std::fabs(m) >= 0x1p53)
        return std::nullopt;
    return std::llround(m);
}

// centimos x (fraccion / 100), rounded half up; on the far side of 2^127 the long double's answer.
qint64 Aplicar(qint64 centimos, const Fraccion& f)
{
    const Entero divisor = Entero(100) << f.exponente;
    if (Entero producto; Multiplicar(centimos, f.numerador, producto) && producto < (Entero(1) << 120))
        return Saturado(RedondearCociente(producto, divisor));
    const long double v = static_cast<long double>(centimos) * static_cast<long double>(f.numerador)
        / std::ldexp(100.0L, f.exponente);
    return Saturado(static_cast<Entero>(std::floor(v + 0.5L)));
}

}  // namespace

std::optional<qint64> EurosACentimos(double euros)
{
    if (const std::optional<qint64> m = Millonesimas(euros))
        return static_cast<qint64>(RedondearCociente(*m, kMillonesPorEuro / 100));
    const double c = std::floor(euros * 100 + 0.5);
    if (!std::isfinite(c) || std::fabs(c) >= 0x1p62)
        return std::nullopt;
    return static_cast<qint64>(c);
}

qint64 Centimos(double euros)
{
    return EurosACentimos(euros).value_or(0);
}

qint64 PorcentajeDe(qint64 centimos, float porcentaje)
{
    return Aplicar(centimos, Exacta(porcentaje));
}

qint64 TrasDescuentos(qint64 centimos, float a, float b)
{
    // 100 - a - b over a common power of two: exact, as no single-precision difference is.
    const Fraccion fa = Exacta(a);
    const Fraccion fb = Exacta(b);
    const int exponente = std::max(fa.exponente, fb.exponente);
    Fraccion resto{(Entero(100) << exponente) - (fa.numerador << (exponente - fa.exponente))
                       - (fb.numerador << (exponente - fb.exponente)),
                   exponente};
    return Aplicar(centimos, resto);
}

qint64 SinIVACentimos(qint64 centimos, float iva)
{
    const Fraccion f = Exacta(iva);
    const Entero cien = Entero(100) << f.exponente;
    const Entero divisor = cien + f.numerador;  // (100 + iva) x 2^exponente
    if (divisor <= 0)
        return centimos;
    if (Entero numerador; Multiplicar(centimos, cien, numerador) && numerador < (Entero(1) << 120))
        return Saturado(RedondearCociente(numerador, divisor));
    const long double v = static_cast<long double>(centimos) * 100.0L / (100.0L + static_cast<long double>(iva));
    return Saturado(static_cast<Entero>(std::floor(v + 0.5L)));
}

qint64 ImporteLineaCentimos(qint64 precio, qint64 cantidad, qint16 cada)
{
    Entero divisor;
    switch (cada) {
    case 0: divisor = 1000; break;  // grams, price per kilogram
    case 1: divisor = 100; break;   // grams, price per 100 g
    case 2: divisor = 1; break;     // units
    default: return 0;
    }
    return Saturado(RedondearCociente(Entero(precio) * cantidad, divisor));
}

std::optional<qint64> ProductoCentimos(double cantidad, double precio, int factor)
{
    const std::optional<qint64> q = Millonesimas(cantidad);
    const std::optional<qint64> p = Millonesimas(precio);
    Entero producto;
    if (!q || !p || !Multiplicar(Entero(*q) * factor, *p, producto) || producto > (Entero(1) << 120)
        || producto < -(Entero(1) << 120))
        return std::nullopt;
    // Millionths times millionths are 10^-12 euros, 10^-10 cents.
    return AEntero64(RedondearCociente(producto, Entero(10'000'000'000LL)));
}
