#pragma once

#include <QString>
#include <QTableWidget>

#include <vector>

// A QTableWidget counted the way the old screens count their grids: row 0 is the title row
// (the horizontal header) and, when there is a fixed column, column 0 holds the row titles
// (the vertical header). Data cells start at (FixedRows(), FixedCols()). Widths and heights
// are also available in twips, as the old layouts give them.
//
// Only 0 or 1 fixed rows and columns are supported; larger values are taken as 1.
// Out-of-range reads give empty results and out-of-range writes are ignored.
class Rejilla : public QTableWidget {
    Q_OBJECT

public:
    explicit Rejilla(QWidget* parent = nullptr);

    // Counts include the fixed row and column.
    int Rows() const;
    void setRows(int filas);
    int Cols() const;
    void setCols(int columnas);
    int FixedRows() const { return m_filasFijas; }
    void setFixedRows(int filas);   // keeps Rows(); the title texts move with the row
    int FixedCols() const { return m_columnasFijas; }
    void setFixedCols(int columnas);  // keeps Cols(); the row titles move with the column

    bool esCeldaDeDatos(int fila, int col) const;

    // "" outside the grid.
    QString TextMatrix(int fila, int col) const;
    void setTextMatrix(int fila, int col, const QString& texto);
    void setCeldaNegrita(int fila, int col, bool negrita);
    bool celdaNegrita(int fila, int col) const;

    // Current cell. With no data cell, Row() is FixedRows() and Col() is FixedCols().
    // Setting a fixed or missing cell is ignored.
    int Row() const;
    void setRow(int fila);
    int Col() const;
    void setCol(int col);
    void setCelda(int fila, int col);

    int TopRow() const;   // first data row in view
    void setTopRow(int fila);
    int LeftCol() const;

    // Sizes in pixels. Row 0 is the title row, column 0 the row-title column when fixed.
    int anchoColumna(int col) const;
    void setAnchoColumna(int col, int pixeles);
    // Sets the width in pixels, widened where the column's title or `muestra` (the widest text
    // it usually shows) would not fit the font in use.
    void FijarAncho(int col, int pixeles, const QString& muestra = {});
    int altoFila(int fila) const;
    void setAltoFilas(int pixeles);  // every row, the title row included

    // The same in twips, converted with this screen's pixel size.
    int ColWidth(int col) const;
    void setColWidth(int col, int twips);
    int RowHeight(int fila) const;
    double twipsPorPixelX() const;
    double twipsPorPixelY() const;

    // Alignment of a data column, kept for the cells it gets later.
    Qt::Alignment ColAlignment(int col) const;
    void setColAlignment(int col, Qt::Alignment alineacion);

    // Data-cell rectangle in viewport coordinates; empty for any other cell.
    QRect rectCelda(int fila, int col) const;
    // True when at least part of the data cell is in view.
    bool celdaVisible(int fila, int col) const;

    // Adds a row with tab-separated texts before `fila` (at the end when -1); removes a data row.
    void AddItem(const QString& textos, int fila = -1);
    void RemoveItem(int fila);

signals:
    // The current cell changed (old numbering); not raised for the scroll that follows it.
    void celdaCambiada(int fila, int col);
    // The user or the program scrolled the grid.
    void desplazada();
    // A data cell was clicked.
    void pulsada(int fila, int col);
    void focoRecibido();

protected:
    void currentChanged(const QModelIndex& actual, const QModelIndex& anterior) override;
    void focusInEvent(QFocusEvent* evento) override;
    void mousePressEvent(QMouseEvent* evento) override;
    void changeEvent(QEvent* evento) override;
    void keyboardSearch(const QString& buscar) override;
    // A cell its column shows cut tells its whole text as a tooltip.
    bool viewportEvent(QEvent* evento) override;

private:
    QTableWidgetItem* itemDeCelda(int fila, int col, bool crear);
    const QTableWidgetItem* itemDeCelda(int fila, int col) const;
    void completarCabeceras();
    void asegurarCeldaActual();
    void ajustarAltoFilas();
    void alDesplazar();

    int m_filasFijas = 1;
    int m_columnasFijas = 0;
    int m_anchoFija = 0;       // width of the row-title column, kept while it is hidden
    QString m_esquina;         // cell (0, 0) when both are fixed; it is never drawn
    std::vector<Qt::Alignment> m_alineaciones;
    bool m_enCambioCelda = false;
    bool m_altoFijado = false;
};
