#pragma once

#include "basedatos.h"
#include "lecturapaginada.h"
#include "navegadorbase.h"

#include <QPointer>

#include <memory>
#include <vector>

class Albaranes;
class EditorCelda;
class QAction;
class QProgressDialog;

// "Lista de Albaranes": the delivery notes of the filter, with the operations on one note and
// the same operations in bulk over the whole list.
class BrowAlb : public NavegadorBase {
    Q_OBJECT
public:
    BrowAlb();
    ~BrowAlb() override;

    // Opens the one browser with this filter, or brings it to the front when it is loaded.
    static BrowAlb* Abrir(std::optional<ClienteFiltro> cliente = std::nullopt, std::optional<QDate> desde = std::nullopt,
                          std::optional<QDate> hasta = std::nullopt);
    // The loaded browser, or null.
    static BrowAlb* Actual();

    // The grid's reading of a row.
    bool Facturado(int fila) const;
    bool StockPendiente(int fila) const;

    QPushButton* Nuevo = nullptr;
    QPushButton* Borrar = nullptr;
    QPushButton* Stockar = nullptr;
    QPushButton* Facturar = nullptr;
    QPushButton* Imprimir = nullptr;
    QPushButton* Salir = nullptr;
    QAction* MnModificar = nullptr;
    QAction* MnEliminar = nullptr;
    QAction* MnNuevo = nullptr;
    QAction* MnFacturar = nullptr;
    QAction* MnDescontar = nullptr;
    QAction* MnDeshacer = nullptr;
    QAction* mnImprUno = nullptr;
    QAction* MnLiquidar = nullptr;
    QMenu* MnStockMasivo = nullptr;
    QAction* MnDescontarMasivo = nullptr;
    QAction* MnRestaurarMasivo = nullptr;
    EditorCelda* txEd = nullptr;

protected:
    void Leer() override;
    std::optional<int> LeerFila(long numero) override;
    bool Incompleta() const override { return m_paginas.Incompleta(); }
    void LeerMas() override { m_paginas.LeerMas(); }
    std::optional<long> NumeroDeFila(int fila) const override;
    void PrepararMenu() override;
    bool Tecla(QKeyEvent& evento) override;
    void AbrirActual() override;

private:
    enum class Masiva { Eliminar, Descontar, Restaurar, Facturar };

    QString Texto(const FilaAlbaran& fila, int col) const;
    QString NombreDocumento() const override;
    QString ImprimirDocumento(long numero, int copias) override;
    void NuevoAlbaran();
    void EliminarUno();
    void FacturarUno();
    void StockUno(bool devolver);
    void ImprimirUno();
    void ImprimirLista();
    void Liquidar();
    void AceptarLiquidar();
    void Lote(Masiva operacion, std::optional<qint32> numero = std::nullopt);
    void Antes(qint16 cuenta, bool& cancelar, const QString& ninguno, const QString& uno, const QString& varios);
    QString SinSeleccion(const QString& ninguno) const;
    void UnoHecho(bool& cancelar);
    void Despues();

    std::vector<FilaAlbaran> m_filas;
    LecturaPaginada<FilaAlbaran> m_paginas{this, m_filas};
    std::unique_ptr<Albaranes> LosAlbaranes;
    QPointer<QProgressDialog> m_progreso;
    int m_hechos = 0;
    bool m_reloj = false;
};
