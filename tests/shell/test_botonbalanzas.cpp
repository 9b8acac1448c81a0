#include "comun_shell.h"

#include "brwonlin.h"
#include "mainmdi.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class BotonBalanzas : public ConPrograma {};

TEST_F(BotonBalanzas, OpensTheOneTicketBrowserOrBringsItForward)
{
    BaseDePrueba base;
    TrabajarSobre(base);
    MainMDI v;
    v.show();

    auto* onl = qobject_cast<QToolButton*>(v.Boton(QStringLiteral("onl")));
    ASSERT_TRUE(onl);
    EXPECT_EQ(onl->text().trimmed(), QStringLiteral("Balanzas"));
    // After the other browsers, before "Configurar".
    EXPECT_LT(v.Boton(QStringLiteral("cli"))->x(), onl->x());
    EXPECT_LT(onl->x(), v.Boton(QStringLiteral("cfg"))->x());

    onl->click();
    BrwOnLin* tickets = BrwOnLin::Instancia();
    ASSERT_TRUE(tickets);
    auto* otra = v.area()->addSubWindow(new QWidget);
    otra->show();
    v.area()->setActiveSubWindow(otra);
    onl->click();
    EXPECT_EQ(BrwOnLin::Instancia(), tickets);
    EXPECT_EQ(v.area()->subWindowList().size(), 2);
    EXPECT_EQ(v.area()->activeSubWindow()->widget(), tickets);
}

}  // namespace
