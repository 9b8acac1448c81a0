// The text formats: modem answers, the initialisation list, line settings,
// and the replacement routine they rely on.

#include "Protocolo.h"
#include "Tools.h"

#include <gtest/gtest.h>

using namespace Vantel;

namespace {

TEST(Clasificar, MapsNumericResultCodesAndNothingElse)
{
    const QList<std::pair<const char *, ClaseRespuesta>> casos = {
        {"0\r", ClaseRespuesta::Ok},          {"1\r", ClaseRespuesta::Connect},
        {"1LC\r", ClaseRespuesta::Connect},   {"9\r", ClaseRespuesta::Connect},
        {"16\r", ClaseRespuesta::Connect},    {"28LC\r", ClaseRespuesta::Connect},
        {"56\r", ClaseRespuesta::Connect},    {"2\r", ClaseRespuesta::Ring},
        {"3\r", ClaseRespuesta::NoCarrier},   {"4\r", ClaseRespuesta::Error},
        {"6\r", ClaseRespuesta::NoTono},      {"07\r", ClaseRespuesta::Ocupado},
        {"8\r", ClaseRespuesta::NoRespuesta}, {"17\r", ClaseRespuesta::Desconocida},
        {"30\r", ClaseRespuesta::Desconocida}, {"100\r", ClaseRespuesta::Desconocida},
        {"1", ClaseRespuesta::Desconocida},   {"LC\r", ClaseRespuesta::Desconocida},
        {"1lc\r", ClaseRespuesta::Desconocida}, {" 1\r", ClaseRespuesta::Desconocida},
        {"1\r\n", ClaseRespuesta::Desconocida}, {"1LCLC\r", ClaseRespuesta::Desconocida},
        {"\xb9\r", ClaseRespuesta::Desconocida}, // a superscript one is not a digit
    };
    for (const auto &[texto, clase] : casos)
        EXPECT_EQ(ClasificarRespuesta(QString::fromLatin1(texto)), clase) << QByteArray(texto).toHex().toStdString();
}

TEST(ListaInicializacion, ReadsBackAsWrittenWithCrLfInItsTwoHalves)
{
    for (const char *texto : {"ATZ|0[Cr]", "AT&FE0V0Q0L3||AT&FE0V0Q0L3|0[Cr]|AT&C1||AT&D2||AT&A0|", ""})
        EXPECT_EQ(EscribirInicializacion(LeerInicializacion(QString::fromLatin1(texto))), QString::fromLatin1(texto));

    const ListaInicializacion lista = LeerInicializacion(QStringLiteral("ATZ|[CrLf]OK[CrLf]|ATI"));
    EXPECT_EQ(lista.comandos, QStringList({"ATZ", "ATI"}));
    EXPECT_EQ(lista.respuestas, QStringList({"\r\nOK\r\n", ""}));
    EXPECT_EQ(EscribirInicializacion(lista), QStringLiteral("ATZ|[Cr][Lf]OK[Cr][Lf]|ATI|"));
}

TEST(Settings, ReadsTheFourFieldsAndRefusesWhatNoLineTakes)
{
    const auto p = LeerSettings(QStringLiteral("19200,e,7,1.5"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->velocidad, 19200);
    EXPECT_EQ(p->paridad, Paridad::Par);
    EXPECT_EQ(p->bitsDatos, 7);
    EXPECT_EQ(p->bitsParada, BitsParada::UnoYMedio);
    for (const char *malo : {"", "9600,N,8", "9600,N,8,1,X", "0,N,8,1", "abc,N,8,1", "9600,Q,8,1", "9600,N,9,1",
                             "9600,N,8,3"})
        EXPECT_FALSE(LeerSettings(QString::fromLatin1(malo))) << malo;
}

TEST(Tools, ReemplazarRepeatsUntilNoneIsLeftButAlwaysEnds)
{
    EXPECT_EQ(Tools::Reemplazar(QStringLiteral("a     b"), QStringLiteral("  "), QStringLiteral(" ")),
              QStringLiteral("a b"));
    EXPECT_EQ(Tools::Reemplazar(QStringLiteral("aXa"), QStringLiteral("a"), QStringLiteral("aa")),
              QStringLiteral("aaXaa"));
    EXPECT_EQ(Tools::Reemplazar(QStringLiteral("abc"), QString(), QStringLiteral("z")), QStringLiteral("abc"));
    const QString largo(2000, QLatin1Char('a'));
    EXPECT_EQ(Tools::Reemplazar(largo + QLatin1Char('b'), QStringLiteral("ab"), QStringLiteral("ba")),
              QLatin1Char('b') + largo);
}

} // namespace
