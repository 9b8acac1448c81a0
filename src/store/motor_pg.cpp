// The PostgreSQL side of the engine: the connection, prepared statements, errors in Spanish and
// the definitions (tables, indexes, relations as foreign keys, saved queries as views).

#include "motor.h"

#include "traductor.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>

// The version of the money functions (instalarPG), written on them: an older one is replaced.
#define QUENZA_FUNCIONES_DINERO "quenza 5"

namespace motor {

namespace {

// Result codes the store knows, given to PostgreSQL errors of the same meaning.
constexpr int kUnico = SQLITE_CONSTRAINT_UNIQUE;
constexpr int kRelacion = SQLITE_CONSTRAINT_TRIGGER;
constexpr int kRegla = SQLITE_CONSTRAINT_CHECK;

const char* const kMarcaRelacionados = "registros relacionados";
const char* const kMarcaFaltaPadre = "falta el registro relacionado";

// Type identifiers of the built-in types read back.
enum : Oid {
    kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kFloat4 = 700, kFloat8 = 701,
    kDate = 1082, kTimestamp = 1114, kTimestamptz = 1184, kNumeric = 1700,
};

QString Campo(const PGresult* res, int campo)
{
    const char* v = res ? PQresultErrorField(res, campo) : nullptr;
    return v ? QString::fromUtf8(v) : QString();
}

TipoCampo TipoDeclaradoPG(const QString& tipo, const QString& formato, int* tamano)
{
    *tamano = 0;
    if (tipo == QLatin1String("booleano") || tipo == QLatin1String("bool"))
        return TipoCampo::Booleano;
    if (tipo == QLatin1String("int2"))
        return TipoCampo::Entero;
    if (tipo == QLatin1String("int4") || tipo == QLatin1String("int8"))
        return TipoCampo::Largo;
    if (tipo == QLatin1String("float4"))
        return TipoCampo::Simple;
    if (tipo == QLatin1String("float8") || tipo == QLatin1String("numeric"))
        return TipoCampo::Doble;
    if (tipo.startsWith(QLatin1String("timestamp")) || tipo == QLatin1String("date"))
        return TipoCampo::Fecha;
    if (tipo == QLatin1String("varchar") || tipo == QLatin1String("bpchar")) {
        static const QRegularExpression n(QStringLiteral("\\((\\d+)\\)"));
        const auto m = n.match(formato);
        *tamano = m.hasMatch() ? m.captured(1).toInt() : 0;
        return TipoCampo::Texto;
    }
    return TipoCampo::Memo;
}

}  // namespace

Valor ValorColumnaPG(const pg_result* res, int fila, int col, std::optional<TipoCampo> declarado)
{
    if (PQgetisnull(res, fila, col))
        return {};
    const char* t = PQgetvalue(res, fila, col);
    const int largo = PQgetlength(res, fila, col);
    switch (PQftype(res, col)) {
    case kBool: return Valor(t[0] == 't');
    case kInt2:
    case kInt4:
    case kInt8: {
        const qint64 v = std::strtoll(t, nullptr, 10);
        if (declarado == TipoCampo::Booleano)
            return Valor(v != 0);
        if (declarado == TipoCampo::Simple || declarado == TipoCampo::Doble)
            return Valor(static_cast<double>(v));
        return Valor(v);
    }
    case kFloat4: return Valor(static_cast<double>(std::strtof(t, nullptr)));
    case kFloat8: return Valor(std::strtod(t, nullptr));
    case kNumeric: {
        // Sums of whole numbers come as numeric: whole stays whole, as on SQLite.
        const QByteArray b(t, largo);
        if (!b.contains('.') && !b.contains('e') && !b.contains('N') && largo < 19 && declarado != TipoCampo::Doble)
            return Valor(static_cast<qint64>(std::strtoll(t, nullptr, 10)));
        return Valor(std::strtod(t, nullptr));
    }
    case kDate: {
        const QDate d = QDate::fromString(QString::fromLatin1(t, largo), Qt::ISODate);
        return d.isValid() ? Valor(d) : Valor(QString::fromLatin1(t, largo));
    }
    case kTimestamp:
    case kTimestamptz: {
        const QString s = QString::fromLatin1(t, largo);
        const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
        const QTime h = s.size() >= 19 ? QTime::fromString(s.mid(11, 8), QStringLiteral("HH:mm:ss")) : QTime(0, 0);
        if (!d.isValid())
            return Valor(s);
        // A date with no time is a date, as the date columns mostly hold.
        return h.isValid() && h != QTime(0, 0) ? Valor(QDateTime(d, h)) : Valor(d);
    }
    default: return Valor(QString::fromUtf8(t, largo));
    }
}

namespace {

// Statements that write rows: inside a transaction each runs under its own savepoint, so that
// a refused one leaves the transaction going, as it does on SQLite.
bool EsEscritura(const QByteArray& sql)
{
    const QByteArray s = sql.trimmed().left(7).toUpper();
    return s.startsWith("INSERT") || s.startsWith("UPDATE") || s.startsWith("DELETE");
}

}  // namespace

bool EsConsultaSQL(const QString& sql)
{
    const QString s = sql.trimmed().left(6).toUpper();
    return s.startsWith(QLatin1String("SELECT")) || s.startsWith(QLatin1String("WITH")) || s.startsWith(QLatin1String("VALUES"))
        || s.startsWith(QLatin1String("PRAGMA"));
}

// A field's declaration on PostgreSQL: the types' own ranges do what the range checks do on
// SQLite; yes/no is a small integer holding 0 or 1, as the store's SQL counts and compares it.
QString declaracionPG(const DefCampo& c)
{
    QString tipo;
    switch (c.tipo) {
    case TipoCampo::Booleano: tipo = QStringLiteral("booleano"); break;
    case TipoCampo::Entero: tipo = QStringLiteral("smallint"); break;
    case TipoCampo::Largo: tipo = QStringLiteral("integer"); break;
    case TipoCampo::Simple: tipo = QStringLiteral("real"); break;
    case TipoCampo::Doble: tipo = QStringLiteral("double precision"); break;
    case TipoCampo::Fecha: tipo = QStringLiteral("timestamp(0) without time zone"); break;
    case TipoCampo::Texto: tipo = QStringLiteral("varchar(%1) COLLATE es_ci").arg(c.tamano > 0 ? c.tamano : 50); break;
    case TipoCampo::Memo: tipo = QStringLiteral("text COLLATE es_ci"); break;
    }
    QString d = CitarIdentificador(c.nombre) + QLatin1Char(' ') + tipo;
    if (c.porDefecto && !c.porDefecto->esNulo()) {
        const Valor& v = *c.porDefecto;
        d += QLatin1String(" DEFAULT ")
            + (v.tipo() == Valor::Tipo::Texto ? CitarTexto(v.aTexto()) : QString::number(v.aNumero(), 'g', 17));
    }
    return d;
}

void BaseDeDatos::cambiarSQLConsultaPG(const QString& nombre, const QString& sql)
{
    {
        Sentencia& s = preparar(QStringLiteral("SELECT obj_description(to_regclass(quote_ident(lower(?))), 'pg_class')"));
        s.vincular({nombre});
        const bool igual = s.paso() && s.columna(0).aTexto() == sql;
        s.reiniciar();
        if (igual)
            return;
    }
    // The views made on this one go with it and come back from their own texts.
    std::vector<std::pair<QString, QString>> dependientes;
    {
        Sentencia& s = preparar(QStringLiteral(
            "SELECT DISTINCT v.relname::text, obj_description(v.oid, 'pg_class') FROM pg_depend d JOIN pg_rewrite w "
            "ON w.oid = d.objid JOIN pg_class v ON v.oid = w.ev_class WHERE d.refobjid = to_regclass(quote_ident(lower(?))) "
            "AND v.oid <> d.refobjid"));
        s.vincular({nombre});
        while (s.paso())
            if (!s.columna(1).esNulo())
                dependientes.emplace_back(s.columna(0).aTexto(), s.columna(1).aTexto());
        s.reiniciar();
    }
    Transaccion t(*this);
    ejecutarNativo(QStringLiteral("DROP VIEW IF EXISTS %1 CASCADE").arg(CitarIdentificador(nombre)));
    crearConsulta(nombre, sql);
    for (const auto& [vista, texto] : dependientes)
        if (!existeConsulta(vista))
            crearConsulta(vista, texto);
    t.commit();
}

bool EsConexionPostgreSQL(const QString& destino)
{
    const QString d = destino.trimmed();
    if (d.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) || d.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return true;
    static const QRegularExpression claveValor(QStringLiteral("^[A-Za-z_]+\\s*=\\s*\\S"));
    return claveValor.match(d).hasMatch();
}

QString ConexionParaMostrar(const QString& destino)
{
    if (!EsConexionPostgreSQL(destino))
        return destino;
    QString d = destino.trimmed();
    static const QRegularExpression enUsuario(QStringLiteral("^(postgres(?:ql)?://[^:@/?]*):[^@/?]*@"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression enParametro(QStringLiteral("([?&])password=[^&]*&?"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression clave(QStringLiteral("(^|\\s)password\\s*=\\s*('(?:[^'\\\\]|\\\\.)*'|\\S+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (d.contains(QLatin1String("://"))) {
        d.replace(enUsuario, QStringLiteral("\\1@"));
        d.replace(enParametro, QStringLiteral("\\1"));
        while (d.endsWith(QLatin1Char('?')) || d.endsWith(QLatin1Char('&')))
            d.chop(1);
        return d;
    }
    return d.replace(clave, QString()).simplified();
}

namespace {
QChar UltimoNoBlanco(const QString& texto)
{
    for (qsizetype i = texto.size() - 1; i >= 0; --i)
        if (!texto[i].isSpace())
            return texto[i];
    return QLatin1Char('(');
}
}  // namespace

QString APostgreSQL(const QString& sql)
{
    QString r;
    r.reserve(sql.size() + 16);
    const qsizetype n = sql.size();
    int ultimo = 0;
    auto palabraEn = [&](qsizetype i) {
        qsizetype j = i;
        while (j < n && (sql[j].isLetterOrNumber() || sql[j] == QLatin1Char('_')))
            ++j;
        return sql.mid(i, j - i);
    };
    QString anterior;  // the last word written, upper case
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            qsizetype j = i + 1;
            while (j < n) {
                if (sql[j] == QLatin1Char('\'')) {
                    if (j + 1 < n && sql[j + 1] == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            r += sql.mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('"')) {
            qsizetype j = i + 1;
            while (j < n) {
                if (sql[j] == QLatin1Char('"')) {
                    if (j + 1 < n && sql[j + 1] == QLatin1Char('"')) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            // Unquoted names fold to lower case on PostgreSQL: the quoted ones must match them.
            r += sql.mid(i, j - i).toLower();
            anterior.clear();
            i = j;
        } else if (c == QLatin1Char('?')) {
            qsizetype j = i + 1;
            while (j < n && sql[j].isDigit())
                ++j;
            int numero = j > i + 1 ? sql.mid(i + 1, j - i - 1).toInt() : ultimo + 1;
            ultimo = std::max(ultimo, numero);
            r += QLatin1Char('$') + QString::number(numero);
            i = j;
        } else if (c == QLatin1Char('=') && i + 1 < n && sql[i + 1] == QLatin1Char('=')) {
            r += QLatin1Char('=');
            i += 2;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            const QString w = palabraEn(i);
            const QString u = w.toUpper();
            i += w.size();
            if (u == QLatin1String("ROWID")) {
                r += QLatin1String("ctid");
            } else if (u == QLatin1String("NOCASE") && anterior == QLatin1String("COLLATE")) {
                r += QLatin1String("es_ci");
            } else if ((u == QLatin1String("IMMEDIATE") || u == QLatin1String("EXCLUSIVE")) && anterior == QLatin1String("BEGIN")) {
                // One writer at a time, as on SQLite: every guarantee the store gives several
                // stations (a note billed once, numbers under the lock, nothing overwritten) was
                // made on that. Readers never wait for it; it goes with the transaction.
                while (r.endsWith(QLatin1Char(' ')))
                    r.chop(1);
                r += QLatin1String("; SELECT pg_advisory_xact_lock(740740)");
            } else if (u == QLatin1String("CHAR") && i < n && sql[i] == QLatin1Char('(')) {
                r += QLatin1String("chr");
            } else if (u == QLatin1String("IS")) {
                // SQLite's IS and IS NOT compare values, nulls included.
                qsizetype j = i;
                while (j < n && sql[j].isSpace())
                    ++j;
                const QString s1 = palabraEn(j).toUpper();
                if (s1.isEmpty() && !(j < n && (sql[j] == QLatin1Char('"') || sql[j] == QLatin1Char('?')))) {
                    // IS 'a comment', IS (...): as written
                } else if (s1 == QLatin1String("NOT")) {
                    qsizetype k = j + 3;
                    while (k < n && sql[k].isSpace())
                        ++k;
                    const QString s2 = palabraEn(k).toUpper();
                    if (s2 != QLatin1String("NULL") && s2 != QLatin1String("TRUE") && s2 != QLatin1String("FALSE")
                        && s2 != QLatin1String("DISTINCT")) {
                        r += QLatin1String("IS DISTINCT FROM");
                        i = j + 3;
                        anterior = QStringLiteral("FROM");
                        continue;
                    }
                } else if (s1 != QLatin1String("NULL") && s1 != QLatin1String("TRUE") && s1 != QLatin1String("FALSE")
                           && s1 != QLatin1String("DISTINCT")) {
                    r += QLatin1String("IS NOT DISTINCT FROM");
                    anterior = QStringLiteral("FROM");
                    continue;
                }
                r += w;
            } else {
                r += w;
            }
            anterior = u;
        } else if (c == QLatin1Char('+') && i + 1 < n && (sql[i + 1].isLetter() || sql[i + 1] == QLatin1Char('"'))
                   && QStringView(u"(,=<>").contains(UltimoNoBlanco(r))) {
            // A unary plus before a column keeps SQLite from ordering by that column's index;
            // PostgreSQL has no unary plus for dates or text, and it changes nothing.
            anterior.clear();
            ++i;
        } else {
            if (!c.isSpace())
                anterior.clear();
            r += c;
            ++i;
        }
    }
    return r;
}

// ---------------------------------------------------------------------------------------------
// Connecting, and the passwords asked this run

namespace {

QMutex s_mutexContrasenas;
QHash<QString, QByteArray> s_contrasenas;  // host:port:user -> password the user gave

QString ServidorDe(const PGconn* c)
{
    return QStringLiteral("%1:%2").arg(QString::fromUtf8(PQhost(c)), QString::fromUtf8(PQport(c)));
}

QString ClaveContrasena(const PGconn* c) { return ServidorDe(c) + QLatin1Char(':') + QString::fromUtf8(PQuser(c)); }

// The connection string as written, a default wait for a server that does not answer before it
// (the string's own wins), and a password after it (over ~/.pgpass and PGPASSWORD).
PGconn* IntentarConexion(const QByteArray& destino, const QByteArray& contrasena)
{
    std::vector<const char*> claves, valores;
    const QByteArray espera = QByteArray::number(kEsperaConexionSegundos);
    if (!qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT")) {
        claves.push_back("connect_timeout");
        valores.push_back(espera.constData());
    }
    claves.push_back("dbname");
    valores.push_back(destino.constData());
    if (!contrasena.isNull()) {
        claves.push_back("password");
        valores.push_back(contrasena.constData());
    }
    claves.push_back(nullptr);
    valores.push_back(nullptr);
    PGconn* c = PQconnectdbParams(claves.data(), valores.data(), 1);
    if (!c)
        throw Error(ErrNoSePuedeAbrir, SQLITE_NOMEM, QStringLiteral("no queda memoria"), {}, {}, QStringLiteral("53200"));
    return c;
}

bool EnHiloPrincipal()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Why a connection failed, as the store's error. libpq says whether the server wanted a password;
// for the rest it has only words, the server's or its own.
[[noreturn]] void LanzarFalloConexion(PGconn* c)
{
    const QString texto = QString::fromUtf8(PQerrorMessage(c)).trimmed();
    const bool pedida = PQconnectionUsedPassword(c) != 0;
    PQfinish(c);
    if (texto.contains(QLatin1String("does not exist")) && texto.contains(QLatin1String("database")))
        throw Error(ErrArchivoNoEncontrado, SQLITE_CANTOPEN, QStringLiteral("no existe esa base de datos en el servidor"), {},
                    texto, QStringLiteral("3D000"));
    if (pedida || texto.contains(QLatin1String("password")) || texto.contains(QLatin1String("authentication")))
        throw Error(ErrNoSePuedeAbrir, SQLITE_AUTH, QStringLiteral("el servidor no acepta el usuario o la contraseña"), {},
                    texto, QStringLiteral("28P01"));
    if (texto.contains(QLatin1String("invalid")) || texto.contains(QLatin1String("missing \"=\"")))
        throw Error(ErrArchivoNoEncontrado, SQLITE_CANTOPEN, QStringLiteral("la conexión a la base de datos está mal escrita"),
                    {}, texto, QStringLiteral("08001"));
    throw Error(ErrNoSePuedeAbrir, SQLITE_IOERR, QStringLiteral("no se puede conectar con el servidor de la base de datos"),
                {}, texto, QStringLiteral("08001"));
}

}  // namespace

void OlvidarContrasenas()
{
    QMutexLocker l(&s_mutexContrasenas);
    s_contrasenas.clear();
}

static PGconn* AbrirConexionPG(const QString& destino)
{
    const QByteArray d = destino.trimmed().toUtf8();
    PGconn* c = IntentarConexion(d, {});
    QByteArray contrasena;  // ours, kept or asked; null while libpq found its own or none
    bool guardadaProbada = false;
    int preguntas = 0;
    QString motivo;
    while (PQstatus(c) != CONNECTION_OK) {
        const bool falta = PQconnectionNeedsPassword(c) != 0;
        const QString clave = ClaveContrasena(c);
        if (!contrasena.isNull()) {
            // Ours was refused (or was empty): it is no longer kept, and the user may try again.
            if (!PQconnectionUsedPassword(c) || QString::fromUtf8(PQerrorMessage(c)).contains(QLatin1String("does not exist")))
                break;
            QMutexLocker l(&s_mutexContrasenas);
            s_contrasenas.remove(clave);
            motivo = contrasena.isEmpty() ? QStringLiteral("Escriba la contraseña.")
                                          : QStringLiteral("El servidor no ha aceptado esa contraseña.");
        } else if (!falta) {
            break;  // not a password the server is missing (one from ~/.pgpass or PGPASSWORD may have been refused)
        }
        if (!guardadaProbada) {
            guardadaProbada = true;
            QMutexLocker l(&s_mutexContrasenas);
            const auto kept = s_contrasenas.constFind(clave);
            if (kept != s_contrasenas.constEnd()) {
                contrasena = *kept;
                l.unlock();
                PQfinish(c);
                c = IntentarConexion(d, contrasena);
                continue;
            }
        }
        if (!PedirContrasena || !EnHiloPrincipal()) {
            const QString texto = QString::fromUtf8(PQerrorMessage(c)).trimmed();
            PQfinish(c);
            throw Error(ErrNoSePuedeAbrir, SQLITE_AUTH,
                        QStringLiteral("el servidor pide una contraseña y no hay ninguna: escríbala en el archivo .pgpass de "
                                       "la carpeta del usuario (~/.pgpass) o en la variable PGPASSWORD"),
                        {}, texto, QStringLiteral("28000"));
        }
        if (preguntas == 3)
            break;
        ++preguntas;
        const PeticionContrasena peticion{ServidorDe(c), QString::fromUtf8(PQuser(c)), QString::fromUtf8(PQdb(c)), motivo};
        PQfinish(c);
        c = nullptr;
        const std::optional<QString> dada = PedirContrasena(peticion);
        if (!dada)
            throw Error(ErrNoSePuedeAbrir, SQLITE_AUTH,
                        QStringLiteral("no se ha escrito la contraseña que pide el servidor, y sin ella no se conecta"), {}, {},
                        QStringLiteral("28000"));
        contrasena = dada->toUtf8();
        if (contrasena.isNull())
            contrasena = QByteArray("");
        c = IntentarConexion(d, contrasena);
    }
    if (PQstatus(c) != CONNECTION_OK)
        LanzarFalloConexion(c);
    if (!contrasena.isEmpty()) {
        QMutexLocker l(&s_mutexContrasenas);
        s_contrasenas.insert(ClaveContrasena(c), contrasena);
    }
    return c;
}

namespace {

// A connection for asking the server itself; throws what a failed open throws.
PGconn* ConectarServidor(const QString& servidor)
{
    PGconn* c = AbrirConexionPG(servidor);
    PQclear(PQexec(c, "SET client_min_messages = warning"));
    return c;
}

void EjecutarEnServidor(PGconn* c, const QString& sql)
{
    PGresult* res = PQexec(c, sql.toUtf8().constData());
    if (PQresultStatus(res) != PGRES_COMMAND_OK) {
        const QString texto = QString::fromUtf8(PQresultErrorMessage(res)).trimmed();
        const QString estado = Campo(res, PG_DIAG_SQLSTATE);
        PQclear(res);
        PQfinish(c);
        throw Error(ErrGeneral, SQLITE_ERROR, QStringLiteral("el servidor no ha aceptado %1").arg(sql.section(QLatin1Char(' '), 0, 1)),
                    sql, texto, estado);
    }
    PQclear(res);
}

}  // namespace

QString CrearBasePostgreSQL(const QString& servidor, const QString& nombre)
{
    PGconn* c = ConectarServidor(servidor);
    // Template0 with ICU: the collation of the new database does not matter, its columns name theirs.
    EjecutarEnServidor(c, QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(CitarIdentificador(nombre)));
    PQfinish(c);
    QString d = servidor.trimmed();
    if (d.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive) && d.contains(QLatin1String("://"))) {
        static const QRegularExpression base(QStringLiteral("^([^?]*://[^/?]*)(/[^?]*)?"));
        return d.replace(base, QStringLiteral("\\1/") + nombre);
    }
    static const QRegularExpression dbname(QStringLiteral("\\bdbname\\s*=\\s*('[^']*'|\\S+)"));
    if (d.contains(dbname))
        return d.replace(dbname, QStringLiteral("dbname=") + nombre);
    return d + QStringLiteral(" dbname=") + nombre;
}

void EliminarBasePostgreSQL(const QString& servidor, const QString& nombre)
{
    PGconn* c = ConectarServidor(servidor);
    EjecutarEnServidor(c, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(CitarIdentificador(nombre)));
    PQfinish(c);
}

// ---------------------------------------------------------------------------------------------
// Errors

namespace {

// Splits a list at its top-level commas (quotes and parentheses kept whole).
QStringList Partes(const QString& lista)
{
    QStringList r;
    int nivel = 0;
    bool comillas = false;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i < lista.size(); ++i) {
        const QChar c = lista[i];
        if (c == QLatin1Char('\''))
            comillas = !comillas;
        else if (!comillas && c == QLatin1Char('('))
            ++nivel;
        else if (!comillas && c == QLatin1Char(')'))
            --nivel;
        else if (!comillas && nivel == 0 && c == QLatin1Char(',')) {
            r << lista.mid(inicio, i - inicio).trimmed();
            inicio = i + 1;
        }
    }
    r << lista.mid(inicio).trimmed();
    return r;
}

}  // namespace

// PostgreSQL does not say which field a number or a text did not fit: the statement's own
// fields and values do, read against the table's definition. Empty when it cannot be told.
QString BaseDeDatos::reglaIncumplidaPG(const QString& sql, const std::vector<QByteArray>& valores, const std::vector<bool>& nulos)
{
    static const QRegularExpression insercion(
        QStringLiteral("^\\s*INSERT\\s+INTO\\s+\"?(\\w+)\"?\\s*\\((.*?)\\)\\s*VALUES\\s*\\((.*)\\)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cambio(
        QStringLiteral("^\\s*UPDATE\\s+\"?(\\w+)\"?\\s+SET\\s+(.*?)(\\s+WHERE\\s+.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString tabla;
    std::vector<std::pair<QString, QString>> pares;  // field, value as written
    if (const auto m = insercion.match(sql); m.hasMatch()) {
        tabla = m.captured(1);
        const QStringList c = Partes(m.captured(2)), v = Partes(m.captured(3));
        for (qsizetype i = 0; i < c.size() && i < v.size(); ++i)
            pares.emplace_back(c[i], v[i]);
    } else if (const auto u = cambio.match(sql); u.hasMatch()) {
        tabla = u.captured(1);
        for (const QString& a : Partes(u.captured(2)))
            pares.emplace_back(a.section(QLatin1Char('='), 0, 0).trimmed(), a.section(QLatin1Char('='), 1).trimmed());
    } else {
        return {};
    }
    std::vector<DefCampo> campos;
    try {
        campos = camposDeTabla(tabla);
    } catch (const Error&) {
        return {};
    }
    auto regla = [](const DefCampo& d) -> QString {
        switch (d.tipo) {
        case TipoCampo::Booleano: return QStringLiteral("el campo «%1» solo admite Sí o No").arg(d.nombre);
        case TipoCampo::Entero: return QStringLiteral("el campo «%1» solo admite números enteros de -32.768 a 32.767").arg(d.nombre);
        case TipoCampo::Largo:
            return QStringLiteral("el campo «%1» solo admite números enteros de -2.147.483.648 a 2.147.483.647").arg(d.nombre);
        case TipoCampo::Texto:
            return QStringLiteral("el campo «%1» solo admite textos de hasta %2 caracteres").arg(d.nombre).arg(d.tamano > 0 ? d.tamano : 50);
        default: return {};
        }
    };
    // A field given a value worked out by the statement (Venta = Venta + ?) is the one, when
    // no value as written breaks a rule and it is the only such field.
    std::vector<const DefCampo*> calculados;
    int ultimo = 0;
    for (auto [campo, valor] : pares) {
        campo.remove(QLatin1Char('"'));
        QString texto;
        bool nulo = false;
        if (valor.startsWith(QLatin1Char('?'))) {
            const int k = valor.size() > 1 ? valor.mid(1).toInt() : ultimo + 1;
            ultimo = std::max(ultimo, k);
            if (k < 1 || static_cast<size_t>(k) > valores.size())
                continue;
            nulo = nulos[static_cast<size_t>(k - 1)];
            texto = QString::fromUtf8(valores[static_cast<size_t>(k - 1)]);
        } else if (valor.startsWith(QLatin1Char('\'')) && valor.endsWith(QLatin1Char('\''))) {
            texto = valor.mid(1, valor.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        } else {
            texto = valor;
            bool numero = false;
            valor.toDouble(&numero);
            if (!numero && valor.compare(QLatin1String("NULL"), Qt::CaseInsensitive) != 0)
                for (const DefCampo& d : campos)
                    if (d.nombre.compare(campo.remove(QLatin1Char('"')), Qt::CaseInsensitive) == 0 && !regla(d).isEmpty())
                        calculados.push_back(&d);
        }
        if (nulo)
            continue;
        for (const DefCampo& d : campos) {
            if (d.nombre.compare(campo, Qt::CaseInsensitive) != 0)
                continue;
            bool ok = false;
            const double n = texto.toDouble(&ok);
            switch (d.tipo) {
            case TipoCampo::Booleano:
                if (ok && n != 0 && n != 1)
                    return QStringLiteral("el campo «%1» solo admite Sí o No").arg(d.nombre);
                break;
            case TipoCampo::Entero:
                if (ok && (n < -32768.5 || n >= 32767.5))
                    return QStringLiteral("el campo «%1» solo admite números enteros de -32.768 a 32.767").arg(d.nombre);
                break;
            case TipoCampo::Largo:
                if (ok && (n < -2147483648.5 || n >= 2147483647.5))
                    return QStringLiteral("el campo «%1» solo admite números enteros de -2.147.483.648 a 2.147.483.647").arg(d.nombre);
                break;
            case TipoCampo::Texto:
                if (texto.size() > (d.tamano > 0 ? d.tamano : 50))
                    return QStringLiteral("el campo «%1» solo admite textos de hasta %2 caracteres").arg(d.nombre).arg(d.tamano > 0 ? d.tamano : 50);
                break;
            default: break;
            }
        }
    }
    return calculados.size() == 1 ? regla(*calculados.front()) : QString();
}

void BaseDeDatos::lanzarPG(PGresult* res, const QString& sql, const std::vector<QByteArray>& valores, const std::vector<bool>& nulos)
{
    const QString estado = res ? Campo(res, PG_DIAG_SQLSTATE) : QString();
    QString texto = res ? Campo(res, PG_DIAG_MESSAGE_PRIMARY) : QString();
    if (texto.isEmpty())
        texto = QString::fromUtf8(PQerrorMessage(m_pg)).trimmed();
    const QString tabla = Campo(res, PG_DIAG_TABLE_NAME);
    const QString columna = Campo(res, PG_DIAG_COLUMN_NAME);
    const QString restriccion = Campo(res, PG_DIAG_CONSTRAINT_NAME);
    const QString tipoDato = Campo(res, PG_DIAG_DATATYPE_NAME);
    // PostgreSQL names what it folded to lower case: the statement has it as written.
    auto comoEscrito = [&sql](const QString& nombre) {
        if (nombre.isEmpty())
            return nombre;
        const QRegularExpression r(QStringLiteral("\\b(%1)\\b").arg(QRegularExpression::escape(nombre)),
                                   QRegularExpression::CaseInsensitiveOption);
        const auto m = r.match(sql);
        return m.hasMatch() ? m.captured(1) : nombre;
    };
    // libpq's own failures carry no SQLSTATE: the server never answered (it went away while the
    // statement was sent or read), even when libpq has not marked the connection bad yet.
    const bool conexionPerdida = PQstatus(m_pg) == CONNECTION_BAD || estado.isEmpty();
    if (res)
        PQclear(res);
    if (qEnvironmentVariableIsSet("QUENZA_DEPURAR_SQL"))
        qWarning("PostgreSQL %s: %s\n  en: %s", qPrintable(estado), qPrintable(texto), qPrintable(APostgreSQL(sql)));
    int codigo = ErrGeneral;
    int rc = SQLITE_ERROR;
    QString mensaje;
    const QString clase = estado.left(2);
    if (conexionPerdida || clase == QLatin1String("08") || estado == QLatin1String("57P01") || estado == QLatin1String("57P02")
        || estado == QLatin1String("57P03")) {
        rc = SQLITE_IOERR;
        m_sesionPerdidaPG = true;
        mensaje = QStringLiteral("se ha perdido la conexión con el servidor de la base de datos");
        throw Error(codigo, rc, mensaje, sql, texto, estado.isEmpty() ? QStringLiteral("08006") : estado);
    }
    if (estado == QLatin1String("23505")) {
        codigo = ErrDuplicado;
        rc = kUnico;
        QString nombre = restriccion;
        if (!tabla.isEmpty() && nombre.startsWith(tabla + QLatin1Char('_')))
            nombre = nombre.mid(tabla.size() + 1);
        mensaje = QStringLiteral("ya hay otro registro con el mismo valor en «%1»").arg(nombre.isEmpty() ? tabla : nombre);
    } else if (estado == QLatin1String("23503")) {
        rc = kRelacion;
        const auto rel = m_relacionesPG.value(restriccion);
        // A statement on the child's table wants its parent; one on the parent's leaves children.
        static const QRegularExpression objetivo(QStringLiteral("^\\s*(?:INSERT\\s+INTO|UPDATE|DELETE\\s+FROM)\\s+\"?(\\w+)"),
                                                 QRegularExpression::CaseInsensitiveOption);
        const auto m = objetivo.match(sql);
        const QString escrita = m.hasMatch() ? m.captured(1).toLower() : tabla;
        if (escrita == rel.first) {
            codigo = ErrFaltaRegistroRelacionado;
            mensaje = QStringLiteral("%1: %2 en %3").arg(restriccion, QLatin1String(kMarcaFaltaPadre), rel.second);
        } else {
            codigo = ErrRegistrosRelacionados;
            mensaje = QStringLiteral("%1: hay %2 en %3").arg(restriccion, QLatin1String(kMarcaRelacionados), rel.first);
        }
    } else if (estado == QLatin1String("P0001")) {
        // Our own triggers' refusals, written in Spanish.
        codigo = ErrRegistrosRelacionados;
        rc = kRelacion;
        mensaje = texto;
    } else if (estado == QLatin1String("23514") || estado == QLatin1String("22001") || estado == QLatin1String("22003")) {
        codigo = ErrReglaValidacion;
        rc = kRegla;
        const QString regla = reglaIncumplidaPG(sql, valores, nulos);
        mensaje = !regla.isEmpty() ? regla : tipoDato == QLatin1String("booleano") ? QStringLiteral("un campo de Sí o No solo admite Sí o No")
            : columna.isEmpty() ? QStringLiteral("un dato no cabe en su campo (un número fuera de su rango o un texto "
                                                 "demasiado largo)")
                                    : QStringLiteral("el campo «%1» no admite ese valor (un número fuera de su rango o un "
                                                     "texto demasiado largo)").arg(columna);
    } else if (estado == QLatin1String("23502")) {
        codigo = ErrReglaValidacion;
        rc = SQLITE_CONSTRAINT_NOTNULL;
        mensaje = QStringLiteral("falta el dato «%1», que es obligatorio").arg(columna);
    } else if (clase == QLatin1String("22")) {
        codigo = ErrReglaValidacion;
        rc = SQLITE_MISMATCH;
        mensaje = QStringLiteral("un dato no es del tipo de su campo");
    } else if (estado == QLatin1String("40001") || estado == QLatin1String("40P01") || estado == QLatin1String("55P03")) {
        codigo = ErrNoSePuedeAbrir;
        rc = SQLITE_BUSY;
        mensaje = QStringLiteral("la base de datos está ocupada por otro programa");
    } else if (estado == QLatin1String("57014")) {
        rc = SQLITE_INTERRUPT;
        mensaje = QStringLiteral("la operación se ha interrumpido");
    } else if (estado == QLatin1String("25006")) {
        codigo = ErrNoSePuedeAbrir;
        rc = SQLITE_READONLY;
        mensaje = QStringLiteral("no hay permiso para escribir en la base de datos");
    } else if (estado == QLatin1String("42501")) {
        codigo = ErrNoSePuedeAbrir;
        rc = SQLITE_PERM;
        mensaje = QStringLiteral("no hay permiso para escribir en la base de datos");
    } else if (estado == QLatin1String("53100")) {
        rc = SQLITE_FULL;
        mensaje = QStringLiteral("el disco está lleno");
    } else if (clase == QLatin1String("53")) {
        rc = SQLITE_NOMEM;
        mensaje = QStringLiteral("no queda memoria");
    } else if (clase == QLatin1String("XX")) {
        rc = SQLITE_CORRUPT;
        mensaje = QStringLiteral("la base de datos está dañada");
    } else if (estado == QLatin1String("42P01")) {
        codigo = ErrTablaNoExiste;
        static const QRegularExpression nombre(QStringLiteral("\"([^\"]+)\""));
        const auto m = nombre.match(texto);
        mensaje = QStringLiteral("no existe la tabla «%1»").arg(comoEscrito(m.hasMatch() ? m.captured(1) : tabla));
    } else if (estado == QLatin1String("42701")) {
        codigo = ErrCampoExiste;
        mensaje = QStringLiteral("el campo ya existe");
    } else if (estado == QLatin1String("42703")) {
        static const QRegularExpression nombre(QStringLiteral("\"([^\"]+)\""));
        const auto m = nombre.match(texto);
        QString falta = m.hasMatch() ? m.captured(1) : columna;
        if (falta.contains(QLatin1Char('.')))
            falta = falta.section(QLatin1Char('.'), -1);
        mensaje = QStringLiteral("no existe la columna «%1»").arg(comoEscrito(falta));
    } else if (clase == QLatin1String("42")) {
        mensaje = QStringLiteral("la sentencia no es válida");
    } else if (clase == QLatin1String("28")) {
        codigo = ErrNoSePuedeAbrir;
        rc = SQLITE_AUTH;
        mensaje = QStringLiteral("el servidor no acepta el usuario o la contraseña");
    } else if (estado == QLatin1String("3D000")) {
        codigo = ErrArchivoNoEncontrado;
        rc = SQLITE_CANTOPEN;
        mensaje = QStringLiteral("no existe esa base de datos en el servidor");
    } else {
        mensaje = QStringLiteral("error %1 del servidor de la base de datos").arg(estado.isEmpty() ? QStringLiteral("?") : estado);
    }
    throw Error(codigo, rc, mensaje, sql, texto, estado);
}

// ---------------------------------------------------------------------------------------------
// Connection

// Every session's settings, on connecting and on reconnecting. No JIT: the listings' queries
// (a dozen subqueries per row) are costed high enough to be compiled, which takes one to two
// seconds before their first row and more than their whole run saves.
static const char kAjustesSesionPG[] =
    "SET datestyle = ISO, YMD; SET extra_float_digits = 1; SET lock_timeout = 10000; SET client_min_messages = warning; "
    "SET jit = off";

void BaseDeDatos::conectarPG()
{
    m_pg = AbrirConexionPG(m_ruta);
    PQsetClientEncoding(m_pg, "UTF8");
    ejecutarSimplePG(QString::fromLatin1(kAjustesSesionPG));
    m_cancelPG = PQgetCancel(m_pg);
    // A database made by another tool gets what ours have.
    if (valorUnico(QStringLiteral("SELECT to_regprocedure('centimos_linea(numeric,numeric,integer)') IS NULL OR "
                                  "obj_description(to_regprocedure('porcentaje(numeric,double precision)'), 'pg_proc') "
                                  "IS DISTINCT FROM '" QUENZA_FUNCIONES_DINERO "' OR NOT EXISTS (SELECT 1 FROM pg_collation WHERE collname = 'es_ci') OR "
                                  "to_regtype('booleano') IS NULL"))
            .aBooleano())
        instalarPG();
    m_relacionesPG.clear();
    Sentencia& s = preparar(QStringLiteral(
        "SELECT conname::text, conrelid::regclass::text, confrelid::regclass::text FROM pg_constraint "
        "WHERE contype = 'f' AND connamespace = current_schema()::regnamespace"));
    s.vincular({});
    while (s.paso())
        m_relacionesPG.insert(s.columna(0).aTexto(), {s.columna(1).aTexto(), s.columna(2).aTexto()});
    s.reiniciar();
}

void BaseDeDatos::reconectarPGSiHaceFalta()
{
    if (!m_pg || m_nivelTransaccion > 0)
        return;
    // A session the server ended while this one stood idle (a restart, a stop) has left its
    // end on the socket: read without waiting, it marks the connection bad, so that the next
    // statement goes on a new session instead of failing on the old one. The second read sees
    // the end behind the server's last message.
    for (int i = 0; i < 2 && !m_sesionPerdidaPG && PQstatus(m_pg) == CONNECTION_OK && PQtransactionStatus(m_pg) == PQTRANS_IDLE; ++i)
        if (!PQconsumeInput(m_pg))
            break;
    if (PQstatus(m_pg) == CONNECTION_OK && !m_sesionPerdidaPG)
        return;
    // The next statement goes on a new session, prepared anew.
    PQreset(m_pg);
    if (PQstatus(m_pg) != CONNECTION_OK) {
        // Still away: said as when opening, which callers tell apart from a refused statement.
        throw Error(ErrNoSePuedeAbrir, SQLITE_IOERR, QStringLiteral("no se puede conectar con el servidor de la base de datos"), {},
                    QString::fromUtf8(PQerrorMessage(m_pg)).trimmed(), QStringLiteral("08001"));
    }
    m_sesionPerdidaPG = false;
    ++m_generacionPG;
    PQsetClientEncoding(m_pg, "UTF8");
    PQclear(PQexec(m_pg, kAjustesSesionPG));
    if (m_cancelPG)
        PQfreeCancel(m_cancelPG);
    m_cancelPG = PQgetCancel(m_pg);
}

bool BaseDeDatos::conexionPerdida() const { return m_pg && (m_sesionPerdidaPG || PQstatus(m_pg) != CONNECTION_OK); }

// A write outside a transaction waits for the write lock like any save (lock_timeout says how
// long); a wait that runs out is the busy error of the write itself.
void BaseDeDatos::empezarEscrituraSueltaPG()
{
    PGresult* res = PQexec(m_pg, "BEGIN; SELECT pg_advisory_xact_lock(740740)");
    const ExecStatusType e = PQresultStatus(res);
    if (e != PGRES_COMMAND_OK && e != PGRES_TUPLES_OK) {
        if (PQtransactionStatus(m_pg) != PQTRANS_IDLE)
            PQclear(PQexec(m_pg, "ROLLBACK"));
        lanzarPG(res, QStringLiteral("BEGIN"));
    }
    PQclear(res);
}

namespace {

// A value in COPY's text format, as the parameters of a statement carry it (Sentencia::vincular).
void AnadirACopia(QByteArray& datos, const Valor& v)
{
    QByteArray t;
    switch (v.tipo()) {
    case Valor::Tipo::Nulo: datos.append("\\N"); return;
    case Valor::Tipo::Booleano: datos.append(v.aBooleano() ? '1' : '0'); return;
    case Valor::Tipo::Entero: datos.append(QByteArray::number(v.aEntero())); return;
    case Valor::Tipo::Numero: datos.append(QByteArray::number(v.aNumero(), 'g', 17)); return;
    case Valor::Tipo::Fecha: datos.append(v.aFecha().toString(Qt::ISODate).toLatin1()); return;
    case Valor::Tipo::FechaHora: datos.append(v.aFechaHora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1()); return;
    default: t = v.aTexto().toUtf8(); break;
    }
    for (const char c : t) {
        switch (c) {
        case '\\': datos.append("\\\\"); break;
        case '\t': datos.append("\\t"); break;
        case '\n': datos.append("\\n"); break;
        case '\r': datos.append("\\r"); break;
        default: datos.append(c); break;
        }
    }
}

}  // namespace

namespace {

void AnadirFilaACopia(QByteArray& datos, const std::vector<Valor>& fila)
{
    for (size_t i = 0; i < fila.size(); ++i) {
        if (i > 0)
            datos.append('\t');
        AnadirACopia(datos, fila[i]);
    }
    datos.append('\n');
}

}  // namespace

QByteArray BaseDeDatos::textoCopiaPG(const std::vector<std::vector<Valor>>& filas)
{
    QByteArray datos;
    datos.reserve(static_cast<qsizetype>(filas.size()) * 96);
    for (const std::vector<Valor>& fila : filas)
        AnadirFilaACopia(datos, fila);
    return datos;
}

bool BaseDeDatos::copiarPG(const QString& tabla, const QString& columnas, const std::vector<std::vector<Valor>>& filas,
                           const QByteArray& hecha)
{
    if (m_puntoLotePG.isEmpty())
        return false;
    liberarConexionPG();
    reconectarPGSiHaceFalta();
    // The server keeps the names in lower case, as the translation of every statement gives them.
    const QByteArray sql = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(tabla.toLower(), columnas.toLower()).toUtf8();
    PGresult* res = PQexec(m_pg, sql.constData());
    bool bien = PQresultStatus(res) == PGRES_COPY_IN;
    PGresult* error = nullptr;  // the first thing the server said against it
    if (bien)
        PQclear(res);
    else
        error = res;
    constexpr qsizetype kTrozo = 1 << 20;
    for (qsizetype desde = 0; bien && desde < hecha.size(); desde += kTrozo)
        bien = PQputCopyData(m_pg, hecha.constData() + desde, static_cast<int>(std::min(kTrozo, hecha.size() - desde))) == 1;
    if (bien) {
        QByteArray datos;
        datos.reserve(kTrozo + 4096);
        static const std::vector<std::vector<Valor>> ninguna;
        for (const std::vector<Valor>& fila : hecha.isEmpty() ? filas : ninguna) {
            AnadirFilaACopia(datos, fila);
            if (datos.size() >= kTrozo) {
                bien = bien && PQputCopyData(m_pg, datos.constData(), static_cast<int>(datos.size())) == 1;
                datos.resize(0);
            }
        }
        if (!datos.isEmpty())
            bien = bien && PQputCopyData(m_pg, datos.constData(), static_cast<int>(datos.size())) == 1;
        PQputCopyEnd(m_pg, bien ? nullptr : "cancelado");
        // Every result of the COPY is read, so that the connection takes the next statement.
        while (PGresult* r = PQgetResult(m_pg)) {
            if (PQresultStatus(r) == PGRES_COMMAND_OK) {
                m_cambiosPG = std::atol(PQcmdTuples(r));
                PQclear(r);
            } else {
                bien = false;
                if (error)
                    PQclear(r);
                else
                    error = r;
            }
        }
    }
    if (bien)
        return true;
    // Without an answer from the server the session is lost, as for any statement.
    if (PQstatus(m_pg) != CONNECTION_OK || !error || Campo(error, PG_DIAG_SQLSTATE).isEmpty())
        lanzarPG(error, QString::fromUtf8(sql));
    PQclear(error);
    PQclear(PQexec(m_pg, ("ROLLBACK TO SAVEPOINT " + m_puntoLotePG).constData()));
    return false;
}

void BaseDeDatos::ejecutarSimplePG(const QString& sql)
{
    liberarConexionPG();
    reconectarPGSiHaceFalta();
    const QByteArray b = APostgreSQL(sql).toUtf8();
    const bool escritura = EsEscritura(b);
    const bool punto = escritura && enTransaccion();
    // A write on its own takes the write lock too, for as long as it runs.
    if (escritura && !punto)
        empezarEscrituraSueltaPG();
    if (punto)
        PQclear(PQexec(m_pg, "SAVEPOINT quenza_sentencia"));
    PGresult* res = PQexec(m_pg, b.constData());
    const ExecStatusType e = PQresultStatus(res);
    if (escritura && !punto)
        PQclear(PQexec(m_pg, e == PGRES_COMMAND_OK || e == PGRES_TUPLES_OK ? "COMMIT" : "ROLLBACK"));
    if (e != PGRES_COMMAND_OK && e != PGRES_TUPLES_OK) {
        if (punto)
            PQclear(PQexec(m_pg, "ROLLBACK TO SAVEPOINT quenza_sentencia; RELEASE SAVEPOINT quenza_sentencia"));
        // A transaction that could not get the write lock is no transaction, as on SQLite.
        if (b.trimmed().toUpper().startsWith("BEGIN") && PQtransactionStatus(m_pg) == PQTRANS_INERROR)
            PQclear(PQexec(m_pg, "ROLLBACK"));
        lanzarPG(res, sql);
    }
    m_cambiosPG = std::atol(PQcmdTuples(res));
    PQclear(res);
    if (punto)
        PQclear(PQexec(m_pg, "RELEASE SAVEPOINT quenza_sentencia"));
}

// quenza_exacta's steps on the value X into M and K (plpgsql; r and e declared by the caller).
#define QUENZA_EXACTA(X, M, K)                                                                                          \
    "IF " X " = 'NaN' OR abs(" X ") = 'Infinity' THEN r := 0; "                                                        \
    "ELSE r := least(greatest(" X "::real::float8, -1073741824), 1073741824); END IF; "                                \
    "IF r = 0 OR abs(r) < 2.0::float8 ^ -41 THEN e := NULL; ELSE e := 32 - floor(ln(abs(r)) / ln(2))::integer; END IF; " \
    "IF e IS NULL THEN " M " := 0; ELSE " M " := (r * 2.0::float8 ^ e)::numeric; END IF; " K " := coalesce(e, 0); "

// N / D rounded down, in bigint (D > 0): SQL's / and mod round towards zero. In the body of an
// inlined SQL function, where the numerator cannot be a variable.
#define QUENZA_ABAJO(N, D) "((" N ") - mod(mod(" N ", " D ") + " D ", " D ")) / " D

// The collation, the yes/no type and the money functions of a KV740 database on the server.
void BaseDeDatos::instalarPG()
{
    // Text compared without regard to case (ñ and Ñ the same, accents apart), in Spanish order,
    // as the columns' own collation: = and ORDER BY on a name use the name's plain index.
    static const char* const kSentencias[] = {
        // Two stations connecting at once would replace the same functions together.
        "SELECT pg_advisory_xact_lock(740741)",
        "CREATE COLLATION IF NOT EXISTS es_ci (provider = icu, locale = 'es-u-ks-level2', deterministic = false)",
        "DO $$ BEGIN IF to_regtype('booleano') IS NULL THEN "
        "CREATE DOMAIN booleano AS smallint CONSTRAINT booleano_si_no CHECK (VALUE IN (0, 1)); END IF; END $$",
        // The money functions are plpgsql, but for two called once for each line of a listing,
        // which are SQL the planner writes into the query itself (a SQL function it cannot inline,
        // one with a strict CASE or a FROM, costs a whole query at each call). Their usual case is
        // bigint arithmetic; anything else goes on to plpgsql. An inlined function must name an
        // argument once where the caller may pass an expression: porcentaje, given another
        // function's result, stays plpgsql. The arithmetic is the same, step by step, in the same
        // types.
        // numerador / divisor rounded half up (towards +infinity at exactly half), divisor > 0.
        "CREATE OR REPLACE FUNCTION quenza_redondeo(n numeric, d numeric) RETURNS numeric LANGUAGE plpgsql IMMUTABLE STRICT "
        "PARALLEL SAFE AS $$ DECLARE q numeric := div(2 * n + d, 2 * d); BEGIN "
        "IF mod(2 * n + d, 2 * d) < 0 THEN RETURN q - 1; END IF; RETURN q; END $$",
        // A percentage as the single-precision value stored for it, exactly: m / 2^k.
        "CREATE OR REPLACE FUNCTION quenza_exacta(x double precision, OUT m numeric, OUT k integer) LANGUAGE plpgsql IMMUTABLE "
        "STRICT PARALLEL SAFE AS $$ DECLARE r double precision; e integer; BEGIN " QUENZA_EXACTA("x", "m", "k") "END $$",
        // Millionths of a euro below 2^53 are whole in a double and their halves fit a bigint.
        "CREATE OR REPLACE FUNCTION quenza_centimos(e double precision) RETURNS bigint LANGUAGE plpgsql IMMUTABLE STRICT "
        "PARALLEL SAFE "
        "AS $$ DECLARE t double precision; n bigint; BEGIN "
        "IF e = 'NaN' OR abs(e) = 'Infinity' THEN RETURN NULL; END IF; "
        "IF abs(e * 1000000) < 2.0::float8 ^ 53 THEN t := trunc(e * 1000000); "
        "n := 2 * (t + CASE WHEN abs(e * 1000000 - t) >= 0.5 THEN sign(e) ELSE 0 END)::bigint + 10000; "
        "IF n >= 0 THEN RETURN n / 20000; END IF; RETURN -((19999 - n) / 20000); "
        "END IF; IF abs(floor(e * 100 + 0.5)) >= 2.0::float8 ^ 62 THEN RETURN NULL; END IF; "
        "RETURN floor(e * 100 + 0.5)::bigint; END $$",
        // Null, NaN and the infinities go on too.
        "CREATE OR REPLACE FUNCTION centimos(e double precision) RETURNS bigint LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ "
        "SELECT CASE WHEN abs(e * 1000000) < 9007199254740992 THEN "
        QUENZA_ABAJO("2 * (trunc(e * 1000000) + CASE WHEN abs(e * 1000000 - trunc(e * 1000000)) >= 0.5 THEN sign(e) ELSE 0 END)"
                     "::bigint + 10000", "20000")
        " ELSE quenza_centimos(e) END $$",
        // A whole rate (21, 10, 4, 0: nearly every one) on an amount of less than 2^36 cents
        // is worked out in bigint, far cheaper than numeric: the same floor of the same exact
        // quotient, as the rate is its own exact fraction. Likewise two whole discounts.
        "CREATE OR REPLACE FUNCTION porcentaje(c numeric, t double precision) RETURNS bigint LANGUAGE plpgsql IMMUTABLE STRICT "
        "PARALLEL SAFE AS $$ DECLARE r double precision; e integer; m numeric; k integer; n bigint; BEGIN "
        "IF t = trunc(t) AND abs(t) < 16777216 AND abs(c) < 68719476736 THEN "
        "n := 2 * trunc(c)::bigint * t::bigint + 100; "
        "IF n >= 0 THEN RETURN n / 200; END IF; RETURN -((199 - n) / 200); END IF; "
        QUENZA_EXACTA("t", "m", "k")
        "RETURN quenza_redondeo(trunc(c) * m, 100 * 2::numeric ^ k)::bigint; END $$",
        "CREATE OR REPLACE FUNCTION tras_descuentos(c numeric, a double precision, b double precision) RETURNS bigint "
        "LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$ DECLARE r double precision; e integer; ma numeric; ka integer; "
        "mb numeric; kb integer; k integer; n bigint; BEGIN "
        "IF a = trunc(a) AND b = trunc(b) AND abs(a) < 16777216 AND abs(b) < 16777216 AND abs(c) < 68719476736 THEN "
        "n := 2 * trunc(c)::bigint * (100 - a::bigint - b::bigint) + 100; "
        "IF n >= 0 THEN RETURN n / 200; END IF; RETURN -((199 - n) / 200); END IF; "
        QUENZA_EXACTA("a", "ma", "ka") QUENZA_EXACTA("b", "mb", "kb")
        "k := greatest(ka, kb); RETURN quenza_redondeo(trunc(c) * (100 * 2::numeric ^ k - ma * 2::numeric ^ (k - ka) "
        "- mb * 2::numeric ^ (k - kb)), 100 * 2::numeric ^ k)::bigint; END $$",
        // Likewise a price and a quantity of less than 2^30 each (every real line), in bigint.
        "CREATE OR REPLACE FUNCTION centimos_linea(p numeric, q numeric, cada integer) RETURNS bigint LANGUAGE plpgsql IMMUTABLE "
        "STRICT PARALLEL SAFE AS $$ DECLARE n bigint; d bigint; BEGIN "
        "IF cada NOT IN (0, 1, 2) THEN RETURN 0; END IF; "
        "IF abs(p) < 1073741824 AND abs(q) < 1073741824 THEN n := trunc(p)::bigint * trunc(q)::bigint; "
        "IF cada = 2 THEN RETURN n; END IF; d := CASE cada WHEN 0 THEN 1000 ELSE 100 END; n := 2 * n + d; "
        "IF n >= 0 THEN RETURN n / (2 * d); END IF; RETURN -((2 * d - 1 - n) / (2 * d)); END IF; "
        "RETURN (CASE cada WHEN 0 THEN quenza_redondeo(trunc(p) * trunc(q), 1000) "
        "WHEN 1 THEN quenza_redondeo(trunc(p) * trunc(q), 100) ELSE trunc(p) * trunc(q) END)::bigint; END $$",
        // The types of a note line's own columns, an exact match the server picks for them.
        "CREATE OR REPLACE FUNCTION centimos_linea(p integer, q integer, cada smallint) RETURNS bigint LANGUAGE sql IMMUTABLE "
        "PARALLEL SAFE AS $$ SELECT CASE WHEN p > -1073741824 AND p < 1073741824 AND q > -1073741824 AND q < 1073741824 THEN "
        "CASE cada WHEN 2 THEN p::bigint * q "
        "WHEN 0 THEN " QUENZA_ABAJO("2 * p::bigint * q + 1000", "2000") " WHEN 1 THEN " QUENZA_ABAJO("2 * p::bigint * q + 100", "200")
        " ELSE 0 * cada END ELSE centimos_linea(p::numeric, q::numeric, cada::integer) END $$",
        "COMMENT ON FUNCTION porcentaje(numeric, double precision) IS '" QUENZA_FUNCIONES_DINERO "'",
    };
    Transaccion t(*this);
    for (const char* s : kSentencias) {
        PGresult* res = PQexec(m_pg, s);
        const ExecStatusType e = PQresultStatus(res);
        if (e != PGRES_COMMAND_OK && e != PGRES_TUPLES_OK)
            lanzarPG(res, QString::fromUtf8(s));
        PQclear(res);
    }
    t.commit();
}

const BaseDeDatos::ColumnaPG& BaseDeDatos::columnaPG(unsigned int tabla, int columna)
{
    const quint64 clave = (static_cast<quint64>(tabla) << 16) | static_cast<quint64>(columna & 0xFFFF);
    auto it = m_columnasPG.find(clave);
    if (it != m_columnasPG.end())
        return it->second;
    ColumnaPG c;
    liberarConexionPG();
    const QByteArray t = QByteArray::number(tabla), n = QByteArray::number(columna);
    const char* valores[] = {t.constData(), n.constData()};
    PGresult* res = PQexecParams(m_pg,
                                 "SELECT ty.typname, format_type(a.atttypid, a.atttypmod), coalesce(col_description(a.attrelid, "
                                 "a.attnum), a.attname::text) FROM pg_attribute a JOIN pg_type ty ON ty.oid = a.atttypid "
                                 "WHERE a.attrelid = $1::oid AND a.attnum = $2::int2",
                                 2, nullptr, valores, nullptr, nullptr, 0);
    if (PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) == 1) {
        int tamano = 0;
        c.tipo = TipoDeclaradoPG(QString::fromUtf8(PQgetvalue(res, 0, 0)), QString::fromUtf8(PQgetvalue(res, 0, 1)), &tamano);
        c.nombre = QString::fromUtf8(PQgetvalue(res, 0, 2));
    }
    PQclear(res);
    return m_columnasPG[clave] = c;
}

// PostgreSQL keeps names in lower case; the names as defined (what the store and the lists
// show) go in the comments of the table and its columns.
void BaseDeDatos::nombresOriginalesPG(const QString& tabla, const std::vector<DefCampo>& campos, bool conTabla)
{
    QStringList s;
    if (conTabla)
        s << QStringLiteral("COMMENT ON TABLE %1 IS %2").arg(CitarIdentificador(tabla), CitarTexto(tabla));
    for (const DefCampo& c : campos)
        s << QStringLiteral("COMMENT ON COLUMN %1.%2 IS %3").arg(CitarIdentificador(tabla), CitarIdentificador(c.nombre), CitarTexto(c.nombre));
    ejecutarSimplePG(s.join(QLatin1String("; ")));
    m_columnasPG.clear();
}

std::vector<DefCampo> BaseDeDatos::camposDeTablaPG(const QString& tabla)
{
    std::vector<DefCampo> r;
    Sentencia& s = preparar(QStringLiteral(
        "SELECT coalesce(col_description(a.attrelid, a.attnum), a.attname::text), ty.typname::text, "
        "format_type(a.atttypid, a.atttypmod) FROM pg_attribute a JOIN pg_type ty "
        "ON ty.oid = a.atttypid WHERE a.attrelid = to_regclass(quote_ident(lower(?))) AND a.attnum > 0 AND NOT a.attisdropped "
        "ORDER BY a.attnum"));
    s.vincular({tabla});
    while (s.paso()) {
        DefCampo c;
        c.nombre = s.columna(0).aTexto();
        c.tipo = TipoDeclaradoPG(s.columna(1).aTexto(), s.columna(2).aTexto(), &c.tamano);
        r.push_back(c);
    }
    s.reiniciar();
    return r;
}

QString BaseDeDatos::nombreIndicePG(const QString& tabla, const QString& nombre)
{
    Sentencia& s = preparar(QStringLiteral(
        "SELECT c.relname::text FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid JOIN pg_class t ON t.oid = i.indrelid "
        "WHERE t.relname = lower(?1) AND t.relnamespace = current_schema()::regnamespace "
        "AND c.relname IN (lower(?1 || '_' || ?2), lower(?2)) ORDER BY c.relname = lower(?1 || '_' || ?2) DESC LIMIT 1"));
    s.vincular({tabla, nombre});
    QString r;
    if (s.paso())
        r = s.columna(0).aTexto();
    s.reiniciar();
    return r;
}

// ---------------------------------------------------------------------------------------------
// Statements

BaseDeDatos::Sentencia::Sentencia(BaseDeDatos& bd, QString sql, QByteArray sqlPg)
    : m_bd(bd), m_sql(std::move(sql)), m_sqlPg(std::move(sqlPg))
{
    m_escrituraPG = EsEscritura(m_sqlPg);
    m_consultaPG = !m_escrituraPG && EsConsultaSQL(QString::fromUtf8(m_sqlPg));
}

void BaseDeDatos::liberarConexionPG()
{
    if (m_lecturaPG)
        m_lecturaPG->leerRestoPG(true);
}

// The next result of this statement's query: read ahead, or from the connection.
PGresult* BaseDeDatos::Sentencia::siguientePG() const
{
    if (!m_colaPG.empty()) {
        PGresult* res = m_colaPG.front();
        m_colaPG.pop_front();
        return res;
    }
    return recibirPG();
}

namespace {
// A listing's cursor gives about a page first, then larger batches.
constexpr int kPrimerLoteCursor = 64;
constexpr int kLoteCursor = 2000;
}  // namespace

void BaseDeDatos::Sentencia::cerrarCursorPG(bool bien) const
{
    if (m_bd.m_pg)
        PQclear(PQexec(m_bd.m_pg, bien ? "COMMIT" : "ROLLBACK"));
    m_cursorPG = m_filaAFilaPG = false;
    if (m_bd.m_lecturaPG == this)
        m_bd.m_lecturaPG = nullptr;
}

PGresult* BaseDeDatos::Sentencia::recibirPG(bool todas) const
{
    if (m_cursorPG) {
        static const QByteArray kLote = "FETCH " + QByteArray::number(kLoteCursor) + " FROM quenza_filas";
        PGresult* res = PQexec(m_bd.m_pg, todas ? "FETCH ALL FROM quenza_filas" : kLote.constData());
        const bool bien = PQresultStatus(res) == PGRES_TUPLES_OK;
        if (!bien || todas || PQntuples(res) < kLoteCursor)
            cerrarCursorPG(bien);
        return res;
    }
    PGresult* res = PQgetResult(m_bd.m_pg);
    const ExecStatusType e = PQresultStatus(res);
    if (e != PGRES_SINGLE_TUPLE) {
        // The last result: the connection is free once libpq has said so (a null result).
        while (PGresult* resto = PQgetResult(m_bd.m_pg))
            PQclear(resto);
        m_filaAFilaPG = false;
        m_bd.m_lecturaPG = nullptr;
        if (!res)
            res = PQmakeEmptyPGresult(m_bd.m_pg, PGRES_FATAL_ERROR);
    }
    return res;
}

// Reads what is still to arrive of this statement's result, kept for stepping (`guardar`) or
// dropped (a reset, a statement let go).
void BaseDeDatos::Sentencia::leerRestoPG(bool guardar) const
{
    if (!guardar) {
        for (PGresult* res : m_colaPG)
            PQclear(res);
        m_colaPG.clear();
        if (m_cursorPG)
            cerrarCursorPG(true);
    }
    while (m_filaAFilaPG) {
        PGresult* res = recibirPG(true);
        if (guardar)
            m_colaPG.push_back(res);
        else
            PQclear(res);
    }
}

const std::string& BaseDeDatos::Sentencia::preparadaPG() const
{
    BaseDeDatos& bd = m_bd;
    if (m_generacionPG != bd.m_generacionPG) {
        m_preparadasPG.clear();
        m_generacionPG = bd.m_generacionPG;
    }
    std::string firma;
    for (unsigned int t : m_tiposParamPG)
        firma += std::to_string(t) + ',';
    auto it = m_preparadasPG.find(firma);
    if (it == m_preparadasPG.end()) {
        const std::string nombre = "q" + std::to_string(++bd.m_contadorPG);
        PGresult* res = PQprepare(bd.m_pg, nombre.c_str(), m_sqlPg.constData(), static_cast<int>(m_tiposParamPG.size()),
                                  m_tiposParamPG.empty() ? nullptr : m_tiposParamPG.data());
        if (PQresultStatus(res) != PGRES_COMMAND_OK)
            bd.lanzarPG(res, m_sql);
        PQclear(res);
        it = m_preparadasPG.emplace(firma, nombre).first;
    }
    return it->second;
}

PGresult* BaseDeDatos::Sentencia::descripcionPG() const
{
    if (m_descritaPG)
        return m_descripcionPG;
    const std::string& nombre = preparadaPG();
    m_descritaPG = true;
    PGresult* d = PQdescribePrepared(m_bd.m_pg, nombre.c_str());
    if (PQresultStatus(d) != PGRES_COMMAND_OK) {
        PQclear(d);
        return nullptr;
    }
    // The declared types of the columns, asked for now: asking at the first row would need the
    // connection the rows are arriving on.
    for (int c = 0; c < PQnfields(d); ++c)
        if (PQftable(d, c) != InvalidOid)
            m_bd.columnaPG(PQftable(d, c), PQftablecol(d, c));
    m_descripcionPG = d;
    return d;
}

void BaseDeDatos::Sentencia::ejecutarPG() const
{
    BaseDeDatos& bd = m_bd;
    bd.liberarConexionPG();
    bd.reconectarPGSiHaceFalta();
    const std::string& nombre = preparadaPG();
    std::vector<const char*> valores(m_valoresPG.size());
    for (size_t i = 0; i < m_valoresPG.size(); ++i)
        valores[i] = m_nulosPG[i] ? nullptr : m_valoresPG[i].constData();
    if (m_consultaPG) {
        // A query's rows come one at a time: the first as soon as the server has it, the rest
        // as they are stepped (or read ahead when the connection is needed for another).
        descripcionPG();
        bd.m_estadoAntesLecturaPG = PQtransactionStatus(bd.m_pg);
        if (bd.m_primerasFilasPG && m_tiposParamPG.empty() && bd.m_estadoAntesLecturaPG == PQTRANS_IDLE) {
            // The first batch is about a page of a listing: it is there as soon as those rows are.
            PGresult* res = PQexec(bd.m_pg, QByteArray("BEGIN READ ONLY; DECLARE quenza_filas NO SCROLL CURSOR FOR " + m_sqlPg
                                                       + "; FETCH " + QByteArray::number(kPrimerLoteCursor) + " FROM quenza_filas")
                                                .constData());
            const bool bien = PQresultStatus(res) == PGRES_TUPLES_OK;
            m_cursorPG = m_filaAFilaPG = bien && PQntuples(res) == kPrimerLoteCursor;
            if (m_cursorPG)
                bd.m_lecturaPG = this;
            else
                cerrarCursorPG(bien);
            if (!bien)
                bd.lanzarPG(res, m_sql);
            m_resPG = res;
            m_filaPG = -1;
            m_ejecutadaPG = true;
            return;
        }
        if (PQsendQueryPrepared(bd.m_pg, nombre.c_str(), static_cast<int>(valores.size()),
                                valores.empty() ? nullptr : valores.data(), nullptr, nullptr, 0)) {
            PQsetSingleRowMode(bd.m_pg);
            bd.m_lecturaPG = this;
            m_filaAFilaPG = true;
            PGresult* res = siguientePG();
            const ExecStatusType e = PQresultStatus(res);
            if (e != PGRES_SINGLE_TUPLE && e != PGRES_TUPLES_OK && e != PGRES_COMMAND_OK)
                bd.lanzarPG(res, m_sql, m_valoresPG, m_nulosPG);
            if (e != PGRES_SINGLE_TUPLE)
                bd.m_cambiosPG = std::atol(PQcmdTuples(res));
            m_resPG = res;
            m_filaPG = -1;
            m_ejecutadaPG = true;
            return;
        }
        // Not sent (the connection is gone): run at once, which reports why.
    }
    const bool enTransaccion = m_escrituraPG && bd.enTransaccion();
    const bool lote = enTransaccion && !bd.m_puntoLotePG.isEmpty();
    const bool punto = enTransaccion && !lote;
    const bool suelta = m_escrituraPG && !enTransaccion;
    if (suelta)
        bd.empezarEscrituraSueltaPG();
    if (punto)
        PQclear(PQexec(bd.m_pg, "SAVEPOINT quenza_sentencia"));
    PGresult* res = PQexecPrepared(bd.m_pg, nombre.c_str(), static_cast<int>(valores.size()),
                                   valores.empty() ? nullptr : valores.data(), nullptr, nullptr, 0);
    const ExecStatusType e = PQresultStatus(res);
    if (suelta)
        PQclear(PQexec(bd.m_pg, e == PGRES_COMMAND_OK || e == PGRES_TUPLES_OK ? "COMMIT" : "ROLLBACK"));
    if (e != PGRES_TUPLES_OK && e != PGRES_COMMAND_OK) {
        if (punto)
            PQclear(PQexec(bd.m_pg, "ROLLBACK TO SAVEPOINT quenza_sentencia; RELEASE SAVEPOINT quenza_sentencia"));
        // The batch is undone at once: telling why may need the transaction working again.
        if (lote)
            PQclear(PQexec(bd.m_pg, ("ROLLBACK TO SAVEPOINT " + bd.m_puntoLotePG).constData()));
        bd.lanzarPG(res, m_sql, m_valoresPG, m_nulosPG);
    }
    if (punto)
        PQclear(PQexec(bd.m_pg, "RELEASE SAVEPOINT quenza_sentencia"));
    bd.m_cambiosPG = std::atol(PQcmdTuples(res));
    m_resPG = res;
    m_filaPG = -1;
    m_ejecutadaPG = true;
}

}  // namespace motor
