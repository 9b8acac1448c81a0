#pragma once

// "Registros VERI*FACTU": every invoice record with the agency's answer, filters for the pending
// ones and those with errors, "Reenviar", "Verificar cadena" and "Exportar". The list is a model
// over the store's rows: 100,000 records open at once.

#include "envioregistros.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>
#include <vector>

class BaseDatos;
class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

class ModeloRegistros : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Filtro { Todos, Pendientes, ConErrores };
    enum Columna { colOrden, colFactura, colFecha, colTipo, colImporte, colGenerado, colEstado, colRespuesta, colCSV, kColumnas };

    explicit ModeloRegistros(QObject* padre = nullptr);
    // Takes the rows (the store's reading) and shows those the filter lets through.
    void Cargar(std::vector<verifactu::FilaRegistro> filas);
    void Filtrar(Filtro filtro);
    const verifactu::FilaRegistro* Fila(int fila) const;

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;

    // The state as the window shows it, in Spanish.
    static QString TextoEstado(const verifactu::FilaRegistro& f);

private:
    std::vector<verifactu::FilaRegistro> m_filas;
    std::vector<int> m_visibles;
    Filtro m_filtro = Filtro::Todos;
};

class RegistrosVerifactu : public QWidget {
    Q_OBJECT
public:
    // `despertar` asks the sender to try now (after Reenviar); may be empty.
    RegistrosVerifactu(BaseDatos& bd, std::function<void()> despertar, QWidget* padre = nullptr);
    // Opens the one window (or brings it to the front) on the program's database.
    static RegistrosVerifactu* Abrir(std::function<void()> despertar);

    QTableView* grRegistros = nullptr;
    QCheckBox* chPendientes = nullptr;
    QCheckBox* chErrores = nullptr;
    QPushButton* cmdReenviar = nullptr;
    QPushButton* cmdVerificar = nullptr;
    QPushButton* cmdExportar = nullptr;
    QPushButton* cmdActualizar = nullptr;
    QDateEdit* txDesde = nullptr;
    QDateEdit* txHasta = nullptr;
    QLabel* lbResumen = nullptr;

    ModeloRegistros* Modelo() const { return m_modelo; }
    // Reads the records again, keeping the filter.
    void Actualizar();
    void Reenviar();
    void Verificar();
    // Writes the period's records to `archivo` (asked when empty).
    void Exportar(QString archivo = {});

protected:
    void closeEvent(QCloseEvent* evento) override;

private:
    void AplicarFiltro();

    BaseDatos& m_bd;
    std::function<void()> m_despertar;
    ModeloRegistros* m_modelo = nullptr;
};
