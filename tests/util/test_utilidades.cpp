#include "utilidades.h"

#include <gtest/gtest.h>

namespace {

TEST(AgruparPorClave, MergesEqualKeysAndSorts)
{
    std::vector<FilaBase> filas{{21.0, 5.2, 10}, {10.0, 1.4, 5}, {21.0, 5.2, 2}};
    const std::vector<FilaBase> r = AgruparPorClave(filas);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(*r[0].clave, 10.0);
    EXPECT_DOUBLE_EQ(r[0].importe, 5);
    EXPECT_EQ(*r[1].clave, 21.0);
    EXPECT_DOUBLE_EQ(r[1].importe, 12);
    EXPECT_FALSE(filas[2].clave.has_value());  // the input is marked, as callers may expect

    std::vector<FilaBase> vacias;
    EXPECT_TRUE(AgruparPorClave(vacias).empty());
}

TEST(Textos, ListsTokensAndPadding)
{
    QString lista;
    AnadirALista(lista, QStringLiteral(" and "), QStringLiteral("a=1"));
    AnadirALista(lista, QStringLiteral(" and "), QString());
    AnadirALista(lista, QStringLiteral(" and "), QStringLiteral("b=2"));
    EXPECT_EQ(lista, QStringLiteral("a=1 and b=2"));

    QString texto = QStringLiteral("12|34|");
    EXPECT_EQ(ExtraerToken(texto, QStringLiteral("|")), QStringLiteral("12"));
    EXPECT_EQ(ExtraerToken(texto, QStringLiteral("|")), QStringLiteral("34"));
    EXPECT_EQ(ExtraerToken(texto, QStringLiteral("|")), QString());
    texto = QStringLiteral("sin separador");
    EXPECT_EQ(ExtraerToken(texto, QStringLiteral("|")), QStringLiteral("sin separador"));
    EXPECT_TRUE(texto.isEmpty());

    EXPECT_EQ(NumeroConCeros(7, 2), QStringLiteral("07"));
    EXPECT_EQ(NumeroConCeros(123, 2), QStringLiteral("123"));
    EXPECT_EQ(NumeroConCeros(-7, 4), QStringLiteral("-007"));

    QString sql = QStringLiteral("select TbCliente.Codigo from TbCliente");
    Reemplazar(QStringLiteral("TbCliente"), QStringLiteral("Cliente"), sql);
    EXPECT_EQ(sql, QStringLiteral("select Cliente.Codigo from Cliente"));
}

TEST(Val, TakesTheLeadingNumber)
{
    EXPECT_EQ(Val(QStringLiteral("3x")), 3);
    EXPECT_EQ(Val(QStringLiteral("abc")), 0);
    EXPECT_EQ(Val(QStringLiteral("  12.5kg")), 12.5);
    EXPECT_EQ(Val(QStringLiteral("-4")), -4);
    EXPECT_EQ(Val(QString()), 0);
    EXPECT_EQ(AEntero16(Val(QStringLiteral("99999"))), 32767);  // saturates, never wraps
}

TEST(FiltrarTecla, PassesDigitsControlKeysAndExtras)
{
    for (int tecla : {int('0'), int('9'), 8, 13}) {
        int t = tecla;
        FiltrarTecla(t, QStringLiteral(","));
        EXPECT_EQ(t, tecla);
    }
    int coma = ',';
    FiltrarTecla(coma, QStringLiteral(","));
    EXPECT_EQ(coma, ',');
    for (int tecla : {int('a'), int('.'), int('-'), 0xD1}) {
        int t = tecla;
        FiltrarTecla(t, QStringLiteral(","));
        EXPECT_EQ(t, 0) << tecla;
    }
}

TEST(Booleanos, ReadBackWhatIsWritten)
{
    EXPECT_TRUE(TextoABooleano(BooleanoATexto(true)));
    EXPECT_FALSE(TextoABooleano(BooleanoATexto(false)));
    EXPECT_TRUE(TextoABooleano(QStringLiteral("Verdadero")));
    EXPECT_TRUE(TextoABooleano(QStringLiteral("-1")));
    EXPECT_FALSE(TextoABooleano(QString()));
    EXPECT_FALSE(TextoABooleano(QStringLiteral("basura")));
}

TEST(Campos, NullGivesZeroOrEmpty)
{
    EXPECT_EQ(CampoAEntero(Valor()), 0);
    EXPECT_EQ(CampoALargo(Valor()), 0);
    EXPECT_EQ(CampoANumero(Valor()), 0);
    EXPECT_EQ(CampoATexto(Valor()), QString());
    EXPECT_EQ(CampoALargo(Valor(qint64(123456))), 123456);
    EXPECT_EQ(CampoATexto(Valor(QDate(2024, 3, 1))), QStringLiteral("2024-03-01"));
}

TEST(Valor, StoredDatesAndTimesReadBackOrNotAtAll)
{
    EXPECT_EQ(Valor(QStringLiteral("2024-03-01")).aFecha(), QDate(2024, 3, 1));
    EXPECT_EQ(Valor(QStringLiteral("2024-03-01 10:05:07")).aFechaHora(), QDateTime(QDate(2024, 3, 1), QTime(10, 5, 7)));
    EXPECT_EQ(Valor(QStringLiteral("2024-03-01T10:05")).aFechaHora(), QDateTime(QDate(2024, 3, 1), QTime(10, 5)));
    for (const char* malo : {"2024-02-30", "2024-13-01", "2024-3-1", "20240301", "abcd-ef-gh", ""})
        EXPECT_FALSE(Valor(QString::fromLatin1(malo)).aFecha().isValid()) << malo;
    EXPECT_EQ(Valor(QStringLiteral(" 2024-03-01 ")).aFecha(), QDate(2024, 3, 1));
}

struct CasoNIF {
    const char* escrito;
    const char* valido;  // nullptr: refused
};

class NumerosFiscales : public ::testing::TestWithParam<CasoNIF> {};

TEST_P(NumerosFiscales, TheControlCharacterDecides)
{
    const CasoNIF& c = GetParam();
    const std::optional<QString> r = NIFValido(QString::fromUtf8(c.escrito));
    if (c.valido)
        EXPECT_EQ(r, std::optional<QString>(QString::fromLatin1(c.valido)));
    else
        EXPECT_FALSE(r.has_value()) << qPrintable(*r);
}

INSTANTIATE_TEST_SUITE_P(
    Ejemplos, NumerosFiscales,
    ::testing::Values(
        // DNI
        CasoNIF{"12345678Z", "12345678Z"}, CasoNIF{"12.345.678-z", "12345678Z"}, CasoNIF{"00000000T", "00000000T"},
        CasoNIF{"12345678A", nullptr}, CasoNIF{"1234567Z", nullptr}, CasoNIF{"123456789", nullptr},
        // NIE, and the K, L, M numbers
        CasoNIF{"X1234567L", "X1234567L"}, CasoNIF{"y 1234567 x", "Y1234567X"}, CasoNIF{"X1234567T", nullptr},
        CasoNIF{"W1234567L", nullptr}, CasoNIF{"K1234567L", "K1234567L"},
        // CIF: a digit, a letter, or either, by the kind
        CasoNIF{"B12345674", "B12345674"}, CasoNIF{"B1234567D", nullptr}, CasoNIF{"B12345675", nullptr},
        CasoNIF{"Q2826000H", "Q2826000H"}, CasoNIF{"Q28260008", nullptr}, CasoNIF{"P1234567D", "P1234567D"},
        CasoNIF{"G1234567D", "G1234567D"}, CasoNIF{"G12345674", "G12345674"}, CasoNIF{"I12345674", nullptr},
        // Not a number at all
        CasoNIF{"", nullptr}, CasoNIF{"B0000000O", nullptr}, CasoNIF{"ÑÑÑÑÑÑÑÑÑ", nullptr}, CasoNIF{"B00000000", "B00000000"}));

}  // namespace
