#pragma once

#include "utilidades.h"

#include <QtGlobal>

#include <compare>
#include <map>
#include <optional>
#include <set>
#include <vector>

// What a document's lines add up to: the amount of each VAT and surcharge rate and the package
// deposits. An invoice keeps one up to date as its lines change, so that its totals after a
// change of one line cost the number of rates, not of lines. The amounts of a rate are added
// exactly and rounded once, so a kept sum does not depend on the order of the changes that led
// to it: it is, to the last bit, the sum worked out again from the lines as they are.
class SumasIVA {
public:
    // What one line brings to the sums.
    struct Aportacion {
        std::optional<double> importe;  // none: the line is left out of the rates
        float pIVA = 0;
        float pREQ = 0;
        qint64 envases = 0;  // cents: packages x deposit
    };

    void Anadir(const Aportacion& a);
    void Quitar(const Aportacion& a);
    void Vaciar();

    // [VAT %, surcharge %, amount] of every rate with an amount, by VAT and then surcharge
    // ascending. Lines that share a VAT but not a surcharge are rates apart, as the invoice list
    // groups them; without `usaREq` the surcharge of every row is 0.
    std::vector<FilaBase> Filas(bool usaREq) const;
    // Package deposits in euros: all (signo 0), returned (< 0) or delivered (> 0).
    double Envases(int signo) const;

private:
    // Most amounts are added in fixed point (a 128-bit integer of 2^-64 units), where sums are
    // exact; the few that do not fit are kept apart and added in one fixed order.
    __extension__ typedef __int128 Entero;
    // False when `importe` is not a whole number of those units or is too large.
    static bool EnUnidades(double importe, Entero& unidades);
    struct Tasa {
        float iva;
        float recargo;
        bool operator<(const Tasa& otra) const;
    };
    struct OrdenTotal {
        bool operator()(double a, double b) const { return std::strong_order(a, b) < 0; }
    };
    struct Suma {
        int lineas = 0;
        Entero exacta = 0;
        std::multiset<double, OrdenTotal> aparte;
        double Valor() const;
    };

    std::map<Tasa, Suma> m_tasas;
    qint64 m_entregados = 0;
    qint64 m_devueltos = 0;
};
