#include "autoescrituraqt.h"
#include "entorno.h"
#include "global.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(AutoescrituraQt, TypingCompletesTheBoxAndKeepsTheCaretAfterTheTypedPart)
{
    AplicacionDePrueba();
    BaseDePrueba base;
    BaseDatos bd(base.ruta);
    bd.CrearTablasNuevas();
    bd.Motor()->ejecutar(QStringLiteral("insert into Cliente (Codigo, Nombre) values (12, 'GARCIA LOPEZ')"));
    ASSERT_TRUE(bd.IniciarServicioAutoescritura(0));

    QWidget ventana;
    auto* caja = new QLineEdit(&ventana);
    auto* etiqueta = new QLabel(&ventana);
    qint16 largo = 0;
    QObject::connect(caja, &QLineEdit::textEdited, [&] { Autoescribir(bd, 0, largo, etiqueta, caja); });
    ventana.show();
    caja->setFocus();
    QTest::keyClicks(caja, QStringLiteral("gar"));
    EXPECT_EQ(caja->text(), QStringLiteral("GARCIA LOPEZ"));
    EXPECT_EQ(caja->selectedText(), QStringLiteral("CIA LOPEZ"));
    EXPECT_EQ(caja->cursorPosition(), 3);
    EXPECT_EQ(etiqueta->text(), QStringLiteral("000012"));
    QTest::keyClicks(caja, QStringLiteral("x"));  // types over the selection
    EXPECT_EQ(caja->text(), QStringLiteral("GARx"));  // the typed part now reads as stored
    EXPECT_EQ(etiqueta->text(), QString());
    QTest::keyClick(caja, Qt::Key_Backspace);
    EXPECT_EQ(caja->text(), QStringLiteral("GAR"));
    bd.TerminarServicioAutoescritura(0);
}

}  // namespace
