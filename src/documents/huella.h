#pragma once

#include "valor.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

namespace motor {
class Recordset;
}

// A digest of every field of every row of a document's stored header and lines, read when the
// document is loaded and again inside the transaction that stores it: a difference means another
// station changed the document meanwhile. The lines' own number field is left out, so that
// renumbering a document carries its lines along unchanged. Both recordsets end on their first
// row.
QByteArray HuellaDocumento(motor::Recordset& cabecera, motor::Recordset& lineas);
// The same digest, with the lines given as the values a read of them would return, every field
// in the table's order (`campos` names them): what a save that knows what it wrote uses instead
// of reading thousands of lines back.
QByteArray HuellaDocumento(motor::Recordset& cabecera, const QStringList& campos, const std::vector<std::vector<Valor>>& lineas);
// The same digest with the header given as its row's values, every field in the table's order:
// for many documents read at once.
QByteArray HuellaDocumento(const std::vector<Valor>& cabecera, const QStringList& campos, const std::vector<std::vector<Valor>>& lineas);
