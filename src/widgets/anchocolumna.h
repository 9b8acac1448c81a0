#pragma once

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>

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
