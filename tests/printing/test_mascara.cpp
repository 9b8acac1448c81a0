#include "mascara.h"

#include <gtest/gtest.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

TEST(PrepararMascara, SplitsSectionsAtTheSeparatorLine)
{
    EXPECT_EQ(PrepararMascara(QStringLiteral("A####\r\nB"), {}).secciones, QStringList({"A", "B"}));
    EXPECT_EQ(PrepararMascara(QStringLiteral("A\r\n####\r\nB\r\n"), {}).secciones, QStringList({"A\r\n", "B\r\n"}));
    EXPECT_EQ(PrepararMascara(QStringLiteral("A\r\nB\r\n"), {}).secciones, QStringList({"A\r\nB\r\n"}));
    // "####" without its line end is ordinary text.
    EXPECT_EQ(PrepararMascara(QStringLiteral("A####B"), {}).secciones, QStringList({"A####B"}));
    EXPECT_EQ(PrepararMascara(QStringLiteral("A####\r\n####\r\nC"), {}).secciones, QStringList({"A", "", "C"}));
    EXPECT_TRUE(PrepararMascara(QString(), {}).secciones.isEmpty());
}

TEST(PrepararMascara, FilesWithBareLineFeedsSplitLikeCrLfFiles)
{
    const TextoMascara lf = PrepararMascara(QStringLiteral("A\n####\nB\n[PLANTILLA,x.ods:H]\nC\n"), {});
    const TextoMascara crlf = PrepararMascara(QStringLiteral("A\r\n####\r\nB\r\n[PLANTILLA,x.ods:H]\r\nC\r\n"), {});
    EXPECT_EQ(lf.secciones, crlf.secciones);
    EXPECT_EQ(lf.plantilla, QStringLiteral("x.ods:H"));
}

TEST(PrepararMascara, TemplateLineIsCutOnlyWhenItEndsInCrLf)
{
    TextoMascara m = PrepararMascara(QStringLiteral("A\r\n[PLANTILLA, factura.xls:Hoja1 ]\r\nB####\r\nC"), {});
    EXPECT_EQ(m.plantilla, QStringLiteral("factura.xls:Hoja1"));
    EXPECT_EQ(m.secciones, QStringList({"A\r\nB", "C"}));

    m = PrepararMascara(QStringLiteral("A\r\n[PLANTILLA,factura.xls:Hoja1]"), {});
    EXPECT_TRUE(m.plantilla.isEmpty());
    EXPECT_EQ(m.secciones, QStringList({"A\r\n[PLANTILLA,factura.xls:Hoja1]"}));

    // Only the first template line counts; the second stays as text.
    m = PrepararMascara(QStringLiteral("[PLANTILLA,a.xls:X]\r\n[PLANTILLA,b.doc]\r\nZ"), {});
    EXPECT_EQ(m.plantilla, QStringLiteral("a.xls:X"));
    EXPECT_EQ(m.secciones, QStringList({"[PLANTILLA,b.doc]\r\nZ"}));

    // A "]" right after the comma names no template, but the line still goes.
    m = PrepararMascara(QStringLiteral("[PLANTILLA,]\r\nZ"), {});
    EXPECT_TRUE(m.plantilla.isEmpty());
    EXPECT_EQ(m.secciones, QStringList({"Z"}));
}

TEST(PrepararMascara, PrefixJoinsWithOneLineEnd)
{
    EXPECT_EQ(PrepararMascara(QStringLiteral("A"), QStringLiteral("P1")).secciones, QStringList({"P1\r\nA"}));
    EXPECT_EQ(PrepararMascara(QStringLiteral("A"), QStringLiteral("P1\r\n")).secciones, QStringList({"P1\r\nA"}));
    EXPECT_EQ(PrepararMascara(QStringLiteral("A"), QStringLiteral("P")).secciones, QStringList({"A"}));
}

TEST(SustituirMarcas, ReplacesInListOrderSoLongerPlaceholdersGoFirst)
{
    const QString seccion = QStringLiteral("@ENVASES|@ENVASE");
    EXPECT_EQ(SustituirMarcas(seccion, {{Valor("10,00"), "@ENVASES"}, {Valor("0,30"), "@ENVASE"}}),
              QStringLiteral("10,00|0,30"));
    // The other way round the shorter one eats the start of the longer.
    EXPECT_EQ(SustituirMarcas(seccion, {{Valor("0,30"), "@ENVASE"}, {Valor("10,00"), "@ENVASES"}}),
              QStringLiteral("0,30S|0,30"));
}

TEST(SustituirMarcas, PlainValuesBindToTheirIndex)
{
    ValoresMascara v;
    for (int i = 0; i < 13; ++i)
        v.emplace_back(Valor(QStringLiteral("v%1").arg(i)));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("@00 @01 @12"), v), QStringLiteral("v0 v1 v12"));
}

TEST(SustituirMarcas, InsertedDataIsNeverReadAsMask)
{
    const QString r = SustituirMarcas(QStringLiteral("[,0,0]@NOMBRE\r\n[,0,5]@NIF"),
                                      {{Valor("Bar @NIF\r\n[PAGINA]"), "@NOMBRE"}, {Valor("B123"), "@NIF"}});
    EXPECT_EQ(r, QStringLiteral("[,0,0]Bar @NIF [PAGINA]\r\n[,0,5]B123"));
}

TEST(SustituirMarcas, ValuesAreWrittenAsText)
{
    EXPECT_EQ(SustituirMarcas(QStringLiteral("@F"), {{Valor(QDate(2024, 3, 7)), "@F"}}), QStringLiteral("07/03/2024"));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("@N"), {{Valor(42), "@N"}}), QStringLiteral("42"));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("[@X]"), {{Valor(), "@X"}}), QStringLiteral("[]"));
}

struct CasoCoordenada {
    const char* campo;
    double actual;
    double esperado;
};

class CoordenadaXTest : public ::testing::TestWithParam<CasoCoordenada> {};
TEST_P(CoordenadaXTest, FollowsTheHorizontalRules)
{
    const auto& c = GetParam();
    EXPECT_DOUBLE_EQ(CoordenadaX(QString::fromUtf8(c.campo), c.actual, 190), c.esperado) << c.campo;
}
INSTANTIATE_TEST_SUITE_P(Reglas, CoordenadaXTest,
                         ::testing::Values(CasoCoordenada{"W", 30, 190}, CasoCoordenada{"C", 30, 95},
                                           CasoCoordenada{"+5", 30, 35}, CasoCoordenada{"-3", 30, 27},
                                           CasoCoordenada{"+15", 30, 15}, CasoCoordenada{"42", 30, 42},
                                           CasoCoordenada{"12.5", 0, 12}, CasoCoordenada{"13,5", 0, 14},
                                           CasoCoordenada{"", 30.4, 30}, CasoCoordenada{"abc", 30.6, 31},
                                           CasoCoordenada{"99999999", 0, 32767}));

class CoordenadaYTest : public ::testing::TestWithParam<CasoCoordenada> {};
TEST_P(CoordenadaYTest, FollowsTheVerticalRules)
{
    const auto& c = GetParam();
    EXPECT_DOUBLE_EQ(CoordenadaY(QString::fromUtf8(c.campo), c.actual, 280), c.esperado) << c.campo;
}
INSTANTIATE_TEST_SUITE_P(Reglas, CoordenadaYTest,
                         ::testing::Values(CasoCoordenada{"H", 0, 280}, CasoCoordenada{"C", 0, 140},
                                           CasoCoordenada{"+15", 30, 45}, CasoCoordenada{"-1.5", 30, 28},
                                           CasoCoordenada{"+5mm", 30, 35}, CasoCoordenada{"15", 30, 15},
                                           CasoCoordenada{"", 30, 30}, CasoCoordenada{"x", 30, 30}));

TEST(CumpleCondicion, FollowsTheConditionTable)
{
    const QPointF pos(50, 100);
    EXPECT_TRUE(CumpleCondicion({}, {}, pos));
    EXPECT_FALSE(CumpleCondicion(QStringLiteral("B"), {}, pos));
    EXPECT_TRUE(CumpleCondicion(QStringLiteral(" b "), QStringLiteral("x"), pos));
    EXPECT_FALSE(CumpleCondicion(QStringLiteral("C"), {}, pos));
    EXPECT_FALSE(CumpleCondicion(QStringLiteral("N"), QStringLiteral("x"), pos));
    EXPECT_TRUE(CumpleCondicion(QStringLiteral("Z"), {}, pos));
    EXPECT_TRUE(CumpleCondicion(QStringLiteral("Y>100"), {}, pos));
    EXPECT_FALSE(CumpleCondicion(QStringLiteral("Y>100.5"), {}, pos));
    EXPECT_TRUE(CumpleCondicion(QStringLiteral("y<100"), {}, pos));
    EXPECT_TRUE(CumpleCondicion(QStringLiteral("X<50"), {}, pos));
    EXPECT_FALSE(CumpleCondicion(QStringLiteral("X>51"), {}, pos));
    EXPECT_TRUE(CumpleCondicion(QStringLiteral("X>abc"), {}, pos));
    EXPECT_TRUE(CumpleCondicion(QStringLiteral("whatever"), {}, pos));
}

} // namespace
