#pragma once

#include "motor.h"
#include "valor.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

// Per-department figures, indices 1..10 (index 0 unused).
using TablaDepartamentos = std::array<float, 11>;

struct FilaGrupo {
    qint16 codgpo = 0;
    QString NOMGPO;
};

// Failure of the schema upgrade: which step, and the engine's words.
class ErrorActualizacion : public std::runtime_error {
public:
    ErrorActualizacion(int paso, const QString& mensaje)
        : std::runtime_error(mensaje.toStdString()), m_paso(paso), m_mensaje(mensaje) {}
    int paso() const { return m_paso; }
    const QString& mensaje() const { return m_mensaje; }

private:
    int m_paso;
    QString m_mensaje;
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

    // Creates the program's tables, relations and saved queries when missing and brings older
    // databases up to date, all in one transaction: on failure nothing has changed and
    // ErrorActualizacion names the step.
    void CrearTablasNuevas();
    // Tests use this to break the upgrade before a given step (1..16).
    std::function<void(int paso)> antesDePaso;

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
    void CrearIndicesDeConsulta();

    std::unique_ptr<motor::BaseDeDatos> m_bd;
    bool m_versionAlmacenes = false;
    QString m_errorApertura;
};
