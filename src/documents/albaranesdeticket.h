#pragma once

#include <QtGlobal>

#include <memory>

class Albaran;
class BaseDatos;

// A new delivery note made from closed scale ticket `docID`: one line per article row left after
// the ticket's voids, with the ticket's quantity and price; an article the catalogue no longer
// knows still gives a line. Null for a cancelled ticket, one without a ticket row, or one with
// no article left.
std::unique_ptr<Albaran> AlbaranOnLine(BaseDatos& bd, qint32 docID);
