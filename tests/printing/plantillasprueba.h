#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Minimal office templates built by the tests themselves.

// A spreadsheet with the given sheets, 20 x 8 empty cells each (runs of repeated rows, as the
// suite writes them), and a name "TOTAL" on the first sheet's D20.
void CrearOds(const QString& ruta, const QStringList& hojas);
void CrearXlsx(const QString& ruta, const QStringList& hojas);
// A text with one table of `filas` x `columnas` cells holding "f,c", a second 2 x 2 table, and
// the variable "Cliente" shown in a field.
void CrearOdt(const QString& ruta, int filas, int columnas);
void CrearDocx(const QString& ruta, int filas, int columnas);
