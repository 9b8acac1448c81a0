#pragma once

// Databases for the benchmarks, generated once by the shared builder and kept in
// /tmp/quenza-bench (delete the folder to regenerate them).

#include "basedatos.h"
#include "kv740.h"
#include "motor.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>

inline QString BaseGenerada(const QString& nombre, const kv740::Volumen& v)
{
    const QString carpeta = QStringLiteral("/tmp/quenza-bench/") + nombre;
    const QString ruta = carpeta + QStringLiteral("/kv740.db");
    if (QFile::exists(carpeta + QStringLiteral("/lista"))) {
        // As at every start of the program: the schema and its indexes up to date.
        BaseDatos(ruta).CrearTablasNuevas();
        return ruta;
    }
    QDir(carpeta).removeRecursively();
    const auto inicio = std::chrono::steady_clock::now();
    kv740::CrearDemo(carpeta, {});
    {
        BaseDatos bd(ruta);
        bd.CrearTablasNuevas();
        kv740::GenerarVolumen(*bd.Motor(), v);
    }
    QFile marca(carpeta + QStringLiteral("/lista"));
    marca.open(QIODevice::WriteOnly);
    std::fprintf(stderr, "# %s generated in %.1f s\n", qPrintable(nombre),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count());
    return ruta;
}

// The same statements through the SQLite library alone, on the same file.
class SqliteCrudo {
public:
    // The program's money functions are put on it too: the store's own queries call them.
    explicit SqliteCrudo(const QString& ruta)
    {
        sqlite3_open(ruta.toUtf8().constData(), &m_db);
        motor::RegistrarFuncionesDinero(m_db);
    }
    ~SqliteCrudo() { sqlite3_close(m_db); }
    void ejecutar(const char* sql) { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }
    // Steps every row of the query, touching each column.
    long recorrer(const QString& sql)
    {
        sqlite3_stmt* st = nullptr;
        const QByteArray b = sql.toUtf8();
        sqlite3_prepare_v2(m_db, b.constData(), -1, &st, nullptr);
        long filas = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                (void)sqlite3_column_text(st, i);
            ++filas;
        }
        sqlite3_finalize(st);
        return filas;
    }
    sqlite3* db() { return m_db; }

private:
    sqlite3* m_db = nullptr;
};
