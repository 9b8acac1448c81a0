#pragma once

#include <QString>

// The program's current printer, chosen by device name and kept until the program ends.
// Mask printing and the listings both print on it. Empty means the system's default printer.
QString ImpresoraActual();
// Takes the name as given; an unknown name makes later print runs fail to open the printer.
void FijarImpresoraActual(const QString& nombre);
// Device names of the installed printers, default first.
QStringList ImpresorasInstaladas();
