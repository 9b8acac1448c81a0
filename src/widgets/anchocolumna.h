#pragma once

#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <algorithm>

// The width in pixels a grid column needs: `ancho`, widened where its title or `muestra` (the
// widest text it usually shows) would not fit in the font in use, with the cell's and the
// header's padding on both sides.
inline int AnchoColumna(const QTableView& tabla, int ancho, const QString& titulo, const QString& muestra)
{
    const int margen = 2 * (tabla.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &tabla) + 3);
    return std::max({ancho, tabla.fontMetrics().horizontalAdvance(muestra) + margen,
                     tabla.horizontalHeader()->fontMetrics().horizontalAdvance(titulo) + margen});
}

// The width a cell's text takes in `vista`, with the item's margins on both sides, in `fuente`
// (the view's own when none).
inline int AnchoTextoCelda(const QAbstractItemView& vista, const QString& texto, const QFont* fuente = nullptr)
{
    const QFontMetrics medida = fuente ? QFontMetrics(*fuente) : vista.fontMetrics();
    const int margen = vista.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &vista) + 1;
    return medida.horizontalAdvance(texto) + 2 * margen;
}

// The whole text of a cell that its column shows cut, or empty when it fits.
inline QString TextoCortado(const QTableView& vista, const QModelIndex& indice)
{
    if (!indice.isValid())
        return {};
    const QString texto = indice.data(Qt::DisplayRole).toString();
    const QVariant fuente = indice.data(Qt::FontRole);
    const QFont f = fuente.isValid() ? fuente.value<QFont>() : vista.font();
    return AnchoTextoCelda(vista, texto, &f) > vista.columnWidth(indice.column()) ? texto : QString();
}

// Answers a tooltip event on the view's viewport with the whole text of a cut cell; true when
// the event was a tooltip (shown or hidden).
inline bool AyudaCeldaCortada(QTableView& vista, QEvent* evento)
{
    if (evento->type() != QEvent::ToolTip)
        return false;
    const auto* ayuda = static_cast<QHelpEvent*>(evento);
    const QModelIndex indice = vista.indexAt(ayuda->pos());
    const QString texto = TextoCortado(vista, indice);
    if (texto.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(ayuda->globalPos(), texto, vista.viewport(), vista.visualRect(indice));
    return true;
}
