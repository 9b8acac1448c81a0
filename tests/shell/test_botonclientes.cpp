#include "comun_shell.h"

#include "browcli.h"
#include "configurar.h"
#include "listafilas.h"
#include "mainmdi.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class BotonClientes : public ConPrograma {};

TEST_F(BotonClientes, OpensTheOneCustomerBrowserAndConfigureClosesItFirst)
{
    BaseDePrueba base;
    TrabajarSobre(base);
    MainMDI v;
    v.show();

    auto* cli = qobject_cast<QToolButton*>(v.Boton(QStringLiteral("cli")));
    ASSERT_TRUE(cli);
    EXPECT_EQ(cli->text().trimmed(), QStringLiteral("Clientes"));
    // After the placeholder, before "Configurar".
    EXPECT_LT(v.Boton(QStringLiteral("sep1"))->x(), cli->x());
    EXPECT_LT(cli->x(), v.Boton(QStringLiteral("cfg"))->x());

    cli->click();
    cli->click();
    ASSERT_EQ(v.area()->subWindowList().size(), 1);
    BrowCli* b = BrowCli::Instancia();
    ASSERT_TRUE(b);
    EXPECT_EQ(v.area()->activeSubWindow()->widget(), b);
    EXPECT_EQ(b->Grd->Rows(), 1);  // no customers yet

    bool abiertoAlMostrar = true;
    CuandoAparezcaModal([&](QWidget* w) {
        abiertoAlMostrar = BrowCli::Instancia() != nullptr;
        if (auto* c = qobject_cast<Configurar*>(w))
            c->Cancelo->click();
        else
            w->close();
    });
    v.TBar_ButtonClick(QStringLiteral("cfg"));
    EXPECT_FALSE(abiertoAlMostrar);
}

}  // namespace
