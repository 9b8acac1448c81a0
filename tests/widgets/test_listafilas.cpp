#include "editorcelda.h"
#include "listafilas.h"

#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

namespace {

QString texto(int fila, int col) { return QStringLiteral("%1.%2").arg(fila + 1).arg(col); }

TEST(ListaFilas, TitleRowIsRowZeroAndAnEmptyListHasNoCurrentRow)
{
    ListaFilas l;
    l.setColumnas({QStringLiteral("Código"), QStringLiteral("Nombre")});
    EXPECT_EQ(l.Rows(), 1);
    EXPECT_EQ(l.Row(), 0);
    l.setRow(1);  // no data row: ignored
    EXPECT_EQ(l.Row(), 0);
    EXPECT_EQ(l.TextMatrix(0, 1), QStringLiteral("Nombre"));

    l.Cargar(3, texto);
    EXPECT_EQ(l.Rows(), 4);
    EXPECT_EQ(l.TextMatrix(3, 1), QStringLiteral("3.1"));
    EXPECT_EQ(l.TextMatrix(4, 0), QString());
    EXPECT_EQ(l.TextMatrix(1, 7), QString());
    l.setRow(2);
    l.setCol(1);
    EXPECT_EQ(l.Row(), 2);
    EXPECT_EQ(l.Col(), 1);
    // The whole row is highlighted.
    EXPECT_EQ(l.selectionModel()->selectedIndexes().size(), 2);
    l.setRow(9);
    EXPECT_EQ(l.Row(), 2);
    l.Cargar(3, texto);  // reloading forgets the row: the caller chooses one
    EXPECT_EQ(l.Row(), 0);
}

TEST(ListaFilas, OnlyTheCellsOnScreenAreAskedFor)
{
    ListaFilas l;
    l.resize(400, 300);
    l.setColumnas({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    std::set<int> filasPedidas;
    l.Cargar(100000, [&](int fila, int col) {
        filasPedidas.insert(fila);
        return texto(fila, col);
    });
    l.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&l));
    l.setRow(50000);
    QApplication::processEvents();
    l.repaint();
    EXPECT_LT(filasPedidas.size(), 200u);
    EXPECT_TRUE(filasPedidas.count(49999));
}

TEST(ListaFilas, DoubleClicksAndRightClickReportRowsInTheOldNumbering)
{
    ListaFilas l;
    l.resize(400, 300);
    l.setColumnas({QStringLiteral("A"), QStringLiteral("B")});
    l.Cargar(5, texto);
    l.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&l));
    QSignalSpy titulo(&l, &ListaFilas::dobleClicTitulo);
    QSignalSpy celda(&l, &ListaFilas::dobleClic);
    QSignalSpy menu(&l, &ListaFilas::menuPedido);

    QHeaderView* cab = l.horizontalHeader();
    const QPoint enB(cab->sectionViewportPosition(1) + 5, cab->height() / 2);
    QTest::mouseDClick(cab->viewport(), Qt::LeftButton, {}, enB);
    ASSERT_EQ(titulo.size(), 1);
    EXPECT_EQ(titulo[0][0].toInt(), 1);

    const QRect r = l.visualRect(l.model()->index(2, 0));
    QTest::mouseClick(l.viewport(), Qt::LeftButton, {}, r.center());  // as a real double click starts
    QTest::mouseDClick(l.viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(celda.size(), 1);
    EXPECT_EQ(celda[0][0].toInt(), 3);

    const QRect r4 = l.visualRect(l.model()->index(3, 1));
    QTest::mouseClick(l.viewport(), Qt::RightButton, {}, r4.center());
    ASSERT_EQ(menu.size(), 1);
    EXPECT_EQ(menu[0][0].toInt(), 4);
    EXPECT_EQ(l.Row(), 4);
}

// The settle box of the browsers lies over a list cell and follows it as the list scrolls.
TEST(ListaFilas, CellEditorFollowsTheListsCell)
{
    ListaFilas l;
    l.setColumnas({QStringLiteral("A"), QStringLiteral("B")});
    l.Cargar(1000, texto);
    l.resize(300, 200);
    l.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&l));
    EditorCelda caja(&l);
    EXPECT_EQ(caja.rejilla(), nullptr);
    EXPECT_FALSE(l.esCeldaDeDatos(0, 0));
    EXPECT_FALSE(l.esCeldaDeDatos(1001, 0));
    ASSERT_TRUE(caja.abrir(2, 1, QStringLiteral("x")));
    EXPECT_EQ(caja.geometry(), l.rectCelda(2, 1));
    l.setTopRow(900);
    EXPECT_EQ(l.TopRow(), 900);
    EXPECT_TRUE(l.celdaVisible(901, 0));
    EXPECT_FALSE(l.celdaVisible(2, 1));
    EXPECT_TRUE(caja.isHidden());
    l.setTopRow(1);
    EXPECT_FALSE(caja.isHidden());
    EXPECT_FALSE(caja.abrir(0, 1, QString()));
}

}  // namespace
