#pragma once

#include "composicionlistado.h"
#include "definicionlistado.h"
#include "valor.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

class QWidget;
namespace motor {
class BaseDeDatos;
}

class EjecucionListado;

// Runs a listing the way the browsers always have: the report file name, the database as the
// first data file, the formulas by index as "name=value" texts, the first sort field and a
// window title, then the action that opens the print preview.
//
// The report names ("LstClien.rpt", ...) map to definition files (.lst) beside the program.
// Formula values are texts in double quotes (inner quotes doubled), Date(year,month,day) with
// zeros for no date, or numbers. Sort fields are "+{Table.Field}" or "-{Table.Field}".
class Listado {
public:
    QString NombreArchivo;
    QStringList ArchivosDatos;
    QStringList Formulas;
    QStringList CamposOrden;
    QString TituloVentana;

    // Index setters: the lists grow as needed.
    void FijarArchivoDatos(int indice, const QString& ruta);
    void FijarFormula(int indice, const QString& texto);
    void FijarCampoOrden(int indice, const QString& campo);

    // Action 1 reads the listing into a preview window of its own (the rows keep coming while
    // it shows the first pages). Any failure shows one Spanish message naming the file and
    // the problem, and returns false. Other actions do nothing.
    bool Accion(int accion = 1, QWidget* padre = nullptr);

    // The run without a window: definition read and checked, database opened, query prepared.
    // Null and a Spanish `error` on failure.
    std::unique_ptr<EjecucionListado> Preparar(QString& error) const;
};

// Formula texts.
QString TextoFechaListado(const std::optional<QDate>& fecha);  // "Date(2024,3,1)"; no date: "Date(0,0,0)"
QString FormulaTexto(const QString& nombre, const QString& texto);  // name="text"
// Reads "name=value"; false when the text is not a formula.
bool LeerFormula(const QString& texto, QString& nombre, Valor& valor);

// The browsers' listings, ready to run (database and business name from the program's state).
Listado ListadoClientes(const QString& columnaOrden);
// Invoices by customer (true) or by month; selPend 0 all, 1 pending, 2 settled.
Listado ListadoFacturas(bool porClientes, std::optional<qint32> cliente, std::optional<QDate> desde,
                        std::optional<QDate> hasta, int selPend);
// Delivery notes; filtro 0 all, 1 pending settlement, 2 settled.
Listado ListadoAlbaranes(std::optional<qint32> cliente, std::optional<QDate> desde, std::optional<QDate> hasta, int filtro);

// One run of a listing: the rows are read and laid out into pages.
class EjecucionListado : public QObject {
    Q_OBJECT
public:
    ~EjecucionListado() override;

    const ComposicionListado& Composicion() const { return m_composicion; }
    QString TituloVentana() const { return m_titulo; }

    // Reads the rows on a thread of its own and lays them out here as they arrive (Avance),
    // then Terminado. The window stays responsive for the whole read.
    void Empezar();
    // Reads every row before returning (tests, benchmarks). False and the message on failure.
    bool LeerTodo(QString& error);
    // Asks a running read to stop; it ends with Terminado.
    // Stops the reading, even in the middle of the query's own sorting.
    void Detener();

    bool Acabada() const { return m_acabada; }
    // The statement that reads the rows, as the database runs it.
    const QString& Sql() const { return m_sql; }
    const QString& Error() const { return m_error; }

signals:
    void Avance();
    void Terminado(const QString& error);

private:
    friend class Listado;
    EjecucionListado() = default;
    void Leer(bool aparte);
    void Recibir(std::vector<std::vector<Valor>> filas, bool fin, const QString& error);

    std::unique_ptr<motor::BaseDeDatos> m_bd;
    QString m_sql;
    QString m_archivo;
    QString m_titulo;
    ComposicionListado m_composicion;
    std::thread m_hilo;
    std::atomic<bool> m_detener{false};
    bool m_acabada = false;
    QString m_error;
};
