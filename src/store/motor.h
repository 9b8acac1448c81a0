#pragma once

// The database engine the store works on: a SQLite file or a PostgreSQL database (named by a
// libpq connection string), with the shapes the store expects (recordsets, table/field/index/
// relation/saved-query definitions, error codes).

#include "valor.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;
struct pg_result;
struct pg_cancel;

namespace motor {

// Engine error codes the store and the screens rely on.
enum Codigo : int {
    ErrGeneral = 3000,
    ErrDuplicado = 3022,          // duplicate value in a unique index
    ErrArchivoNoEncontrado = 3024,
    ErrNoSePuedeAbrir = 3051,     // locked, read-only or no permission
    ErrTablaNoExiste = 3078,
    ErrCampoExiste = 3191,
    ErrRegistrosRelacionados = 3200,  // a parent row with children cannot be deleted or changed
    ErrFaltaRegistroRelacionado = 3201,  // a child row needs its parent
    ErrRegistroCambiado = 3197,   // the row a recordset was to change or delete is no longer as it was read
    ErrNoEncontradoEnColeccion = 3265,
    ErrReglaValidacion = 3317,    // out-of-range value or text too long for its field
    ErrFormatoNoReconocido = 3343,  // not a database
};

// mensaje() is always Spanish: an error raised by the engine carries its own (English) words only
// in what() and textoMotor(), for logs; mensaje() says in Spanish what went wrong.
// codigoSqlite() is SQLite's result code; a PostgreSQL error carries the SQLite code of the same
// meaning there (a lock, a rule, a full disk...) and its SQLSTATE in estadoSql().
class Error : public std::runtime_error {
public:
    Error(int codigo, int codigoSqlite, const QString& mensaje, const QString& sql = {}, const QString& textoMotor = {},
          const QString& estadoSql = {});
    int codigo() const { return m_codigo; }
    int codigoSqlite() const { return m_codigoSqlite; }
    const QString& estadoSql() const { return m_estadoSql; }
    const QString& mensaje() const { return m_mensaje; }
    const QString& sql() const { return m_sql; }
    const QString& textoMotor() const { return m_textoMotor; }

private:
    int m_codigo;
    int m_codigoSqlite;
    QString m_mensaje;
    QString m_sql;
    QString m_textoMotor;
    QString m_estadoSql;
};

// A libpq connection URI (postgresql://...) or key=value string, rather than a file's path.
bool EsConexionPostgreSQL(const QString& destino);
// The connection string as it may be shown or logged: without a password written in it.
QString ConexionParaMostrar(const QString& destino);
// Creates (or drops, with whoever is connected to it) the database `nombre` on the server that
// `servidor` reaches (a connection string; its own database is only used to ask). Returns the
// connection string of the new database: `servidor` with dbname replaced.
QString CrearBasePostgreSQL(const QString& servidor, const QString& nombre);
void EliminarBasePostgreSQL(const QString& servidor, const QString& nombre);

// A server that asks for a password no one gave (no ~/.pgpass entry, no PGPASSWORD): who is
// asking, and why it asks again (empty the first time; after a refused one, that it was wrong).
struct PeticionContrasena {
    QString servidor;  // host:port
    QString usuario;
    QString base;
    QString motivo;
};
// Set by a program with a window to ask the user; answers the password, or nothing when the user
// cancels. Called only on the application's main thread; unset, a connection that needs a password
// fails saying where to put it. A password given here is kept in memory only, for this run: the
// next connection to the same server and user, and every reconnection, use it without asking.
inline std::function<std::optional<QString>(const PeticionContrasena&)> PedirContrasena;
// Forgets the passwords kept this run.
void OlvidarContrasenas();
// Seconds a connection waits for a server that does not answer, unless the connection string or
// PGCONNECT_TIMEOUT says otherwise.
inline constexpr int kEsperaConexionSegundos = 5;

enum class TipoCampo { Booleano, Entero, Largo, Simple, Doble, Fecha, Texto, Memo };

struct DefCampo {
    QString nombre;
    TipoCampo tipo = TipoCampo::Texto;
    int tamano = 0;                 // Text: characters (0 means 50)
    std::optional<Valor> porDefecto;
};

struct DefIndice {
    QString nombre;
    bool principal = false;
    bool unico = false;
    QStringList campos;
};

struct DefTabla {
    QString nombre;
    std::vector<DefCampo> campos;
    std::vector<DefIndice> indices;
};

struct DefRelacion {
    QString nombre;
    QString tabla;           // the parent
    QString tablaExterna;    // the child
    std::vector<std::pair<QString, QString>> campos;  // parent field, child field
    bool cascadaActualizar = false;
    bool cascadaBorrar = false;
};

class BaseDeDatos;

// Whether a folder lives on a network file system (NFS, SMB/CIFS and the like), by the type
// the kernel reports for it. False when the folder cannot be asked.
bool CarpetaEnRed(const QString& carpeta);
// The check that BaseDeDatos asks before choosing its journal; tests put their own in its place.
// An empty function puts CarpetaEnRed back.
void FijarDetectorRed(std::function<bool(const QString& carpeta)> detector);

// Puts the exact money functions on a connection, so that the program's own queries round as
// the documents do: centimos(euros), porcentaje(centimos, tasa), tras_descuentos(centimos, a, b)
// and centimos_linea(precio, cantidad, cada), all in cents, half up; null in, null out. Every
// connection BaseDeDatos opens has them; false when the engine refused one.
bool RegistrarFuncionesDinero(sqlite3* db);

// A set of rows from a table or a query. Rows of a single table can be changed through it
// (addNew/edit, fijar, update; remove). A table opened by name moves along one of its
// indexes and seeks on it.
class Recordset {
public:
    Recordset() = default;
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    bool eof() const;
    void moveFirst();
    void moveNext();
    // Rows read so far; tested for zero only.
    long recordCount() const;

    int numCampos() const { return static_cast<int>(m_nombres.size()); }
    QString nombreCampo(int i) const { return m_nombres.value(i); }
    bool tieneCampo(const QString& nombre) const { return indiceCampo(nombre) >= 0; }
    // The current row's value; null for an unknown field or past the end.
    Valor campo(const QString& nombre) const;
    Valor campo(int i) const;
    Valor operator[](const QString& nombre) const { return campo(nombre); }

    void addNew();
    void edit();
    // Sets a field of the row being added or edited.
    void fijar(const QString& nombre, const Valor& valor);
    // Writes the row being added or edited; throws motor::Error when the engine refuses, and
    // ErrRegistroCambiado when the row edited is gone or (on a server) was changed by another
    // connection since it was read.
    void update();
    void cancelUpdate();
    void remove();  // deletes the current row; ErrRegistroCambiado as update()
    bool actualizable() const { return !m_tabla.isEmpty(); }

    // Table recordsets only.
    void setIndex(const QString& nombre);
    QString index() const { return m_indice; }
    // op is "=" or ">="; compares the first claves.size() fields of the index.
    void seek(const QString& op, const std::vector<Valor>& claves);
    bool noMatch() const { return m_noMatch; }

    void close();

private:
    friend class BaseDeDatos;
    enum class Modo { Ninguno, Edicion, Alta };
    int indiceCampo(const QString& nombre) const;
    void cargarFilaTabla(const QString& sql, const std::vector<Valor>& parametros);
    void exigirFila() const;
    // The columns before a row's fields that say which row version it is, and the condition
    // that finds that version again (its parameters: identidad()).
    QString columnasIdentidad() const;
    QString condicionIdentidad() const;
    std::vector<Valor> identidad(size_t fila) const;
    [[noreturn]] void lanzarRegistroCambiado() const;

    BaseDeDatos* m_bd = nullptr;
    QStringList m_nombres;
    std::vector<std::vector<Valor>> m_filas;
    // Which row each one is: SQLite's rowid; on PostgreSQL its version's place (ctid) and the
    // transaction that wrote that version (xmin), since a place is reused once the version
    // there is gone, and a row another connection changes moves to another place.
    std::vector<Valor> m_rowids;
    std::vector<Valor> m_versiones;  // xmin; PostgreSQL only
    std::vector<bool> m_borradas;
    size_t m_pos = 0;
    QString m_tabla;          // set when rows can be changed
    bool m_esTabla = false;   // opened by table name: moves along an index
    QString m_indice;
    QStringList m_camposIndice;
    bool m_noMatch = false;
    Modo m_modo = Modo::Ninguno;
    std::vector<std::pair<QString, Valor>> m_cambios;
    std::vector<DefCampo> m_definicion;  // the table's fields, read at the first write
};

// One open database: a SQLite file, or a PostgreSQL database when `ruta` is a connection string.
class BaseDeDatos {
public:
    // Opens an existing database for reading and writing; throws motor::Error when the file is
    // missing, is not a database, is read-only or stays locked, or the server cannot be reached.
    explicit BaseDeDatos(const QString& ruta);
    ~BaseDeDatos();
    BaseDeDatos(const BaseDeDatos&) = delete;
    BaseDeDatos& operator=(const BaseDeDatos&) = delete;

    // Creates an empty database file (the KV740 builder and tests use it); a connection string
    // names an empty PostgreSQL database, which gets the collation and the money functions.
    static std::unique_ptr<BaseDeDatos> crear(const QString& ruta);

    const QString& ruta() const { return m_ruta; }
    bool esPostgreSQL() const { return m_pg != nullptr; }
    // The server's session was lost (the server stopped, the network dropped) and has not been
    // made again yet; the next statement tries. Always false on a file.
    bool conexionPerdida() const;
    // Something that changes whenever this or another connection committed a change since the
    // last call; on PostgreSQL it changes on every call, so callers always look again.
    std::pair<qint64, qint64> marcaCambios();
    // The definition text an index was made with, when it exists (kept by the engine on SQLite, in
    // the index's comment on PostgreSQL).
    std::optional<QString> definicionIndice(const QString& nombre);
    void crearIndiceSQL(const QString& nombre, const QString& sql);
    bool existeDisparador(const QString& nombre);
    // The trigger's definition as the engine keeps it, when it exists.
    std::optional<QString> definicionDisparador(const QString& nombre);
    void eliminarDisparador(const QString& nombre, const QString& tabla);
    // A trigger that refuses a change with `mensaje`: `evento` is "DELETE", "INSERT" or
    // "UPDATE [OF columns]"; `condicion` (may be empty) reads OLD and NEW.
    void crearDisparadorRechazo(const QString& nombre, const QString& tabla, const QString& evento,
                                const QString& condicion, const QString& mensaje);
    // Opened on a network file system: rollback journal instead of write-ahead logging.
    bool enRed() const { return m_enRed; }
    // A connection that reads listings: on the server its queries without parameters are read
    // through a cursor, which is planned for its first rows and fetched a batch at a time (the
    // server otherwise plans a query for its last row, and a filter on worked-out figures makes
    // it sort every row before the first). Until the last row is read or the statement is reset
    // the cursor holds a read-only transaction; another statement on the connection reads the
    // rest first. No change on a file, where the rows come as they are found anyway.
    void planearPrimerasFilas(bool si) { m_primerasFilasPG = si; }

    // Runs a statement in the store's dialect; returns the rows it affected.
    long ejecutar(const QString& sql, const std::vector<Valor>& parametros = {});
    // Runs plain SQLite SQL, no translation (schema statements).
    long ejecutarNativo(const QString& sql, const std::vector<Valor>& parametros = {});
    // First column of the first row, or null.
    Valor valorUnico(const QString& sql);

    // A table name gives a table recordset; any other text is a query in the store's dialect.
    Recordset abrirRecordset(const QString& fuente, const std::vector<Valor>& parametros = {});

    // Definitions.
    bool existeTabla(const QString& nombre);
    QStringList tablas();
    std::vector<DefCampo> campos(const QString& tabla);
    bool existeCampo(const QString& tabla, const QString& campo);
    void crearTabla(const DefTabla& tabla);
    // Throws ErrCampoExiste when the table has the field already.
    void anadirCampo(const QString& tabla, const DefCampo& campo);
    void crearIndice(const QString& tabla, const DefIndice& indice);
    void eliminarIndice(const QString& tabla, const QString& nombre);
    std::optional<DefIndice> indice(const QString& tabla, const QString& nombre);
    bool existeRelacion(const QString& nombre);
    void crearRelacion(const DefRelacion& relacion);
    // Throws ErrNoEncontradoEnColeccion when there is no such relation.
    void eliminarRelacion(const QString& nombre);
    bool existeConsulta(const QString& nombre);
    // Saved queries are views holding the translated SQL.
    void crearConsulta(const QString& nombre, const QString& sql);
    void cambiarSQLConsulta(const QString& nombre, const QString& sql);

    bool enTransaccion() const;
    // How long a statement waits for another connection's write lock before failing busy.
    void fijarEspera(int milisegundos);
    // Makes the statement running on this connection stop at once with an error; the one call
    // that may come from another thread.
    void interrumpir();

    // Prepared statements are kept and reused: the same SQL runs again without parsing.
    // Hold the returned reference only while stepping it: other calls may drop idle ones.
    class Sentencia;
    Sentencia& preparar(const QString& sqlNativo);
    // The same, for a statement whose text is kept already in UTF-8 (the cache's key): a call
    // that comes often does not convert it again.
    Sentencia& preparar(const std::string& sqlNativoUtf8);

    // New rows of one table through one prepared INSERT. The values are made ready for their
    // fields with convertir (as Recordset::update would store them, and refused as it would
    // refuse them), which needs no lock; insertar then only binds and runs.
    class Insercion {
    public:
        Insercion(BaseDeDatos& bd, const QString& tabla, const QStringList& campos);
        // The value for the field at `columna` of `campos`; throws motor::Error when the field refuses it.
        Valor convertir(int columna, const Valor& valor) const;
        // One row of converted values, in the order of `campos`.
        void insertar(const std::vector<Valor>& fila);
        // Many rows, all or none inside a transaction: a refused row undoes the rows before it
        // (the transaction goes on), with one savepoint for the batch instead of one per row.
        // Outside a transaction each statement (a block of rows, or a row) stands alone.
        void insertar(const std::vector<std::vector<Valor>>& filas);
        // The same rows in the form the server takes them by COPY, worked out ahead (before the
        // write lock is taken): given back to insertar, they are sent as they are. Empty where
        // the rows would not go by COPY.
        QByteArray copia(const std::vector<std::vector<Valor>>& filas) const;
        void insertar(const std::vector<std::vector<Valor>>& filas, const QByteArray& copia);
        // Every field of the table, in the order a "select *" gives them.
        const QStringList& camposTabla() const { return m_camposTabla; }
        // The row a "select *" reads back after `fila` (converted values) was inserted, field
        // by field as camposTabla names them; nothing when that is not certain without reading
        // it: a field left to its default, a trigger on the table, a value or a declared type
        // the engine may keep otherwise than it was given.
        std::optional<std::vector<Valor>> comoSeLee(std::vector<Valor> fila) const;

    private:
        // What a field reads back for a value of the same kind.
        enum class Lectura { Incierta, Entero, Numero, Texto };
        // From this many rows on, inside a transaction on the server, the rows go by COPY.
        static constexpr size_t kFilasCopia = 1000;
        // The statement for `filas` rows at once.
        const QString& sqlBloque(size_t filas);
        BaseDeDatos& m_bd;
        QStringList m_campos;
        std::vector<TipoCampo> m_tipos;
        QString m_sql;
        QString m_tabla, m_columnas, m_marcas;      // the pieces of a block's statement
        size_t m_filasBloque = 64;                  // the most rows one statement takes
        std::map<size_t, QString> m_sqlBloques;     // by rows
        QStringList m_camposTabla;
        std::vector<int> m_origen;         // per table field: its place in `campos`, or -1
        std::vector<Lectura> m_lecturas;   // per table field
    };

    // Nested use becomes a savepoint. Rolls back in the destructor unless committed.
    class Transaccion {
    public:
        explicit Transaccion(BaseDeDatos& bd);
        ~Transaccion();
        void commit();
        Transaccion(const Transaccion&) = delete;
        Transaccion& operator=(const Transaccion&) = delete;

    private:
        friend class Insercion;
        BaseDeDatos& m_bd;
        QString m_punto;
        bool m_hecha = false;
    };

    [[noreturn]] void lanzar(int rc, const QString& sql) const;

private:
    friend class Recordset;
    std::vector<DefCampo> camposDeTabla(const QString& tabla);
    // Whether the query, given its one parameter, gives any row.
    bool hayFila(const QString& sql, const Valor& parametro);
    struct TipoDeclarado {
        QString nombre;
        QString tipo;         // as declared (SQLite) or the type's name (PostgreSQL)
        bool oculto = false;  // a generated or hidden field
    };
    // The table's fields as the engine declares them, and whether the table has triggers.
    std::vector<TipoDeclarado> tiposDeclarados(const QString& tabla, bool* conDisparadores);
    QString nombreIndiceSQLite(const QString& tabla, const QString& nombre);
    // PostgreSQL.
    void conectarPG();
    void instalarPG();
    void ejecutarSimplePG(const QString& sql);
    void empezarEscrituraSueltaPG();
    // Rows into a table through COPY, inside a batch's savepoint (m_puntoLotePG). False, with
    // the savepoint rolled back, when the server refuses them or the connection fails: the
    // caller then writes them as statements, which say why.
    // `hecha` is the rows' COPY text when it was worked out ahead (textoCopiaPG), or empty.
    bool copiarPG(const QString& tabla, const QString& columnas, const std::vector<std::vector<Valor>>& filas,
                  const QByteArray& hecha = {});
    static QByteArray textoCopiaPG(const std::vector<std::vector<Valor>>& filas);
    [[noreturn]] void lanzarPG(pg_result* res, const QString& sql, const std::vector<QByteArray>& valores = {},
                               const std::vector<bool>& nulos = {});
    QString reglaIncumplidaPG(const QString& sql, const std::vector<QByteArray>& valores, const std::vector<bool>& nulos);
    struct ColumnaPG {
        std::optional<TipoCampo> tipo;
        QString nombre;  // as the table was defined with it
    };
    const ColumnaPG& columnaPG(unsigned int tabla, int columna);
    void nombresOriginalesPG(const QString& tabla, const std::vector<DefCampo>& campos, bool conTabla);
    QString nombreIndicePG(const QString& tabla, const QString& nombre);
    void reconectarPGSiHaceFalta();
    // Reads the rest of a result still arriving row by row, so that the connection can take
    // another statement (the rows wait in their statement, which goes on stepping them).
    void liberarConexionPG();
    std::vector<DefCampo> camposDeTablaPG(const QString& tabla);
    void cambiarSQLConsultaPG(const QString& nombre, const QString& sql);

    pg_conn* m_pg = nullptr;
    QByteArray m_puntoLotePG;                // a batch's savepoint: its writes need none of their own
    const Sentencia* m_lecturaPG = nullptr;  // whose rows are still arriving on the connection
    int m_estadoAntesLecturaPG = 0;          // the transaction status when its query went out
    pg_cancel* m_cancelPG = nullptr;
    int m_generacionPG = 0;         // grows when the connection is made again: statements prepare anew
    bool m_sesionPerdidaPG = false; // a statement lost the session: the next one connects again
    bool m_primerasFilasPG = false;  // queries run through a cursor, planned for their first rows
    int m_contadorPG = 0;           // names of prepared statements
    long m_cambiosPG = 0;           // rows the last statement changed
    qint64 m_marcaPG = 0;
    std::unordered_map<quint64, ColumnaPG> m_columnasPG;  // (table oid, column) -> declared type and name
    QHash<QString, std::pair<QString, QString>> m_relacionesPG;     // foreign key -> (child, parent)
    sqlite3* m_db = nullptr;
    QString m_ruta;
    bool m_enRed = false;
    int m_nivelTransaccion = 0;
    std::unordered_map<std::string, std::unique_ptr<Sentencia>> m_sentencias;
    struct Traduccion {
        QString sql;
        QString tabla;  // the table whose rows can be changed, if any
    };
    QHash<QString, Traduccion> m_traducciones;
};

// A prepared statement owned by the database.
class BaseDeDatos::Sentencia {
public:
    Sentencia(BaseDeDatos& bd, sqlite3_stmt* st, QString sql) : m_bd(bd), m_st(st), m_sql(std::move(sql)) {}
    // A PostgreSQL statement: `sqlPg` has $n parameters; it is prepared at its first run.
    Sentencia(BaseDeDatos& bd, QString sql, QByteArray sqlPg);
    ~Sentencia();
    void vincular(const std::vector<Valor>& parametros);
    bool paso();  // true while a row is available
    void reiniciar();
    bool ocupada() const;  // stepped and not yet reset
    int columnas() const;
    QString nombreColumna(int i) const;
    Valor columna(int i) const;
    const QString& sql() const { return m_sql; }

private:
    friend class BaseDeDatos;
    void ejecutarPG() const;
    // The name this statement is prepared under for its parameters' types, preparing it if need be.
    const std::string& preparadaPG() const;
    // Its columns as the server describes them (asked once), or null when it would not say.
    pg_result* descripcionPG() const;
    const pg_result* columnasPG() const;
    pg_result* siguientePG() const;
    // The next result from the connection; from a cursor, its next rows (all of them with `todas`).
    pg_result* recibirPG(bool todas = false) const;
    void leerRestoPG(bool guardar) const;
    // Ends the transaction that holds this statement's cursor.
    void cerrarCursorPG(bool bien) const;

    BaseDeDatos& m_bd;
    sqlite3_stmt* m_st = nullptr;
    QString m_sql;
    mutable std::vector<std::optional<TipoCampo>> m_tipos;
    // PostgreSQL: run at the first step or column asked for. A query's rows come one by one as
    // they are stepped (the first at once, before the server has the last); a write's at once.
    QByteArray m_sqlPg;
    bool m_escrituraPG = false;
    bool m_consultaPG = false;
    mutable bool m_filaAFilaPG = false;      // more rows may still arrive on the connection
    mutable bool m_cursorPG = false;         // ... and they are fetched from a cursor, a batch at a time
    mutable std::deque<pg_result*> m_colaPG; // rows read ahead when the connection was needed
    mutable pg_result* m_descripcionPG = nullptr;
    mutable bool m_descritaPG = false;
    std::vector<QByteArray> m_valoresPG;
    std::vector<bool> m_nulosPG;
    std::vector<unsigned int> m_tiposParamPG;
    mutable std::unordered_map<std::string, std::string> m_preparadasPG;  // parameter types -> name
    mutable int m_generacionPG = -1;
    mutable pg_result* m_resPG = nullptr;
    mutable int m_filaPG = -1;
    mutable bool m_ejecutadaPG = false;
};

// What an engine error means to the person at the counter, in Spanish and saying what to do:
// the one place where SQLite's result codes become sentences.
QString TextoParaUsuario(const Error& error);
// The write lock stayed with another connection past the busy timeout: trying again at once
// waits as long again.
bool EsBloqueo(const Error& error);
// The engine refused one statement for its data (a rule, a duplicate, a relation) and the
// transaction around it goes on; false for a lock, a full disk, a disk or file fault.
bool EsRechazo(const Error& error);

// SQL written for SQLite (the common subset, with ? or ?N parameters and quoted identifiers of
// any case) as PostgreSQL runs it: $N parameters, identifiers in lower case as PostgreSQL folds
// the unquoted ones, ctid for rowid, chr for char.
QString APostgreSQL(const QString& sql);

QString CitarIdentificador(const QString& nombre);
QString CitarTexto(const QString& texto);  // 'text' with quotes doubled

}  // namespace motor
