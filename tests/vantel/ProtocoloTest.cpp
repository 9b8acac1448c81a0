// The text formats: modem answers, the initialisation list, line settings,
// and the small routines they are written with.

#include "Protocolo.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include <limits>

using namespace Vantel;

namespace {

struct Caso {
    const char *respuesta;
    ClaseRespuesta clase;
};

void PrintTo(const Caso &dato, std::ostream *salida)
{
    *salida << QByteArray(dato.respuesta).toPercentEncoding().toStdString();
}

class Clasificar : public ::testing::TestWithParam<Caso>
{
};

TEST_P(Clasificar, MapsTheNumericResultCode)
{
    EXPECT_EQ(ClasificarRespuesta(QString::fromLatin1(GetParam().respuesta)), GetParam().clase)
        << GetParam().respuesta;
}

INSTANTIATE_TEST_SUITE_P(
    Codigos, Clasificar,
    ::testing::Values(Caso{"0\r", ClaseRespuesta::Ok}, Caso{"1\r", ClaseRespuesta::Connect},
                      Caso{"1LC\r", ClaseRespuesta::Connect}, Caso{"5\r", ClaseRespuesta::Connect},
                      Caso{"9\r", ClaseRespuesta::Connect}, Caso{"16\r", ClaseRespuesta::Connect},
                      Caso{"28LC\r", ClaseRespuesta::Connect}, Caso{"33\r", ClaseRespuesta::Connect},
                      Caso{"56\r", ClaseRespuesta::Connect}, Caso{"2\r", ClaseRespuesta::Ring},
                      Caso{"3\r", ClaseRespuesta::NoCarrier}, Caso{"4\r", ClaseRespuesta::Error},
                      Caso{"6\r", ClaseRespuesta::NoTono}, Caso{"7\r", ClaseRespuesta::Ocupado},
                      Caso{"07\r", ClaseRespuesta::Ocupado}, Caso{"8\r", ClaseRespuesta::NoRespuesta},
                      // Numbers outside the table and texts of any other shape.
                      Caso{"17\r", ClaseRespuesta::Desconocida}, Caso{"30\r", ClaseRespuesta::Desconocida},
                      Caso{"99\r", ClaseRespuesta::Desconocida}, Caso{"100\r", ClaseRespuesta::Desconocida},
                      Caso{"1", ClaseRespuesta::Desconocida}, Caso{"\r", ClaseRespuesta::Desconocida},
                      Caso{"LC\r", ClaseRespuesta::Desconocida}, Caso{"1L\r", ClaseRespuesta::Desconocida},
                      Caso{"1lc\r", ClaseRespuesta::Desconocida}, Caso{" 1\r", ClaseRespuesta::Desconocida},
                      Caso{"1\r\n", ClaseRespuesta::Desconocida}, Caso{"OK\r", ClaseRespuesta::Desconocida},
                      Caso{"1LCLC\r", ClaseRespuesta::Desconocida}, Caso{"", ClaseRespuesta::Desconocida}),
    [](const ::testing::TestParamInfo<Caso> &dato) {
        std::string nombre = std::to_string(dato.index) + "_";
        for (const char *c = dato.param.respuesta; *c; ++c)
            nombre += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return nombre;
    });

TEST(Clasificar, NonAsciiDigitsAreNotDigits)
{
    EXPECT_EQ(ClasificarRespuesta(QStringLiteral("\u0661\r")), ClaseRespuesta::Desconocida); // Arabic-Indic 1
    EXPECT_EQ(ClasificarRespuesta(QString::fromLatin1("\xb9\r")), ClaseRespuesta::Desconocida); // superscript 1
}

TEST(ListaInicializacion, ReadsBackAsWritten)
{
    for (const char *texto : {"ATZ|0[Cr]", "AT&FE0V0Q0L3||AT&FE0V0Q0L3|0[Cr]|AT&C1||AT&D2||AT&A0|",
                              "AT|0[Cr][Lf]|ATI3|[Lf]", ""}) {
        EXPECT_EQ(EscribirInicializacion(LeerInicializacion(QString::fromLatin1(texto))),
                  QString::fromLatin1(texto));
    }
}

TEST(ListaInicializacion, CrLfReadsBackAsItsTwoHalves)
{
    const ListaInicializacion lista = LeerInicializacion(QStringLiteral("ATZ|[CrLf]OK[CrLf]"));
    EXPECT_EQ(lista.comandos, QStringList({"ATZ"}));
    EXPECT_EQ(lista.respuestas, QStringList({"\r\nOK\r\n"}));
    EXPECT_EQ(EscribirInicializacion(lista), QStringLiteral("ATZ|[Cr][Lf]OK[Cr][Lf]"));
}

TEST(ListaInicializacion, PiecesAlternateCommandAndResponse)
{
    const ListaInicializacion lista = LeerInicializacion(QStringLiteral("A||B|0[Cr]|C"));
    EXPECT_EQ(lista.comandos, QStringList({"A", "B", "C"}));
    EXPECT_EQ(lista.respuestas, QStringList({"", "0\r", ""}));
    EXPECT_EQ(EscribirInicializacion(lista), QStringLiteral("A||B|0[Cr]|C|"));
}

TEST(Settings, ReadsTheFourFields)
{
    const auto p = LeerSettings(QStringLiteral("19200,e,7,1.5"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->velocidad, 19200);
    EXPECT_EQ(p->paridad, Paridad::Par);
    EXPECT_EQ(p->bitsDatos, 7);
    EXPECT_EQ(p->bitsParada, BitsParada::UnoYMedio);
    EXPECT_EQ(VelocidadDe(QStringLiteral("19200,e,7,1.5")), QStringLiteral("19200"));
}

TEST(Settings, RefusesWhatNoLineCanTake)
{
    for (const char *malo : {"", "9600", "9600,N,8", "9600,N,8,1,X", "0,N,8,1", "-9600,N,8,1", "abc,N,8,1",
                             "9600,Q,8,1", "9600,N,9,1", "9600,N,4,1", "9600,N,8,3"}) {
        EXPECT_FALSE(LeerSettings(QString::fromLatin1(malo))) << malo;
    }
}

TEST(Tools, ReemplazarRepeatsUntilNoneIsLeft)
{
    EXPECT_EQ(Tools::Reemplazar(QStringLiteral("a     b"), QStringLiteral("  "), QStringLiteral(" ")),
              QStringLiteral("a b"));
    EXPECT_EQ(Tools::Reemplazar(QStringLiteral("x[Cr]y[Cr]"), QStringLiteral("[Cr]"), QStringLiteral("\r")),
              QStringLiteral("x\ry\r"));
}

TEST(Tools, ReemplazarAlwaysEnds)
{
    // Replacements that contain, or keep producing, what is searched for.
    EXPECT_EQ(Tools::Reemplazar(QStringLiteral("aXa"), QStringLiteral("a"), QStringLiteral("aa")),
              QStringLiteral("aaXaa"));
    EXPECT_EQ(Tools::Reemplazar(QStringLiteral("abc"), QString(), QStringLiteral("z")), QStringLiteral("abc"));
    const QString largo(2000, QLatin1Char('a'));
    EXPECT_EQ(Tools::Reemplazar(largo + QLatin1Char('b'), QStringLiteral("ab"), QStringLiteral("ba")),
              QLatin1Char('b') + largo);
}

TEST(Tools, SacarTokenTakesOnePieceAtATime)
{
    QString fuente = QStringLiteral("uno|dos||tres");
    EXPECT_EQ(Tools::SacarToken(fuente, QStringLiteral("|")), QStringLiteral("uno"));
    EXPECT_EQ(Tools::SacarToken(fuente, QStringLiteral("|")), QStringLiteral("dos"));
    EXPECT_EQ(Tools::SacarToken(fuente, QStringLiteral("|")), QString());
    EXPECT_EQ(Tools::SacarToken(fuente, QStringLiteral("|")), QStringLiteral("tres"));
    EXPECT_TRUE(fuente.isEmpty());
}

TEST(Tools, CountersStopAtTheirLimits)
{
    std::int16_t c = std::numeric_limits<std::int16_t>::min();
    EXPECT_EQ(Tools::Decrementar(c), std::numeric_limits<std::int16_t>::min());
    c = std::numeric_limits<std::int16_t>::max();
    EXPECT_EQ(Tools::Incrementar(c), std::numeric_limits<std::int16_t>::max());
    c = 0;
    EXPECT_EQ(Tools::Decrementar(c), -1);
}

TEST(Tools, AnadirAListaStartsAListFromNothing)
{
    QVariant lista;
    Tools::AnadirALista(lista, 1);
    Tools::AnadirALista(lista, QStringLiteral("dos"));
    EXPECT_EQ(lista.toList(), QVariantList({1, QStringLiteral("dos")}));
    EXPECT_EQ(Tools::NumATexto(-42), QStringLiteral("-42"));
}

} // namespace
