#include "almacen_prueba.h"

namespace {

struct Caja : CajaAutoescritura {
    QString t;
    int inicio = -1, largo = -1;
    int cambios = 0;
    QString texto() const override { return t; }
    void fijarTexto(const QString& s) override
    {
        t = s;
        ++cambios;
    }
    void seleccionar(int i, int l) override
    {
        inicio = i;
        largo = l;
    }
};

struct Etiqueta : EtiquetaAutoescritura {
    QString t = QStringLiteral("sin tocar");
    void fijarTexto(const QString& s) override { t = s; }
};

class Autoescritura : public AlmacenDePrueba {
protected:
    void SetUp() override
    {
        AlmacenDePrueba::SetUp();
        cliente(12, QStringLiteral("GARCIA LOPEZ"));
        cliente(13, QStringLiteral("GARCIA PEREZ"));
        cliente(14, QStringLiteral("ZAMORA"));
    }
    // Types `texto` as the user would: the box changes, then the service runs.
    void teclear(int servicio, const QString& texto)
    {
        caja.t = texto;
        bd->Autoescritura(servicio, largo, &etiqueta, &caja);
    }
    Caja caja;
    Etiqueta etiqueta;
    qint16 largo = 0;
};

TEST_F(Autoescritura, CompletesCustomerNamesAndSelectsTheRest)
{
    ASSERT_TRUE(bd->IniciarServicioAutoescritura(0));
    teclear(0, QStringLiteral("g"));
    teclear(0, QStringLiteral("ga"));
    teclear(0, QStringLiteral("gar"));
    EXPECT_EQ(caja.t, QStringLiteral("GARCIA LOPEZ"));
    EXPECT_EQ(caja.inicio, 3);
    EXPECT_EQ(caja.largo, 9);  // "CIA LOPEZ"
    EXPECT_EQ(etiqueta.t, QStringLiteral("000012"));
    EXPECT_EQ(largo, 3);
    // Typing over the selection: "garx" matches nothing.
    teclear(0, QStringLiteral("garx"));
    EXPECT_EQ(caja.t, QStringLiteral("garx"));
    EXPECT_EQ(etiqueta.t, QString());
    // A backspace only clears the label.
    etiqueta.t = QStringLiteral("x");
    teclear(0, QStringLiteral("gar"));
    EXPECT_EQ(etiqueta.t, QString());
    EXPECT_EQ(caja.t, QStringLiteral("gar"));
    teclear(0, QStringLiteral("garcia p"));
    EXPECT_EQ(caja.t, QStringLiteral("GARCIA PEREZ"));
    EXPECT_EQ(etiqueta.t, QStringLiteral("000013"));
    teclear(0, QStringLiteral("zz"));  // past the last name
    EXPECT_EQ(etiqueta.t, QString());
    EXPECT_EQ(bd->NombreCliente(14), QStringLiteral("ZAMORA"));
    EXPECT_EQ(bd->NombreCliente(99), QString());
    largo = 0;
    teclear(0, QStringLiteral("z"));  // the index is set again after NombreCliente
    EXPECT_EQ(caja.t, QStringLiteral("ZAMORA"));
    EXPECT_TRUE(bd->TerminarServicioAutoescritura(0));
}

TEST_F(Autoescritura, DoesNothingWhileTheServiceIsNotRunning)
{
    teclear(0, QStringLiteral("gar"));
    EXPECT_EQ(caja.t, QStringLiteral("gar"));
    EXPECT_EQ(caja.cambios, 0);
    EXPECT_EQ(etiqueta.t, QStringLiteral("sin tocar"));
    EXPECT_EQ(bd->NombreCliente(12), QString());
}

TEST_F(Autoescritura, NestedUsersShareTheArticleService)
{
    bd->IniciarServicioAutoescritura(1);
    bd->IniciarServicioAutoescritura(1);
    bd->TerminarServicioAutoescritura(1);
    teclear(1, QStringLiteral("quesO t"));
    EXPECT_EQ(caja.t, QStringLiteral("QUESO TIERNO"));
    EXPECT_EQ(etiqueta.t, QStringLiteral("000022"));
    bd->TerminarServicioAutoescritura(1);
    largo = 0;
    caja.cambios = 0;
    teclear(1, QStringLiteral("pan"));
    EXPECT_EQ(caja.cambios, 0);  // the last user ended it
    bd->TerminarServicioAutoescritura(1);  // one end too many is harmless
    EXPECT_TRUE(bd->IniciarServicioAutoescritura(1));
    teclear(1, QStringLiteral("pan "));
    EXPECT_EQ(caja.t, QStringLiteral("PAN DE BARRA"));
}

TEST_F(Autoescritura, ArticlesOfAnotherSectionAreNotOffered)
{
    // Section 3 (the bakery) holds bread only; "TERNERA" lives in sections 1 and 2.
    Global::Seccion = 3;
    bd->IniciarServicioAutoescritura(1);
    teclear(1, QStringLiteral("TERN"));
    EXPECT_EQ(caja.t, QStringLiteral("TERN"));
    EXPECT_EQ(etiqueta.t, QString());
    bd->TerminarServicioAutoescritura(1);
}

}  // namespace
