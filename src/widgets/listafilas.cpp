#include "listafilas.h"

#include "anchocolumna.h"

#include <QApplication>
#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr Qt::Alignment kAlineacionInicial = Qt::AlignLeft | Qt::AlignVCenter;

}  // namespace

// --- ModeloFilas -------------------------------------------------------------------------

ModeloFilas::ModeloFilas(QObject* padre) : QAbstractTableModel(padre) {}

void ModeloFilas::setColumnas(const QStringList& titulos)
{
    beginResetModel();
    m_titulos = titulos;
    m_alineaciones.assign(static_cast<size_t>(titulos.size()), kAlineacionInicial);
    endResetModel();
}

void ModeloFilas::setAlineacion(int col, Qt::Alignment alineacion)
{
    if (col < 0 || col >= columnCount())
        return;
    if (!(alineacion & Qt::AlignVertical_Mask))
        alineacion |= Qt::AlignVCenter;
    m_alineaciones[static_cast<size_t>(col)] = alineacion;
    if (m_filas > 0)
        emit dataChanged(index(0, col), index(m_filas - 1, col), {Qt::TextAlignmentRole});
}

void ModeloFilas::setFondo(FondoFila fondo)
{
    m_fondo = std::move(fondo);
    if (m_filas > 0)
        emit dataChanged(index(0, 0), index(m_filas - 1, columnCount() - 1), {Qt::BackgroundRole});
}

void ModeloFilas::Cargar(int filas, TextoCelda texto)
{
    beginResetModel();
    m_filas = texto ? std::max(filas, 0) : 0;
    m_texto = std::move(texto);
    endResetModel();
}

void ModeloFilas::FilaCambiada(int fila)
{
    if (fila >= 0 && fila < m_filas && columnCount() > 0)
        emit dataChanged(index(fila, 0), index(fila, columnCount() - 1));
}

void ModeloFilas::FilaInsertada(int fila)
{
    if (!m_texto || fila < 0 || fila > m_filas)
        return;
    beginInsertRows({}, fila, fila);
    ++m_filas;
    endInsertRows();
}

void ModeloFilas::FilasAnadidas(int n)
{
    if (!m_texto || n <= 0)
        return;
    beginInsertRows({}, m_filas, m_filas + n - 1);
    m_filas += n;
    endInsertRows();
}

void ModeloFilas::FilaQuitada(int fila)
{
    if (fila < 0 || fila >= m_filas)
        return;
    beginRemoveRows({}, fila, fila);
    --m_filas;
    endRemoveRows();
}

QString ModeloFilas::Texto(int fila, int col) const
{
    if (fila < 0 || fila >= m_filas || col < 0 || col >= columnCount())
        return {};
    return m_texto(fila, col);
}

int ModeloFilas::rowCount(const QModelIndex& padre) const { return padre.isValid() ? 0 : m_filas; }

int ModeloFilas::columnCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : static_cast<int>(m_titulos.size());
}

QVariant ModeloFilas::data(const QModelIndex& indice, int rol) const
{
    if (!indice.isValid())
        return {};
    if (rol == Qt::DisplayRole)
        return Texto(indice.row(), indice.column());
    if (rol == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_alineaciones[static_cast<size_t>(indice.column())]);
    if (rol == Qt::BackgroundRole && m_fondo && indice.row() < m_filas) {
        const QColor color = m_fondo(indice.row());
        if (color.isValid())
            return color;
    }
    return {};
}

QVariant ModeloFilas::headerData(int seccion, Qt::Orientation orientacion, int rol) const
{
    if (orientacion == Qt::Horizontal && rol == Qt::DisplayRole)
        return m_titulos.value(seccion);
    return {};
}

// --- ListaFilas --------------------------------------------------------------------------

ListaFilas::ListaFilas(QWidget* padre) : QTableView(padre), m_modelo(new ModeloFilas(this))
{
    setModel(m_modelo);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    for (QHeaderView* h : {horizontalHeader(), verticalHeader()}) {
        h->setHighlightSections(false);
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setMinimumSectionSize(0);
    }
    // Double clicks on the titles are wanted, single clicks must not sort the view itself.
    horizontalHeader()->setSectionsClickable(false);
    const int alto = QFontMetrics(font()).height() + 6;
    verticalHeader()->setDefaultSectionSize(alto);
    horizontalHeader()->setFixedHeight(alto);

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.isValid())
            emit dobleClic(i.row() + 1, i.column());
    });
    connect(horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int seccion) {
        if (seccion >= 0)
            emit dobleClicTitulo(seccion);
    });
}

int ListaFilas::Row() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

int ListaFilas::Col() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : 0;
}

void ListaFilas::setCelda(int fila, int col)
{
    if (fila < 1 || fila >= Rows() || col < 0 || col >= Cols())
        return;
    const QModelIndex i = m_modelo->index(fila - 1, col);
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(i);
}

bool ListaFilas::esCeldaDeDatos(int fila, int col) const
{
    return fila >= 1 && fila < Rows() && col >= 0 && col < Cols();
}

int ListaFilas::TopRow() const
{
    const int r = rowAt(0);
    return (r < 0 ? 0 : r) + 1;
}

void ListaFilas::setTopRow(int fila)
{
    if (!esCeldaDeDatos(fila, 0))
        return;
    // Right after the rows were replaced the scroll range is not yet laid out.
    doItemsLayout();
    scrollTo(m_modelo->index(fila - 1, 0), PositionAtTop);
}

QRect ListaFilas::rectCelda(int fila, int col) const
{
    return esCeldaDeDatos(fila, col) ? visualRect(m_modelo->index(fila - 1, col)) : QRect();
}

bool ListaFilas::celdaVisible(int fila, int col) const
{
    const QRect r = rectCelda(fila, col);
    return r.isValid() && r.intersects(viewport()->rect());
}

void ListaFilas::setRow(int fila) { setCelda(fila, Col()); }
void ListaFilas::setCol(int col) { setCelda(Row(), col); }

QString ListaFilas::TextMatrix(int fila, int col) const
{
    return fila == 0 ? m_modelo->Titulo(col) : m_modelo->Texto(fila - 1, col);
}

double ListaFilas::twipsPorPixel() const { return 1440.0 / std::max(logicalDpiX(), 1); }

void ListaFilas::setColWidth(int col, int twips)
{
    setColumnWidth(col, static_cast<int>(std::lround(twips / twipsPorPixel())));
}

void ListaFilas::FijarAncho(int col, int ancho, const QString& muestra)
{
    setColumnWidth(col, AnchoColumna(*this, ancho, m_modelo->Titulo(col), muestra));
}

void ListaFilas::PonerColumnas(std::span<const Columna> columnas)
{
    QStringList titulos;
    for (const Columna& c : columnas)
        titulos << QString::fromUtf8(c.titulo);
    setColumnas(titulos);
    for (int c = 0; c < static_cast<int>(columnas.size()); ++c) {
        const Columna& columna = columnas[static_cast<size_t>(c)];
        FijarAncho(c, columna.ancho, QString::fromUtf8(columna.muestra));
        setColAlignment(c, columna.alineacion);
    }
}

int ListaFilas::ColWidth(int col) const
{
    return static_cast<int>(std::lround(columnWidth(col) * twipsPorPixel()));
}

void ListaFilas::mousePressEvent(QMouseEvent* evento)
{
    if (evento->button() != Qt::RightButton) {
        QTableView::mousePressEvent(evento);
        return;
    }
    const QModelIndex i = indexAt(evento->position().toPoint());
    if (!i.isValid())
        return;
    setFocus(Qt::MouseFocusReason);
    setCelda(i.row() + 1, i.column());
    emit menuPedido(i.row() + 1, evento->globalPosition().toPoint());
}

void ListaFilas::keyboardSearch(const QString& buscar)
{
    if (!m_buscador || buscar.isEmpty())
        return;
    const qint64 ahora = QDateTime::currentMSecsSinceEpoch();
    // A new search starts below the current row, so that typing the same letter again goes on
    // to the next row; more letters refine the row found.
    const bool nueva = ahora - m_ultimaTecla > QApplication::keyboardInputInterval();
    if (nueva)
        m_tecleado.clear();
    m_ultimaTecla = ahora;
    m_tecleado += buscar;
    if (const int fila = m_buscador(m_tecleado, nueva ? Row() + 1 : Row()); fila > 0)
        setCelda(fila, Col());
}

bool ListaFilas::viewportEvent(QEvent* evento)
{
    return AyudaCeldaCortada(*this, evento) || QTableView::viewportEvent(evento);
}
