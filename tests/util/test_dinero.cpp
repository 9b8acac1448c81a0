#include "dinero.h"
#include "utilidades.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// Half a cent goes up on the value as written, where the double's last bits would take it down.
TEST(Dinero, HalfCentsGoUpOnTheExactValue)
{
    EXPECT_EQ(ImporteLineaCentimos(1495, 1500, 0), 2243);  // 1,500 kg x 14,95 €/kg = 22,425
    EXPECT_EQ(ImporteLineaCentimos(1495, -1500, 0), -2242);  // returned: halves go up there too
    EXPECT_EQ(ImporteLineaCentimos(289, 150, 1), 434);       // 150 g x 2,89 € per 100 g = 4,335
    EXPECT_EQ(ImporteLineaCentimos(199, 3, 2), 597);
    EXPECT_EQ(ImporteLineaCentimos(100, 5, 7), 0);  // unknown unit
    EXPECT_EQ(ImporteLineaCentimos(2147483647, 2147483647, 2), 4611686014132420609);  // no 32-bit product
    EXPECT_DOUBLE_EQ(ImporteLinea(1495, -500, 0), -7.47);  // the same in euros
    EXPECT_DOUBLE_EQ(ImporteLinea(2147483647, 2, 2), 42949672.94);

    EXPECT_EQ(SinIVACentimos(3081, 4), 2963);    // 30,81 with 4 % VAT in it: 29,625 net
    EXPECT_EQ(SinIVACentimos(12100, 21), 10000);
    EXPECT_EQ(SinIVACentimos(500, -100), 500);   // no division by nothing

    EXPECT_EQ(TrasDescuentos(61405, 10, 0), 55265);  // 614,05 less 10 % = 552,645
    EXPECT_EQ(PorcentajeDe(55265, 21), 11606);       // 116,0565
    EXPECT_EQ(PorcentajeDe(2155, 10), 216);          // 2,155
    EXPECT_EQ(PorcentajeDe(-2155, 10), -215);
    EXPECT_EQ(TrasDescuentos(10000, 10, 2), 8800);
    // A rate is the single-precision number stored: 5,2 % is 5.19999980926..., so 50 cents of
    // it are 2.5999999 cents, 3, and 10.000 € of it 519,99998 €: 51.999,998 cents, 52.000.
    EXPECT_EQ(PorcentajeDe(50, 5.2f), 3);
    EXPECT_EQ(PorcentajeDe(1000000, 5.2f), 52000);
    EXPECT_EQ(PorcentajeDe(2500, 0.1f), 3);  // 2.50000003725 cents: above the half, up

    EXPECT_EQ(EurosACentimos(22.425), 2243);
    EXPECT_EQ(EurosACentimos(-22.425), -2242);
    EXPECT_EQ(EurosACentimos(0.015), 2);
    EXPECT_EQ(EurosACentimos(1e12), 100000000000000);
    EXPECT_FALSE(EurosACentimos(std::nan("")));
    EXPECT_FALSE(EurosACentimos(INFINITY));
    EXPECT_EQ(ProductoCentimos(1.5, 14.95, 1), 2243);
    EXPECT_EQ(ProductoCentimos(0.15, 2.89, 10), 434);  // per 100 g, quantity in kilograms
    EXPECT_FALSE(ProductoCentimos(std::nan(""), 1, 1));
    EXPECT_FALSE(ProductoCentimos(1e300, 1e300, 1));

    EXPECT_DOUBLE_EQ(Redondear2(2.125), 2.13);
    EXPECT_DOUBLE_EQ(Redondear2(-2.125), -2.12);
    EXPECT_DOUBLE_EQ(Redondear2(22.425), 22.43);
    EXPECT_DOUBLE_EQ(Redondear2(3.754999), 3.75);
    EXPECT_TRUE(std::isnan(Redondear2(std::nan(""))));
}

// Against a reference worked out with fractions on wide integers, over many amounts and rates.
TEST(Dinero, PercentagesAgreeWithExactFractions)
{
    __extension__ typedef __int128 Entero;
    const auto redondear = [](Entero num, Entero den) {  // floor(num / den + 1/2), den > 0
        Entero a = 2 * num + den, b = 2 * den, q = a / b;
        return (a % b != 0 && a < 0) ? q - 1 : q;
    };
    for (int decimas = 0; decimas <= 1000; decimas += 7) {
        const float tasa = static_cast<float>(decimas) / 10;
        int exponente = 0;
        const double mantisa = std::frexp(static_cast<double>(tasa), &exponente);
        const Entero num = static_cast<Entero>(std::ldexp(mantisa, 53));
        const Entero den = Entero(1) << (53 - exponente);  // tasa = num / den exactly
        for (qint64 c : {0LL, 1LL, 5LL, 50LL, 2155LL, 61405LL, -61405LL, 99999999LL, 123456789012LL}) {
            ASSERT_EQ(PorcentajeDe(c, tasa), static_cast<qint64>(redondear(c * num, den * 100))) << c << " " << tasa;
            ASSERT_EQ(TrasDescuentos(c, tasa, 0), static_cast<qint64>(redondear(c * (100 * den - num), den * 100)));
            ASSERT_EQ(SinIVACentimos(c, tasa), static_cast<qint64>(redondear(c * 100 * den, 100 * den + num)));
        }
    }
}

}  // namespace
