#include "entorno.h"
#include "motor.h"
#include "traductor.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Each old-dialect expression is translated and evaluated by SQLite itself.
class Traduccion : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        if (PruebasEnPostgreSQL())
            s_servidor = new BasePostgreSQLDePrueba;
        s_bd = motor::BaseDeDatos::crear(s_servidor ? s_servidor->conexion : s_dir->filePath(QStringLiteral("t.db"))).release();
    }
    static void TearDownTestSuite()
    {
        delete s_bd;
        delete s_servidor;
        delete s_dir;
    }
    static Valor evaluar(const QString& expresion) { return s_bd->valorUnico(QStringLiteral("select ") + expresion); }

    static inline QTemporaryDir* s_dir = nullptr;
    static inline BasePostgreSQLDePrueba* s_servidor = nullptr;
    static inline motor::BaseDeDatos* s_bd = nullptr;
};

TEST_F(Traduccion, FunctionsOfTheOldDialect)
{
    EXPECT_EQ(evaluar(QStringLiteral("isnull(null)")).aEntero(), 1);
    EXPECT_EQ(evaluar(QStringLiteral("not isnull(3)")).aEntero(), 1);
    EXPECT_EQ(evaluar(QStringLiteral("int(2.7)")).aNumero(), 2);
    EXPECT_EQ(evaluar(QStringLiteral("int(-2.5)")).aNumero(), -3);  // largest integer not greater
    EXPECT_EQ(evaluar(QStringLiteral("int(int(7.9) + 0.5)")).aNumero(), 7);
    EXPECT_EQ(evaluar(QStringLiteral("switch(1=0,'a',2=2,'b',True,'c')")).aTexto(), QStringLiteral("b"));
    EXPECT_TRUE(evaluar(QStringLiteral("switch(1=0,'a')")).esNulo());
    EXPECT_EQ(evaluar(QStringLiteral("iif(True, 'si', 'no')")).aTexto(), QStringLiteral("si"));
    EXPECT_EQ(evaluar(QStringLiteral("iif(False, 1, iif(isnull(null), 2, 3))")).aEntero(), 2);
    EXPECT_EQ(evaluar(QStringLiteral("abs(-4)")).aEntero(), 4);
    EXPECT_EQ(evaluar(QStringLiteral("'a' & 'b'")).aTexto(), QStringLiteral("ab"));
}

TEST_F(Traduccion, DivisionIsAlwaysReal)
{
    EXPECT_DOUBLE_EQ(evaluar(QStringLiteral("7/2")).aNumero(), 3.5);
    EXPECT_DOUBLE_EQ(evaluar(QStringLiteral("1500 * 250 / 1000 / 100")).aNumero(), 3.75);
    EXPECT_DOUBLE_EQ(evaluar(QStringLiteral("10 - 7/2")).aNumero(), 6.5);
    EXPECT_DOUBLE_EQ(evaluar(QStringLiteral("-7/2")).aNumero(), -3.5);
    EXPECT_DOUBLE_EQ(evaluar(QStringLiteral("int(2001 * (100 - 0 - 0) + 0.5) /100")).aNumero(), 2001);
}

TEST_F(Traduccion, TruthValuesDatesAndNames)
{
    EXPECT_EQ(evaluar(QStringLiteral("True")).aEntero(), 1);
    EXPECT_EQ(evaluar(QStringLiteral("false")).aEntero(), 0);
    EXPECT_EQ(evaluar(QStringLiteral("#3/1/2024#")).aTexto(), QStringLiteral("2024-03-01"));
    EXPECT_EQ(evaluar(QStringLiteral("#3/1/2024# < '2024-03-02'")).aEntero(), 1);
    EXPECT_EQ(evaluar(QStringLiteral("[x] from (select 5 as x)")).aEntero(), 5);
    EXPECT_EQ(evaluar(QStringLiteral("distinctrow 9")).aEntero(), 9);
    // A yes/no field alone as a condition, as the listings write it.
    EXPECT_EQ(evaluar(QStringLiteral("count(*) from (select 1 as f, 2 as n union all select 0, 3) as t where f or n between 3 and 4 and True"))
                  .aEntero(),
              2);
    EXPECT_EQ(evaluar(QStringLiteral("count(*) from (select 1 as f union all select 0) as t where not f")).aEntero(), 1);
}

TEST_F(Traduccion, QuotedTextIsNeverTouched)
{
    const QString texto = QStringLiteral("'a/b isnull(x) True int(2) #1/1/2000# [c] & O''Brien'");
    EXPECT_EQ(evaluar(texto).aTexto(), QStringLiteral("a/b isnull(x) True int(2) #1/1/2000# [c] & O'Brien"));
    EXPECT_EQ(TraducirSQL(QStringLiteral("select * from T where N='x/y'")),
              QStringLiteral("select * from T where N='x/y'"));
}

TEST_F(Traduccion, SavedQueryFragmentsRunAsWritten)
{
    // The delivery-note amount expression: grams per kilogram price, line discount.
    EXPECT_DOUBLE_EQ(evaluar(QStringLiteral("(1500 * 250 / switch(0=0,1000,0=1,100,True,1)) * (1 - 10 /100)")).aNumero(),
                     337.5);
    EXPECT_EQ(evaluar(QStringLiteral("sum(iif(1=1,0,1)) from (select 1)")).aEntero(), 0);
}

// What PostgreSQL is given for the common SQL the store writes.
TEST(APostgreSQL, ParametersNamesAndSqliteWordsBecomeWhatPostgreSQLTakes)
{
    const struct {
        const char* sqlite;
        const char* postgres;
    } casos[] = {
        {"SELECT * FROM \"Cliente\" WHERE Codigo = ? AND Nombre = ?", "SELECT * FROM \"cliente\" WHERE Codigo = $1 AND Nombre = $2"},
        {"UPDATE t SET a = ?2 WHERE b = ?1 OR c = ?1", "UPDATE t SET a = $2 WHERE b = $1 OR c = $1"},
        {"SELECT '?', 'It''s \"Q\"' FROM t WHERE x = ?", "SELECT '?', 'It''s \"Q\"' FROM t WHERE x = $1"},
        {"SELECT rowid, * FROM t ORDER BY rowid", "SELECT ctid, * FROM t ORDER BY ctid"},
        {"WHERE OLD.a IS NOT NEW.a AND b IS NOT NULL AND c IS ?", "WHERE OLD.a IS DISTINCT FROM NEW.a AND b IS NOT NULL AND c IS NOT DISTINCT FROM $1"},
        {"COMMENT ON VIEW v IS 'x IS NOT y'", "COMMENT ON VIEW v IS 'x IS NOT y'"},
        {"BEGIN IMMEDIATE", "BEGIN; SELECT pg_advisory_xact_lock(740740)"},
        {"x COLLATE NOCASE || char(127) == 1", "x COLLATE es_ci || chr(127) = 1"},
        {"WHERE (+t.Fecha>=?) AND x = +\"y\" AND a+b > +1", "WHERE (t.Fecha>=$1) AND x = \"y\" AND a+b > +1"},
    };
    for (const auto& c : casos)
        EXPECT_EQ(motor::APostgreSQL(QString::fromUtf8(c.sqlite)), QString::fromUtf8(c.postgres)) << c.sqlite;
}

// The dialect as PostgreSQL takes it: conditions are truth values, LIKE ignores case.
TEST(TraduccionPostgreSQL, ConditionsAndPatterns)
{
    const struct {
        const char* dialecto;
        const char* postgres;
    } casos[] = {
        {"iif(UsaREq, 1, 0)", "(CASE WHEN (UsaREq::int <> 0) THEN 1 ELSE 0 END)"},
        {"iif(t.UsaREq, 1, 0)", "(CASE WHEN (t.UsaREq::int <> 0) THEN 1 ELSE 0 END)"},
        {"iif(a=b, 1, 0)", "(CASE WHEN a=b THEN 1 ELSE 0 END)"},
        {"switch(Cada=0,1000,True,1)", "(CASE WHEN Cada=0 THEN 1000 WHEN true THEN 1 END)"},
        {"a / b", "a  * 1.0::float8 / b"},
        {"where Concepto like 'Alb%' and x=1", "where Concepto ILIKE ('Alb%') COLLATE \"default\" and x=1"},
        {"where not (n like 'a' || ?)", "where not(n ILIKE ('a' || ?) COLLATE \"default\")"},
        {"select group_concat(x) from (select x from t order by x)",
         "select string_agg((x)::text, ',') from (select x from t order by x) AS subconsulta1"},
        {"select * from (select x from t) as d where y", "select * from(select x from t) as d where (y::int <> 0)"},
        // A yes/no field standing alone as a condition is compared; inside comparisons, ranges
        // and function calls it is left as it is.
        {"select Codigo from Cliente c where c.UsaREq and not (Baja) order by 1",
         "select Codigo from Cliente c where (c.UsaREq::int <> 0) and not((Baja::int <> 0)) order by 1"},
        {"where [Usa REq] or x between a and b", "where (\"Usa REq\"::int <> 0) or x between a and b"},
        {"where x between a and b and sFac", "where x between a and b and (sFac::int <> 0)"},
        {"where sFac=True and count(sFac) > 1", "where sFac=1 and count(sFac) > 1"},
        {"where True and (case when sFac then 1 else 0 end) = 1", "where true and(case when (sFac::int <> 0) then 1 else 0 end) = 1"},
        {"(f) or g", "(f) or (g::int <> 0)"},
        {"where Factura is not null and x is not true", "where Factura is not null and x is not 1"},
        {"select case Tipo when Otro then 1 when case when f then 1 end then 2 end",
         "select case Tipo when Otro then 1 when case when (f::int <> 0) then 1 end then 2 end"},
        {"select * from a inner join b on a.n=b.n and b.sFac where exists (select 1 from t where t.f)",
         "select * from a inner join b on a.n=b.n and (b.sFac::int <> 0) where exists(select 1 from t where (t.f::int <> 0))"},
    };
    for (const auto& c : casos)
        EXPECT_EQ(TraducirSQL(QString::fromUtf8(c.dialecto), true).toStdString(), c.postgres);
    EXPECT_EQ(TraducirSQL(QStringLiteral("iif(UsaREq, 1, 0)")), QStringLiteral("(CASE WHEN UsaREq THEN 1 ELSE 0 END)"));
}

}  // namespace
