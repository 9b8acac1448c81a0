#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QTableView>

#include <functional>
#include <span>
#include <vector>

// A read-only table model over rows kept by its owner: it holds only the row count and a
// function that gives a cell's text, asked when the cell is painted. A list of 100,000 rows
// costs what its visible cells cost, not one item per cell.
class ModeloFilas : public QAbstractTableModel {
    Q_OBJECT
public:
    // Data row and column from 0.
    using TextoCelda = std::function<QString(int fila, int col)>;
    // A row's background; an invalid colour keeps the list's own.
    using FondoFila = std::function<QColor(int fila)>;

    explicit ModeloFilas(QObject* padre = nullptr);

    void setColumnas(const QStringList& titulos);
    void setAlineacion(int col, Qt::Alignment alineacion);
    // Asked when a row is painted; `fondo` must stay valid while the model shows rows.
    void setFondo(FondoFila fondo);
    // Replaces every row at once. `texto` must stay valid until the next Cargar.
    void Cargar(int filas, TextoCelda texto);
    // One row changed, was inserted before `fila` or was removed, in the rows `texto` reads:
    // the owner changes its rows first, then says so here.
    void FilaCambiada(int fila);
    void FilaInsertada(int fila);
    void FilaQuitada(int fila);
    // `n` rows were appended to the rows `texto` reads (a list read a page at a time).
    void FilasAnadidas(int n);

    QString Texto(int fila, int col) const;
    QString Titulo(int col) const { return m_titulos.value(col); }

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int rol) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override;

private:
    QStringList m_titulos;
    std::vector<Qt::Alignment> m_alineaciones;
    int m_filas = 0;
    TextoCelda m_texto;
    FondoFila m_fondo;
};

// A read-only list on a ModeloFilas, counted the way the old grids count: row 0 is the title
// row and data rows start at 1; columns from 0. Whole rows are selected. Row() is 0 when the
// list has no data row.
class ListaFilas : public QTableView {
    Q_OBJECT
public:
    explicit ListaFilas(QWidget* padre = nullptr);

    ModeloFilas* Modelo() const { return m_modelo; }
    void setColumnas(const QStringList& titulos) { m_modelo->setColumnas(titulos); }
    // Replaces the rows; the current row is lost (the caller selects one afterwards).
    void Cargar(int filas, ModeloFilas::TextoCelda texto) { m_modelo->Cargar(filas, std::move(texto)); }

    int Rows() const { return m_modelo->rowCount() + 1; }
    int Cols() const { return m_modelo->columnCount(); }
    int Row() const;
    int Col() const;
    // A row or column outside the data is ignored.
    void setRow(int fila);
    void setCol(int col);
    void setCelda(int fila, int col);
    bool esCeldaDeDatos(int fila, int col) const;
    void setColAlignment(int col, Qt::Alignment alineacion) { m_modelo->setAlineacion(col, alineacion); }
    // First data row in view; setting it scrolls that row to the top.
    int TopRow() const;
    void setTopRow(int fila);
    // A data cell's rectangle in viewport coordinates (empty for any other), and whether part
    // of it is in view: the settle box of the browsers lies there.
    QRect rectCelda(int fila, int col) const;
    bool celdaVisible(int fila, int col) const;
    // Row 0 gives the column title; "" outside the list.
    QString TextMatrix(int fila, int col) const;

    void setColWidth(int col, int twips);
    // A column's width in pixels, widened where its title or `muestra` (the widest text it
    // usually shows) would not fit in the font in use.
    void FijarAncho(int col, int ancho, const QString& muestra = {});
    // A customer's name as long as the usual ones (longer ones are cut, with a tooltip).
    static constexpr const char* kNombreLargo = "FRUTERÍA ÁLVAREZ HERMANOS, S.L.";
    // The columns of a list, in order: titles, widths (as FijarAncho) and alignments.
    struct Columna {
        const char* titulo;
        int ancho;  // pixels
        Qt::Alignment alineacion;
        const char* muestra = "";  // the widest text the column usually shows
    };
    void PonerColumnas(std::span<const Columna> columnas);
    int ColWidth(int col) const;

    // Typing on the list finds a row, as list views do: the letters typed in quick succession
    // are handed to `buscar` with the data row to look from (a new search starts below the
    // current row; the list wraps), which answers the row to select (0 for none). Without it
    // typing does nothing, so that letters can be commands.
    using Buscador = std::function<int(const QString& texto, int desde)>;
    void setBuscador(Buscador buscar) { m_buscador = std::move(buscar); }

signals:
    void dobleClic(int fila, int col);
    void dobleClicTitulo(int col);
    // A right click made `fila` current; `global` is where to show a menu.
    void menuPedido(int fila, const QPoint& global);

protected:
    void mousePressEvent(QMouseEvent* evento) override;
    void keyboardSearch(const QString& buscar) override;
    // A cell its column shows cut tells its whole text as a tooltip.
    bool viewportEvent(QEvent* evento) override;

private:
    double twipsPorPixel() const;

    ModeloFilas* m_modelo = nullptr;
    Buscador m_buscador;
    QString m_tecleado;
    qint64 m_ultimaTecla = 0;
};
