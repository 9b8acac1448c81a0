// Qt Designer finds the control through its plugin.

#include <vantel/CommSocket.h>

#include <gtest/gtest.h>

#ifdef VANTEL_PLUGIN_DESIGNER

#include <QPluginLoader>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <memory>

TEST(PluginDesigner, HandsOutAVisibleControlUnderItsQualifiedName)
{
    QPluginLoader cargador(QStringLiteral(VANTEL_PLUGIN_DESIGNER));
    auto *interfaz = qobject_cast<QDesignerCustomWidgetInterface *>(cargador.instance());
    ASSERT_NE(interfaz, nullptr) << cargador.errorString().toStdString();
    EXPECT_EQ(interfaz->name(), QStringLiteral("Vantel::CommSocket"));
    EXPECT_EQ(interfaz->includeFile(), QStringLiteral("vantel/CommSocket.h"));
    EXPECT_TRUE(interfaz->domXml().contains(QLatin1String("class=\"Vantel::CommSocket\"")));
    EXPECT_FALSE(interfaz->icon().isNull());

    QWidget formulario;
    QWidget *control = interfaz->createWidget(&formulario);
    ASSERT_NE(qobject_cast<Vantel::CommSocket *>(control), nullptr);
    EXPECT_FALSE(control->isHidden()); // a form being designed shows it
    EXPECT_TRUE(control->setProperty("TmOutCnx", 90));
}

#endif
