#pragma once

#include "utilidades.h"

#include <QtGlobal>

#include <map>
#include <optional>
#include <vector>

// What a document's lines add up to, in cents: the amount of each VAT and surcharge rate and the
// package deposits. An invoice keeps one up to date as its lines change, so that its totals after
// a change of one line cost the number of rates, not of lines.
class SumasIVA {
public:
    // What one line brings to the sums.
    struct Aportacion {
        std::optional<qint64> centimos;  // none: the line is left out of the rates
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
    // Package deposits in cents: all (signo 0), returned (< 0) or delivered (> 0).
    qint64 Envases(int signo) const;

private:
    struct Tasa {
        float iva;
        float recargo;
        bool operator<(const Tasa& otra) const;
    };
    struct Suma {
        int lineas = 0;
        qint64 centimos = 0;
    };

    std::map<Tasa, Suma> m_tasas;
    qint64 m_entregados = 0;
    qint64 m_devueltos = 0;
};
