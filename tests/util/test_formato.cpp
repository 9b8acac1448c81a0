#include "formato.h"

#include <gtest/gtest.h>

namespace {

struct CasoFormato {
    const char* formato;
    double valor;
    const char* esperado;
};

class FormatoNumerico : public ::testing::TestWithParam<CasoFormato> {
protected:
    void SetUp() override { FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain)); }
};

TEST_P(FormatoNumerico, WritesOldFormatsWithSpanishMarks)
{
    const CasoFormato& c = GetParam();
    EXPECT_EQ(Formato(c.valor, QString::fromUtf8(c.formato)), QString::fromUtf8(c.esperado))
        << c.formato << " " << c.valor;
}

INSTANTIATE_TEST_SUITE_P(
    Secciones, FormatoNumerico,
    ::testing::Values(CasoFormato{"##,##0.00;-##,##0.00;#", 1234.5, "1.234,50"},
                      CasoFormato{"##,##0.00;-##,##0.00;#", -1234.5, "-1.234,50"},
                      CasoFormato{"##,##0.00;-##,##0.00;#", 0, ""},
                      CasoFormato{"##,##0.00;-##,##0.00;#", 0.004, "0,00"},
                      CasoFormato{"##,##0.00;-##,##0.00;#", 1234567.891, "1.234.567,89"},
                      CasoFormato{"0.0;-0.0;#", 2.5, "2,5"}, CasoFormato{"0.0;-0.0;#", 0, ""},
                      CasoFormato{"0.0;-0.0;#", -5.25, "-5,3"}, CasoFormato{"#0.0;-#0.0;#", 0.5, "0,5"},
                      CasoFormato{"#0.0;-#0.0;#", 21, "21,0"}, CasoFormato{"#0.0", 0, "0,0"},
                      CasoFormato{"###,##0;-###,##0;#", 1234567, "1.234.567"},
                      CasoFormato{"###,##0;-###,##0;#", 999, "999"},
                      CasoFormato{"##,##0.000;-##,##0.000;#", 1.5, "1,500"},
                      CasoFormato{"##,##0.000;-##,##0.000;#", -0.25, "-0,250"},
                      CasoFormato{"000000", 42, "000042"}, CasoFormato{"000000", 1234567, "1234567"},
                      CasoFormato{"0000000;;#", 42, "0000042"}, CasoFormato{"0000000;;#", 0, ""},
                      CasoFormato{"0000000;;#", -5, "-0000005"}, CasoFormato{"#", 0, ""}));

TEST(Formato, NullIsEmptyYesNoIsSpanishAndNoFormatKeepsTheDecimalMark)
{
    FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
    EXPECT_EQ(Formato(Valor(), QStringLiteral("##,##0.00;-##,##0.00;#")), QString());
    EXPECT_EQ(Formato(Valor(1.5), QString()), QStringLiteral("1,5"));
    EXPECT_EQ(Formato(Valor(qint64(15)), QString()), QStringLiteral("15"));
    EXPECT_EQ(Formato(Valor(true), QStringLiteral("Yes/No")), QStringLiteral("Sí"));
    EXPECT_EQ(Formato(Valor(false), QStringLiteral("Yes/No")), QStringLiteral("No"));
    EXPECT_EQ(Formato(Valor(qint64(1)), QStringLiteral("Yes/No")), QStringLiteral("Sí"));
}

TEST(Formato, DatesWithOldPatterns)
{
    const QDateTime fh(QDate(2024, 3, 5), QTime(9, 7, 30));
    EXPECT_EQ(Formato(Valor(fh.date()), QStringLiteral("dd/mm/yyyy")), QStringLiteral("05/03/2024"));
    EXPECT_EQ(Formato(Valor(fh), QStringLiteral("dd/mm/yy  hh:nn")), QStringLiteral("05/03/24  09:07"));
    // Dates read from the database come as ISO text.
    EXPECT_EQ(Formato(Valor(QStringLiteral("2024-12-31")), QStringLiteral("dd/mm/yyyy")), QStringLiteral("31/12/2024"));
}

TEST(LeerNumero, UsesTheUsersDecimalSeparator)
{
    FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
    EXPECT_DOUBLE_EQ(*LeerNumero(QStringLiteral("2,5")), 2.5);
    EXPECT_DOUBLE_EQ(*LeerNumero(QStringLiteral("1.234,5")), 1234.5);
    EXPECT_DOUBLE_EQ(*LeerNumero(QStringLiteral(" -3 ")), -3);
    EXPECT_FALSE(LeerNumero(QStringLiteral("abc")).has_value());
    EXPECT_FALSE(LeerNumero(QStringLiteral("")).has_value());
    EXPECT_FALSE(LeerNumero(QStringLiteral("2,5,1")).has_value());
    EXPECT_FALSE(LeerNumero(QStringLiteral("inf")).has_value());

    FijarLocalNumeros(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_DOUBLE_EQ(*LeerNumero(QStringLiteral("2.5")), 2.5);
    EXPECT_EQ(Formato(1234.5, QStringLiteral("##,##0.00;-##,##0.00;#")), QStringLiteral("1,234.50"));
    FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
}

TEST(TextoOchoBits, AcceptsUtf8AndWindows1252)
{
    EXPECT_EQ(DecodificarTexto8Bits(QByteArray("P\xc3\x81GINA \xe2\x82\xac")), QStringLiteral("PÁGINA €"));
    EXPECT_EQ(DecodificarTexto8Bits(QByteArray("P\xc1GINA \x80 NU\xd1" "EZ")), QStringLiteral("PÁGINA € NUÑEZ"));
    EXPECT_EQ(CodificarWindows1252(QStringLiteral("PÁGINA € Ñ")), QByteArray("P\xc1GINA \x80 \xd1"));
}

}  // namespace
