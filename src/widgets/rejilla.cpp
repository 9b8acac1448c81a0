#include "rejilla.h"

#include "anchocolumna.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr Qt::Alignment kAlineacionInicial = Qt::AlignLeft | Qt::AlignVCenter;

QTableWidgetItem* cabeceraVacia()
{
    return new QTableWidgetItem(QString());
}

}  // namespace

Rejilla::Rejilla(QWidget* parent) : QTableWidget(parent)
{
    // The cells are edited through an overlay box, never by the view itself.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);

    for (QHeaderView* h : {horizontalHeader(), verticalHeader()}) {
        h->setSectionsClickable(false);
        h->setHighlightSections(false);
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setMinimumSectionSize(0);
    }
    verticalHeader()->hide();
    m_anchoFija = horizontalHeader()->defaultSectionSize();
    ajustarAltoFilas();

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &Rejilla::alDesplazar);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &Rejilla::alDesplazar);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) {
        if (i.isValid())
            emit pulsada(i.row() + m_filasFijas, i.column() + m_columnasFijas);
    });
    setRows(2);
    setCols(2);
}

// --- dimensions --------------------------------------------------------------------------

int Rejilla::Rows() const { return rowCount() + m_filasFijas; }

void Rejilla::setRows(int filas)
{
    const int datos = std::max(0, filas - m_filasFijas);
    if (datos == rowCount())
        return;
    setRowCount(datos);
    completarCabeceras();
    asegurarCeldaActual();
}

int Rejilla::Cols() const { return columnCount() + m_columnasFijas; }

void Rejilla::setCols(int columnas)
{
    const int datos = std::max(0, columnas - m_columnasFijas);
    if (datos == columnCount())
        return;
    setColumnCount(datos);
    m_alineaciones.resize(static_cast<size_t>(datos), kAlineacionInicial);
    completarCabeceras();
    asegurarCeldaActual();
}

void Rejilla::setFixedRows(int filas)
{
    filas = std::clamp(filas, 0, 1);
    if (filas == m_filasFijas)
        return;
    if (filas == 1) {
        // The first data row becomes the title row.
        if (rowCount() == 0)
            insertRow(0);
        for (int c = 0; c < columnCount(); ++c) {
            const QTableWidgetItem* it = item(0, c);
            auto* cab = cabeceraVacia();
            if (it) {
                cab->setText(it->text());
                cab->setFont(it->font());
            }
            setHorizontalHeaderItem(c, cab);
        }
        if (m_columnasFijas == 1 && verticalHeaderItem(0))
            m_esquina = verticalHeaderItem(0)->text();
        removeRow(0);
        horizontalHeader()->show();
    } else {
        insertRow(0);
        for (int c = 0; c < columnCount(); ++c) {
            if (QTableWidgetItem* cab = horizontalHeaderItem(c)) {
                auto* it = new QTableWidgetItem(cab->text());
                it->setFont(cab->font());
                it->setTextAlignment(m_alineaciones[static_cast<size_t>(c)]);
                setItem(0, c, it);
                cab->setText(QString());
            }
        }
        horizontalHeader()->hide();
    }
    m_filasFijas = filas;
    completarCabeceras();
    if (m_columnasFijas == 1 && filas == 0 && verticalHeaderItem(0)) {
        verticalHeaderItem(0)->setText(m_esquina);
        m_esquina.clear();
    }
    asegurarCeldaActual();
}

void Rejilla::setFixedCols(int columnas)
{
    columnas = std::clamp(columnas, 0, 1);
    if (columnas == m_columnasFijas)
        return;
    if (columnas == 1) {
        if (columnCount() == 0) {
            insertColumn(0);
            m_alineaciones.insert(m_alineaciones.begin(), kAlineacionInicial);
        }
        for (int r = 0; r < rowCount(); ++r) {
            const QTableWidgetItem* it = item(r, 0);
            auto* cab = cabeceraVacia();
            if (it) {
                cab->setText(it->text());
                cab->setFont(it->font());
            }
            setVerticalHeaderItem(r, cab);
        }
        if (m_filasFijas == 1 && horizontalHeaderItem(0))
            m_esquina = horizontalHeaderItem(0)->text();
        removeColumn(0);
        m_alineaciones.erase(m_alineaciones.begin());
        verticalHeader()->setFixedWidth(m_anchoFija);
        verticalHeader()->show();
    } else {
        insertColumn(0);
        m_alineaciones.insert(m_alineaciones.begin(), kAlineacionInicial);
        for (int r = 0; r < rowCount(); ++r) {
            if (QTableWidgetItem* cab = verticalHeaderItem(r)) {
                auto* it = new QTableWidgetItem(cab->text());
                it->setFont(cab->font());
                it->setTextAlignment(kAlineacionInicial);
                setItem(r, 0, it);
                cab->setText(QString());
            }
        }
        if (m_filasFijas == 1) {
            auto* cab = cabeceraVacia();
            cab->setText(m_esquina);
            setHorizontalHeaderItem(0, cab);
            m_esquina.clear();
        }
        setColumnWidth(0, m_anchoFija);
        verticalHeader()->hide();
    }
    m_columnasFijas = columnas;
    completarCabeceras();
    asegurarCeldaActual();
}

bool Rejilla::esCeldaDeDatos(int fila, int col) const
{
    return fila >= m_filasFijas && fila < Rows() && col >= m_columnasFijas && col < Cols();
}

// Every header section gets an item, so that Qt does not number the sections.
void Rejilla::completarCabeceras()
{
    for (int c = 0; c < columnCount(); ++c) {
        if (!horizontalHeaderItem(c))
            setHorizontalHeaderItem(c, cabeceraVacia());
    }
    for (int r = 0; r < rowCount(); ++r) {
        if (!verticalHeaderItem(r))
            setVerticalHeaderItem(r, cabeceraVacia());
    }
}

void Rejilla::asegurarCeldaActual()
{
    if (rowCount() > 0 && columnCount() > 0 && !currentIndex().isValid())
        setCurrentCell(0, 0);
}

// --- texts -------------------------------------------------------------------------------

const QTableWidgetItem* Rejilla::itemDeCelda(int fila, int col) const
{
    return const_cast<Rejilla*>(this)->itemDeCelda(fila, col, false);
}

QTableWidgetItem* Rejilla::itemDeCelda(int fila, int col, bool crear)
{
    if (fila < 0 || col < 0 || fila >= Rows() || col >= Cols())
        return nullptr;
    const bool titulo = fila < m_filasFijas;
    const bool tituloFila = col < m_columnasFijas;
    if (titulo && tituloFila)
        return nullptr;  // the corner
    if (titulo)
        return horizontalHeaderItem(col - m_columnasFijas);
    if (tituloFila)
        return verticalHeaderItem(fila - m_filasFijas);
    const int r = fila - m_filasFijas;
    const int c = col - m_columnasFijas;
    QTableWidgetItem* it = item(r, c);
    if (!it && crear) {
        it = new QTableWidgetItem;
        it->setTextAlignment(m_alineaciones[static_cast<size_t>(c)]);
        setItem(r, c, it);
    }
    return it;
}

QString Rejilla::TextMatrix(int fila, int col) const
{
    if (fila == 0 && col == 0 && m_filasFijas == 1 && m_columnasFijas == 1)
        return m_esquina;
    const QTableWidgetItem* it = itemDeCelda(fila, col);
    return it ? it->text() : QString();
}

void Rejilla::setTextMatrix(int fila, int col, const QString& texto)
{
    if (fila == 0 && col == 0 && m_filasFijas == 1 && m_columnasFijas == 1) {
        m_esquina = texto;
        return;
    }
    if (QTableWidgetItem* it = itemDeCelda(fila, col, true))
        it->setText(texto);
}

void Rejilla::setCeldaNegrita(int fila, int col, bool negrita)
{
    if (QTableWidgetItem* it = itemDeCelda(fila, col, true)) {
        QFont f = font();
        f.setBold(negrita);
        it->setFont(f);
    }
}

bool Rejilla::celdaNegrita(int fila, int col) const
{
    const QTableWidgetItem* it = itemDeCelda(fila, col);
    return it && it->font().bold();
}

// --- current cell ------------------------------------------------------------------------

int Rejilla::Row() const { return std::max(currentRow(), 0) + m_filasFijas; }
int Rejilla::Col() const { return std::max(currentColumn(), 0) + m_columnasFijas; }

void Rejilla::setRow(int fila) { setCelda(fila, Col()); }
void Rejilla::setCol(int col) { setCelda(Row(), col); }

void Rejilla::setCelda(int fila, int col)
{
    if (esCeldaDeDatos(fila, col))
        setCurrentCell(fila - m_filasFijas, col - m_columnasFijas);
}

void Rejilla::currentChanged(const QModelIndex& actual, const QModelIndex& anterior)
{
    // The view scrolls the new cell into sight here; that scroll belongs to the cell change.
    m_enCambioCelda = true;
    QTableWidget::currentChanged(actual, anterior);
    m_enCambioCelda = false;
    if (actual != anterior)
        emit celdaCambiada(Row(), Col());
}

void Rejilla::alDesplazar()
{
    if (!m_enCambioCelda)
        emit desplazada();
}

int Rejilla::TopRow() const
{
    const int r = rowAt(0);
    return (r < 0 ? 0 : r) + m_filasFijas;
}

void Rejilla::setTopRow(int fila)
{
    if (fila >= m_filasFijas && fila < Rows() && columnCount() > 0)
        scrollTo(model()->index(fila - m_filasFijas, std::max(currentColumn(), 0)), PositionAtTop);
}

int Rejilla::LeftCol() const
{
    const int c = columnAt(0);
    return (c < 0 ? 0 : c) + m_columnasFijas;
}

// --- sizes -------------------------------------------------------------------------------

int Rejilla::anchoColumna(int col) const
{
    if (col < 0 || col >= Cols())
        return 0;
    if (col < m_columnasFijas)
        return m_anchoFija;
    return columnWidth(col - m_columnasFijas);
}

void Rejilla::setAnchoColumna(int col, int pixeles)
{
    if (col < 0 || col >= Cols())
        return;
    pixeles = std::clamp(pixeles, 0, 1 << 20);
    if (col < m_columnasFijas) {
        m_anchoFija = pixeles;
        verticalHeader()->setFixedWidth(pixeles);
    } else {
        setColumnWidth(col - m_columnasFijas, pixeles);
    }
}

int Rejilla::altoFila(int fila) const
{
    if (fila < 0 || fila >= Rows())
        return 0;
    if (fila < m_filasFijas)
        return horizontalHeader()->height();
    return rowHeight(fila - m_filasFijas);
}

void Rejilla::setAltoFilas(int pixeles)
{
    pixeles = std::max(pixeles, 1);
    m_altoFijado = true;
    verticalHeader()->setDefaultSectionSize(pixeles);
    horizontalHeader()->setFixedHeight(pixeles);
    for (int r = 0; r < rowCount(); ++r)
        setRowHeight(r, pixeles);
}

// Title row and data rows share one height that fits the font, bold titles included.
void Rejilla::ajustarAltoFilas()
{
    if (m_altoFijado)
        return;
    QFont negrita = font();
    negrita.setBold(true);
    const int alto = std::max(QFontMetrics(font()).height(), QFontMetrics(negrita).height()) + 6;
    verticalHeader()->setDefaultSectionSize(alto);
    horizontalHeader()->setFixedHeight(alto);
    for (int r = 0; r < rowCount(); ++r)
        setRowHeight(r, alto);
}

double Rejilla::twipsPorPixelX() const { return 1440.0 / std::max(logicalDpiX(), 1); }
double Rejilla::twipsPorPixelY() const { return 1440.0 / std::max(logicalDpiY(), 1); }

int Rejilla::ColWidth(int col) const
{
    return static_cast<int>(std::lround(anchoColumna(col) * twipsPorPixelX()));
}

void Rejilla::FijarAncho(int col, int pixeles, const QString& muestra)
{
    setAnchoColumna(col, AnchoColumna(*this, pixeles, TextMatrix(0, col), muestra));
}

void Rejilla::setColWidth(int col, int twips)
{
    setAnchoColumna(col, static_cast<int>(std::lround(twips / twipsPorPixelX())));
}

int Rejilla::RowHeight(int fila) const
{
    return static_cast<int>(std::lround(altoFila(fila) * twipsPorPixelY()));
}

Qt::Alignment Rejilla::ColAlignment(int col) const
{
    const int c = col - m_columnasFijas;
    if (c < 0 || c >= columnCount())
        return kAlineacionInicial;
    return m_alineaciones[static_cast<size_t>(c)];
}

void Rejilla::setColAlignment(int col, Qt::Alignment alineacion)
{
    const int c = col - m_columnasFijas;
    if (c < 0 || c >= columnCount())
        return;
    if (!(alineacion & Qt::AlignVertical_Mask))
        alineacion |= Qt::AlignVCenter;
    m_alineaciones[static_cast<size_t>(c)] = alineacion;
    for (int r = 0; r < rowCount(); ++r) {
        if (QTableWidgetItem* it = item(r, c))
            it->setTextAlignment(alineacion);
    }
}

QRect Rejilla::rectCelda(int fila, int col) const
{
    if (!esCeldaDeDatos(fila, col))
        return {};
    return visualRect(model()->index(fila - m_filasFijas, col - m_columnasFijas));
}

bool Rejilla::celdaVisible(int fila, int col) const
{
    const QRect r = rectCelda(fila, col);
    return r.isValid() && r.intersects(viewport()->rect());
}

// --- rows --------------------------------------------------------------------------------

void Rejilla::AddItem(const QString& textos, int fila)
{
    const int r = (fila < 0 || fila >= Rows()) ? rowCount() : std::max(fila - m_filasFijas, 0);
    insertRow(r);
    completarCabeceras();
    const QStringList partes = textos.split(QLatin1Char('\t'));
    for (int i = 0; i < partes.size() && i < Cols(); ++i)
        setTextMatrix(r + m_filasFijas, i, partes[i]);
    asegurarCeldaActual();
}

void Rejilla::RemoveItem(int fila)
{
    if (fila >= m_filasFijas && fila < Rows())
        removeRow(fila - m_filasFijas);
}

// --- events ------------------------------------------------------------------------------

void Rejilla::focusInEvent(QFocusEvent* evento)
{
    QTableWidget::focusInEvent(evento);
    emit focoRecibido();
}

void Rejilla::mousePressEvent(QMouseEvent* evento)
{
    QTableWidget::mousePressEvent(evento);
    // A handler of celdaCambiada may have sent the current cell back; the highlight follows it.
    const QModelIndex actual = currentIndex();
    if (actual.isValid() && !selectionModel()->isSelected(actual))
        selectionModel()->select(actual, QItemSelectionModel::ClearAndSelect);
}

void Rejilla::changeEvent(QEvent* evento)
{
    QTableWidget::changeEvent(evento);
    if (evento->type() == QEvent::FontChange)
        ajustarAltoFilas();
}

// Typing on the grid itself must not jump to a cell that starts with that letter.
void Rejilla::keyboardSearch(const QString&) {}

bool Rejilla::viewportEvent(QEvent* evento)
{
    return AyudaCeldaCortada(*this, evento) || QTableWidget::viewportEvent(evento);
}
