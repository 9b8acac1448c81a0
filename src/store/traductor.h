#pragma once

#include <QString>

// Turns the store's SQL dialect into plain SQLite SQL, so that the database file holds
// only standard SQL that any SQLite client reads:
//   select distinctrow  -> select
//   isnull(x)           -> (x IS NULL)
//   int(x)              -> floor(x)                (largest integer not greater)
//   iif(c, a, b)        -> CASE WHEN c THEN a ELSE b END
//   switch(c1, v1, ...) -> CASE WHEN c1 THEN v1 ... END
//   a / b               -> a * 1.0 / b             (division is always real)
//   True / False        -> 1 / 0
//   #m/d/yyyy#          -> 'yyyy-mm-dd'
//   [name]              -> "name"
//   a & b               -> a || b                  (text concatenation)
// Quoted texts are never touched.
// For PostgreSQL the truth values stay 1 and 0 (its yes/no columns are small integers), so a
// bare column as a condition of iif becomes (x <> 0), as PostgreSQL wants a truth value there;
// the result then goes through motor::APostgreSQL like any other SQL.
QString TraducirSQL(const QString& sql, bool postgres = false);
