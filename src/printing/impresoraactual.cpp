#include "impresoraactual.h"

#include <QPrinterInfo>
#include <QStringList>

namespace {
QString& Nombre()
{
    static QString nombre;
    return nombre;
}
} // namespace

QString ImpresoraActual() { return Nombre(); }

void FijarImpresoraActual(const QString& nombre) { Nombre() = nombre.trimmed(); }

QStringList ImpresorasInstaladas()
{
    QStringList nombres = QPrinterInfo::availablePrinterNames();
    const QString defecto = QPrinterInfo::defaultPrinterName();
    if (nombres.removeAll(defecto) > 0)
        nombres.prepend(defecto);
    return nombres;
}
