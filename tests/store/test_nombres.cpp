// Names with Ñ and accented letters, as a shop in Spain types them: completion, the list in
// name order and the filter by name ignore case for them as for A-Z, also for rows that a plain
// sqlite3 client wrote, and the database stays sound for that client.

#include "almacen_prueba.h"
#include "ordennombres.h"

#include <QProcess>

namespace {

struct Caja : CajaAutoescritura {
    QString t;
    QString texto() const override { return t; }
    void fijarTexto(const QString& s) override { t = s; }
    void seleccionar(int, int) override {}
};

struct Etiqueta : EtiquetaAutoescritura {
    QString t;
    void fijarTexto(const QString& s) override { t = s; }
};

class NombresEspanoles : public AlmacenDePrueba {
protected:
    void SetUp() override
    {
        AlmacenDePrueba::SetUp();
        // Written by another program while Quenza has the database open.
        sqlite3(QStringLiteral(
            "INSERT INTO Cliente (Codigo, Nombre, UsaREq, Descuento) VALUES "
            "(20, 'MUÑOZ GARCIA', 0, 0), (21, 'MUNOZ PEREZ', 0, 0), (22, 'ÁLVAREZ RUIZ', 0, 0), (23, 'ALONSO', 0, 0), "
            "(24, 'AMADOR', 0, 0), (25, 'RESTAURANTE EL PUERTO', 0, 0), (26, 'ÑANDÚ', 0, 0), (27, 'NUÑEZ', 0, 0), "
            "(28, 'OLIVA', 0, 0), (29, 'muñoz garcía', 0, 0);"
            "INSERT INTO PLUSES (SECCION, CODPLU, NOMPLU, CADA, DEPTO) VALUES "
            "(1, 9901, 'CECINA DE LEÓN CURADA', 0, 1), (1, 9902, 'CECINA DE LEON FRESCA', 0, 1), (2, 9903, 'CECINA DE LEÓN AHUMADA', 0, 1);"));
    }

    QString sqlite3(const QString& sql)
    {
        const ClienteExterno p(base->ruta, sql);
        EXPECT_EQ(p.codigo, 0) << p.error.toStdString();
        return p.salida.trimmed();
    }

    // What the box and the label show after typing `texto` from an empty box.
    std::pair<QString, QString> completar(int servicio, const QString& texto)
    {
        Caja caja;
        Etiqueta etiqueta;
        qint16 largo = 0;
        caja.t = texto;
        bd->Autoescritura(servicio, largo, &etiqueta, &caja);
        return {caja.t, etiqueta.t};
    }

    QString plan(const QString& sql, std::vector<Valor> parametros)
    {
        QStringList pasos;
        const bool pg = m().esPostgreSQL();
        // A handful of rows: PostgreSQL is told that reading them all costs too much.
        if (pg)
            m().ejecutarNativo(QStringLiteral("SET enable_seqscan = off"));
        motor::BaseDeDatos::Sentencia& s = m().preparar((pg ? QStringLiteral("EXPLAIN ") : QStringLiteral("EXPLAIN QUERY PLAN ")) + sql);
        s.vincular(parametros);
        while (s.paso())
            pasos << s.columna(pg ? 0 : 3).aTexto();
        s.reiniciar();
        if (pg)
            m().ejecutarNativo(QStringLiteral("SET enable_seqscan = on"));
        return pasos.join(QLatin1Char('\n'));
    }
};

TEST_F(NombresEspanoles, CompletionIgnoresTheCaseOfÑAndAccentedLetters)
{
    ASSERT_TRUE(bd->IniciarServicioAutoescritura(0));
    ASSERT_TRUE(bd->IniciarServicioAutoescritura(1));
    using Par = std::pair<QString, QString>;
    EXPECT_EQ(completar(0, QStringLiteral("muñ")), Par(QStringLiteral("MUÑOZ GARCIA"), QStringLiteral("000020")));
    EXPECT_EQ(completar(0, QStringLiteral("MUÑOZ GARCÍ")), Par(QStringLiteral("muñoz garcía"), QStringLiteral("000029")));
    EXPECT_EQ(completar(0, QStringLiteral("mun")), Par(QStringLiteral("MUNOZ PEREZ"), QStringLiteral("000021")));
    EXPECT_EQ(completar(0, QStringLiteral("álv")), Par(QStringLiteral("ÁLVAREZ RUIZ"), QStringLiteral("000022")));
    EXPECT_EQ(completar(0, QStringLiteral("ñandú")), Par(QStringLiteral("ÑANDÚ"), QStringLiteral("000026")));
    EXPECT_EQ(completar(0, QStringLiteral("alv")), Par(QStringLiteral("alv"), QString()));  // Á is not A to the eye
    EXPECT_EQ(completar(0, QStringLiteral("nuñ")), Par(QStringLiteral("NUÑEZ"), QStringLiteral("000027")));
    // Articles of the working section only; "leon" passes over the accented one to the plain one.
    Global::Seccion = 1;
    EXPECT_EQ(completar(1, QStringLiteral("cecina de león")), Par(QStringLiteral("CECINA DE LEÓN CURADA"), QStringLiteral("009901")));
    EXPECT_EQ(completar(1, QStringLiteral("cecina de leon")), Par(QStringLiteral("CECINA DE LEON FRESCA"), QStringLiteral("009902")));
    EXPECT_EQ(completar(1, QStringLiteral("cecina de león a")), Par(QStringLiteral("cecina de león a"), QString()));
    Global::Seccion = 2;
    EXPECT_EQ(completar(1, QStringLiteral("cecina de león a")), Par(QStringLiteral("CECINA DE LEÓN AHUMADA"), QStringLiteral("009903")));
    bd->TerminarServicioAutoescritura(1);
    bd->TerminarServicioAutoescritura(0);

    // Both completions seek on an index; neither reads the whole table.
    const bool pg = m().esPostgreSQL();
    const QString clientes = plan(QStringLiteral("SELECT Codigo, Nombre FROM Cliente WHERE %1 >= ?1 AND %1 < ?2 ORDER BY %1, Nombre")
                                      .arg(ordennombres::ExpresionClave(QStringLiteral("Nombre"), pg)),
                                  {QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_TRUE(clientes.contains(pg ? QStringLiteral("Index Scan using cliente_ordennombres")
                                     : QStringLiteral("SEARCH Cliente USING INDEX Cliente_OrdenNombres")))
        << clientes.toStdString();
    const QString articulos = plan(
        QStringLiteral("SELECT CODPLU, NOMPLU FROM PLUSES WHERE SECCION = ?3 AND %1 >= ?1 AND %1 < ?2 ORDER BY %1, NOMPLU")
            .arg(ordennombres::ExpresionClave(QStringLiteral("NOMPLU"), pg)),
        {QStringLiteral("a"), QStringLiteral("b"), 1});
    EXPECT_TRUE(articulos.contains(pg ? QStringLiteral("Index Scan using pluses_ordennombres")
                                      : QStringLiteral("SEARCH PLUSES USING INDEX PLUSES_OrdenNombres")))
        << articulos.toStdString();
    EXPECT_FALSE(articulos.contains(pg ? QStringLiteral("Sort") : QStringLiteral("TEMP B-TREE"))) << articulos.toStdString();
}

TEST_F(NombresEspanoles, TheListByNameIsInSpanishOrder)
{
    QStringList nombres;
    for (const FilaCliente& f : bd->ListaClientes(QStringLiteral("Nombre")))
        nombres << f.nombre.aTexto();
    const QStringList esperado{QStringLiteral("ALONSO"),       QStringLiteral("ÁLVAREZ RUIZ"), QStringLiteral("AMADOR"),
                               QStringLiteral("MUNOZ PEREZ"),  QStringLiteral("MUÑOZ GARCIA"), QStringLiteral("muñoz garcía"),
                               QStringLiteral("NUÑEZ"),        QStringLiteral("ÑANDÚ"),        QStringLiteral("OLIVA"),
                               QStringLiteral("RESTAURANTE EL PUERTO")};
    QStringList nuestros;
    for (const QString& n : nombres)
        if (esperado.contains(n))
            nuestros << n;
    EXPECT_EQ(nuestros, esperado);
}

TEST_F(NombresEspanoles, TheFilterByNameIgnoresCaseButNotAccents)
{
    albaran(1, 20, QDate(2024, 3, 1));
    albaran(2, 29, QDate(2024, 3, 1));
    albaran(3, 22, QDate(2024, 3, 1));
    auto notas = [&](const QString& nombre) {
        std::vector<qint32> n;
        for (const FilaAlbaran& f : bd->ListaAlbaranes({}, nombre))
            n.push_back(f.Numero);
        return n;
    };
    EXPECT_EQ(notas(QStringLiteral("muñoz garcia")), std::vector<qint32>{1});
    EXPECT_EQ(notas(QStringLiteral("MUÑOZ GARCÍA")), std::vector<qint32>{2});
    EXPECT_EQ(notas(QStringLiteral("álvarez ruiz")), std::vector<qint32>{3});
    EXPECT_TRUE(notas(QStringLiteral("alvarez ruiz")).empty());
    EXPECT_TRUE(notas(QStringLiteral("muñoz")).empty());
}

TEST_F(NombresEspanoles, APlainSqliteClientReadsWritesAndChecksTheDatabase)
{
    // Our rows and the other client's rows, changed by both: the index of the names holds.
    Coleccion campos;
    campos.fijar(QStringLiteral("Codigo"), Valor(qint64(40)));
    campos.fijar(QStringLiteral("Nombre"), Valor(QStringLiteral("ÍÑIGO ÚBEDA")));
    ASSERT_TRUE(bd->NuevoCliente(40, campos));
    EXPECT_EQ(sqlite3(QStringLiteral("UPDATE Cliente SET Nombre='PEÑA ÓSCAR' WHERE Codigo=40; "
                                     "UPDATE PLUSES SET NOMPLU='CECINA DE LEÓN SERRANA' WHERE CODPLU=9902; "
                                     "DELETE FROM Cliente WHERE Codigo=24; ")
                      + (m().esPostgreSQL() ? QStringLiteral("SELECT 'ok';") : QStringLiteral("PRAGMA integrity_check;"))),
              QStringLiteral("ok"));
    ASSERT_TRUE(bd->IniciarServicioAutoescritura(0));
    EXPECT_EQ(completar(0, QStringLiteral("peña ó")).first, QStringLiteral("PEÑA ÓSCAR"));
    bd->TerminarServicioAutoescritura(0);
    bd->CrearTablasNuevas();  // at every start: the index is left as it is
    if (!m().esPostgreSQL()) {
        EXPECT_EQ(m().valorUnico(QStringLiteral("PRAGMA integrity_check")).aTexto(), QStringLiteral("ok"));
    }
    EXPECT_EQ(sqlite3(QStringLiteral("SELECT Nombre FROM Cliente WHERE Codigo=40")), QStringLiteral("PEÑA ÓSCAR"));
}

}  // namespace
