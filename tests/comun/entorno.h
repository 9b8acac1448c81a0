#pragma once

// Shared by the test folders: a Qt application object, temporary folders and KV740 databases
// built by the same builder the demo tool uses.

#include "kv740.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <memory>

inline QApplication* AplicacionDePrueba()
{
    static int argc = 1;
    static char nombre[] = "pruebas";
    static char* argv[] = {nombre, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        return a;
    }();
    return app;
}

// The suites run on PostgreSQL too when QUENZA_PRUEBAS_POSTGRESQL=1: each database is then a new
// one on the server the libpq variables (PGHOST, PGPORT, PGUSER...) reach.
inline bool PruebasEnPostgreSQL()
{
    static const bool si = qEnvironmentVariableIntValue("QUENZA_PRUEBAS_POSTGRESQL") == 1;
    return si;
}

// The server's own database, for creating and dropping the tests' ones.
inline QString ServidorDePruebas()
{
    const QString s = qEnvironmentVariable("QUENZA_PRUEBAS_SERVIDOR");
    return s.isEmpty() ? QStringLiteral("dbname=postgres") : s;
}

// A fresh empty PostgreSQL database, dropped with the object.
struct BasePostgreSQLDePrueba {
    QString nombre;
    QString conexion;
    BasePostgreSQLDePrueba()
    {
        static std::atomic<int> contador{0};
        nombre = QStringLiteral("quenza_prueba_%1_%2").arg(QCoreApplication::applicationPid()).arg(++contador);
        motor::EliminarBasePostgreSQL(ServidorDePruebas(), nombre);
        conexion = motor::CrearBasePostgreSQL(ServidorDePruebas(), nombre);
    }
    ~BasePostgreSQLDePrueba()
    {
        try {
            motor::EliminarBasePostgreSQL(ServidorDePruebas(), nombre);
        } catch (...) {
        }
    }
};

// While it lives, libpq knows no password (no PGPASSWORD, an empty password file) and the
// program none either: a server that wants one asks through motor::PedirContrasena.
struct SinContrasenaConocida {
    QTemporaryDir dir;
    QByteArray clave = qgetenv("PGPASSWORD"), archivo = qgetenv("PGPASSFILE");
    SinContrasenaConocida()
    {
        qunsetenv("PGPASSWORD");
        qputenv("PGPASSFILE", dir.filePath(QStringLiteral("pgpass")).toUtf8());
        motor::OlvidarContrasenas();
    }
    ~SinContrasenaConocida()
    {
        qputenv("PGPASSWORD", clave);
        archivo.isNull() ? qunsetenv("PGPASSFILE") : qputenv("PGPASSFILE", archivo);
        motor::PedirContrasena = nullptr;
        motor::OlvidarContrasenas();
    }
};

// The test server wants a password over TCP, as pg_virtualenv makes it (its password in PGPASSWORD).
inline bool ServidorConContrasena()
{
    return PruebasEnPostgreSQL() && !qgetenv("PGPASSWORD").isEmpty() && !qEnvironmentVariable("PGHOST").startsWith(QLatin1Char('/'));
}

// A KV740 demo database in its own temporary folder (with KV740.INI): the folder's file, or a
// new server database when the suites run on PostgreSQL.
struct BaseDePrueba {
    QTemporaryDir carpeta;
    std::unique_ptr<BasePostgreSQLDePrueba> servidor;
    QString ruta;

    explicit BaseDePrueba(kv740::Opciones opciones = {})
    {
        if (PruebasEnPostgreSQL() && opciones.baseDatos.isEmpty()) {
            servidor = std::make_unique<BasePostgreSQLDePrueba>();
            opciones.baseDatos = servidor->conexion;
        }
        ruta = kv740::CrearDemo(carpeta.path(), opciones);
    }
    QString dir() const { return carpeta.path(); }
    bool postgres() const { return servidor != nullptr; }
};

// The database's own command-line client (sqlite3 for a file, psql for a server database), as
// another program on the shop's PCs uses it; rows as "a|b" lines. Empty `programa` when that
// client is not installed.
struct ClienteExterno {
    QString programa;
    int codigo = -1;
    QString salida, error;

    ClienteExterno(const QString& ruta, const QString& sql)
    {
        const bool servidor = motor::EsConexionPostgreSQL(ruta);
        programa = QStandardPaths::findExecutable(servidor ? QStringLiteral("psql") : QStringLiteral("sqlite3"));
        if (programa.isEmpty())
            return;
        QProcess p;
        if (servidor) {
            p.start(programa, {QStringLiteral("-X"), QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-q"),
                               QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), ruta});
            p.write(sql.toUtf8());
            p.closeWriteChannel();
        } else {
            p.start(programa, {QStringLiteral("-cmd"), QStringLiteral(".timeout 5000"), ruta, sql});
        }
        p.waitForFinished(20000);
        codigo = p.exitCode();
        salida = QString::fromUtf8(p.readAllStandardOutput());
        error = QString::fromUtf8(p.readAllStandardError());
    }
};

// Another PC's work, played by the engine itself: what `evento` ("DELETE", "UPDATE") would do
// to the rows of `tabla` that `condicion` (on OLD, may be empty) picks is silently not done.
inline void OtroPuestoSeAdelanta(motor::BaseDeDatos& bd, const QString& tabla, const QString& evento, const QString& condicion)
{
    if (!bd.esPostgreSQL()) {
        bd.ejecutarNativo(QStringLiteral("CREATE TRIGGER otroPC BEFORE %1 ON %2 %3BEGIN SELECT RAISE(IGNORE); END")
                              .arg(evento, tabla, condicion.isEmpty() ? QString() : QStringLiteral("WHEN ") + condicion + QLatin1Char(' ')));
        return;
    }
    bd.ejecutarNativo(QStringLiteral("CREATE FUNCTION otropc() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN IF %1 THEN RETURN NULL; "
                                     "END IF; RETURN %2; END$$")
                          .arg(condicion.isEmpty() ? QStringLiteral("true") : condicion,
                               evento == QLatin1String("DELETE") ? QStringLiteral("OLD") : QStringLiteral("NEW")));
    bd.ejecutarNativo(QStringLiteral("CREATE TRIGGER otropc BEFORE %1 ON %2 FOR EACH ROW EXECUTE FUNCTION otropc()").arg(evento, tabla));
}

// Tests about SQLite files themselves (network folders, journals, damaged files) skip on the
// server, saying why.
#define SOLO_SQLITE(motivo)                                                                        \
    do {                                                                                           \
        if (PruebasEnPostgreSQL())                                                                 \
            GTEST_SKIP() << "Solo SQLite: " << motivo;                                             \
    } while (0)
