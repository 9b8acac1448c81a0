#include "mascara.h"

#include <gtest/gtest.h>

namespace {

// Sections split at a "####" line; a file of bare line feeds splits like one of CR LF; a prefix
// joins with one line end, and one without a line end of its own is left out.
TEST(PrepararMascara, SplitsSectionsAtTheSeparatorLineAndJoinsThePrefix)
{
    const struct {
        const char* texto;
        const char* prefijo;
        QStringList secciones;
    } casos[] = {
        {"A####\r\nB", "", {"A", "B"}},
        {"A\r\n####\r\nB\r\n", "", {"A\r\n", "B\r\n"}},
        {"A\r\nB\r\n", "", {"A\r\nB\r\n"}},
        {"A####B", "", {"A####B"}},  // "####" without its line end is ordinary text
        {"A####\r\n####\r\nC", "", {"A", "", "C"}},
        {"", "", {}},
        {"A", "P1", {"P1\r\nA"}},
        {"A", "P1\r\n", {"P1\r\nA"}},
        {"A", "P", {"A"}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(PrepararMascara(QString::fromLatin1(c.texto), QString::fromLatin1(c.prefijo)).secciones, c.secciones) << c.texto;

    const TextoMascara lf = PrepararMascara(QStringLiteral("A\n####\nB\n[PLANTILLA,x.ods:H]\nC\n"), {});
    const TextoMascara crlf = PrepararMascara(QStringLiteral("A\r\n####\r\nB\r\n[PLANTILLA,x.ods:H]\r\nC\r\n"), {});
    EXPECT_EQ(lf.secciones, crlf.secciones);
    EXPECT_EQ(lf.plantilla, QStringLiteral("x.ods:H"));

    // The template line is cut only when it ends in CR LF.
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

// Marks are replaced in list order, so longer ones go first; inserted data is never read as
// mask; values are written as text, and plain ones (no mark) bind to their index.
TEST(SustituirMarcas, ReplacesInListOrderWritingValuesAsTextNeverAsMask)
{
    const QString seccion = QStringLiteral("@ENVASES|@ENVASE");
    EXPECT_EQ(SustituirMarcas(seccion, {{Valor("10,00"), "@ENVASES"}, {Valor("0,30"), "@ENVASE"}}), QStringLiteral("10,00|0,30"));
    // The other way round the shorter one eats the start of the longer.
    EXPECT_EQ(SustituirMarcas(seccion, {{Valor("0,30"), "@ENVASE"}, {Valor("10,00"), "@ENVASES"}}), QStringLiteral("0,30S|0,30"));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("[,0,0]@NOMBRE\r\n[,0,5]@NIF"), {{Valor("Bar @NIF\r\n[PAGINA]"), "@NOMBRE"}, {Valor("B123"), "@NIF"}}),
              QStringLiteral("[,0,0]Bar @NIF [PAGINA]\r\n[,0,5]B123"));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("@F"), {{Valor(QDate(2024, 3, 7)), "@F"}}), QStringLiteral("07/03/2024"));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("@N"), {{Valor(42), "@N"}}), QStringLiteral("42"));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("[@X]"), {{Valor(), "@X"}}), QStringLiteral("[]"));
    ValoresMascara v;
    for (int i = 0; i < 13; ++i)
        v.emplace_back(Valor(QStringLiteral("v%1").arg(i)));
    EXPECT_EQ(SustituirMarcas(QStringLiteral("@00 @01 @12"), v), QStringLiteral("v0 v1 v12"));
}

// X against a width of 190, Y against a height of 280.
TEST(Coordenadas, FollowTheHorizontalAndVerticalRules)
{
    const struct {
        bool x;
        const char* campo;
        double actual, esperado;
    } casos[] = {{true, "W", 30, 190},     {true, "C", 30, 95},      {true, "+5", 30, 35},      {true, "-3", 30, 27},
                 {true, "+15", 30, 15},    {true, "42", 30, 42},     {true, "12.5", 0, 12},     {true, "13,5", 0, 14},
                 {true, "", 30.4, 30},     {true, "abc", 30.6, 31},  {true, "99999999", 0, 32767},
                 {false, "H", 0, 280},     {false, "C", 0, 140},     {false, "+15", 30, 45},    {false, "-1.5", 30, 28},
                 {false, "+5mm", 30, 35},  {false, "15", 30, 15},    {false, "", 30, 30},       {false, "x", 30, 30}};
    for (const auto& c : casos) {
        const QString campo = QString::fromUtf8(c.campo);
        EXPECT_DOUBLE_EQ(c.x ? CoordenadaX(campo, c.actual, 190) : CoordenadaY(campo, c.actual, 280), c.esperado) << c.x << c.campo;
    }
}

TEST(CumpleCondicion, FollowsTheConditionTable)
{
    const struct {
        const char* condicion;
        const char* texto;
        bool cumple;
    } casos[] = {{"", "", true},          {"B", "", false},       {" b ", "x", true},    {"C", "", false},      {"N", "x", false},
                 {"Z", "", true},         {"Y>100", "", true},    {"Y>100.5", "", false}, {"y<100", "", true},  {"X<50", "", true},
                 {"X>51", "", false},     {"X>abc", "", true},    {"whatever", "", true}};
    for (const auto& c : casos)
        EXPECT_EQ(CumpleCondicion(QString::fromLatin1(c.condicion), QString::fromLatin1(c.texto), QPointF(50, 100)), c.cumple) << c.condicion;
}

} // namespace
