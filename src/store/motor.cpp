#include "motor.h"

#include "dinero.h"
#include "traductor.h"
#include "utilidades.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <libpq-fe.h>
#include <sqlite3.h>

#ifdef __linux__
#include <sys/vfs.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <thread>

namespace motor {

Valor ValorColumnaPG(const pg_result* res, int fila, int col, std::optional<TipoCampo> declarado);
QString declaracionPG(const DefCampo& c);
bool EsConsultaSQL(const QString& sql);

Error::Error(int codigo, int codigoSqlite, const QString& mensaje, const QString& sql, const QString& textoMotor,
             const QString& estadoSql)
    : std::runtime_error((textoMotor.isEmpty() ? mensaje : textoMotor).toStdString()), m_codigo(codigo),
      m_codigoSqlite(codigoSqlite), m_mensaje(mensaje), m_sql(sql), m_textoMotor(textoMotor), m_estadoSql(estadoSql)
{
}

QString CitarIdentificador(const QString& nombre)
{
    QString n = nombre;
    n.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QString CitarTexto(const QString& texto)
{
    QString t = texto;
    t.replace(QLatin1String("'"), QLatin1String("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

bool EsBloqueo(const Error& error)
{
    const int primario = error.codigoSqlite() & 0xFF;
    return primario == SQLITE_BUSY || primario == SQLITE_LOCKED;
}

bool EsRechazo(const Error& error)
{
    if (error.codigoSqlite() == 0)
        return true;
    const int primario = error.codigoSqlite() & 0xFF;
    return primario == SQLITE_CONSTRAINT || primario == SQLITE_MISMATCH || primario == SQLITE_TOOBIG;
}

QString TextoParaUsuario(const Error& error)
{
    // The store's own refusals carry no engine code and are already written for the user.
    if (error.codigoSqlite() == 0)
        return error.mensaje();
    // What only a database server says.
    const QString estado = error.estadoSql();
    if (estado.startsWith(QLatin1String("08")) || estado == QLatin1String("57P01") || estado == QLatin1String("57P02")
        || estado == QLatin1String("57P03"))
        return QStringLiteral("No hay conexión con el servidor de la base de datos: lo que estaba guardando no se ha guardado. "
                              "Compruebe que el servidor está encendido y que la red llega a él, y vuelva a intentarlo.");
    // A password the server asked for and did not get: the store's words already say what to do.
    if (estado == QLatin1String("28000") && !error.mensaje().isEmpty())
        return error.mensaje().left(1).toUpper() + error.mensaje().mid(1) + QLatin1Char('.');
    if (estado.startsWith(QLatin1String("28")))
        return QStringLiteral("El servidor de la base de datos no acepta el usuario o la contraseña. Compruébelos (o pida "
                              "al responsable del servidor que le dé acceso) y vuelva a intentarlo.");
    if (estado == QLatin1String("3D000"))
        return QStringLiteral("En el servidor no existe la base de datos indicada. Compruebe su nombre en la configuración "
                              "y vuelva a intentarlo.");
    if (estado == QLatin1String("53100"))
        return QStringLiteral("El disco del servidor de la base de datos está lleno: lo que estaba guardando no se ha "
                              "guardado. Avise al responsable del servidor para que libere espacio y vuelva a intentarlo.");
    if (estado == QLatin1String("40001") || estado == QLatin1String("40P01"))
        return QStringLiteral("Otro puesto estaba cambiando los mismos datos a la vez: no se ha guardado nada. "
                              "Vuelva a intentarlo.");
    if (EsBloqueo(error))
        return QStringLiteral("La base de datos está ocupada por otro puesto o por la línea de balanzas. "
                              "Espere un momento y vuelva a intentarlo.");
    switch (error.codigoSqlite() & 0xFF) {
    case SQLITE_FULL:
        return QStringLiteral("El disco donde está la base de datos está lleno: lo que estaba guardando no se ha guardado. "
                              "Libere espacio en ese disco y vuelva a intentarlo.");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("No hay permiso para escribir en la base de datos: no se ha guardado nada. Pida permiso de "
                              "escritura sobre el archivo y su carpeta y vuelva a intentarlo.");
    case SQLITE_IOERR:
        return QStringLiteral("No se ha podido leer o escribir el disco de la base de datos: lo que estaba guardando no se ha "
                              "guardado. Compruebe el disco o la conexión con el equipo que guarda la base de datos y vuelva "
                              "a intentarlo.");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("La base de datos está dañada. No siga trabajando con ella: avise al responsable del equipo "
                              "para que recupere una copia de seguridad.");
    case SQLITE_CANTOPEN:
        return QStringLiteral("No se puede abrir la base de datos. Compruebe que el archivo sigue en su sitio y que la carpeta "
                              "(o el equipo que la comparte) está accesible, y vuelva a intentarlo.");
    case SQLITE_NOMEM:
        return QStringLiteral("El equipo se ha quedado sin memoria. Cierre otras ventanas o programas y vuelva a intentarlo.");
    default: break;
    }
    switch (error.codigo()) {
    case ErrDuplicado:
        return QStringLiteral("Ya hay un registro guardado con ese número. Cambie el número y vuelva a intentarlo.");
    case ErrReglaValidacion:
        return QStringLiteral("Un dato no cabe en su campo de la base de datos: %1. Corríjalo y vuelva a intentarlo.")
            .arg(error.mensaje());
    case ErrRegistrosRelacionados:
    case ErrFaltaRegistroRelacionado:
        return QStringLiteral("La operación rompería la relación entre documentos (%1). Actualice la lista y vuelva a intentarlo.")
            .arg(error.mensaje());
    default:
        return QStringLiteral("La base de datos no ha aceptado la operación (%1). Vuelva a intentarlo; si se repite, avise al "
                              "responsable del equipo.")
            .arg(error.mensaje());
    }
}

namespace {

const char* const kMarcaRelacionados = "registros relacionados";
const char* const kMarcaFaltaPadre = "falta el registro relacionado";

QString declaracion(const DefCampo& c)
{
    const QString id = CitarIdentificador(c.nombre);
    QString tipo, regla;
    switch (c.tipo) {
    case TipoCampo::Booleano:
        tipo = QStringLiteral("BOOLEAN");
        regla = id + QLatin1String(" IN (0, 1)");
        break;
    case TipoCampo::Entero:
        tipo = QStringLiteral("SMALLINT");
        regla = id + QLatin1String(" BETWEEN -32768 AND 32767");
        break;
    case TipoCampo::Largo:
        tipo = QStringLiteral("INTEGER");
        regla = id + QLatin1String(" BETWEEN -2147483648 AND 2147483647");
        break;
    case TipoCampo::Simple: tipo = QStringLiteral("FLOAT"); break;
    case TipoCampo::Doble: tipo = QStringLiteral("DOUBLE"); break;
    case TipoCampo::Fecha: tipo = QStringLiteral("DATETIME"); break;
    case TipoCampo::Texto: {
        const int n = c.tamano > 0 ? c.tamano : 50;
        tipo = QStringLiteral("VARCHAR(%1) COLLATE NOCASE").arg(n);
        regla = QStringLiteral("length(%1) <= %2").arg(id).arg(n);
        break;
    }
    case TipoCampo::Memo: tipo = QStringLiteral("TEXT COLLATE NOCASE"); break;
    }
    QString d = id + QLatin1Char(' ') + tipo;
    if (c.porDefecto && !c.porDefecto->esNulo()) {
        const Valor& v = *c.porDefecto;
        d += QLatin1String(" DEFAULT ")
            + (v.tipo() == Valor::Tipo::Texto ? CitarTexto(v.aTexto()) : QString::number(v.aNumero(), 'g', 17));
    }
    if (!regla.isEmpty())
        d += QLatin1String(" CONSTRAINT ") + CitarIdentificador(QLatin1String("rango_") + c.nombre)
            + QLatin1String(" CHECK (") + regla + QLatin1Char(')');
    return d;
}

TipoCampo tipoDeclarado(const QString& declarado, int* tamano)
{
    const QString d = declarado.trimmed().toUpper();
    *tamano = 0;
    if (d.startsWith(QLatin1String("BOOL")) || d == QLatin1String("BIT"))
        return TipoCampo::Booleano;
    if (d.startsWith(QLatin1String("SMALLINT")) || d == QLatin1String("SHORT"))
        return TipoCampo::Entero;
    if (d.contains(QLatin1String("INT")) || d == QLatin1String("LONG"))
        return TipoCampo::Largo;
    if (d.startsWith(QLatin1String("FLOAT")) || d.startsWith(QLatin1String("SINGLE")))
        return TipoCampo::Simple;
    if (d.startsWith(QLatin1String("DOUBLE")) || d.startsWith(QLatin1String("REAL")) || d.startsWith(QLatin1String("NUM"))
        || d.startsWith(QLatin1String("DEC")))
        return TipoCampo::Doble;
    if (d.startsWith(QLatin1String("DATE")) || d.startsWith(QLatin1String("TIME")))
        return TipoCampo::Fecha;
    static const QRegularExpression conTamano(QStringLiteral("^(VAR)?CHAR(ACTER)?\\s*\\((\\d+)\\)"));
    const auto m = conTamano.match(d);
    if (m.hasMatch()) {
        *tamano = m.captured(3).toInt();
        return TipoCampo::Texto;
    }
    return TipoCampo::Memo;
}

int codigoDeError(int rc, const QString& mensaje)
{
    const int primario = rc & 0xFF;
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        return ErrDuplicado;
    if (rc == SQLITE_CONSTRAINT_CHECK || rc == SQLITE_CONSTRAINT_NOTNULL || rc == SQLITE_MISMATCH)
        return ErrReglaValidacion;
    if (rc == SQLITE_CONSTRAINT_TRIGGER) {
        if (mensaje.contains(QLatin1String(kMarcaFaltaPadre), Qt::CaseInsensitive))
            return ErrFaltaRegistroRelacionado;
        return ErrRegistrosRelacionados;
    }
    if (primario == SQLITE_NOTADB)
        return ErrFormatoNoReconocido;
    if (primario == SQLITE_CANTOPEN)
        return ErrArchivoNoEncontrado;
    if (primario == SQLITE_BUSY || primario == SQLITE_LOCKED || primario == SQLITE_READONLY || primario == SQLITE_PERM)
        return ErrNoSePuedeAbrir;
    if (mensaje.startsWith(QLatin1String("no such table")))
        return ErrTablaNoExiste;
    if (mensaje.startsWith(QLatin1String("duplicate column name")))
        return ErrCampoExiste;
    return ErrGeneral;
}

// What the engine said, in Spanish and without saying what to do (TextoParaUsuario adds that).
// `regla` tells what a field named by a failed "rango_" check admits, or nothing.
QString DescribirMotor(int rc, const QString& texto, const std::function<QString(const QString&)>& regla = {})
{
    // Our own relation triggers already speak Spanish.
    if (rc == SQLITE_CONSTRAINT_TRIGGER
        && (texto.contains(QLatin1String(kMarcaRelacionados)) || texto.contains(QLatin1String(kMarcaFaltaPadre))))
        return texto;
    static const QRegularExpression check(QStringLiteral("CHECK constraint failed: \\W*rango_(\\w+)"));
    static const QRegularExpression nulo(QStringLiteral("NOT NULL constraint failed: (?:\\w+\\.)?(\\w+)"));
    static const QRegularExpression unico(QStringLiteral("UNIQUE constraint failed: (?:\\w+\\.)?(\\w+)"));
    static const QRegularExpression noTabla(QStringLiteral("no such table: (?:\\w+\\.)?(\\S+)"));
    static const QRegularExpression noColumna(QStringLiteral("no such column: (\\S+)"));
    static const QRegularExpression sintaxis(QStringLiteral("near \"(.*)\": syntax error"));
    if (const auto m = check.match(texto); m.hasMatch()) {
        const QString campo = m.captured(1);
        const QString admite = regla ? regla(campo) : QString();
        return admite.isEmpty() ? QStringLiteral("el campo «%1» no admite ese valor (un número fuera de su rango o un texto "
                                                 "demasiado largo)").arg(campo)
                                : QStringLiteral("el campo «%1» solo admite %2").arg(campo, admite);
    }
    if (const auto m = nulo.match(texto); m.hasMatch())
        return QStringLiteral("falta el dato «%1», que es obligatorio").arg(m.captured(1));
    if (const auto m = unico.match(texto); m.hasMatch())
        return QStringLiteral("ya hay otro registro con el mismo valor en «%1»").arg(m.captured(1));
    if (const auto m = noTabla.match(texto); m.hasMatch())
        return QStringLiteral("no existe la tabla «%1»").arg(m.captured(1));
    if (const auto m = noColumna.match(texto); m.hasMatch())
        return QStringLiteral("no existe la columna «%1»").arg(m.captured(1));
    if (const auto m = sintaxis.match(texto); m.hasMatch())
        return QStringLiteral("la consulta está mal escrita cerca de «%1»").arg(m.captured(1));
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("la base de datos está ocupada por otro programa");
    case SQLITE_FULL: return QStringLiteral("el disco está lleno");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return QStringLiteral("no hay permiso para escribir en la base de datos");
    case SQLITE_IOERR: return QStringLiteral("error de lectura o escritura en el disco");
    case SQLITE_CORRUPT: return QStringLiteral("la base de datos está dañada");
    case SQLITE_NOTADB: return QStringLiteral("el archivo no es una base de datos");
    case SQLITE_CANTOPEN: return QStringLiteral("no se puede abrir el archivo");
    case SQLITE_NOMEM: return QStringLiteral("no queda memoria");
    case SQLITE_CONSTRAINT: return QStringLiteral("un dato no cumple las reglas de la base de datos");
    case SQLITE_MISMATCH: return QStringLiteral("un dato no es del tipo de su campo");
    case SQLITE_INTERRUPT: return QStringLiteral("la operación se ha interrumpido");
    case SQLITE_TOOBIG: return QStringLiteral("un dato es demasiado grande");
    case SQLITE_ERROR: return QStringLiteral("la sentencia no es válida");
    default: return QStringLiteral("error %1 del motor de la base de datos").arg(rc);
    }
}

// What a field written by `sql` admits, read from its declared type, for the "rango_" checks
// of declaracion(); empty when the statement or the field cannot be told.
QString ReglaDeCampo(sqlite3* db, const QString& sql, const QString& campo)
{
    static const QRegularExpression tabla(
        QStringLiteral("^\\s*(?:INSERT(?:\\s+OR\\s+\\w+)?\\s+INTO|UPDATE(?:\\s+OR\\s+\\w+)?)\\s+\"?(\\w+)\"?"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = tabla.match(sql);
    if (!m.hasMatch())
        return {};
    sqlite3_stmt* st = nullptr;
    const QByteArray consulta = QStringLiteral("PRAGMA table_info(%1)").arg(CitarIdentificador(m.captured(1))).toUtf8();
    if (sqlite3_prepare_v2(db, consulta.constData(), -1, &st, nullptr) != SQLITE_OK)
        return {};
    QString regla;
    while (sqlite3_step(st) == SQLITE_ROW) {
        if (QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))).compare(campo, Qt::CaseInsensitive) != 0)
            continue;
        int tamano = 0;
        switch (tipoDeclarado(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2))), &tamano)) {
        case TipoCampo::Booleano: regla = QStringLiteral("Sí o No"); break;
        case TipoCampo::Entero: regla = QStringLiteral("números enteros de -32.768 a 32.767"); break;
        case TipoCampo::Largo: regla = QStringLiteral("números enteros de -2.147.483.648 a 2.147.483.647"); break;
        case TipoCampo::Texto: regla = QStringLiteral("textos de hasta %1 caracteres").arg(tamano > 0 ? tamano : 50); break;
        default: break;
        }
        break;
    }
    sqlite3_finalize(st);
    return regla;
}

// `declarado` is the column's declared type, when it has one (expressions have none).
Valor valorDeColumna(sqlite3_stmt* st, int i, std::optional<TipoCampo> declarado)
{
    const int tipo = sqlite3_column_type(st, i);
    if (tipo == SQLITE_NULL)
        return {};
    switch (tipo) {
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(st, i);
        if (declarado == TipoCampo::Booleano)
            return Valor(v != 0);
        if (declarado == TipoCampo::Simple || declarado == TipoCampo::Doble)
            return Valor(static_cast<double>(v));
        return Valor(v);
    }
    case SQLITE_FLOAT: return Valor(sqlite3_column_double(st, i));
    case SQLITE_TEXT: {
        const QString s = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                            sqlite3_column_bytes(st, i));
        if (declarado == TipoCampo::Fecha) {
            // A plain "yyyy-mm-dd" (what most date columns hold) is a date: read it as one,
            // without building a date and time in the local zone on every row of a list.
            if (s.size() == 10 && s[4] == QLatin1Char('-') && s[7] == QLatin1Char('-')) {
                bool ok = true;
                auto cifras = [&](int desde, int n) {
                    int v = 0;
                    for (int k = desde; k < desde + n; ++k) {
                        const char16_t c = s[k].unicode();
                        ok = ok && c >= u'0' && c <= u'9';
                        v = v * 10 + (c - u'0');
                    }
                    return v;
                };
                const QDate d(cifras(0, 4), cifras(5, 2), cifras(8, 2));
                if (ok && d.isValid())
                    return Valor(d);
            }
            const Valor v(s);
            const QDateTime fh = v.aFechaHora();
            if (fh.isValid())
                return s.size() <= 10 ? Valor(fh.date()) : Valor(fh);
        }
        return Valor(s);
    }
    default:
        return Valor(QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i)));
    }
}

// A value as the field's declared type keeps it: integers of their size (a value that does
// not fit is refused, never wrapped), singles through float, truth values 0/1, dates as ISO text.
Valor valorParaCampo(const Valor& v, TipoCampo tipo, const QString& campo)
{
    if (v.esNulo())
        return v;
    auto entero = [&](double minimo, double maximo) -> Valor {
        double d = v.aNumero();
        if (v.tipo() == Valor::Tipo::Texto) {
            bool ok = false;
            d = v.aTexto().trimmed().toDouble(&ok);
            if (!ok)
                throw Error(ErrReglaValidacion, SQLITE_MISMATCH,
                            QStringLiteral("El valor '%1' no es válido para el campo %2.").arg(v.aTexto(), campo));
        }
        const double r = std::nearbyint(d);
        if (!std::isfinite(r) || r < minimo || r > maximo)
            throw Error(ErrReglaValidacion, SQLITE_CONSTRAINT_CHECK,
                        QStringLiteral("El valor %1 no cabe en el campo %2.").arg(d, 0, 'g', 15).arg(campo));
        return Valor(static_cast<qint64>(r));
    };
    switch (tipo) {
    case TipoCampo::Booleano: return Valor(v.aBooleano());
    case TipoCampo::Entero: return entero(-32768, 32767);
    case TipoCampo::Largo: return entero(-2147483648.0, 2147483647.0);
    case TipoCampo::Simple: return Valor(static_cast<double>(static_cast<float>(v.aNumero())));
    case TipoCampo::Doble: return Valor(v.aNumero());
    case TipoCampo::Fecha:
        if (v.tipo() == Valor::Tipo::Fecha)
            return Valor(v.aFecha().toString(Qt::ISODate));
        if (v.tipo() == Valor::Tipo::FechaHora) {
            const QDateTime fh = v.aFechaHora();
            return Valor(fh.time() == QTime(0, 0) ? fh.date().toString(Qt::ISODate)
                                                  : fh.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        }
        return v;
    default: return v.esNumerico() ? v : Valor(v.aTexto());
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sentencia

BaseDeDatos::Sentencia::~Sentencia()
{
    if (m_st) {
        sqlite3_finalize(m_st);
        return;
    }
    leerRestoPG(false);
    if (m_resPG)
        PQclear(m_resPG);
    if (m_descripcionPG)
        PQclear(m_descripcionPG);
    // A statement dropped from the cache frees its server side too, unless the connection goes.
    if (m_bd.m_pg && m_generacionPG == m_bd.m_generacionPG && PQstatus(m_bd.m_pg) == CONNECTION_OK) {
        m_bd.liberarConexionPG();
        for (const auto& [firma, nombre] : m_preparadasPG)
            PQclear(PQexec(m_bd.m_pg, ("DEALLOCATE " + nombre).c_str()));
    }
}

void BaseDeDatos::Sentencia::vincular(const std::vector<Valor>& parametros)
{
    if (!m_st) {
        reiniciar();
        m_valoresPG.assign(parametros.size(), QByteArray());
        m_nulosPG.assign(parametros.size(), false);
        m_tiposParamPG.assign(parametros.size(), 0);
        for (size_t i = 0; i < parametros.size(); ++i) {
            const Valor& v = parametros[i];
            switch (v.tipo()) {
            case Valor::Tipo::Nulo: m_nulosPG[i] = true; break;
            case Valor::Tipo::Booleano: m_valoresPG[i] = v.aBooleano() ? "1" : "0"; m_tiposParamPG[i] = 20; break;
            case Valor::Tipo::Entero: m_valoresPG[i] = QByteArray::number(v.aEntero()); m_tiposParamPG[i] = 20; break;
            case Valor::Tipo::Numero: m_valoresPG[i] = QByteArray::number(v.aNumero(), 'g', 17); m_tiposParamPG[i] = 701; break;
            case Valor::Tipo::Fecha: m_valoresPG[i] = v.aFecha().toString(Qt::ISODate).toLatin1(); break;
            case Valor::Tipo::FechaHora:
                m_valoresPG[i] = v.aFechaHora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
                break;
            default: m_valoresPG[i] = v.aTexto().toUtf8(); break;  // the server takes it as the type it is compared with
            }
        }
        return;
    }
    sqlite3_reset(m_st);
    sqlite3_clear_bindings(m_st);
    for (size_t i = 0; i < parametros.size(); ++i) {
        const Valor& v = parametros[i];
        const int n = static_cast<int>(i) + 1;
        switch (v.tipo()) {
        case Valor::Tipo::Nulo: sqlite3_bind_null(m_st, n); break;
        case Valor::Tipo::Booleano: sqlite3_bind_int(m_st, n, v.aBooleano() ? 1 : 0); break;
        case Valor::Tipo::Entero: sqlite3_bind_int64(m_st, n, v.aEntero()); break;
        case Valor::Tipo::Numero: sqlite3_bind_double(m_st, n, v.aNumero()); break;
        default: {
            const QByteArray b = v.aTexto().toUtf8();
            sqlite3_bind_text(m_st, n, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        }
        }
    }
}

bool BaseDeDatos::Sentencia::paso()
{
    if (!m_st) {
        if (!m_ejecutadaPG)
            ejecutarPG();
        if (++m_filaPG < PQntuples(m_resPG))
            return true;
        if (!m_filaAFilaPG && m_colaPG.empty())
            return false;
        // The next row, or the end of the result (no rows, with the command's tag), or its error.
        PGresult* res = siguientePG();
        const ExecStatusType e = PQresultStatus(res);
        if (e != PGRES_SINGLE_TUPLE && e != PGRES_TUPLES_OK && e != PGRES_COMMAND_OK) {
            leerRestoPG(false);
            PQclear(m_resPG);
            m_resPG = nullptr;
            m_ejecutadaPG = false;
            m_filaPG = -1;
            m_bd.lanzarPG(res, m_sql, m_valoresPG, m_nulosPG);
        }
        PQclear(m_resPG);
        m_resPG = res;
        m_filaPG = 0;
        if (e != PGRES_SINGLE_TUPLE)
            m_bd.m_cambiosPG = std::atol(PQcmdTuples(res));
        return m_filaPG < PQntuples(m_resPG);
    }
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_st);
    m_bd.lanzar(sqlite3_extended_errcode(sqlite3_db_handle(m_st)), m_sql);
}

void BaseDeDatos::Sentencia::reiniciar()
{
    if (m_st) {
        sqlite3_reset(m_st);
        return;
    }
    leerRestoPG(false);
    if (m_resPG)
        PQclear(m_resPG);
    m_resPG = nullptr;
    m_ejecutadaPG = false;
    m_filaPG = -1;
}
bool BaseDeDatos::Sentencia::ocupada() const
{
    if (!m_st)
        return m_ejecutadaPG && m_resPG && (m_filaPG < PQntuples(m_resPG) || m_filaAFilaPG || !m_colaPG.empty());
    return sqlite3_stmt_busy(m_st) != 0;
}
// A query's columns are described without running it (a listing asks for them first, and its
// query may take seconds); the rest are known once run.
const pg_result* BaseDeDatos::Sentencia::columnasPG() const
{
    if (!m_ejecutadaPG && m_consultaPG) {
        if (!m_descritaPG) {
            m_bd.liberarConexionPG();
            m_bd.reconectarPGSiHaceFalta();
        }
        if (const PGresult* d = descripcionPG())
            return d;
    }
    if (!m_ejecutadaPG)
        ejecutarPG();
    return m_resPG;
}
int BaseDeDatos::Sentencia::columnas() const
{
    if (!m_st)
        return PQnfields(columnasPG());
    return sqlite3_column_count(m_st);
}
QString BaseDeDatos::Sentencia::nombreColumna(int i) const
{
    if (!m_st) {
        const PGresult* res = columnasPG();
        // A table's column keeps the name it was defined with, unless the query renamed it.
        const QString nombre = QString::fromUtf8(PQfname(res, i));
        const Oid tabla = PQftable(res, i);
        if (tabla != InvalidOid) {
            const QString& original = m_bd.columnaPG(tabla, PQftablecol(res, i)).nombre;
            if (original.compare(nombre, Qt::CaseInsensitive) == 0)
                return original;
        }
        return nombre;
    }
    return QString::fromUtf8(sqlite3_column_name(m_st, i));
}
Valor BaseDeDatos::Sentencia::columna(int i) const
{
    if (!m_st) {
        if (!m_resPG || m_filaPG < 0 || m_filaPG >= PQntuples(m_resPG) || i < 0 || i >= PQnfields(m_resPG))
            return {};
        // Declared types (yes/no fields) are read once, from the table each column comes from.
        if (m_tipos.empty()) {
            const int n = PQnfields(m_resPG);
            m_tipos.resize(static_cast<size_t>(n));
            for (int c = 0; c < n; ++c) {
                const Oid tabla = PQftable(m_resPG, c);
                if (tabla != InvalidOid)
                    m_tipos[static_cast<size_t>(c)] = m_bd.columnaPG(tabla, PQftablecol(m_resPG, c)).tipo;
            }
        }
        return ValorColumnaPG(m_resPG, m_filaPG, i, m_tipos[static_cast<size_t>(i)]);
    }
    // Declared types are fixed for a prepared statement: work them out once.
    if (m_tipos.empty()) {
        const int n = sqlite3_column_count(m_st);
        m_tipos.resize(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            const char* decl = sqlite3_column_decltype(m_st, c);
            int tamano = 0;
            if (decl)
                m_tipos[static_cast<size_t>(c)] = tipoDeclarado(QString::fromLatin1(decl), &tamano);
        }
    }
    return valorDeColumna(m_st, i, i >= 0 && static_cast<size_t>(i) < m_tipos.size() ? m_tipos[static_cast<size_t>(i)] : std::nullopt);
}

// ---------------------------------------------------------------------------------------------
// Network folders

bool CarpetaEnRed(const QString& carpeta)
{
#ifdef __linux__
    struct statfs s {};
    if (statfs(QFile::encodeName(carpeta).constData(), &s) != 0)
        return false;
    // Kernel magic numbers of the file systems whose files other machines share. FUSE is among
    // them: sshfs and most network mounts of the desktop go through it, and a local FUSE disk
    // loses nothing by the rollback journal.
    static const unsigned long enRed[] = {
        0x6969,      // NFS
        0x517B,      // SMB
        0xFF534D42,  // CIFS
        0xFE534D42,  // SMB2/3
        0x5346414F,  // AFS
        0x6B414653,  // kAFS
        0x73757245,  // Coda
        0x564C,      // NCP
        0x00C36400,  // Ceph
        0x01021997,  // 9P
        0x0BD00BD0,  // Lustre
        0x01161970,  // GFS2
        0x7461636F,  // OCFS2
        0x65735546,  // FUSE
    };
    const auto tipo = static_cast<unsigned long>(s.f_type) & 0xFFFFFFFFUL;
    return std::find(std::begin(enRed), std::end(enRed), tipo) != std::end(enRed);
#else
    Q_UNUSED(carpeta);
    return false;
#endif
}

namespace {
std::function<bool(const QString&)>& DetectorRed()
{
    static std::function<bool(const QString&)> detector;
    return detector;
}
}  // namespace

void FijarDetectorRed(std::function<bool(const QString& carpeta)> detector) { DetectorRed() = std::move(detector); }

// ---------------------------------------------------------------------------------------------
// Money functions

namespace {

bool AlgunNulo(int n, sqlite3_value** v)
{
    for (int i = 0; i < n; ++i)
        if (sqlite3_value_type(v[i]) == SQLITE_NULL)
            return true;
    return false;
}

float Tasa(sqlite3_value* v) { return static_cast<float>(sqlite3_value_double(v)); }

void SqlCentimos(sqlite3_context* c, int n, sqlite3_value** v)
{
    if (AlgunNulo(n, v))
        return sqlite3_result_null(c);
    if (sqlite3_value_numeric_type(v[0]) == SQLITE_INTEGER)
        return sqlite3_result_int64(c, sqlite3_value_int64(v[0]) * 100);
    if (const std::optional<qint64> r = EurosACentimos(sqlite3_value_double(v[0])))
        return sqlite3_result_int64(c, *r);
    sqlite3_result_null(c);
}

void SqlPorcentaje(sqlite3_context* c, int n, sqlite3_value** v)
{
    if (AlgunNulo(n, v))
        return sqlite3_result_null(c);
    sqlite3_result_int64(c, PorcentajeDe(sqlite3_value_int64(v[0]), Tasa(v[1])));
}

void SqlTrasDescuentos(sqlite3_context* c, int n, sqlite3_value** v)
{
    if (AlgunNulo(n, v))
        return sqlite3_result_null(c);
    sqlite3_result_int64(c, TrasDescuentos(sqlite3_value_int64(v[0]), Tasa(v[1]), Tasa(v[2])));
}

void SqlCentimosLinea(sqlite3_context* c, int n, sqlite3_value** v)
{
    if (AlgunNulo(n, v))
        return sqlite3_result_null(c);
    sqlite3_result_int64(c, ImporteLineaCentimos(sqlite3_value_int64(v[0]), sqlite3_value_int64(v[1]),
                                                 static_cast<qint16>(sqlite3_value_int(v[2]))));
}

}  // namespace

bool RegistrarFuncionesDinero(sqlite3* db)
{
    struct Funcion {
        const char* nombre;
        int argumentos;
        void (*f)(sqlite3_context*, int, sqlite3_value**);
    };
    static const Funcion funciones[] = {
        {"centimos", 1, SqlCentimos},
        {"porcentaje", 2, SqlPorcentaje},
        {"tras_descuentos", 3, SqlTrasDescuentos},
        {"centimos_linea", 3, SqlCentimosLinea},
    };
    bool bien = true;
    for (const Funcion& f : funciones)
        bien = sqlite3_create_function_v2(db, f.nombre, f.argumentos, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                          nullptr, f.f, nullptr, nullptr, nullptr)
                == SQLITE_OK
            && bien;
    return bien;
}

// ---------------------------------------------------------------------------------------------
// BaseDeDatos

BaseDeDatos::BaseDeDatos(const QString& ruta) : m_ruta(ruta)
{
    if (EsConexionPostgreSQL(ruta)) {
        try {
            conectarPG();
        } catch (...) {
            m_sentencias.clear();
            if (m_cancelPG)
                PQfreeCancel(m_cancelPG);
            m_cancelPG = nullptr;
            if (m_pg)
                PQfinish(m_pg);
            m_pg = nullptr;
            throw;
        }
        return;
    }
    const QFileInfo info(ruta);
    if (ruta.isEmpty() || !info.exists() || !info.isFile())
        throw Error(ErrArchivoNoEncontrado, SQLITE_CANTOPEN, QStringLiteral("No se encuentra el archivo '%1'.").arg(ruta));
    const QByteArray r = ruta.toUtf8();
    int rc = sqlite3_open_v2(r.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "");
        sqlite3_close(m_db);
        m_db = nullptr;
        throw Error(codigoDeError(rc, msg), rc, DescribirMotor(rc, msg), {}, msg);
    }
    sqlite3_extended_result_codes(m_db, 1);
    try {
        if (!RegistrarFuncionesDinero(m_db))
            lanzar(sqlite3_extended_errcode(m_db), QStringLiteral("sqlite3_create_function"));
        if (sqlite3_db_readonly(m_db, "main") == 1)
            throw Error(ErrNoSePuedeAbrir, SQLITE_READONLY,
                        QStringLiteral("El archivo '%1' es de solo lectura.").arg(ruta));
        fijarEspera(3000);
        // Reading the schema tells a database from any other file, and a locked one.
        ejecutarNativo(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        const QString carpeta = info.absolutePath();
        m_enRed = DetectorRed() ? DetectorRed()(carpeta) : CarpetaEnRed(carpeta);
        if (m_enRed) {
            // Write-ahead logging keeps its index in memory shared on one machine only: over a
            // network file system two PCs would each see their own and corrupt the file. The
            // rollback journal works through the file locks the network file system passes on:
            // many readers, one writer at a time, the others wait up to the busy timeout.
            try {
                ejecutarNativo(QStringLiteral("PRAGMA journal_mode=DELETE"));
            } catch (const Error& e) {
                if (e.codigo() != ErrNoSePuedeAbrir)
                    throw;
                // Leaving write-ahead logging needs the file to itself.
                throw Error(ErrNoSePuedeAbrir, e.codigoSqlite(),
                            QStringLiteral("La base de datos '%1' está en una carpeta de red y otro programa la tiene "
                                           "abierta en el modo que solo sirve en un equipo. Cierre los demás programas "
                                           "que la usan y vuelva a intentarlo.")
                                .arg(ruta));
            }
            ejecutarNativo(QStringLiteral("PRAGMA synchronous=FULL"));
        } else {
            // The scale line writes while we read: write-ahead logging keeps both going.
            ejecutarNativo(QStringLiteral("PRAGMA journal_mode=WAL"));
            ejecutarNativo(QStringLiteral("PRAGMA synchronous=NORMAL"));
        }
        // A big save (an invoice of thousands of lines and its index) must fit in the page
        // cache: past it, SQLite writes pages out in the middle of the transaction and the
        // lock is held for the disk. The cache grows only as pages are used.
        ejecutarNativo(QStringLiteral("PRAGMA cache_size=-32768"));
        // A write lock must be obtainable, or every save would fail later. Another station's
        // save holding it right now only means the file is in use: that must never keep a
        // reader (a listing, a second program) from starting, so it is asked for without waiting.
        fijarEspera(0);
        const int escritura = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (escritura == SQLITE_OK)
            ejecutarNativo(QStringLiteral("COMMIT"));
        else if ((escritura & 0xFF) != SQLITE_BUSY)
            lanzar(sqlite3_extended_errcode(m_db), QStringLiteral("BEGIN IMMEDIATE"));
        fijarEspera(10000);
    } catch (...) {
        m_sentencias.clear();
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

BaseDeDatos::~BaseDeDatos()
{
    // The server drops a session's prepared statements with it.
    ++m_generacionPG;
    m_sentencias.clear();
    if (m_cancelPG)
        PQfreeCancel(m_cancelPG);
    if (m_pg)
        PQfinish(m_pg);
    if (m_db)
        sqlite3_close(m_db);
}

std::unique_ptr<BaseDeDatos> BaseDeDatos::crear(const QString& ruta)
{
    if (EsConexionPostgreSQL(ruta))
        return std::make_unique<BaseDeDatos>(ruta);  // opening installs what an empty database lacks
    sqlite3* db = nullptr;
    const QByteArray r = ruta.toUtf8();
    const int rc = sqlite3_open_v2(r.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // The journal mode is chosen when it is opened below, by the folder it lies in.
    const QString msg = QString::fromUtf8(db ? sqlite3_errmsg(db) : "");
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw Error(codigoDeError(rc, msg), rc, DescribirMotor(rc, msg), {}, msg);
    return std::make_unique<BaseDeDatos>(ruta);
}

void BaseDeDatos::lanzar(int rc, const QString& sql) const
{
    const QString msg = QString::fromUtf8(sqlite3_errmsg(m_db));
    throw Error(codigoDeError(rc, msg), rc, DescribirMotor(rc, msg, [&](const QString& campo) { return ReglaDeCampo(m_db, sql, campo); }),
                sql, msg);
}

BaseDeDatos::Sentencia& BaseDeDatos::preparar(const std::string& sqlNativoUtf8)
{
    auto it = m_sentencias.find(sqlNativoUtf8);
    if (it == m_sentencias.end())
        return preparar(QString::fromUtf8(sqlNativoUtf8.data(), static_cast<qsizetype>(sqlNativoUtf8.size())));
    it->second->reiniciar();
    if (m_pg)
        it->second->vincular({});
    return *it->second;
}

BaseDeDatos::Sentencia& BaseDeDatos::preparar(const QString& sqlNativo)
{
    const QByteArray b = sqlNativo.toUtf8();
    const std::string clave(b.constData(), static_cast<size_t>(b.size()));
    auto it = m_sentencias.find(clave);
    if (it != m_sentencias.end()) {
        it->second->reiniciar();
        if (m_pg)
            it->second->vincular({});
        return *it->second;
    }
    // Keep the cache small; one-off statements (with literal values) would otherwise pile up.
    // Statements being stepped stay: a caller is walking their rows.
    auto podar = [this] {
        if (m_sentencias.size() > 200) {
            for (auto i = m_sentencias.begin(); i != m_sentencias.end();) {
                if (i->second->ocupada())
                    ++i;
                else
                    i = m_sentencias.erase(i);
            }
        }
    };
    if (m_pg) {
        podar();
        auto& nueva = m_sentencias[clave];
        nueva = std::make_unique<Sentencia>(*this, sqlNativo, APostgreSQL(sqlNativo).toUtf8());
        return *nueva;
    }
    sqlite3_stmt* st = nullptr;
    const char* resto = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, b.constData(), static_cast<int>(b.size()), SQLITE_PREPARE_PERSISTENT, &st, &resto);
    if (rc != SQLITE_OK)
        lanzar(sqlite3_extended_errcode(m_db), sqlNativo);
    if (!st)
        throw Error(ErrGeneral, SQLITE_MISUSE, QStringLiteral("Sentencia vacía."), sqlNativo);
    if (resto && QByteArray(resto).trimmed().size() > 0 && QByteArray(resto).trimmed() != ";") {
        sqlite3_finalize(st);
        throw Error(ErrGeneral, SQLITE_MISUSE, QStringLiteral("Solo se admite una sentencia."), sqlNativo);
    }
    podar();
    auto& nueva = m_sentencias[clave];
    nueva = std::make_unique<Sentencia>(*this, st, sqlNativo);
    return *nueva;
}

long BaseDeDatos::ejecutarNativo(const QString& sql, const std::vector<Valor>& parametros)
{
    if (m_pg && parametros.empty() && !EsConsultaSQL(sql)) {
        // Definitions and one-off statements: one round trip, nothing kept on the server.
        ejecutarSimplePG(sql);
        return m_cambiosPG;
    }
    Sentencia& s = preparar(sql);
    s.vincular(parametros);
    while (s.paso()) {
    }
    s.reiniciar();
    return m_pg ? m_cambiosPG : static_cast<long>(sqlite3_changes(m_db));
}

long BaseDeDatos::ejecutar(const QString& sql, const std::vector<Valor>& parametros)
{
    // Kept apart from the recordsets' translations, which carry the rowid.
    const QString clave = QLatin1Char('\x01') + sql;
    auto cache = m_traducciones.find(clave);
    if (cache == m_traducciones.end()) {
        if (m_traducciones.size() > 500)
            m_traducciones.clear();
        cache = m_traducciones.insert(clave, Traduccion{TraducirSQL(sql, m_pg != nullptr), QString()});
    }
    return ejecutarNativo(cache->sql, parametros);
}

Valor BaseDeDatos::valorUnico(const QString& sql)
{
    Sentencia& s = preparar(TraducirSQL(sql, m_pg != nullptr));
    s.vincular({});
    Valor v;
    if (s.paso() && s.columnas() > 0)
        v = s.columna(0);
    s.reiniciar();
    return v;
}

bool BaseDeDatos::enTransaccion() const
{
    if (m_pg) {
        // While a query's rows arrive the connection is busy, in a transaction or not.
        const PGTransactionStatusType t = m_lecturaPG ? static_cast<PGTransactionStatusType>(m_estadoAntesLecturaPG)
                                                      : PQtransactionStatus(m_pg);
        return t == PQTRANS_INTRANS || t == PQTRANS_INERROR || t == PQTRANS_ACTIVE;
    }
    return sqlite3_get_autocommit(m_db) == 0;
}

namespace {

// SQLite's own wait sleeps longer and longer between tries (up to 100 ms). Beside a batch that
// takes the lock again a moment after each short transaction, a station waiting that way kept
// missing the gaps and waited hundreds of milliseconds for a lock never held more than a few:
// trying every millisecond takes the first gap. `espera` is the timeout in milliseconds; a
// wait runs on the thread of its statement, so that thread keeps when it began.
int EsperarCerrojo(void* espera, int intentos)
{
    thread_local std::chrono::steady_clock::time_point inicio;
    const auto ahora = std::chrono::steady_clock::now();
    if (intentos == 0)
        inicio = ahora;
    if (ahora - inicio >= std::chrono::milliseconds(reinterpret_cast<std::intptr_t>(espera)))
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

}  // namespace

void BaseDeDatos::fijarEspera(int milisegundos)
{
    if (m_pg) {
        // How long a statement waits for a row another station holds.
        liberarConexionPG();
        PQclear(PQexec(m_pg, QStringLiteral("SET lock_timeout = %1").arg(std::max(milisegundos, 1)).toLatin1().constData()));
        return;
    }
    sqlite3_busy_handler(m_db, milisegundos > 0 ? &EsperarCerrojo : nullptr,
                         reinterpret_cast<void*>(static_cast<std::intptr_t>(milisegundos)));
}

void BaseDeDatos::interrumpir()
{
    if (m_cancelPG) {
        char error[256];
        PQcancel(m_cancelPG, error, sizeof error);
        return;
    }
    if (m_db)
        sqlite3_interrupt(m_db);
}

std::pair<qint64, qint64> BaseDeDatos::marcaCambios()
{
    if (m_pg)
        return {++m_marcaPG, 0};
    Sentencia& v = preparar(QStringLiteral("PRAGMA data_version"));
    const qint64 version = v.paso() ? v.columna(0).aEntero() : -1;
    v.reiniciar();
    return {version, static_cast<qint64>(sqlite3_total_changes(m_db))};
}

std::optional<QString> BaseDeDatos::definicionIndice(const QString& nombre)
{
    Sentencia& s = preparar(m_pg ? QStringLiteral("SELECT coalesce(obj_description(c.oid, 'pg_class'), '') FROM pg_class c "
                                                  "WHERE c.relkind = 'i' AND c.relname = lower(?) AND c.relnamespace = "
                                                  "current_schema()::regnamespace")
                                 : QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND name=?"));
    s.vincular({nombre});
    const std::optional<QString> r = s.paso() ? std::optional<QString>(s.columna(0).aTexto()) : std::nullopt;
    s.reiniciar();
    return r;
}

void BaseDeDatos::crearIndiceSQL(const QString& nombre, const QString& sql)
{
    ejecutarNativo(sql);
    // The server keeps its own rewriting of the definition: ours goes in the comment, to be compared.
    if (m_pg)
        ejecutarNativo(QStringLiteral("COMMENT ON INDEX %1 IS %2").arg(CitarIdentificador(nombre), CitarTexto(sql)));
}

bool BaseDeDatos::hayFila(const QString& sql, const Valor& parametro)
{
    Sentencia& s = preparar(sql);
    s.vincular({parametro});
    const bool hay = s.paso();
    s.reiniciar();
    return hay;
}

bool BaseDeDatos::existeDisparador(const QString& nombre)
{
    return hayFila(m_pg ? QStringLiteral("SELECT 1 FROM pg_trigger WHERE NOT tgisinternal AND tgname = lower(?)")
                                 : QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='trigger' AND name=?"), nombre);
}

std::optional<QString> BaseDeDatos::definicionDisparador(const QString& nombre)
{
    Sentencia& s = preparar(m_pg ? QStringLiteral("SELECT pg_get_triggerdef(oid) FROM pg_trigger WHERE NOT tgisinternal AND tgname = lower(?)")
                                 : QStringLiteral("SELECT sql FROM sqlite_master WHERE type='trigger' AND name=?"));
    s.vincular({nombre});
    std::optional<QString> sql;
    if (s.paso())
        sql = s.columna(0).aTexto();
    s.reiniciar();
    return sql;
}

void BaseDeDatos::eliminarDisparador(const QString& nombre, const QString& tabla)
{
    ejecutarNativo(m_pg ? QStringLiteral("DROP TRIGGER %1 ON %2").arg(CitarIdentificador(nombre), CitarIdentificador(tabla))
                        : QStringLiteral("DROP TRIGGER %1").arg(CitarIdentificador(nombre)));
}

void BaseDeDatos::crearDisparadorRechazo(const QString& nombre, const QString& tabla, const QString& evento,
                                         const QString& condicion, const QString& mensaje)
{
    if (!m_pg) {
        ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 %4BEGIN SELECT RAISE(ABORT, %5); END")
                           .arg(CitarIdentificador(nombre), evento, tabla,
                                condicion.isEmpty() ? QString() : QStringLiteral("WHEN ") + condicion + QLatin1Char(' '),
                                CitarTexto(mensaje)));
        return;
    }
    // A trigger's condition may read other tables only in its function.
    const bool borrado = evento.startsWith(QLatin1String("DELETE"), Qt::CaseInsensitive);
    const QString cuerpo = QStringLiteral("BEGIN IF %1 THEN RAISE EXCEPTION USING MESSAGE = %2; END IF; RETURN %3; END")
                               .arg(condicion.isEmpty() ? QStringLiteral("true") : APostgreSQL(condicion), CitarTexto(mensaje),
                                    borrado ? QStringLiteral("OLD") : QStringLiteral("NEW"));
    Transaccion t(*this);
    ejecutarNativo(QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS %2")
                       .arg(CitarIdentificador(nombre), CitarTexto(cuerpo)));
    ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1()")
                       .arg(CitarIdentificador(nombre), evento, tabla));
    t.commit();
}

bool BaseDeDatos::existeTabla(const QString& nombre)
{
    if (m_pg) {
        return hayFila(QStringLiteral(
            "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND tablename = lower(?)"), nombre);
    }
    return hayFila(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"), nombre);
}

QStringList BaseDeDatos::tablas()
{
    QStringList r;
    Sentencia& s = preparar(m_pg ? QStringLiteral("SELECT coalesce(obj_description(c.oid, 'pg_class'), c.relname::text) FROM pg_class c "
                                                  "WHERE c.relkind = 'r' AND c.relnamespace = current_schema()::regnamespace "
                                                  "ORDER BY c.relname")
                                 : QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
    s.vincular({});
    while (s.paso())
        r << s.columna(0).aTexto();
    return r;
}

std::vector<DefCampo> BaseDeDatos::camposDeTabla(const QString& tabla)
{
    if (m_pg)
        return camposDeTablaPG(tabla);
    std::vector<DefCampo> r;
    Sentencia& s = preparar(QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
    s.vincular({tabla});
    while (s.paso()) {
        DefCampo c;
        c.nombre = s.columna(0).aTexto();
        c.tipo = tipoDeclarado(s.columna(1).aTexto(), &c.tamano);
        r.push_back(c);
    }
    return r;
}

std::vector<DefCampo> BaseDeDatos::campos(const QString& tabla) { return camposDeTabla(tabla); }

bool BaseDeDatos::existeCampo(const QString& tabla, const QString& campo)
{
    for (const DefCampo& c : camposDeTabla(tabla))
        if (c.nombre.compare(campo, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void BaseDeDatos::crearTabla(const DefTabla& tabla)
{
    QStringList columnas;
    for (const DefCampo& c : tabla.campos)
        columnas << (m_pg ? declaracionPG(c) : declaracion(c));
    ejecutarNativo(QStringLiteral("CREATE TABLE %1 (%2)").arg(CitarIdentificador(tabla.nombre), columnas.join(QLatin1String(", "))));
    if (m_pg)
        nombresOriginalesPG(tabla.nombre, tabla.campos, true);
    for (const DefIndice& i : tabla.indices)
        crearIndice(tabla.nombre, i);
}

void BaseDeDatos::anadirCampo(const QString& tabla, const DefCampo& campo)
{
    if (!existeTabla(tabla))
        throw Error(ErrTablaNoExiste, SQLITE_ERROR, QStringLiteral("No existe la tabla %1.").arg(tabla));
    if (existeCampo(tabla, campo.nombre))
        throw Error(ErrCampoExiste, SQLITE_ERROR, QStringLiteral("El campo %1 ya existe en %2.").arg(campo.nombre, tabla));
    ejecutarNativo(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(CitarIdentificador(tabla), m_pg ? declaracionPG(campo) : declaracion(campo)));
    if (m_pg)
        nombresOriginalesPG(tabla, {campo}, false);
}

QString BaseDeDatos::nombreIndiceSQLite(const QString& tabla, const QString& nombre)
{
    if (m_pg)
        return nombreIndicePG(tabla, nombre);
    // Index names are per table in the store and per database in SQLite, so ours carry the
    // table's name; an index made by another program under its plain name is found too.
    Sentencia& s = preparar(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type='index' AND tbl_name=?1 COLLATE NOCASE "
        "AND (name=?1 || '_' || ?2 COLLATE NOCASE OR name=?2 COLLATE NOCASE) "
        "ORDER BY name=?1 || '_' || ?2 COLLATE NOCASE DESC LIMIT 1"));
    s.vincular({tabla, nombre});
    QString r;
    if (s.paso())
        r = s.columna(0).aTexto();
    s.reiniciar();
    return r;
}

void BaseDeDatos::crearIndice(const QString& tabla, const DefIndice& indice)
{
    QStringList cols;
    for (const QString& c : indice.campos)
        cols << CitarIdentificador(c);
    ejecutarNativo(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                       .arg(indice.unico || indice.principal ? QStringLiteral("UNIQUE ") : QString(),
                            CitarIdentificador(tabla + QLatin1Char('_') + indice.nombre), CitarIdentificador(tabla),
                            cols.join(QLatin1String(", "))));
}

void BaseDeDatos::eliminarIndice(const QString& tabla, const QString& nombre)
{
    const QString n = nombreIndiceSQLite(tabla, nombre);
    if (n.isEmpty())
        throw Error(ErrNoEncontradoEnColeccion, SQLITE_ERROR,
                    QStringLiteral("No existe el índice %1 en %2.").arg(nombre, tabla));
    if (m_pg) {
        Sentencia& s = preparar(QStringLiteral("SELECT 1 FROM pg_constraint WHERE conname = ? AND conrelid = to_regclass(quote_ident(lower(?)))"));
        s.vincular({n, tabla});
        const bool restriccion = s.paso();
        s.reiniciar();
        if (restriccion) {
            ejecutarNativo(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %2").arg(CitarIdentificador(tabla), CitarIdentificador(n)));
            return;
        }
    }
    ejecutarNativo(QStringLiteral("DROP INDEX %1").arg(CitarIdentificador(n)));
}

std::optional<DefIndice> BaseDeDatos::indice(const QString& tabla, const QString& nombre)
{
    const QString n = nombreIndiceSQLite(tabla, nombre);
    if (n.isEmpty())
        return std::nullopt;
    DefIndice d;
    d.nombre = nombre;
    if (m_pg) {
        Sentencia& s = preparar(QStringLiteral(
            "SELECT i.indisunique, i.indisprimary, coalesce(col_description(a.attrelid, a.attnum), a.attname::text) FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
            "CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY k(n, o) JOIN pg_attribute a ON a.attrelid = i.indrelid "
            "AND a.attnum = k.n WHERE c.relname = ? AND c.relnamespace = current_schema()::regnamespace ORDER BY k.o"));
        s.vincular({n});
        while (s.paso()) {
            d.unico = s.columna(0).aBooleano();
            d.principal = s.columna(1).aBooleano();
            d.campos << s.columna(2).aTexto();
        }
        s.reiniciar();
        return d;
    }
    {
        Sentencia& s = preparar(QStringLiteral("SELECT \"unique\" FROM pragma_index_list(?) WHERE name=?"));
        s.vincular({tabla, n});
        if (s.paso())
            d.unico = s.columna(0).aBooleano();
        s.reiniciar();
    }
    Sentencia& s = preparar(QStringLiteral("SELECT name FROM pragma_index_info(?) ORDER BY seqno"));
    s.vincular({n});
    while (s.paso())
        d.campos << s.columna(0).aTexto();
    return d;
}

bool BaseDeDatos::existeRelacion(const QString& nombre)
{
    if (m_pg)
        return m_relacionesPG.contains(nombre.toLower());
    return hayFila(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='trigger' AND name=? COLLATE NOCASE"), nombre + QLatin1String("_alta"));
}

void BaseDeDatos::crearRelacion(const DefRelacion& r)
{
    if (existeRelacion(r.nombre))
        throw Error(ErrGeneral, SQLITE_ERROR, QStringLiteral("La relación %1 ya existe.").arg(r.nombre));
    if (m_pg) {
        // A foreign key that refuses or cascades as the relation says. Rows already there are
        // not checked (NOT VALID), as adding the relation on SQLite does not check them either.
        QStringList padre, hijo;
        for (const auto& [cp, ch] : r.campos) {
            padre << CitarIdentificador(cp);
            hijo << CitarIdentificador(ch);
        }
        ejecutarNativo(QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT %2 FOREIGN KEY (%3) REFERENCES %4 (%5) ON UPDATE %6 "
                                      "ON DELETE %7 NOT VALID")
                           .arg(CitarIdentificador(r.tablaExterna), CitarIdentificador(r.nombre), hijo.join(QLatin1String(", ")),
                                CitarIdentificador(r.tabla), padre.join(QLatin1String(", ")),
                                r.cascadaActualizar ? QStringLiteral("CASCADE") : QStringLiteral("NO ACTION"),
                                r.cascadaBorrar ? QStringLiteral("CASCADE") : QStringLiteral("NO ACTION")));
        m_relacionesPG.insert(r.nombre.toLower(), {r.tablaExterna.toLower(), r.tabla.toLower()});
        return;
    }
    const QString p = CitarIdentificador(r.tabla);
    const QString h = CitarIdentificador(r.tablaExterna);
    QStringList hijosDeOld, padreDeNew, pkCambiada, fkNoNulas, asignar, colsPadre, colsHijo;
    for (const auto& [cp, ch] : r.campos) {
        const QString a = CitarIdentificador(cp), b = CitarIdentificador(ch);
        hijosDeOld << QStringLiteral("%1.%2 = OLD.%3").arg(h, b, a);
        padreDeNew << QStringLiteral("%1.%2 = NEW.%3").arg(p, a, b);
        pkCambiada << QStringLiteral("NEW.%1 IS NOT OLD.%1").arg(a);
        fkNoNulas << QStringLiteral("NEW.%1 IS NOT NULL").arg(b);
        asignar << QStringLiteral("%1 = NEW.%2").arg(b, a);
        colsPadre << a;
        colsHijo << b;
    }
    const QString y = QStringLiteral(" AND ");
    const QString hayHijos = QStringLiteral("EXISTS (SELECT 1 FROM %1 WHERE %2)").arg(h, hijosDeOld.join(y));
    const QString faltaPadre = QStringLiteral("NOT EXISTS (SELECT 1 FROM %1 WHERE %2)").arg(p, padreDeNew.join(y));
    const QString nombre = r.nombre;
    auto disparador = [&](const QString& sufijo) { return CitarIdentificador(nombre + sufijo); };
    const QString errHijos = CitarTexto(QStringLiteral("%1: hay %2 en %3").arg(nombre, QLatin1String(kMarcaRelacionados), r.tablaExterna));
    const QString errPadre = CitarTexto(QStringLiteral("%1: %2 en %3").arg(nombre, QLatin1String(kMarcaFaltaPadre), r.tabla));

    Transaccion t(*this);
    if (r.cascadaBorrar)
        ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON %2 BEGIN DELETE FROM %3 WHERE %4; END")
                           .arg(disparador(QStringLiteral("_borrado")), p, h, hijosDeOld.join(y)));
    else
        ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 BEFORE DELETE ON %2 WHEN %3 BEGIN SELECT RAISE(ABORT, %4); END")
                           .arg(disparador(QStringLiteral("_borrado")), p, hayHijos, errHijos));
    if (r.cascadaActualizar)
        ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF %2 ON %3 WHEN %4 BEGIN UPDATE %5 SET %6 WHERE %7; END")
                           .arg(disparador(QStringLiteral("_cambio")), colsPadre.join(QLatin1String(", ")), p,
                                pkCambiada.join(QLatin1String(" OR ")), h, asignar.join(QLatin1String(", ")),
                                hijosDeOld.join(y)));
    else
        ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE OF %2 ON %3 WHEN (%4) AND %5 BEGIN SELECT RAISE(ABORT, %6); END")
                           .arg(disparador(QStringLiteral("_cambio")), colsPadre.join(QLatin1String(", ")), p,
                                pkCambiada.join(QLatin1String(" OR ")), hayHijos, errHijos));
    ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 WHEN %3 AND %4 BEGIN SELECT RAISE(ABORT, %5); END")
                       .arg(disparador(QStringLiteral("_alta")), h, fkNoNulas.join(y), faltaPadre, errPadre));
    ejecutarNativo(QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE OF %2 ON %3 WHEN %4 AND %5 BEGIN SELECT RAISE(ABORT, %6); END")
                       .arg(disparador(QStringLiteral("_hijo")), colsHijo.join(QLatin1String(", ")), h, fkNoNulas.join(y),
                            faltaPadre, errPadre));
    t.commit();
}

void BaseDeDatos::eliminarRelacion(const QString& nombre)
{
    if (!existeRelacion(nombre))
        throw Error(ErrNoEncontradoEnColeccion, SQLITE_ERROR, QStringLiteral("No existe la relación %1.").arg(nombre));
    if (m_pg) {
        ejecutarNativo(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %2")
                           .arg(CitarIdentificador(m_relacionesPG.value(nombre.toLower()).first), CitarIdentificador(nombre)));
        m_relacionesPG.remove(nombre.toLower());
        return;
    }
    Transaccion t(*this);
    for (const char* sufijo : {"_borrado", "_cambio", "_alta", "_hijo"})
        ejecutarNativo(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(CitarIdentificador(nombre + QLatin1String(sufijo))));
    t.commit();
}

bool BaseDeDatos::existeConsulta(const QString& nombre)
{
    return hayFila(m_pg ? QStringLiteral("SELECT 1 FROM pg_views WHERE schemaname = current_schema() AND viewname = lower(?)")
                                 : QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='view' AND name=? COLLATE NOCASE"), nombre);
}

void BaseDeDatos::crearConsulta(const QString& nombre, const QString& sql)
{
    if (m_pg) {
        // The view keeps the text it was made from in its comment: the server's own rewriting
        // of it cannot be compared with a new text.
        // A view of columns an older database does not have yet is left for the step that adds them
        // rewrites it (SQLite takes such a view and fails only when it is read).
        Transaccion t(*this);
        try {
            ejecutarNativo(QStringLiteral("CREATE VIEW %1 AS %2").arg(CitarIdentificador(nombre), TraducirSQL(sql, true).trimmed()));
        } catch (const Error& e) {
            if (e.estadoSql() != QLatin1String("42703") && e.estadoSql() != QLatin1String("42P01"))
                throw;
            return;
        }
        ejecutarNativo(QStringLiteral("COMMENT ON VIEW %1 IS %2").arg(CitarIdentificador(nombre), CitarTexto(sql)));
        t.commit();
        return;
    }
    ejecutarNativo(QStringLiteral("CREATE VIEW %1 AS %2").arg(CitarIdentificador(nombre), TraducirSQL(sql).trimmed()));
}

void BaseDeDatos::cambiarSQLConsulta(const QString& nombre, const QString& sql)
{
    if (m_pg) {
        cambiarSQLConsultaPG(nombre, sql);
        return;
    }
    // Rewriting a view with the text it already has would only bump the schema.
    const QString nueva = QStringLiteral("CREATE VIEW %1 AS %2").arg(CitarIdentificador(nombre), TraducirSQL(sql).trimmed());
    {
        Sentencia& s = preparar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='view' AND name=? COLLATE NOCASE"));
        s.vincular({nombre});
        const bool igual = s.paso() && s.columna(0).aTexto() == nueva;
        s.reiniciar();
        if (igual)
            return;
    }
    Transaccion t(*this);
    ejecutarNativo(QStringLiteral("DROP VIEW IF EXISTS %1").arg(CitarIdentificador(nombre)));
    crearConsulta(nombre, sql);
    t.commit();
}

// ---------------------------------------------------------------------------------------------
// Transaccion

BaseDeDatos::Transaccion::Transaccion(BaseDeDatos& bd) : m_bd(bd)
{
    if (m_bd.m_nivelTransaccion == 0 && !m_bd.enTransaccion()) {
        m_bd.ejecutarNativo(QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        m_punto = QStringLiteral("p%1").arg(m_bd.m_nivelTransaccion);
        m_bd.ejecutarNativo(QStringLiteral("SAVEPOINT ") + m_punto);
    }
    ++m_bd.m_nivelTransaccion;
}

void BaseDeDatos::Transaccion::commit()
{
    if (m_hecha)
        return;
    m_bd.ejecutarNativo(m_punto.isEmpty() ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ") + m_punto);
    m_hecha = true;
    --m_bd.m_nivelTransaccion;
}

BaseDeDatos::Transaccion::~Transaccion()
{
    if (m_hecha)
        return;
    --m_bd.m_nivelTransaccion;
    // A failed statement may already have ended the transaction; rolling back is then a no-op.
    const QByteArray sql = m_punto.isEmpty() ? QByteArray("ROLLBACK")
                                             : ("ROLLBACK TO " + m_punto.toUtf8() + "; RELEASE " + m_punto.toUtf8());
    if (m_bd.m_pg)
        m_bd.liberarConexionPG();
    if (m_punto.isEmpty() && !m_bd.enTransaccion())
        return;
    if (m_bd.m_pg) {
        PQclear(PQexec(m_bd.m_pg, sql.constData()));
        return;
    }
    sqlite3_exec(m_bd.m_db, sql.constData(), nullptr, nullptr, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Recordset

Recordset BaseDeDatos::abrirRecordset(const QString& fuente, const std::vector<Valor>& parametros)
{
    Recordset rs;
    rs.m_bd = this;
    static const QRegularExpression soloNombre(QStringLiteral("^\\s*\\[?([A-Za-z_][A-Za-z0-9_]*)\\]?\\s*$"));
    const auto nombre = soloNombre.match(fuente);
    if (nombre.hasMatch() && existeTabla(nombre.captured(1))) {
        rs.m_esTabla = true;
        rs.m_tabla = nombre.captured(1);
        for (const DefCampo& c : camposDeTabla(rs.m_tabla))
            rs.m_nombres << c.nombre;
        rs.cargarFilaTabla(QStringLiteral("SELECT %1, * FROM %2 ORDER BY rowid LIMIT 1")
                               .arg(rs.columnasIdentidad(), CitarIdentificador(rs.m_tabla)),
                           {});
        return rs;
    }

    // The same queries come again and again (lists, refreshes): translate each text once.
    auto cache = m_traducciones.find(fuente);
    if (cache == m_traducciones.end()) {
        if (m_traducciones.size() > 500)
            m_traducciones.clear();
        Traduccion t;
        t.sql = TraducirSQL(fuente, m_pg != nullptr);
        // Rows of one table (no join, no grouping) can be changed: read each row's rowid with it.
        static const QRegularExpression unaTabla(
            QStringLiteral("^\\s*select\\s+(?!.*\\bjoin\\b)(?!.*\\bgroup\\s+by\\b)(?!.*\\bunion\\b)(?!.*\\bdistinct\\b)(?!.*\\b(count|sum|max|min|avg|total)\\s*\\().*?\\bfrom\\s+\"?([A-Za-z_][A-Za-z0-9_]*)\"?\\s*(where\\b|order\\b|$)"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        const auto m = unaTabla.match(t.sql);
        if (m.hasMatch() && existeTabla(m.captured(m.lastCapturedIndex() - 1))) {
            t.tabla = m.captured(m.lastCapturedIndex() - 1);
            static const QRegularExpression select(QStringLiteral("select\\s+"), QRegularExpression::CaseInsensitiveOption);
            const qsizetype p = t.sql.indexOf(select);
            const QString tabla = CitarIdentificador(t.tabla);
            t.sql.insert(p + 7, tabla + QLatin1String(".rowid AS \"__fila__\", ")
                                    + (m_pg ? tabla + QLatin1String(".xmin AS \"__version__\", ") : QString()));
        }
        cache = m_traducciones.insert(fuente, t);
    }
    QString sql = cache->sql;
    const bool conRowid = !cache->tabla.isEmpty();
    rs.m_tabla = cache->tabla;
    Sentencia& s = preparar(sql);
    s.vincular(parametros);
    const int n = s.columnas();
    const int primera = conRowid ? (m_pg ? 2 : 1) : 0;
    for (int i = primera; i < n; ++i)
        rs.m_nombres << s.nombreColumna(i);
    while (s.paso()) {
        std::vector<Valor> fila;
        fila.reserve(n - primera);
        for (int i = primera; i < n; ++i)
            fila.push_back(s.columna(i));
        rs.m_filas.push_back(std::move(fila));
        rs.m_rowids.push_back(conRowid ? s.columna(0) : Valor());
        if (m_pg)
            rs.m_versiones.push_back(conRowid ? s.columna(1) : Valor());
    }
    s.reiniciar();
    rs.m_borradas.assign(rs.m_filas.size(), false);
    return rs;
}

Recordset::Recordset(Recordset&& o) noexcept { *this = std::move(o); }
Recordset& Recordset::operator=(Recordset&& o) noexcept
{
    m_bd = o.m_bd;
    m_nombres = std::move(o.m_nombres);
    m_filas = std::move(o.m_filas);
    m_rowids = std::move(o.m_rowids);
    m_versiones = std::move(o.m_versiones);
    m_borradas = std::move(o.m_borradas);
    m_pos = o.m_pos;
    m_tabla = std::move(o.m_tabla);
    m_esTabla = o.m_esTabla;
    m_indice = std::move(o.m_indice);
    m_camposIndice = std::move(o.m_camposIndice);
    m_noMatch = o.m_noMatch;
    m_modo = o.m_modo;
    m_cambios = std::move(o.m_cambios);
    m_definicion = std::move(o.m_definicion);
    o.m_bd = nullptr;
    return *this;
}
Recordset::~Recordset() = default;

void Recordset::close()
{
    m_bd = nullptr;
    m_filas.clear();
    m_rowids.clear();
    m_versiones.clear();
    m_borradas.clear();
    m_pos = 0;
}

bool Recordset::eof() const { return m_pos >= m_filas.size(); }

void Recordset::moveFirst()
{
    if (m_esTabla && m_bd) {
        const QString orden = m_camposIndice.isEmpty() ? QStringLiteral("rowid") : [&] {
            QStringList c;
            for (const QString& f : m_camposIndice)
                c << CitarIdentificador(f);
            return c.join(QLatin1String(", ")) + QLatin1String(", rowid");
        }();
        cargarFilaTabla(QStringLiteral("SELECT %1, * FROM %2 ORDER BY %3 LIMIT 1").arg(columnasIdentidad(), CitarIdentificador(m_tabla), orden),
                        {});
        return;
    }
    m_pos = 0;
    while (m_pos < m_filas.size() && m_borradas[m_pos])
        ++m_pos;
}

void Recordset::moveNext()
{
    if (eof())
        return;
    if (m_esTabla && m_bd) {
        // The row after the current one in index order.
        QStringList c, marcas;
        std::vector<Valor> claves;
        for (const QString& f : m_camposIndice) {
            c << CitarIdentificador(f);
            marcas << QStringLiteral("?");
            claves.push_back(campo(f));
        }
        c << QStringLiteral("rowid");
        marcas << QStringLiteral("?");
        claves.push_back(m_rowids[m_pos]);
        const QString lista = c.join(QLatin1String(", "));
        cargarFilaTabla(QStringLiteral("SELECT %1, * FROM %2 WHERE (%3) > (%4) ORDER BY %3 LIMIT 1")
                            .arg(columnasIdentidad(), CitarIdentificador(m_tabla), lista, marcas.join(QLatin1String(", "))),
                        claves);
        return;
    }
    ++m_pos;
    while (m_pos < m_filas.size() && m_borradas[m_pos])
        ++m_pos;
}

long Recordset::recordCount() const
{
    long n = 0;
    for (size_t i = 0; i < m_filas.size(); ++i)
        if (!m_borradas[i])
            ++n;
    return n;
}

int Recordset::indiceCampo(const QString& nombre) const
{
    for (int i = 0; i < m_nombres.size(); ++i)
        if (m_nombres[i].compare(nombre, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

Valor Recordset::campo(const QString& nombre) const
{
    if (m_modo != Modo::Ninguno) {
        for (auto it = m_cambios.rbegin(); it != m_cambios.rend(); ++it)
            if (it->first.compare(nombre, Qt::CaseInsensitive) == 0)
                return it->second;
        if (m_modo == Modo::Alta)
            return {};
    }
    return campo(indiceCampo(nombre));
}

Valor Recordset::campo(int i) const
{
    if (eof() || i < 0 || i >= static_cast<int>(m_filas[m_pos].size()))
        return {};
    return m_filas[m_pos][static_cast<size_t>(i)];
}

void Recordset::exigirFila() const
{
    if (eof())
        throw Error(ErrGeneral, 0, QStringLiteral("No hay registro actual."));
}

void Recordset::addNew()
{
    if (!actualizable() || !m_bd)
        throw Error(ErrGeneral, 0, QStringLiteral("El conjunto de registros no se puede actualizar."));
    m_modo = Modo::Alta;
    m_cambios.clear();
}

void Recordset::edit()
{
    if (!actualizable() || !m_bd)
        throw Error(ErrGeneral, 0, QStringLiteral("El conjunto de registros no se puede actualizar."));
    exigirFila();
    m_modo = Modo::Edicion;
    m_cambios.clear();
}

void Recordset::fijar(const QString& nombre, const Valor& valor)
{
    if (m_modo == Modo::Ninguno)
        throw Error(ErrGeneral, 0, QStringLiteral("Falta AddNew o Edit antes de cambiar %1.").arg(nombre));
    if (indiceCampo(nombre) < 0)
        throw Error(ErrNoEncontradoEnColeccion, 0, QStringLiteral("No existe el campo %1.").arg(nombre));
    m_cambios.emplace_back(m_nombres[indiceCampo(nombre)], valor);
}

void Recordset::cancelUpdate()
{
    m_modo = Modo::Ninguno;
    m_cambios.clear();
}

void Recordset::update()
{
    if (m_modo == Modo::Ninguno)
        throw Error(ErrGeneral, 0, QStringLiteral("Update sin AddNew ni Edit."));
    // Last value wins per field.
    std::vector<std::pair<QString, Valor>> cambios;
    if (m_definicion.empty())
        m_definicion = m_bd->camposDeTabla(m_tabla);
    auto tipo = [&](const QString& campo) {
        for (const DefCampo& d : m_definicion)
            if (d.nombre.compare(campo, Qt::CaseInsensitive) == 0)
                return d.tipo;
        return TipoCampo::Memo;
    };
    for (const auto& c : m_cambios) {
        auto it = std::find_if(cambios.begin(), cambios.end(), [&](const auto& x) { return x.first == c.first; });
        const Valor v = valorParaCampo(c.second, tipo(c.first), c.first);
        if (it != cambios.end())
            it->second = v;
        else
            cambios.emplace_back(c.first, v);
    }
    const QString tabla = CitarIdentificador(m_tabla);
    std::vector<Valor> parametros;
    Valor rowid, version;
    // A row written on PostgreSQL is a new version, at a new place: the statement says which.
    const QString devuelve = m_bd->m_pg ? QStringLiteral(" RETURNING ctid, xmin") : QString();
    auto escribirPG = [&](const QString& sql) {
        BaseDeDatos::Sentencia& s = m_bd->preparar(sql + devuelve);
        s.vincular(parametros);
        const bool escrita = s.paso();
        if (escrita) {
            rowid = s.columna(0);
            version = s.columna(1);
        }
        s.reiniciar();
        return escrita;
    };
    if (m_modo == Modo::Alta) {
        QStringList cols, marcas;
        for (const auto& [c, v] : cambios) {
            cols << CitarIdentificador(c);
            marcas << QStringLiteral("?");
            parametros.push_back(v);
        }
        const QString sql = cols.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(tabla)
                                           : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                 .arg(tabla, cols.join(QLatin1String(", ")), marcas.join(QLatin1String(", ")));
        if (m_bd->m_pg) {
            escribirPG(sql);
        } else {
            m_bd->ejecutarNativo(sql, parametros);
            rowid = Valor(static_cast<qint64>(sqlite3_last_insert_rowid(m_bd->m_db)));
        }
    } else {
        exigirFila();
        rowid = m_rowids[m_pos];
        if (m_bd->m_pg)
            version = m_versiones[m_pos];
        if (!cambios.empty()) {
            QStringList asignaciones;
            for (const auto& [c, v] : cambios) {
                asignaciones << CitarIdentificador(c) + QLatin1String(" = ?");
                parametros.push_back(v);
            }
            for (Valor& v : identidad(m_pos))
                parametros.push_back(std::move(v));
            const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(tabla, asignaciones.join(QLatin1String(", ")), condicionIdentidad());
            // No row written: the one read is gone, or another connection wrote a newer version
            // of it, which this write would overwrite unseen.
            if (m_bd->m_pg ? !escribirPG(sql) : m_bd->ejecutarNativo(sql, parametros) == 0)
                lanzarRegistroCambiado();
        }
    }
    // Read the stored row back (defaults, conversions) into the set.
    BaseDeDatos::Sentencia& s = m_bd->preparar(QStringLiteral("SELECT * FROM %1 WHERE %2").arg(tabla, condicionIdentidad()));
    s.vincular(m_bd->m_pg ? std::vector<Valor>{rowid, version} : std::vector<Valor>{rowid});
    std::vector<Valor> fila(static_cast<size_t>(m_nombres.size()));
    const bool leida = s.paso();
    if (leida) {
        for (int i = 0; i < s.columnas(); ++i) {
            const int j = indiceCampo(s.nombreColumna(i));
            if (j >= 0)
                fila[static_cast<size_t>(j)] = s.columna(i);
        }
    }
    s.reiniciar();
    if (!leida) {
        // Gone before it was written (an edit with nothing to write), or changed by another
        // connection right after this write: the set keeps what was written.
        if (m_modo == Modo::Edicion && cambios.empty())
            lanzarRegistroCambiado();
        if (m_modo == Modo::Edicion)
            fila = m_filas[m_pos];
        for (const auto& [c, v] : cambios)
            if (const int j = indiceCampo(c); j >= 0)
                fila[static_cast<size_t>(j)] = v;
    }
    if (m_modo == Modo::Alta && !m_esTabla) {
        // A query may name fewer columns than the table; the new row keeps the query's columns.
        const bool estabaAlFinal = eof();
        m_filas.push_back(std::move(fila));
        m_rowids.push_back(rowid);
        if (m_bd->m_pg)
            m_versiones.push_back(version);
        m_borradas.push_back(false);
        if (estabaAlFinal)
            m_pos = m_filas.size() - 1 + 1;  // stays past the end, as before AddNew
    } else if (m_modo == Modo::Alta) {
        m_filas = {std::move(fila)};
        m_rowids = {rowid};
        m_versiones = m_bd->m_pg ? std::vector<Valor>{version} : std::vector<Valor>{};
        m_borradas = {false};
        m_pos = 0;
    } else {
        m_filas[m_pos] = std::move(fila);
        m_rowids[m_pos] = rowid;
        if (m_bd->m_pg)
            m_versiones[m_pos] = version;
    }
    m_modo = Modo::Ninguno;
    m_cambios.clear();
}

BaseDeDatos::Insercion::Insercion(BaseDeDatos& bd, const QString& tabla, const QStringList& campos) : m_bd(bd), m_campos(campos)
{
    const std::vector<DefCampo> definicion = bd.camposDeTabla(tabla);
    QStringList cols, marcas;
    for (const QString& c : campos) {
        // A field the table lacks is converted as update() converts it, and refused by the engine.
        TipoCampo tipo = TipoCampo::Memo;
        for (const DefCampo& d : definicion)
            if (d.nombre.compare(c, Qt::CaseInsensitive) == 0) {
                tipo = d.tipo;
                break;
            }
        m_tipos.push_back(tipo);
        cols << CitarIdentificador(c);
        marcas << QStringLiteral("?");
    }
    m_tabla = CitarIdentificador(tabla);
    m_columnas = cols.join(QLatin1String(", "));
    m_marcas = QStringLiteral("(%1)").arg(marcas.join(QLatin1String(", ")));
    m_sql = QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(m_tabla, m_columnas, m_marcas);
    // On the server every statement is a round trip, and one thousand rows go as cheaply as 64:
    // a big document's lines are a few statements, well within the 65,535 parameters one takes.
    // SQLite keeps blocks of 64, which bound the pages a statement copies while it runs.
    if (bd.m_pg)
        m_filasBloque = std::clamp<size_t>(30000 / std::max<size_t>(static_cast<size_t>(campos.size()), 1), 1, 1024);

    // Which fields give back exactly the value they were given. On SQLite that is the
    // declared type's affinity (a text in a numeric field may come back a number); on
    // PostgreSQL the field's own type (a fixed-size text comes back padded).
    bool conDisparadores = false;
    const std::vector<TipoDeclarado> declarados = bd.tiposDeclarados(tabla, &conDisparadores);
    for (size_t i = 0; i < declarados.size(); ++i) {
        const TipoDeclarado& d = declarados[i];
        m_camposTabla << d.nombre;
        int origen = -1;
        for (int c = 0; c < campos.size(); ++c)
            if (campos[c].compare(d.nombre, Qt::CaseInsensitive) == 0)
                origen = c;
        m_origen.push_back(origen);
        const TipoCampo tipo = i < definicion.size() ? definicion[i].tipo : TipoCampo::Memo;
        const bool entero = tipo == TipoCampo::Entero || tipo == TipoCampo::Largo;
        const bool numero = tipo == TipoCampo::Simple || tipo == TipoCampo::Doble;
        const bool texto = tipo == TipoCampo::Texto || tipo == TipoCampo::Memo;
        Lectura lectura = Lectura::Incierta;
        if (bd.m_pg) {
            const QString t = d.tipo.toLower();
            if (entero && (t == QLatin1String("int2") || t == QLatin1String("int4") || t == QLatin1String("int8")))
                lectura = Lectura::Entero;
            else if (numero && (t == QLatin1String("float4") || t == QLatin1String("float8")))
                lectura = Lectura::Numero;
            else if (texto && (t == QLatin1String("varchar") || t == QLatin1String("text")))
                lectura = Lectura::Texto;
        } else {
            const QString t = d.tipo.toUpper();
            const bool afinidadEntera = t.contains(QLatin1String("INT"));
            const bool afinidadTexto = !afinidadEntera && (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB"))
                                                           || t.contains(QLatin1String("TEXT")));
            const bool afinidadNinguna = !afinidadEntera && !afinidadTexto && (t.isEmpty() || t.contains(QLatin1String("BLOB")));
            const bool afinidadReal = !afinidadEntera && !afinidadTexto && !afinidadNinguna
                                      && (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA"))
                                          || t.contains(QLatin1String("DOUB")));
            const bool afinidadNumerica = !afinidadEntera && !afinidadTexto && !afinidadNinguna && !afinidadReal;
            if (entero && (afinidadEntera || afinidadNumerica))
                lectura = Lectura::Entero;
            else if (numero && (afinidadReal || afinidadNumerica))
                lectura = Lectura::Numero;
            else if (texto && afinidadTexto)
                lectura = Lectura::Texto;
        }
        if (conDisparadores || d.oculto || origen < 0 || i >= definicion.size()
            || definicion[i].nombre.compare(d.nombre, Qt::CaseInsensitive) != 0)
            lectura = Lectura::Incierta;
        m_lecturas.push_back(lectura);
    }
}

std::optional<std::vector<Valor>> BaseDeDatos::Insercion::comoSeLee(std::vector<Valor> fila) const
{
    // Mostly the fields were given in the table's order: the row itself is the answer.
    bool enOrden = fila.size() == m_lecturas.size();
    for (size_t i = 0; enOrden && i < m_origen.size(); ++i)
        enOrden = m_origen[i] == static_cast<int>(i);
    std::vector<Valor> leida;
    if (!enOrden)
        leida.reserve(m_lecturas.size());
    for (size_t i = 0; i < m_lecturas.size(); ++i) {
        if (m_lecturas[i] == Lectura::Incierta || static_cast<size_t>(m_origen[i]) >= fila.size())
            return std::nullopt;
        const Valor& v = fila[static_cast<size_t>(m_origen[i])];
        bool seguro = v.esNulo();
        switch (m_lecturas[i]) {
        case Lectura::Entero: seguro = seguro || v.tipo() == Valor::Tipo::Entero; break;
        case Lectura::Numero:
            // SQLite keeps no NaN (it stores a null) and may keep a negative zero as 0.
            if (v.tipo() == Valor::Tipo::Numero) {
                const double d = v.aNumero();
                seguro = std::isfinite(d) && !(d == 0 && std::signbit(d));
            }
            break;
        case Lectura::Texto:
            if (v.tipo() == Valor::Tipo::Texto) {
                // Stored as UTF-8: only a text that goes there and back unchanged, with no
                // character PostgreSQL refuses.
                const QString t = v.aTexto();
                seguro = QStringView(t).isValidUtf16() && !t.contains(QChar(u'\0'));
            }
            break;
        case Lectura::Incierta: break;
        }
        if (!seguro)
            return std::nullopt;
        if (!enOrden)
            leida.push_back(v);
    }
    if (enOrden)
        return fila;
    return leida;
}

std::vector<BaseDeDatos::TipoDeclarado> BaseDeDatos::tiposDeclarados(const QString& tabla, bool* conDisparadores)
{
    std::vector<TipoDeclarado> r;
    const bool pg = m_pg != nullptr;
    {
        Sentencia& s = preparar(pg ? QStringLiteral("SELECT coalesce(col_description(a.attrelid, a.attnum), a.attname::text), "
                                                    "ty.typname::text, a.attgenerated <> '' FROM pg_attribute a JOIN pg_type ty "
                                                    "ON ty.oid = a.atttypid WHERE a.attrelid = to_regclass(quote_ident(lower(?))) "
                                                    "AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum")
                                   : QStringLiteral("SELECT name, type, hidden FROM pragma_table_xinfo(?) ORDER BY cid"));
        s.vincular({tabla});
        while (s.paso())
            r.push_back({s.columna(0).aTexto(), s.columna(1).aTexto(), s.columna(2).aBooleano()});
        s.reiniciar();
    }
    // Triggers that only refuse a row (the relations' and the store's own guards) leave what
    // is inserted as it was given; any other trigger on an insert may change it.
    static const QRegularExpression soloRechazaSQLite(
        QStringLiteral("\\bBEGIN\\s+SELECT\\s+RAISE\\s*\\(\\s*(ABORT|FAIL|ROLLBACK)\\s*,\\s*'(?:[^']|'')*'\\s*\\)\\s*;\\s*END\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression alAnadir(QStringLiteral("\\b(BEFORE|AFTER|INSTEAD\\s+OF)\\s+INSERT\\b"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression soloRechazaPG(
        QStringLiteral("^BEGIN IF .* THEN RAISE EXCEPTION USING MESSAGE = '(?:[^']|'')*'; END IF; RETURN NEW; END$"),
        QRegularExpression::DotMatchesEverythingOption);
    Sentencia& s = preparar(pg ? QStringLiteral("SELECT p.prosrc FROM pg_trigger t JOIN pg_proc p ON p.oid = t.tgfoid "
                                                "WHERE t.tgrelid = to_regclass(quote_ident(lower(?))) AND NOT t.tgisinternal "
                                                "AND (t.tgtype & 4) <> 0")
                               : QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? COLLATE NOCASE"));
    s.vincular({tabla});
    *conDisparadores = false;
    while (s.paso()) {
        const QString texto = s.columna(0).aTexto();
        if (pg) {
            *conDisparadores = *conDisparadores || !soloRechazaPG.match(texto.trimmed()).hasMatch();
        } else {
            const qsizetype cuerpo = texto.indexOf(QLatin1String("BEGIN"), 0, Qt::CaseInsensitive);
            const bool anade = alAnadir.match(cuerpo < 0 ? texto : texto.left(cuerpo)).hasMatch();
            *conDisparadores = *conDisparadores || (anade && !soloRechazaSQLite.match(texto).hasMatch());
        }
    }
    s.reiniciar();
    return r;
}

Valor BaseDeDatos::Insercion::convertir(int columna, const Valor& valor) const
{
    return valorParaCampo(valor, m_tipos[static_cast<size_t>(columna)], m_campos[columna]);
}

void BaseDeDatos::Insercion::insertar(const std::vector<Valor>& fila)
{
    BaseDeDatos::Sentencia& s = m_bd.preparar(m_sql);
    s.vincular(fila);
    while (s.paso()) {
    }
    s.reiniciar();
}

const QString& BaseDeDatos::Insercion::sqlBloque(size_t filas)
{
    QString& sql = m_sqlBloques[filas];
    if (sql.isEmpty())
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(m_tabla, m_columnas)
            + QStringList(static_cast<int>(filas), m_marcas).join(QLatin1String(", "));
    return sql;
}

QByteArray BaseDeDatos::Insercion::copia(const std::vector<std::vector<Valor>>& filas) const
{
    if (!m_bd.m_pg || filas.size() < kFilasCopia
        || !std::all_of(filas.begin(), filas.end(), [this](const std::vector<Valor>& f) { return f.size() == static_cast<size_t>(m_campos.size()); }))
        return {};
    return textoCopiaPG(filas);
}

void BaseDeDatos::Insercion::insertar(const std::vector<std::vector<Valor>>& filas) { insertar(filas, {}); }

void BaseDeDatos::Insercion::insertar(const std::vector<std::vector<Valor>>& filas, const QByteArray& copia)
{
    // Rows go in blocks, one statement each: a statement that may be refused halfway (a
    // relation, a rule) keeps a copy of every page it changes until it ends, and thousands of
    // one-row statements would copy the same pages thousands of times. On PostgreSQL a block
    // is also one trip to the server. Full blocks first, then, inside a transaction (where the
    // rows are all or nothing anyway), the rest in halving blocks, so that a document of any
    // size takes a few statements of a few shapes; outside one, where each statement stands
    // alone, blocks of 64 and the rest row by row, on both engines.
    const bool mitades = m_bd.enTransaccion();
    const auto enBloques = [&] {
        const auto completa = [this](const std::vector<Valor>& f) { return f.size() == static_cast<size_t>(m_campos.size()); };
        std::vector<Valor> valores;
        size_t i = 0;
        size_t bloque = mitades ? m_filasBloque : std::min<size_t>(m_filasBloque, 64);
        while (i < filas.size()) {
            while (bloque > 1 && i + bloque > filas.size())
                bloque = mitades ? bloque / 2 : 1;
            if (bloque < 2
                || !std::all_of(filas.begin() + static_cast<std::ptrdiff_t>(i),
                                filas.begin() + static_cast<std::ptrdiff_t>(i + bloque), completa)) {
                // A short row is refused by the engine as a one-row statement refuses it.
                insertar(filas[i++]);
                continue;
            }
            valores.clear();
            for (size_t j = i; j < i + bloque; ++j)
                valores.insert(valores.end(), filas[j].begin(), filas[j].end());
            BaseDeDatos::Sentencia& s = m_bd.preparar(sqlBloque(bloque));
            s.vincular(valores);
            while (s.paso()) {
            }
            s.reiniciar();
            i += bloque;
        }
    };
    if (filas.size() < 2 || !m_bd.enTransaccion()) {
        enBloques();
        return;
    }
    Transaccion lote(m_bd);
    // On the server each write in a transaction otherwise runs under a savepoint of its own:
    // two more round trips per statement, which the batch's savepoint makes unnecessary.
    const QByteArray anterior = m_bd.m_puntoLotePG;
    m_bd.m_puntoLotePG = lote.m_punto.toUtf8();
    try {
        // A big document's lines go to the server as one COPY: no statement to parse, plan
        // and bind per thousand rows, so the write lock is held for much less. A refusal is
        // told by the blocks, which name what the server refused as they always have.
        const bool copiadas = m_bd.m_pg && filas.size() >= kFilasCopia
                              && std::all_of(filas.begin(), filas.end(),
                                             [this](const std::vector<Valor>& f) { return f.size() == static_cast<size_t>(m_campos.size()); })
                              && m_bd.copiarPG(m_tabla, m_columnas, filas, copia);
        if (!copiadas)
            enBloques();
    } catch (...) {
        m_bd.m_puntoLotePG = anterior;
        throw;
    }
    m_bd.m_puntoLotePG = anterior;
    lote.commit();
}

void Recordset::remove()
{
    if (!actualizable() || !m_bd)
        throw Error(ErrGeneral, 0, QStringLiteral("El conjunto de registros no se puede actualizar."));
    exigirFila();
    if (m_bd->ejecutarNativo(QStringLiteral("DELETE FROM %1 WHERE %2").arg(CitarIdentificador(m_tabla), condicionIdentidad()),
                             identidad(m_pos))
        == 0)
        lanzarRegistroCambiado();
    m_borradas[m_pos] = true;
}

QString Recordset::columnasIdentidad() const
{
    return m_bd->m_pg ? QStringLiteral("rowid, xmin") : QStringLiteral("rowid");
}

QString Recordset::condicionIdentidad() const
{
    return m_bd->m_pg ? QStringLiteral("rowid = ? AND xmin = ?") : QStringLiteral("rowid = ?");
}

std::vector<Valor> Recordset::identidad(size_t fila) const
{
    if (m_bd->m_pg)
        return {m_rowids[fila], m_versiones[fila]};
    return {m_rowids[fila]};
}

void Recordset::lanzarRegistroCambiado() const
{
    throw Error(ErrRegistroCambiado, 0,
                QStringLiteral("Otro puesto ha cambiado o borrado estos datos después de que se leyeran: el cambio no se ha "
                               "guardado. Vuelva a abrirlos para leerlos de nuevo y repita el cambio."));
}

void Recordset::setIndex(const QString& nombre)
{
    if (!m_esTabla || !m_bd)
        throw Error(ErrGeneral, 0, QStringLiteral("Solo una tabla tiene índices."));
    const std::optional<DefIndice> d = m_bd->indice(m_tabla, nombre);
    if (!d)
        throw Error(ErrNoEncontradoEnColeccion, 0, QStringLiteral("No existe el índice %1 en %2.").arg(nombre, m_tabla));
    m_indice = nombre;
    m_camposIndice = d->campos;
}

void Recordset::seek(const QString& op, const std::vector<Valor>& claves)
{
    if (!m_esTabla || !m_bd || m_camposIndice.isEmpty())
        throw Error(ErrGeneral, 0, QStringLiteral("Seek necesita una tabla con índice."));
    const qsizetype n = std::min<qsizetype>(static_cast<qsizetype>(claves.size()), m_camposIndice.size());
    QStringList cols, marcas, orden;
    for (qsizetype i = 0; i < n; ++i) {
        cols << CitarIdentificador(m_camposIndice[i]);
        marcas << QStringLiteral("?");
    }
    for (const QString& c : m_camposIndice)
        orden << CitarIdentificador(c);
    orden << QStringLiteral("rowid");
    QString condicion;
    if (op.trimmed() == QLatin1String("=")) {
        QStringList iguales;
        for (const QString& c : cols)
            iguales << c + QLatin1String(" = ?");
        condicion = iguales.join(QLatin1String(" AND "));
    } else if (op.trimmed() == QLatin1String(">=")) {
        condicion = QStringLiteral("(%1) >= (%2)").arg(cols.join(QLatin1String(", ")), marcas.join(QLatin1String(", ")));
    } else {
        throw Error(ErrGeneral, 0, QStringLiteral("Operador de búsqueda no admitido: %1").arg(op));
    }
    std::vector<Valor> parametros(claves.begin(), claves.begin() + n);
    cargarFilaTabla(QStringLiteral("SELECT %1, * FROM %2 WHERE %3 ORDER BY %4 LIMIT 1")
                        .arg(columnasIdentidad(), CitarIdentificador(m_tabla), condicion, orden.join(QLatin1String(", "))),
                    parametros);
    m_noMatch = eof();
}

void Recordset::cargarFilaTabla(const QString& sql, const std::vector<Valor>& parametros)
{
    BaseDeDatos::Sentencia& s = m_bd->preparar(sql);
    s.vincular(parametros);
    m_filas.clear();
    m_rowids.clear();
    m_versiones.clear();
    if (s.paso()) {
        const int primera = m_bd->m_pg ? 2 : 1;
        std::vector<Valor> fila;
        for (int i = primera; i < s.columnas(); ++i)
            fila.push_back(s.columna(i));
        m_filas.push_back(std::move(fila));
        m_rowids.push_back(s.columna(0));
        if (m_bd->m_pg)
            m_versiones.push_back(s.columna(1));
    }
    s.reiniciar();
    m_borradas.assign(m_filas.size(), false);
    m_pos = 0;
}

}  // namespace motor
