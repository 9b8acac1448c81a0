#pragma once

#include "basedatos.h"
#include "lecturapaginada.h"
#include "navegadorbase.h"

#include <vector>

class QAction;
class QCheckBox;

// "Lista de Facturas": the invoices of one series that match the filter and the payment state,
// with the operations on one invoice and the invoice listings.
class BrowFac : public NavegadorBase {
    Q_OBJECT
public:
    BrowFac();
    ~BrowFac() override;

    // Opens the one browser with this filter, or brings it to the front when it is loaded.
    static BrowFac* Abrir(std::optional<ClienteFiltro> cliente = std::nullopt, std::optional<QDate> desde = std::nullopt,
                          std::optional<QDate> hasta = std::nullopt);
    static BrowFac* Actual();

    qint16 Serie() const { return m_serie.value_or(0); }
    // Lists another series, as accepting it in the filter dialog does.
    void FijarSerie(qint16 serie);
    // Null lists every invoice, true the pending ones, false the settled ones.
    std::optional<bool> EstadoFiltro() const;
    // Invoice numbers start again in every series: editors are kept by series and number.
    void QuitarHijoDeSerie(qint16 serie, long numero) override;

    QCheckBox* chkPendi = nullptr;
    QCheckBox* chkLiqui = nullptr;
    QPushButton* Nuevo = nullptr;
    QPushButton* Borrar = nullptr;
    QPushButton* Imprim = nullptr;
    QPushButton* Salir = nullptr;
    QAction* MnModificar = nullptr;
    QAction* MnEliminar = nullptr;
    QAction* MnNuevo = nullptr;
    QAction* MnLiquidar = nullptr;
    QAction* mnImprimir = nullptr;

protected:
    void Leer() override;
    bool Incompleta() const override { return m_paginas.Incompleta(); }
    void LeerMas() override { m_paginas.LeerMas(); }
    std::optional<long> NumeroDeFila(int fila) const override;
    std::optional<qint16>* SerieDelFiltro() override { return &m_serie; }
    void PrepararMenu() override;
    bool Tecla(QKeyEvent& evento) override;
    void AbrirActual() override;
    QString ClaveHijo(long numero) const override;

private:
    QString Texto(const FilaFactura& fila, int col) const;
    const FilaFactura* FilaActual() const;
    QString NombreDocumento() const override;
    QString ImprimirDocumento(long numero, int copias) override;
    void NuevaFactura();
    void EliminarUna();
    void Liquidar();
    void ImprimirUna();
    void ImprimirLista();

    std::vector<FilaFactura> m_filas;
    LecturaPaginada<FilaFactura> m_paginas{this, m_filas};
    std::optional<qint16> m_serie = qint16(0);
};
