#pragma once

#include "printxt.h"

#include <QString>
#include <QStringList>

#include <vector>

// Minimal office templates built by the tests themselves, and what the printing tests share.

// A spreadsheet with the given sheets, 20 x 8 empty cells each (runs of repeated rows, as the
// suite writes them), and a name "TOTAL" on the first sheet's D20.
void CrearOds(const QString& ruta, const QStringList& hojas);
void CrearXlsx(const QString& ruta, const QStringList& hojas);
// A text with one table of `filas` x `columnas` cells holding "f,c", a second 2 x 2 table, and
// the variable "Cliente" shown in a field.
void CrearOdt(const QString& ruta, int filas, int columnas);
void CrearDocx(const QString& ruta, int filas, int columnas);
// One of the four above, by the file's extension: `hojas` for a spreadsheet, the table's size
// for a text.
void CrearPlantilla(const QString& ruta, const QStringList& hojas, int filas = 3, int columnas = 2);
bool EsHojaDeCalculo(const QString& ruta);

// Writes `datos` as the whole file.
bool EscribirArchivo(const QString& ruta, const QByteArray& datos);
// The text of a PDF as pdftotext lays it out, pages split by form feeds.
QString TextoPdf(const QString& pdf);

// Collects the print engine's notices while it lives.
class Avisos {
public:
    Avisos() { m_anterior = FijarAvisoImpresion([this](const QString& t) { textos << t; }); }
    ~Avisos() { FijarAvisoImpresion(m_anterior); }
    Avisos(const Avisos&) = delete;
    Avisos& operator=(const Avisos&) = delete;
    QStringList textos;

private:
    AvisoImpresion m_anterior;
};
