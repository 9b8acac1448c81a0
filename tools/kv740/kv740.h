#pragma once

// Builds KV740 databases: the scale system's tables with a demo shop's catalogue, the older
// shapes of the program's own tables, and large generated volumes for the benchmarks.
// The demo tool, the tests and the benchmarks all build their databases here.

#include "motor.h"

#include <QDate>
#include <QString>

namespace kv740 {

enum class FormaPrograma {
    Ninguna,     // no program tables: the program creates them
    Primera,     // the first release: no series, packaging, discounts, payments or comments
    ConSeries,   // invoices with series and packaging; no payments, discounts, scale flag or comments
};

struct Opciones {
    bool almacenes = true;            // GRUPOS has the warehouse column (KV740 3 and later)
    bool almacenEnMinusculas = false; // ... spelled "almacen"
    bool catalogo = true;             // the demo shop's groups, sections and articles
    FormaPrograma forma = FormaPrograma::Ninguna;
    // An empty PostgreSQL database (a connection string) to fill instead of the folder's file.
    QString baseDatos;
};

// Creates the KV740 tables in an empty database and fills them as the options say.
void CrearKV740(motor::BaseDeDatos& bd, const Opciones& opciones = {});

// Creates `carpeta`/kv740.db and `carpeta`/KV740.INI pointing at it; returns the database path.
// With opciones.baseDatos, fills that server database instead and KV740.INI names it (returned).
// Throws motor::Error when the folder cannot be written.
QString CrearDemo(const QString& carpeta, const Opciones& opciones = {});

// Demo customers, delivery notes and scale tickets, for a database whose program tables exist.
void CargarDocumentosDemo(motor::BaseDeDatos& bd, const QDate& hoy);

// Scale tickets as the scale line writes them: one ticket with `lineas` article rows.
struct Ticket {
    qint32 docID = 0;
    qint32 numTK = 0;
    qint16 balanza = 1;
    qint16 operador = 1;
    QDateTime fecha;
    bool cancelado = false;
    bool conAnulacion = false;  // one line voided
};
void EscribirTicket(motor::BaseDeDatos& bd, const Ticket& ticket, qint16 seccion, quint32 semilla);

// Large volumes for the benchmarks (needs the program tables).
struct Volumen {
    int clientes = 20000;
    int articulos = 50000;
    int albaranes = 100000;
    int lineasPorAlbaran = 10;
    int facturas = 30000;
    int tickets = 0;
    int dias = 365;        // notes and invoices spread over this many days up to `hasta`
    QDate hasta = QDate(2026, 12, 31);
};
void GenerarVolumen(motor::BaseDeDatos& bd, const Volumen& volumen, quint32 semilla = 740);

// Copies the KV740 database `origen` (a SQLite file, left as it is) into `destino`, an empty
// PostgreSQL database: the tables with their rows and indexes, the program's relations, then the
// program's own upgrade (saved queries, triggers, indexes of the lists). Checks every table's
// row count and the saved queries' totals on both sides; returns what it checked, one line per
// table or query. Throws motor::Error when anything differs or cannot be done (the destination
// then stays empty: it is all one transaction).
QStringList CopiarBase(const QString& origen, const QString& destino);

}  // namespace kv740
