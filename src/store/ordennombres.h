#pragma once

// Names in Spanish order without regard to case. Customer and article names are searched and
// sorted on a key that any SQLite client computes alike: the name with its accented letters
// made plain (Ñ kept apart, after N), compared NOCASE. The key lives only in an index over an
// expression of built-in functions, so the tables stay as they are and a plain sqlite3 client
// or the scale system keeps the index right when it writes.

#include <QString>

namespace ordennombres {

// The key of `nombre` as the SQL expression computes it (ASCII case is left to NOCASE).
// On PostgreSQL the expression lowers the ASCII letters itself: the key bound against it too.
QString Clave(const QString& nombre, bool postgres = false);
// The SQL expression of the key of `columna`, followed by COLLATE NOCASE; on PostgreSQL the
// same replacements on the bytes (collation "C"), lowered, as its columns' own collation does
// not admit replace().
QString ExpresionClave(const QString& columna, bool postgres = false);
// The first text after every key that starts with `clave` (the end of a prefix range).
QString FinDePrefijo(const QString& clave);
// `nombre` begins with `texto` with no regard to case, Ñ and accented letters included.
bool EmpiezaPor(const QString& nombre, const QString& texto);
bool MismoNombre(const QString& a, const QString& b);
// The statement that creates the index `indice` of `tabla` over the key of `columna`, after the
// leading columns `antes` (quoted identifiers, may be empty) and followed by the name itself.
QString CrearIndice(const QString& tabla, const QString& indice, const QString& antes, const QString& columna,
                    bool postgres = false);

}  // namespace ordennombres
