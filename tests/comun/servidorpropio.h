#pragma once

// A PostgreSQL server of a test's own, in a temporary folder, that the test stops and starts
// again (the suites' shared server cannot be stopped under the other tests). It listens only on
// a socket in its folder; as root, its programs run as the postgres user, as the server refuses
// to run as root.

#include "entorno.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

class ServidorPropio {
public:
    ServidorPropio()
    {
        m_bin = carpetaProgramas();
        if (m_bin.isEmpty()) {
            m_motivo = QStringLiteral("no están initdb y pg_ctl (paquete postgresql)");
            return;
        }
        if (!m_carpeta.isValid()) {
            m_motivo = QStringLiteral("no se puede crear la carpeta temporal");
            return;
        }
        if (geteuid() == 0) {
            const passwd* pw = getpwnam("postgres");
            if (!pw || chown(QFile::encodeName(m_carpeta.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
                m_motivo = QStringLiteral("como root hace falta el usuario postgres");
                return;
            }
            m_comoPostgres = true;
        }
        if (!ejecutar(QStringLiteral("initdb"), {QStringLiteral("-D"), datos(), QStringLiteral("-U"), QStringLiteral("quenza"),
                                                  QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                                                  QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-N"),
                                                  QStringLiteral("--no-instructions")})) {
            m_motivo = QStringLiteral("initdb ha fallado: ") + m_salida;
            return;
        }
        QFile conf(datos() + QStringLiteral("/postgresql.conf"));
        if (!conf.open(QIODevice::Append)) {
            m_motivo = QStringLiteral("no se puede escribir postgresql.conf");
            return;
        }
        conf.write(QStringLiteral("\nlisten_addresses = ''\nunix_socket_directories = '%1'\nfsync = off\nfull_page_writes = off\n"
                                  "max_connections = 20\n")
                       .arg(m_carpeta.path())
                       .toUtf8());
        conf.close();
        if (!iniciar())
            m_motivo = QStringLiteral("el servidor no arranca: ") + m_salida;
    }
    ~ServidorPropio()
    {
        if (m_motivo.isEmpty())
            detener(QStringLiteral("immediate"));
    }
    ServidorPropio(const ServidorPropio&) = delete;
    ServidorPropio& operator=(const ServidorPropio&) = delete;

    // Empty when the server runs; otherwise why it could not be made.
    const QString& motivo() const { return m_motivo; }
    // What the last of its programs (initdb, pg_ctl) said.
    const QString& salida() const { return m_salida; }
    // The connection string of database `nombre` on this server.
    QString conexion(const QString& nombre = QStringLiteral("postgres")) const
    {
        // A loaded machine (the whole suite at once) may take seconds to start a session: more
        // than the program waits for an unanswering server. A stopped one refuses at once anyway.
        return QStringLiteral("host=%1 port=5432 user=quenza dbname=%2 sslmode=disable connect_timeout=30").arg(m_carpeta.path(), nombre);
    }
    // "fast" ends every session first (what a server's orderly shutdown does); "immediate" is a
    // crash: the sessions die with the server.
    bool detener(const QString& modo = QStringLiteral("fast"))
    {
        return ejecutar(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), datos(), QStringLiteral("-w"), QStringLiteral("-t"),
                                                   QStringLiteral("120"), QStringLiteral("-s"), QStringLiteral("-m"), modo,
                                                   QStringLiteral("stop")});
    }
    bool iniciar()
    {
        return ejecutar(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), datos(), QStringLiteral("-w"), QStringLiteral("-t"),
                                                   QStringLiteral("120"), QStringLiteral("-s"), QStringLiteral("-l"),
                                                   m_carpeta.path() + QStringLiteral("/registro"), QStringLiteral("start")});
    }

private:
    static QString carpetaProgramas()
    {
        const QString enRuta = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        if (!enRuta.isEmpty())
            return QFileInfo(enRuta).canonicalPath();
        // Debian keeps the server's programs out of the path, one folder per version.
        QDir versiones(QStringLiteral("/usr/lib/postgresql"));
        QStringList lista = versiones.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(lista.begin(), lista.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
        for (const QString& v : lista) {
            const QString bin = versiones.filePath(v + QStringLiteral("/bin"));
            if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() && QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable())
                return bin;
        }
        return {};
    }
    QString datos() const { return m_carpeta.path() + QStringLiteral("/datos"); }
    bool ejecutar(const QString& programa, QStringList argumentos)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The suites' own server is named by these: this one is not.
        for (const QString& k : env.keys())
            if (k.startsWith(QLatin1String("PG")))
                env.remove(k);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        QString ruta = m_bin + QLatin1Char('/') + programa;
        if (m_comoPostgres) {
            argumentos.prepend(ruta);
            argumentos.prepend(QStringLiteral("--"));
            argumentos.prepend(QStringLiteral("postgres"));
            argumentos.prepend(QStringLiteral("-u"));
            ruta = QStringLiteral("runuser");
        }
        p.start(ruta, argumentos);
        const bool bien = p.waitForFinished(180000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        m_salida = QString::fromLocal8Bit(p.readAll()).trimmed();
        return bien;
    }

    QTemporaryDir m_carpeta{QDir::tempPath() + QStringLiteral("/quenza-pg-XXXXXX")};
    QString m_bin;
    QString m_motivo;
    QString m_salida;
    bool m_comoPostgres = false;
};

// A KV740 database on a server of the test's own, for tests that stop the server. The reason
// the test cannot run (to skip with) is left in `motivo`; empty when all is ready.
struct BaseEnServidorPropio {
    std::unique_ptr<ServidorPropio> servidor;
    QString conexion;
    std::unique_ptr<BaseDePrueba> base;
    QString motivo;

    BaseEnServidorPropio()
    {
        if (!PruebasEnPostgreSQL()) {
            motivo = QStringLiteral("Solo PostgreSQL: detiene el servidor de la base de datos");
            return;
        }
        servidor = std::make_unique<ServidorPropio>();
        if (!servidor->motivo().isEmpty()) {
            motivo = QStringLiteral("Sin servidor propio: ") + servidor->motivo();
            return;
        }
        conexion = motor::CrearBasePostgreSQL(servidor->conexion(), QStringLiteral("kv740"));
        base = std::make_unique<BaseDePrueba>(kv740::Opciones{true, false, true, kv740::FormaPrograma::Ninguna, conexion});
    }
};


