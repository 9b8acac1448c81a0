#pragma once

#include "coleccion.h"
#include "envioregistros.h"
#include "motor.h"
#include "registrofacturacion.h"
#include "valor.h"

#include <QHash>
#include <QString>

#include <array>
#include <QDate>

#include <functional>
#include <optional>
#include <unordered_map>
#include <variant>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Per-department figures, indices 1..10 (index 0 unused).
using TablaDepartamentos = std::array<float, 11>;

struct FilaGrupo {
    qint16 codgpo = 0;
    QString NOMGPO;
};

struct FilaCliente {
    Valor Codigo;
    Valor nombre;
    Valor NIF;
};

// One delivery note of the list: net amount in cents after the customer's and the
// prompt-payment discounts, both taken on the gross.
struct FilaAlbaran {
    qint32 Numero = 0;
    Valor Fecha;
    Valor Cliente;
    Valor nombre;
    qint32 nLin = 0;
    double Importe = 0;
    Valor Factura;
    qint32 Stock = 0;
    Valor Pagado;
};

struct FilaFactura {
    qint32 Numero = 0;
    Valor Fecha;
    Valor Cliente;
    Valor nombre;
    double Neto = 0;
    double iva = 0;
    double Total = 0;  // Neto + iva, without the surcharge
    Valor Pagado;
    // Beyond the list's eight elements, what the customer is also asked for.
    double REq = 0;      // surcharge; 0 for a customer who does not pay it
    double Envases = 0;  // packaging deposits, euros
    bool Anulada = false;  // annulled by its record (VERI*FACTU): it stays, marked
};

// A page of a list read in its key's order: its rows, and the key the next page starts after
// (none when the list ends with this page).
template <typename Fila, typename Clave>
struct PaginaLista {
    std::vector<Fila> filas;
    std::optional<Clave> siguiente;
};

// What the customer owes for an invoice, as the printed invoice totals it: net, VAT,
// surcharge and packaging. An invoice is settled when it was paid to the cent.
double TotalAPagar(const FilaFactura& factura);

// A closed scale ticket: the values of its ticket row.
struct FilaTicket {
    qint32 docID = 0;
    Valor TagID;
    Valor numTK;
    Valor balan;
    Valor Opera;
    Valor Fecha;
    double impor = 0;  // cents

    bool operator==(const FilaTicket&) const = default;
};

// An article row of a ticket left after its voids.
struct LineaTicket {
    qint16 tipoT = 0;
    qint32 cdPLU = 0;
    qint32 canti = 0;
    qint32 preci = 0;  // cents
};

// The list filters: each applies only when it holds the type its method names.
using Filtro = std::variant<std::monostate, qint16, qint32, double, bool, QString, QDate>;

// What the name completion writes to: the text box and the code label of a screen.
class CajaAutoescritura {
public:
    virtual ~CajaAutoescritura() = default;
    virtual QString texto() const = 0;
    virtual void fijarTexto(const QString& texto) = 0;
    virtual void seleccionar(int inicio, int largo) = 0;
};

class EtiquetaAutoescritura {
public:
    virtual ~EtiquetaAutoescritura() = default;
    virtual void fijarTexto(const QString& texto) = 0;
};

// The shop's own data, printed at the head of its documents: one per database, shared by every
// station. The name and NIF are also the issuer of its invoices.
struct DatosComercio {
    QString Nombre;  // razón social
    QString NIF;
    QString Direccion;
    QString CodPostal;
    QString Poblacion;
    QString Provincia;
    QString Telefono;

    bool operator==(const DatosComercio&) const = default;
};

// The VERI*FACTU mode of the database, shared by every station: while on, every invoice stored
// for the first time writes its chained record of issue.
struct AjustesVerifactu {
    bool Activo = false;
    // The issuer of the invoices: the shop's own NIF and name (DatosComercio), read and written
    // with them.
    QString NIF;
    QString NombreRazon;
    QString NumeroInstalacion;
    QString Certificado;
    bool Pruebas = true;  // the agency's test environment

    bool operator==(const AjustesVerifactu&) const = default;
};

// Failure of the schema upgrade: which step, and the engine's words.
class ErrorActualizacion : public std::runtime_error {
public:
    ErrorActualizacion(int paso, const QString& mensaje, int codigoSqlite = 0)
        : std::runtime_error(mensaje.toStdString()), m_paso(paso), m_mensaje(mensaje), m_codigoSqlite(codigoSqlite) {}
    int paso() const { return m_paso; }
    // SQLite's extended code of the failing statement (0 when unknown).
    int codigoSqlite() const { return m_codigoSqlite; }
    const QString& mensaje() const { return m_mensaje; }

private:
    int m_paso;
    QString m_mensaje;
    int m_codigoSqlite;
};

// The program's one door to the KV740 database: the program's own tables live in the same file
// next to the scale system's. Every query method answers its empty result while the database is
// not open; engine errors are not caught here and reach the caller as motor::Error.
class BaseDatos {
public:
    // Opens the database at `ruta`; on failure Abierta() is false and ErrorApertura() says why.
    explicit BaseDatos(const QString& ruta);
    ~BaseDatos();
    BaseDatos(const BaseDatos&) = delete;
    BaseDatos& operator=(const BaseDatos&) = delete;

    bool Abierta() const { return m_bd != nullptr; }
    bool VersionAlmacenes() const { return m_versionAlmacenes; }
    const QString& ErrorApertura() const { return m_errorApertura; }
    // SQLite's extended code of the opening failure; 0 when it opened.
    int CodigoErrorApertura() const { return m_codigoApertura; }

    // Creates the program's tables, relations and saved queries when missing and brings older
    // databases up to date, all in one transaction: on failure nothing has changed and
    // ErrorActualizacion names the step.
    void CrearTablasNuevas();
    // Tests use this to break the upgrade before a given step (1..19).
    std::function<void(int paso)> antesDePaso;

    // Customers. The New* numbers below throw motor::Error (in Spanish) once the last number a
    // field can hold, 2147483647, is taken.
    qint32 NuevoCodCli();
    // Ordered by "Codigo", "Nombre" or "NIF"; any other order is refused with motor::Error.
    std::vector<FilaCliente> ListaClientes(const QString& orden = QStringLiteral("Codigo"));
    // The same list a page at a time: at most `limite` customers after the row whose key
    // `despuesDe` is (the previous page's `siguiente`; from the first when none). A full page
    // gives the key to go on from; each page costs its own rows.
    PaginaLista<FilaCliente, std::vector<Valor>> PaginaClientes(const QString& orden, const std::optional<std::vector<Valor>>& despuesDe,
                                                                int limite);
    bool ConsultaCliente(qint32 codigo, Coleccion& campos);
    // What a note takes from its customer: whether it pays the equivalence surcharge, and its
    // discount. False when there is no such customer. From memory during a batch.
    bool RecargoYDescuentoCliente(qint32 codigo, bool& usaREq, double& descuento);
    // Both throw motor::Error for a text holding a NUL character, which no field stores, and for
    // a "Codigo" below 1.
    bool NuevoCliente(qint32 codigo, const Coleccion& campos);
    // With `leidos` (the row as ConsultaCliente gave it when the editor opened) the row is
    // written only while it is still so; otherwise motor::Error says another station changed or
    // deleted it, and nothing is written.
    bool ActualizarCliente(qint32 codigo, const Coleccion& campos, const Coleccion* leidos = nullptr);
    bool EliminarCliente(qint32 codigo);
    // Needs the customer completion service running; empty otherwise.
    QString NombreCliente(qint32 codigo);

    // Catalogue and stock. Stock: positive sells (takes goods out), negative gives back.
    void DatosArticulo(qint32 codigo, QString& nombre, qint16& depto, qint16& cada, qint32& precio);
    // For a batch over these notes: their articles' data read at once (a few hundred notes a
    // statement) and kept, with any other article asked for, so that DatosArticulo answers
    // from memory until OlvidarLote; likewise each customer's surcharge and discount
    // (RecargoYDescuentoCliente). The batch bills what it read when it started.
    void RecordarParaLote(const std::vector<qint32>& notas);
    void OlvidarLote();
    bool Stock(qint32 articulo, qint32 cantidad);

    // Delivery notes.
    qint32 NuevoNumeroAlbaran();
    std::vector<FilaAlbaran> ListaAlbaranes(const Filtro& numero = {}, const Filtro& cliente = {}, const Filtro& desde = {},
                                            const Filtro& hasta = {}, const Filtro& factura = {});
    // The same list a page at a time, for the screens that show its first rows at once: at
    // most `limite` notes numbered above `despuesDe` (every note when none), in number order.
    // Each page costs the notes it holds, whatever the size of the files.
    std::vector<FilaAlbaran> PaginaAlbaranes(const Filtro& cliente, const Filtro& desde, const Filtro& hasta,
                                             std::optional<qint32> despuesDe, int limite);
    // How many notes PaginaAlbaranes gives in all, for a screen to make room for them at once.
    // 0 while closed.
    qint64 CuentaAlbaranes(const Filtro& cliente, const Filtro& desde, const Filtro& hasta);
    // Notes not yet invoiced, of one customer or of all; `sinTickets` leaves out the notes made
    // from a scale ticket (their prices hold the VAT whatever the setting). 0 while closed.
    qint32 ContarAlbaranesPendientes(std::optional<qint32> cliente = std::nullopt, bool sinTickets = false);
    // The departments of the lines of those notes whose customer pays the equivalence surcharge.
    std::vector<qint16> DepartamentosConRecargo(const std::vector<qint32>& notas);
    bool ConsultaCabzAlbaran(qint32 numero, motor::Recordset& rs);
    bool ConsultaDetaAlbaran(qint32 numero, motor::Recordset& rs);
    // Several notes at once (a few hundred): their headers by number and their lines by number
    // and line, as the two calls above read one note's. False when no database is open.
    bool ConsultaAlbaranes(const std::vector<qint32>& numeros, motor::Recordset& cabeceras, motor::Recordset& lineas);
    // On the server, a mark of these notes' stored headers and lines that any write to them
    // changes (each row version's transaction and place); nothing on SQLite, where
    // marcaCambios tells it for the whole file.
    std::optional<QByteArray> VersionAlbaranes(const std::vector<qint32>& numeros);
    bool EliminarAlbaran(qint32 numero);
    // Links a pending, unpaid note to an invoice; false (nothing changed) when the note is no
    // longer pending. Run it inside the write transaction that stores the invoice.
    bool EnlazarAlbaranPendiente(qint32 numero, qint16 serie, qint32 factura);
    // The same for many notes, a few hundred a statement. Answers the first note that was no
    // longer pending (then some of the others may be linked: the caller rolls back), or nothing.
    std::optional<qint32> EnlazarAlbaranesPendientes(const std::vector<qint32>& numeros, qint16 serie, qint32 factura);
    void ReordenarAlbaran(qint32 numero);
    void CambioFacturaEnAlbaran(qint16 serie, qint32 vieja, qint32 nueva);
    // The same when the invoice also changed series.
    void CambioSerieFacturaEnAlbaran(qint16 serieVieja, qint32 vieja, qint16 serieNueva, qint32 nueva);

    // Invoices.
    qint32 NuevoNumeroFactura(qint16 serie = 0);
    std::vector<FilaFactura> ListaFacturas(const Filtro& serie = {}, const Filtro& cliente = {}, const Filtro& desde = {},
                                           const Filtro& hasta = {}, const Filtro& pendiente = {});
    // The same list of one series a page at a time: the invoices numbered above `despuesDe`
    // (from the first when none), `limite` headers at most, in number order; the payment state
    // may leave fewer rows. Each page costs the invoices it holds, whatever the size of the files.
    PaginaLista<FilaFactura, qint32> PaginaFacturas(qint16 serie, const Filtro& cliente, const Filtro& desde, const Filtro& hasta,
                                                    const Filtro& pendiente, std::optional<qint32> despuesDe, int limite);
    // How many invoices PaginaFacturas gives at most (the payment state may leave fewer), for a
    // screen to make room for them at once. 0 while closed.
    qint64 CuentaFacturas(qint16 serie, const Filtro& cliente, const Filtro& desde, const Filtro& hasta);
    bool ConsultaCabzFactura(qint16 serie, qint32 numero, motor::Recordset& rs);
    bool ConsultaDetaFactura(qint16 serie, qint32 numero, motor::Recordset& rs);
    bool EliminarFactura(qint16 serie, qint32 numero);
    // Makes the invoice's delivery notes pending again. Run it inside a write transaction.
    void LiberarAlbaranes(qint16 serie, qint32 numero);
    // Number and date of the invoice before `numero` in its series; none when it is the first.
    std::optional<std::pair<qint32, QDate>> FacturaAnterior(qint16 serie, qint32 numero);

    // VERI*FACTU. Off (and empty) until first written; writing throws motor::Error (in Spanish)
    // for an incomplete issuer, or when turning off a database that has records: the chain
    // must go on.
    AjustesVerifactu LeerVerifactu();
    void GuardarVerifactu(const AjustesVerifactu& ajustes);
    // The issuer's NIF and name as its records name it: the shop's.
    std::pair<QString, QString> EmisorFacturas();
    // The records in chain order, whole (breakdown and XML); those generated between the two
    // days when given. Empty while closed.
    std::vector<verifactu::Registro> Registros(std::optional<QDate> desde = std::nullopt,
                                               std::optional<QDate> hasta = std::nullopt);
    // The last record of the chain; read it inside the write transaction that adds the next.
    std::optional<verifactu::Registro> UltimoRegistro();
    // The invoice's last record (of issue or annulment); none when it has none.
    std::optional<verifactu::Registro> RegistroDeFactura(qint16 serie, qint32 numero);
    // Appends a record with its breakdown; its number must follow the last. Throws motor::Error.
    void AnadirRegistro(const verifactu::Registro& registro);

    // Sending the records to the agency (envios.cpp). Throw motor::Error.
    // The oldest records waiting to be sent, at most `maximo`, in chain order.
    std::vector<verifactu::Pendiente> RegistrosPendientes(int maximo);
    // Stores the agency's answers on the records still pending (a record answered once keeps
    // that answer) and the wait it asks before the next submission; clears the failure reason.
    void AnotarRespuestas(const std::vector<verifactu::RespuestaRegistro>& respuestas, int tiempoEspera);
    // A failed attempt: every record pending now goes later with Incidencia, and `motivo`
    // (Spanish) is what the stations show until a submission succeeds.
    void AnotarFalloEnvio(const QString& motivo);
    // Takes or renews the claim to send for `puesto` at `ahora` (seconds since the epoch) and,
    // when `envio` is given, notes that a submission leaves at that moment (milliseconds); false,
    // changing nothing, while another station that spoke less than `caducidad` seconds ago
    // holds it (unless it is `caido`, known to be gone).
    bool TomarEnvio(const QString& puesto, qint64 ahora, int caducidad, std::optional<qint64> envio = std::nullopt,
                    const QString& caido = {});
    // Gives the claim up, when `puesto` holds it.
    void SoltarEnvio(const QString& puesto);
    // Counts and claim, for the stations' warning; all zero while closed or before the upgrade.
    verifactu::EstadoEnvios LeerEstadoEnvios();
    // The record's answer is superseded by a correction record (Subsanacion).
    void MarcarSubsanado(qint64 orden);
    // Every record, in chain order, as the records window lists them.
    std::vector<verifactu::FilaRegistro> ListaRegistros();
    // The record at that place of the chain; none when there is none.
    std::optional<verifactu::Registro> RegistroNumero(qint64 orden);

    // Scale tickets, as the scale line writes them in Transacs.
    std::vector<FilaTicket> ListaTicketsCerrados(const Filtro& desde = {});
    // The same list a page at a time, newest first: the tickets numbered below `antesDe` (from
    // the newest when none), `limite` at most; `siguiente` is the docID the next page reads below.
    // A date that leaves few tickets gives them all in the first page, read on their date.
    PaginaLista<FilaTicket, qint32> PaginaTicketsCerrados(const Filtro& desde, std::optional<qint32> antesDe, int limite);
    // The closed tickets numbered from `primero` up to `ultimo` (no end when none), newest first:
    // what the list gained above its newest ticket, or what became of a stretch of it.
    std::vector<FilaTicket> TicketsCerradosEntre(const Filtro& desde, qint32 primero, std::optional<qint32> ultimo);
    // The article rows of a valid ticket that no void cancelled, in line order; no value when the
    // ticket was cancelled, has no ticket row or has no article left.
    std::optional<std::vector<LineaTicket>> LineasTicket(qint32 docID);
    bool MarcarTicket(qint32 docID);
    // How many notes were made from the ticket (its highest tagID); 0 for an unknown ticket.
    qint32 MarcaTicket(qint32 docID);
    // Marks the ticket only when its mark is still `marcaVista`, the value read when its note was
    // proposed: false when another station turned it into a note meanwhile. A ticket deleted
    // since has nothing left to mark: true, and nothing changes. Run it inside the write
    // transaction that stores the note, so that a ticket gives one note per proposal.
    bool ReclamarTicket(qint32 docID, qint32 marcaVista);
    bool EliminarTicket(qint32 docID);
    bool EliminarTodosMarcados();
    // Whether any closed ticket has been turned into a note: what the purge would delete,
    // asked without reading the list.
    bool HayTicketsMarcados();

    // Name completion: 0 customers, 1 articles.
    bool IniciarServicioAutoescritura(int servicio);
    bool TerminarServicioAutoescritura(int servicio);
    void Autoescritura(int servicio, qint16& largo, EtiquetaAutoescritura* etiqueta, CajaAutoescritura* caja);

    // The shop's data; empty until it is first written. Writing throws motor::Error.
    DatosComercio LeerComercio();
    void GuardarComercio(const DatosComercio& datos);

    // Groups, sections, warehouses.
    std::vector<FilaGrupo> ListaGrupos();
    void DatosGrupo(qint16 grupo, qint16& seccion, qint16& tarifa, qint32& almacen, TablaDepartamentos& ivas);
    QString NombreSeccion(qint16 seccion);
    QString NombreAlmacen(qint32 almacen);

    // The engine underneath, for the documents' transactions, tests and benchmarks.
    motor::BaseDeDatos* Motor() { return m_bd.get(); }

    // Short table names of the query texts replaced by the stored ones.
    static QString NombresLargos(QString sql);
    // A number for SQL: three decimals with a point; a value that is not numeric gives "0".
    static QString NumeroSQL(const Valor& valor);

private:
    void AnadirCampo(const QString& tabla, const QString& nombre, motor::TipoCampo tipo, int tamano = 0,
                     std::optional<Valor> porDefecto = std::nullopt);
    void CrearIndice(const QString& tabla, const QString& nombre, bool principal, bool unico, const QStringList& campos);
    void CambiarConsulta(const QString& nombre, const QString& sql);
    void ActualizarEsquema();
    bool EsquemaAlDia();
    QString CadenaInsert(const Coleccion& campos, QString& valores, const QString& tabla);
    QString CadenaUpdate(const Coleccion& campos, const QString& tabla);
    static QString TextoSQL(const Valor& v);
    // The next number after `ultimo`; throws motor::Error naming `que` past the 32-bit limit.
    static qint32 Siguiente(const Valor& ultimo, const QString& que);
    // The code of the customer with that name; no value when there is none.
    std::optional<qint32> CodigoPorNombre(const QString& nombre);
    // A list's conditions on the header: which filters apply (one bit each, so that every call
    // of one shape runs one statement) and their values, bound in that order.
    struct CondicionesLista {
        quint32 forma = 0;
        std::vector<Valor> valores;
    };
    // A date bound where a literal was compared: the text the literal held, "yyyy-mm-dd".
    static QString TextoFechaSQL(const QDate& fecha);
    // The note list's; none when a customer named by text does not exist (the list is then empty).
    std::optional<CondicionesLista> CondicionesAlbaranes(const Filtro& numero, const Filtro& cliente, const Filtro& desde,
                                                         const Filtro& hasta, const Filtro& factura);
    // The conditions' text for a shape, with a parameter where each value goes.
    static QString TextoCondicionesAlbaranes(quint32 forma);
    std::vector<FilaAlbaran> LeerAlbaranes(CondicionesLista condiciones, std::optional<qint32> despuesDe, int limite);
    // The note list's statement per shape, translated once: a call does not write its text again.
    std::unordered_map<quint32, std::string> m_sqlAlbaranes;
    // The invoice list's; none when a customer named by text does not exist.
    std::optional<CondicionesLista> CondicionesFacturas(const Filtro& serie, const Filtro& cliente, const Filtro& desde,
                                                        const Filtro& hasta);
    static QString TextoCondicionesFacturas(quint32 forma);
    std::vector<FilaFactura> LeerFacturas(CondicionesLista condiciones, const Filtro& pendiente);
    // The invoice list's statement per shape, translated once, and where its columns are.
    std::unordered_map<quint32, std::string> m_sqlFacturas;
    std::vector<int> m_columnasFacturas;
    // Known once the invoice records' table exists (it is never dropped).
    bool m_hayRegistros = false;
    // A list's statement in the store's dialect: translated once per text, prepared once, and
    // read by column position, so that a call costs little more than stepping its rows. Step
    // it at once: other calls may drop an idle statement.
    motor::BaseDeDatos::Sentencia& SentenciaDeLista(const QString& sql);
    QHash<QString, std::string> m_listasTraducidas;  // the store's text -> the engine's, in UTF-8
    // Articles kept by RecordarParaLote, for the section and price column it was called with.
    struct ArticuloRecordado {
        QString nombre;  // empty: not in the catalogue
        qint16 depto = 0;
        qint16 cada = 0;
        qint32 precio = 0;
    };
    struct Articulos {
        qint16 seccion = 0;
        QString columnaPrecio;
        std::unordered_map<qint32, ArticuloRecordado> porCodigo;
    };
    std::optional<Articulos> m_articulos;
    // Customers' surcharge and discount kept during a batch (none: no such customer).
    std::optional<std::unordered_map<qint32, std::optional<std::pair<bool, double>>>> m_clientesLote;
    QString ColumnaPrecio() const;
    // Where the note list's columns are in its statement: the same select list whatever the
    // conditions, so found by name once.
    std::vector<int> m_columnasAlbaranes;
    void CrearIndicesDeConsulta();
    void IndiceDeNombres(const QString& tabla, const QString& antes, const QString& columna);
    void CrearTablasVerifactu();
    void CrearTablasEnvio();
    std::vector<verifactu::Registro> LeerRegistros(const QString& donde, const std::vector<Valor>& parametros);

    std::unique_ptr<motor::BaseDeDatos> m_bd;
    bool m_versionAlmacenes = false;
    struct Servicio {
        qint16 usuarios = 0;
        std::unique_ptr<motor::Recordset> rs;
    };
    Servicio m_servicios[2];
    bool m_reescribiendo = false;
    QString m_errorApertura;
    int m_codigoApertura = 0;
};
