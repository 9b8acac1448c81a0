#pragma once

#include <QByteArray>

namespace motor {
class Recordset;
}

// A digest of every field of every row of a document's stored header and lines, read when the
// document is loaded and again inside the transaction that stores it: a difference means another
// station changed the document meanwhile. The lines' own number field is left out, so that
// renumbering a document carries its lines along unchanged. Both recordsets end on their first
// row.
QByteArray HuellaDocumento(motor::Recordset& cabecera, motor::Recordset& lineas);
