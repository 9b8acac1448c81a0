#include "basedatos.h"
#include "entorno.h"

#include <gtest/gtest.h>

namespace {

TEST(Grupos, ListAndReadTheWorkingGroup)
{
    BaseDePrueba base;
    BaseDatos bd(base.ruta);
    const std::vector<FilaGrupo> grupos = bd.ListaGrupos();
    ASSERT_EQ(grupos.size(), 3u);
    EXPECT_EQ(grupos[0].codgpo, 1);
    EXPECT_EQ(grupos[0].NOMGPO, QStringLiteral("TIENDA PRINCIPAL"));

    qint16 seccion = 9, tarifa = 9;
    qint32 almacen = 9;
    TablaDepartamentos ivas{};
    ivas.fill(99);
    bd.DatosGrupo(1, seccion, tarifa, almacen, ivas);
    EXPECT_EQ(seccion, 1);
    EXPECT_EQ(tarifa, 1);
    EXPECT_EQ(almacen, 1);
    EXPECT_FLOAT_EQ(ivas[1], 10.0f);
    EXPECT_FLOAT_EQ(ivas[5], 4.0f);
    EXPECT_FLOAT_EQ(ivas[7], 21.0f);
    EXPECT_FLOAT_EQ(ivas[10], 0.0f);  // type 0: no VAT type
    EXPECT_EQ(bd.NombreSeccion(1), QStringLiteral("TIENDA"));
    EXPECT_EQ(bd.NombreSeccion(99), QString());
    EXPECT_EQ(bd.NombreAlmacen(2), QStringLiteral("CAMARA FRIGORIFICA"));

    bd.DatosGrupo(77, seccion, tarifa, almacen, ivas);  // no such group
    EXPECT_EQ(seccion, 0);
    EXPECT_EQ(tarifa, 0);
    EXPECT_FLOAT_EQ(ivas[1], 0.0f);
}

TEST(Grupos, VatTypeOutOfRangeGivesZero)
{
    BaseDePrueba base;
    {
        motor::BaseDeDatos m(base.ruta);
        m.ejecutar(QStringLiteral("update GRUPOS set IVD03=2, IVA02=700, IVD04=6 where CODGPO=1"));
    }
    BaseDatos bd(base.ruta);
    qint16 seccion = 0, tarifa = 0;
    qint32 almacen = 0;
    TablaDepartamentos ivas{};
    bd.DatosGrupo(1, seccion, tarifa, almacen, ivas);
    EXPECT_FLOAT_EQ(ivas[3], 7.0f);
    EXPECT_FLOAT_EQ(ivas[4], 0.0f);
}

TEST(Grupos, WarehouseColumnIsFoundInAnyCase)
{
    BaseDePrueba minusculas({true, true, true, kv740::FormaPrograma::Ninguna, {}});
    EXPECT_TRUE(BaseDatos(minusculas.ruta).VersionAlmacenes());

    BaseDePrueba sin({false, false, true, kv740::FormaPrograma::Ninguna, {}});
    BaseDatos bd(sin.ruta);
    EXPECT_FALSE(bd.VersionAlmacenes());
    qint16 seccion = 0, tarifa = 0;
    qint32 almacen = 5;
    TablaDepartamentos ivas{};
    bd.DatosGrupo(1, seccion, tarifa, almacen, ivas);
    EXPECT_EQ(almacen, 0);
    EXPECT_EQ(bd.NombreAlmacen(1), QString());  // without warehouses there are no names
}

TEST(Grupos, TextsWithQuotesAndNonAsciiPassThroughSql)
{
    BaseDePrueba base;
    motor::BaseDeDatos m(base.ruta);
    const QString nombre = QStringLiteral("O'DONNELL \\ ÑANDÚ €; DROP TABLE SECCS; --");
    m.ejecutar(QStringLiteral("insert into SECCS (NMSECC, NOMSEC) values (9, %1)").arg(motor::CitarTexto(nombre.left(30))));
    BaseDatos bd(base.ruta);
    EXPECT_EQ(bd.NombreSeccion(9), nombre.left(30));
    EXPECT_TRUE(m.existeTabla(QStringLiteral("SECCS")));
}

}  // namespace
