#include "rejilla.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A grid of 1 title row + 3 data rows, row-title column + 2 data columns.
void rellenar(Rejilla& g)
{
    g.setFixedCols(1);
    g.setRows(4);
    g.setCols(3);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            g.setTextMatrix(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
}

TEST(Rejilla, TitleRowAndRowTitleColumnKeepTheOldNumbering)
{
    Rejilla g;
    rellenar(g);
    EXPECT_EQ(g.Rows(), 4);
    EXPECT_EQ(g.Cols(), 3);
    EXPECT_EQ(g.rowCount(), 3);
    EXPECT_EQ(g.columnCount(), 2);
    EXPECT_EQ(g.horizontalHeaderItem(0)->text(), "0.1");
    EXPECT_EQ(g.verticalHeaderItem(1)->text(), "2.0");
    EXPECT_EQ(g.item(0, 0)->text(), "1.1");
    EXPECT_EQ(g.TextMatrix(0, 0), "0.0");  // the corner keeps its text
    EXPECT_EQ(g.TextMatrix(3, 2), "3.2");
    EXPECT_TRUE(g.esCeldaDeDatos(1, 1));
    EXPECT_FALSE(g.esCeldaDeDatos(0, 1));
    EXPECT_FALSE(g.esCeldaDeDatos(1, 0));
    EXPECT_FALSE(g.esCeldaDeDatos(4, 1));
    g.setCols(5);  // new sections are blank, not numbered
    EXPECT_EQ(g.model()->headerData(3, Qt::Horizontal).toString(), QString());

    // Outside the grid: nothing read, nothing written, nothing broken.
    g.setTextMatrix(9, 9, QStringLiteral("x"));
    g.setTextMatrix(-1, 1, QStringLiteral("x"));
    EXPECT_EQ(g.TextMatrix(9, 9), QString());
    EXPECT_EQ(g.TextMatrix(-1, -1), QString());
    EXPECT_EQ(g.Rows(), 4);
}

TEST(Rejilla, ChangingTheFixedColumnOrRowMovesTheirTexts)
{
    Rejilla g;
    rellenar(g);
    g.setFixedCols(0);
    EXPECT_EQ(g.Cols(), 3);
    EXPECT_EQ(g.columnCount(), 3);
    EXPECT_EQ(g.TextMatrix(2, 0), "2.0");
    EXPECT_EQ(g.TextMatrix(0, 0), "0.0");
    EXPECT_TRUE(g.esCeldaDeDatos(2, 0));
    g.setFixedCols(1);
    EXPECT_EQ(g.TextMatrix(2, 0), "2.0");
    EXPECT_EQ(g.TextMatrix(2, 1), "2.1");
    g.setFixedRows(0);
    EXPECT_EQ(g.Rows(), 4);
    EXPECT_EQ(g.TextMatrix(0, 1), "0.1");
    EXPECT_TRUE(g.esCeldaDeDatos(0, 1));
    EXPECT_TRUE(g.horizontalHeader()->isHidden());
    g.setFixedRows(1);
    EXPECT_EQ(g.TextMatrix(0, 1), "0.1");
    EXPECT_EQ(g.TextMatrix(0, 0), "0.0");
    EXPECT_EQ(g.TextMatrix(1, 1), "1.1");
}

TEST(Rejilla, CurrentCellSkipsFixedAndMissingCells)
{
    Rejilla g;
    rellenar(g);
    EXPECT_EQ(g.Row(), 1);  // a grid with data always has a current cell
    EXPECT_EQ(g.Col(), 1);
    QSignalSpy cambios(&g, &Rejilla::celdaCambiada);
    g.setCelda(3, 2);
    ASSERT_EQ(cambios.count(), 1);
    EXPECT_EQ(cambios[0][0].toInt(), 3);
    EXPECT_EQ(cambios[0][1].toInt(), 2);
    g.setCelda(3, 2);  // same cell: no change
    g.setRow(0);
    g.setCol(0);
    g.setRow(4);
    EXPECT_EQ(cambios.count(), 1);
    EXPECT_EQ(g.Row(), 3);
    g.setRow(2);
    EXPECT_EQ(g.Row(), 2);
    EXPECT_EQ(g.Col(), 2);

    g.setRows(1);  // no data row left
    EXPECT_EQ(g.Row(), 1);
    EXPECT_FALSE(g.esCeldaDeDatos(g.Row(), g.Col()));
    g.setCelda(1, 1);  // ignored, no crash
}

TEST(Rejilla, WidthsInTwipsFollowTheScreenResolution)
{
    Rejilla g;
    rellenar(g);
    const double tpp = g.twipsPorPixelX();
    ASSERT_GT(tpp, 0);
    g.setColWidth(1, 1500);
    EXPECT_EQ(g.anchoColumna(1), qRound(1500 / tpp));
    EXPECT_NEAR(g.ColWidth(1), 1500, tpp);
    g.setAnchoColumna(0, 70);
    EXPECT_EQ(g.anchoColumna(0), 70);
    EXPECT_EQ(g.verticalHeader()->width(), 70);
    EXPECT_EQ(g.altoFila(0), g.altoFila(1));  // title row as tall as a data row
    g.setAnchoColumna(7, 10);  // no such column
}

TEST(Rejilla, CellsTakeTheirColumnsAlignment)
{
    Rejilla g;
    rellenar(g);
    g.setColAlignment(2, Qt::AlignRight);
    EXPECT_TRUE(g.item(0, 1)->textAlignment() & Qt::AlignRight);
    g.setRows(6);
    g.setTextMatrix(5, 2, QStringLiteral("nueva"));
    EXPECT_TRUE(g.item(4, 1)->textAlignment() & Qt::AlignRight);
    EXPECT_EQ(g.ColAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST(Rejilla, AddItemInsertsAndRemoveItemDeletesDataRows)
{
    Rejilla g;
    rellenar(g);
    g.AddItem(QStringLiteral("t\ta\tb"), 2);
    EXPECT_EQ(g.Rows(), 5);
    EXPECT_EQ(g.TextMatrix(2, 0), "t");
    EXPECT_EQ(g.TextMatrix(2, 2), "b");
    EXPECT_EQ(g.TextMatrix(3, 1), "2.1");
    g.AddItem(QStringLiteral("fin"));
    EXPECT_EQ(g.TextMatrix(5, 0), "fin");
    g.RemoveItem(2);
    g.RemoveItem(0);  // the title row stays
    EXPECT_EQ(g.Rows(), 5);
    EXPECT_EQ(g.TextMatrix(2, 1), "2.1");
    EXPECT_EQ(g.TextMatrix(0, 1), "0.1");
}

class RejillaVisible : public ::testing::Test {
protected:
    void SetUp() override
    {
        g.setFixedCols(1);
        g.setRows(40);
        g.setCols(3);
        g.resize(300, 150);
        g.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    }
    Rejilla g;
};

TEST_F(RejillaVisible, ClickReportsTheCellInTheOldNumbering)
{
    QSignalSpy pulsaciones(&g, &Rejilla::pulsada);
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, g.rectCelda(3, 2).center());
    ASSERT_EQ(pulsaciones.count(), 1);
    EXPECT_EQ(pulsaciones[0][0].toInt(), 3);
    EXPECT_EQ(pulsaciones[0][1].toInt(), 2);
    EXPECT_EQ(g.Row(), 3);
    EXPECT_EQ(g.Col(), 2);
}

TEST_F(RejillaVisible, ScrollingIsReportedButNotTheScrollOfACellChange)
{
    QSignalSpy desplazamientos(&g, &Rejilla::desplazada);
    QSignalSpy cambios(&g, &Rejilla::celdaCambiada);
    g.setCelda(39, 1);  // scrolls the last row into view
    EXPECT_GT(g.TopRow(), 1);
    EXPECT_EQ(desplazamientos.count(), 0);
    EXPECT_EQ(cambios.count(), 1);
    EXPECT_TRUE(g.celdaVisible(39, 1));
    EXPECT_FALSE(g.celdaVisible(1, 1));

    g.verticalScrollBar()->setValue(0);
    EXPECT_EQ(desplazamientos.count(), 1);
    EXPECT_EQ(g.TopRow(), 1);
    g.setTopRow(10);
    EXPECT_EQ(g.TopRow(), 10);
    EXPECT_FALSE(g.celdaVisible(0, 1));  // not a data cell
}

TEST_F(RejillaVisible, TypingOnTheGridDoesNotJumpToAMatchingCell)
{
    g.setTextMatrix(20, 1, QStringLiteral("zeta"));
    g.setFocus();
    QTest::keyClick(&g, Qt::Key_Z);
    EXPECT_EQ(g.Row(), 1);
}

}  // namespace
