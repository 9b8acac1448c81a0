#pragma once

#include <QtGlobal>

#include <memory>
#include <optional>

class Albaran;
class BaseDatos;

// A new delivery note made from closed scale ticket `docID`: one line per article row left after
// the ticket's voids, with the ticket's quantity and price; an article the catalogue no longer
// knows still gives a line. Null for a cancelled ticket, one without a ticket row, or one with
// no article left (or when the database cannot be read).
// Storing the note (Albaran::Update) also marks the ticket, in the same transaction: when another
// station has made a note from the same ticket since this one was proposed, Update answers false
// and UltimoError() says the ticket was already used. The caller does not mark the ticket again
// (Albaran::Ticket() tells that the note carries the claim). `marcaVista` is the mark the user
// saw when choosing the ticket (the list's): a note made from it is refused when the ticket has
// been used since. Without it the mark is read now.
std::unique_ptr<Albaran> AlbaranOnLine(BaseDatos& bd, qint32 docID, std::optional<qint32> marcaVista = std::nullopt);
