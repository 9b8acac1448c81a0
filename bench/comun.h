#pragma once

// Databases for the benchmarks, generated once by the shared builder and kept: SQLite files in
// /tmp/quenza-bench (delete the folder to regenerate them), or, when QUENZA_BENCH_POSTGRESQL
// names a server ("1": the one libpq's PG* variables reach), databases quenza_bench_* on it
// (drop them to regenerate). Every benchmark then runs on that engine, the raw baselines too.

#include "basedatos.h"
#include "kv740.h"
#include "motor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

// The server's connection string, empty on SQLite.
inline QString ServidorBench()
{
    const QString s = qEnvironmentVariable("QUENZA_BENCH_POSTGRESQL").trimmed();
    if (s.isEmpty() || s == QLatin1String("0"))
        return {};
    return s == QLatin1String("1") ? QStringLiteral("dbname=postgres") : s;
}
inline bool EnServidor() { return !ServidorBench().isEmpty(); }

// One statement on the server's maintenance connection; the first column of the first row.
inline QString EnServidorBench(const QString& sql)
{
    PGconn* c = PQconnectdb(ServidorBench().toUtf8().constData());
    PGresult* r = PQexec(c, sql.toUtf8().constData());
    const ExecStatusType e = PQresultStatus(r);
    const QString valor = e == PGRES_TUPLES_OK && PQntuples(r) > 0 ? QString::fromUtf8(PQgetvalue(r, 0, 0)) : QString();
    const QString error = QString::fromUtf8(PQerrorMessage(c));
    PQclear(r);
    PQfinish(c);
    if (e != PGRES_TUPLES_OK && e != PGRES_COMMAND_OK)
        throw std::runtime_error(qPrintable(sql + QStringLiteral(": ") + error));
    return valor;
}

inline QString NombreBaseBench(const QString& nombre) { return QStringLiteral("quenza_bench_") + nombre.toLower(); }

// The server's connection string with its database replaced (libpq keeps the last dbname).
inline QString ConexionBench(const QString& base)
{
    QString d = ServidorBench();
    if (d.contains(QLatin1String("://"))) {
        static const QRegularExpression ruta(QStringLiteral("^([^?]*://[^/?]*)(/[^?]*)?"));
        return d.replace(ruta, QStringLiteral("\\1/") + base);
    }
    return d + QStringLiteral(" dbname=") + base;
}

// A generated database on the server is complete once its comment says so.
inline bool BaseBenchLista(const QString& base)
{
    return EnServidorBench(QStringLiteral("SELECT shobj_description(oid, 'pg_database') FROM pg_database WHERE datname = '%1'").arg(base))
        == QLatin1String("lista");
}
inline void MarcarBaseBenchLista(const QString& base)
{
    EnServidorBench(QStringLiteral("COMMENT ON DATABASE %1 IS 'lista'").arg(base));
}

// `nombre`'s database: made by `llenar` (given the folder and an empty database's destination,
// SQLite path or connection) the first time, reused afterwards.
template <typename Llenar>
QString BaseCacheada(const QString& nombre, Llenar&& llenar)
{
    const auto inicio = std::chrono::steady_clock::now();
    QString destino;
    if (EnServidor()) {
        const QString base = NombreBaseBench(nombre);
        const QString carpeta = QStringLiteral("/tmp/quenza-bench/servidor/") + nombre;
        destino = ConexionBench(base);
        if (BaseBenchLista(base))
            return destino;
        EnServidorBench(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(base));
        motor::CrearBasePostgreSQL(ServidorBench(), base);
        QDir(carpeta).removeRecursively();
        llenar(carpeta, destino);
        MarcarBaseBenchLista(base);
    } else {
        const QString carpeta = QStringLiteral("/tmp/quenza-bench/") + nombre;
        destino = carpeta + QStringLiteral("/kv740.db");
        if (QFile::exists(carpeta + QStringLiteral("/lista")))
            return destino;
        QDir(carpeta).removeRecursively();
        llenar(carpeta, destino);
        QFile marca(carpeta + QStringLiteral("/lista"));
        marca.open(QIODevice::WriteOnly);
    }
    std::fprintf(stderr, "# %s generated in %.1f s\n", qPrintable(nombre),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count());
    return destino;
}

inline QString BaseGenerada(const QString& nombre, const kv740::Volumen& v)
{
    const QString destino = BaseCacheada(nombre, [&v](const QString& carpeta, const QString& base) {
        kv740::Opciones o;
        if (EnServidor())
            o.baseDatos = base;
        kv740::CrearDemo(carpeta, o);
        BaseDatos bd(base);
        bd.CrearTablasNuevas();
        kv740::GenerarVolumen(*bd.Motor(), v);
    });
    // As at every start of the program: the schema and its indexes up to date.
    BaseDatos(destino).CrearTablasNuevas();
    return destino;
}

// The database a libpq connection string names.
inline QString BaseDeConexion(const QString& conexion)
{
    QString base;
    PQconninfoOption* o = PQconninfoParse(conexion.toUtf8().constData(), nullptr);
    for (PQconninfoOption* i = o; i && i->keyword; ++i)
        if (qstrcmp(i->keyword, "dbname") == 0 && i->val)
            base = QString::fromUtf8(i->val);
    PQconninfoFree(o);
    return base;
}

// A copy of a generated database, for a run that changes it: `destino` is a SQLite file or a
// server database (made again from the original, which must have no one connected).
inline void CopiarBase(const QString& origen, const QString& destino)
{
    if (!EnServidor()) {
        {
            motor::BaseDeDatos bd(origen);
            bd.ejecutarNativo(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        const QFileInfo a(destino);
        QDir().mkpath(a.path());
        QFile::remove(destino);
        QFile::copy(origen, destino);
        QFile::remove(a.dir().filePath(QStringLiteral("KV740.INI")));
        QFile::copy(QFileInfo(origen).dir().filePath(QStringLiteral("KV740.INI")), a.dir().filePath(QStringLiteral("KV740.INI")));
        return;
    }
    const QString base = BaseDeConexion(destino);
    EnServidorBench(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(base));
    EnServidorBench(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(base, BaseDeConexion(origen)));
}

// Where a run's own copy goes: a file in `carpeta`, or the server database `nombre`.
inline QString DestinoCopia(const QString& carpeta, const QString& nombre)
{
    return EnServidor() ? ConexionBench(NombreBaseBench(nombre)) : carpeta + QStringLiteral("/kv740.db");
}

// The same statements through the engine's library alone (SQLite, or libpq with prepared
// statements), on the same database: what a store call is measured against.
class Crudo {
public:
    // On SQLite the program's money functions are put on it too: the store's own queries call them.
    explicit Crudo(const QString& destino)
    {
        if (motor::EsConexionPostgreSQL(destino)) {
            m_pg = PQconnectdb(destino.toUtf8().constData());
            // As the program's own sessions: no JIT, which would otherwise cost the baseline alone.
            PQclear(PQexec(m_pg, "SET datestyle = ISO, YMD; SET extra_float_digits = 1; SET jit = off"));
        } else {
            sqlite3_open(destino.toUtf8().constData(), &m_db);
            sqlite3_busy_timeout(m_db, 60000);
            motor::RegistrarFuncionesDinero(m_db);
        }
    }
    ~Crudo()
    {
        if (m_st)
            sqlite3_finalize(m_st);
        if (m_pg)
            PQfinish(m_pg);
        sqlite3_close(m_db);
    }
    Crudo(const Crudo&) = delete;
    Crudo& operator=(const Crudo&) = delete;

    bool servidor() const { return m_pg != nullptr; }
    // SQL as the store writes it (`?`, SQLite's names), in the engine's own dialect.
    void ejecutar(const QString& sql)
    {
        if (m_pg)
            PQclear(PQexec(m_pg, motor::APostgreSQL(sql).toUtf8().constData()));
        else
            sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    // Prepares, runs every row of the query touching each column, and lets the statement go.
    long recorrer(const QString& sql)
    {
        preparar(sql);
        const long filas = pasar();
        soltar();
        return filas;
    }
    // One statement kept prepared: pasar() runs it again each time, touching every value.
    void preparar(const QString& sql)
    {
        soltar();
        if (m_pg) {
            PGresult* r = PQprepare(m_pg, "crudo", motor::APostgreSQL(sql).toUtf8().constData(), 0, nullptr);
            if (PQresultStatus(r) != PGRES_COMMAND_OK)
                std::fprintf(stderr, "# %s\n", PQresultErrorMessage(r));
            PQclear(r);
            m_preparadaPG = true;
        } else {
            if (sqlite3_prepare_v3(m_db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &m_st, nullptr) != SQLITE_OK)
                std::fprintf(stderr, "# %s\n", sqlite3_errmsg(m_db));
        }
    }
    long pasar()
    {
        long filas = 0;
        if (m_pg) {
            PGresult* r = PQexecPrepared(m_pg, "crudo", 0, nullptr, nullptr, nullptr, 0);
            if (PQresultStatus(r) != PGRES_TUPLES_OK)
                std::fprintf(stderr, "# %s\n", PQresultErrorMessage(r));
            filas = PQntuples(r);
            for (int f = 0; f < filas; ++f)
                for (int i = 0; i < PQnfields(r); ++i)
                    Tocar(PQgetvalue(r, f, i));
            PQclear(r);
            return filas;
        }
        while (sqlite3_step(m_st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(m_st); ++i) {
                if (sqlite3_column_type(m_st, i) == SQLITE_TEXT)
                    Tocar(sqlite3_column_text(m_st, i));
                else
                    Tocar(sqlite3_column_double(m_st, i));
            }
            ++filas;
        }
        sqlite3_reset(m_st);
        return filas;
    }
    sqlite3* db() { return m_db; }

private:
    template <typename T>
    static void Tocar(T v)
    {
        benchmark::DoNotOptimize(v);
    }
    void soltar()
    {
        if (m_st)
            sqlite3_finalize(m_st);
        m_st = nullptr;
        if (m_preparadaPG)
            PQclear(PQexec(m_pg, "DEALLOCATE crudo"));
        m_preparadaPG = false;
    }

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_st = nullptr;
    PGconn* m_pg = nullptr;
    bool m_preparadaPG = false;
};

// Another station that writes a little every few milliseconds: the longest it waits for the
// write lock is the longest write transaction of the batch beside it, as the program's own
// engine waits for it (its busy wait, its lock on either engine).
class OtroPuesto {
public:
    explicit OtroPuesto(const QString& ruta) : m_db(ruta)
    {
        m_hilo = std::thread([this] {
            while (!m_fin) {
                const auto antes = std::chrono::steady_clock::now();
                try {
                    motor::BaseDeDatos::Transaccion t(m_db);
                    t.commit();
                } catch (const motor::Error&) {
                    // Waited out its busy timeout: the wait still counts.
                }
                const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - antes).count();
                m_max = std::max(m_max.load(), ms);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~OtroPuesto()
    {
        m_fin = true;
        m_hilo.join();
    }
    double EsperaMaxima() const { return m_max; }

private:
    motor::BaseDeDatos m_db;
    std::atomic<bool> m_fin{false};
    std::atomic<double> m_max{0};
    std::thread m_hilo;
};

// A fresh copy of a generated database for each run, since a batch changes it.
struct Copia {
    QTemporaryDir dir;
    QString ruta;
    explicit Copia(const QString& origen) : ruta(DestinoCopia(dir.path(), QStringLiteral("copia")))
    {
        CopiarBase(origen, ruta);
    }
};
