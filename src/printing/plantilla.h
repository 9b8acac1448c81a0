#pragma once

#include "valor.h"

#include <QString>

#include <memory>
#include <optional>

// Spreadsheet template held in memory (OpenDocument .ods or Office Open XML .xlsx), with one
// sheet chosen. Values are written into the file's own cells; saving writes a filled copy.
class HojaPlantilla {
public:
    virtual ~HojaPlantilla() = default;

    // Opens by the file's extension; null with `error` set when the file cannot be read.
    static std::unique_ptr<HojaPlantilla> Abrir(const QString& archivo, QString* error);

    // Chooses the sheet whose name equals `nombre` ignoring case; false when there is none.
    virtual bool SeleccionarHoja(const QString& nombre) = 0;
    // Writes into a cell of the chosen sheet given as an address ("B12", "$B$12") or as a name
    // the book defines on that sheet. A number or date is stored as such, anything else as
    // text, an empty text clears the cell. False when the reference does not resolve.
    virtual bool Escribir(const QString& referencia, const Valor& valor) = 0;
    // Text of a cell as stored (numbers in plain decimal form, dates in ISO form); none when
    // the reference does not resolve.
    virtual std::optional<QString> Leer(const QString& referencia) const = 0;
    // Places a PNG picture `lado` millimetres square over the sheet with its top left corner at
    // the cell (an address or a name, as Escribir takes them); false when the reference does
    // not resolve.
    virtual bool Imagen(const QString& referencia, const QByteArray& png, double lado) = 0;
    // Writes the filled copy with only the chosen sheet left printable; false on failure.
    virtual bool Guardar(const QString& archivo) = 0;
};

// Word-processor template held in memory (OpenDocument .odt or Office Open XML .docx): its
// tables, counted from 1 in document order, and its document variables.
class DocumentoPlantilla {
public:
    virtual ~DocumentoPlantilla() = default;

    static std::unique_ptr<DocumentoPlantilla> Abrir(const QString& archivo, QString* error);

    virtual int Tablas() const = 0;
    virtual int Filas(int tabla) const = 0;     // 0 for a table that does not exist
    virtual int Columnas(int tabla) const = 0;
    // Replaces the cell's text, keeping its paragraph and character format; false when the
    // cell does not exist.
    virtual bool EscribirCelda(int tabla, int fila, int columna, const QString& texto) = 0;
    virtual std::optional<QString> LeerCelda(int tabla, int fila, int columna) const = 0;
    // Replaces the cell's content with a PNG picture `lado` millimetres square, in the line of
    // its first paragraph; false when the cell does not exist.
    virtual bool ImagenEnCelda(int tabla, int fila, int columna, const QByteArray& png, double lado) = 0;
    // Sets the first variable whose name equals `nombre` ignoring case, and the fields that
    // show it; false when the document has no such variable.
    virtual bool FijarVariable(const QString& nombre, const QString& texto) = 0;
    virtual std::optional<QString> LeerVariable(const QString& nombre) const = 0;
    virtual bool Guardar(const QString& archivo) = 0;
};
